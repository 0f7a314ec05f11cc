#pragma once
// The computed LOD matrix and the link screen seen whole, for tests: full
// entries, the screen's bits of a block of pairs, and the LOD bound's test
// of a pair computed plainly from the rows.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "genotype/genotype_table.hpp"
#include "genotype/population.hpp"
#include "linkage/link_screen.hpp"
#include "linkage/lod_planes.hpp"

namespace tarvek::testing {

// Entry [i][j], computed in full (no bound is below minus infinity).
inline float lod_of(const LodPlanes& matrix, std::size_t i, std::size_t j) {
  return *lod_above(matrix, i, j, -std::numeric_limits<float>::infinity());
}

// Which pairs of a block [first, last) of loci and the loci m before it a
// screen leaves open.
struct LinkBlock {
  std::size_t first = 0;
  std::size_t words = 0;            // 64-bit words per locus of the block
  std::vector<std::uint64_t> bits;  // [i - first][m / 64], bit m % 64
};

inline bool linked(const LinkBlock& block, std::size_t i, std::size_t m) {
  const std::uint64_t word = block.bits[(i - block.first) * block.words + m / 64];
  return (word >> (m % 64) & 1u) != 0;
}

// The pairs of a block of at most 64 loci that the screen does not rule out,
// through its centres or by their tallies, shared among `threads` threads as
// the core grouping shares them.
LinkBlock screen_block(const LinkScreen& screen, std::size_t first, std::size_t last,
                       int threads = 1);

// The LOD bound's test of rows i and m at an exclusion table, from their
// codes: the recombinant gametes 2Y + Z of the grouping estimator (dominant
// codes split into the classes they stand for) reach exclusion[N], N being
// the individuals scored at both; in the two-class types the recombinant
// individuals R of the N informative ones do.
bool bound_rules_out(const std::vector<GenotypeRow>& rows, PopulationType type,
                     const std::vector<int>& exclusion, std::size_t i, std::size_t m);

}  // namespace tarvek::testing
