#pragma once
// Line-oriented text input and the lenient number conversions used for
// options, parameter values and header lines.

#include <fstream>
#include <istream>
#include <string>

namespace tarvek {

// Reads one line up to a line feed. The line feed is not kept, nor is one
// carriage return before it (or at the end of a last line without a line
// feed). Returns false only when nothing at all was left to read.
bool read_line(std::istream& in, std::string& line);

// Decimal integer as atoi reads it: leading white space, an optional sign,
// digits up to the first character that does not fit; 0 without a number.
// The value is converted to 32 bits after the long conversion.
int to_int_lenient(const std::string& text);

// Decimal real as strtod reads it; 0 without a number.
double to_real_lenient(const std::string& text);

// Opens `path` for reading; false when it cannot be opened or is a folder.
bool open_input_file(const std::string& path, std::ifstream& in);

}  // namespace tarvek
