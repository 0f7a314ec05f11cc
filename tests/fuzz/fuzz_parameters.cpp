// Fuzz target: the command line and the parameters file (read_run_parameters).
//
// An input is up to three sections separated by lines holding only "%%":
//
//   the arguments after the program name, one per line
//   %%
//   mapping_parameters.txt
//   %%
//   matrix.txt
//
// A missing section leaves its file out. The run happens in a private
// scratch folder holding a small loc file x.loc, and the same three files in
// its subfolder d/ (so that d/x.loc finds its parameters and matrix beside
// it). Arguments and the parameters file are kept inside that folder: no
// absolute paths and no "..".
//
// Properties: the run returns a complete setup or ends through the fatal
// path with exit status 1; a returned setup holds parameters within their
// ranges, an open loc file and a matrix whose row and column 6 are 0; the
// loc file is never changed; no file but the log is written; the matrix
// file read is never the log.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "fuzz_support.hpp"
#include "run/run_parameters.hpp"

namespace {

using namespace tarvek;
using tarvek::fuzz::check;

constexpr std::size_t kMaxInput = 2048;
constexpr std::size_t kMaxArguments = 16;

const std::string kLoc =
    "; fuzz\nname = x\nnloc = 2\nnind = 4\n"
    "M1\tA\tB\tH\tA\nM2\tA\tB\tH\tB\n";

struct Sections {
  std::vector<std::string> arguments;
  bool has_parameters = false;
  std::string parameters;
  bool has_matrix = false;
  std::string matrix;
};

Sections split(const std::string& text) {
  Sections s;
  int section = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    const auto end = text.find('\n', start);
    const std::size_t stop = end == std::string::npos ? text.size() : end;
    const std::string line = text.substr(start, stop - start);
    const bool last = end == std::string::npos;
    if (section < 2 && line == "%%") {
      ++section;
      (section == 1 ? s.has_parameters : s.has_matrix) = true;
    } else if (section == 0) {
      if (!(last && line.empty()) && s.arguments.size() < kMaxArguments) s.arguments.push_back(line);
    } else {
      std::string& file = section == 1 ? s.parameters : s.matrix;
      file += line;
      if (!last) file += '\n';
    }
    if (last) break;
    start = end + 1;
  }
  return s;
}

// No way out of the scratch folder: "/" only in a leading "d/", no "..", no
// leading backslash (a loc path "\x" has the folder "/").
std::string confined(std::string text, bool keep_subfolder) {
  for (std::size_t p = 0; p < text.size(); ++p) {
    if (text[p] == '/' && !(keep_subfolder && p == 1 && text[0] == 'd')) text[p] = '_';
  }
  for (auto p = text.find(".."); p != std::string::npos; p = text.find("..", p)) text[p + 1] = '_';
  if (!text.empty() && text[0] == '\\') text[0] = '_';
  return text;
}

bool same_file(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}

// The log path the run announced on the console, or empty.
std::string announced_log(const std::string& console) {
  const std::string key = "Writing log to ";
  const auto at = console.find(key);
  if (at == std::string::npos) return std::string();
  const auto end = console.find('\n', at);
  return console.substr(at + key.size(), end == std::string::npos ? std::string::npos : end - at - key.size());
}

void check_setup(const RunSetup& setup, bool file_mode, const std::string& log_path) {
  const RunParameters& p = setup.params;
  check(setup.loc && setup.loc->is_open(), "the setup holds no open loc file");
  check(p.chromosomes >= 0, "chromosomes below 0 taken");
  check(p.core_LOD > 0.0f && p.min_LOD > 0.0f, "a LOD threshold not above 0 taken");
  check(p.screening_thresholds[0] >= 0.0f, "a negative missing-value threshold taken");
  for (std::size_t i = 1; i < 4; ++i)
    check(p.screening_thresholds[i] > 0.0f, "a chi-square threshold not above 0 taken");
  check(p.errsweep_group_threshold >= 1, "an ERRSWEEP group threshold below 1 taken");
  check(p.singleton_threshold >= 0.0f && p.singleton_threshold <= 1.0f,
        "a singleton threshold outside 0 to 1 taken");
  const std::string suffix = "_map.loc";
  check(setup.map_file_name.size() >= suffix.size() &&
            setup.map_file_name.compare(setup.map_file_name.size() - suffix.size(), suffix.size(),
                                        suffix) == 0,
        "the map file name does not end in _map.loc");
  for (std::size_t k = 0; k < kCodeCount; ++k)
    check(setup.matrix[6][k] == 0 && setup.matrix[k][6] == 0, "row or column 6 of the matrix is not 0");
  const std::string matrix_path =
      (file_mode ? base_dir_of(p.loc_file) : std::string()) + matrix_file_name(p.matrix_file);
  check(log_path.empty() || !same_file(matrix_path, log_path), "the matrix was read from the log file");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxInput) return -1;
  const Sections sections = split(std::string(reinterpret_cast<const char*>(data), size));
  const fuzz::ScratchDir& dir = fuzz::ScratchDir::instance();
  dir.clear();
  std::map<std::string, std::string> files = {{"x.loc", kLoc}, {"d/x.loc", kLoc}};
  if (sections.has_parameters) {
    const std::string parameters = confined(sections.parameters, false);
    files["mapping_parameters.txt"] = parameters;
    files["d/mapping_parameters.txt"] = parameters;
  }
  if (sections.has_matrix) {
    files["matrix.txt"] = sections.matrix;
    files["d/matrix.txt"] = sections.matrix;
  }
  for (const auto& [name, content] : files) dir.write(name, content);

  std::vector<std::string> arguments{"tarvek"};
  for (const std::string& a : sections.arguments) arguments.push_back(confined(a, true));
  std::vector<const char*> argv;
  for (const std::string& a : arguments) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(arguments.size());

  fuzz::Captured run;
  {
    fuzz::InScratchDir inside(dir);
    try {
      RunSetup setup = read_run_parameters(argc, argv.data(), run.channels);
      check_setup(setup, argc == 2, announced_log(run.console.str()));
    } catch (const RunAbort& abort) {
      check(abort.status == 1, "a fatal error with an exit status other than 1");
      check(run.errors.str().find("Fatal error!: ") != std::string::npos ||
                run.errors.str().find("tarvek: ") != std::string::npos,
            "the run stopped without a message");
    }
    close_log_file(run.channels);

    const std::string log_path = announced_log(run.console.str());
    const std::string loc = argc >= 2 ? arguments.back() : std::string();
    for (const auto& [name, content] : files) {
      if (fuzz::read_file(name) == content) continue;
      check(!same_file(name, loc), "the loc file " + name + " was changed");
      check(!log_path.empty() && same_file(name, log_path),
            "the file " + name + " was changed although it is not the log");
    }
  }
  return 0;
}
