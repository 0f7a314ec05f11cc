#include "linkage/phase_link.hpp"

#include <stdexcept>
#include <utility>

#include "linkage/lod_bound.hpp"
#include "linkage/plane_tallies.hpp"
#include "linkage/population_lod.hpp"

namespace tarvek {
namespace {

// Nine times the expected number of recombinant gametes (2Y + Z) of one
// individual with codes u and v (1..5), dominant codes split as in the
// grouping estimator: A carries 2 gametes of the first parent, H 1, B 0;
// C is B (1/3) or H (2/3), D is A (1/3) or H (2/3).
constexpr int gametes_ninths(int u, int v) {
  // Share of 0, 1, 2 first-parent gametes, in thirds, for codes 0..5.
  constexpr int share[6][3] = {{0, 0, 0}, {0, 0, 3}, {3, 0, 0}, {1, 2, 0}, {0, 2, 1}, {0, 3, 0}};
  int total = 0;
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b) total += share[u][a] * share[v][b] * (a > b ? a - b : b - a);
  return total;
}

// The two LODs of a pair of loci, each only when it can be above the
// threshold: `same` as scored, `exchanged` with the second locus's alleles
// exchanged. A LOD left out is known not to be above it.
struct PhaseLods {
  std::optional<float> same;
  std::optional<float> exchanged;
};

// The exchange of A and B turns AA and BB pairs into AB and BA pairs and back,
// and AH into BH: X' = Y + W, Y' = X − W, Z and W stay.
PhaseLods codominant_phase_lods(const std::uint64_t* pi, const std::uint64_t* pj,
                                std::size_t words, const std::vector<int>& exclusion) {
  const CodominantTally t = codominant_tally<true>(pi, pj, words);
  PhaseLods lods;
  if (t.n == 0) {
    lods.same = lods.exchanged = 0.0f;
    return lods;
  }
  const int limit = exclusion[static_cast<std::size_t>(t.n)];
  const int k = 2 * t.y + t.z;
  const int y_exchanged = t.n - t.y - t.z - t.w;
  const int k_exchanged = 2 * y_exchanged + t.z;
  if (k == 0 || k < limit) {
    ClassTotals c;
    c.y = static_cast<float>(t.y);
    c.z = static_cast<float>(t.z);
    c.x = static_cast<float>(t.n - t.y - t.z);
    c.w = static_cast<float>(t.w);
    lods.same = lod_from_totals(c).lod;
  }
  if (k_exchanged == 0 || k_exchanged < limit) {
    ClassTotals c;
    c.y = static_cast<float>(y_exchanged);
    c.z = static_cast<float>(t.z);
    c.x = static_cast<float>(t.y + t.w);
    c.w = static_cast<float>(t.w);
    lods.exchanged = lod_from_totals(c).lod;
  }
  return lods;
}

// The same for a pair with dominant codes, from its table of counts: the
// recombinant gametes of each phase (in ninths: nine times 2Y + Z) rule out
// the phases that cannot pass before any logarithm is taken.
struct NinthsTables {
  int same[6][6]{};
  int exchanged[6][6]{};
};

constexpr NinthsTables ninths_tables() {
  constexpr int kExchanged[6] = {kMissing, kCodeB, kCodeA, kCodeD, kCodeC, kCodeH};
  NinthsTables t;
  for (int u = kCodeA; u <= kCodeH; ++u)
    for (int v = kCodeA; v <= kCodeH; ++v) {
      t.same[u][v] = gametes_ninths(u, v);
      t.exchanged[u][v] = gametes_ninths(u, kExchanged[v]);
    }
  return t;
}

constexpr NinthsTables kNinths = ninths_tables();

PhaseLods dominant_phase_lods(const PairCounts& counts, const std::vector<int>& exclusion) {
  int n = 0, ninths = 0, ninths_exchanged = 0;
  for (std::size_t u = kCodeA; u <= kCodeH; ++u)
    for (std::size_t v = kCodeA; v <= kCodeH; ++v) {
      const int c = counts[u][v];
      n += c;
      ninths += c * kNinths.same[u][v];
      ninths_exchanged += c * kNinths.exchanged[u][v];
    }
  const int limit = n == 0 ? 0 : 9 * exclusion[static_cast<std::size_t>(n)];
  PhaseLods lods;
  if (n == 0 || ninths == 0 || ninths < limit) lods.same = pair_lod_from_counts(counts).lod;
  if (n == 0 || ninths_exchanged == 0 || ninths_exchanged < limit)
    lods.exchanged = pair_lod_from_counts(exchanged_second(counts)).lod;
  return lods;
}

std::optional<float> bounded_class_lod(PopulationType type, int recombinant, int informative,
                                       const std::vector<int>& exclusion) {
  if (informative > 0 && recombinant >= exclusion[static_cast<std::size_t>(informative)])
    return std::nullopt;
  return two_class_lod(type, recombinant, informative).lod;
}

}  // namespace

PhaseLinker phase_linker(const LodPlanes& lods, float threshold) {
  PhaseLinker linker;
  linker.lods = &lods;
  linker.threshold = threshold;
  linker.exclusion = exclusion_table(lods.type, lods.planes.positions, threshold);
  return linker;
}

std::optional<PhaseLink> phase_link(const PhaseLinker& linker, std::size_t i, std::size_t j) {
  const LodPlanes& m = *linker.lods;
  if (i >= m.n || j >= m.n) throw std::out_of_range("LOD matrix index");
  if (j < i) std::swap(i, j);
  const std::size_t words = m.planes.words;
  const float threshold = linker.threshold;
  PhaseLods lods;
  if (two_class(m.type)) {
    const ClassTally t = plane_class_tally(class_planes(m, i), class_planes(m, j), words);
    lods.same = bounded_class_lod(m.type, t.recombinant, t.informative, linker.exclusion);
    if (population_model(m.type).exchange_keeps_classes) {
      if (!lods.same || !(*lods.same > threshold)) return std::nullopt;
      return PhaseLink{*lods.same, m.marker_classes[i].first != m.marker_classes[j].first};
    }
    lods.exchanged = bounded_class_lod(m.type, t.informative - t.recombinant, t.informative,
                                       linker.exclusion);
  } else if (m.dominant[i] == 0 && m.dominant[j] == 0) {
    lods = codominant_phase_lods(m.abh.data() + i * 3 * words, m.abh.data() + j * 3 * words,
                                 words, linker.exclusion);
  } else {
    lods = dominant_phase_lods(full_counts(m.planes, i, j), linker.exclusion);
  }
  // A LOD left out is not above the threshold, so it cannot be the larger
  // of a pair that links.
  const bool same_links = lods.same && *lods.same > threshold;
  const bool exchanged_links = lods.exchanged && *lods.exchanged > threshold;
  if (!same_links && !exchanged_links) return std::nullopt;
  const bool exchanged = exchanged_links && (!same_links || *lods.exchanged > *lods.same);
  return PhaseLink{exchanged ? *lods.exchanged : *lods.same, exchanged};
}

}  // namespace tarvek
