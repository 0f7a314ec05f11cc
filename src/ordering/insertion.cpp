#include "ordering/insertion.hpp"

#include <algorithm>
#include <vector>

#if TARVEK_HAVE_AVX2_PATHS
#include <immintrin.h>
#endif

namespace tarvek {
namespace {

// The cheapest gap among `count` (at least two) placed items for an item
// whose column is `column` (column[x] = m[x][item]): the gap before
// placed[i], i = 1 .. count-1, costs column[placed[i-1]] + column[placed[i]]
// - link[i-1], where link[i] = m[placed[i]][placed[i+1]]. Sums wrap in 32
// bits; the least cost and the first gap that has it are returned.
struct Gap {
  std::int32_t cost = 0;
  std::size_t at = 0;
};

Gap cheapest_gap_scalar(const std::int32_t* column, const std::int32_t* placed,
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

// cheapest_gap_scalar eight gaps at a time. The column entry of each placed
// item is looked up once: it is the second term of one gap and the first of
// the next. Each lane keeps its least cost and the first gap that had it;
// the lanes are then merged, the earliest gap winning among equal costs.
TARVEK_TARGET_AVX2 Gap cheapest_gap_avx2(const std::int32_t* column, const std::int32_t* placed,
                                         const std::int32_t* link, std::size_t count) {
  if (count - 1 < 8) return cheapest_gap_scalar(column, placed, link, count);
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
// as cheapest_gap_scalar is).
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

}  // namespace

std::int32_t place_by_insertion(const ColumnView& columns, MarkerOrder& order, Kernels kernels) {
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
  return place_by_insertion_with(columns, order, cheapest_gap_scalar);
}

}  // namespace tarvek
