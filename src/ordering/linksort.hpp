#pragma once
// LINKSORT: orders items so that the summed pair scores of neighbours is low.
// Random start, cheapest-insertion rebuild, segment reversals, in runs while
// a run lowers the score.

#include <vector>

#include "base/channels.hpp"
#include "base/kernels.hpp"
#include "ordering/order_random.hpp"
#include "ordering/pair_score_matrix.hpp"

namespace tarvek {

// Sum of m[o[i]][o[i+1]]; 0 for fewer than two items.
std::int32_t order_score(const PairScoreMatrix& m, const MarkerOrder& order);

// Removes and returns one entry of `remaining`, chosen by one draw.
std::int32_t pick_random(std::vector<std::int32_t>& remaining, OrderRandom& random);

// Replaces the order by a random permutation of its own entries (n draws).
void random_order(MarkerOrder& order, OrderRandom& random);

// Orders `order` in place against `m` with the plain or the fast versions of
// window placement and the reversal passes. Writes its log and console lines.
void linksort(const PairScoreMatrix& m, MarkerOrder& order, OrderRandom& random,
              Channels& channels, Kernels kernels);

// Throws std::out_of_range unless every entry of the order indexes `m`.
void check_order_indices(const PairScoreMatrix& m, const MarkerOrder& order);

// The plain versions of window placement and the reversal passes, written
// from their definitions over std::list and direct matrix reads. The fast
// versions are checked against them, and the reference build orders with
// them.
//
// Window placement rebuilds the order by cheapest insertion, inserting from
// its back to its front, and returns the score accumulated while inserting
// (it needs two items). The reversal passes run from `start_score` while a
// pass lowers the running score, each pass logged; the first pass runs
// whenever the start score is not negative, 2147483647 included.
std::int32_t plain_window_placement(const PairScoreMatrix& m, MarkerOrder& order);
void plain_reversal_passes(const PairScoreMatrix& m, MarkerOrder& order, std::int32_t start_score,
                           Channels& channels);

}  // namespace tarvek
