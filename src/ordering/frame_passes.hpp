#pragma once
// The reversal passes of LINKSORT in the frame of an order.

#include <cstdint>
#include <ostream>

#include "base/kernels.hpp"
#include "ordering/diagonal_frame.hpp"
#include "ordering/pair_score_matrix.hpp"
#include "ordering/score_view.hpp"

namespace tarvek {

// Reversal passes in the frame of `state`, built on the first call (or when
// the order holds other items than the frame); the order is mapped into the
// frame's positions and back. With Kernels::avx2, a 16-bit frame is screened
// eight candidates at a time against the bounds of its entries by distance.
void reversal_passes_in_frame(const ScoreView<std::int32_t>& m, MarkerOrder& order,
                              std::int32_t start_score, bool symmetric,
                              OrderFrame<std::int16_t>& state, std::ostream& log, Kernels kernels);
void reversal_passes_in_frame(const ScoreView<std::int32_t>& m, MarkerOrder& order,
                              std::int32_t start_score, bool symmetric,
                              OrderFrame<std::int32_t>& state, std::ostream& log, Kernels kernels);

}  // namespace tarvek
