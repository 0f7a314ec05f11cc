#include "refine/plane_counts.hpp"

#include <bit>

#include "base/kernels.hpp"

#if TARVEK_HAVE_AVX2_PATHS
#include <immintrin.h>
#endif

namespace tarvek {

std::uint32_t packed_score_scalar(const PackedPlan& plan, const std::uint64_t* a,
                                 const std::uint64_t* b, std::size_t words) {
  std::uint32_t sum = 0;
  const std::uint32_t* offset = plan.offsets.data();
  for (const auto& v : plan.values) {
    std::uint32_t count = 0;
    for (std::size_t w = 0; w < words; ++w) {
      std::uint64_t hits = 0;
      for (std::uint32_t k = 0; k < v.cells; ++k) hits |= a[offset[2 * k] + w] & b[offset[2 * k + 1] + w];
      count += static_cast<std::uint32_t>(std::popcount(hits));
    }
    offset += 2 * v.cells;
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

// Words w .. w+3 of a plane; past `words` (the last, partial group) the lanes
// are masked off and read as zero.
TARVEK_TARGET_AVX2 inline __m256i load_words(const std::uint64_t* p, std::size_t w,
                                             std::size_t words, __m256i tail) {
  return w + 4 <= words ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + w))
                        : _mm256_maskload_epi64(reinterpret_cast<const long long*>(p + w), tail);
}

}  // namespace

namespace {

// packed_score_avx2 for planes of at most 4 * Groups words: every group of
// four words in a register, the last one masked by `tail`.
template <int Groups>
TARVEK_TARGET_AVX2 inline std::uint32_t packed_score_groups(const PackedPlan& plan,
                                                            const std::uint64_t* a,
                                                            const std::uint64_t* b,
                                                            __m256i tail) {
  __m256i total = _mm256_setzero_si256();
  const std::uint32_t* offset = plan.offsets.data();
  for (const auto& v : plan.values) {
    __m256i hits[Groups];
    for (int g = 0; g < Groups; ++g) hits[g] = _mm256_setzero_si256();
    for (std::uint32_t k = 0; k < v.cells; ++k, offset += 2) {
      const std::uint64_t* pa = a + offset[0];
      const std::uint64_t* pb = b + offset[1];
      for (int g = 0; g + 1 < Groups; ++g)
        hits[g] = _mm256_or_si256(
            hits[g], _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pa + 4 * g)),
                                      _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pb + 4 * g))));
      const auto* la = reinterpret_cast<const long long*>(pa + 4 * (Groups - 1));
      const auto* lb = reinterpret_cast<const long long*>(pb + 4 * (Groups - 1));
      hits[Groups - 1] = _mm256_or_si256(
          hits[Groups - 1],
          _mm256_and_si256(_mm256_maskload_epi64(la, tail), _mm256_maskload_epi64(lb, tail)));
    }
    __m256i lanes = lane_popcounts(hits[0]);
    for (int g = 1; g < Groups; ++g) lanes = _mm256_add_epi64(lanes, lane_popcounts(hits[g]));
    total = _mm256_add_epi64(total, _mm256_mul_epu32(lanes, _mm256_set1_epi64x(v.value)));
  }
  const __m128i half = _mm_add_epi64(_mm256_castsi256_si128(total), _mm256_extracti128_si256(total, 1));
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(_mm_cvtsi128_si64(half)) +
                                    static_cast<std::uint64_t>(_mm_extract_epi64(half, 1)));
}

}  // namespace

TARVEK_TARGET_AVX2 std::uint32_t packed_score_avx2(const PackedPlan& plan, const std::uint64_t* a,
                                                   const std::uint64_t* b, std::size_t words) {
  const auto in_last = static_cast<long long>(words % 4 == 0 ? 4 : words % 4);
  const __m256i tail =
      _mm256_cmpgt_epi64(_mm256_set1_epi64x(in_last), _mm256_setr_epi64x(0, 1, 2, 3));
  if (words <= 4) return packed_score_groups<1>(plan, a, b, tail);
  if (words <= 8) return packed_score_groups<2>(plan, a, b, tail);
  // Wider planes: the general loop, cell by cell.
  __m256i total = _mm256_setzero_si256();
  const std::uint32_t* offset = plan.offsets.data();
  for (const auto& v : plan.values) {
    __m256i lanes = _mm256_setzero_si256();
    for (std::size_t w = 0; w < words; w += 4) {
      __m256i hits = _mm256_setzero_si256();
      for (std::uint32_t k = 0; k < v.cells; ++k)
        hits = _mm256_or_si256(hits, _mm256_and_si256(load_words(a + offset[2 * k], w, words, tail),
                                                      load_words(b + offset[2 * k + 1], w, words, tail)));
      lanes = _mm256_add_epi64(lanes, lane_popcounts(hits));
    }
    offset += 2 * v.cells;
    total = _mm256_add_epi64(total, _mm256_mul_epu32(lanes, _mm256_set1_epi64x(v.value)));
  }
  const __m128i half = _mm_add_epi64(_mm256_castsi256_si128(total), _mm256_extracti128_si256(total, 1));
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(_mm_cvtsi128_si64(half)) +
                                    static_cast<std::uint64_t>(_mm_extract_epi64(half, 1)));
}

#else

std::uint32_t packed_score_avx2(const PackedPlan& plan, const std::uint64_t* a,
                                const std::uint64_t* b, std::size_t words) {
  return packed_score_scalar(plan, a, b, words);
}

#endif

PackedScore packed_score_for(std::size_t words, Kernels kernels) {
  // Planes of no words (no positions) are never read.
  return words > 0 && kernels == Kernels::avx2 ? packed_score_avx2 : packed_score_scalar;
}

}  // namespace tarvek
