#include <algorithm>
#include <iostream>

#include "ordering/linksort.hpp"
#include "ordering/search_kernels.hpp"
#include "run/report.hpp"

namespace tarvek {

void write_pass_start(int pass) { log_stream() << "pass " << pass; }

void write_pass_end(int reversals, std::int32_t score) {
  log_stream() << ", " << reversals << " reverses made, score is " << score << std::endl;
}

void reverse(MarkerOrder& order, std::int32_t start, std::int32_t end) {
  const auto n = static_cast<long long>(order.size());
  if (!(start < end && start >= 0 && end >= 0 && start < n && end < n)) {
    log_stream() << "Bad indicies (" << start << "," << end << ") in reverse function!\n";
    std::cerr << "Bad indicies (" << start << "," << end << ") in reverse function!\n";
    return;
  }
  std::reverse(order.begin() + start, order.begin() + end + 1);
}

void reversal_passes(const PairScoreMatrix& m, MarkerOrder& order, std::int32_t start_score) {
  check_order_indices(m, order);
  reversal_passes_over(ScoreView<std::int32_t>{m.values.data(), m.n}, order, start_score);
}

}  // namespace tarvek
