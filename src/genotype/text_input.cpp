#include "genotype/text_input.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace tarvek {

LineTooLong::LineTooLong(std::size_t bound)
    : std::length_error("a line longer than " + std::to_string(bound) + " bytes"), limit(bound) {}

std::string line_too_long_text(const LineTooLong& e) {
  const std::string size = e.limit % (std::size_t{1} << 20) == 0
                               ? std::to_string(e.limit >> 20) + " MB (" + std::to_string(e.limit) + " bytes)"
                               : std::to_string(e.limit) + " bytes";
  return (e.line > 0 ? "line " + std::to_string(e.line) : std::string("a line")) + " is longer than " + size;
}

bool read_line(std::istream& in, std::string& line, std::size_t limit) {
  // In chunks: istream::getline stops at the line feed or when the chunk is
  // full (failbit without eofbit), so no line is read past the bound.
  constexpr std::streamsize kChunk = 1 << 16;
  char chunk[kChunk];
  line.clear();
  bool any = false;
  for (;;) {
    in.getline(chunk, kChunk);
    const std::streamsize got = in.gcount();
    if (got > 0) any = true;
    const bool at_end = in.eof();
    const bool full = in.fail() && !at_end && !in.bad() && got == kChunk - 1;
    // The line feed, when it was taken, is counted in gcount but not stored.
    const auto stored = static_cast<std::size_t>(!at_end && !full && got > 0 ? got - 1 : got);
    if (line.size() + stored > limit) throw LineTooLong(limit);
    line.append(chunk, stored);
    if (!full) break;
    in.clear(in.rdstate() & ~std::ios::failbit);
  }
  if (!any) return false;
  // A last line without a line feed leaves the end-of-file state alone.
  if (in.eof()) in.clear(in.rdstate() & ~std::ios::failbit);
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
