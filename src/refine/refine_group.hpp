#pragma once
// Turning one linkage group into an ordered group: group score matrix,
// LINKSORT, and with ERRSWEEP on, removal of loci with many singletons, a
// second LINKSORT and the hammering-in of the removed loci.

#include <cstdint>
#include <string>
#include <vector>

#include "base/channels.hpp"
#include "base/kernels.hpp"
#include "base/observer.hpp"
#include "genotype/genotype_table.hpp"
#include "genotype/population.hpp"
#include "genotype/scoring_matrix.hpp"
#include "ordering/order_random.hpp"
#include "ordering/pair_score_matrix.hpp"

namespace tarvek {

// Sum over the individuals of score[code at a][code at b]. Invalid locus
// numbers are reported on standard error and score 0.
std::int32_t scorepair(const ScoringMatrix& score, const std::vector<GenotypeRow>& rows, int a,
                       int b, Channels& channels);

// The score of the members in the given order, summed without wrapping:
// what refine_group's 32-bit score is once it wraps around. It differs
// from that score exactly when the true score does not fit in 32 bits.
std::int64_t exact_order_score(const ScoringMatrix& score, const std::vector<GenotypeRow>& rows,
                               const std::vector<int>& members);

// n by n scorepair matrix of the members (rows of `rows`), with the plain or
// the fast versions, its rows shared among `threads` threads.
PairScoreMatrix build_group_score_matrix(const ScoringMatrix& score,
                                         const std::vector<GenotypeRow>& rows,
                                         const std::vector<int>& members, Channels& channels,
                                         Kernels kernels, int threads = 1);

// The place where `item` costs least between order[i-1] and order[i]: the
// front (m[order[0]][item]) unless a gap (m[order[i-1]][item] +
// m[order[i]][item]) is strictly cheaper, the back (m[order.back()][item])
// only when strictly cheapest. Returns the index to insert at.
std::size_t cheapest_place(const PairScoreMatrix& m, const MarkerOrder& order, std::size_t item);

// Puts each removed entry back at its cheapest place in the order, one by one
// in the list's order.
void hammer_in(const PairScoreMatrix& m, MarkerOrder& order, const std::vector<int>& members,
               const std::vector<int>& removed, Channels& channels);

// Puts each of the `aside` entries at its cheapest place in `framework`
// alone (as hammer_in would put it there first), so that they are placed by
// the framework and not by one another; entries that choose the same place
// stand there in the list's order. Logs each placement and a summary.
void place_into_framework(const PairScoreMatrix& m, MarkerOrder& framework,
                          const std::vector<int>& members, const std::vector<int>& aside,
                          Channels& channels, const std::string& words = "dominant");

// Puts the set-aside entries of `order` that stand between the same two
// framework entries (or before the first, or after the last) into the order
// of where they lie: between framework neighbours a and b by the share
// d(a,x) / (d(a,x) + d(x,b)), before the first framework entry f by
// decreasing d(x,f), after the last one l by increasing d(l,x), where d is
// the pair score per individual typed at both loci, so that loci typed in
// few individuals are measured like the others. Ties keep their order.
void order_within_places(const PairScoreMatrix& m, const std::vector<GenotypeRow>& rows,
                         const std::vector<int>& members, const std::vector<bool>& is_aside,
                         MarkerOrder& order);

// Like place_into_framework, with each entry's place chosen by the pair
// scores per individual typed at both loci, and a gap's cost less the pair
// score of the framework neighbours it separates, so that a locus typed in
// few individuals is placed by its rate of recombination, not by its count.
void place_per_typed(const PairScoreMatrix& m, const std::vector<GenotypeRow>& rows,
                     MarkerOrder& framework, const std::vector<int>& members,
                     const std::vector<int>& aside, Channels& channels,
                     const std::string& words = "dominant");

struct RefineSettings {
  bool errsweep_on = false;
  float singleton_threshold = 0.05f;
  PopulationType population = PopulationType::F2;  // what ERRSWEEP counts as a conflict
  // Per member, true for a locus set aside from the framework: the other
  // loci are ordered (and swept) first, then these are put in at their
  // cheapest places. Empty, or with fewer than two loci left, the group is
  // refined whole.
  // What the set-aside loci are, in the log's lines about them.
  std::vector<bool> set_aside;
  std::string set_aside_words = "dominant";
  // Set-aside loci that choose the same place are ordered there by where
  // they lie between its two framework neighbours (see order_within_places)
  // instead of standing in the list's order.
  bool order_within_places = false;
  int threads = 1;  // for the score matrix and the singleton scan
  Kernels kernels = Kernels::scalar;  // of the score matrix and LINKSORT
};

// Orders the group in place (members end in map order) and returns its order
// score. `removed` receives the locus numbers ERRSWEEP took out and put back.
std::int32_t refine_group(const ScoringMatrix& score, std::vector<GenotypeRow>& rows,
                          std::vector<int>& members, std::vector<int>& removed,
                          const RefineSettings& settings, OrderRandom& random,
                          Channels& channels, const StageObserver& observer = {});

}  // namespace tarvek
