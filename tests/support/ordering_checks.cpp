#include "support/ordering_checks.hpp"

#include "ordering/linksort.hpp"
#include "ordering/frame_passes.hpp"
#include "ordering/insertion.hpp"
#include "ordering/score_view.hpp"

namespace tarvek::testing {

std::vector<Kernels> fast_kernels() {
  std::vector<Kernels> all = {Kernels::scalar};
  if (fastest_kernels() == Kernels::avx2) all.push_back(Kernels::avx2);
  return all;
}

std::int32_t window_placement(const PairScoreMatrix& m, MarkerOrder& order, Kernels kernels) {
  check_order_indices(m, order);
  if (order.size() < 2) return 0;
  return place_by_insertion(ColumnView(ScoreView<std::int32_t>{m.values.data(), m.n}), order,
                            kernels);
}

void reversal_passes(const PairScoreMatrix& m, MarkerOrder& order, std::int32_t start_score,
                     Channels& channels, Kernels kernels) {
  check_order_indices(m, order);
  const ScoreView<std::int32_t> view{m.values.data(), m.n};
  const bool symmetric = ColumnView(view).symmetric;
  if (fits_16_bits(m)) {
    OrderFrame<std::int16_t> frame;
    reversal_passes_in_frame(view, order, start_score, symmetric, frame, log_of(channels), kernels);
  } else {
    OrderFrame<std::int32_t> frame;
    reversal_passes_in_frame(view, order, start_score, symmetric, frame, log_of(channels), kernels);
  }
}

}  // namespace tarvek::testing
