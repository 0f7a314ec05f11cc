#pragma once
// Running the tarvek binary in a fresh temporary folder and reading back
// everything it produced.

#include <filesystem>
#include <string>
#include <vector>

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

 private:
  std::filesystem::path path_;
};

struct RunResult {
  int status = -1;  // exit status; -1 when the process did not exit normally
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs `binary` with `args` (not including the program name) with `dir` as
// its working folder.
RunResult run_program_in(const std::string& binary, const TempDir& dir, const std::vector<std::string>& args);

// Runs the built tarvek with `args` (not including the program name) with
// `dir` as its working folder.
RunResult run_tarvek_in(const TempDir& dir, const std::vector<std::string>& args);

// The binary under test and the source tree (for the shipped examples).
std::string tarvek_binary();
std::filesystem::path source_dir();

// The scoring matrix the examples ship: minimal recombinations between codes.
extern const char* const kRecombinationMatrix;

}  // namespace tarvek::testing
