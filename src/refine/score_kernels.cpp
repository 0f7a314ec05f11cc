#include "refine/score_kernels.hpp"

#include <algorithm>
#include <array>
#include <bit>

#include "base/cpu_features.hpp"

#if TARVEK_HAVE_AVX2_PATHS
#include <immintrin.h>
#endif

namespace tarvek {

std::uint32_t plan_score_plain(const CellPlan& plan, const std::uint64_t* a,
                               const std::uint64_t* b, std::size_t words) {
  constexpr std::size_t kChunk = 16;  // words gathered at a time
  std::uint32_t sum = 0;
  for (const auto& v : plan.values) {
    std::uint32_t count = 0;
    for (std::size_t w0 = 0; w0 < words; w0 += kChunk) {
      const std::size_t width = std::min(kChunk, words - w0);
      std::array<std::uint64_t, kChunk> hits{};
      for (const auto& [u, c] : v.planes) {
        const std::uint64_t* pa = a + u * words + w0;
        const std::uint64_t* pb = b + c * words + w0;
        for (std::size_t w = 0; w < width; ++w) hits[w] |= pa[w] & pb[w];
      }
      for (std::size_t w = 0; w < width; ++w)
        count += static_cast<std::uint32_t>(std::popcount(hits[w]));
    }
    sum += v.value * count;
  }
  return sum;
}

#if TARVEK_HAVE_AVX2_PATHS

namespace {

// Bits set in each 64-bit lane, by nibble lookup and byte sums.
TARVEK_TARGET_AVX2 inline __m256i lane_popcounts(__m256i x) {
  const __m256i table = _mm256_setr_epi8(0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4,  //
                                         0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4);
  const __m256i low = _mm256_set1_epi8(0x0f);
  const __m256i lo = _mm256_and_si256(x, low);
  const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(x, 4), low);
  const __m256i bytes =
      _mm256_add_epi8(_mm256_shuffle_epi8(table, lo), _mm256_shuffle_epi8(table, hi));
  return _mm256_sad_epu8(bytes, _mm256_setzero_si256());
}

}  // namespace

TARVEK_TARGET_AVX2 std::uint32_t plan_score_avx2(const CellPlan& plan, const std::uint64_t* a,
                                                 const std::uint64_t* b, std::size_t words) {
  std::uint32_t sum = 0;
  const std::size_t wide = words - words % 4;
  for (const auto& v : plan.values) {
    const auto* cells = v.planes.data();
    const std::size_t count_cells = v.planes.size();
    __m256i lanes = _mm256_setzero_si256();
    for (std::size_t w = 0; w < wide; w += 4) {
      __m256i hits = _mm256_setzero_si256();
      for (std::size_t k = 0; k < count_cells; ++k) {
        const auto* pa = reinterpret_cast<const __m256i*>(a + cells[k].first * words + w);
        const auto* pb = reinterpret_cast<const __m256i*>(b + cells[k].second * words + w);
        hits = _mm256_or_si256(hits,
                               _mm256_and_si256(_mm256_loadu_si256(pa), _mm256_loadu_si256(pb)));
      }
      lanes = _mm256_add_epi64(lanes, lane_popcounts(hits));
    }
    std::uint64_t count = static_cast<std::uint64_t>(_mm256_extract_epi64(lanes, 0)) +
                          static_cast<std::uint64_t>(_mm256_extract_epi64(lanes, 1)) +
                          static_cast<std::uint64_t>(_mm256_extract_epi64(lanes, 2)) +
                          static_cast<std::uint64_t>(_mm256_extract_epi64(lanes, 3));
    for (std::size_t w = wide; w < words; ++w) {
      std::uint64_t hits = 0;
      for (std::size_t k = 0; k < count_cells; ++k)
        hits |= a[cells[k].first * words + w] & b[cells[k].second * words + w];
      count += static_cast<std::uint64_t>(__builtin_popcountll(hits));
    }
    sum += v.value * static_cast<std::uint32_t>(count);
  }
  return sum;
}

#else

std::uint32_t plan_score_avx2(const CellPlan& plan, const std::uint64_t* a,
                              const std::uint64_t* b, std::size_t words) {
  return plan_score_plain(plan, a, b, words);
}

#endif

PlanScore plan_score_for(std::size_t words) {
  return words >= 4 && cpu_has_avx2() ? plan_score_avx2 : plan_score_plain;
}

}  // namespace tarvek
