#pragma once
// LOD scores between the accepted loci, as the grouping stages read them.
//
// The scores are not stored: each one the grouping asks for is computed from
// genotype bit-planes when it is needed, so memory grows with the number of
// loci, not with its square. Most pairs of loci are far from linked; for
// them an upper bound on the LOD, from the recombination estimate alone,
// proves that the score cannot pass the threshold in question, and the
// logarithms are never taken. Every score that can pass is computed exactly
// as pair_lod computes it, so the grouping is the same as over a full matrix.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "genotype/code_planes.hpp"
#include "genotype/genotype_table.hpp"
#include "genotype/population.hpp"
#include "linkage/linkage_groups.hpp"
#include "linkage/pair_lod.hpp"

namespace tarvek {

struct LodMatrix {
  std::size_t n = 0;
  PopulationType type = PopulationType::F2;
  CodePlanes planes;          // genotypes of the loci
  // Per locus, its A, B and H planes side by side, for the common pair of
  // loci scored without dominant codes.
  std::vector<std::uint64_t> abh;
  std::vector<std::uint8_t> dominant;  // per locus: scored C or D somewhere
  // Two-class types: per locus, the planes of its first and second class
  // side by side, and its marker classes.
  std::vector<std::uint64_t> classes;
  std::vector<MarkerClasses> marker_classes;
};

// Prepares the scores of all pairs of the given rows (the type's grouping
// estimator of row i against row j for entry [i][j]).
LodMatrix build_lod_matrix(const std::vector<GenotypeRow>& rows,
                           PopulationType type = PopulationType::F2);

// Which entries [i][m] are above a threshold, for the loci i of a block
// [first, last) and every locus m before the block.
struct LinkBlock {
  std::size_t first = 0;
  std::size_t last = 0;
  std::size_t words = 0;             // 64-bit words per locus of the block
  std::vector<std::uint64_t> bits;   // [i - first][m / 64], bit m % 64
};

inline bool linked(const LinkBlock& block, std::size_t i, std::size_t m) {
  const std::uint64_t word = block.bits[(i - block.first) * block.words + m / 64];
  return (word >> (m % 64) & 1u) != 0;
}

// The table of the LOD bound at `threshold`, per number N (0 .. individuals)
// of individuals scored at both loci of a pair: for an F2, the smallest count
// k = 2Y + Z of recombinant gametes from which on the pair cannot be above
// the threshold (k = 0 is never ruled out); for the two-class types, the
// smallest number R of recombinant individuals (N + 1 when none is).
std::vector<int> exclusion_table(const LodMatrix& matrix, float threshold);

// True when the bound rules the pair of loci i and m out at that table: the
// test lod_above makes before it takes any logarithm.
bool bound_rules_out(const LodMatrix& matrix, const std::vector<int>& from, std::size_t i,
                     std::size_t m);

// The largest entry [s][h] over s in `from` and h in `to`, when it is above
// `floor`; nothing otherwise.
std::optional<float> strongest_link(const LodMatrix& matrix, const LinkageGroup& from,
                                    const LinkageGroup& to, float floor);

// Entry [i][j] when it is above `floor`; nothing when it is not.
std::optional<float> lod_above(const LodMatrix& matrix, std::size_t i, std::size_t j, float floor);

// How two loci are linked in the two phases: as scored, or with the alleles
// of one of them exchanged (A and B, C and D). `strength` is the larger of the
// two LODs and `exchanged` tells that the exchanged one is strictly larger.
// The LODs are those of the lower-numbered locus against the other. In a
// backcross the exchange leaves the classes, and so the LOD, as they are:
// there `exchanged` tells that the two markers are scored against different
// homozygotes (one A/H, the other B/H).
struct PhaseLink {
  float strength = 0.0f;
  bool exchanged = false;
};

// Phase links of the pairs of a LOD matrix above one threshold.
struct PhaseLinker {
  const LodMatrix* matrix = nullptr;
  float threshold = 0.0f;
  std::vector<int> excluded_from;  // the bound of the threshold, per number of individuals
};

PhaseLinker phase_linker(const LodMatrix& matrix, float threshold);

// The phase link of loci i and j (in either order) when its strength is
// above the threshold; nothing otherwise. Pairs whose two LODs are both
// bounded below the threshold take no logarithm.
std::optional<PhaseLink> phase_link(const PhaseLinker& linker, std::size_t i, std::size_t j);

}  // namespace tarvek
