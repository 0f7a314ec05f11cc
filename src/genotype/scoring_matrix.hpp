#pragma once
// The scoring matrix: what one individual adds to the score of a pair of loci,
// given its genotype codes at the two loci.

#include <array>
#include <cstdint>
#include <istream>
#include <string>

#include "genotype/genotype_codes.hpp"

namespace tarvek {

// [code at the first locus][code at the second locus]; row and column 6 (a
// flagged genotype) are always 0.
using ScoringMatrix = std::array<std::array<std::int32_t, kCodeCount>, kCodeCount>;

// The process's one scoring matrix, loaded at start.
ScoringMatrix& scoring_matrix();

// Fills `matrix` (all zeros on return except what the file supplies) from up
// to six data rows and echoes each row into the log. A field that is not an
// integer ends the run with "matrix entries should be integers!".
void read_scoring_matrix(std::istream& in, ScoringMatrix& matrix);

// Parses one line into `row` (zeros on entry). False for a comment line (one
// starting with ";") and for an empty line.
bool parse_matrix_line(const std::string& line, std::array<std::int32_t, 6>& row);

}  // namespace tarvek
