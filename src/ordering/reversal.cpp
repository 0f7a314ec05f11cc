#include <algorithm>
#include <ostream>

#include "ordering/linksort.hpp"
#include "ordering/search_kernels.hpp"

namespace tarvek {

void reverse(MarkerOrder& order, std::int32_t start, std::int32_t end, Channels& channels) {
  const auto n = static_cast<long long>(order.size());
  if (!(start < end && start >= 0 && end >= 0 && start < n && end < n)) {
    const std::string message = "Bad indicies (" + std::to_string(start) + "," +
                                std::to_string(end) + ") in reverse function!\n";
    log_of(channels) << message;
    errors_of(channels) << message;
    return;
  }
  std::reverse(order.begin() + start, order.begin() + end + 1);
}

void reversal_passes(const PairScoreMatrix& m, MarkerOrder& order, std::int32_t start_score,
                     Channels& channels) {
  check_order_indices(m, order);
  const ScoreView<std::int32_t> view{m.values.data(), m.n};
  const bool symmetric = ColumnView(view).symmetric;
  const bool wide = cpu_has_avx2();
  if (fits_16_bits(m)) {
    OrderFrame<std::int16_t> frame;
    reversal_passes_in_frame(view, order, start_score, symmetric, frame, log_of(channels), wide);
  } else {
    OrderFrame<std::int32_t> frame;
    reversal_passes_in_frame(view, order, start_score, symmetric, frame, log_of(channels), wide);
  }
}

}  // namespace tarvek
