#pragma once
// The options of the command line, in one table: the parser takes the
// number of values from it, and the usage text is printed from it with the
// defaults of a fresh RunParameters, so that neither can drift from the
// other or from the defaults.

#include <string>
#include <vector>

#include "run/run_parameters.hpp"

namespace tarvek {

struct OptionSpec {
  char letter;
  int values;               // arguments that follow the option
  const char* value_names;  // as the usage shows them ("" for none)
  // The usage's description, one entry per line; "{}" stands for the
  // option's default.
  std::vector<std::string> description;
  // The default as the usage shows it, from `defaults`; nullptr for an
  // option without one.
  std::string (*default_text)(const RunParameters& defaults);
};

// Every option the command line accepts, in the order the usage lists them.
const std::vector<OptionSpec>& accepted_options();

// The option of `letter`; nullptr for a letter that is not an option.
const OptionSpec* find_option(char letter);

// The default the usage shows for `option` ("" for none), from the defaults
// of RunParameters.
std::string option_default(const OptionSpec& option);

// The text `tarvek --help` prints.
std::string usage_text();

}  // namespace tarvek
