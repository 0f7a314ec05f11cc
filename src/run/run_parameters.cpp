#include "run/run_parameters.hpp"

#include <fstream>
#include <iostream>
#include <vector>

#include "run/report.hpp"
#include "run/text_input.hpp"

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
                                     const std::string& missing_message) {
  std::vector<std::string> values(static_cast<std::size_t>(count));
  for (auto& value : values) {
    if (!cursor.take(value)) report_fatal(missing_message);
  }
  return values;
}

float to_float(const std::string& text) { return static_cast<float>(to_real_lenient(text)); }

// Out-of-range tests are written so that a value that is not a number fails.
bool in_unit_range(float v) { return v >= 0.0f && v <= 1.0f; }

void read_options(int argc, const char* const* argv, RunParameters& params) {
  params.skip_grouping = true;
  OptionCursor cursor{argv, argc - 1, 1};
  for (; cursor.pos < cursor.last; ++cursor.pos) {
    const std::string flag = argv[cursor.pos];
    if (flag.size() != 2 || flag[0] != '-') report_fatal("bad input flags " + flag);
    switch (flag[1]) {
      case 'g': {
        params.skip_grouping = false;
        const auto v = take_values(cursor, 3, "bad input paramaters -g!\n not enough parameters");
        params.chromosomes = to_int_lenient(v[0]);
        params.core_LOD = to_float(v[1]);
        params.min_LOD = to_float(v[2]);
        std::cout << "chromosomes=" << params.chromosomes;
        if (params.chromosomes < 0)
          report_fatal("bad input paramaters -g!\nchromosomes must be non-negative");
        if (!(params.core_LOD > 0.0f))
          report_fatal("bad input paramaters -g!\ncore_LOD must be > 0");
        if (!(params.min_LOD > 0.0f))
          report_fatal("bad input paramaters -g!\nmin_LOD must be > 0");
        break;
      }
      case 'm': {
        const auto v = take_values(cursor, 1, "bad input paramater -m!");
        params.matrix_file = v[0];
        break;
      }
      case 'o':
        params.order_plants = true;
        break;
      case 'q': {
        const auto v = take_values(cursor, 4, "bad input paramaters -q!\n not enough parameters");
        for (std::size_t i = 0; i < 4; ++i) params.screening_thresholds.at(i) = to_float(v[i]);
        const auto& t = params.screening_thresholds;
        if (!in_unit_range(t[0]))
          report_fatal("bad input paramaters -q!\nmissing value threshold must be between 0 and 1");
        if (!(t[1] > 0.0f))
          report_fatal("bad input paramaters -q!\n1:1 chisquare threshold must be positive");
        if (!(t[2] > 0.0f))
          report_fatal("bad input paramaters -q!\n1:2:1 chisquare threshold must be positive");
        if (!(t[3] > 0.0f))
          report_fatal("bad input paramaters -q!\n1:3 chisquare threshold must be positive");
        break;
      }
      case 's': {
        const auto v = take_values(cursor, 2, "bad input paramaters -s!\n not enough parameters");
        params.errsweep = true;
        params.errsweep_group_threshold = to_int_lenient(v[0]);
        params.singleton_threshold = to_float(v[1]);
        if (params.errsweep_group_threshold < 1)
          report_fatal("bad input paramaters -s!\nERRSWEEP group threshold must be positive");
        if (!in_unit_range(params.singleton_threshold))
          report_fatal("bad input paramaters -s!\n singleton threshold must be between 0 and 1");
        break;
      }
      default:
        report_fatal(std::string("bad input flag!") + flag[1]);
    }
  }
}

// The value of a parameters-file line: the text after its first "=", or the
// whole line when it has none.
std::string parameter_value(const std::string& line) {
  const auto eq = line.find('=');
  return eq == std::string::npos ? line : line.substr(eq + 1);
}

void read_parameters_file(const std::string& base_dir, RunParameters& params) {
  const std::string path = base_dir + kParametersFileName;
  std::ifstream in;
  if (!open_input_file(path, in)) report_fatal("bad parameters file!" + path);
  log_stream() << "getting parameters from " << path;

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
  for (std::size_t i = 0; i < 4; ++i) set_if_positive(values[4 + i], params.screening_thresholds.at(i));
  if (to_real_lenient(values[8]) == 1.0) params.order_plants = true;
}

void echo_parameters(const RunParameters& params) {
  std::ostream& log = log_stream();
  log << std::endl << std::endl;
  log << "chromosomes = " << params.chromosomes << std::endl;
  log << "LOD for core grouping = " << params.core_LOD << std::endl;
  log << "minimum LOD for grouping = " << params.min_LOD << std::endl;
  log << "missing value screening ratio = " << params.screening_thresholds[0] << std::endl;
  log << "1 : 1 segregation chi_square screening ratio = " << params.screening_thresholds[1] << std::endl;
  log << "1 : 2 : 1 segregation chi_square screening ratio = " << params.screening_thresholds[2] << std::endl;
  log << "1 : 3 segregation chi_square screening ratio = " << params.screening_thresholds[3] << std::endl;
  log << "order plants = " << (params.order_plants ? 1 : 0) << std::endl;
  log << "errsweep = " << (params.errsweep ? 1 : 0) << std::endl;
  if (params.errsweep) {
    log << "ERRSWEEP group threshold = " << params.errsweep_group_threshold << std::endl;
    log << "singleton threshold = " << params.singleton_threshold << std::endl;
  }
}

}  // namespace

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

void read_run_parameters(int argc, const char* const* argv, RunParameters& params,
                         ScoringMatrix& matrix) {
  if (argc < 2) report_fatal("bad input. tarvek wants input!");
  params.loc_file = argv[argc - 1];
  {
    std::ifstream probe;
    if (!open_input_file(params.loc_file, probe)) report_fatal("bad loc file!");
  }
  const bool file_mode = argc == 2;
  const std::string base_dir = base_dir_of(params.loc_file);
  const std::string log_path = file_mode ? base_dir + kLogFileName : std::string(kLogFileName);
  open_log(log_path);
  std::cout << "Writing log to " << log_path << std::endl;

  if (file_mode) {
    read_parameters_file(base_dir, params);
  } else {
    read_options(argc, argv, params);
  }
  echo_parameters(params);

  const std::string name = matrix_file_name(params.matrix_file);
  const std::string path = (file_mode ? base_dir : std::string()) + name;
  std::ifstream in;
  if (name.empty() || !open_input_file(path, in)) report_fatal("bad matrix file " + path);
  read_scoring_matrix(in, matrix);
}

}  // namespace tarvek
