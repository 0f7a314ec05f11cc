#pragma once
// LOD scores between the accepted loci, as the fast grouping stages read
// them: LodPlanes holds the loci's genotypes as bit-planes, and each score
// the grouping asks for (entry [i][j], the type's grouping estimator of row
// i against row j) is computed from them when it is needed. No score is
// stored, so memory grows with the number of loci, not with its square (the
// plain LodTable of lod_table.hpp stores them all). Most pairs of loci are
// far from linked; for them an upper bound on the LOD, from the
// recombination estimate alone, proves that the score cannot pass the
// threshold in question, and the logarithms are never taken. Every score
// that can pass is computed exactly as pair_lod computes it, so the grouping
// is the same as over the stored table.

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

struct LodPlanes {
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

// The planes of the given rows, for the scores of all their pairs.
LodPlanes build_lod_planes(const std::vector<GenotypeRow>& rows,
                           PopulationType type = PopulationType::F2);

// The largest entry [s][h] over s in `row_loci` and h in `column_loci`, when
// it is above `floor`; nothing otherwise. Of equal entries the first found,
// h in the outer loop, counts.
std::optional<float> strongest_link(const LodPlanes& lods, const LinkageGroup& row_loci,
                                    const LinkageGroup& column_loci, float floor);

// Entry [i][j] when it is above `floor`; nothing when it is not, or when the
// bound (lod_bound.hpp) shows that it cannot be, with no logarithm taken.
std::optional<float> lod_above(const LodPlanes& lods, std::size_t i, std::size_t j, float floor);

}  // namespace tarvek
