#include "linkage/pair_lod.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "genotype/genotype_table.hpp"
#include "linkage/lod_planes.hpp"
#include "support/linkage_checks.hpp"

namespace tarvek {
namespace {

constexpr int M = 0, A = 1, B = 2, C = 3, D = 4, H = 5, FLAGGED = 6;

// Two loci, one column per individual.
std::vector<GenotypeRow> two_loci(GenotypeRow first, GenotypeRow second) {
  return {std::move(first), std::move(second)};
}

// AA x4, BB x3, HH, AH, AB: X = 8, Y = 1, Z = 1, W = 1, N = 10.
std::vector<GenotypeRow> ten_individuals() {
  return two_loci({A, A, A, A, B, B, B, H, A, A}, {A, A, A, A, B, B, B, H, H, B});
}

TEST(PairLod, TenIndividualsGiveTheSameResultWithBothEstimators) {
  // r = (1 + 0.5*1)/10 = 0.15; q = 0.85
  // LOD = log10(0.745) + 7 log10(0.7225) + log10(0.1275) + log10(0.0225)
  //       - 9 log10(0.25) - log10(0.5)
  //     = -0.12785 - 0.98820 - 0.89449 - 1.64782 + 5.41854 + 0.30103 = 2.0612(8)
  const auto rows = ten_individuals();
  const PairLod grouping = pair_lod(rows, 0, 1);
  const PairLod neighbour = adjacent_pair_lod(rows, 0, 1);
  EXPECT_NEAR(grouping.r, 0.15f, 1e-6);
  EXPECT_NEAR(grouping.lod, 2.0613, 1e-4);
  EXPECT_NEAR(neighbour.r, 0.15f, 1e-6);
  EXPECT_NEAR(neighbour.lod, 2.0613, 1e-4);
}

TEST(PairLod, DominantCodesAreSplitForGroupingAndCountedWholeForNeighbours) {
  // Extra individuals CB, DA and (missing, A).
  auto rows = ten_individuals();
  rows[0].insert(rows[0].end(), {C, D, M});
  rows[1].insert(rows[1].end(), {B, A, A});

  // Split: CB -> 1/3 BB + 2/3 HB; DA -> 1/3 AA + 2/3 HA.
  // X = 8 + 2/3 = 26/3, Y = 1, Z = 1 + 4/3 = 7/3, W = 1, N = 12
  // r = (1 + 7/6)/12 = 13/72 = 0.180556
  const PairLod grouping = pair_lod(rows, 0, 1);
  EXPECT_NEAR(grouping.r, 13.0 / 72.0, 1e-6);
  EXPECT_NEAR(grouping.lod, 2.0221, 1e-4);

  // Whole: CB and DA both in X. X = 10, Y = 1, Z = 1, W = 1, N = 12, r = 1.5/12.
  const PairLod neighbour = adjacent_pair_lod(rows, 0, 1);
  EXPECT_NEAR(neighbour.r, 0.125f, 1e-6);
  EXPECT_NEAR(neighbour.lod, 3.0054, 1e-4);
}

TEST(PairLod, IdenticalCodominantRowsGiveZeroRecombination) {
  // H H pairs fall in W (inside X) and must not make r positive.
  const auto rows = two_loci({A, B, H, H, A, M}, {A, B, H, H, A, M});
  for (const PairLod& result : {pair_lod(rows, 0, 1), adjacent_pair_lod(rows, 0, 1)}) {
    EXPECT_EQ(result.r, 0.0f);
    EXPECT_EQ(result.lod, 9999.0f);
  }
}

TEST(PairLod, EstimateAboveOneHalfIsReportedAsOneHalf) {
  // AB, AB, AH: Y = 2, Z = 1, N = 3, r = 2.5/3 = 0.833 -> 0.5.
  // At r = 0.5 every term cancels: (Y + Z) log10(0.25) - N log10(0.25) = 0.
  const auto rows = two_loci({A, A, A}, {B, B, H});
  const PairLod grouping = pair_lod(rows, 0, 1);
  EXPECT_EQ(grouping.r, 0.5f);
  EXPECT_NEAR(grouping.lod, 0.0, 1e-5);
  const PairLod neighbour = adjacent_pair_lod(rows, 0, 1);
  EXPECT_EQ(neighbour.r, 0.5f);
  EXPECT_EQ(neighbour.lod, 0.00001f);
}

TEST(PairLod, IndividualsMissingAtEitherLocusAddNothing) {
  const auto base = ten_individuals();
  auto padded = base;
  padded[0].insert(padded[0].begin(), {M, B, M});
  padded[1].insert(padded[1].begin(), {A, M, M});
  for (auto estimator : {&pair_lod, &adjacent_pair_lod}) {
    const PairLod expected = estimator(base, 0, 1);
    const PairLod actual = estimator(padded, 0, 1);
    EXPECT_FLOAT_EQ(actual.r, expected.r);
    EXPECT_FLOAT_EQ(actual.lod, expected.lod);
  }
}

TEST(PairLod, DominantCodeAtBothLociIsSpreadOverBothSplits) {
  // Only scored individual is C, locus paired with itself.
  // CC -> 1/9 BB, 2/9 BH, 2/9 HB, 4/9 HH: X = 5/9, Z = 4/9, W = 4/9, N = 1.
  // r = 0.5 * 4/9 = 2/9, q = 7/9
  // LOD = 4/9 log10(53/81) + 1/9 log10(49/81) + 4/9 log10(14/81)
  //       - 5/9 log10(0.25) - 4/9 log10(0.5) = 0.02332
  const std::vector<GenotypeRow> rows = {{C, M, M}};
  const PairLod self = pair_lod(rows, 0, 0);
  EXPECT_NEAR(self.r, 2.0 / 9.0, 1e-6);
  EXPECT_NEAR(self.lod, 0.02332, 1e-4);

  // The matrix diagonal is therefore not 9999 for such a locus.
  const LodPlanes matrix = build_lod_planes(rows);
  ASSERT_EQ(matrix.n, 1u);
  EXPECT_EQ(testing::lod_of(matrix, 0, 0), self.lod);
}

TEST(PairLod, NeighbourEstimatorAssignsDominantCodesWholeAndSkipsFlagged) {
  // AC -> Z, CC -> X (not W), (6, A) and (B, 6) nowhere.
  // X = 1, Z = 1, Y = 0, W = 0, N = 2, r = 0.25, q = 0.75
  // LOD = log10(0.5625) + log10(0.1875) - 2 log10(0.25) = -0.24988 - 0.72700 + 1.20412 = 0.22724
  // (with CC in W it would be log10(0.625) - 0.72700 + 0.60206 + 0.30103 = -0.02803)
  const auto rows = two_loci({A, C, FLAGGED, B}, {C, C, A, FLAGGED});
  const PairLod result = adjacent_pair_lod(rows, 0, 1);
  EXPECT_EQ(result.r, 0.25f);
  EXPECT_NEAR(result.lod, 0.22724, 1e-4);

  // D with B is Z, D with H is X: (D,B),(H,D) -> r = 0.5/2 = 0.25 as well.
  const PairLod other = adjacent_pair_lod(two_loci({D, H}, {B, D}), 0, 1);
  EXPECT_EQ(other.r, 0.25f);
}

TEST(PairLod, NoIndividualScoredAtBothLociGivesNoLinkAndNoNaN) {
  for (const auto& rows :
       {two_loci({A, M, M}, {M, B, M}), two_loci({M, M}, {M, M}), two_loci({}, {})}) {
    const PairLod grouping = pair_lod(rows, 0, 1);
    EXPECT_EQ(grouping.r, 0.5f);
    EXPECT_EQ(grouping.lod, 0.0f);
    const PairLod neighbour = adjacent_pair_lod(rows, 0, 1);
    EXPECT_EQ(neighbour.r, 0.5f);
    EXPECT_EQ(neighbour.lod, 0.00001f);
  }
  // Flagged codes only: nothing tallied by the neighbour estimator either.
  const PairLod flagged = adjacent_pair_lod(two_loci({FLAGGED, A}, {A, FLAGGED}), 0, 1);
  EXPECT_EQ(flagged.r, 0.5f);
  EXPECT_FALSE(std::isnan(flagged.lod));
}

TEST(PairLod, MapDistanceUsesBaseTenLogarithm) {
  // 25 log10(1.2/0.8) = 25 * 0.1760913 = 4.40228 (natural log would give 10.1366)
  EXPECT_NEAR(map_distance(0.1f), 4.40228, 1e-5);
  // 25 log10(1.25/0.75) = 5.54622
  EXPECT_NEAR(map_distance(0.125f), 5.54622, 1e-5);
  EXPECT_EQ(map_distance(0.0f), 0.0);
}

TEST(LodPlanes, EntryInRowIColumnJIsPairLodOfIThenJ) {
  const std::vector<GenotypeRow> rows = {
      {A, A, B, H, C, D, M}, {A, H, B, H, B, A, A}, {B, B, A, D, C, H, M}};
  const LodPlanes matrix = build_lod_planes(rows);
  ASSERT_EQ(matrix.n, 3u);
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = 0; j < 3; ++j)
      EXPECT_EQ(testing::lod_of(matrix, i, j), pair_lod(rows, i, j).lod) << i << "," << j;
  EXPECT_EQ(build_lod_planes({}).n, 0u);
}

}  // namespace
}  // namespace tarvek
