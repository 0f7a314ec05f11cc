#pragma once
// The command line turned into run parameters, without touching a file or a
// stream: what the options say, what they would print and the first problem,
// for open_run (run_parameters.hpp) to report in the run's order, or for a
// caller of the library to show as it likes.

#include <optional>
#include <string>
#include <vector>

#include "run/run_parameters.hpp"

namespace tarvek {

// What is wrong with a command line or with parameters, as the run reports
// it: `addition` messages go to standard error as "tarvek: " + message, the
// others as a fatal error ("\n\nFatal error!: " + message); both end the run.
struct OptionProblem {
  bool addition = false;
  std::string message;
};

struct ParsedOptions {
  RunParameters params;            // the options read before the problem
  bool parameters_file = false;    // the loc file alone: the parameters file is read
  std::vector<std::string> console;   // what the options write to the console ("chromosomes=12")
  std::vector<std::string> warnings;  // lines for standard error after "tarvek: warning: "
  std::optional<OptionProblem> problem;  // the first one; the options after it are not read
};

// The arguments after the program name. The loc file is the last one; with
// no other, the parameters come from the parameters file (read by open_run).
// Nothing is opened: the log and matrix names are taken from -l and -m as
// given. An empty list is the problem "bad input. tarvek wants input!".
ParsedOptions parse_options(const std::vector<std::string>& arguments);
ParsedOptions parse_options(int argc, const char* const* argv);  // argv[0] is the program

// The value of the last option `letter` before the first malformed option
// (empty when there is none), read ahead of the options themselves: the log
// must be open before the options are read, so that their errors reach it.
std::string option_ahead(const std::vector<std::string>& arguments, char letter);

// Parameters built in code, checked as the options are: the first value out
// of its range, with the message its option gives. Nothing when they can run.
std::optional<OptionProblem> check_parameters(const RunParameters& params);

// Ends the run with the problem's messages (RunAbort).
[[noreturn]] void report_problem(Channels& channels, const OptionProblem& problem);

}  // namespace tarvek
