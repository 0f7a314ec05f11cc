#pragma once
// The pair statistics of the heat map: r and LOD of two markers, counted
// from genotype bit-planes.
//
// pair_statistic is the one function through which every r and LOD of the
// heat map (and of the report's heat maps) passes. It chooses the estimator
// by population type; today every type is estimated as an F2 intercross
// with the library's grouping estimator (pair_lod), which is what tarvek
// itself uses. An estimator for another type goes into its switch.

#include <cstddef>

#include "genotype/code_planes.hpp"
#include "interop/population.hpp"
#include "linkage/pair_lod.hpp"

namespace tarvek::draw {

// Counts of individuals by (code at item i, code at item j) for the codes
// 1..5 present in both; missing and flagged ("*") genotypes count nowhere,
// as in pair_lod.
PairCounts pair_counts(const CodePlanes& planes, std::size_t i, std::size_t j);

// r and LOD of a pair in a population of the given type. r = 0 gives the
// LOD 9999, as the map file prints it.
PairLod pair_statistic(interop::Population population, const PairCounts& counts);

// Whether pair_statistic has an estimator of its own for the type (false:
// it is estimated as an F2).
bool has_own_estimator(interop::Population population);

}  // namespace tarvek::draw
