// Truncated input: a valid loc file cut at every byte, and its CRLF version
// cut at and around each line end (between a carriage return and its line
// feed too) and inside each line, either runs to the end or stops with a
// message; never a crash, never a hang. A run that ends well writes a map holding every locus line of what
// was left; one that stops writes no map.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/process.hpp"

namespace tarvek::testing {
namespace {

struct Outcome {
  bool finished = false;  // false: killed after the time limit
  bool signalled = false;
  int status = -1;
  std::string err;
};

// Runs the built tarvek in `dir` and kills it when it runs longer than
// `limit`.
Outcome run_with_limit(const TempDir& dir, const std::vector<std::string>& args,
                       std::chrono::milliseconds limit) {
  const std::string binary = tarvek_binary();
  const auto err_path = dir.path() / ".stderr";
  std::vector<char*> argv{const_cast<char*>(binary.c_str())};
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (::chdir(dir.path().c_str()) != 0 || null < 0 || err < 0) ::_exit(127);
    ::dup2(null, 1);
    ::dup2(err, 2);
    ::execv(binary.c_str(), argv.data());
    ::_exit(127);
  }
  Outcome outcome;
  int wstatus = 0;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (::waitpid(pid, &wstatus, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &wstatus, 0);
      return outcome;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  outcome.finished = true;
  outcome.signalled = WIFSIGNALED(wstatus);
  outcome.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  outcome.err = dir.read(".stderr");
  return outcome;
}

// Locus lines: the lines after the first four that are not comments.
std::size_t locus_lines(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  std::size_t count = 0;
  for (std::size_t k = 0; std::getline(in, line); ++k) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (k >= 4 && line.size() >= 2 && line[0] != '\t' && line[0] != ';') ++count;
  }
  return count;
}

// A small valid loc file: comments, an old individual order and score, a
// rejected locus, and loci enough for two groups and error detection.
const std::string kLoc =
    "; cut\nname = c\nnloc = 7\nnind = 6\n"
    ";indOrdr\t5\t4\t3\t2\t1\t0\t;\tr\tLOD\tdist\n"
    ";newscore=40\n"
    "M1\tA\tA\tB\tB\tH\tA\n"
    "M2\tA\tA\tB\tH\tH\tA\n"
    "; a note\n"
    "M3\tB\tB\tA\tA\tH\tB\n"
    "M4\tB\tH\tA\tA\tH\tB\n"
    "M5\tC\tC\tB\tB\tC\tC\n"
    "M6\tA\tA\tA\tA\tA\tA\n"
    "M7\t-\t-\t-\t-\tA\tB\n";

std::string crlf(const std::string& text) {
  std::string out;
  for (const char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

std::vector<std::size_t> every_byte(const std::string& text) {
  std::vector<std::size_t> cuts;
  for (std::size_t cut = 0; cut <= text.size(); ++cut) cuts.push_back(cut);
  return cuts;
}

// For each line: its start, its middle, and the last three bytes before the
// next line starts (before a carriage return, between it and the line feed,
// after the line feed); and the end of the text.
std::vector<std::size_t> around_line_ends(const std::string& text) {
  std::vector<std::size_t> cuts;
  std::size_t start = 0;
  while (start < text.size()) {
    const auto feed = text.find('\n', start);
    const std::size_t next = feed == std::string::npos ? text.size() : feed + 1;
    for (const std::size_t cut : {start, (start + next) / 2, next - 2, next - 1, next})
      if (cut >= start && cut <= next && (cuts.empty() || cut > cuts.back())) cuts.push_back(cut);
    start = next;
  }
  if (cuts.empty() || cuts.back() != text.size()) cuts.push_back(text.size());
  return cuts;
}

// Cuts `loc` at each of `cuts` and runs the program on each piece.
void run_every_cut(const std::string& loc, const std::vector<std::size_t>& cuts,
                   const std::vector<std::string>& options, const std::string& parameters = "") {
  TempDir dir;
  dir.write("matrix.txt", kRecombinationMatrix);
  if (!parameters.empty()) dir.write("mapping_parameters.txt", parameters);
  std::vector<std::string> args = options;
  args.push_back("x.loc");
  for (const std::size_t cut : cuts) {
    const std::string piece = loc.substr(0, cut);
    dir.write("x.loc", piece);
    std::filesystem::remove(dir.path() / "x_map.loc");
    const Outcome r = run_with_limit(dir, args, std::chrono::seconds(10));
    const std::string where = "cut at byte " + std::to_string(cut) + " of " + std::to_string(loc.size());
    ASSERT_TRUE(r.finished) << where << ": still running after 10 s";
    ASSERT_FALSE(r.signalled) << where << ": ended by a signal\n" << r.err;
    ASSERT_TRUE(r.status == 0 || r.status == 1) << where << ": exit status " << r.status;
    if (r.status == 1) {
      EXPECT_FALSE(r.err.empty()) << where << ": stopped without a message";
      EXPECT_FALSE(dir.exists("x_map.loc")) << where << ": stopped but wrote a map";
    } else {
      EXPECT_EQ(locus_lines(dir.read("x_map.loc")), locus_lines(piece)) << where;
    }
    EXPECT_EQ(dir.read("x.loc"), piece) << where << ": the input changed";
  }
}

TEST(TruncatedInput, EveryCutGroupedWithErrorDetectionAndOrderedIndividuals) {
  run_every_cut(kLoc, every_byte(kLoc), {"-g", "2", "3", "2", "-s", "2", "0.1", "-o"});
}

TEST(TruncatedInput, CutsAroundCrlfLineEndsWithTheParametersFile) {
  const std::string loc = crlf(kLoc);
  run_every_cut(loc, around_line_ends(loc), {},
                "matrix=matrix.txt\nchromosomes=2\ncore_LOD=3\nmin_LOD=2\nmissing=0.2\n"
                "chi_1to1=50\nchi_1to2to1=50\nchi_1to3=50\norder=1\n");
}

}  // namespace
}  // namespace tarvek::testing
