#pragma once
// LINKSORT: orders items so that the summed pair scores of neighbours is low.
// Random start, cheapest-insertion rebuild, segment reversals, in runs while
// a run lowers the score.

#include <vector>

#include "ordering/pair_score_matrix.hpp"

namespace tarvek {

// Sum of m[o[i]][o[i+1]]; 0 for fewer than two items.
std::int32_t order_score(const PairScoreMatrix& m, const MarkerOrder& order);

// Removes and returns one entry of `remaining`, chosen by one draw.
std::int32_t pick_random(std::vector<std::int32_t>& remaining);

// Replaces the order by a random permutation of its own entries (n draws).
void random_order(MarkerOrder& order);

// Rebuilds the order by cheapest insertion, inserting from its back to its
// front; returns the score accumulated while inserting. Needs two items.
std::int32_t window_placement(const PairScoreMatrix& m, MarkerOrder& order);

// Reversal passes from `start_score`, while a pass lowers the running score.
void reversal_passes(const PairScoreMatrix& m, MarkerOrder& order, std::int32_t start_score);

// Reverses positions start..end inclusive; reports invalid positions on the
// log and standard error and leaves the order as it is.
void reverse(MarkerOrder& order, std::int32_t start, std::int32_t end);

// Orders `order` in place against `m`. Writes its log and console lines.
void linksort(const PairScoreMatrix& m, MarkerOrder& order);

// Throws std::out_of_range unless every entry of the order indexes `m`.
void check_order_indices(const PairScoreMatrix& m, const MarkerOrder& order);

}  // namespace tarvek
