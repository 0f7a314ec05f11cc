#pragma once
// Line-oriented reading and strict field conversions shared by the readers.

#include <cstddef>
#include <fstream>
#include <istream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvek::interop {

// Counts lines as they are read, for messages. A UTF-8 byte order mark at
// the start of the first line is dropped (spreadsheets write one). A line
// longer than kMaxLineBytes throws InputError naming the file and the line.
struct LineReader {
  LineReader(std::istream& stream, std::string file_name) : in(stream), file(std::move(file_name)) {}
  std::istream& in;
  std::string file;
  std::size_t number = 0;  // of the line last read, counted from 1
  bool next(std::string& line);
};

// Opens an input file for reading. Throws InputError "<path>: cannot open:
// <reason>" when it cannot be opened, and "<path>: <what it is>" when it is
// nothing to read as a file: a folder, a device that never ends.
std::ifstream open_input_file(const std::string& path);

// InputError at line 1 when the first line holds a carriage return: a file
// whose lines end in carriage returns alone reads as one line.
void refuse_carriage_return_lines(const std::string& first_line, const std::string& file);

// Splits at every `separator`; "a,,b" gives three fields, "" gives one.
std::vector<std::string> split_fields(std::string_view text, char separator);

// Without leading and trailing blanks and tabs.
std::string trim_blanks(std::string_view text);

// The whole text (blanks around it allowed) as a finite real; false for
// anything else, an empty text included.
bool parse_real(std::string_view text, double& value);

// The whole text (blanks around it allowed) as an int; false otherwise.
bool parse_int(std::string_view text, int& value);

// The file name without its folder and without its last extension:
// "data/cross.vcf.gz" gives "cross.vcf", "run/x" gives "x".
std::string file_stem(const std::string& path);

}  // namespace tarvek::interop
