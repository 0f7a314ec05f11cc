#include "ordering/pair_score_matrix.hpp"

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include <cstdint>
#include <limits>

namespace tarvek {
void advise_huge_pages(const void* data, std::size_t bytes) {
#if defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (begin + kHuge - 1) & ~(kHuge - 1);
  const std::uintptr_t last = (begin + bytes) & ~(kHuge - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

PairScoreMatrix make_pair_score_matrix(std::size_t n) {
  return PairScoreMatrix{n, huge_page_vector<std::int32_t>(n * n)};
}

bool fits_16_bits(const PairScoreMatrix& m) {
  for (const std::int32_t v : m.values) {
    if (v < std::numeric_limits<std::int16_t>::min() || v > std::numeric_limits<std::int16_t>::max())
      return false;
  }
  return true;
}

}  // namespace tarvek
