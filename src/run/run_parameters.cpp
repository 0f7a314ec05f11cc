#include "run/run_parameters.hpp"

#include <cctype>
#include <cmath>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <system_error>

#include "base/echo.hpp"
#include "base/parallel.hpp"
#include "genotype/text_input.hpp"
#include "output/map_file.hpp"
#include "run/run_files.hpp"

namespace tarvek {
namespace {

// Reads option values from argv, checking before each one that it stands
// before the last argument (the loc file).
struct OptionCursor {
  const char* const* argv;
  int last;  // index of the loc file
  int pos;   // index of the option being read

  bool take(std::string& value) {
    if (pos + 1 >= last) return false;
    value = argv[++pos];
    return true;
  }
};

std::vector<std::string> take_values(OptionCursor& cursor, int count,
                                     const std::string& missing_message, Channels& channels) {
  std::vector<std::string> values(static_cast<std::size_t>(count));
  for (auto& value : values) {
    if (!cursor.take(value)) report_fatal(channels, missing_message);
  }
  return values;
}

float to_float(const std::string& text) { return static_cast<float>(to_real_lenient(text)); }

// Out-of-range tests are written so that a value that is not a number fails.
bool in_unit_range(float v) { return v >= 0.0f && v <= 1.0f; }

int values_of(char letter) {
  for (const OptionSpec& o : accepted_options())
    if (o.letter == letter) return o.values;
  return 0;
}

// The value of the last option `letter` before the first malformed option,
// read ahead of the options themselves: the log must be open before the
// options are read, so that their errors reach it. Empty when there is none.
std::string option_ahead(int argc, const char* const* argv, char letter) {
  std::string value;
  for (int pos = 1; pos < argc - 1; ++pos) {
    const std::string flag = argv[pos];
    if (flag.size() != 2 || flag[0] != '-') break;
    if (flag[1] == letter && pos + 1 < argc - 1) value = argv[pos + 1];
    pos += values_of(flag[1]);
  }
  return value;
}

// The scoring matrix file the run will read, known before the log is opened:
// from -m (or its default) in options mode, from the parameters file's first
// line in parameters-file mode. Empty when it cannot be told yet.
std::string matrix_path_ahead(int argc, const char* const* argv, bool file_mode,
                              const std::string& base_dir) {
  if (!file_mode) {
    const std::string m = option_ahead(argc, argv, 'm');
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
  const auto type = parse_population(value);
  if (!type)
    report_fatal_addition(channels, "unknown population type \"" + value + "\" for " + where +
                                        " (F2, BC1, DH, RIL or RILsib)");
  return *type;
}

void read_options(int argc, const char* const* argv, RunParameters& params, Channels& channels) {
  params.skip_grouping = true;
  OptionCursor cursor{argv, argc - 1, 1};
  for (; cursor.pos < cursor.last; ++cursor.pos) {
    const std::string flag = argv[cursor.pos];
    if (flag.size() != 2 || flag[0] != '-') report_fatal(channels, "bad input flags " + flag);
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
      case 'y': {
        std::string value;
        if (!cursor.take(value))
          report_fatal_addition(channels, "-y needs a share of missing genotypes before the loc file");
        params.sparse_share = to_float(value);
        if (!in_unit_range(params.sparse_share))
          report_fatal_addition(channels, "-y needs a share of missing genotypes from 0 to 1, not '" +
                                              value + "'");
        break;
      }
      case 'A': {
        std::string value;
        if (!cursor.take(value))
          report_fatal_addition(channels, "-A needs the number of chromosomes before the loc file");
        params.choose = true;
        params.skip_grouping = false;
        params.chromosomes = to_int_lenient(value);
        if (params.chromosomes < 1)
          report_fatal_addition(channels, "-A needs a number of chromosomes of at least 1, not '" +
                                              value + "'");
        break;
      }
      case 'g': {
        params.skip_grouping = false;
        const auto v =
            take_values(cursor, 3, "bad input paramaters -g!\n not enough parameters", channels);
        params.chromosomes = to_int_lenient(v[0]);
        params.core_LOD = to_float(v[1]);
        params.min_LOD = to_float(v[2]);
        console_of(channels) << "chromosomes=" << params.chromosomes;
        if (params.chromosomes < 0)
          report_fatal(channels, "bad input paramaters -g!\nchromosomes must be non-negative");
        if (!(params.core_LOD > 0.0f))
          report_fatal(channels, "bad input paramaters -g!\ncore_LOD must be > 0");
        if (!(params.min_LOD > 0.0f))
          report_fatal(channels, "bad input paramaters -g!\nmin_LOD must be > 0");
        // inf would be written into the map, which no reader takes back.
        if (!std::isfinite(params.core_LOD))
          report_fatal_addition(channels, "-g: core_LOD must be a finite number, not " + escaped_for_message(v[1]));
        if (!std::isfinite(params.min_LOD))
          report_fatal_addition(channels, "-g: min_LOD must be a finite number, not " + escaped_for_message(v[2]));
        break;
      }
      case 'l': {
        // Taken before the log was opened; here only its value is skipped.
        std::string value;
        if (!cursor.take(value)) report_fatal_addition(channels, "-l needs a log file name before the loc file");
        break;
      }
      case 'm': {
        const auto v = take_values(cursor, 1, "bad input paramater -m!", channels);
        params.matrix_file = v[0];
        break;
      }
      case 'o':
        params.order_plants = true;
        break;
      case 'p': {
        std::string value;
        if (!cursor.take(value))
          report_fatal_addition(channels, "-p needs a population type before the loc file");
        params.population = population_value(value, "-p", channels);
        break;
      }
      case 't': {
        std::string value;
        if (!cursor.take(value))
          report_fatal_addition(channels, "-t needs a number of threads before the loc file");
        params.threads = parse_thread_count(value);
        if (params.threads == 0)
          report_fatal_addition(channels, "-t needs a whole number of threads from 1 to " +
                                              std::to_string(kMaxThreads) + ", not '" + value + "'");
        break;
      }
      case 'q': {
        const auto v =
            take_values(cursor, 4, "bad input paramaters -q!\n not enough parameters", channels);
        for (std::size_t i = 0; i < 4; ++i) params.screening_thresholds.at(i) = to_float(v[i]);
        const auto& t = params.screening_thresholds;
        if (!in_unit_range(t[0]))
          report_fatal(channels,
                       "bad input paramaters -q!\nmissing value threshold must be between 0 and 1");
        if (!(t[1] > 0.0f))
          report_fatal(channels, "bad input paramaters -q!\n1:1 chisquare threshold must be positive");
        if (!(t[2] > 0.0f))
          report_fatal(channels,
                       "bad input paramaters -q!\n1:2:1 chisquare threshold must be positive");
        if (!(t[3] > 0.0f))
          report_fatal(channels, "bad input paramaters -q!\n1:3 chisquare threshold must be positive");
        break;
      }
      case 's': {
        const auto v =
            take_values(cursor, 2, "bad input paramaters -s!\n not enough parameters", channels);
        params.errsweep = true;
        params.errsweep_group_threshold = to_int_lenient(v[0]);
        params.singleton_threshold = to_float(v[1]);
        if (params.errsweep_group_threshold < 1)
          report_fatal(channels, "bad input paramaters -s!\nERRSWEEP group threshold must be positive");
        if (!in_unit_range(params.singleton_threshold))
          report_fatal(channels,
                       "bad input paramaters -s!\n singleton threshold must be between 0 and 1");
        break;
      }
      default:
        report_fatal(channels, std::string("bad input flag!") + flag[1]);
    }
  }
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
  if (note_unreadable_input(path, channels) || !open_input_file(path, in))
    report_fatal(channels, "bad parameters file!" + path);
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

}  // namespace

const std::vector<OptionSpec>& accepted_options() {
  static const std::vector<OptionSpec> options = {
      {'a', 0}, {'f', 0}, {'g', 3}, {'k', 0}, {'l', 1}, {'m', 1}, {'o', 0}, {'p', 1},
      {'q', 4}, {'s', 2}, {'t', 1}, {'u', 0}, {'y', 1}, {'A', 1}};
  return options;
}

std::string usage_text() {
  return "usage: tarvek <loc file>\n"
         "       tarvek [options] <loc file>\n"
         "       tarvek --help | --version\n"
         "\n"
         "With the loc file alone, the parameters are read from mapping_parameters.txt\n"
         "beside it, and the matrix and log files are beside it too. With options,\n"
         "grouping is skipped unless -g is given, and matrix.txt and tarvek_log.txt\n"
         "are in the current folder.\n"
         "\n"
         "options (each value a separate argument):\n"
         "  -A chromosomes                    choose the settings from the data for this\n"
         "                                    many chromosomes; prints the command line\n"
         "  -a                                find and flip markers with switched alleles\n"
         "  -f                                order codominant markers first, then place\n"
         "                                    the dominant ones into that framework\n"
         "  -g chromosomes core_LOD min_LOD   group the markers (12 16 4)\n"
         "  -k                                keep markers rejected for segregation that\n"
         "                                    are linked to a group, placed into it\n"
         "  -l file                           write the log to file (tarvek_log.txt)\n"
         "  -m file                           scoring matrix file (matrix.txt)\n"
         "  -o                                also order the individuals\n"
         "  -p type                           population: F2, BC1, DH, RIL or RILsib (F2)\n"
         "  -q missing 1:1 1:2:1 1:3          screening thresholds (0.2 50 50 50)\n"
         "  -s group_threshold singleton      error detection thresholds (100 0.05)\n"
         "  -t threads                        threads to use (the cores available);\n"
         "                                    the output is the same for any number\n"
         "  -u                                segregation tests among the typed genotypes\n"
         "  -y share                          with -f, also set aside markers missing in\n"
         "                                    more than share of the individuals (0.5,\n"
         "                                    or above the commonest share + 0.1)\n"
         "\n"
         "The map is written beside the loc file as <loc file without extension>_map.loc.\n"
         "Exit status: 0 after a complete run, 1 after a fatal error.\n";
}

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

RunSetup read_run_parameters(int argc, const char* const* argv, Channels& channels) {
  RunSetup setup;
  RunParameters& params = setup.params;
  if (argc < 2) report_fatal(channels, "bad input. tarvek wants input!");
  params.loc_file = argv[argc - 1];
  setup.map_file_name = map_file_stem(params.loc_file) + "_map.loc";
  check_loc_file(params.loc_file, setup.map_file_name, channels);
  setup.loc = std::make_unique<std::ifstream>();
  if (!open_input_file(params.loc_file, *setup.loc)) report_fatal(channels, "bad loc file!");
  const bool file_mode = argc == 2;
  const std::string base_dir = base_dir_of(params.loc_file);
  params.log_file = file_mode ? std::string() : option_ahead(argc, argv, 'l');
  const std::string log_path = !params.log_file.empty() ? params.log_file
                               : file_mode             ? base_dir + kLogFileName
                                                       : std::string(kLogFileName);

  // The input must never be destroyed by the run's own output.
  const std::string matrix_ahead = matrix_path_ahead(argc, argv, file_mode, base_dir);
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
    read_options(argc, argv, params, channels);
  }
  if (params.threads == 0) params.threads = available_cores();
  for (int k = 1; k < argc; ++k) params.arguments.emplace_back(argv[k]);
  echo_parameters(params, log_of(channels));

  const std::string name = matrix_file_name(params.matrix_file);
  const std::string path = (file_mode ? base_dir : std::string()) + name;
  std::ifstream in;
  if (name.empty() || note_unreadable_input(path, channels) || !open_input_file(path, in))
    report_fatal(channels, "bad matrix file " + path);
  try {
    read_scoring_matrix(in, setup.matrix, channels, path);
  } catch (const LineTooLong& e) {
    note(channels, path + ": " + line_too_long_text(e));
    report_fatal(channels, "bad matrix file " + path);
  }
  return setup;
}

}  // namespace tarvek
