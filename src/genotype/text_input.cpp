#include "genotype/text_input.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace tarvek {

bool read_line(std::istream& in, std::string& line) {
  if (!std::getline(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

int to_int_lenient(const std::string& text) {
  const long value = std::strtol(text.c_str(), nullptr, 10);
  return static_cast<int>(value);
}

double to_real_lenient(const std::string& text) {
  return std::strtod(text.c_str(), nullptr);
}

bool open_input_file(const std::string& path, std::ifstream& in) {
  std::error_code ec;
  if (path.empty() || std::filesystem::is_directory(path, ec)) return false;
  in.open(path, std::ios::in | std::ios::binary);
  return in.is_open();
}

}  // namespace tarvek
