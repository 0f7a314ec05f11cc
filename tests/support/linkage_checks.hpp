#pragma once
// Queries of the computed LOD matrix for tests, made of what the grouping
// itself reads.

#include <cstddef>
#include <limits>

#include "linkage/lod_matrix.hpp"

namespace tarvek::testing {

// Entry [i][j], computed in full (no bound is below minus infinity).
inline float lod_of(const LodMatrix& matrix, std::size_t i, std::size_t j) {
  return *lod_above(matrix, i, j, -std::numeric_limits<float>::infinity());
}

}  // namespace tarvek::testing
