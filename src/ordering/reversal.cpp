#include <iostream>

#include "ordering/linksort.hpp"
#include "run/report.hpp"

namespace tarvek {
namespace {

inline std::int32_t at(const PairScoreMatrix& m, std::int32_t a, std::int32_t b) {
  return m.values[static_cast<std::size_t>(a) * m.n + static_cast<std::size_t>(b)];
}

// Applies the reversal when it lowers the running score.
inline bool try_reversal(MarkerOrder& o, std::int32_t d, std::size_t start, std::size_t end,
                         std::int32_t& c) {
  if (d >= 0) return false;
  reverse(o, static_cast<std::int32_t>(start), static_cast<std::int32_t>(end));
  c = wrap_add(c, d);
  return true;
}

}  // namespace

void reverse(MarkerOrder& order, std::int32_t start, std::int32_t end) {
  const auto n = static_cast<long long>(order.size());
  if (!(start < end && start >= 0 && end >= 0 && start < n && end < n)) {
    log_stream() << "Bad indicies (" << start << "," << end << ") in reverse function!\n";
    std::cerr << "Bad indicies (" << start << "," << end << ") in reverse function!\n";
    return;
  }
  const auto first = order.begin() + start;
  const MarkerOrder segment(first, order.begin() + end + 1);
  std::copy(segment.rbegin(), segment.rend(), first);
}

void reversal_passes(const PairScoreMatrix& m, MarkerOrder& o, std::int32_t start_score) {
  check_order_indices(m, o);
  const std::size_t n = o.size();
  std::int32_t c = start_score;
  std::int32_t prev = wrap_add(c, 1);
  int pass = 0;
  while (c < prev && c >= 0) {
    prev = c;
    ++pass;
    int reversals = 0;
    log_stream() << "pass " << pass;
    for (std::size_t k = 2; k + 2 <= n; ++k) {
      // Prefix 0..k-1.
      {
        const std::int32_t d = wrap_sub(at(m, o[0], o[k]), at(m, o[k - 1], o[k]));
        if (try_reversal(o, d, 0, k - 1, c)) ++reversals;
      }
      // Inner segments l..l+k-1, l = 1 .. n-k-2.
      for (std::size_t l = 1; l + k + 2 <= n; ++l) {
        const std::int32_t d =
            wrap_sub(wrap_sub(wrap_add(at(m, o[l - 1], o[l + k - 1]), at(m, o[l], o[l + k])),
                              at(m, o[l - 1], o[l])),
                     at(m, o[l + k - 1], o[l + k]));
        if (try_reversal(o, d, l, l + k - 1, c)) ++reversals;
      }
      // Suffix n-k..n-1.
      {
        const std::int32_t d = wrap_sub(at(m, o[n - k - 1], o[n - 1]), at(m, o[n - k - 1], o[n - k]));
        if (try_reversal(o, d, n - k, n - 1, c)) ++reversals;
      }
    }
    log_stream() << ", " << reversals << " reverses made, score is " << c << std::endl;
  }
}

}  // namespace tarvek
