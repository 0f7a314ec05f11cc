#include "draw/pair_statistic.hpp"

#include <bit>

#include "genotype/genotype_codes.hpp"
#include "linkage/population_lod.hpp"

namespace tarvek::draw {

PairCounts pair_counts(const CodePlanes& p, std::size_t i, std::size_t j) {
  PairCounts counts{};
  const unsigned present_i = p.present.at(i);
  const unsigned present_j = p.present.at(j);
  for (int u = kCodeA; u <= kCodeH; ++u) {
    if ((present_i >> u & 1u) == 0) continue;
    const std::uint64_t* a = plane(p, i, u);
    for (int v = kCodeA; v <= kCodeH; ++v) {
      if ((present_j >> v & 1u) == 0) continue;
      const std::uint64_t* b = plane(p, j, v);
      int c = 0;
      for (std::size_t w = 0; w < p.words; ++w) c += std::popcount(a[w] & b[w]);
      counts[static_cast<std::size_t>(u)][static_cast<std::size_t>(v)] = c;
    }
  }
  return counts;
}

PairLod pair_statistic(PopulationType population, const PairCounts& counts,
                       const MarkerClasses& first, const MarkerClasses& second) {
  return grouping_lod_of_counts(population, counts, first, second);
}

}  // namespace tarvek::draw
