#include "support/linkage_checks.hpp"

#include "base/parallel.hpp"
#include "genotype/genotype_codes.hpp"
#include "linkage/population_lod.hpp"
#include "linkage/screen_blocks.hpp"

namespace tarvek::testing {

LinkBlock screen_block(const LinkScreen& s, std::size_t first, std::size_t last, int threads) {
  const screen::BlockPlan b = screen::plan_block(s, first, last, threads);
  LinkBlock block;
  block.first = first;
  block.words = (first + 63) / 64;
  block.bits.assign(b.lanes * block.words, 0);
  if (first == 0 || b.lanes == 0) return block;
  for_each_block(threads, Blocks{first, screen::kChunk},
                 [&](std::size_t, std::size_t begin, std::size_t end) {
                   for (std::size_t m = begin; m < end; ++m) {
                     const std::uint64_t bit = std::uint64_t{1} << (m % 64);
                     screen::screen_locus(s, b, m, b.all, [&](std::size_t k) {
                       block.bits[k * block.words + m / 64] |= bit;
                     });
                   }
                 });
  return block;
}

bool bound_rules_out(const std::vector<GenotypeRow>& rows, PopulationType type,
                     const std::vector<int>& exclusion, std::size_t i, std::size_t m) {
  const GenotypeRow& a = rows.at(i);
  const GenotypeRow& b = rows.at(m);
  if (two_class(type)) {
    const ClassTally t = class_tally(a, marker_classes(type, a), b, marker_classes(type, b));
    return t.informative != 0 && t.recombinant >= exclusion.at(static_cast<std::size_t>(t.informative));
  }
  // Ninths of an individual with codes u and v: the expected difference of
  // their first-parent gametes (A 2, H 1, B 0; C is B or H, D is A or H, at
  // 1/3 and 2/3), nine times over.
  const int shares[6][3] = {{0, 0, 0}, {0, 0, 3}, {3, 0, 0}, {1, 2, 0}, {0, 2, 1}, {0, 3, 0}};
  int ninths = 0, n = 0;
  for (std::size_t k = 0; k < a.size(); ++k) {
    const int u = a[k], v = b.at(k);
    if (u < kCodeA || u > kCodeH || v < kCodeA || v > kCodeH) continue;
    ++n;
    for (int x = 0; x < 3; ++x)
      for (int y = 0; y < 3; ++y) ninths += shares[u][x] * shares[v][y] * (x > y ? x - y : y - x);
  }
  return ninths != 0 && ninths >= 9 * exclusion.at(static_cast<std::size_t>(n));
}

}  // namespace tarvek::testing
