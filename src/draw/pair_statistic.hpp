#pragma once
// The pair statistics of the heat map: r and LOD of two markers, counted
// from genotype bit-planes.
//
// pair_statistic is the one function through which every r and LOD of the
// heat map (and of the report's heat maps) passes. It gives what tarvek's
// grouping gives for the population type: the linkage estimator from a
// table of counts (grouping_lod_of_counts), the intercross one for an F2,
// the share of recombinant individuals among the informative ones for the
// two-class types.

#include <cstddef>

#include "genotype/code_planes.hpp"
#include "genotype/population.hpp"
#include "linkage/pair_lod.hpp"

namespace tarvek::draw {

// Counts of individuals by (code at item i, code at item j) for the codes
// 1..5 present in both; missing and flagged ("*") genotypes count nowhere,
// as in pair_lod.
PairCounts pair_counts(const CodePlanes& planes, std::size_t i, std::size_t j);

// r and LOD of a pair in a population of the given type, from the pair's
// counts and (for the two-class types) the two markers' classes. An F2 pair
// with r = 0 gives the LOD 9999, as the map file prints it.
PairLod pair_statistic(PopulationType population, const PairCounts& counts,
                       const MarkerClasses& first = {}, const MarkerClasses& second = {});

}  // namespace tarvek::draw
