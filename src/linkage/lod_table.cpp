#include "linkage/lod_table.hpp"

#include <stdexcept>
#include <utility>

#include "linkage/pair_lod.hpp"
#include "linkage/population_lod.hpp"

namespace tarvek {

LodTable build_lod_table(const std::vector<GenotypeRow>& rows, PopulationType type) {
  LodTable t;
  t.n = rows.size();
  t.values.resize(t.n * t.n);
  for (std::size_t i = 0; i < t.n; ++i)
    for (std::size_t j = 0; j < t.n; ++j)
      t.values[i * t.n + j] = grouping_pair_lod(type, rows, i, j).lod;
  return t;
}

float lod_at(const LodTable& table, std::size_t i, std::size_t j) {
  if (i >= table.n || j >= table.n) throw std::out_of_range("LOD table index");
  return table.values[i * table.n + j];
}

std::optional<PhaseLink> plain_phase_link(const std::vector<GenotypeRow>& rows,
                                          PopulationType type, std::size_t i, std::size_t j,
                                          float threshold) {
  if (j < i) std::swap(i, j);
  const GenotypeRow& first = rows.at(i);
  const GenotypeRow& second = rows.at(j);
  const float same = grouping_pair_lod(type, first, second).lod;
  PhaseLink link;
  if (population_model(type).exchange_keeps_classes) {
    // Exchanging the alleles leaves the marker's classes: the phase is in
    // the letters alone.
    link.strength = same;
    link.exchanged = marker_classes(type, first).first != marker_classes(type, second).first;
  } else {
    GenotypeRow exchanged = second;
    exchange_alleles(exchanged);
    const float other = grouping_pair_lod(type, first, exchanged).lod;
    link.exchanged = other > same;
    link.strength = link.exchanged ? other : same;
  }
  if (!(link.strength > threshold)) return std::nullopt;
  return link;
}

}  // namespace tarvek
