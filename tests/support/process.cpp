#include "support/process.hpp"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tarvek::testing {
namespace {

std::string slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) return "<missing>";
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  const auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 1000; ++attempt) {
    auto candidate = base / ("tarvek-test-" + std::to_string(::getpid()) + "-" +
                             std::to_string(counter++));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

void TempDir::write(const std::string& name, const std::string& content) const {
  const auto p = path_ / name;
  std::filesystem::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << content;
}

std::string TempDir::read(const std::string& name) const { return slurp(path_ / name); }

std::string TempDir::slurp(const std::filesystem::path& path) { return tarvek::testing::slurp(path); }

bool TempDir::exists(const std::string& name) const {
  return std::filesystem::exists(path_ / name);
}

std::string tarvek_binary() { return TARVEK_BINARY_PATH; }
std::filesystem::path source_dir() { return TARVEK_SOURCE_PATH; }

RunResult run_tarvek_in(const TempDir& dir, const std::vector<std::string>& args,
                        const ProcessLimits& limits) {
  return run_program_in(tarvek_binary(), dir, args, limits);
}

RunResult run_program_in(const std::string& binary, const TempDir& dir,
                         const std::vector<std::string>& args, const ProcessLimits& limits) {
  const auto out_path = dir.path() / ".stdout";
  const auto err_path = dir.path() / ".stderr";
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(binary.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    if (::chdir(dir.path().c_str()) != 0) ::_exit(127);
    const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0) ::_exit(127);
    ::dup2(out, 1);
    ::dup2(err, 2);
    if (limits.file_size >= 0) {
      const rlimit limit{static_cast<rlim_t>(limits.file_size), static_cast<rlim_t>(limits.file_size)};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(127);
    }
    ::signal(SIGXFSZ, limits.ignore_file_size_signal ? SIG_IGN : SIG_DFL);
    ::execv(binary.c_str(), argv.data());
    ::_exit(127);
  }
  RunResult result;
  int wstatus = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limits.seconds);
  bool signalled = false;
  const auto temporary_exists = [&dir] {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path(), ec)) {
      const std::string name = entry.path().filename().string();
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0) return true;
    }
    return false;
  };
  while (::waitpid(pid, &wstatus, WNOHANG) == 0) {
    if (limits.signal_at_temporary != 0 && !signalled && temporary_exists()) {
      ::kill(pid, limits.signal_at_temporary);
      signalled = true;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &wstatus, 0);
      result.timed_out = true;
      break;
    }
    // Watching for a temporary file, the loop must not sleep past it.
    std::this_thread::sleep_for(limits.signal_at_temporary != 0 && !signalled ? std::chrono::microseconds(200)
                                                                              : std::chrono::microseconds(2000));
  }
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  result.signal = WIFSIGNALED(wstatus) ? WTERMSIG(wstatus) : 0;
  result.out = slurp(out_path);
  result.err = slurp(err_path);
  std::filesystem::remove(out_path);
  std::filesystem::remove(err_path);
  return result;
}

}  // namespace tarvek::testing
