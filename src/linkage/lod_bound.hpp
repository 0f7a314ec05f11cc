#pragma once
// An upper bound on the grouping LOD of a pair of loci from its
// recombination estimate alone, so that the pairs far from linked are ruled
// out before any logarithm is taken, and the bound as a table of the counts
// it rules out.
//
// g(r) = (1−r)·log10(2(1−r)) + r·log10(2r), on a grid of r over [0, 0.5];
// g falls from log10 2 to 0. For an F2 pair with N individuals scored at
// both loci and the estimate r = (Y + Z/2)/N, 2N·g(r) bounds the LOD from
// above: with W = 0 the LOD is the log-likelihood ratio of 2N gametes of
// which a share r recombined, at most that ratio at its own estimate, and
// W > 0 only lowers it (2(q²+r²) ≤ 4q² for r ≤ 0.5). A two-class LOD of R
// recombinant among N informative individuals is at most N·g(R/N), the
// bound of N/2 intercross individuals with R/2 gametes recombined.
//
// The bound is compared with a margin of 1e-3 + 1e-6·N that covers the
// rounding of the computed LOD; lod_bound.cpp says why it is enough.

#include <array>
#include <cstddef>
#include <vector>

#include "genotype/population.hpp"

namespace tarvek {

inline constexpr int kLodBoundGrid = 4096;

// g at r = 0.5·k / kLodBoundGrid, k = 0 .. kLodBoundGrid.
extern const std::array<double, kLodBoundGrid + 1> kLodBoundG;

// True when the computed F2 grouping LOD of a pair with class totals Y, Z
// and N cannot exceed `floor`. The estimate is moved down by one grid cell
// (g falls with r) to cover its rounding, and the margin covers the
// rounding of the LOD sum.
inline bool lod_bounded_below(double y, double z, double n, float floor) {
  const double r = (y + 0.5 * z) / n;
  const double margin = 1e-3 + 1e-6 * n;
  if (r >= 0.5) return margin < static_cast<double>(floor);
  const long cell = static_cast<long>(r * 2.0 * kLodBoundGrid) - 1;
  const double g = kLodBoundG[static_cast<std::size_t>(cell < 0 ? 0 : cell)];
  return 2.0 * n * g + margin < static_cast<double>(floor);
}

// True when the two-class LOD of R recombinant among N informative
// individuals cannot exceed `floor`.
inline bool two_class_lod_bounded_below(int recombinant, int informative, float floor) {
  return lod_bounded_below(0.5 * recombinant, 0.0, 0.5 * informative, floor);
}

// The bound at `threshold` as a table, per number N (0 .. individuals) of
// individuals scored at both loci of a pair: for an F2, the smallest count
// k = 2Y + Z of recombinant gametes from which on the pair cannot be above
// the threshold (k = 0 is never ruled out: it is the r = 0 case); for the
// two-class types, the smallest number R of recombinant individuals (N + 1
// when none is; N = 0 is never looked up).
std::vector<int> exclusion_table(PopulationType type, std::size_t individuals, float threshold);

}  // namespace tarvek
