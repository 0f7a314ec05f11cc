#pragma once
// The plain LOD matrix: every entry computed with pair_lod and stored, n × n.
// It is the reference the computed LodPlanes is checked against (and what
// the reference build groups with), and it takes given scores for tests of
// the grouping rules.

#include <cstddef>
#include <optional>
#include <vector>

#include "genotype/genotype_table.hpp"
#include "linkage/linkage_groups.hpp"
#include "linkage/phase_link.hpp"

namespace tarvek {

struct LodTable {
  std::size_t n = 0;
  std::vector<float> values;  // row-major, n × n
};

// Entry [i][j] = the type's grouping LOD of rows i and j (pair_lod for an F2)
// for every ordered pair, the diagonal included.
LodTable build_lod_table(const std::vector<GenotypeRow>& rows,
                         PopulationType type = PopulationType::F2);

float lod_at(const LodTable& table, std::size_t i, std::size_t j);

// phase_link computed plainly: both LODs of the lower-numbered locus against
// the other, the second against a copy of its row with the alleles exchanged.
std::optional<PhaseLink> plain_phase_link(const std::vector<GenotypeRow>& rows,
                                          PopulationType type, std::size_t i, std::size_t j,
                                          float threshold);

}  // namespace tarvek
