#pragma once
// Fixtures shared by the tests: the recombination-count scoring matrix (as
// the file text, as the table, and as the log echoes it) and the log's
// parameter echo.

#include <string>

#include "genotype/scoring_matrix.hpp"

namespace tarvek::testing {

// The matrix file that counts the fewest crossovers between two codes: 0
// where either is missing or both can stand for the same genotype; A-H 1,
// A-B 2, A-C 1, B-D 1, B-H 1; symmetric. What examples/matrix.txt holds.
extern const char* const kRecombinationMatrix;

// The same matrix as a table (read from the text above).
ScoringMatrix recombination_matrix();

// The log's echo of that matrix: each row's numbers without separators.
// (Inline, so that constants of other files may be built from it.)
inline const std::string kMatrixEcho = "000000\n002101\n020011\n010000\n001000\n011000\n";

// The line of 61 "-" the log writes between groups, with its line feed.
inline const std::string kSeparator = std::string(61, '-') + "\n";

// "\n\nFatal error!: " + message + "\n", as standard error and the log show it.
std::string fatal(const std::string& message);

// The log's parameter echo, with every value as it prints (the defaults
// unless changed).
struct ParameterEcho {
  std::string chromosomes = "12", core = "16", min = "4", missing = "0.2";
  std::string ab = "50", abh = "50", ac = "50", order = "0";
  std::string group = "100", singleton = "0.05";
  std::string text() const;
};

}  // namespace tarvek::testing
