#pragma once
// Scoring matrices shared by the tests.

#include "genotype/scoring_matrix.hpp"

namespace tarvek::testing {

// Counts the fewest crossovers between two codes: 0 where either is missing
// or both can stand for the same genotype; A-H 1, A-B 2, A-C 1, B-D 1, B-H 1;
// symmetric. The table that examples/matrix.txt holds.
ScoringMatrix recombination_matrix();

}  // namespace tarvek::testing
