#pragma once
// The tallies of a pair of loci over the genotype bit-planes of LodPlanes,
// from which its LODs and bounds are computed: the class counts of
// codominant F2 loci, the recombinant and informative individuals of
// two-class loci, and the full table of counts of loci with dominant codes.

#include <bit>
#include <cstddef>
#include <cstdint>

#include "genotype/code_planes.hpp"
#include "linkage/lod_planes.hpp"
#include "linkage/pair_lod.hpp"
#include "linkage/population_lod.hpp"

namespace tarvek {

// Locus i's A, B and H planes (F2), or its first and second class planes
// (two-class types), each planes.words long.
inline const std::uint64_t* abh_planes(const LodPlanes& m, std::size_t i) {
  return m.abh.data() + i * 3 * m.planes.words;
}
inline const std::uint64_t* class_planes(const LodPlanes& m, std::size_t i) {
  return m.classes.data() + i * 2 * m.planes.words;
}

// Counts of the 25 cells of codes 1..5 present at both items.
inline PairCounts full_counts(const CodePlanes& p, std::size_t i, std::size_t j) {
  PairCounts counts{};
  const std::uint8_t pi = p.present[i];
  const std::uint8_t pj = p.present[j];
  for (int u = kCodeA; u <= kCodeH; ++u) {
    if ((pi & (1u << u)) == 0) continue;
    const std::uint64_t* a = plane(p, i, u);
    for (int v = kCodeA; v <= kCodeH; ++v) {
      if ((pj & (1u << v)) == 0) continue;
      const std::uint64_t* b = plane(p, j, v);
      int c = 0;
      for (std::size_t w = 0; w < p.words; ++w) c += std::popcount(a[w] & b[w]);
      counts[static_cast<std::size_t>(u)][static_cast<std::size_t>(v)] = c;
    }
  }
  return counts;
}

struct CodominantTally {
  int y = 0, z = 0, n = 0;
  int w = 0;  // both heterozygous, counted only when asked for
};

// Y, Z and N (and W with kBothHeterozygous) of two loci scored A, B, H (and
// missing) only; `i` and `j` point at their A, B and H planes, `words` long
// each.
template <bool kBothHeterozygous = false>
inline CodominantTally codominant_tally(const std::uint64_t* i, const std::uint64_t* j,
                                        std::size_t words) {
  const std::uint64_t* ai = i;
  const std::uint64_t* bi = i + words;
  const std::uint64_t* hi = i + 2 * words;
  const std::uint64_t* aj = j;
  const std::uint64_t* bj = j + words;
  const std::uint64_t* hj = j + 2 * words;
  CodominantTally t;
  for (std::size_t w = 0; w < words; ++w) {
    const std::uint64_t homi = ai[w] | bi[w];
    const std::uint64_t homj = aj[w] | bj[w];
    t.y += std::popcount((ai[w] & bj[w]) | (bi[w] & aj[w]));
    t.z += std::popcount((homi & hj[w]) | (hi[w] & homj));
    t.n += std::popcount((homi | hi[w]) & (homj | hj[w]));
    if constexpr (kBothHeterozygous) t.w += std::popcount(hi[w] & hj[w]);
  }
  return t;
}

inline int both_heterozygous(const std::uint64_t* i, const std::uint64_t* j, std::size_t words) {
  int c = 0;
  for (std::size_t w = 0; w < words; ++w) c += std::popcount(i[2 * words + w] & j[2 * words + w]);
  return c;
}

// R and N of two loci of a two-class type; `i` and `j` point at their first
// and second class planes, `words` long each.
inline ClassTally plane_class_tally(const std::uint64_t* i, const std::uint64_t* j,
                                    std::size_t words) {
  ClassTally t;
  for (std::size_t w = 0; w < words; ++w) {
    const std::uint64_t fi = i[w], si = i[words + w];
    const std::uint64_t fj = j[w], sj = j[words + w];
    t.recombinant += std::popcount((fi & sj) | (si & fj));
    t.informative += std::popcount((fi | si) & (fj | sj));
  }
  return t;
}

}  // namespace tarvek
