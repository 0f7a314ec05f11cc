#pragma once
// The command-line conventions the companion programs share: a command word,
// options as "--name value" or "--name=value" (and "-o FILE"), operands,
// exit status 2 for anything malformed.

#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/channels.hpp"
#include "base/file_checks.hpp"
#include "genotype/population.hpp"
#include "multipoint/map_estimate.hpp"

namespace tarvek::apps {

using tarvek::FileRole;

inline constexpr int kExitOk = 0;
inline constexpr int kExitBadInput = 1;
inline constexpr int kExitBadCommandLine = 2;

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Arguments {
  std::map<std::string, std::string> values;  // options with a value, last one wins
  std::map<std::string, std::vector<std::string>> all_values;  // every value, in order
  std::set<std::string> flags;                // options without a value
  std::vector<std::string> operands;
  bool has(const std::string& name) const { return values.count(name) > 0 || flags.count(name) > 0; }
  std::string value(const std::string& name, const std::string& fallback = std::string()) const {
    const auto it = values.find(name);
    return it == values.end() ? fallback : it->second;
  }
};

// Scans argv[first..]; throws UsageError for an unknown option or a missing value.
inline Arguments scan_arguments(int argc, char** argv, int first, const std::set<std::string>& with_value,
                                const std::set<std::string>& without_value) {
  Arguments a;
  bool options_done = false;
  for (int i = first; i < argc; ++i) {
    std::string arg = argv[i];
    if (options_done || arg == "-" || arg.empty() || arg[0] != '-') {
      a.operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_done = true;
      continue;
    }
    std::string value;
    bool inline_value = false;
    if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg.erase(eq);
      inline_value = true;
    }
    if (with_value.count(arg) > 0) {
      if (!inline_value) {
        if (i + 1 >= argc) throw UsageError("option " + arg + " needs a value");
        value = argv[++i];
      }
      a.values[arg] = value;
      a.all_values[arg].push_back(value);
    } else if (without_value.count(arg) > 0 && !inline_value) {
      a.flags.insert(arg);
    } else {
      throw UsageError("unknown option " + arg);
    }
  }
  return a;
}

// A whole decimal number of at least `minimum`; UsageError otherwise.
inline int count_option(const Arguments& a, const std::string& name, int minimum) {
  if (!a.has(name)) return 0;
  const std::string text = a.value(name);
  std::size_t used = 0;
  int value = 0;
  try {
    value = std::stoi(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != text.size() || value < minimum)
    throw UsageError(name + " needs a whole number of at least " + std::to_string(minimum) + ", not \"" + text + "\"");
  return value;
}

// A real number from `low` to `high` (the option's value), `fallback`
// when the option is not given; UsageError otherwise.
double real_option(const Arguments& a, const std::string& name, double low, double high, double fallback);

// The options of the multipoint map model that the companions share:
// --distances multipoint|two-point, --error-rate P, --population TYPE and
// -t N (default: the cores available).
struct ModelOptions {
  bool multipoint = true;
  MapEstimateOptions estimate;
  std::optional<PopulationType> population;
};
ModelOptions model_options(const Arguments& a);

// Comma-separated entries of an option's value.
inline std::vector<std::string> list_option(const std::string& text) {
  std::vector<std::string> items;
  std::size_t start = 0;
  for (;;) {
    const auto comma = text.find(',', start);
    items.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) return items;
    start = comma + 1;
  }
}

// Every companion writes through one Channels object (standard output,
// standard error, no log), its lines on standard error prefixed with the
// program's name.

// For a first argument --help or -h: `usage` on standard output; for
// --version: "<program> <version>". Either way the exit status 0 is
// returned; nothing for any other word.
std::optional<int> help_or_version(const std::string& word, Channels& channels, const char* usage);

// "<program>: <message>" and a pointer to --help on standard error; returns
// the exit status of a bad command line.
int usage_error(Channels& channels, const std::string& message);

// Writes `path` through the one output writer (base/atomic_file.hpp): whole
// or not at all for a file, straight through for a FIFO or a device
// (InputError with the reason when it cannot be written); "-" (when
// `dash_is_stdout`) writes to standard output.
void write_output(const std::string& path, const std::function<void(std::ostream&)>& write,
                  Channels& channels, bool dash_is_stdout = false);

// The rule for every output: none may be one of the inputs or another
// output (by device and inode, or by normalised path when it does not exist
// yet). Throws UsageError naming both when one would be; "-" (standard
// output) takes no part. Called before anything is read or written.
void refuse_output_over_input(const std::vector<FileRole>& outputs, const std::vector<FileRole>& inputs);

// A value that must be one line (a name written into a header line):
// UsageError when it holds a line feed or a carriage return.
void require_one_line(const std::string& option, const std::string& value);

// Runs a program's body and turns what it throws into a message on standard
// error ("<program>: ...") and exit status 1.
int run_guarded(Channels& channels, const std::function<int()>& body);

}  // namespace tarvek::apps
