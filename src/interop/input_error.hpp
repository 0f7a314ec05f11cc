#pragma once
// The one error that the readers throw: input that cannot be used, with the
// file and the place in it. The programs print the message and exit with 1.

#include <cstddef>
#include <stdexcept>
#include <string>

namespace tarvek::interop {

struct InputError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// "<file>: line <n>: <what>"
inline InputError error_at_line(const std::string& file, std::size_t line, const std::string& what) {
  return InputError(file + ": line " + std::to_string(line) + ": " + what);
}

// "<file>: <what>", for problems that belong to no one line.
inline InputError error_in_file(const std::string& file, const std::string& what) {
  return InputError(file + ": " + what);
}

}  // namespace tarvek::interop
