#include "linkage/lod_bound.hpp"

#include <cmath>

// Why the margin 1e-3 + 1e-6·N is enough. 2N·g(r) bounds the LOD in real
// arithmetic; a pair may be ruled out only when the LOD as computed
// (pair_lod, two_class_lod) cannot pass the floor either, so the margin must
// cover how far the computed value can lie above the real one. With
// ε = 2^-24 (single precision) and N individuals, the computed value errs by
// at most:
//   - r and q = 1 − r rounded to single precision: the LOD at a rounded r
//     with q exactly 1 − r is the likelihood ratio at some r, no more than at
//     its maximum; q rounded on its own moves the q terms of 2N gametes by
//     2N·(ε/2)/(q·ln 10) ≤ 0.9ε·N (q ≥ 0.5);
//   - the six terms summed in double precision: below 1e-12·N;
//   - the result rounded to single precision: ε·|LOD| ≤ 2·log10 2·ε·N ≈ 0.6ε·N;
//   - with dominant codes only, the class totals, which the estimator splits
//     and adds in single precision (a total T off by at most 5ε·T) while the
//     bound takes them exact. A total off by δ moves the maximum by δ times
//     the log10 of its class's probability ratio: |log10 4q²| ≤ 0.6 for X
//     (≤ 3ε·N); for Y ≤ rN and Z ≤ 2rN the ratio grows as r falls but the
//     total shrinks with it, r·|log10 4r²| ≤ 0.16 (≤ 0.8ε·N each); N and W
//     add 0.6ε·N and 1.5ε·N.
// Together about 8ε·N ≈ 5e-7·N, half of 1e-6·N; on three million random
// tables of up to 800,000 individuals the computed LOD exceeded the bound by
// 1.8ε·N at the most (two-class: 0.5ε·N). Codominant and two-class totals
// are whole numbers below 2^24, exact. The fixed 1e-3 leaves room for small N.
// A wider margin costs only time (pairs within it are computed in full),
// never a wrong grouping; the grid adds room of its own, as the cell below r
// is taken, where g is larger.

namespace tarvek {
namespace {

std::array<double, kLodBoundGrid + 1> bound_grid() {
  std::array<double, kLodBoundGrid + 1> g{};
  for (int k = 0; k <= kLodBoundGrid; ++k) {
    const double r = 0.5 * k / kLodBoundGrid;
    const double q = 1.0 - r;
    g[static_cast<std::size_t>(k)] =
        q * std::log10(2.0 * q) + (r > 0.0 ? r * std::log10(2.0 * r) : 0.0);
  }
  return g;
}

// For every number N of individuals scored at both loci, the smallest count
// k = 2Y + Z of recombinant gametes from which on the bound excludes a LOD
// above `floor`.
std::vector<int> f2_exclusion(std::size_t individuals, float floor) {
  std::vector<int> table(individuals + 1, 0);
  for (std::size_t n = 1; n <= individuals; ++n) {
    const auto excluded = [&](int k) {
      return lod_bounded_below(0.0, static_cast<double>(k), static_cast<double>(n), floor);
    };
    int lo = 1;
    int hi = static_cast<int>(2 * n) + 1;  // none excluded up to 2N: hi stays past it
    while (lo < hi) {  // the bound falls as k grows: find the first excluded k
      const int mid = lo + (hi - lo) / 2;
      if (excluded(mid)) hi = mid; else lo = mid + 1;
    }
    table[n] = lo;
  }
  return table;
}

// For every number N of informative individuals, the smallest number R of
// recombinant ones from which on the bound excludes a two-class LOD above
// `floor`.
std::vector<int> two_class_exclusion(std::size_t individuals, float floor) {
  std::vector<int> table(individuals + 1, 0);
  for (std::size_t n = 1; n <= individuals; ++n) {
    int lo = 0;
    int hi = static_cast<int>(n) + 1;
    while (lo < hi) {  // the bound falls as R grows: find the first excluded R
      const int mid = lo + (hi - lo) / 2;
      if (two_class_lod_bounded_below(mid, static_cast<int>(n), floor)) hi = mid; else lo = mid + 1;
    }
    table[n] = lo;
  }
  return table;
}

}  // namespace

const std::array<double, kLodBoundGrid + 1> kLodBoundG = bound_grid();

std::vector<int> exclusion_table(PopulationType type, std::size_t individuals, float threshold) {
  return two_class(type) ? two_class_exclusion(individuals, threshold)
                         : f2_exclusion(individuals, threshold);
}

}  // namespace tarvek
