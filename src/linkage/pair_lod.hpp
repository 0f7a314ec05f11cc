#pragma once
// Recombination frequency r and LOD score of a pair of loci in an F2
// intercross.

#include <array>
#include <cstddef>
#include <vector>

#include "genotype/genotype_table.hpp"

namespace tarvek {

struct PairLod {
  float r = 0.5f;
  float lod = 0.0f;
};

// Class totals of a pair table: X non-recombinant, Y both gametes
// recombinant, Z one gamete recombinant, W phase-ambiguous (inside X).
struct ClassTotals {
  float x = 0.0f, y = 0.0f, z = 0.0f, w = 0.0f;
};

// Counts of individuals by (code at the first locus, code at the second),
// codes 0..5.
using PairCounts = std::array<std::array<int, 6>, 6>;

// The grouping estimator: dominant codes split into the codominant classes
// they stand for (C: 1/3 B, 2/3 H; D: 1/3 A, 2/3 H).
PairLod pair_lod(const std::vector<GenotypeRow>& rows, std::size_t i, std::size_t j);

// The neighbour estimator: dominant codes counted whole in the class they
// agree with; individuals flagged at either locus left out.
PairLod adjacent_pair_lod(const std::vector<GenotypeRow>& rows, std::size_t i, std::size_t j);

// The table of counts of two rows (individuals with a code outside 0..5 at
// either locus are left out).
PairCounts pair_counts(const GenotypeRow& a, const GenotypeRow& b);

// The table with the second locus's alleles exchanged (A and B, C and D).
PairCounts exchanged_second(const PairCounts& counts);

// The two estimators from a table of counts (cells with a missing code are
// ignored). Pure arithmetic, shared by every caller.
PairLod pair_lod_from_counts(const PairCounts& counts);
PairLod adjacent_lod_from_counts(const PairCounts& counts);

// The grouping estimator's r and LOD from its class totals.
PairLod lod_from_totals(const ClassTotals& totals);

// Totals of the grouping estimator's split table.
ClassTotals split_class_totals(const PairCounts& counts);

// The LOD formula for given totals at r (r strictly between 0 and 0.5, or
// 0.5), the six terms added in their fixed order.
float lod_formula(const ClassTotals& totals, float n, float r);

// Map distance between neighbours: 25·log10((1+2r)/(1−2r)), for r < 0.5.
double map_distance(float r);

}  // namespace tarvek
