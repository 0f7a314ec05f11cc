#include "genotype/scoring_matrix.hpp"

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <ostream>

#include "run/report.hpp"
#include "run/text_input.hpp"

namespace tarvek {
namespace {

// An integer field: optional blanks, an optional sign, at least one digit,
// optional trailing blanks, within 32 bits. Anything else is fatal.
std::int32_t parse_field(const std::string& field) {
  std::size_t p = 0;
  while (p < field.size() && field[p] == ' ') ++p;
  std::size_t q = p;
  if (q < field.size() && (field[q] == '+' || field[q] == '-')) ++q;
  const std::size_t digits_start = q;
  while (q < field.size() && field[q] >= '0' && field[q] <= '9') ++q;
  const std::size_t digits_end = q;
  while (q < field.size() && field[q] == ' ') ++q;
  if (digits_end == digits_start || q != field.size())
    report_fatal("matrix entries should be integers!");
  errno = 0;
  const std::string number = field.substr(p, digits_end - p);
  const long long value = std::strtoll(number.c_str(), nullptr, 10);
  if (errno == ERANGE || value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max())
    report_fatal("matrix entries should be integers!");
  return static_cast<std::int32_t>(value);
}

}  // namespace

ScoringMatrix& scoring_matrix() {
  static ScoringMatrix matrix{};
  return matrix;
}

bool parse_matrix_line(const std::string& line, std::array<std::int32_t, 6>& row) {
  if (line.empty() || line[0] == ';') return false;
  std::size_t taken = 0;
  std::size_t start = 0;
  while (taken < row.size()) {
    const auto tab = line.find('\t', start);
    if (tab == std::string::npos) break;
    row.at(taken++) = parse_field(line.substr(start, tab - start));
    start = tab + 1;
  }
  if (taken == 5 && start < line.size())
    row.at(taken++) = parse_field(line.substr(start));
  return true;
}

void read_scoring_matrix(std::istream& in, ScoringMatrix& matrix) {
  matrix = ScoringMatrix{};
  std::size_t rows_read = 0;
  std::string line;
  while (rows_read < 6 && read_line(in, line)) {
    std::array<std::int32_t, 6> row{};
    if (!parse_matrix_line(line, row)) continue;
    for (std::size_t col = 0; col < row.size(); ++col) {
      matrix.at(rows_read).at(col) = row[col];
      log_stream() << row[col];
    }
    log_stream() << std::endl;
    ++rows_read;
  }
}

}  // namespace tarvek
