#include "base/file_checks.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace tarvek {
namespace {

namespace fs = std::filesystem;

bool is_character_device(const std::string& path) {
  struct stat s {};
  return ::stat(path.c_str(), &s) == 0 && S_ISCHR(s.st_mode);
}

// A character device that reaches its end: /dev/null, or the terminal one
// of the standard streams is on (typing the end-of-file key ends it).
bool device_that_ends(const struct stat& s) {
  struct stat null {};
  if (::stat("/dev/null", &null) == 0 && S_ISCHR(null.st_mode) && null.st_rdev == s.st_rdev) return true;
#ifdef __linux__
  // The null device's numbers, should /dev/null itself have been replaced.
  if (s.st_rdev == makedev(1, 3)) return true;
#endif
  for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    struct stat stream {};
    if (::isatty(fd) == 1 && ::fstat(fd, &stream) == 0 && S_ISCHR(stream.st_mode) &&
        stream.st_rdev == s.st_rdev)
      return true;
  }
  return false;
}

}  // namespace

bool same_file(const std::string& a_text, const std::string& b_text) {
  const std::string a = a_text.c_str();
  const std::string b = b_text.c_str();
  if (a.empty() || b.empty()) return false;
  std::error_code ec;
  if (fs::equivalent(a, b, ec) && !ec) return true;
  const auto normal = [&ec](const std::string& p) {
    const auto absolute = fs::absolute(p, ec);
    return ec ? absolute : fs::weakly_canonical(absolute, ec);
  };
  const auto path_a = normal(a);
  if (ec) return false;
  const auto path_b = normal(b);
  return !ec && path_a == path_b;
}

std::optional<FileClash> find_file_clash(const std::vector<FileRole>& outputs,
                                         const std::vector<FileRole>& inputs) {
  for (std::size_t k = 0; k < outputs.size(); ++k) {
    const FileRole& out = outputs[k];
    if (out.path.empty() || is_character_device(out.path)) continue;
    for (const FileRole& in : inputs) {
      if (same_file(out.path, in.path)) return FileClash{out, in, false};
    }
    for (std::size_t j = 0; j < k; ++j) {
      if (!outputs[j].path.empty() && same_file(out.path, outputs[j].path))
        return FileClash{out, outputs[j], true};
    }
  }
  return std::nullopt;
}

std::string unreadable_input_reason(const std::string& path) {
  struct stat s {};
  if (path.empty() || ::stat(path.c_str(), &s) != 0) return std::string();
  if (S_ISREG(s.st_mode) || S_ISFIFO(s.st_mode)) return std::string();
  if (S_ISDIR(s.st_mode)) return "a folder, not a file";
  if (S_ISCHR(s.st_mode))
    return device_that_ends(s) ? std::string()
                               : "a character device that never ends (such as /dev/zero), not a file";
  if (S_ISBLK(s.st_mode)) return "a block device, not a file";
  if (S_ISSOCK(s.st_mode)) return "a socket, not a file";
  return "not a regular file";
}

bool in_device_folder(const std::string& path) {
  std::error_code ec;
  const fs::path absolute = fs::absolute(std::string(path.c_str()), ec);
  if (ec) return false;
  const fs::path folder = fs::weakly_canonical(absolute.parent_path(), ec);
  if (ec) return false;
  if (folder == "/dev") return true;
  // /dev/shm and the like hold ordinary files; /proc and /sys never do.
  const auto first = ++folder.begin();
  return first != folder.end() && (*first == "proc" || *first == "sys");
}

OpenFailure open_failure(const std::string& path) {
  // Non-blocking, so that a FIFO without a writer does not hold the run.
  errno = 0;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) {
    ::close(fd);
    return {0, "cannot be opened"};
  }
  const int error = errno;
  return {error, std::error_code(error, std::generic_category()).message()};
}

}  // namespace tarvek
