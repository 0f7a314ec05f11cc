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

namespace {

// pair_lod's estimate from the counts. Most pairs are scored A, B and H
// only; for them splitting the dominant classes changes nothing, and the
// class totals are sums of whole counts (exact in single precision), so
// they are formed directly: the same r and LOD at a third of the cost.
PairLod f2_statistic(const PairCounts& n) {
  bool dominant = false;
  for (std::size_t k = 0; k < 6; ++k)
    dominant = dominant || n[kCodeC][k] != 0 || n[kCodeD][k] != 0 || n[k][kCodeC] != 0 || n[k][kCodeD] != 0;
  if (dominant) return pair_lod_from_counts(n);
  constexpr std::size_t A = kCodeA, B = kCodeB, H = kCodeH;
  ClassTotals c;
  c.x = static_cast<float>(n[A][A] + n[B][B] + n[H][H]);
  c.y = static_cast<float>(n[A][B] + n[B][A]);
  c.z = static_cast<float>(n[A][H] + n[H][A] + n[B][H] + n[H][B]);
  c.w = static_cast<float>(n[H][H]);
  return lod_from_totals(c);
}

}  // namespace

PairLod pair_statistic(PopulationType population, const PairCounts& counts,
                       const MarkerClasses& first, const MarkerClasses& second) {
  if (!two_class(population)) return f2_statistic(counts);
  // R and N: the individuals in one of its classes at both markers, and those
  // of them in different classes at the two.
  int recombinant = 0;
  int informative = 0;
  for (int u = 0; u < 6; ++u) {
    const int cu = class_of(first, u);
    if (cu < 0) continue;
    for (int v = 0; v < 6; ++v) {
      const int cv = class_of(second, v);
      if (cv < 0) continue;
      const int c = counts[static_cast<std::size_t>(u)][static_cast<std::size_t>(v)];
      informative += c;
      if (cu != cv) recombinant += c;
    }
  }
  return two_class_lod(population, recombinant, informative);
}

}  // namespace tarvek::draw
