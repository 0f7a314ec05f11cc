#pragma once
// Recombination frequency r and LOD score of a pair of loci for every
// population type. An F2 uses the intercross estimators of pair_lod.hpp; the
// two-class types count, among the N individuals informative at both loci
// (each in one of its marker's two classes), the R whose two loci are in
// different classes. The share R/N estimates the recombinant share of the
// population, which is r in a backcross or doubled haploids, 2r/(1+2r) in
// selfed and 4r/(1+6r) in sib-mated recombinant inbred lines.

#include <cstddef>
#include <vector>

#include "genotype/genotype_table.hpp"
#include "genotype/population.hpp"
#include "linkage/pair_lod.hpp"

namespace tarvek {

struct ClassTally {
  int recombinant = 0;  // R
  int informative = 0;  // N
};

// R and N of two loci with the given marker classes.
ClassTally class_tally(const GenotypeRow& a, const MarkerClasses& a_classes, const GenotypeRow& b,
                       const MarkerClasses& b_classes);

// R and N from a pair's table of counts and the two markers' classes.
ClassTally class_tally(const PairCounts& counts, const MarkerClasses& first,
                       const MarkerClasses& second);

// r of a two-class type from the recombinant share (0 to 0.5), by the
// type's r_of_share: evaluated in double from the float share, stored as
// float.
float recombination_of_share(PopulationType type, float share);

// r and LOD of a two-class pair from R and N: share = R/N capped at 0.5,
// LOD = N·log10 2 + R·log10(share) + (N − R)·log10(1 − share), 0·log 0
// taken as 0; the LOD of a capped share (no linkage) is 0, as is that of
// N = 0 (with r 0.5).
PairLod two_class_lod(PopulationType type, int recombinant, int informative);

// pair_lod_from_counts's estimate. Most pairs are scored A, B and H only;
// for them splitting the dominant classes changes nothing, and the class
// totals are sums of whole counts (exact in single precision), so they are
// formed directly: the same r and LOD at a third of the cost.
PairLod intercross_lod_of_counts(const PairCounts& counts);

// The grouping estimator of the type (its model's estimator) from a pair's
// table of counts and, for the two-class types, the two markers' classes.
PairLod grouping_lod_of_counts(PopulationType type, const PairCounts& counts,
                               const MarkerClasses& first, const MarkerClasses& second);

// The grouping estimator of the type: pair_lod for an F2, the two-class
// estimator otherwise. The rows are the loci's genotype rows.
PairLod grouping_pair_lod(PopulationType type, const GenotypeRow& a, const GenotypeRow& b);
PairLod grouping_pair_lod(PopulationType type, const std::vector<GenotypeRow>& rows,
                          std::size_t i, std::size_t j);

// The estimator of neighbouring loci in the map file: adjacent_pair_lod for
// an F2, the two-class estimator otherwise (flagged genotypes are never
// informative).
PairLod neighbour_pair_lod(PopulationType type, const std::vector<GenotypeRow>& rows,
                           std::size_t i, std::size_t j);

}  // namespace tarvek
