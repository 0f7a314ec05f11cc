#include "run/run_parameters.hpp"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <system_error>

#include "base/echo.hpp"
#include "base/parallel.hpp"
#include "genotype/genotype_codes.hpp"
#include "genotype/text_input.hpp"
#include "output/map_file.hpp"
#include "run/parse_options.hpp"
#include "run/run_files.hpp"

namespace tarvek {
namespace {

// The scoring matrix file the run will read, known before the log is opened:
// from -m (or its default) in options mode, from the parameters file's first
// line in parameters-file mode. Empty when it cannot be told yet.
std::string matrix_path_ahead(const std::vector<std::string>& arguments, bool file_mode,
                              const std::string& base_dir) {
  if (!file_mode) {
    const std::string m = option_ahead(arguments, 'm');
    return matrix_file_name(m.empty() ? std::string("matrix.txt") : m);
  }
  std::ifstream in;
  std::string line;
  // Only a regular file is read twice: a FIFO would wait for ever for a
  // second writer, and a device is refused when the file is read.
  const std::string parameters = base_dir + kParametersFileName;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(parameters, ec)) return {};
  try {
    if (!open_input_file(parameters, in) || !read_line(in, line)) return {};
  } catch (const LineTooLong&) {
    return {};  // said when the file is read
  }
  const auto eq = line.find('=');
  return base_dir + matrix_file_name(eq == std::string::npos ? line : line.substr(eq + 1));
}

// The type a -p or "population=" value names; an unknown name ends the run.
PopulationType population_value(const std::string& value, const std::string& where,
                                Channels& channels) {
  const auto type = parse_population_any_case(value);
  if (!type)
    report_fatal_addition(channels, "unknown population type \"" + value + "\" for " + where +
                                        " (" + population_names_listed() + ")");
  return *type;
}

// The value of a parameters-file line: the text after its first "=", or the
// whole line when it has none.
std::string parameter_value(const std::string& line) {
  const auto eq = line.find('=');
  return eq == std::string::npos ? line : line.substr(eq + 1);
}

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The lines after the nine fixed ones: "key=value" settings, the key in any
// case with "_" read as a blank. Other lines are not looked at, as before
// these settings existed.
void read_parameter_settings(std::istream& in, RunParameters& params, Channels& channels) {
  std::string line;
  while (read_line(in, line)) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = trimmed(line.substr(0, eq));
    for (char& ch : key) {
      ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      if (ch == '_') ch = ' ';
    }
    const std::string value = trimmed(line.substr(eq + 1));
    if (key == "population") {
      params.population = population_value(value, "population= in the parameters file", channels);
    } else if (key == "switched alleles") {
      if (value != "0" && value != "1")
        report_fatal_addition(channels,
                              "switched alleles= in the parameters file takes 0 or 1, not \"" +
                                  value + "\"");
      params.switched_alleles = value == "1";
    } else if (key == "framework") {
      if (value != "0" && value != "1")
        report_fatal_addition(channels, "framework= in the parameters file takes 0 or 1, not \"" +
                                            value + "\"");
      params.framework = value == "1";
    } else if (key == "typed only" || key == "keep distorted") {
      if (value != "0" && value != "1")
        report_fatal_addition(channels, key + "= in the parameters file takes 0 or 1, not \"" +
                                            value + "\"");
      (key == "typed only" ? params.typed_only : params.keep_distorted) = value == "1";
    } else if (key == "sparse share") {
      const double share = to_real_lenient(value);
      if (value.empty() || !(share >= 0.0 && share <= 1.0))
        report_fatal_addition(channels,
                              "sparse share= in the parameters file takes a share from 0 to 1, "
                              "not \"" + value + "\"");
      params.sparse_share = static_cast<float>(share);
    }
  }
}

void read_parameters_file(const std::string& base_dir, RunParameters& params, Channels& channels) {
  const std::string path = base_dir + kParametersFileName;
  std::ifstream in;
  if (note_unreadable_input(path, channels)) report_fatal(channels, "bad parameters file!" + path);
  if (!open_input_file(path, in)) {
    note_open_failure(path, channels);
    report_fatal(channels, "bad parameters file!" + path);
  }
  log_of(channels) << "getting parameters from " << path;

  std::vector<std::string> values(9);
  std::string line;
  bool complete = true;
  for (auto& value : values) {
    if (!read_line(in, line)) {
      complete = false;
      break;
    }
    value = parameter_value(line);
  }

  params.matrix_file = values[0];
  const int chromosomes = to_int_lenient(values[1]);
  if (chromosomes > 0) params.chromosomes = chromosomes;
  const auto set_if_positive = [](const std::string& text, float& target) {
    const double v = to_real_lenient(text);
    if (v > 0.0) target = static_cast<float>(v);
  };
  // A LOD that is not a finite number (inf, 1e39) is not taken: it would be
  // written into the map, which no reader takes back.
  const auto set_lod = [&](std::size_t k, const char* what, float& target) {
    const double v = to_real_lenient(values[k]);
    if (v > 0.0 && !std::isfinite(static_cast<float>(v))) {
      std::ostringstream kept;
      kept << target;
      warn(channels, path + " line " + std::to_string(k + 1) + ": " + what + " " +
                         escaped_for_message(values[k]) + " is not a finite number; " + kept.str() + " is used");
      return;
    }
    set_if_positive(values[k], target);
  };
  set_lod(2, "core_LOD", params.core_LOD);
  set_lod(3, "min_LOD", params.min_LOD);
  for (std::size_t i = 0; i < 4; ++i)
    set_if_positive(values[4 + i], params.screening_thresholds.at(i));
  if (to_real_lenient(values[8]) == 1.0) params.order_plants = true;
  if (complete) read_parameter_settings(in, params, channels);
}

void echo_parameters(const RunParameters& params, std::ostream& log) {
  log << std::endl << std::endl;
  log << "chromosomes = " << params.chromosomes << std::endl;
  log << "LOD for core grouping = " << params.core_LOD << std::endl;
  log << "minimum LOD for grouping = " << params.min_LOD << std::endl;
  log << "missing value screening ratio = " << params.screening_thresholds[0] << std::endl;
  log << "1 : 1 segregation chi_square screening ratio = " << params.screening_thresholds[1]
      << std::endl;
  log << "1 : 2 : 1 segregation chi_square screening ratio = " << params.screening_thresholds[2]
      << std::endl;
  log << "1 : 3 segregation chi_square screening ratio = " << params.screening_thresholds[3]
      << std::endl;
  log << "order plants = " << (params.order_plants ? 1 : 0) << std::endl;
  log << "errsweep = " << (params.errsweep ? 1 : 0) << std::endl;
  if (params.errsweep) {
    log << "ERRSWEEP group threshold = " << params.errsweep_group_threshold << std::endl;
    log << "singleton threshold = " << params.singleton_threshold << std::endl;
  }
  // Settings beyond the classic ones are echoed only when they differ from
  // their defaults.
  if (params.population != PopulationType::F2)
    log << "population type = " << population_name(params.population) << std::endl;
  if (params.switched_alleles) log << "switched alleles = 1" << std::endl;
  if (params.framework) log << "framework = 1" << std::endl;
  if (params.typed_only) log << "segregation among typed genotypes = 1" << std::endl;
  if (params.keep_distorted) log << "keep distorted = 1" << std::endl;
  if (params.sparse_share >= 0.0f) log << "sparse share = " << params.sparse_share << std::endl;
}

// The scoring matrix file of a run; a file that is not there gets a line
// naming the installed standard matrix (when there is one) and the option
// that takes it.
ScoringMatrix load_matrix(const std::string& path, Channels& channels, bool hint) {
  ScoringMatrix matrix{};
  std::ifstream in;
  if (note_unreadable_input(path, channels)) report_fatal(channels, "bad matrix file " + path);
  if (!open_input_file(path, in)) {
    const int error = note_open_failure(path, channels);
    const std::string installed = installed_data_file("matrix.txt");
    if (hint && error == ENOENT && !installed.empty())
      note(channels, "the standard scoring matrix is installed as " + installed + ": give -m " + installed +
                         " (or matrix=" + installed + " on the first line of " + kParametersFileName + ")");
    report_fatal(channels, "bad matrix file " + path);
  }
  try {
    read_scoring_matrix(in, matrix, channels, path);
  } catch (const LineTooLong& e) {
    note(channels, path + ": " + line_too_long_text(e));
    report_fatal(channels, "bad matrix file " + path);
  }
  return matrix;
}

}  // namespace

int parse_thread_count(const std::string& text) {
  if (text.empty() || text.size() > 4) return 0;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  return value >= 1 && value <= kMaxThreads ? value : 0;
}

std::string base_dir_of(const std::string& loc_file) {
  auto cut = loc_file.rfind('\\');
  if (cut == std::string::npos) cut = loc_file.rfind('/');
  if (cut == std::string::npos) return std::string();
  return loc_file.substr(0, cut) + "/";
}

std::string matrix_file_name(const std::string& matrix_file) {
  const auto first = matrix_file.find_first_not_of(' ');
  std::string name = first == std::string::npos ? std::string() : matrix_file.substr(first);
  if (!name.empty() && name[0] == '"') {
    name = name.size() >= 2 ? name.substr(1, name.size() - 2) : std::string();
  }
  return name;
}

RunSetup open_run(const ParsedOptions& parsed, Channels& channels) {
  RunSetup setup;
  RunParameters& params = setup.params;
  if (parsed.params.arguments.empty()) report_problem(channels, *parsed.problem);
  params = parsed.params;
  setup.map_file_name = map_file_stem(params.loc_file) + "_map.loc";
  check_loc_file(params.loc_file, setup.map_file_name, channels);
  setup.loc = std::make_unique<std::ifstream>();
  if (!open_input_file(params.loc_file, *setup.loc)) {
    note_open_failure(params.loc_file, channels);
    report_fatal(channels, "bad loc file!");
  }
  const bool file_mode = parsed.parameters_file;
  const std::string base_dir = base_dir_of(params.loc_file);
  const std::string log_path = !params.log_file.empty() ? params.log_file
                               : file_mode             ? base_dir + kLogFileName
                                                       : std::string(kLogFileName);

  // The input must never be destroyed by the run's own output.
  const std::string matrix_ahead = matrix_path_ahead(params.arguments, file_mode, base_dir);
  check_outputs_against_inputs(
      RunFiles{params.loc_file, file_mode ? base_dir + kParametersFileName : std::string(), matrix_ahead,
               log_path, setup.map_file_name},
      channels);

  const bool log_open = open_log_file(channels, log_path);
  console_of(channels) << "Writing log to " << log_path << std::endl;
  if (!log_open) warn(channels, "cannot open the log file " + log_path + "; the run goes on without a log");

  if (file_mode) {
    try {
      read_parameters_file(base_dir, params, channels);
    } catch (const LineTooLong& e) {
      note(channels, base_dir + kParametersFileName + ": " + line_too_long_text(e));
      report_fatal(channels, "bad parameters file!" + base_dir + kParametersFileName);
    }
  } else {
    for (const std::string& text : parsed.console) console_of(channels) << text;
    for (const std::string& text : parsed.warnings) warn(channels, text);
    if (parsed.problem) report_problem(channels, *parsed.problem);
  }
  if (params.threads == 0) params.threads = available_cores();
  echo_parameters(params, log_of(channels));

  const std::string name = matrix_file_name(params.matrix_file);
  const std::string path = (file_mode ? base_dir : std::string()) + name;
  if (name.empty()) {
    note(channels, "the scoring matrix file's name is empty");
    report_fatal(channels, "bad matrix file " + path);
  }
  setup.matrix = load_matrix(path, channels, true);
  return setup;
}

RunSetup read_run_parameters(int argc, const char* const* argv, Channels& channels) {
  return open_run(parse_options(argc, argv), channels);
}

ScoringMatrix load_scoring_matrix(const std::string& path, Channels& channels) {
  return load_matrix(path, channels, false);
}

ScoringMatrix standard_scoring_matrix() {
  ScoringMatrix m{};
  const auto set = [&m](int a, int b, std::int32_t score) {
    m.at(static_cast<std::size_t>(a)).at(static_cast<std::size_t>(b)) = score;
    m.at(static_cast<std::size_t>(b)).at(static_cast<std::size_t>(a)) = score;
  };
  set(kCodeA, kCodeB, 2);
  set(kCodeA, kCodeC, 1);
  set(kCodeA, kCodeH, 1);
  set(kCodeB, kCodeD, 1);
  set(kCodeB, kCodeH, 1);
  return m;
}

}  // namespace tarvek
