#include "refine/score_kernels.hpp"

#include <algorithm>
#include <array>
#include <bit>

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

}  // namespace tarvek
