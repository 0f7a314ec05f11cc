#pragma once
// The fast window placement and reversal passes over a whole pair score
// matrix, for tests: the program runs them only inside LINKSORT's runs.

#include <cstdint>
#include <vector>

#include "base/channels.hpp"
#include "base/kernels.hpp"
#include "ordering/pair_score_matrix.hpp"

namespace tarvek::testing {

// The fast versions this processor runs: scalar, then avx2 where it has it.
std::vector<Kernels> fast_kernels();

// Cheapest insertion from the back of the order, as LINKSORT places;
// returns the placement score. Needs two items.
std::int32_t window_placement(const PairScoreMatrix& m, MarkerOrder& order,
                              Kernels kernels = fastest_kernels());

// Reversal passes from `start_score` in the order's frame (16-bit when the
// matrix fits), each pass logged, as LINKSORT runs them.
void reversal_passes(const PairScoreMatrix& m, MarkerOrder& order, std::int32_t start_score,
                     Channels& channels, Kernels kernels = fastest_kernels());

}  // namespace tarvek::testing
