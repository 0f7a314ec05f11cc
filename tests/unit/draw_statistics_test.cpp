// The heat map's pair statistics against the library's plain estimator, the
// summary of blocks of pairs against its plain reference, and the genotype
// graph's pixel summary.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "draw/genotype_graph.hpp"
#include "draw/heat_matrix.hpp"
#include "draw/pair_statistic.hpp"
#include "genotype/code_planes.hpp"
#include "genotype/genotype_codes.hpp"
#include "linkage/pair_lod.hpp"

namespace tarvek::draw {
namespace {


// Rows of random genotypes; `codes` are drawn from with equal chance.
std::vector<GenotypeRow> random_rows(std::mt19937& random, std::size_t markers, std::size_t individuals,
                                     const std::vector<int>& codes) {
  std::vector<GenotypeRow> rows(markers, GenotypeRow(individuals));
  for (auto& row : rows)
    for (int& c : row) c = codes[random() % codes.size()];
  return rows;
}

// Rows along a chromosome: each marker copies the one before, changed in a
// share `change` of the individuals, so that r grows with distance.
std::vector<GenotypeRow> chain_rows(std::mt19937& random, std::size_t markers, std::size_t individuals, double change) {
  std::vector<GenotypeRow> rows(markers, GenotypeRow(individuals));
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const int codes[3] = {kCodeA, kCodeB, kCodeH};
  for (std::size_t i = 0; i < individuals; ++i) rows[0][i] = codes[random() % 3];
  for (std::size_t m = 1; m < markers; ++m)
    for (std::size_t i = 0; i < individuals; ++i) rows[m][i] = u(random) < change ? codes[random() % 3] : rows[m - 1][i];
  return rows;
}

std::vector<const GenotypeRow*> pointers(const std::vector<GenotypeRow>& rows) {
  std::vector<const GenotypeRow*> p;
  for (const auto& r : rows) p.push_back(&r);
  return p;
}

TEST(PairStatistic, EqualsTheLibraryEstimatorExactly) {
  std::mt19937 random(5);
  const std::vector<std::vector<int>> code_sets = {
      {kCodeA, kCodeB, kCodeH},                                       // codominant: the fast totals
      {kCodeA, kCodeB, kCodeH, kMissing},
      {kMissing, kCodeA, kCodeB, kCodeC, kCodeD, kCodeH, kFlagged},   // everything
      {kCodeA, kCodeC},                                               // dominant only
      {kMissing, kFlagged},                                           // nobody scored
  };
  for (const auto& codes : code_sets) {
    for (const std::size_t individuals : {1u, 63u, 64u, 65u, 300u}) {
      const auto rows = random_rows(random, 12, individuals, codes);
      std::vector<int> all(rows.size());
      for (std::size_t k = 0; k < all.size(); ++k) all[k] = static_cast<int>(k);
      const CodePlanes planes = planes_of_rows(rows, all);
      for (std::size_t i = 0; i < rows.size(); ++i) {
        for (std::size_t j = 0; j < rows.size(); ++j) {
          const PairLod plain = pair_lod(rows, i, j);
          const PairLod fast = pair_statistic(PopulationType::F2, pair_counts(planes, i, j));
          ASSERT_EQ(fast.r, plain.r) << i << " " << j << " of " << individuals;
          ASSERT_EQ(fast.lod, plain.lod) << i << " " << j << " of " << individuals;
        }
      }
    }
  }
  // A marker identical to itself: r = 0 and the LOD printed for it.
  const auto rows = random_rows(random, 1, 40, {kCodeA, kCodeB, kCodeH});
  const CodePlanes planes = planes_of_rows(rows, {0});
  EXPECT_EQ(pair_statistic(PopulationType::F2, pair_counts(planes, 0, 0)).r, 0.0f);
  EXPECT_EQ(pair_statistic(PopulationType::F2, pair_counts(planes, 0, 0)).lod, 9999.0f);
}

TEST(HeatSummary, EqualsItsPlainReferenceForEveryPopulationType) {
  std::mt19937 random(9);
  // F2 rows with every code; inbred-line rows of A and B with a stray H;
  // backcross rows of A/H markers and of B/H markers.
  const auto f2 = random_rows(random, 70, 90, {kMissing, kCodeA, kCodeB, kCodeC, kCodeH, kCodeH, kFlagged});
  const auto inbred = random_rows(random, 70, 90, {kMissing, kCodeA, kCodeB, kCodeA, kCodeB, kCodeH});
  auto backcross = random_rows(random, 70, 90, {kMissing, kCodeA, kCodeH, kCodeH, kFlagged});
  for (std::size_t m = 0; m < backcross.size(); m += 3)
    for (int& code : backcross[m]) code = code == kCodeA ? kCodeB : code;
  const std::vector<std::pair<PopulationType, const std::vector<GenotypeRow>*>> cases = {
      {PopulationType::F2, &f2},       {PopulationType::BC1, &backcross}, {PopulationType::DH, &inbred},
      {PopulationType::RIL, &inbred},  {PopulationType::RILsib, &inbred}};
  // Markers that fit the pixels, and blocks of markers with and without
  // sampling inside a block.
  for (const auto& [type, rows_of_type] : cases)
  for (const auto& [pixels, budget] : std::vector<std::pair<std::size_t, std::size_t>>{
           {100, kSampleBudget}, {70, kSampleBudget}, {9, kSampleBudget}, {9, 20}, {31, 31}, {1, 3}}) {
    const auto& rows = *rows_of_type;
    SCOPED_TRACE(std::string(population_name(type)));
    const HeatSummary fast = summarise_pairs(pointers(rows), pixels, type, budget);
    const HeatSummary plain = summarise_pairs_plainly(pointers(rows), pixels, type, budget);
    EXPECT_EQ(fast.cells, plain.cells);
    EXPECT_EQ(fast.samples, plain.samples);
    EXPECT_EQ(fast.pairs_computed, plain.pairs_computed);
    EXPECT_EQ(fast.largest_lod, plain.largest_lod);
    EXPECT_EQ(fast.pairs, plain.pairs) << pixels;
    EXPECT_EQ(fast.unrecombined, plain.unrecombined) << pixels;
    EXPECT_EQ(fast.r_sum, plain.r_sum) << pixels;
    EXPECT_EQ(fast.lod_sum, plain.lod_sum) << pixels;
  }
}

TEST(HeatSummary, CellsSamplesAndTheirPairs) {
  std::mt19937 random(2);
  const auto rows = random_rows(random, 50, 30, {kCodeA, kCodeB, kCodeH});
  // Fewer markers than pixels: one marker per cell, every pair once.
  const HeatSummary each = summarise_pairs(pointers(rows), 80, PopulationType::F2);
  EXPECT_EQ(each.cells, 50u);
  EXPECT_EQ(each.pairs_computed, 50u * 49 / 2);
  EXPECT_TRUE(std::isnan(each.mean_r(7, 7)));  // a marker has no pair with itself
  EXPECT_EQ(each.pairs[each.index(3, 9)], 1u);
  EXPECT_EQ(each.index(3, 9), each.index(9, 3));
  EXPECT_EQ(each.mean_r(3, 9), pair_lod(rows, 3, 9).r);
  EXPECT_EQ(each.cell_of_pixel(0, 80), 0u);
  EXPECT_EQ(each.cell_of_pixel(79, 80), 49u);

  // Ten cells of five markers; a budget of 30 gives three representatives
  // per cell: 3 × 3 pairs between two cells, 3 pairs within one.
  const HeatSummary blocks = summarise_pairs(pointers(rows), 10, PopulationType::F2, 30);
  EXPECT_EQ(blocks.cells, 10u);
  EXPECT_EQ(blocks.samples, 3u);
  EXPECT_EQ(blocks.cell_start(4), 20u);
  EXPECT_EQ(blocks.pairs[blocks.index(2, 6)], 9u);
  EXPECT_EQ(blocks.pairs[blocks.index(4, 4)], 3u);
  EXPECT_EQ(blocks.pairs_computed, 30u * 29 / 2);
  // The representatives of cell 0 (markers 0..4) are 0, 2 and 4.
  const double r_mean = (pair_lod(rows, 0, 2).r + pair_lod(rows, 0, 4).r + pair_lod(rows, 2, 4).r) / 3.0;
  EXPECT_NEAR(blocks.mean_r(0, 0), r_mean, 1e-6);
}

TEST(HeatSummary, UnrecombinedPairsCountAtTheTopOfTheLodScale) {
  std::mt19937 random(4);
  auto rows = random_rows(random, 3, 60, {kCodeA, kCodeB, kCodeH});
  rows[1] = rows[0];  // r = 0 between markers 0 and 1
  const HeatSummary s = summarise_pairs(pointers(rows), 3, PopulationType::F2);
  EXPECT_EQ(s.unrecombined[s.index(0, 1)], 1u);
  EXPECT_EQ(s.mean_lod(0, 1, 42.0), 42.0);
  EXPECT_LT(s.largest_lod, 9999.0f);
  EXPECT_EQ(s.mean_lod(0, 2, 42.0), pair_lod(rows, 0, 2).lod);
}

TEST(HeatSummary, LinkageFadesWithDistanceInTheSummary) {
  // On a chain, the mean r of neighbouring blocks is below that of distant
  // ones at every size, sampled or not.
  std::mt19937 random(8);
  const auto rows = chain_rows(random, 400, 120, 0.03);
  for (const std::size_t pixels : {400u, 100u, 20u}) {
    const HeatSummary s = summarise_pairs(pointers(rows), pixels, PopulationType::F2, 64);
    const std::size_t c = s.cells;
    EXPECT_LT(s.mean_r(0, 1), s.mean_r(0, c - 1)) << pixels;
    EXPECT_LT(s.mean_r(c / 2, c / 2 + 1), s.mean_r(c / 2, c / 10)) << pixels;
    EXPECT_GT(s.mean_lod(0, 1, 100.0), s.mean_lod(0, c - 1, 100.0)) << pixels;
  }
}

TEST(HeatSummary, TheSameSummaryAtAnyNumberOfThreads) {
  // Representatives around the slabs of 64 rows the threads share: the sums
  // are added in one order whatever the threads, so they agree bit for bit.
  std::mt19937 random(9);
  for (const std::size_t markers : {1u, 2u, 63u, 64u, 65u, 130u, 300u}) {
    const auto rows = chain_rows(random, markers, 70, 0.05);
    const HeatSummary one = summarise_pairs(pointers(rows), 1000, PopulationType::F2, kSampleBudget, 1);
    EXPECT_EQ(one.pairs_computed, markers * (markers - 1) / 2);
    for (const int threads : {2, 3, 64}) {
      const HeatSummary many = summarise_pairs(pointers(rows), 1000, PopulationType::F2, kSampleBudget, threads);
      EXPECT_EQ(many.pairs, one.pairs) << markers << " markers, " << threads << " threads";
      EXPECT_EQ(many.unrecombined, one.unrecombined);
      EXPECT_EQ(many.r_sum, one.r_sum);
      EXPECT_EQ(many.lod_sum, one.lod_sum);
      EXPECT_EQ(many.largest_lod, one.largest_lod);
      EXPECT_EQ(many.pairs_computed, one.pairs_computed);
    }
  }
}

// --- Genotype graph pixels ---------------------------------------------------------

TEST(GenotypePixels, BlocksCoverEveryItemOnceAndFlagsAlwaysShow) {
  for (const auto& [items, pixels] : std::vector<std::pair<std::size_t, std::size_t>>{{7, 7}, {10, 3}, {3, 10}, {1000, 7}}) {
    const auto blocks = pixel_blocks(items, pixels);
    ASSERT_EQ(blocks.size(), pixels);
    EXPECT_EQ(blocks.front().first, 0u);
    EXPECT_EQ(blocks.back().last, items);
    for (std::size_t p = 0; p < pixels; ++p) {
      EXPECT_LT(blocks[p].first, blocks[p].last);
      if (p > 0 && items >= pixels) {
        EXPECT_EQ(blocks[p].first, blocks[p - 1].last);
      }
    }
  }
  std::vector<interop::MapMarker> markers(6);
  for (auto& m : markers) m.codes = {kCodeA, kCodeA, kCodeH, kCodeB};
  markers[4].codes[1] = kFlagged;
  std::vector<const interop::MapMarker*> rows;
  for (const auto& m : markers) rows.push_back(&m);
  // The flag inside a block wins; elsewhere the middle genotype shows.
  EXPECT_EQ(summary_code(rows, {3, 6}, {0, 2}), kFlagged);
  EXPECT_EQ(summary_code(rows, {0, 3}, {0, 2}), kCodeA);
  EXPECT_EQ(summary_code(rows, {0, 6}, {2, 4}), kCodeH);
  EXPECT_EQ(summary_code(rows, {4, 5}, {3, 4}), kCodeB);
}

}  // namespace
}  // namespace tarvek::draw
