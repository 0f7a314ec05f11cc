#pragma once
// ERRSWEEP: finds singletons (genotypes that conflict with both neighbouring
// loci of the order), takes loci with too many of them out of the order and
// recodes their singleton genotypes as flagged ("*").

#include <vector>

#include "base/channels.hpp"
#include "genotype/genotype_table.hpp"
#include "genotype/population.hpp"
#include "ordering/pair_score_matrix.hpp"

namespace tarvek {

// 1 where the neighbour's code and the code under test cannot stand for the
// same genotype: [neighbour code][code under test].
float conflict(int neighbour_code, int code);

// Scans the order (entries are positions in `members`, whose entries are
// rows of `rows`), judging every position against the unreduced order.
// Loci whose share of singletons is above `singleton_threshold` are appended
// (as order entries) to `removed`, their singleton genotypes set to 6 and
// their positions erased from the order. Returns the number removed. The
// positions are counted on `threads` threads; the result and the log lines
// are the same for any number.
//
// In a two-class population two genotypes conflict when both are in one of
// their markers' classes and the classes differ (see marker_classes); a code
// the marker cannot have is treated like a missing one, and a backcross
// marker scored B/H meets one scored A/H through its classes, not letters.
int find_singletons(std::vector<GenotypeRow>& rows, MarkerOrder& order,
                    const std::vector<int>& members, std::vector<int>& removed,
                    float singleton_threshold, Channels& channels,
                    PopulationType population = PopulationType::F2, int threads = 1);

}  // namespace tarvek
