#include "refine/group_scores.hpp"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "base/parallel.hpp"
#include "base/progress.hpp"
#include "refine/plane_counts.hpp"

namespace tarvek {

ScoreCells score_cells(const ScoringMatrix& score) {
  ScoreCells cells;
  for (int u = 0; u < kCodeCount; ++u) {
    for (int v = 0; v < kCodeCount; ++v) {
      const std::int32_t value = score.at(static_cast<std::size_t>(u)).at(static_cast<std::size_t>(v));
      if (value != score.at(static_cast<std::size_t>(v)).at(static_cast<std::size_t>(u)))
        cells.symmetric = false;
      if (value == 0) continue;
      auto it = cells.values.begin();
      while (it != cells.values.end() && it->value != value) ++it;
      if (it == cells.values.end()) {
        cells.values.push_back(ScoreCells::ValueCells{value, {}});
        it = cells.values.end() - 1;
      }
      it->cells.emplace_back(u, v);
    }
  }
  return cells;
}

namespace {

// The items of a pair are read differently: the first through its code
// planes, the second through combined planes. A combination is a value v of
// the scoring matrix and a code u: its plane of an item is the OR of the
// item's planes of the codes w with score[u][w] = v. The positions that
// score v are then the OR over u of (first's plane u AND second's
// combination (v, u)), one AND per code instead of one per cell. Plans, made
// once per pair of the code sets and combination sets that occur, list the
// (code, combination) pairs that can meet.
struct PairPlanes {
  const CodePlanes& codes;
  std::size_t combinations = 0;
  std::vector<std::uint64_t> combined;  // [item][combination][word]
  std::vector<std::uint8_t> first_id;   // per item: its code set among the distinct ones
  std::vector<std::uint8_t> second_id;  // per item: its combination set
  std::size_t second_sets = 0;
  std::vector<PackedPlan> plans;  // [first_id][second_id]

  PairPlanes(const ScoreCells& cells, const CodePlanes& p) : codes(p) {
    struct Combination {
      std::size_t value;     // index into cells.values
      int code;              // at the first item
      unsigned second_codes; // codes w at the second item
    };
    std::vector<Combination> list;
    for (std::size_t v = 0; v < cells.values.size(); ++v)
      for (int u = 0; u < kCodeCount; ++u) {
        unsigned mask = 0;
        for (const auto& [cu, cw] : cells.values[v].cells)
          if (cu == u) mask |= 1u << cw;
        if (mask != 0) list.push_back(Combination{v, u, mask});
      }
    combinations = list.size();  // at most 36: the cells are disjoint
    const std::size_t words = p.words;
    combined.assign(p.items * combinations * words, 0);
    std::vector<std::uint64_t> sets(p.items, 0);
    for (std::size_t i = 0; i < p.items; ++i)
      for (std::size_t c = 0; c < combinations; ++c) {
        std::uint64_t* out = combined.data() + (i * combinations + c) * words;
        for (int w = 0; w < kCodeCount; ++w) {
          if ((list[c].second_codes >> w & 1u) == 0) continue;
          const std::uint64_t* in = plane(p, i, w);
          for (std::size_t k = 0; k < words; ++k) out[k] |= in[k];
        }
        if ((p.present[i] & list[c].second_codes) != 0) sets[i] |= std::uint64_t{1} << c;
      }
    const auto number = [](const std::vector<std::uint64_t>& keys, std::vector<std::uint8_t>& ids) {
      std::vector<std::uint64_t> distinct;
      ids.resize(keys.size());
      for (std::size_t i = 0; i < keys.size(); ++i) {
        auto it = std::find(distinct.begin(), distinct.end(), keys[i]);
        if (it == distinct.end()) it = distinct.insert(distinct.end(), keys[i]);
        ids[i] = static_cast<std::uint8_t>(it - distinct.begin());
      }
      return distinct;
    };
    std::vector<std::uint64_t> first_keys(p.items);
    for (std::size_t i = 0; i < p.items; ++i) first_keys[i] = p.present[i] & 0x7Fu;
    const std::vector<std::uint64_t> firsts = number(first_keys, first_id);  // at most 128
    const std::vector<std::uint64_t> seconds = number(sets, second_id);
    if (seconds.size() > 256) throw std::length_error("too many combination sets");
    second_sets = seconds.size();
    plans.reserve(firsts.size() * seconds.size());
    for (const std::uint64_t a : firsts)
      for (const std::uint64_t b : seconds) {
        PackedPlan plan;
        for (std::size_t v = 0; v < cells.values.size(); ++v) {
          std::uint32_t count = 0;
          for (std::size_t c = 0; c < combinations; ++c)
            if (list[c].value == v && (a >> list[c].code & 1u) != 0 && (b >> c & 1u) != 0) {
              plan.offsets.push_back(
                  static_cast<std::uint32_t>(static_cast<std::size_t>(list[c].code) * words));
              plan.offsets.push_back(static_cast<std::uint32_t>(c * words));
              ++count;
            }
          if (count != 0)
            plan.values.push_back(
                PackedPlan::Value{static_cast<std::uint32_t>(cells.values[v].value), count});
        }
        plans.push_back(std::move(plan));
      }
  }

  std::int32_t score(std::size_t a, std::size_t b, PackedScore count) const {
    const std::size_t words = codes.words;
    return static_cast<std::int32_t>(count(plans[first_id[a] * second_sets + second_id[b]],
                                           plane(codes, a, 0),
                                           combined.data() + b * combinations * words, words));
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

PairScoreMatrix plane_score_matrix(const ScoreCells& cells, const CodePlanes& p,
                                   const char* progress_label, Channels& channels,
                                   Kernels kernels, int threads) {
  const std::size_t n = p.items;
  PairScoreMatrix m = make_pair_score_matrix(n);
  const PairPlanes pairs(cells, p);
  const PackedScore count = packed_score_for(p.words, kernels);
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
          for (std::size_t j = cells.symmetric ? i : 0; j < n; ++j)
            row[j] = pairs.score(i, j, count);
        }
      },
      [&](std::size_t rows_done) { advance_progress(progress, rows_done); });
  if (cells.symmetric) mirror_upper(m, threads);
  finish_progress(progress);
  return m;
}

void rescore_items(const ScoreCells& cells, const CodePlanes& p, const std::vector<int>& items,
                   PairScoreMatrix& m, Kernels kernels, int threads) {
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
  const PairPlanes pairs(cells, p);
  const PackedScore count = packed_score_for(p.words, kernels);
  threads = threads_for_work(threads, 2 * distinct.size() * n * std::max<std::size_t>(p.words, 1),
                             std::size_t{1} << 16);
  const Blocks blocks{distinct.size(), 8};
  for (const bool rows : {true, false}) {
    for_each_block(threads, blocks, [&](std::size_t, std::size_t first, std::size_t last) {
      for (std::size_t k = first; k < last; ++k) {
        const auto r = static_cast<std::size_t>(distinct[k]);
        for (std::size_t i = 0; i < n; ++i) {
          const std::size_t a = rows ? r : i, b = rows ? i : r;
          m.values[a * n + b] = pairs.score(a, b, count);
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
