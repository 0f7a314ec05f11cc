#pragma once
// The matrix of pair statistics behind a heat map, summarised to the
// pixels that show it.
//
// n markers in map order are drawn on a square of `pixels` pixels a side.
// The markers are cut into cells = min(n, pixels) consecutive blocks of
// nearly equal size (cell c holds markers ⌊c·n/cells⌋ up to the next
// cell's first), so a cell is one marker when the markers fit and a block
// of about n/pixels markers when they do not. Computing every pair of a
// large map (1.25·10⁹ pairs at 50,000 markers) would take minutes, so each
// cell is represented by k markers spread evenly over its block (marker
// first + ⌊(2t+1)·size/(2k)⌋ for t = 0..k−1), with
//   k = min(block size, max(1, ⌊kSampleBudget / cells⌋)),
// and only the pairs of these representatives are computed: about
// (cells·k)²/2 ≤ max(kSampleBudget, cells)²/2 pairs, whatever n is. The
// value of a pair of cells is the mean r and the mean LOD over the pairs of
// distinct representatives, one from each (for a cell with itself: the
// pairs of its distinct representatives). A pair with r = 0, whose LOD is
// printed 9999, counts at the top of the LOD scale. A cell of one marker
// has no pair with itself; the diagonal shows it at the top of both
// scales. Since neighbouring markers of a dense map carry nearly the same
// genotypes, the representatives of a block stand for the block well; a
// misplaced block of markers shows at any size, a single misplaced marker
// among many per pixel may not.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "genotype/genotype_table.hpp"
#include "interop/population.hpp"

namespace tarvek::draw {

// Representatives along each axis, together, that the summary aims at.
inline constexpr std::size_t kSampleBudget = 4096;

struct HeatSummary {
  std::size_t markers = 0;
  std::size_t cells = 0;
  std::size_t samples = 1;        // k: representatives per cell, at most
  std::size_t pairs_computed = 0;
  float largest_lod = 0.0f;       // largest LOD below 9999 of a computed pair (0 when none)

  // Per pair of cells c ≤ d, row by row: sums over the computed pairs.
  std::vector<float> r_sum;
  std::vector<float> lod_sum;     // of the LODs below 9999
  std::vector<std::uint32_t> pairs;
  std::vector<std::uint32_t> unrecombined;  // pairs with r = 0 (LOD 9999)

  std::size_t index(std::size_t c, std::size_t d) const;  // either order
  // First marker of cell c (c = cells gives n).
  std::size_t cell_start(std::size_t c) const;
  // Cell of the pixel `p` of a side of `pixels` pixels.
  std::size_t cell_of_pixel(std::size_t p, std::size_t pixels) const;
  // Mean r of cells c and d; NaN when no pair was computed (a cell of one
  // marker with itself).
  double mean_r(std::size_t c, std::size_t d) const;
  // Mean LOD, a pair with r = 0 counted as `top`; NaN as for mean_r.
  double mean_lod(std::size_t c, std::size_t d, double top) const;
};

// Summarises the pairs of `rows` (one genotype row per marker, in map order,
// all of the same length) for a square of `pixels` pixels a side; every
// pair statistic through pair_statistic(population, ...). The statistics
// are computed on up to `threads` threads and added up in one fixed order, so
// the summary is the same for any number of threads.
HeatSummary summarise_pairs(const std::vector<const GenotypeRow*>& rows, std::size_t pixels,
                            PopulationType population, std::size_t budget = kSampleBudget,
                            int threads = 1);

// The same, one pair at a time with the grouping estimator of the type on
// the rows (grouping_pair_lod): the plain version of summarise_pairs, which
// the reference build draws with.
HeatSummary summarise_pairs_plainly(const std::vector<const GenotypeRow*>& rows, std::size_t pixels,
                                    PopulationType population, std::size_t budget = kSampleBudget);

}  // namespace tarvek::draw
