#pragma once
// The inner loops of LINKSORT (cheapest insertion and reversal passes), over
// a read-only view of the pair scores whose entries may be stored narrower
// than 32 bits. Every entry is widened to 32 bits before it is used, so the
// arithmetic is the same whatever the storage.

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <ostream>
#include <type_traits>
#include <vector>

#include "base/kernels.hpp"
#include "ordering/pair_score_matrix.hpp"

#if TARVEK_HAVE_AVX2_PATHS
#include <immintrin.h>
#endif

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
    // Compared tile by tile, so that the column side is read a few cache
    // lines at a time rather than one line per entry.
    constexpr std::size_t kTile = 64;
    const std::size_t n = view.n;
    for (std::size_t a0 = 0; a0 < n && symmetric; a0 += kTile)
      for (std::size_t b0 = a0; b0 < n && symmetric; b0 += kTile)
        for (std::size_t a = a0; a < std::min(a0 + kTile, n); ++a)
          for (std::size_t b = std::max(b0, a + 1); b < std::min(b0 + kTile, n); ++b)
            symmetric = symmetric && view.values[a * n + b] == view.values[b * n + a];
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

// The cheapest gap among `count` (at least two) placed items for an item
// whose column is `column` (column[x] = m[x][item]): the gap before
// placed[i], i = 1 .. count-1, costs column[placed[i-1]] + column[placed[i]]
// - link[i-1], where link[i] = m[placed[i]][placed[i+1]]. Sums wrap in 32
// bits; the least cost and the first gap that has it are returned.
struct Gap {
  std::int32_t cost = 0;
  std::size_t at = 0;
};

inline Gap cheapest_gap_plain(const std::int32_t* column, const std::int32_t* placed,
                              const std::int32_t* link, std::size_t count) {
  std::int32_t before = column[placed[0]];
  Gap best;
  for (std::size_t i = 1; i < count; ++i) {
    const std::int32_t after = column[placed[i]];
    const std::int32_t cost = wrap_sub(wrap_add(before, after), link[i - 1]);
    if (i == 1 || cost < best.cost) best = Gap{cost, i};
    before = after;
  }
  return best;
}

#if TARVEK_HAVE_AVX2_PATHS

// cheapest_gap_plain eight gaps at a time. The column entry of each placed
// item is looked up once: it is the second term of one gap and the first of
// the next. Each lane keeps its least cost and the first gap that had it;
// the lanes are then merged, the earliest gap winning among equal costs.
TARVEK_TARGET_AVX2 inline Gap cheapest_gap_avx2(const std::int32_t* column,
                                                const std::int32_t* placed,
                                                const std::int32_t* link, std::size_t count) {
  if (count - 1 < 8) return cheapest_gap_plain(column, placed, link, count);
  const __m256i up_one = _mm256_setr_epi32(7, 0, 1, 2, 3, 4, 5, 6);
  const __m256i lane_seven = _mm256_set1_epi32(7);
  const __m256i step = _mm256_set1_epi32(8);
  __m256i before = _mm256_set1_epi32(column[placed[0]]);  // column entry of placed[i-1]
  __m256i index = _mm256_setr_epi32(1, 2, 3, 4, 5, 6, 7, 8);
  __m256i best = _mm256_setzero_si256(), at = index;
  std::size_t i = 1;
  for (; i + 7 < count; i += 8, index = _mm256_add_epi32(index, step)) {
    const __m256i after = _mm256_i32gather_epi32(
        column, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(placed + i)), 4);
    const __m256i first = _mm256_blend_epi32(_mm256_permutevar8x32_epi32(after, up_one), before, 0x01);
    before = _mm256_permutevar8x32_epi32(after, lane_seven);
    const __m256i cost = _mm256_sub_epi32(
        _mm256_add_epi32(first, after),
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(link + (i - 1))));
    if (i == 1) {
      best = cost;
      continue;
    }
    const __m256i lower = _mm256_cmpgt_epi32(best, cost);
    best = _mm256_blendv_epi8(best, cost, lower);
    at = _mm256_blendv_epi8(at, index, lower);
  }
  alignas(32) std::int32_t lane_cost[8], lane_at[8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(lane_cost), best);
  _mm256_store_si256(reinterpret_cast<__m256i*>(lane_at), at);
  Gap result{lane_cost[0], static_cast<std::size_t>(lane_at[0])};
  for (int lane = 1; lane < 8; ++lane) {
    const auto lane_index = static_cast<std::size_t>(lane_at[lane]);
    if (lane_cost[lane] < result.cost || (lane_cost[lane] == result.cost && lane_index < result.at))
      result = Gap{lane_cost[lane], lane_index};
  }
  for (; i < count; ++i) {
    const std::int32_t cost =
        wrap_sub(wrap_add(column[placed[i - 1]], column[placed[i]]), link[i - 1]);
    if (cost < result.cost) result = Gap{cost, i};
  }
  return result;
}

#endif

// Cheapest insertion, items taken from the back of the order to its front,
// into an array of the items placed so far; link[i] caches the pair score of
// placed item i and the next one. `cheapest` finds the cheapest gap (called
// as cheapest_gap_plain is). Needs two items.
template <class Cheapest>
std::int32_t place_by_insertion_with(const ColumnView& columns, MarkerOrder& order,
                                     const Cheapest& cheapest) {
  const ScoreView<std::int32_t>& m = columns.rows;
  const std::size_t n = order.size();
  std::vector<std::int32_t> placed(n), link(n);
  placed[0] = order[n - 1];
  placed[1] = order[n - 2];
  link[0] = m.at(placed[0], placed[1]);
  std::int32_t total = link[0];
  std::size_t count = 2;
  for (std::size_t k = n - 2; k-- > 0; ++count) {
    const std::int32_t item = order[k];
    const std::int32_t* column = columns.column(item);  // column[x] = m[x][item]
    const std::int32_t* row = m.row(item);              // row[x] = m[item][x]
    // The front first; a gap only when strictly cheaper; the back only when
    // strictly cheapest of all.
    Gap best{row[placed[0]], 0};
    const Gap gap = cheapest(column, placed.data(), link.data(), count);
    if (gap.cost < best.cost) best = gap;
    const std::int32_t back = column[placed[count - 1]];
    if (back < best.cost) {
      placed[count] = item;
      link[count - 1] = back;
      total = wrap_add(total, back);
      continue;
    }
    const std::size_t at = best.at;
    std::copy_backward(placed.begin() + static_cast<std::ptrdiff_t>(at),
                       placed.begin() + static_cast<std::ptrdiff_t>(count),
                       placed.begin() + static_cast<std::ptrdiff_t>(count + 1));
    std::copy_backward(link.begin() + static_cast<std::ptrdiff_t>(at),
                       link.begin() + static_cast<std::ptrdiff_t>(count - 1),
                       link.begin() + static_cast<std::ptrdiff_t>(count));
    placed[at] = item;
    link[at] = row[placed[at + 1]];
    if (at > 0) link[at - 1] = column[placed[at - 1]];
    total = wrap_add(total, best.cost);
  }
  std::copy(placed.begin(), placed.end(), order.begin());
  return total;
}

// The placement, eight gaps at a time with Kernels::avx2.
inline std::int32_t place_by_insertion(const ColumnView& columns, MarkerOrder& order,
                                       Kernels kernels) {
#if TARVEK_HAVE_AVX2_PATHS
  if (kernels == Kernels::avx2)
    return place_by_insertion_with(columns, order, [](const std::int32_t* column,
                                                      const std::int32_t* placed,
                                                      const std::int32_t* link,
                                                      std::size_t count) {
      return cheapest_gap_avx2(column, placed, link, count);
    });
#endif
  (void)kernels;
  return place_by_insertion_with(columns, order, cheapest_gap_plain);
}

// The change of the order score when positions l..l+k-1 (an inner segment,
// 1 <= l, l + k < n) are reversed: m[o[l-1]][o[l+k-1]] + m[o[l]][o[l+k]] -
// m[o[l-1]][o[l]] - m[o[l+k-1]][o[l+k]], where nb[i] holds m[o[i]][o[i+1]].
template <class View>
std::int32_t inner_change(const View& m, const std::int32_t* o, const std::int32_t* nb,
                          std::size_t k, std::size_t l) {
  return wrap_sub(wrap_sub(wrap_add(m.at(o[l - 1], o[l + k - 1]), m.at(o[l], o[l + k])), nb[l - 1]),
                  nb[l + k - 1]);
}

// Screens the inner segments of length k that start at from..last, on the
// order as it stands, and returns the first start whose reversal lowers the
// score, or last + 1 when there is none. The order is not changed, so the
// span m[o[l]][o[l+k]] of one candidate is the first term of the next.
template <class View>
std::size_t first_improving_plain(const View& m, const std::int32_t* o, const std::int32_t* nb,
                                  std::size_t k, std::size_t from, std::size_t last) {
  if (from > last) return last + 1;
  std::int32_t span = m.at(o[from - 1], o[from + k - 1]);
  for (std::size_t l = from; l <= last; ++l) {
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
// is applied at once; `screen` (called as first_improving_plain is) finds
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
  const auto refresh = [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i <= to && i + 1 < n; ++i) nb[i] = m.at(o[i], o[i + 1]);
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
                           std::size_t from, std::size_t last) {
                         return first_improving_plain(m, order, nb, k, from, last);
                       });
}

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

#if TARVEK_HAVE_AVX2_PATHS

// floor(log2 |d|) in each lane, for 1 <= |d| < 2^24 (exact in single precision).
TARVEK_TARGET_AVX2 inline __m256i lane_octaves(__m256i d) {
  const __m256i bits = _mm256_castps_si256(_mm256_cvtepi32_ps(_mm256_abs_epi32(d)));
  return _mm256_sub_epi32(_mm256_srli_epi32(bits, 23), _mm256_set1_epi32(127));
}

// Eight 16-bit entries from `p` as 32-bit lanes.
TARVEK_TARGET_AVX2 inline __m256i load_16(const std::int16_t* p) {
  return _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// The least of the eight lanes.
TARVEK_TARGET_AVX2 inline std::int32_t least_lane(__m256i v) {
  __m128i m = _mm_min_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
  m = _mm_min_epi32(m, _mm_shuffle_epi32(m, 0x4e));
  m = _mm_min_epi32(m, _mm_shuffle_epi32(m, 0xb1));
  return _mm_cvtsi128_si32(m);
}

// first_improving_plain over a 16-bit frame, eight candidates at a time.
// The change of the reversal at l is m[o[l-1]][o[l+k-1]] + m[o[l]][o[l+k]]
// - nb[l-1] - nb[l+k-1]; each span is at least the larger of the bounds of
// its row and of its column at its distance, and at any smaller distance
// (entries of 16 bits summed in 32 bits cannot wrap, so the bound holds for
// the sum as computed). First the nine spans of the block are bounded at the
// octave of the shortest of them, from the position tables in sequence;
// where that leaves a candidate open, the spans are bounded at their own
// octaves from the item tables; only candidates still open are judged
// exactly, in order, from the frame.
TARVEK_TARGET_AVX2 inline std::size_t first_improving_bounded_avx2(
    const DiagonalFrame<std::int16_t>& f, const FrameBounds& bounds,
    const PositionBounds& by_position, const std::int32_t* o, const std::int32_t* nb,
    std::size_t k, std::size_t l, std::size_t last) {
  const std::int32_t* rows = bounds.rows.data();
  const std::int32_t* columns = bounds.column_data();
  const std::int16_t* position_rows = by_position.rows.data();
  const std::int16_t* position_columns = by_position.column_data();
  const std::size_t count = bounds.n;
  const __m256i n = _mm256_set1_epi32(static_cast<std::int32_t>(count));
  for (; l + 7 <= last; l += 8) {
    const __m256i p0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(o + (l - 1)));
    const __m256i p1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(o + l));
    const __m256i q0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(o + (l + k - 1)));
    const __m256i q1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(o + (l + k)));
    const __m256i d0 = _mm256_sub_epi32(q0, p0), d1 = _mm256_sub_epi32(q1, p1);
    const __m256i near = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(nb + (l - 1)));
    const __m256i far = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(nb + (l + k - 1)));
    // All nine spans at the octave of the shortest.
    const auto shortest = static_cast<std::size_t>(
        least_lane(_mm256_min_epi32(_mm256_abs_epi32(d0), _mm256_abs_epi32(d1))));
    const std::size_t c = octave(shortest) * count;
    const __m256i first = _mm256_max_epi32(load_16(position_rows + c + (l - 1)),
                                           load_16(position_columns + c + (l + k - 1)));
    const __m256i second = _mm256_max_epi32(load_16(position_rows + c + l),
                                            load_16(position_columns + c + (l + k)));
    __m256i bound = _mm256_sub_epi32(_mm256_sub_epi32(_mm256_add_epi32(first, second), near), far);
    if (_mm256_movemask_ps(_mm256_castsi256_ps(bound)) == 0) continue;
    // Each span at its own octave.
    const __m256i base0 = _mm256_mullo_epi32(lane_octaves(d0), n);
    const __m256i base1 = _mm256_mullo_epi32(lane_octaves(d1), n);
    const __m256i span0 = _mm256_max_epi32(
        _mm256_i32gather_epi32(rows, _mm256_add_epi32(base0, p0), 4),
        _mm256_i32gather_epi32(columns, _mm256_add_epi32(base0, q0), 4));
    const __m256i span1 = _mm256_max_epi32(
        _mm256_i32gather_epi32(rows, _mm256_add_epi32(base1, p1), 4),
        _mm256_i32gather_epi32(columns, _mm256_add_epi32(base1, q1), 4));
    bound = _mm256_sub_epi32(_mm256_sub_epi32(_mm256_add_epi32(span0, span1), near), far);
    auto open = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(bound)));
    for (; open != 0; open &= open - 1) {
      const std::size_t j = l + static_cast<std::size_t>(__builtin_ctz(open));
      if (inner_change(f, o, nb, k, j) < 0) return j;
    }
  }
  return first_improving_plain(f, o, nb, k, l, last);
}

#endif

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

// Reversal passes in the frame of `state`, built on the first call (or when
// the order holds other items than the frame); the order is mapped into the
// frame's positions and back. With Kernels::avx2, a 16-bit frame is screened
// eight candidates at a time against the bounds of its entries by distance.
template <class T, class S>
void reversal_passes_in_frame(const ScoreView<S>& m, MarkerOrder& order, std::int32_t start_score,
                              bool symmetric, OrderFrame<T>& state, std::ostream& log,
                              Kernels kernels) {
  const bool wide = kernels == Kernels::avx2;
  const std::size_t n = order.size();
  MarkerOrder local(n);
  bool fits = state.built && state.items.size() == n;
  for (std::size_t i = 0; fits && i < n; ++i) {
    const auto item = static_cast<std::size_t>(order[i]);
    local[i] = item < state.position.size() ? state.position[item] : -1;
    fits = local[i] >= 0;
  }
  if (!fits) {
    build_diagonal_frame(m, order, symmetric, state.frame);
    state.items = order;
    state.position.assign(m.n, -1);
    for (std::size_t i = 0; i < n; ++i) {
      state.position[static_cast<std::size_t>(order[i])] = static_cast<std::int32_t>(i);
      local[i] = static_cast<std::int32_t>(i);
    }
    state.built = true;
    state.bounded = false;
  }
  if (std::is_same_v<T, std::int16_t> && wide && !state.bounded) {
    build_frame_bounds(state.frame, symmetric, state.bounds);
    state.bounded = true;
  }
  const DiagonalFrame<T>& frame = state.frame;
#if TARVEK_HAVE_AVX2_PATHS
  if constexpr (std::is_same_v<T, std::int16_t>) {
    if (wide) {
      PositionBounds by_position;
      by_position.build(state.bounds, local);
      reversal_passes_with(
          frame, local, start_score, log,
          [&](const std::int32_t* o, const std::int32_t* nb, std::size_t k, std::size_t from,
              std::size_t last) {
            return first_improving_bounded_avx2(frame, state.bounds, by_position, o, nb, k, from,
                                                last);
          },
          [&](std::size_t start, std::size_t end) { by_position.reverse(start, end); });
    } else {
      reversal_passes_over(frame, local, start_score, log);
    }
  } else {
    reversal_passes_over(frame, local, start_score, log);
  }
#else
  (void)wide;
  reversal_passes_over(frame, local, start_score, log);
#endif
  for (std::size_t i = 0; i < n; ++i) order[i] = state.items[static_cast<std::size_t>(local[i])];
}

}  // namespace tarvek
