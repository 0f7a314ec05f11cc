#pragma once
// The pair scores seen from an order and held by diagonals, for the
// reversal passes, with lower bounds of its entries by distance.

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "ordering/pair_score_matrix.hpp"
#include "ordering/score_view.hpp"

namespace tarvek {

// The matrix seen from the order, held by diagonals. Entry (i, j) of the
// frame is m[order[i]][order[j]] for the order as it stood when the frame was
// built. The reversal passes read entries [o[l]][o[l+k]] of the frame whose
// positions are k apart; the order starts as the identity in this frame and
// stays close to it, so those entries lie near diagonal j - i = k. Held by
// diagonals, the entries of near positions (the ones the passes read most)
// are close together, the entries of one distance can be scanned in sequence
// (see FrameBounds), and a symmetric matrix needs half the room of a square.
// Diagonal d > 0 holds (i, i + d) for i = 0 .. n-1-d; diagonal -d holds
// (j + d, j), stored under j. A symmetric matrix keeps one triangle for both.
// The main diagonal is never read by the passes and is not held.
template <class T>
struct DiagonalFrame {
  std::size_t n = 0;
  std::vector<T> values;
  // offsets[n - 1 + d] + i is the place of (i, i + d).
  std::vector<std::ptrdiff_t> offsets;

  std::int32_t at(std::int32_t i, std::int32_t j) const {
    return static_cast<std::int32_t>(values[place(i, j)]);
  }
  std::size_t place(std::int32_t i, std::int32_t j) const {
    return static_cast<std::size_t>(offsets[n - 1 + static_cast<std::size_t>(j - i)] + i);
  }
};

// Lower bounds of the frame's entries by distance, to rule candidates out
// without reading the frame. For position a and octave c (distances 2^c and
// more), rows[c * n + a] is the least entry (a, b) and columns[c * n + a] the
// least entry (b, a) over the positions b with |b - a| >= 2^c. A symmetric
// frame keeps one table for both.
struct FrameBounds {
  std::size_t n = 0;
  std::vector<std::int32_t> rows;
  std::vector<std::int32_t> columns;  // empty when the frame is symmetric

  const std::int32_t* column_data() const { return columns.empty() ? rows.data() : columns.data(); }
};

// The octave of a distance of at least 1: floor(log2(distance)).
inline std::size_t octave(std::size_t distance) {
  return static_cast<std::size_t>(std::bit_width(distance)) - 1;
}

template <class T>
void build_frame_bounds(const DiagonalFrame<T>& f, bool symmetric, FrameBounds& bounds) {
  const std::size_t n = f.n;
  const std::size_t octaves = n > 1 ? octave(n - 1) + 1 : 0;
  constexpr std::int32_t kNone = std::numeric_limits<std::int32_t>::max();
  bounds.n = n;
  bounds.rows.assign(octaves * n, kNone);
  if (symmetric) {
    bounds.columns.clear();
  } else {
    bounds.columns.assign(octaves * n, kNone);
  }
  // Diagonal d holds (i, i + d) at upper[i] and (i + d, i) at lower[i].
  for (std::size_t d = 1; d < n; ++d) {
    const std::size_t c = octave(d);
    const T* upper = f.values.data() + f.offsets[n - 1 + d];
    const T* lower = f.values.data() + (f.offsets[n - 1 - d] + static_cast<std::ptrdiff_t>(d));
    std::int32_t* row = bounds.rows.data() + c * n;
    const std::size_t count = n - d;
    for (std::size_t i = 0; i < count; ++i) row[i] = std::min(row[i], static_cast<std::int32_t>(upper[i]));
    for (std::size_t i = 0; i < count; ++i)
      row[i + d] = std::min(row[i + d], static_cast<std::int32_t>(lower[i]));
    if (!symmetric) {
      std::int32_t* column = bounds.columns.data() + c * n;
      for (std::size_t i = 0; i < count; ++i)
        column[i + d] = std::min(column[i + d], static_cast<std::int32_t>(upper[i]));
      for (std::size_t i = 0; i < count; ++i)
        column[i] = std::min(column[i], static_cast<std::int32_t>(lower[i]));
    }
  }
  // From "distance in octave c" to "distance of octave c or more".
  for (std::vector<std::int32_t>* table : {&bounds.rows, &bounds.columns})
    for (std::size_t c = octaves; table->size() == octaves * n && c-- > 1;)
      for (std::size_t a = 0; a < n; ++a)
        (*table)[(c - 1) * n + a] = std::min((*table)[(c - 1) * n + a], (*table)[c * n + a]);
}

// The bounds of FrameBounds by order position instead of by item, for each
// octave: rows[c * n + x] is the row bound of the item at position x, and
// columns likewise (the same table when the frame is symmetric). Along a
// stretch of the order the bounds of one octave are then read in sequence.
// Values are the frame's 16-bit entries (an octave without any entry, which
// no span ever looks up, is stored as the largest 16-bit value).
struct PositionBounds {
  std::size_t n = 0;
  std::size_t octaves = 0;
  std::vector<std::int16_t> rows;
  std::vector<std::int16_t> columns;  // empty when symmetric

  const std::int16_t* column_data() const { return columns.empty() ? rows.data() : columns.data(); }

  void build(const FrameBounds& bounds, const MarkerOrder& order) {
    n = order.size();
    octaves = n > 0 ? bounds.rows.size() / n : 0;
    const auto fill = [&](const std::vector<std::int32_t>& by_item, std::vector<std::int16_t>& out) {
      out.resize(octaves * n);
      for (std::size_t c = 0; c < octaves; ++c)
        for (std::size_t x = 0; x < n; ++x) {
          const std::int32_t v = by_item[c * n + static_cast<std::size_t>(order[x])];
          out[c * n + x] = static_cast<std::int16_t>(
              std::min<std::int32_t>(v, std::numeric_limits<std::int16_t>::max()));
        }
    };
    fill(bounds.rows, rows);
    if (bounds.columns.empty()) {
      columns.clear();
    } else {
      fill(bounds.columns, columns);
    }
  }

  // Positions start..end of the order were reversed.
  void reverse(std::size_t start, std::size_t end) {
    for (std::vector<std::int16_t>* table : {&rows, &columns})
      for (std::size_t c = 0; !table->empty() && c < octaves; ++c)
        std::reverse(table->begin() + static_cast<std::ptrdiff_t>(c * n + start),
                     table->begin() + static_cast<std::ptrdiff_t>(c * n + end + 1));
  }
};

// Builds the frame of `order` over m, reusing the frame's storage. Tiles of
// the order's positions keep the scattered reads of m and the writes along
// the diagonals within the cache.
template <class T, class S>
void build_diagonal_frame(const ScoreView<S>& m, const MarkerOrder& order, bool symmetric,
                          DiagonalFrame<T>& frame) {
  const std::size_t n = order.size();
  const std::size_t triangle = n * (n - (n > 0 ? 1 : 0)) / 2;
  const std::size_t size = symmetric ? triangle : 2 * triangle;
  frame.n = n;
  if (frame.values.size() < size) frame.values = huge_page_vector<T>(size);
  frame.offsets.assign(n > 0 ? 2 * n - 1 : 0, 0);
  // Diagonal d > 0 starts after diagonals 1 .. d-1, of n - 1 .. n - d + 1 entries.
  std::ptrdiff_t start = 0;
  const auto lower = static_cast<std::ptrdiff_t>(symmetric ? 0 : triangle);
  for (std::size_t d = 1; d < n; ++d) {
    const auto sd = static_cast<std::ptrdiff_t>(d);
    frame.offsets[n - 1 + d] = start;
    frame.offsets[n - 1 - d] = lower + start - sd;  // (j + d, j) is at lower + start + j
    start += static_cast<std::ptrdiff_t>(n - d);
  }
  constexpr std::size_t kTile = 64;
  T* out = frame.values.data();
  for (std::size_t i0 = 0; i0 < n; i0 += kTile)
    for (std::size_t j0 = symmetric ? i0 : 0; j0 < n; j0 += kTile) {
      const std::size_t i_end = std::min(i0 + kTile, n), j_end = std::min(j0 + kTile, n);
      for (std::size_t i = i0; i < i_end; ++i) {
        const S* row = m.row(order[i]);
        const std::ptrdiff_t* offset = frame.offsets.data() + (n - 1) - i;  // offset[j] for (i, j)
        for (std::size_t j = symmetric ? std::max(j0, i + 1) : j0; j < j_end; ++j) {
          if (j == i) continue;
          out[offset[j] + static_cast<std::ptrdiff_t>(i)] = static_cast<T>(row[order[j]]);
        }
      }
    }
}

// The frame of an order, kept for the runs of one search: built for the
// order of the first call, in which it starts as the identity; later calls
// order the same items and are seen through the positions they had then.
template <class T>
struct OrderFrame {
  DiagonalFrame<T> frame;
  FrameBounds bounds;
  MarkerOrder items;                   // the item at each position of the frame
  std::vector<std::int32_t> position;  // the position of each item, -1 for none
  bool built = false;
  bool bounded = false;  // bounds built for the frame
};

}  // namespace tarvek
