#pragma once
// The inner count of the pair scores over bit-planes, in a scalar version
// and one over 256-bit registers (AVX2) for processors that have it. Both
// give the same sums.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/kernels.hpp"

namespace tarvek {

// The nonzero values of the scoring matrix that can occur between two items,
// each with the pairs of planes (of the first item, of the second) whose
// positions score that value, for the inner loop of the score matrices: per
// value, its cells' offsets (in words, from the first plane of each item) as
// pairs in `offsets`. The cells of one value must be disjoint sets of
// positions (they are: a position has one code per item).
struct PackedPlan {
  struct Value {
    std::uint32_t value = 0;
    std::uint32_t cells = 0;
  };
  std::vector<Value> values;
  std::vector<std::uint32_t> offsets;  // first item's, second item's, per cell in value order
};

// Sum over the plan's values of value × the number of positions whose pair
// of planes is one of the value's cells, in unsigned 32-bit arithmetic. `a`
// and `b` point at the first plane of the two items.
std::uint32_t packed_score_scalar(const PackedPlan& plan, const std::uint64_t* a,
                                 const std::uint64_t* b, std::size_t words);

// The same over 256-bit registers; planes of up to eight words are read in
// one or two registers, the last one masked. Call only with Kernels::avx2
// and words > 0.
std::uint32_t packed_score_avx2(const PackedPlan& plan, const std::uint64_t* a,
                                const std::uint64_t* b, std::size_t words);

using PackedScore = std::uint32_t (*)(const PackedPlan&, const std::uint64_t*,
                                      const std::uint64_t*, std::size_t);
// The version to use for planes of `words` words.
PackedScore packed_score_for(std::size_t words, Kernels kernels);

}  // namespace tarvek
