// The fast computations (LODs from bit-planes with bound skipping, score
// matrices from bit-planes, LINKSORT over linked arrays and order frames)
// against plain versions written from their definitions, on random inputs.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <limits>
#include <list>
#include <optional>
#include <random>
#include <sstream>
#include <utility>
#include <vector>

#include "base/kernels.hpp"
#include "genotype/code_planes.hpp"
#include "genotype/scoring_matrix.hpp"
#include "linkage/lod_planes.hpp"
#include "linkage/pair_lod.hpp"
#include "ordering/linksort.hpp"
#include "ordering/order_random.hpp"
#include "ordering/diagonal_frame.hpp"
#include "ordering/frame_passes.hpp"
#include "ordering/insertion.hpp"
#include "ordering/score_view.hpp"
#include "refine/group_scores.hpp"
#include "refine/refine_group.hpp"
#include "refine/plane_counts.hpp"
#include "run/order_individuals.hpp"
#include "support/channels.hpp"
#include "support/linkage_checks.hpp"
#include "support/ordering_checks.hpp"

namespace tarvek {
namespace {

using Rng = std::mt19937;
using testing::fast_kernels;
using testing::reversal_passes;
using testing::window_placement;
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

int below(Rng& rng, int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }
std::size_t idx(int v) { return static_cast<std::size_t>(v); }

// `count` distinct values of 0..n-1 in random order.
std::vector<int> shuffled_subset(Rng& rng, int n, int count) {
  std::vector<int> v(idx(n));
  for (int i = 0; i < n; ++i) v[idx(i)] = i;
  for (int i = n - 1; i > 0; --i) std::swap(v[idx(i)], v[idx(below(rng, i + 1))]);
  v.resize(idx(count));
  return v;
}

// -1 for no value, else the bits of the float: equal means bit for bit.
std::int64_t bits(std::optional<float> v) {
  return v ? std::int64_t{std::bit_cast<std::uint32_t>(*v)} : -1;
}

// Random codominant rows, rows with every code, mostly missing rows, near
// copies of two base rows (one with heterozygotes, one scored A, B or missing
// only, so that pairs without double heterozygotes occur) as codominant and
// dominant markers see them, and one all-missing row.
std::vector<GenotypeRow> lod_rows(Rng& rng, int n) {
  const int codominant[] = {0, 1, 2, 5, 5};
  // A dominant marker sees A as A or D, B as B or C, H as C, D or H.
  const int seen[6][3] = {{0, 0, 0}, {1, 4, 1}, {2, 3, 2}, {0, 0, 0}, {0, 0, 0}, {3, 4, 5}};
  GenotypeRow base(idx(n)), homozygous(idx(n));
  for (std::size_t k = 0; k < base.size(); ++k) {
    base[k] = codominant[below(rng, 5)];
    homozygous[k] = below(rng, 3);
  }
  std::vector<GenotypeRow> rows(22, GenotypeRow(idx(n), 0));
  for (std::size_t r = 0; r + 1 < rows.size(); ++r) {
    const int kind = static_cast<int>(r % 7);
    const GenotypeRow& from = kind < 5 ? base : homozygous;
    for (std::size_t k = 0; k < base.size(); ++k)
      rows[r][k] = kind == 0   ? codominant[below(rng, 5)]
                   : kind == 1 ? below(rng, 6)
                   : kind == 2 ? (below(rng, 6) == 0 ? below(rng, 6) : 0)
                   : kind % 2  ? from[k]
                               : seen[from[k]][below(rng, 3)];
    const int flips = kind < 3 || below(rng, 3) == 0 ? 0 : 1 + below(rng, 1 + n / 3);
    for (int f = 0; f < flips; ++f) rows[r][idx(below(rng, n))] = below(rng, kind < 5 ? 6 : 3);
  }
  return rows;
}

const int kIndividuals[] = {1, 7, 63, 64, 65, 128, 200, 300};

TEST(FastPathLod, EntriesAndThresholdedEntriesMatchPairLodBitForBit) {
  Rng rng(101);
  const float inf = std::numeric_limits<float>::infinity();
  for (const int n : kIndividuals) {
    const std::vector<GenotypeRow> rows = lod_rows(rng, n);
    const LodPlanes matrix = build_lod_planes(rows);
    for (std::size_t i = 0; i < rows.size(); ++i)
      for (std::size_t j = 0; j < rows.size(); ++j) {
        const float lod = pair_lod(rows, i, j).lod;
        SCOPED_TRACE(::testing::Message() << n << " individuals, pair " << i << "," << j);
        EXPECT_EQ(bits(testing::lod_of(matrix, i, j)), bits(lod));
        for (const float floor : {std::nextafter(lod, -inf), lod, std::nextafter(lod, inf),
                                  lod - 1e-3f, lod + 1e-3f, 0.0f, 0.5f, 4.0f, 16.0f, 9998.9f})
          EXPECT_EQ(bits(lod_above(matrix, i, j, floor)), lod > floor ? bits(lod) : -1) << floor;
      }
  }
}

TEST(FastPathLod, StrongestLinkMatchesAPlainLoopOverPairLod) {
  Rng rng(202);
  for (const int n : kIndividuals) {
    const std::vector<GenotypeRow> rows = lod_rows(rng, n);
    const LodPlanes matrix = build_lod_planes(rows);
    const int count = static_cast<int>(rows.size());
    const auto lod = [&](int i, int j) { return pair_lod(rows, idx(i), idx(j)).lod; };
    for (int trial = 0; trial < 40; ++trial) {
      const LinkageGroup from = shuffled_subset(rng, count, below(rng, 7));
      const LinkageGroup to = shuffled_subset(rng, count, below(rng, 7));
      float top = 0.0f;  // largest over [from][to]
      for (const int h : to)
        for (const int s : from) top = std::max(top, lod(s, h));
      for (const float floor : {0.5f, 4.0f, 16.0f, 9998.9f, top, std::nextafter(top, -1.0f)}) {
        std::optional<float> best;
        for (const int h : to)
          for (const int s : from)
            if (lod(s, h) > floor && (!best || lod(s, h) > *best)) best = lod(s, h);
        SCOPED_TRACE(::testing::Message() << n << " individuals, trial " << trial << ", " << floor);
        EXPECT_EQ(bits(strongest_link(matrix, from, to, floor)), bits(best));
      }
    }
  }
}

// Kinds by kind / 2: small non-negative, either sign, huge (sums wrap), all
// zero; even kinds symmetric. Row and column 6 stay zero.
ScoringMatrix random_scoring(Rng& rng, int kind) {
  const std::int32_t huge[] = {kMax, kMax - 1, kMin, kMin + 1, 1, -1, 0};
  ScoringMatrix s{};
  for (std::size_t a = 0; a < 6; ++a)
    for (std::size_t b = 0; b < 6; ++b)
      s[a][b] = kind % 2 == 0 && b < a ? s[b][a]
                : kind < 2             ? below(rng, 4)
                : kind < 4             ? below(rng, 19) - 9
                : kind < 6             ? huge[below(rng, 7)]
                                       : 0;
  return s;
}

// Codes 0..6, each row drawn from its own random set of codes.
std::vector<GenotypeRow> score_rows(Rng& rng, int count, int length) {
  std::vector<GenotypeRow> rows(idx(count), GenotypeRow(idx(length)));
  for (GenotypeRow& row : rows) {
    const int codes = below(rng, 3) == 0 ? 127 : 1 + below(rng, 127);
    for (int& c : row) do c = below(rng, 7); while ((codes >> c & 1) == 0);
  }
  return rows;
}

TEST(FastPathScores, GroupScoreMatrixOfShuffledSubsetMatchesPlainSums) {
  Rng rng(303);
  for (const int individuals : {1, 63, 64, 65, 127, 128, 129, 200, 300, 447, 512, 513, 1024, 1100})
    for (int kind = 0; kind < 8; ++kind) {
      const ScoringMatrix s = random_scoring(rng, kind);
      const std::vector<GenotypeRow> rows = score_rows(rng, 14, individuals);
      const LinkageGroup members = shuffled_subset(rng, 14, 1 + below(rng, 14));
      testing::CapturedChannels io;
      const PairScoreMatrix plain = build_group_score_matrix(s, rows, members, io.channels, Kernels::plain);
      for (const Kernels kernels : fast_kernels())
        EXPECT_EQ(build_group_score_matrix(s, rows, members, io.channels, kernels).values, plain.values)
            << individuals << " individuals, scoring kind " << kind;
    }
}

TEST(FastPathScores, IndividualScoreMatrixMatchesPlainSumsOverLoci) {
  Rng rng(404);
  for (const int loci : {1, 63, 64, 65, 130, 1100})
    for (int kind = 0; kind < 8; ++kind) {
      const ScoringMatrix s = random_scoring(rng, kind);
      const std::vector<GenotypeRow> rows = score_rows(rng, loci, 1 + below(rng, 70));
      const std::size_t individuals = rows[0].size();
      testing::CapturedChannels io;
      const PairScoreMatrix plain =
          individual_score_matrix(s, rows, individuals, io.channels, Kernels::plain);
      for (const Kernels kernels : fast_kernels())
        EXPECT_EQ(individual_score_matrix(s, rows, individuals, io.channels, kernels).values,
                  plain.values)
            << loci << " loci, " << individuals << " individuals, scoring kind " << kind;
    }
}

TEST(FastPathScores, PackedPlanScoresAreThePositionCountsAtEveryWidth) {
  Rng rng(707);
  for (std::size_t words = 1; words <= 41; ++words)
    for (int trial = 0; trial < 20; ++trial) {
      // Two items of seven random planes each, some dense, some sparse.
      std::vector<std::uint64_t> a(7 * words), b(7 * words);
      for (auto* v : {&a, &b})
        for (std::uint64_t& w : *v) {
          w = (std::uint64_t{rng()} << 32) | rng();
          if (trial % 3 == 1) w &= (std::uint64_t{rng()} << 32) | rng();
          if (trial % 3 == 2) w = ~w;
        }
      // Values with random cells (pairs of planes); the expected sum counts
      // the positions where some cell of a value has a bit in both planes.
      PackedPlan plan;
      std::uint32_t expected = 0;
      const std::uint32_t values[] = {1, 2, 3, 0xFFFFFFFFu, 0x80000000u, 12345};
      for (int v = 0; v < 1 + below(rng, 4); ++v) {
        const std::uint32_t value = values[below(rng, 6)];
        const int cells = below(rng, 10);
        std::vector<std::pair<std::size_t, std::size_t>> planes;
        for (int c = 0; c < cells; ++c) {
          planes.emplace_back(idx(below(rng, 7)), idx(below(rng, 7)));
          plan.offsets.push_back(static_cast<std::uint32_t>(planes.back().first * words));
          plan.offsets.push_back(static_cast<std::uint32_t>(planes.back().second * words));
        }
        plan.values.push_back(PackedPlan::Value{value, static_cast<std::uint32_t>(cells)});
        for (std::size_t x = 0; x < 64 * words; ++x) {
          bool hit = false;
          for (const auto& [u, w] : planes)
            hit = hit || ((a[u * words + x / 64] & b[w * words + x / 64]) >> (x % 64) & 1u) != 0;
          if (hit) expected += value;
        }
      }
      EXPECT_EQ(packed_score_scalar(plan, a.data(), b.data(), words), expected)
          << words << " words, trial " << trial;
      if (fastest_kernels() == Kernels::avx2) {
        EXPECT_EQ(packed_score_avx2(plan, a.data(), b.data(), words), expected)
            << words << " words, trial " << trial;
      }
    }
}

TEST(FastPathScores, ScoreMatricesAreTheSameOnAnyNumberOfThreads) {
  Rng rng(808);
  // The largest are worth sharing among several threads.
  for (const int items : {1, 31, 32, 33, 65, 130, 400})
    for (const int kind : {0, 3}) {  // symmetric and not
      const ScoringMatrix s = random_scoring(rng, kind);
      const std::vector<GenotypeRow> rows =
          score_rows(rng, items, items == 400 ? 700 : 1 + below(rng, 300));
      LinkageGroup members(idx(items));
      for (int i = 0; i < items; ++i) members[idx(i)] = i;
      testing::CapturedChannels io;
      const Kernels fast = fastest_kernels();
      const PairScoreMatrix one = build_group_score_matrix(s, rows, members, io.channels, fast, 1);
      const PairScoreMatrix by_individual =
          individual_score_matrix(s, rows, rows[0].size(), io.channels, fast, 1);
      for (const int threads : {2, 7, 200}) {
        SCOPED_TRACE(::testing::Message() << items << " items, kind " << kind << ", "
                                          << threads << " threads");
        EXPECT_EQ(build_group_score_matrix(s, rows, members, io.channels, fast, threads).values,
                  one.values);
        EXPECT_EQ(individual_score_matrix(s, rows, rows[0].size(), io.channels, fast, threads).values,
                  by_individual.values);
      }
    }
}

TEST(FastPathScores, RescoredItemsGiveTheMatrixOfTheRecodedRows) {
  Rng rng(1010);
  for (const int items : {2, 40, 300})
    for (const int kind : {0, 3}) {
      const ScoringMatrix s = random_scoring(rng, kind);
      std::vector<GenotypeRow> rows = score_rows(rng, items, items == 300 ? 1000 : 1 + below(rng, 400));
      LinkageGroup members(idx(items));
      for (int i = 0; i < items; ++i) members[idx(i)] = i;
      testing::CapturedChannels io;
      const PairScoreMatrix before =
          build_group_score_matrix(s, rows, members, io.channels, Kernels::plain);
      // Some items (one twice) get flagged genotypes, as error detection does;
      // with 300 items, enough of them to share the work among threads.
      std::vector<int> changed = {0, below(rng, items), items - 1, 0};
      for (int extra = 0; items == 300 && extra < 30; ++extra) changed.push_back(below(rng, items));
      for (const int r : changed)
        for (int& code : rows[idx(r)])
          if (below(rng, 4) == 0) code = 6;
      const PairScoreMatrix after =
          build_group_score_matrix(s, rows, members, io.channels, Kernels::plain);
      for (const Kernels kernels : fast_kernels())
        for (const int threads : {1, 7}) {
          PairScoreMatrix m = before;
          rescore_items(score_cells(s), planes_of_rows(rows, members), changed, m, kernels,
                        threads);
          EXPECT_EQ(m.values, after.values) << items << " items, kind " << kind << ", " << threads;
        }
      PairScoreMatrix untouched = before;
      EXPECT_THROW(rescore_items(score_cells(s), planes_of_rows(rows, members), {0, items},
                                 untouched, fastest_kernels(), 1),
                   std::out_of_range);
      EXPECT_EQ(untouched.values, before.values);
    }
}

std::uint32_t u(std::int32_t v) { return static_cast<std::uint32_t>(v); }
std::int32_t wrapped(std::uint32_t v) { return static_cast<std::int32_t>(v); }
std::uint32_t at(const PairScoreMatrix& m, std::int32_t a, std::int32_t b) {
  return u(score_at(m, static_cast<std::size_t>(a), static_cast<std::size_t>(b)));
}

std::int32_t plain_score(const PairScoreMatrix& m, const MarkerOrder& o) {
  std::uint32_t s = 0;
  for (std::size_t i = 0; i + 1 < o.size(); ++i) s += at(m, o[i], o[i + 1]);
  return wrapped(s);
}

// LINKSORT's runs written out over the plain placement and passes.
void plain_linksort(const PairScoreMatrix& m, MarkerOrder& o, OrderRandom& random,
                    Channels& channels) {
  if (o.size() < 2) return;
  std::ostream& log = log_of(channels);
  log << "Running LINKSORT!, groupsize=" << o.size() << ". Randomizing order...\n";
  console_of(channels) << "Running LINKSORT on group of size=" << o.size() << "\n";
  random_order(o, random);
  std::int32_t s = plain_score(m, o);
  log << "randomized score=" << s << "\n";
  std::int64_t prev = std::int64_t{s} + 1;
  MarkerOrder saved = o;
  for (int run = 1; s < prev && s >= 0; ++run) {
    log << "\nLINKSORT run " << run << "\n";
    prev = s;
    saved = o;
    const std::int32_t w = plain_window_placement(m, o);
    log << "inital window placement score = " << w << "\n";
    plain_reversal_passes(m, o, w, channels);
    s = plain_score(m, o);
    log << "score = " << s << "\n";
  }
  o = saved;
  log << "\nLINKSORT Done, using score " << plain_score(m, o) << "\n\n";
}

// Kinds: 0 many ties, 1 a line with noise, 2 up to the 16-bit maximum, 3
// beyond 16 bits, 4 a few negatives, 5 near the top of 32 bits (scores
// wrap), 6 up to 32768, just past 16 bits.
PairScoreMatrix random_pairs(Rng& rng, std::size_t n, int kind, bool symmetric) {
  PairScoreMatrix m = make_pair_score_matrix(n);
  std::vector<int> pos(n);
  for (int& p : pos) p = below(rng, 1000);
  for (std::size_t a = 0; a < n; ++a)
    for (std::size_t b = 0; b < n; ++b)
      score_at(m, a, b) = symmetric && b < a ? score_at(m, b, a)
                          : kind == 0 ? 2 + below(rng, 3)
                          : kind == 1 ? std::abs(pos[a] - pos[b]) + below(rng, 5)
                          : kind == 2 ? (below(rng, 10) == 0 ? 32767 : 16384 + below(rng, 16384))
                          : kind == 3 ? 40000 + below(rng, 30000)
                          : kind == 4 ? (below(rng, 60) ? 100 + below(rng, 60) : -below(rng, 50))
                          : kind == 5 ? kMax / 4 + below(rng, 1 << 24)
                                      : 30000 + below(rng, 2769);
  return m;
}

// Orders of n items over an `of` by `of` matrix: small sizes, sizes from 256
// up (where 16-bit storage starts), and many mid sizes.
struct Case {
  std::size_t of, n;
  int kind;
  bool symmetric;
};

std::vector<Case> linksort_cases(Rng& rng) {
  std::vector<Case> cases = {
      {2, 2, 0, true},      {3, 3, 1, false},    {4, 4, 0, true},     {5, 5, 1, false},
      {7, 7, 2, true},      {40, 25, 0, true},   {40, 31, 6, false},  {256, 256, 1, true},
      {257, 257, 1, false}, {300, 270, 2, true}, {300, 300, 3, true}, {280, 280, 6, true},
      {260, 260, 4, true},  {290, 275, 2, false}};
  for (int trial = 0; trial < 300; ++trial) {
    const std::size_t n = idx(2 + below(rng, 150));
    cases.push_back({n + idx(below(rng, 2) * below(rng, 30)), n, trial % 7, trial % 4 != 0});
  }
  return cases;
}

MarkerOrder random_items(Rng& rng, const Case& c) {
  const std::vector<int> items =
      shuffled_subset(rng, static_cast<int>(c.of), static_cast<int>(c.n));
  return MarkerOrder(items.begin(), items.end());
}

TEST(FastPathLinksort, PlacementAndPassesMatchPlainVersions) {
  Rng rng(505);
  int trial = 0;
  for (const Case& c : linksort_cases(rng)) {
    SCOPED_TRACE(::testing::Message() << c.n << " of " << c.of << ", kind " << c.kind);
    const PairScoreMatrix m = random_pairs(rng, c.of, c.kind, c.symmetric);
    MarkerOrder plain = random_items(rng, c);
    MarkerOrder fast = plain;
    MarkerOrder one_at_a_time = plain;
    const std::int32_t total = plain_window_placement(m, plain);
    ASSERT_EQ(window_placement(m, fast), total);
    ASSERT_EQ(fast, plain);
    const ColumnView columns(ScoreView<std::int32_t>{m.values.data(), m.n});
    ASSERT_EQ(place_by_insertion(columns, one_at_a_time, Kernels::scalar), total);
    ASSERT_EQ(one_at_a_time, plain);
    // Small starts let the running score pass below zero within a pass.
    const int start_kind = trial++ % 3;
    const std::int32_t start =
        start_kind == 0 ? plain_score(m, plain) : start_kind == 1 ? total : below(rng, 100);
    testing::CapturedChannels plain_io, io;
    plain_reversal_passes(m, plain, start, plain_io.channels);
    reversal_passes(m, fast, start, io.channels);
    EXPECT_EQ(fast, plain);
    EXPECT_EQ(io.log_text(), plain_io.log_text());
  }
}

// The frame, its bounds and both screenings of the reversal passes: every
// entry of the frame is the matrix entry of the order's items, every bound is
// the least entry at its distance or more, and the passes over the frame
// (one at a time, and eight at a time against the bounds where the
// processor has AVX2) apply the reversals the plain passes apply.
template <class T>
void check_frame_paths(const PairScoreMatrix& m, const MarkerOrder& start, std::int32_t score,
                       bool symmetric) {
  const ScoreView<std::int32_t> view{m.values.data(), m.n};
  const std::size_t n = start.size();
  DiagonalFrame<T> frame;
  build_diagonal_frame(view, start, symmetric, frame);
  FrameBounds bounds;
  build_frame_bounds(frame, symmetric, bounds);
  for (std::size_t a = 0; a < n; ++a)
    for (std::size_t c = 0; n > 1 && c <= octave(n - 1); ++c) {
      std::int32_t row = std::numeric_limits<std::int32_t>::max(), column = row;
      for (std::size_t b = 0; b < n; ++b) {
        if (b == a || (a > b ? a - b : b - a) < (std::size_t{1} << c)) continue;
        row = std::min(row, score_at(m, idx(start[a]), idx(start[b])));
        column = std::min(column, score_at(m, idx(start[b]), idx(start[a])));
        ASSERT_EQ(frame.at(static_cast<std::int32_t>(a), static_cast<std::int32_t>(b)),
                  score_at(m, idx(start[a]), idx(start[b])));
      }
      ASSERT_EQ(bounds.rows[c * n + a], row) << a << ", octave " << c;
      ASSERT_EQ(bounds.column_data()[c * n + a], column) << a << ", octave " << c;
    }
  // Two calls on one frame: the second sees its order through the positions
  // of the first, as the later runs of a search do.
  MarkerOrder plain = start;
  testing::CapturedChannels plain_io;
  plain_reversal_passes(m, plain, score, plain_io.channels);
  MarkerOrder again = plain;
  std::reverse(again.begin(), again.begin() + static_cast<std::ptrdiff_t>(n / 2));
  MarkerOrder plain_again = again;
  plain_reversal_passes(m, plain_again, score, plain_io.channels);
  for (const Kernels kernels : fast_kernels()) {
    const bool wide = kernels == Kernels::avx2;
    MarkerOrder fast = start;
    std::ostringstream log;
    OrderFrame<T> state;
    reversal_passes_in_frame(view, fast, score, symmetric, state, log, kernels);
    EXPECT_EQ(fast, plain) << (wide ? "eight at a time" : "one at a time");
    fast = again;
    reversal_passes_in_frame(view, fast, score, symmetric, state, log, kernels);
    EXPECT_EQ(fast, plain_again) << (wide ? "eight at a time" : "one at a time");
    EXPECT_EQ(log.str(), plain_io.log_text());
  }
}

TEST(FastPathLinksort, FramesBoundsAndBothScreeningsMatchThePlainPasses) {
  Rng rng(909);
  for (const Case& c : linksort_cases(rng)) {
    SCOPED_TRACE(::testing::Message() << c.n << " of " << c.of << ", kind " << c.kind
                                      << (c.symmetric ? ", symmetric" : ""));
    const PairScoreMatrix m = random_pairs(rng, c.of, c.kind, c.symmetric);
    MarkerOrder order = random_items(rng, c);
    // Passes start from a placed order, as in the search, or from a random one.
    const std::int32_t total = below(rng, 2) == 0 ? window_placement(m, order) : plain_score(m, order);
    bool symmetric = true;
    for (std::size_t a = 0; a < m.n; ++a)
      for (std::size_t b = 0; b < m.n; ++b) symmetric = symmetric && score_at(m, a, b) == score_at(m, b, a);
    if (fits_16_bits(m)) check_frame_paths<std::int16_t>(m, order, total, symmetric);
    check_frame_paths<std::int32_t>(m, order, total, symmetric);
  }
}

TEST(FastPathLinksort, EveryVersionOfTheSearchMatchesItsRunsWrittenOut) {
  Rng rng(606);
  for (const Case& c : linksort_cases(rng)) {
    SCOPED_TRACE(::testing::Message() << c.n << " of " << c.of << ", kind " << c.kind);
    const PairScoreMatrix m = random_pairs(rng, c.of, c.kind, c.symmetric);
    MarkerOrder plain = random_items(rng, c);
    const MarkerOrder start = plain;
    const auto seed = static_cast<std::uint32_t>(rng());
    testing::CapturedChannels plain_io;
    OrderRandom plain_random;
    seed_order_random(plain_random, seed);
    plain_linksort(m, plain, plain_random, plain_io.channels);
    const int next_draw = draw_order_random(plain_random);
    std::vector<Kernels> all = fast_kernels();
    all.push_back(Kernels::plain);
    for (const Kernels kernels : all) {
      MarkerOrder order = start;
      testing::CapturedChannels io;
      OrderRandom random;
      seed_order_random(random, seed);
      linksort(m, order, random, io.channels, kernels);
      EXPECT_EQ(draw_order_random(random), next_draw);
      EXPECT_EQ(order, plain);
      EXPECT_EQ(io.log_text(), plain_io.log_text());
      EXPECT_EQ(io.console_text(), plain_io.console_text());
    }
  }
}

}  // namespace
}  // namespace tarvek
