// Fuzz target: the scoring-matrix reader on any file content.
//
// The reader either fills the table or ends the run through the fatal path
// with "matrix entries should be integers!". When it fills the table, row
// and column 6 (a flagged genotype) must be 0, the log must echo one line
// per row taken, at most six, and the rows not taken must be 0.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz_support.hpp"
#include "genotype/scoring_matrix.hpp"

namespace {

using namespace tarvek;
using tarvek::fuzz::check;

constexpr std::size_t kMaxInput = 4096;

std::size_t count_lines(const std::string& text) {
  std::size_t lines = 0;
  for (const char c : text) lines += c == '\n' ? 1 : 0;
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxInput) return -1;
  fuzz::Captured run;
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  ScoringMatrix matrix{};
  matrix[6][6] = 1;  // must be cleared by the reader
  try {
    read_scoring_matrix(in, matrix, run.channels, "matrix.txt");
  } catch (const RunAbort& abort) {
    check(abort.status == 1, "the matrix reader ended a run with a status other than 1");
    check(run.errors.str().find("matrix entries should be integers!") != std::string::npos,
          "the matrix reader stopped without its message");
    return 0;
  }
  for (std::size_t k = 0; k < matrix.size(); ++k)
    check(matrix[6][k] == 0 && matrix[k][6] == 0, "row or column 6 of the matrix is not 0");
  const std::size_t rows = count_lines(run.log.str());
  check(rows <= 6, "the log echoes more than six matrix rows");
  for (std::size_t r = rows; r < matrix.size(); ++r)
    for (const std::int32_t v : matrix[r]) check(v == 0, "a matrix row not read is not 0");
  return 0;
}
