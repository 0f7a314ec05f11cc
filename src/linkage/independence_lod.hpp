#pragma once
// Linkage of loci whose segregation is distorted. The LOD estimators of
// pair_lod and population_lod compare a pair's table with the table expected
// at free recombination under Mendelian ratios, so a locus whose classes are
// far from those ratios scores against the ratios as much as against the
// other locus. The LOD of association compares the table instead with the
// product of its own margins:
//
//   LOD = sum over the cells of n_uv · log10(n_uv · N / (n_u. · n_.v))
//
// over the individuals typed at both loci (each in a class its locus can
// have). Two unlinked loci stay independent whatever their ratios (selection
// on one locus changes its margin, not the other's), so the expected table is
// the product of the margins for every population type; only linkage makes
// the classes go together. In an F2 the classes are A, B, C, D and H as
// scored; in the two-class types the two classes of each marker.

#include <cstddef>
#include <vector>

#include "genotype/genotype_table.hpp"
#include "genotype/population.hpp"
#include "linkage/linkage_groups.hpp"

namespace tarvek {

// Where each candidate row belongs: the group (an index into `groups`) of
// the grouped locus it is most strongly associated with above `threshold`,
// or -1. Candidates placed so become loci of their group for the candidates
// still without one, pass after pass, until a pass places none. `rows` are
// the grouped loci's rows, indexed by the locus numbers of `groups`. Each
// entry of `strength` (when given) receives the LOD that placed it.
std::vector<int> associated_groups(PopulationType type, const std::vector<GenotypeRow>& rows,
                                   const LinkageGroups& groups,
                                   const std::vector<GenotypeRow>& candidates, float threshold,
                                   std::vector<float>* strength = nullptr, int threads = 1);

}  // namespace tarvek
