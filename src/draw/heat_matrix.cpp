#include "draw/heat_matrix.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "base/parallel.hpp"
#include "draw/pair_statistic.hpp"
#include "linkage/population_lod.hpp"
#include "genotype/code_planes.hpp"
#include "linkage/pair_lod.hpp"

namespace tarvek::draw {
namespace {

// The cells, the representatives of each (as marker indices, in order) and
// the cell each representative stands for.
struct Sampling {
  std::vector<std::size_t> markers;
  std::vector<std::size_t> cell;
};

HeatSummary empty_summary(std::size_t markers, std::size_t pixels, std::size_t budget) {
  if (pixels == 0) throw std::invalid_argument("a heat map needs at least one pixel");
  HeatSummary s;
  s.markers = markers;
  s.cells = std::min(markers, pixels);
  s.samples = s.cells == 0 ? 1 : std::max<std::size_t>(1, budget / s.cells);
  const std::size_t entries = s.cells * (s.cells + 1) / 2;
  s.r_sum.assign(entries, 0.0f);
  s.lod_sum.assign(entries, 0.0f);
  s.pairs.assign(entries, 0);
  s.unrecombined.assign(entries, 0);
  return s;
}

Sampling sample(const HeatSummary& s) {
  Sampling out;
  for (std::size_t c = 0; c < s.cells; ++c) {
    const std::size_t first = s.cell_start(c);
    const std::size_t size = s.cell_start(c + 1) - first;
    const std::size_t k = std::min(size, s.samples);
    for (std::size_t t = 0; t < k; ++t) {
      out.markers.push_back(first + (2 * t + 1) * size / (2 * k));
      out.cell.push_back(c);
    }
  }
  return out;
}

void add(HeatSummary& s, std::size_t c, std::size_t d, const PairLod& p) {
  const std::size_t at = s.index(c, d);
  s.pairs[at] += 1;
  s.r_sum[at] += p.r;
  if (p.r == 0.0f) {
    s.unrecombined[at] += 1;
  } else {
    s.lod_sum[at] += p.lod;
    s.largest_lod = std::max(s.largest_lod, p.lod);
  }
  s.pairs_computed += 1;
}

void check_rows(const std::vector<const GenotypeRow*>& rows) {
  for (const GenotypeRow* row : rows)
    if (row == nullptr || row->size() != rows.front()->size())
      throw std::invalid_argument("heat map rows of different lengths");
}

}  // namespace

std::size_t HeatSummary::index(std::size_t c, std::size_t d) const {
  if (c > d) std::swap(c, d);
  if (d >= cells) throw std::out_of_range("heat map cell");
  return c * (2 * cells - c + 1) / 2 + (d - c);
}

std::size_t HeatSummary::cell_start(std::size_t c) const { return cells == 0 ? 0 : c * markers / cells; }

std::size_t HeatSummary::cell_of_pixel(std::size_t p, std::size_t pixels) const {
  return std::min(cells - 1, p * cells / pixels);
}

double HeatSummary::mean_r(std::size_t c, std::size_t d) const {
  const std::size_t at = index(c, d);
  if (pairs[at] == 0) return std::numeric_limits<double>::quiet_NaN();
  return static_cast<double>(r_sum[at]) / pairs[at];
}

double HeatSummary::mean_lod(std::size_t c, std::size_t d, double top) const {
  const std::size_t at = index(c, d);
  if (pairs[at] == 0) return std::numeric_limits<double>::quiet_NaN();
  return (static_cast<double>(lod_sum[at]) + unrecombined[at] * top) / pairs[at];
}

HeatSummary summarise_pairs(const std::vector<const GenotypeRow*>& rows, std::size_t pixels,
                            PopulationType population, std::size_t budget, int threads) {
  check_rows(rows);
  HeatSummary s = empty_summary(rows.size(), pixels, budget);
  const Sampling reps = sample(s);
  // Planes of the representatives only: small enough to stay in cache.
  CodePlanes planes = make_code_planes(reps.markers.size(), rows.empty() ? 0 : rows.front()->size());
  std::vector<MarkerClasses> classes(reps.markers.size());
  for (std::size_t k = 0; k < reps.markers.size(); ++k) {
    set_item_codes(planes, k, *rows[reps.markers[k]]);
    if (two_class(population)) classes[k] = marker_classes(population, *rows[reps.markers[k]]);
  }
  // The representatives' rows are taken a slab at a time: the statistics of
  // a slab's pairs are computed row by row on the threads into a buffer of
  // the slab's own, then added in pair order, as one thread would add them.
  const std::size_t count = reps.markers.size();
  constexpr std::size_t kSlab = 64;
  std::vector<PairLod> stats;
  std::vector<std::size_t> offset;
  for (std::size_t first = 0; first < count; first += kSlab) {
    const std::size_t last = std::min(count, first + kSlab);
    offset.assign(1, 0);
    for (std::size_t a = first; a < last; ++a) offset.push_back(offset.back() + (count - a - 1));
    stats.resize(offset.back());
    for_each_block(threads_for_work(threads, offset.back(), 1u << 14), Blocks{last - first, 1},
                   [&](std::size_t, std::size_t begin, std::size_t end) {
                     for (std::size_t row = begin; row < end; ++row) {
                       const std::size_t a = first + row;
                       PairLod* out = stats.data() + offset.at(row);
                       for (std::size_t b = a + 1; b < count; ++b)
                         out[b - a - 1] = pair_statistic(population, pair_counts(planes, a, b),
                                                         classes[a], classes[b]);
                     }
                   });
    for (std::size_t a = first; a < last; ++a)
      for (std::size_t b = a + 1; b < count; ++b)
        add(s, reps.cell[a], reps.cell[b], stats.at(offset[a - first] + (b - a - 1)));
  }
  return s;
}

HeatSummary summarise_pairs_plainly(const std::vector<const GenotypeRow*>& rows, std::size_t pixels,
                                    PopulationType population, std::size_t budget) {
  check_rows(rows);
  HeatSummary s = empty_summary(rows.size(), pixels, budget);
  std::vector<GenotypeRow> copies;
  for (const GenotypeRow* row : rows) copies.push_back(*row);
  const Sampling reps = sample(s);
  std::vector<std::vector<std::size_t>> of_cell(s.cells);
  for (std::size_t a = 0; a < reps.markers.size(); ++a) of_cell[reps.cell[a]].push_back(reps.markers[a]);
  for (std::size_t c = 0; c < s.cells; ++c) {
    for (std::size_t d = c; d < s.cells; ++d) {
      for (std::size_t a = 0; a < of_cell[c].size(); ++a) {
        for (std::size_t b = c == d ? a + 1 : 0; b < of_cell[d].size(); ++b)
          add(s, c, d, grouping_pair_lod(population, copies, of_cell[c][a], of_cell[d][b]));
      }
    }
  }
  return s;
}

}  // namespace tarvek::draw
