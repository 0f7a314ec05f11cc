#pragma once
// The reversal passes of LINKSORT over any view of the pair scores that has
// at(a, b): the candidate segments, the screening of runs of candidates and
// the passes themselves.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <vector>

#include "ordering/pair_score_matrix.hpp"
#include "ordering/search_log.hpp"

namespace tarvek {

// The change of the order score when positions l..l+k-1 (an inner segment,
// 1 <= l, l + k < n) are reversed: m[o[l-1]][o[l+k-1]] + m[o[l]][o[l+k]] -
// m[o[l-1]][o[l]] - m[o[l+k-1]][o[l+k]], where nb[i] holds m[o[i]][o[i+1]].
template <class View>
std::int32_t inner_change(const View& m, const std::int32_t* o, const std::int32_t* nb,
                          std::size_t k, std::size_t l) {
  return wrap_sub(wrap_sub(wrap_add(m.at(o[l - 1], o[l + k - 1]), m.at(o[l], o[l + k])), nb[l - 1]),
                  nb[l + k - 1]);
}

// Screens the inner segments of length k that start at first..last, on the
// order as it stands, and returns the first start whose reversal lowers the
// score, or last + 1 when there is none. The order is not changed, so the
// span m[o[l]][o[l+k]] of one candidate is the first term of the next.
template <class View>
std::size_t first_improving_scalar(const View& m, const std::int32_t* o, const std::int32_t* nb,
                                  std::size_t k, std::size_t first, std::size_t last) {
  if (first > last) return last + 1;
  std::int32_t span = m.at(o[first - 1], o[first + k - 1]);
  for (std::size_t l = first; l <= last; ++l) {
    const std::int32_t next_span = m.at(o[l], o[l + k]);
    if (wrap_sub(wrap_sub(wrap_add(span, next_span), nb[l - 1]), nb[l + k - 1]) < 0) return l;
    span = next_span;
  }
  return last + 1;
}

// Passes of segment reversals from `start_score` while a pass lowers the
// running score. nb[i] caches m[o[i]][o[i+1]]; a reversal refreshes it
// around the reversed segment only. The candidates of a pass are judged one
// after the other on the order as it stands, and each that lowers the score
// is applied at once; `screen` (called as first_improving_scalar is) finds
// the next inner segment to apply, so that runs of rejected candidates can
// be judged many at a time without changing which reversals are applied.
// `reversed(start, end)` is told of every reversal applied.
// The passes go on while a pass lowers the running score; the score before
// the first pass counts as one above the start (in 64 bits, so that a start
// of 2147483647 still gets its pass).
struct NoReversalHook {
  void operator()(std::size_t, std::size_t) const {}
};

template <class View, class Screen, class Reversed = NoReversalHook>
void reversal_passes_with(const View& m, MarkerOrder& o, std::int32_t start_score,
                          std::ostream& log, const Screen& screen,
                          const Reversed& reversed = NoReversalHook{}) {
  const std::size_t n = o.size();
  std::vector<std::int32_t> nb(n > 0 ? n - 1 : 0);
  const auto refresh = [&](std::size_t first, std::size_t last) {
    for (std::size_t i = first; i <= last && i + 1 < n; ++i) nb[i] = m.at(o[i], o[i + 1]);
  };
  if (n > 1) refresh(0, n - 2);
  std::int32_t c = start_score;
  int reversals = 0;
  // Applies the reversal of start..end when it lowers the running score.
  const auto apply = [&](std::int32_t d, std::size_t start, std::size_t end) {
    if (d >= 0) return;
    std::reverse(o.begin() + static_cast<std::ptrdiff_t>(start),
                 o.begin() + static_cast<std::ptrdiff_t>(end) + 1);
    reversed(start, end);
    refresh(start == 0 ? 0 : start - 1, end);
    c = wrap_add(c, d);
    ++reversals;
  };

  std::int64_t prev = std::int64_t{c} + 1;
  int pass = 0;
  while (c < prev && c >= 0) {
    prev = c;
    write_pass_start(log, ++pass);
    reversals = 0;
    for (std::size_t k = 2; k + 2 <= n; ++k) {
      // Prefix 0..k-1: d = m[o[0]][o[k]] - m[o[k-1]][o[k]].
      apply(wrap_sub(m.at(o[0], o[k]), nb[k - 1]), 0, k - 1);
      // Inner segments l..l+k-1, l = 1 .. n-k-2.
      const std::size_t last = n - k - 2;
      for (std::size_t l = 1; l <= last;) {
        l = screen(o.data(), nb.data(), k, l, last);
        if (l > last) break;
        apply(inner_change(m, o.data(), nb.data(), k, l), l, l + k - 1);
        ++l;
      }
      // Suffix n-k..n-1: d = m[o[n-k-1]][o[n-1]] - m[o[n-k-1]][o[n-k]].
      apply(wrap_sub(m.at(o[n - k - 1], o[n - 1]), nb[n - k - 1]), n - k, n - 1);
    }
    write_pass_end(log, reversals, c);
  }
}

// The passes over any view, screening one candidate at a time.
template <class View>
void reversal_passes_over(const View& m, MarkerOrder& o, std::int32_t start_score,
                          std::ostream& log) {
  reversal_passes_with(m, o, start_score, log,
                       [&](const std::int32_t* order, const std::int32_t* nb, std::size_t k,
                           std::size_t first, std::size_t last) {
                         return first_improving_scalar(m, order, nb, k, first, last);
                       });
}

}  // namespace tarvek
