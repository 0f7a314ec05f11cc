#include "base/atomic_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace tarvek {
namespace {

// Only makes temporary names unique within the process; it never shows in
// what is written.
std::atomic<unsigned long> next_serial{0};

std::string system_reason(int error) { return std::error_code(error, std::generic_category()).message(); }

// Forces the file's bytes to the disk, so that the rename never exposes a
// file whose content is still only in memory when the machine stops.
int sync_file(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int status = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  // Some file systems (pipes, special files) cannot be synced; that is no
  // reason to fail the write.
  return status == EINVAL || status == EROFS ? 0 : status;
}

}  // namespace

std::string temporary_name_for(const std::string& target, unsigned long serial) {
  const auto slash = target.find_last_of('/');
  const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string file = slash == std::string::npos ? target : target.substr(slash + 1);
  return dir + "." + file + "." + std::to_string(::getpid()) + "." + std::to_string(serial) + ".tmp";
}

std::string write_file_atomically(const std::string& target,
                                  const std::function<void(std::ostream&)>& write) {
  std::string temp;
  int fd = -1;
  // O_EXCL: never reuse a name some other writer holds.
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = temporary_name_for(target, next_serial++);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return system_reason(errno);
  }
  if (fd < 0) return system_reason(EEXIST);
  ::close(fd);

  std::ofstream out(temp, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!out.is_open()) {
    const int error = errno;
    std::remove(temp.c_str());
    return system_reason(error != 0 ? error : EIO);
  }
  try {
    write(out);
  } catch (...) {
    out.close();
    std::remove(temp.c_str());
    throw;
  }
  errno = 0;
  out.flush();
  int error = errno;
  const bool written = static_cast<bool>(out);
  out.close();
  if (error == 0) error = errno;
  if (!written || out.fail()) {
    std::remove(temp.c_str());
    return system_reason(error != 0 ? error : EIO);
  }
  if (const int sync_error = sync_file(temp); sync_error != 0) {
    std::remove(temp.c_str());
    return system_reason(sync_error);
  }
  if (std::rename(temp.c_str(), target.c_str()) != 0) {
    const int rename_error = errno;
    std::remove(temp.c_str());
    return system_reason(rename_error);
  }
  return std::string();
}

}  // namespace tarvek
