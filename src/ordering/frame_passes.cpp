#include "ordering/frame_passes.hpp"

#include <type_traits>

#include "ordering/reversal_passes.hpp"

#if TARVEK_HAVE_AVX2_PATHS
#include <immintrin.h>
#endif

namespace tarvek {
namespace {

#if TARVEK_HAVE_AVX2_PATHS

// floor(log2 |d|) in each lane, for 1 <= |d| < 2^24 (exact in single precision).
TARVEK_TARGET_AVX2 __m256i lane_octaves(__m256i d) {
  const __m256i bits = _mm256_castps_si256(_mm256_cvtepi32_ps(_mm256_abs_epi32(d)));
  return _mm256_sub_epi32(_mm256_srli_epi32(bits, 23), _mm256_set1_epi32(127));
}

// Eight 16-bit entries from `p` as 32-bit lanes.
TARVEK_TARGET_AVX2 __m256i load_16(const std::int16_t* p) {
  return _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// The least of the eight lanes.
TARVEK_TARGET_AVX2 std::int32_t least_lane(__m256i v) {
  __m128i m = _mm_min_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
  m = _mm_min_epi32(m, _mm_shuffle_epi32(m, 0x4e));
  m = _mm_min_epi32(m, _mm_shuffle_epi32(m, 0xb1));
  return _mm_cvtsi128_si32(m);
}

// first_improving_scalar over a 16-bit frame, eight candidates at a time.
// The change of the reversal at l is m[o[l-1]][o[l+k-1]] + m[o[l]][o[l+k]]
// - nb[l-1] - nb[l+k-1]; each span is at least the larger of the bounds of
// its row and of its column at its distance, and at any smaller distance
// (entries of 16 bits summed in 32 bits cannot wrap, so the bound holds for
// the sum as computed). First the nine spans of the block are bounded at the
// octave of the shortest of them, from the position tables in sequence;
// where that leaves a candidate open, the spans are bounded at their own
// octaves from the item tables; only candidates still open are judged
// exactly, in order, from the frame.
TARVEK_TARGET_AVX2 std::size_t first_improving_bounded_avx2(
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
  return first_improving_scalar(f, o, nb, k, l, last);
}

#endif

template <class T>
void passes_in_frame(const ScoreView<std::int32_t>& m, MarkerOrder& order,
                     std::int32_t start_score, bool symmetric, OrderFrame<T>& state,
                     std::ostream& log, Kernels kernels) {
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
          [&](const std::int32_t* o, const std::int32_t* nb, std::size_t k, std::size_t first,
              std::size_t last) {
            return first_improving_bounded_avx2(frame, state.bounds, by_position, o, nb, k, first,
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

}  // namespace

void reversal_passes_in_frame(const ScoreView<std::int32_t>& m, MarkerOrder& order,
                              std::int32_t start_score, bool symmetric,
                              OrderFrame<std::int16_t>& state, std::ostream& log, Kernels kernels) {
  passes_in_frame(m, order, start_score, symmetric, state, log, kernels);
}

void reversal_passes_in_frame(const ScoreView<std::int32_t>& m, MarkerOrder& order,
                              std::int32_t start_score, bool symmetric,
                              OrderFrame<std::int32_t>& state, std::ostream& log, Kernels kernels) {
  passes_in_frame(m, order, start_score, symmetric, state, log, kernels);
}

}  // namespace tarvek
