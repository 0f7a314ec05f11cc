#include "base/atomic_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
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
  // Some file systems cannot be synced; that is no reason to fail the write.
  return status == EINVAL || status == EROFS ? 0 : status;
}

// --- Removing the temporary file on a signal ---------------------------------
//
// A signal handler can learn the name of the file to remove only from
// process-wide state; it is kept here and nowhere else, and only while a
// temporary file exists. The handler uses async-signal-safe calls only.

constexpr std::array<int, 3> kCleanupSignals = {SIGINT, SIGTERM, SIGHUP};
char pending_temporary[4096];
volatile std::sig_atomic_t pending_set = 0;
struct sigaction previous_actions[kCleanupSignals.size()];

void remove_temporary_and_reraise(int signal) {
  if (pending_set != 0) ::unlink(pending_temporary);
  for (std::size_t k = 0; k < kCleanupSignals.size(); ++k) {
    if (kCleanupSignals[k] == signal) ::sigaction(signal, &previous_actions[k], nullptr);
  }
  // Delivered once this handler returns, with the disposition the program
  // had before: by default the process ends by the signal, as it would have.
  ::raise(signal);
}

// Installs the handler for the life of one write; the file it removes is
// named (watch) before the file is created, so that no signal can come
// between the file's creation and its protection. A signal the program
// ignores (nohup) stays ignored.
class TemporaryGuard {
 public:
  TemporaryGuard() {
    for (std::size_t k = 0; k < kCleanupSignals.size(); ++k) {
      struct sigaction old {};
      if (::sigaction(kCleanupSignals[k], nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
      struct sigaction action {};
      action.sa_handler = remove_temporary_and_reraise;
      sigemptyset(&action.sa_mask);
      for (const int s : kCleanupSignals) sigaddset(&action.sa_mask, s);
      if (::sigaction(kCleanupSignals[k], &action, &previous_actions[k]) == 0) installed_[k] = true;
    }
  }
  ~TemporaryGuard() {
    release();
    for (std::size_t k = 0; k < kCleanupSignals.size(); ++k) {
      if (installed_[k]) ::sigaction(kCleanupSignals[k], &previous_actions[k], nullptr);
    }
  }
  TemporaryGuard(const TemporaryGuard&) = delete;
  TemporaryGuard& operator=(const TemporaryGuard&) = delete;

  void watch(const std::string& temporary) {
    release();
    if (temporary.size() >= sizeof pending_temporary) return;
    std::memcpy(pending_temporary, temporary.c_str(), temporary.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    pending_set = 1;
  }
  void release() {
    pending_set = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
  }

 private:
  std::array<bool, kCleanupSignals.size()> installed_{};
};

// --- What the target is ---------------------------------------------------------

// The file a name finally stands for: symbolic links followed, each relative
// to the folder of the link, also when the last one points to nothing yet.
std::string resolve_links(const std::string& target) {
  namespace fs = std::filesystem;
  fs::path path = target;
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(path, ec))) return path.string();
    const fs::path next = fs::read_symlink(path, ec);
    if (ec) return path.string();
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  return path.string();
}

// Flushes and closes a stream that `write` has filled; the reason when any
// byte did not reach the file, else an empty string.
std::string finish(std::ofstream& out) {
  errno = 0;
  out.flush();
  int error = errno;
  const bool written = static_cast<bool>(out);
  out.close();
  if (error == 0) error = errno;
  if (!written || out.fail()) return system_reason(error != 0 ? error : EIO);
  return std::string();
}

// A FIFO or a character device: written as it stands.
std::string write_through(const std::string& path, const std::function<void(std::ostream&)>& write) {
  std::ofstream out(path, std::ios::out | std::ios::binary);
  if (!out.is_open()) return system_reason(errno != 0 ? errno : EIO);
  write(out);
  return finish(out);
}

std::string write_by_rename(const std::string& target, const std::function<void(std::ostream&)>& write) {
  std::string temp;
  int fd = -1;
  TemporaryGuard guard;
  // O_EXCL: never reuse a name some other writer holds.
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = temporary_name_for(target, next_serial++);
    guard.watch(temp);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      const int error = errno;
      guard.release();
      if (error != EEXIST) return system_reason(error);
    }
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
  std::string reason = finish(out);
  if (reason.empty()) {
    if (const int sync_error = sync_file(temp); sync_error != 0) reason = system_reason(sync_error);
  }
  if (reason.empty() && std::rename(temp.c_str(), target.c_str()) != 0) reason = system_reason(errno);
  if (!reason.empty()) std::remove(temp.c_str());
  return reason;
}

}  // namespace

std::string temporary_name_for(const std::string& target, unsigned long serial) {
  const auto slash = target.find_last_of('/');
  const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  std::string file = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string tail(1, '.');
  tail += std::to_string(::getpid());
  tail += '.';
  tail += std::to_string(serial);
  tail += ".tmp";
  const std::size_t room = kMaxFileNameBytes - 1 - tail.size();
  if (file.size() > room) file.resize(room);
  return dir + "." + file + tail;
}

std::string write_file_atomically(const std::string& target,
                                  const std::function<void(std::ostream&)>& write) {
  // What the name finally stands for, as the system follows it (also the
  // links of /proc/self/fd, which name pipes that no path reaches).
  struct stat s {};
  if (::stat(target.c_str(), &s) == 0) {
    if (S_ISFIFO(s.st_mode) || S_ISCHR(s.st_mode)) return write_through(target, write);
    if (S_ISDIR(s.st_mode)) return system_reason(EISDIR);
    if (S_ISBLK(s.st_mode)) return "it is a block device, not a file";
    if (!S_ISREG(s.st_mode)) return "it is not a regular file";
  }
  return write_by_rename(resolve_links(target), write);
}

}  // namespace tarvek
