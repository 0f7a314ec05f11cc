#pragma once
// LOD scores between the accepted loci, as read by the grouping stages.

#include <cstddef>
#include <vector>

#include "genotype/genotype_table.hpp"

namespace tarvek {

// n by n grouping LODs, row i holding pair_lod(i, j) for every j.
struct LodMatrix {
  std::size_t n = 0;
  std::vector<float> values;  // row-major
};

LodMatrix build_lod_matrix(const std::vector<GenotypeRow>& rows);

// A matrix of given values (row-major, n × n), for callers that already have
// the scores.
LodMatrix lod_matrix_from_values(std::size_t n, std::vector<float> values);

// The one way the grouping stages read the matrix: entry [i][j].
float lod_at(const LodMatrix& matrix, std::size_t i, std::size_t j);

}  // namespace tarvek
