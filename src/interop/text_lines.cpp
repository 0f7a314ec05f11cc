#include "interop/text_lines.hpp"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "base/file_checks.hpp"
#include "genotype/text_input.hpp"
#include "interop/input_error.hpp"

namespace tarvek::interop {

bool LineReader::next(std::string& line) {
  try {
    if (!read_line(in, line)) return false;
  } catch (LineTooLong& e) {
    e.line = number + 1;
    throw error_at_line(file, e.line, "longer than " + std::to_string(e.limit >> 20) +
                                          " MB: not a text file of lines");
  }
  ++number;
  if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
  return true;
}

std::ifstream open_input_file(const std::string& path) {
  if (const std::string why = unreadable_input_reason(path); !why.empty()) throw error_in_file(path, why);
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw error_in_file(path, std::string("cannot open: ") + (errno != 0 ? std::strerror(errno) : "not a file"));
  return in;
}

void refuse_carriage_return_lines(const std::string& first_line, const std::string& file) {
  if (first_line.find('\r') != std::string::npos)
    throw error_at_line(file, 1, "carriage returns inside the line: the lines end in carriage returns alone "
                                 "(save the file with line feeds)");
}

std::vector<std::string> split_fields(std::string_view text, char separator) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(separator, start);
    if (end == std::string_view::npos) {
      fields.emplace_back(text.substr(start));
      return fields;
    }
    fields.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
}

std::string trim_blanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return std::string();
  const auto last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

bool parse_real(std::string_view text, double& value) {
  const std::string t = trim_blanks(text);
  // strtod would skip a carriage return or a form feed before the number,
  // which would then be copied into the outputs with it.
  if (t.empty() || std::isspace(static_cast<unsigned char>(t.front()))) return false;
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(t.c_str(), &end);
  if (end != t.c_str() + t.size() || errno == ERANGE || !std::isfinite(v)) return false;
  value = v;
  return true;
}

bool parse_int(std::string_view text, int& value) {
  const std::string t = trim_blanks(text);
  if (t.empty() || std::isspace(static_cast<unsigned char>(t.front()))) return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(t.c_str(), &end, 10);
  if (end != t.c_str() + t.size() || errno == ERANGE || v < std::numeric_limits<int>::min() ||
      v > std::numeric_limits<int>::max())
    return false;
  value = static_cast<int>(v);
  return true;
}

std::string file_stem(const std::string& path) {
  const auto slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const auto dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

}  // namespace tarvek::interop
