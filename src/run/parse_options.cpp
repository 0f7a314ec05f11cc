#include "run/parse_options.hpp"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "base/echo.hpp"
#include "base/parallel.hpp"
#include "genotype/text_input.hpp"
#include "run/option_table.hpp"

namespace tarvek {
namespace {

// Thrown inside the parser at the first problem; parse_options keeps it.
struct Stop {
  OptionProblem problem;
};

[[noreturn]] void fatal(std::string message) { throw Stop{{false, std::move(message)}}; }
[[noreturn]] void addition(std::string message) { throw Stop{{true, std::move(message)}}; }

void stop_on(std::optional<OptionProblem> problem) {
  if (problem) throw Stop{std::move(*problem)};
}

std::string number_text(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

// Reads option values, checking before each one that it stands before the
// last argument (the loc file).
struct OptionCursor {
  const std::vector<std::string>& arguments;
  std::size_t last;  // index of the loc file
  std::size_t pos;   // index of the option being read

  bool take(std::string& value) {
    if (pos + 1 >= last) return false;
    value = arguments[++pos];
    return true;
  }
  std::vector<std::string> take(std::size_t count, const std::string& missing_message) {
    std::vector<std::string> values(count);
    for (auto& value : values)
      if (!take(value)) fatal(missing_message);
    return values;
  }
};

float to_float(const std::string& text) { return static_cast<float>(to_real_lenient(text)); }

// Out-of-range tests are written so that a value that is not a number fails.
bool in_unit_range(float v) { return v >= 0.0f && v <= 1.0f; }

// A value read leniently that is not wholly a number ("five" reads as 0,
// "12abc" as 12) is named on a warning line: the run goes on with what was
// read, as it always has.
void warn_unless_number(ParsedOptions& out, char option, const std::string& text, bool whole) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  if (whole) {
    (void)std::strtol(begin, &end, 10);
  } else {
    (void)std::strtod(begin, &end);
  }
  const char* rest = end;
  while (*rest != '\0' && std::isspace(static_cast<unsigned char>(*rest))) ++rest;
  if (end != begin && *rest == '\0') return;
  const std::string read = whole ? std::to_string(to_int_lenient(text)) : number_text(to_float(text));
  const char* what = end != begin && whole && (*end == '.' || *end == 'e' || *end == 'E')
                         ? "is not a whole number"
                         : "is not a number";
  out.warnings.push_back(std::string("-") + option + ": \"" + echo(text) + "\" " + what +
                         "; it is read as " + read);
}

std::optional<OptionProblem> choice_problem(const RunParameters& p, const std::string& text) {
  if (p.choose && p.chromosomes < 1)
    return OptionProblem{true, "-A needs a number of chromosomes of at least 1, not '" + text + "'"};
  return std::nullopt;
}

std::optional<OptionProblem> grouping_problem(const RunParameters& p, const std::string& core_text,
                                              const std::string& min_text) {
  if (p.chromosomes < 0)
    return OptionProblem{false, "bad input paramaters -g!\nchromosomes must be non-negative"};
  if (!(p.core_LOD > 0.0f)) return OptionProblem{false, "bad input paramaters -g!\ncore_LOD must be > 0"};
  if (!(p.min_LOD > 0.0f)) return OptionProblem{false, "bad input paramaters -g!\nmin_LOD must be > 0"};
  // inf would be written into the map, which no reader takes back.
  if (!std::isfinite(p.core_LOD))
    return OptionProblem{true, "-g: core_LOD must be a finite number, not " + escaped_for_message(core_text)};
  if (!std::isfinite(p.min_LOD))
    return OptionProblem{true, "-g: min_LOD must be a finite number, not " + escaped_for_message(min_text)};
  return std::nullopt;
}

std::optional<OptionProblem> screening_problem(const RunParameters& p) {
  const auto& t = p.screening_thresholds;
  if (!in_unit_range(t[0]))
    return OptionProblem{false, "bad input paramaters -q!\nmissing value threshold must be between 0 and 1"};
  if (!(t[1] > 0.0f)) return OptionProblem{false, "bad input paramaters -q!\n1:1 chisquare threshold must be positive"};
  if (!(t[2] > 0.0f))
    return OptionProblem{false, "bad input paramaters -q!\n1:2:1 chisquare threshold must be positive"};
  if (!(t[3] > 0.0f)) return OptionProblem{false, "bad input paramaters -q!\n1:3 chisquare threshold must be positive"};
  return std::nullopt;
}

std::optional<OptionProblem> errsweep_problem(const RunParameters& p) {
  if (p.errsweep_group_threshold < 1)
    return OptionProblem{false, "bad input paramaters -s!\nERRSWEEP group threshold must be positive"};
  if (!in_unit_range(p.singleton_threshold))
    return OptionProblem{false, "bad input paramaters -s!\n singleton threshold must be between 0 and 1"};
  return std::nullopt;
}

std::optional<OptionProblem> sparse_problem(const RunParameters& p, const std::string& text) {
  if (!in_unit_range(p.sparse_share))
    return OptionProblem{true, "-y needs a share of missing genotypes from 0 to 1, not '" + text + "'"};
  return std::nullopt;
}

std::optional<OptionProblem> threads_problem(const std::string& text) {
  return OptionProblem{true, "-t needs a whole number of threads from 1 to " + std::to_string(kMaxThreads) +
                                 ", not '" + text + "'"};
}

}  // namespace

std::string option_ahead(const std::vector<std::string>& arguments, char letter) {
  std::string value;
  for (std::size_t pos = 0; pos + 1 < arguments.size(); ++pos) {
    const std::string& flag = arguments[pos];
    if (flag.size() != 2 || flag[0] != '-') break;
    if (flag[1] == letter && pos + 2 < arguments.size()) value = arguments[pos + 1];
    if (const OptionSpec* o = find_option(flag[1])) pos += static_cast<std::size_t>(o->values);
  }
  return value;
}

namespace {

void read_option(OptionCursor& cursor, const std::string& flag, ParsedOptions& out) {
  RunParameters& params = out.params;
  switch (flag[1]) {
    case 'a':
      params.switched_alleles = true;
      break;
    case 'f':
      params.framework = true;
      break;
    case 'k':
      params.keep_distorted = true;
      break;
    case 'u':
      params.typed_only = true;
      break;
    case 'o':
      params.order_plants = true;
      break;
    case 'y': {
      std::string value;
      if (!cursor.take(value)) addition("-y needs a share of missing genotypes before the loc file");
      warn_unless_number(out, 'y', value, false);
      params.sparse_share = to_float(value);
      stop_on(sparse_problem(params, value));
      break;
    }
    case 'A': {
      std::string value;
      if (!cursor.take(value)) addition("-A needs the number of chromosomes before the loc file");
      warn_unless_number(out, 'A', value, true);
      params.choose = true;
      params.skip_grouping = false;
      params.chromosomes = to_int_lenient(value);
      stop_on(choice_problem(params, value));
      break;
    }
    case 'g': {
      params.skip_grouping = false;
      const auto v = cursor.take(3, "bad input paramaters -g!\n not enough parameters");
      for (std::size_t k = 0; k < 3; ++k) warn_unless_number(out, 'g', v[k], k == 0);
      params.chromosomes = to_int_lenient(v[0]);
      params.core_LOD = to_float(v[1]);
      params.min_LOD = to_float(v[2]);
      out.console.push_back("chromosomes=" + std::to_string(params.chromosomes));
      stop_on(grouping_problem(params, v[1], v[2]));
      break;
    }
    case 'l': {
      // Taken ahead of the options (the log is opened before they are
      // read); here only its value is skipped.
      std::string value;
      if (!cursor.take(value)) addition("-l needs a log file name before the loc file");
      break;
    }
    case 'm':
      params.matrix_file = cursor.take(1, "bad input paramater -m!")[0];
      break;
    case 'p': {
      std::string value;
      if (!cursor.take(value)) addition("-p needs a population type before the loc file");
      const auto type = parse_population_any_case(value);
      if (!type) addition("unknown population type \"" + value + "\" for -p (" + population_names_listed() + ")");
      params.population = *type;
      break;
    }
    case 't': {
      std::string value;
      if (!cursor.take(value)) addition("-t needs a number of threads before the loc file");
      params.threads = parse_thread_count(value);
      if (params.threads == 0) stop_on(threads_problem(value));
      break;
    }
    case 'q': {
      const auto v = cursor.take(4, "bad input paramaters -q!\n not enough parameters");
      for (std::size_t i = 0; i < 4; ++i) {
        warn_unless_number(out, 'q', v[i], false);
        params.screening_thresholds.at(i) = to_float(v[i]);
      }
      stop_on(screening_problem(params));
      break;
    }
    case 's': {
      const auto v = cursor.take(2, "bad input paramaters -s!\n not enough parameters");
      warn_unless_number(out, 's', v[0], true);
      warn_unless_number(out, 's', v[1], false);
      params.errsweep = true;
      params.errsweep_group_threshold = to_int_lenient(v[0]);
      params.singleton_threshold = to_float(v[1]);
      stop_on(errsweep_problem(params));
      break;
    }
    default:
      fatal(std::string("bad input flag!") + flag[1]);
  }
}

}  // namespace

ParsedOptions parse_options(const std::vector<std::string>& arguments) {
  ParsedOptions out;
  RunParameters& params = out.params;
  params.arguments = arguments;
  if (arguments.empty()) {
    out.problem = OptionProblem{false, "bad input. tarvek wants input!"};
    return out;
  }
  params.loc_file = arguments.back();
  out.parameters_file = arguments.size() == 1;
  if (out.parameters_file) return out;
  params.log_file = option_ahead(arguments, 'l');
  params.skip_grouping = true;
  OptionCursor cursor{arguments, arguments.size() - 1, 0};
  try {
    for (; cursor.pos < cursor.last; ++cursor.pos) {
      const std::string& flag = arguments[cursor.pos];
      if (flag.size() != 2 || flag[0] != '-') fatal("bad input flags " + flag);
      read_option(cursor, flag, out);
    }
  } catch (const Stop& stop) {
    out.problem = stop.problem;
  }
  return out;
}

ParsedOptions parse_options(int argc, const char* const* argv) {
  std::vector<std::string> arguments;
  for (int k = 1; k < argc; ++k) arguments.emplace_back(argv[k]);
  return parse_options(arguments);
}

std::optional<OptionProblem> check_parameters(const RunParameters& params) {
  const std::string chromosomes = std::to_string(params.chromosomes);
  if (auto p = choice_problem(params, chromosomes)) return p;
  if (auto p = grouping_problem(params, number_text(params.core_LOD), number_text(params.min_LOD))) return p;
  if (auto p = screening_problem(params)) return p;
  if (auto p = errsweep_problem(params)) return p;
  if (params.sparse_share != kDefaultSparseShare)
    if (auto p = sparse_problem(params, number_text(params.sparse_share))) return p;
  if (params.threads < 0 || params.threads > kMaxThreads) return threads_problem(std::to_string(params.threads));
  return std::nullopt;
}

void report_problem(Channels& channels, const OptionProblem& problem) {
  if (problem.addition) report_fatal_addition(channels, problem.message);
  report_fatal(channels, problem.message);
}

}  // namespace tarvek
