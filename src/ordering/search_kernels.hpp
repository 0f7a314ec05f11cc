#pragma once
// The inner loops of LINKSORT (cheapest insertion and reversal passes), over
// a read-only view of the pair scores whose entries may be stored narrower
// than 32 bits. Every entry is widened to 32 bits before it is used, so the
// arithmetic is the same whatever the storage.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <ostream>
#include <vector>

#include "ordering/pair_score_matrix.hpp"

namespace tarvek {

inline void write_pass_start(std::ostream& log, int pass) { log << "pass " << pass; }
inline void write_pass_end(std::ostream& log, int reversals, std::int32_t score) {
  log << ", " << reversals << " reverses made, score is " << score << std::endl;
}

template <class T>
struct ScoreView {
  const T* values = nullptr;
  std::size_t n = 0;
  std::int32_t at(std::int32_t a, std::int32_t b) const {
    return static_cast<std::int32_t>(values[static_cast<std::size_t>(a) * n + static_cast<std::size_t>(b)]);
  }
  const T* row(std::int32_t a) const { return values + static_cast<std::size_t>(a) * n; }
};

// True when every entry of the matrix fits in 16 bits.
bool fits_16_bits(const PairScoreMatrix& m);

// Entry [a][m] for every a as one contiguous row: row m of the matrix when it
// is symmetric, else row m of its transpose.
struct ColumnView {
  ScoreView<std::int32_t> rows;
  std::vector<std::int32_t> transposed;
  bool symmetric = true;

  explicit ColumnView(ScoreView<std::int32_t> view) : rows(view) {
    const std::size_t n = view.n;
    for (std::size_t a = 0; a < n && symmetric; ++a)
      for (std::size_t b = a + 1; b < n; ++b)
        if (view.values[a * n + b] != view.values[b * n + a]) {
          symmetric = false;
          break;
        }
    if (symmetric) return;
    transposed.resize(n * n);
    for (std::size_t a = 0; a < n; ++a)
      for (std::size_t b = 0; b < n; ++b) transposed[b * n + a] = view.values[a * n + b];
  }
  const std::int32_t* column(std::int32_t item) const {
    const std::size_t offset = static_cast<std::size_t>(item) * rows.n;
    return symmetric ? rows.values + offset : transposed.data() + offset;
  }
};

// Cheapest insertion, items taken from the back of the order to its front,
// over a singly linked list held in arrays indexed by item; next_score[x]
// caches the pair score of x and its successor. Needs two items.
inline std::int32_t place_by_insertion(const ColumnView& columns, MarkerOrder& order) {
  const ScoreView<std::int32_t>& m = columns.rows;
  const std::size_t n = order.size();
  constexpr std::int32_t kEnd = -1;
  std::vector<std::int32_t> next(m.n, kEnd);
  std::vector<std::int32_t> next_score(m.n, 0);
  std::int32_t head = order[n - 1];
  std::int32_t tail = order[n - 2];
  next[static_cast<std::size_t>(head)] = tail;
  next_score[static_cast<std::size_t>(head)] = m.at(head, tail);
  std::int32_t total = next_score[static_cast<std::size_t>(head)];

  for (std::size_t k = n - 2; k-- > 0;) {
    const std::int32_t item = order[k];
    const std::int32_t* col = columns.column(item);  // col[x] = m[x][item]
    const std::int32_t* row = m.row(item);           // row[x] = m[item][x]
    std::int32_t best = row[head];
    std::int32_t best_after = kEnd;  // insert after this item; kEnd: at the front
    std::int32_t a = head;
    std::int32_t col_a = col[head];
    for (std::int32_t b = next[static_cast<std::size_t>(a)]; b != kEnd;
         a = b, b = next[static_cast<std::size_t>(b)]) {
      const std::int32_t col_b = col[b];
      const std::int32_t cost =
          wrap_sub(wrap_add(col_a, col_b), next_score[static_cast<std::size_t>(a)]);
      if (cost < best) {
        best = cost;
        best_after = a;
      }
      col_a = col_b;
    }
    const auto slot = static_cast<std::size_t>(item);
    const std::int32_t back = col[tail];
    if (back < best) {
      next[static_cast<std::size_t>(tail)] = item;
      next_score[static_cast<std::size_t>(tail)] = back;
      next[slot] = kEnd;
      tail = item;
      total = wrap_add(total, back);
    } else if (best_after == kEnd) {
      next[slot] = head;
      next_score[slot] = row[head];
      head = item;
      total = wrap_add(total, best);
    } else {
      const auto after = static_cast<std::size_t>(best_after);
      const std::int32_t before = next[after];
      next[slot] = before;
      next_score[slot] = row[before];
      next[after] = item;
      next_score[after] = col[best_after];
      total = wrap_add(total, best);
    }
  }
  std::size_t pos = 0;
  for (std::int32_t x = head; x != kEnd; x = next[static_cast<std::size_t>(x)]) order[pos++] = x;
  return total;
}

// Passes of segment reversals from `start_score` while a pass lowers the
// running score. nb[i] caches m[o[i]][o[i+1]]; a reversal refreshes it
// around the reversed segment only.
// The passes go on while a pass lowers the running score; the score before
// the first pass counts as one above the start (in 64 bits, so that a start
// of 2147483647 still gets its pass).
template <class T>
void reversal_passes_over(const ScoreView<T>& m, MarkerOrder& o, std::int32_t start_score,
                          std::ostream& log) {
  const std::size_t n = o.size();
  std::vector<std::int32_t> nb(n > 0 ? n - 1 : 0);
  const auto refresh = [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i <= to && i + 1 < n; ++i) nb[i] = m.at(o[i], o[i + 1]);
  };
  if (n > 1) refresh(0, n - 2);
  std::int32_t c = start_score;
  int reversals = 0;
  // Applies the reversal of start..end when it lowers the running score.
  const auto apply = [&](std::int32_t d, std::size_t start, std::size_t end) {
    if (d >= 0) return false;
    std::reverse(o.begin() + static_cast<std::ptrdiff_t>(start),
                 o.begin() + static_cast<std::ptrdiff_t>(end) + 1);
    refresh(start == 0 ? 0 : start - 1, end);
    c = wrap_add(c, d);
    ++reversals;
    return true;
  };

  std::int64_t prev = std::int64_t{c} + 1;
  int pass = 0;
  while (c < prev && c >= 0) {
    prev = c;
    write_pass_start(log, ++pass);
    reversals = 0;
    for (std::size_t k = 2; k + 2 <= n; ++k) {
      // Prefix 0..k-1: d = m[o[0]][o[k]] - m[o[k-1]][o[k]].
      std::int32_t span = m.at(o[0], o[k]);  // m[o[l-1]][o[l+k-1]] for the next l
      bool stale = apply(wrap_sub(span, nb[k - 1]), 0, k - 1);
      // Inner segments l..l+k-1, l = 1 .. n-k-2:
      // d = m[o[l-1]][o[l+k-1]] + m[o[l]][o[l+k]] - m[o[l-1]][o[l]] - m[o[l+k-1]][o[l+k]].
      for (std::size_t l = 1; l + k + 2 <= n; ++l) {
        if (stale) span = m.at(o[l - 1], o[l + k - 1]);
        const std::int32_t next_span = m.at(o[l], o[l + k]);
        stale = apply(wrap_sub(wrap_sub(wrap_add(span, next_span), nb[l - 1]), nb[l + k - 1]), l,
                      l + k - 1);
        span = next_span;
      }
      // Suffix n-k..n-1: d = m[o[n-k-1]][o[n-1]] - m[o[n-k-1]][o[n-k]].
      apply(wrap_sub(m.at(o[n - k - 1], o[n - 1]), nb[n - k - 1]), n - k, n - 1);
    }
    write_pass_end(log, reversals, c);
  }
}

// The matrix seen from the order: entry [i][j] = m[order[i]][order[j]]. The
// reversal passes read entries [o[l]][o[l+k]] along the order; in this frame
// the order starts as the identity and stays close to it, so those reads
// walk the matrix with a nearly constant stride instead of at random.
template <class T, class S>
void order_frame(const ScoreView<S>& m, const MarkerOrder& order, std::vector<T>& frame) {
  const std::size_t n = order.size();
  if (frame.size() < n * n) frame = huge_page_vector<T>(n * n);
  for (std::size_t i = 0; i < n; ++i) {
    const S* row = m.row(order[i]);
    T* out = frame.data() + i * n;
    for (std::size_t j = 0; j < n; ++j) out[j] = static_cast<T>(row[order[j]]);
  }
}

// Reversal passes run in the order's own frame (built in `frame`, reused
// between calls); the order is mapped back.
template <class T, class S>
void reversal_passes_in_frame(const ScoreView<S>& m, MarkerOrder& order, std::int32_t start_score,
                              std::vector<T>& frame, std::ostream& log) {
  const std::size_t n = order.size();
  order_frame(m, order, frame);
  MarkerOrder local(n);
  for (std::size_t i = 0; i < n; ++i) local[i] = static_cast<std::int32_t>(i);
  reversal_passes_over(ScoreView<T>{frame.data(), n}, local, start_score, log);
  const MarkerOrder items = order;
  for (std::size_t i = 0; i < n; ++i) order[i] = items[static_cast<std::size_t>(local[i])];
}

}  // namespace tarvek
