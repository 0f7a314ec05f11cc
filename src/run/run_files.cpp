#include "run/run_files.hpp"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>
#include <vector>

#include "base/echo.hpp"

#include "base/file_checks.hpp"

namespace tarvek {

bool note_unreadable_input(const std::string& path, Channels& channels) {
  const std::string why = unreadable_input_reason(path);
  if (why.empty()) return false;
  note(channels, path + " is " + why);
  return true;
}

int note_open_failure(const std::string& path, Channels& channels) {
  const OpenFailure failure = open_failure(path);
  note(channels, escaped_for_message(path) + ": " + failure.text);
  return failure.error;
}

std::string installed_data_file(const std::string& name) {
  std::vector<std::filesystem::path> folders;
  std::error_code ec;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) folders.push_back(program.parent_path().parent_path() / "share" / "tarvek");
#ifdef TARVEK_DATA_DIR
  folders.emplace_back(TARVEK_DATA_DIR);
#endif
  for (const auto& folder : folders) {
    const std::filesystem::path file = folder / name;
    if (std::filesystem::is_regular_file(file, ec)) return file.lexically_normal().string();
  }
  return {};
}

void check_loc_file(const std::string& loc_file, const std::string& map_file, Channels& channels) {
  if (note_unreadable_input(loc_file, channels)) report_fatal(channels, "bad loc file!");
  struct stat s {};
  if (::stat(loc_file.c_str(), &s) != 0) return;  // opening it says what is wrong
  if (S_ISCHR(s.st_mode)) {
    note(channels, loc_file + " is a device, not a file: no map is written beside a device");
    report_fatal(channels, "bad loc file!");
  }
  if (in_device_folder(map_file)) {
    note(channels, "the map file " + map_file + " would be written among the system's devices");
    report_fatal(channels, "bad loc file!");
  }
}

void check_outputs_against_inputs(const RunFiles& files, Channels& channels) {
  const std::vector<FileRole> outputs = {{"the log file", files.log}, {"the map file", files.map}};
  const std::vector<FileRole> inputs = {
      {"the loc file", files.loc}, {"the parameters file", files.parameters}, {"the matrix file", files.matrix}};
  const auto clash = find_file_clash(outputs, inputs);
  if (!clash) return;
  if (clash->other_is_output)
    report_fatal_addition(channels, clash->other.what + " " + clash->other.path + " is " + clash->output.what +
                                        " " + clash->output.path);
  note(channels, clash->other.path + " is " + clash->output.what + " " + clash->output.path);
  if (clash->other.what == inputs[0].what) report_fatal(channels, "bad loc file!");
  if (clash->other.what == inputs[1].what) report_fatal(channels, "bad parameters file!" + files.parameters);
  report_fatal(channels, "bad matrix file " + files.matrix);
}

}  // namespace tarvek
