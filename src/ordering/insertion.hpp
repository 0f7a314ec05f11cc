#pragma once
// LINKSORT's window placement over a column view of the pair scores.

#include <cstdint>

#include "base/kernels.hpp"
#include "ordering/pair_score_matrix.hpp"
#include "ordering/score_view.hpp"

namespace tarvek {

// Cheapest insertion, items taken from the back of the order to its front,
// into an array of the items placed so far; returns the score accumulated
// while inserting. Needs two items. With Kernels::avx2 the gaps are judged
// eight at a time.
std::int32_t place_by_insertion(const ColumnView& columns, MarkerOrder& order, Kernels kernels);

}  // namespace tarvek
