#include "refine/group_scores.hpp"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "base/parallel.hpp"
#include "base/progress.hpp"
#include "refine/score_kernels.hpp"

namespace tarvek {

ScoreKernel make_score_kernel(const ScoringMatrix& score) {
  ScoreKernel kernel;
  for (int u = 0; u < kCodeCount; ++u) {
    for (int v = 0; v < kCodeCount; ++v) {
      const std::int32_t value = score.at(static_cast<std::size_t>(u)).at(static_cast<std::size_t>(v));
      if (value != score.at(static_cast<std::size_t>(v)).at(static_cast<std::size_t>(u)))
        kernel.symmetric = false;
      if (value == 0) continue;
      auto it = kernel.values.begin();
      while (it != kernel.values.end() && it->value != value) ++it;
      if (it == kernel.values.end()) {
        kernel.values.push_back(ScoreKernel::ValueCells{value, {}});
        it = kernel.values.end() - 1;
      }
      it->cells.emplace_back(u, v);
    }
  }
  return kernel;
}

namespace {

// The cells of each nonzero value that can occur between an item whose codes
// are `mask_a` and one whose codes are `mask_b`.
CellPlan make_plan(const ScoreKernel& kernel, unsigned mask_a, unsigned mask_b) {
  CellPlan plan;
  for (const auto& group : kernel.values) {
    CellPlan::Value v;
    v.value = static_cast<std::uint32_t>(group.value);
    for (const auto& [u, w] : group.cells) {
      if ((mask_a >> u & 1u) != 0 && (mask_b >> w & 1u) != 0)
        v.planes.emplace_back(static_cast<std::size_t>(u), static_cast<std::size_t>(w));
    }
    if (!v.planes.empty()) plan.values.push_back(std::move(v));
  }
  return plan;
}

std::int32_t score_with_plan(const CellPlan& plan, const CodePlanes& p, std::size_t a,
                             std::size_t b, PlanScore count) {
  return static_cast<std::int32_t>(count(plan, plane(p, a, 0), plane(p, b, 0), p.words));
}

// Plans for every pair of the code masks that occur among the items.
struct PlanTable {
  std::vector<std::uint8_t> mask_id;  // per item
  std::size_t masks = 0;
  std::vector<CellPlan> plans;  // [id of a][id of b]

  PlanTable(const ScoreKernel& kernel, const CodePlanes& p) {
    std::array<int, 128> id{};
    id.fill(-1);
    std::vector<unsigned> distinct;
    mask_id.resize(p.items);
    for (std::size_t i = 0; i < p.items; ++i) {
      const unsigned mask = p.present[i] & 0x7Fu;
      if (id[mask] < 0) {
        id[mask] = static_cast<int>(distinct.size());
        distinct.push_back(mask);
      }
      mask_id[i] = static_cast<std::uint8_t>(id[mask]);
    }
    masks = distinct.size();
    plans.reserve(masks * masks);
    for (const unsigned a : distinct)
      for (const unsigned b : distinct) plans.push_back(make_plan(kernel, a, b));
  }
  const CellPlan& plan(std::size_t a, std::size_t b) const {
    return plans[mask_id[a] * masks + mask_id[b]];
  }
};

// Rows of the score matrix per block of work.
constexpr std::size_t kRowsPerBlock = 32;

// Copies the upper triangle onto the lower one, tile by tile; the tiles of
// one band of upper rows i0..i0+63 write lower columns i0..i0+63 only, so
// the bands are shared among the threads.
void mirror_upper(PairScoreMatrix& m, int threads) {
  constexpr std::size_t kTile = 64;
  const std::size_t n = m.n;
  const Blocks bands{n, kTile};
  for_each_block(threads, bands, [&](std::size_t, std::size_t i0, std::size_t i_end) {
    for (std::size_t j0 = i0; j0 < n; j0 += kTile)
      for (std::size_t i = i0; i < i_end; ++i)
        for (std::size_t j = std::max(j0, i + 1); j < std::min(j0 + kTile, n); ++j)
          m.values[j * n + i] = m.values[i * n + j];
  });
}

}  // namespace

std::int32_t plane_pair_score(const ScoreKernel& kernel, const CodePlanes& p, std::size_t a,
                              std::size_t b) {
  if (a >= p.items || b >= p.items) throw std::out_of_range("pair score item");
  return score_with_plan(make_plan(kernel, p.present[a], p.present[b]), p, a, b,
                         plan_score_for(p.words));
}

PairScoreMatrix plane_score_matrix(const ScoreKernel& kernel, const CodePlanes& p,
                                   const char* progress_label, Channels& channels, int threads) {
  const std::size_t n = p.items;
  PairScoreMatrix m = make_pair_score_matrix(n);
  const PlanTable table(kernel, p);
  const PlanScore count = plan_score_for(p.words);
  // Every entry is computed on its own and written to its own place: the
  // blocks of rows can be shared among the threads in any way.
  Progress progress = start_progress(channels, progress_label, n, n >= 1000);
  // A millisecond or so of work per thread at least.
  threads = threads_for_work(threads, n * n * std::max<std::size_t>(p.words, 1), std::size_t{1} << 16);
  for_each_block(
      threads, Blocks{n, kRowsPerBlock},
      [&](std::size_t, std::size_t first, std::size_t last) {
        for (std::size_t i = first; i < last; ++i) {
          std::int32_t* row = m.values.data() + i * n;
          for (std::size_t j = kernel.symmetric ? i : 0; j < n; ++j)
            row[j] = score_with_plan(table.plan(i, j), p, i, j, count);
        }
      },
      [&](std::size_t rows_done) { advance_progress(progress, rows_done); });
  if (kernel.symmetric) mirror_upper(m, threads);
  finish_progress(progress);
  return m;
}

void rescore_items(const ScoreKernel& kernel, const CodePlanes& p, const std::vector<int>& items,
                   PairScoreMatrix& m, int threads) {
  const std::size_t n = m.n;
  if (p.items != n || m.values.size() != n * n) throw std::out_of_range("pair score matrix shape");
  for (const int r : items)
    if (r < 0 || static_cast<std::size_t>(r) >= n) throw std::out_of_range("pair score matrix index");
  // Each entry is a function of its two items alone, so the order in which
  // they are written does not matter; rows first and columns after, each
  // item once, so that no entry is written by two threads at once.
  std::vector<int> distinct = items;
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  if (distinct.empty()) return;
  const PlanTable table(kernel, p);
  const PlanScore count = plan_score_for(p.words);
  threads = threads_for_work(threads, 2 * distinct.size() * n * std::max<std::size_t>(p.words, 1),
                             std::size_t{1} << 16);
  const Blocks blocks{distinct.size(), 8};
  for (const bool rows : {true, false}) {
    for_each_block(threads, blocks, [&](std::size_t, std::size_t first, std::size_t last) {
      for (std::size_t k = first; k < last; ++k) {
        const auto r = static_cast<std::size_t>(distinct[k]);
        for (std::size_t i = 0; i < n; ++i) {
          const std::size_t a = rows ? r : i, b = rows ? i : r;
          m.values[a * n + b] = score_with_plan(table.plan(a, b), p, a, b, count);
        }
      }
    });
  }
}

PairScoreMatrix plain_score_matrix(const ScoringMatrix& score,
                                   const std::vector<std::vector<int>>& items) {
  const std::size_t n = items.size();
  PairScoreMatrix m = make_pair_score_matrix(n);
  for (std::size_t a = 0; a < n; ++a)
    for (std::size_t b = 0; b < n; ++b) {
      const std::vector<int>& ra = items[a];
      const std::vector<int>& rb = items[b];
      std::uint32_t sum = 0;
      for (std::size_t k = 0; k < ra.size(); ++k)
        sum += static_cast<std::uint32_t>(score.at(static_cast<std::size_t>(ra[k]))
                                              .at(static_cast<std::size_t>(rb.at(k))));
      score_at(m, a, b) = static_cast<std::int32_t>(sum);
    }
  return m;
}

}  // namespace tarvek
