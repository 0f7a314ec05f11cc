#include "linkage/lod_matrix.hpp"

#include <stdexcept>

#include "linkage/pair_lod.hpp"

namespace tarvek {

LodMatrix build_lod_matrix(const std::vector<GenotypeRow>& rows) {
  LodMatrix m;
  m.n = rows.size();
  m.values.resize(m.n * m.n);
  for (std::size_t i = 0; i < m.n; ++i)
    for (std::size_t j = 0; j < m.n; ++j) m.values[i * m.n + j] = pair_lod(rows, i, j).lod;
  return m;
}

LodMatrix lod_matrix_from_values(std::size_t n, std::vector<float> values) {
  if (values.size() != n * n) throw std::invalid_argument("LOD matrix must be n by n");
  return LodMatrix{n, std::move(values)};
}

float lod_at(const LodMatrix& matrix, std::size_t i, std::size_t j) {
  if (i >= matrix.n || j >= matrix.n) throw std::out_of_range("LOD matrix index");
  return matrix.values[i * matrix.n + j];
}

}  // namespace tarvek
