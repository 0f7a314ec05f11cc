#include "run/run_parameters.hpp"

#include <filesystem>
#include <ostream>
#include <system_error>

#include "base/parallel.hpp"
#include "genotype/text_input.hpp"
#include "output/map_file.hpp"

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
  if (!open_input_file(base_dir + kParametersFileName, in) || !read_line(in, line)) return {};
  const auto eq = line.find('=');
  return base_dir + matrix_file_name(eq == std::string::npos ? line : line.substr(eq + 1));
}

void read_options(int argc, const char* const* argv, RunParameters& params, Channels& channels) {
  params.skip_grouping = true;
  OptionCursor cursor{argv, argc - 1, 1};
  for (; cursor.pos < cursor.last; ++cursor.pos) {
    const std::string flag = argv[cursor.pos];
    if (flag.size() != 2 || flag[0] != '-') report_fatal(channels, "bad input flags " + flag);
    switch (flag[1]) {
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

void read_parameters_file(const std::string& base_dir, RunParameters& params, Channels& channels) {
  const std::string path = base_dir + kParametersFileName;
  std::ifstream in;
  if (!open_input_file(path, in)) report_fatal(channels, "bad parameters file!" + path);
  log_of(channels) << "getting parameters from " << path;

  std::vector<std::string> values(9);
  std::string line;
  for (auto& value : values) {
    if (!read_line(in, line)) break;
    value = parameter_value(line);
  }

  params.matrix_file = values[0];
  const int chromosomes = to_int_lenient(values[1]);
  if (chromosomes > 0) params.chromosomes = chromosomes;
  const auto set_if_positive = [](const std::string& text, float& target) {
    const double v = to_real_lenient(text);
    if (v > 0.0) target = static_cast<float>(v);
  };
  set_if_positive(values[2], params.core_LOD);
  set_if_positive(values[3], params.min_LOD);
  for (std::size_t i = 0; i < 4; ++i)
    set_if_positive(values[4 + i], params.screening_thresholds.at(i));
  if (to_real_lenient(values[8]) == 1.0) params.order_plants = true;
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
}

// True when `a` and `b` name the same existing file (same device and inode),
// whatever the names.
bool same_file(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}

}  // namespace

const std::vector<OptionSpec>& accepted_options() {
  static const std::vector<OptionSpec> options = {
      {'g', 3}, {'l', 1}, {'m', 1}, {'o', 0}, {'q', 4}, {'s', 2}, {'t', 1}};
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
         "  -g chromosomes core_LOD min_LOD   group the markers (12 16 4)\n"
         "  -l file                           write the log to file (tarvek_log.txt)\n"
         "  -m file                           scoring matrix file (matrix.txt)\n"
         "  -o                                also order the individuals\n"
         "  -q missing 1:1 1:2:1 1:3          screening thresholds (0.2 50 50 50)\n"
         "  -s group_threshold singleton      error detection thresholds (100 0.05)\n"
         "  -t threads                        threads to use (the cores available);\n"
         "                                    the output is the same for any number\n"
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
  setup.loc = std::make_unique<std::ifstream>();
  if (!open_input_file(params.loc_file, *setup.loc)) report_fatal(channels, "bad loc file!");
  const bool file_mode = argc == 2;
  const std::string base_dir = base_dir_of(params.loc_file);
  params.log_file = file_mode ? std::string() : option_ahead(argc, argv, 'l');
  const std::string log_path = !params.log_file.empty() ? params.log_file
                               : file_mode             ? base_dir + kLogFileName
                                                       : std::string(kLogFileName);
  setup.map_file_name = map_file_stem(params.loc_file) + "_map.loc";

  // The input must never be destroyed by the run's own output.
  if (same_file(params.loc_file, log_path)) {
    note(channels, params.loc_file + " is the log file " + log_path);
    report_fatal(channels, "bad loc file!");
  }
  if (same_file(params.loc_file, setup.map_file_name)) {
    note(channels, params.loc_file + " is the map file " + setup.map_file_name);
    report_fatal(channels, "bad loc file!");
  }
  const std::string matrix_ahead = matrix_path_ahead(argc, argv, file_mode, base_dir);
  if (!matrix_ahead.empty() && same_file(matrix_ahead, log_path)) {
    note(channels, matrix_ahead + " is the log file " + log_path);
    report_fatal(channels, "bad matrix file " + matrix_ahead);
  }

  const bool log_open = open_log_file(channels, log_path);
  console_of(channels) << "Writing log to " << log_path << std::endl;
  if (!log_open) warn(channels, "cannot open the log file " + log_path + "; the run goes on without a log");

  if (file_mode) {
    read_parameters_file(base_dir, params, channels);
  } else {
    read_options(argc, argv, params, channels);
  }
  if (params.threads == 0) params.threads = available_cores();
  echo_parameters(params, log_of(channels));

  const std::string name = matrix_file_name(params.matrix_file);
  const std::string path = (file_mode ? base_dir : std::string()) + name;
  std::ifstream in;
  if (name.empty() || !open_input_file(path, in)) report_fatal(channels, "bad matrix file " + path);
  read_scoring_matrix(in, setup.matrix, channels, path);
  return setup;
}

}  // namespace tarvek
