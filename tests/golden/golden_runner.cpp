// Runs every case under tests/golden/cases in a fresh temporary folder and
// compares standard output, standard error, the exit status and every file
// the run writes with the case's expected files, byte for byte. See
// tests/golden/README.md for the layout of a case.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/process.hpp"

namespace tarvek::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kCases = fs::path(TARVEK_GOLDEN_DIR) / "cases";

// The programs a case may run; an empty path when the build lacks it.
std::string program_path(const std::string& name) {
  static const std::map<std::string, std::string> paths = {
      {"tarvek", TARVEK_BINARY},       {"tarvek-import", TARVEK_IMPORT_BINARY},
      {"tarvek-export", TARVEK_EXPORT_BINARY}, {"tarvek-draw", TARVEK_DRAW_BINARY},
      {"f2sim", F2SIM_BINARY}};
  const auto it = paths.find(name);
  return it == paths.end() ? std::string() : it->second;
}

bool regenerating() {
  const char* v = std::getenv("TARVEK_GOLDEN_REGENERATE");
  return v != nullptr && std::string(v) == "1";
}

// Blank-separated words; single quotes keep blanks inside a word.
std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> out;
  std::string word;
  bool in_word = false, quoted = false;
  for (const char c : line) {
    if (c == '\'') {
      quoted = !quoted;
      in_word = true;
    } else if (!quoted && (c == ' ' || c == '\t')) {
      if (in_word) out.push_back(word);
      word.clear();
      in_word = false;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (in_word) out.push_back(word);
  return out;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') out.push_back(line);
  return out;
}

void write_file(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Every regular file under `root`, as paths relative to it.
std::set<std::string> files_under(const fs::path& root) {
  std::set<std::string> out;
  if (!fs::is_directory(root)) return out;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) out.insert(fs::relative(e.path(), root).string());
  return out;
}

std::string fnv1a(const std::string& bytes) {
  std::uint64_t h = 0xcbf29ce484222325u;
  for (const unsigned char c : bytes) {
    h ^= c;
    h *= 0x100000001b3u;
  }
  std::ostringstream s;
  s << std::hex << h << ' ' << std::dec << bytes.size() << '\n';
  return s.str();
}

// Where two texts first differ: the line number and both lines.
std::string first_difference(const std::string& expected, const std::string& actual) {
  std::istringstream e(expected), a(actual);
  std::string el, al;
  for (int n = 1;; ++n) {
    const bool more_e = static_cast<bool>(std::getline(e, el));
    const bool more_a = static_cast<bool>(std::getline(a, al));
    if (!more_e && !more_a) return "the files differ only in their last line feed";
    if (!more_e || !more_a || el != al) {
      std::ostringstream s;
      s << "first difference at line " << n << ":\n  expected: "
        << (more_e ? el : std::string("<end of file>")) << "\n  actual:   "
        << (more_a ? al : std::string("<end of file>"));
      return s.str();
    }
  }
}

// Compares `actual` with the expected file at `path`; a file recorded as
// `<path>.fnv1a` (too large to keep) is compared through its digest and
// length. On a mismatch writes the actual bytes to `<path>.new`, or, when
// regenerating, over the expected file.
void compare(const fs::path& path, const std::string& actual, const std::string& what) {
  const fs::path digest = path.string() + ".fnv1a";
  const bool by_digest = !fs::exists(path) && fs::exists(digest);
  const std::string expected = TempDir::slurp(by_digest ? digest : path);
  const bool same = by_digest ? expected == fnv1a(actual) : expected == actual;
  if (same) return;
  if (regenerating()) {
    write_file(by_digest ? digest : path, by_digest ? fnv1a(actual) : actual);
    return;
  }
  write_file(path.string() + ".new", actual);
  if (by_digest)
    ADD_FAILURE() << what << " differs from its recorded digest; the output is in " << path.string()
                  << ".new";
  else if (expected == "<missing>")
    ADD_FAILURE() << what << " was written but is not expected (actual in " << path.string() << ".new)";
  else
    ADD_FAILURE() << what << " differs (actual in " << path.string() << ".new)\n"
                  << first_difference(expected, actual);
}

// A setup line, "f2sim OPTIONS > FILE": its output becomes an input.
void run_setup(const std::string& line, const TempDir& dir) {
  auto w = words(line);
  ASSERT_GE(w.size(), 3u) << line;
  ASSERT_EQ(w[w.size() - 2], ">") << line;
  const std::string target = w.back();
  const std::string binary = program_path(w[0]);
  ASSERT_FALSE(binary.empty()) << "unknown program in setup: " << w[0];
  const RunResult r =
      run_program_in(binary, dir, std::vector<std::string>(w.begin() + 1, w.end() - 2));
  ASSERT_EQ(r.status, 0) << line << "\n" << r.err;
  dir.write(target, r.out);
}

class Golden : public ::testing::TestWithParam<std::string> {};

TEST_P(Golden, Case) {
  const fs::path dir = kCases / GetParam();
  const auto setup = fs::exists(dir / "setup") ? lines_of(TempDir::slurp(dir / "setup"))
                                                : std::vector<std::string>();
  const auto command = lines_of(TempDir::slurp(dir / "cmd"));
  ASSERT_EQ(command.size(), 1u) << "cmd holds one command line";
  const auto args = words(command[0]);
  ASSERT_FALSE(args.empty());
  const std::string binary = program_path(args[0]);
  if (binary.empty()) GTEST_SKIP() << args[0] << " is not built";
  for (const auto& line : setup)
    if (program_path(words(line).at(0)).empty()) GTEST_SKIP() << words(line)[0] << " is not built";

  TempDir run;
  std::map<std::string, std::string> inputs;
  for (const auto& name : files_under(dir / "in")) {
    inputs[name] = TempDir::slurp(dir / "in" / name);
    run.write(name, inputs[name]);
  }
  for (const auto& line : setup) {
    ASSERT_NO_FATAL_FAILURE(run_setup(line, run));
    const std::string target = words(line).back();
    inputs[target] = run.read(target);
  }

  const RunResult r = run_program_in(binary, run, std::vector<std::string>(args.begin() + 1, args.end()));
  ASSERT_FALSE(r.timed_out);
  compare(dir / "stdout", r.out, "standard output");
  compare(dir / "stderr", r.err, "standard error");
  compare(dir / "status", std::to_string(r.status) + "\n", "exit status");

  // Every file written (or an input rewritten) must be expected, and every
  // expected file written.
  std::set<std::string> expected;
  for (auto name : files_under(dir / "out")) {
    if (name.ends_with(".new")) continue;
    if (name.ends_with(".fnv1a")) name.resize(name.size() - 6);
    expected.insert(name);
  }
  std::set<std::string> written;
  for (const auto& name : files_under(run.path())) {
    const auto in = inputs.find(name);
    if (in == inputs.end() || in->second != run.read(name)) written.insert(name);
  }
  for (const auto& name : written) compare(dir / "out" / name, run.read(name), "file " + name);
  for (const auto& name : expected) {
    if (written.count(name) != 0) continue;
    if (regenerating()) {
      fs::remove(dir / "out" / name);
      fs::remove(dir / "out" / (name + ".fnv1a"));
    } else {
      ADD_FAILURE() << "file " << name << " was expected but not written";
    }
  }
}

std::vector<std::string> case_names() {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(kCases))
    if (e.is_directory()) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

INSTANTIATE_TEST_SUITE_P(Cases, Golden, ::testing::ValuesIn(case_names()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace tarvek::testing
