#pragma once
// Running the tarvek binary in a fresh temporary folder and reading back
// everything it produced.

#include <filesystem>
#include <string>
#include <vector>

#include "support/fixtures.hpp"

namespace tarvek::testing {

// A fresh folder under the system temporary folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  // Writes `content` byte for byte to `name` (relative to the folder),
  // creating parent folders.
  void write(const std::string& name, const std::string& content) const;
  // The file's bytes, or "<missing>" when it does not exist.
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;
  // The bytes of any file, or "<missing>" when it does not exist.
  static std::string slurp(const std::filesystem::path& path);

 private:
  std::filesystem::path path_;
};

struct RunResult {
  int status = -1;  // exit status; -1 when the process did not exit normally
  int signal = 0;   // the signal that ended the process, if one did
  bool timed_out = false;  // killed after the time limit
  std::string out;  // standard output
  std::string err;  // standard error
};

// Limits put on the process under test.
struct ProcessLimits {
  long file_size = -1;          // RLIMIT_FSIZE in bytes; -1 for none
  bool ignore_file_size_signal = false;  // writes past the limit fail instead of killing
  int seconds = 900;            // killed (SIGKILL) after this long
  // When not 0: this signal is sent once, as soon as a file whose name ends
  // in ".tmp" appears in the run's folder (a writer's temporary file).
  int signal_at_temporary = 0;
};

// Runs `binary` with `args` (not including the program name) with `dir` as
// its working folder.
RunResult run_program_in(const std::string& binary, const TempDir& dir,
                         const std::vector<std::string>& args, const ProcessLimits& limits = {});

// Runs the built tarvek with `args` (not including the program name) with
// `dir` as its working folder.
RunResult run_tarvek_in(const TempDir& dir, const std::vector<std::string>& args,
                        const ProcessLimits& limits = {});

// The binary under test and the source tree (for the shipped examples).
std::string tarvek_binary();
std::filesystem::path source_dir();

}  // namespace tarvek::testing
