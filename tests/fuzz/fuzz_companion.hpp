#pragma once
// Running a companion program in-process on a fuzzed input file, and the
// properties every such run must have: exit status 0 or 1 (the command line
// is always right), never an internal fault; status 1 with a message on
// standard error, one line per problem, each "<program>: ...", without a
// control byte; nothing written then (every output holds what it held, or
// is absent) and no temporary file left; the input unchanged.

#include <cstddef>
#include <cstdint>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz_support.hpp"

namespace tarvek::fuzz {

struct CompanionRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Inputs beyond this are not tried: the readers' limits are per line, and
// larger inputs only slow the search.
inline constexpr std::size_t kLargestInput = 16 * 1024;

// Writes the fuzzed bytes as the input file `name` of the scratch folder
// and returns them as text.
inline std::string write_input(const ScratchDir& dir, const std::string& name, const std::uint8_t* data,
                               std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  dir.write(name, text);
  return text;
}

// Runs `program_main` with `args` (the program name first) in the scratch
// folder, standard output and standard error captured.
inline CompanionRun run_companion(int (*program_main)(int, char**), const std::vector<std::string>& args) {
  std::vector<std::string> copies = args;
  std::vector<char*> argv;
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::ostringstream out;
  std::ostringstream err;
  std::streambuf* const old_out = std::cout.rdbuf(out.rdbuf());
  std::streambuf* const old_err = std::cerr.rdbuf(err.rdbuf());
  CompanionRun run;
  run.status = program_main(static_cast<int>(argv.size() - 1), argv.data());
  std::cout.rdbuf(old_out);
  std::cerr.rdbuf(old_err);
  std::cout.clear();
  std::cerr.clear();
  run.out = out.str();
  run.err = err.str();
  return run;
}

// The files a run may write, and what each held before it.
struct Output {
  std::string name;
  std::string before;  // "" with `existed` false: absent
  bool existed = false;
};

inline void prepare_outputs(const ScratchDir& dir, const std::vector<Output>& outputs) {
  for (const Output& o : outputs) {
    std::error_code ec;
    std::filesystem::remove(dir.file(o.name), ec);
    if (o.existed) dir.write(o.name, o.before);
  }
}

inline void check_common(const ScratchDir& dir, const std::string& program, const CompanionRun& run,
                         const std::string& input, const std::string& text, const std::vector<Output>& outputs) {
  check(run.status == 0 || run.status == 1, "exit status " + std::to_string(run.status) + ":\n" + run.err);
  check(read_file(dir.file(input)) == text, "the input was changed");
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    check(name.front() != '.', "a temporary file was left: " + name);
  }
  // Every line of standard error is the program's, and no byte of the input
  // reaches it unescaped.
  std::istringstream lines(run.err);
  std::string line;
  while (std::getline(lines, line)) {
    check(line.rfind(program + ": ", 0) == 0, "a line of standard error without the program's name: " + line);
    // At the start of a line: input echoed inside a message may read alike.
    check(line.rfind(program + ": internal error", 0) != 0 && line.rfind(program + ": out of memory", 0) != 0,
          "an internal fault:\n" + run.err);
    for (const char c : line) {
      check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, "a control byte on standard error: " + line);
    }
  }
  if (run.status == 1) {
    check(!run.err.empty(), "exit status 1 without a message");
    check(run.err.find(program + ": " + input + ": ") != std::string::npos ||
              run.err.find(program + ": cannot write") != std::string::npos,
          "the message does not name the input:\n" + run.err);
    for (const Output& o : outputs) {
      const bool exists = dir.exists(o.name);
      check(exists == o.existed, "a failed run changed whether " + o.name + " exists");
      if (exists) check(read_file(dir.file(o.name)) == o.before, "a failed run changed " + o.name);
    }
  }
}

}  // namespace tarvek::fuzz
