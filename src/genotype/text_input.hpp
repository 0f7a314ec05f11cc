#pragma once
// Line-oriented text input and the lenient number conversions used for
// options, parameter values and header lines.

#include <cstddef>
#include <fstream>
#include <istream>
#include <stdexcept>
#include <string>

namespace tarvek {

// The longest line any reader of any of the programs takes, line feed not
// counted: 256 MiB. A longer line is not text the programs were made for
// (a device such as /dev/zero, or a file that is not a text file), and
// reading on would only fill the memory.
inline constexpr std::size_t kMaxLineBytes = std::size_t{256} << 20;

// Thrown when a line is longer than the bound. `line` is its number when
// the reader counts lines, else 0.
struct LineTooLong : std::length_error {
  explicit LineTooLong(std::size_t limit);
  std::size_t limit;
  std::size_t line = 0;
};

// "line <n> is longer than 256 MB (268435456 bytes)", without the line
// number when it is not known.
std::string line_too_long_text(const LineTooLong& e);

// Reads one line up to a line feed. The line feed is not kept, nor is one
// carriage return before it (or at the end of a last line without a line
// feed). Returns false only when nothing at all was left to read. Throws
// LineTooLong once a line passes `limit` bytes, before it is read further.
bool read_line(std::istream& in, std::string& line, std::size_t limit = kMaxLineBytes);

// Decimal integer as atoi reads it: leading white space, an optional sign,
// digits up to the first character that does not fit; 0 without a number.
// The value is converted to 32 bits after the long conversion.
int to_int_lenient(const std::string& text);

// Decimal real as strtod reads it; 0 without a number.
double to_real_lenient(const std::string& text);

// Opens `path` for reading; false when it cannot be opened or is a folder.
bool open_input_file(const std::string& path, std::ifstream& in);

}  // namespace tarvek
