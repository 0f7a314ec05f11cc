#pragma once
// Splitting the text the programs write, for the tests that read it.

#include <sstream>
#include <string>
#include <vector>

namespace tarvek::testing {

// Every field between separators, empty ones included ("" gives one empty
// field, "a\t" gives "a" and "").
inline std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const auto at = text.find(separator, start);
    fields.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return fields;
    start = at + 1;
  }
}

// The lines of a text; a last line feed ends the last line, it starts none.
inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace tarvek::testing
