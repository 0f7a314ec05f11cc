#pragma once
// What the fuzz targets share: a private scratch folder for the runs that
// read and write files, captured channels, and the way a target reports a
// broken property (a message, then abort, which libFuzzer records as a
// finding with the input that caused it).

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "base/channels.hpp"

namespace tarvek::fuzz {

// Reports a broken property and stops the process.
[[noreturn]] inline void finding(const std::string& what) {
  std::fprintf(stderr, "\n*** fuzz finding: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

inline void check(bool holds, const std::string& what) {
  if (!holds) finding(what);
}

// Console, standard error and log of a run, kept in memory.
struct Captured {
  std::ostringstream console;
  std::ostringstream errors;
  std::ostringstream log;
  Channels channels = stream_channels(console, errors, log);
};

// A folder of the process's own: in $TMPDIR when it is set, else on the
// memory file system when there is one (the runs write and sync files at
// every input). Removed when the process ends normally (static destruction
// at exit); a crash leaves it, which is why run_fuzzers.sh points TMPDIR at a
// folder of its own.
class ScratchDir {
 public:
  static ScratchDir& instance() {
    static ScratchDir dir;
    return dir;
  }

  const std::string& path() const { return path_; }
  std::string file(std::string_view name) const { return path_ + "/" + std::string(name); }

  // Removes everything in the folder.
  void clear() const {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(path_, ec)) {
      std::error_code ignored;
      std::filesystem::remove_all(entry.path(), ignored);
    }
  }

  void write(std::string_view name, std::string_view content) const {
    const std::filesystem::path p = file(name);
    std::error_code ec;
    std::filesystem::create_directories(p.parent_path(), ec);
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) finding("cannot write the scratch file " + p.string());
  }

  bool exists(std::string_view name) const {
    std::error_code ec;
    return std::filesystem::exists(file(name), ec);
  }

 private:
  ScratchDir() {
    std::error_code ec;
    const char* tmpdir = std::getenv("TMPDIR");
    const std::string base =
        tmpdir != nullptr && *tmpdir != '\0' ? std::string(tmpdir)
        : std::filesystem::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0
            ? std::string("/dev/shm")
            : std::filesystem::temp_directory_path().string();
    std::string pattern = base + "/tarvek-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) finding("cannot create a scratch folder");
    path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string path_;
};

// Makes the scratch folder the working folder for its lifetime and returns
// to the previous one after, so that libFuzzer's own relative paths keep
// their meaning between inputs.
class InScratchDir {
 public:
  explicit InScratchDir(const ScratchDir& dir) : previous_(::open(".", O_RDONLY | O_DIRECTORY)) {
    if (previous_ < 0 || ::chdir(dir.path().c_str()) != 0) finding("cannot enter the scratch folder");
  }
  ~InScratchDir() {
    if (::fchdir(previous_) != 0) finding("cannot leave the scratch folder");
    ::close(previous_);
  }
  InScratchDir(const InScratchDir&) = delete;
  InScratchDir& operator=(const InScratchDir&) = delete;

 private:
  int previous_;
};

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace tarvek::fuzz
