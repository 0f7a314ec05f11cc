#include "genotype/scoring_matrix.hpp"

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <ostream>

#include "genotype/text_input.hpp"

namespace tarvek {
namespace {

// An integer field: optional blanks, an optional sign, at least one digit,
// optional trailing blanks, within 32 bits. Anything else is fatal.
std::int32_t parse_field(const std::string& field, Channels& channels) {
  std::size_t p = 0;
  while (p < field.size() && field[p] == ' ') ++p;
  std::size_t q = p;
  if (q < field.size() && (field[q] == '+' || field[q] == '-')) ++q;
  const std::size_t digits_start = q;
  while (q < field.size() && field[q] >= '0' && field[q] <= '9') ++q;
  const std::size_t digits_end = q;
  while (q < field.size() && field[q] == ' ') ++q;
  if (digits_end == digits_start || q != field.size())
    report_fatal(channels, "matrix entries should be integers!");
  errno = 0;
  const std::string number = field.substr(p, digits_end - p);
  const long long value = std::strtoll(number.c_str(), nullptr, 10);
  if (errno == ERANGE || value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max())
    report_fatal(channels, "matrix entries should be integers!");
  return static_cast<std::int32_t>(value);
}

}  // namespace

bool parse_matrix_line(const std::string& line, std::array<std::int32_t, 6>& row,
                       Channels& channels, std::size_t* fields) {
  if (line.empty() || line[0] == ';') return false;
  std::size_t taken = 0;
  std::size_t start = 0;
  while (taken < row.size()) {
    const auto tab = line.find('\t', start);
    if (tab == std::string::npos) break;
    row.at(taken++) = parse_field(line.substr(start, tab - start), channels);
    start = tab + 1;
  }
  if (taken == 5 && start < line.size())
    row.at(taken++) = parse_field(line.substr(start), channels);
  if (fields != nullptr) *fields = taken;
  return true;
}

void read_scoring_matrix(std::istream& in, ScoringMatrix& matrix, Channels& channels,
                         const std::string& file_name) {
  matrix = ScoringMatrix{};
  std::ostream& log = log_of(channels);
  std::size_t rows_read = 0;
  std::size_t line_number = 0;
  std::string line;
  for (;;) {
    try {
      if (rows_read >= 6 || !read_line(in, line)) break;
    } catch (LineTooLong& e) {
      e.line = line_number + 1;
      throw;
    }
    ++line_number;
    std::array<std::int32_t, 6> row{};
    std::size_t fields = 0;
    if (!parse_matrix_line(line, row, channels, &fields)) continue;
    if (fields < row.size()) {
      const bool blanks = line.find(' ') != std::string::npos;
      std::string taken;
      for (const std::int32_t v : row) {
        if (!taken.empty()) taken += ' ';
        taken += std::to_string(v);
      }
      warn(channels, file_name + " line " + std::to_string(line_number) +
                         " does not hold six tab-separated integers" +
                         (blanks ? " (blanks in place of tabs?)" : "") + "; the row is read as " +
                         taken);
    }
    for (std::size_t col = 0; col < row.size(); ++col) {
      matrix.at(rows_read).at(col) = row[col];
      log << row[col];
    }
    log << std::endl;
    ++rows_read;
  }
}

}  // namespace tarvek
