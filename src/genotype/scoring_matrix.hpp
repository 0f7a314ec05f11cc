#pragma once
// The scoring matrix: what one individual adds to the score of a pair of loci,
// given its genotype codes at the two loci.

#include <array>
#include <cstdint>
#include <istream>
#include <string>

#include "base/channels.hpp"
#include "genotype/genotype_codes.hpp"

namespace tarvek {

// [code at the first locus][code at the second locus]; row and column 6 (a
// flagged genotype) are always 0.
using ScoringMatrix = std::array<std::array<std::int32_t, kCodeCount>, kCodeCount>;

// Fills `matrix` (all zeros on return except what the file supplies) from up
// to six data rows and echoes each row into the log. A field that is not an
// integer ends the run with "matrix entries should be integers!". A row that
// holds fewer than six tab-separated integers (blanks in place of tabs, most
// often) is read with zeros for what it lacks, and warned about on standard
// error naming `file_name` and the line.
void read_scoring_matrix(std::istream& in, ScoringMatrix& matrix, Channels& channels,
                         const std::string& file_name = "the scoring matrix");

// Parses one line into `row` (zeros on entry). False for a comment line (one
// starting with ";") and for an empty line. `fields` receives the number of
// integers the line supplied. A field that is not an integer is fatal.
bool parse_matrix_line(const std::string& line, std::array<std::int32_t, 6>& row,
                       Channels& channels, std::size_t* fields = nullptr);

}  // namespace tarvek
