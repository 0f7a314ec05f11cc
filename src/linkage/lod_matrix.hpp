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

// The largest entry [s][h] over s in `from` and h in `to`, when it is above
// `floor`; nothing otherwise.
std::optional<float> strongest_link(const LodMatrix& matrix, const LinkageGroup& from,
                                    const LinkageGroup& to, float floor);

// Entry [i][j] when it is above `floor`; nothing when it is not, or when the
// bound (lod_bound.hpp) shows that it cannot be, with no logarithm taken.
std::optional<float> lod_above(const LodMatrix& matrix, std::size_t i, std::size_t j, float floor);

}  // namespace tarvek
