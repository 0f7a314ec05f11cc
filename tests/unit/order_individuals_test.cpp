#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

#include "genotype/genotype_codes.hpp"
#include "genotype/scoring_matrix.hpp"
#include "ordering/order_random.hpp"
#include "ordering/pair_score_matrix.hpp"
#include "run/order_individuals.hpp"
#include "support/channels.hpp"
#include "support/fixtures.hpp"

namespace tarvek {
namespace {


constexpr int M = kMissing, A = kCodeA, B = kCodeB, C = kCodeC, H = kCodeH, F = kFlagged;

using testing::recombination_matrix;

TEST(IndividualScoreMatrix, EntrySumsScoreOfFirstIndividualCodeThenSecondOverLoci) {
  ScoringMatrix s{};
  for (int i = 0; i < 6; ++i)
    for (int j = 0; j < 6; ++j) s[i][j] = 10 * i + j;
  // Two loci (rows), three individuals (columns).
  const std::vector<GenotypeRow> rows = {{A, B, F}, {C, M, H}};
  testing::CapturedChannels io;
  const PairScoreMatrix m = individual_score_matrix(s, rows, 3, io.channels, fastest_kernels());
  ASSERT_EQ(m.n, 3u);
  EXPECT_EQ(score_at(m, 0, 1), 12 + 30);  // S[A][B] + S[C][-]
  EXPECT_EQ(score_at(m, 1, 0), 21 + 3);   // S[B][A] + S[-][C]
  EXPECT_EQ(score_at(m, 0, 2), 0 + 35);   // S[A][*] + S[C][H]
  EXPECT_EQ(score_at(m, 2, 0), 0 + 53);   // S[*][A] + S[H][C]
  EXPECT_EQ(score_at(m, 1, 2), 0 + 5);    // S[B][*] + S[-][H]
  EXPECT_EQ(score_at(m, 2, 1), 0 + 50);   // S[*][B] + S[H][-]
  EXPECT_EQ(score_at(m, 0, 0), 11 + 33);
  EXPECT_EQ(score_at(m, 2, 2), 0 + 55);
}

TEST(OrderIndividuals, OrdersIndividualsByTheirPairScores) {
  // Individuals across three loci: 0 = A,A,A; 1 = H,H,H; 2 = H,H,A.
  // d(0,1) = 3, d(0,2) = 2, d(1,2) = 1. From seed 6 the start is 0,1,2
  // (score 4); run 1 inserts 0 into [2,1] at the front (2 < 4 gap, 3 back):
  // 0,2,1 scoring 3; run 2 gives 1,2,0 also scoring 3, so 0,2,1 is kept.
  const std::vector<GenotypeRow> rows = {{A, H, H}, {A, H, H}, {A, H, A}};
  std::vector<int> order = {0, 1, 2};
  OrderRandom random;
  seed_order_random(random, 6);
  testing::CapturedChannels io;
  order_individuals(recombination_matrix(), rows, order, random, io.channels, fastest_kernels());
  EXPECT_EQ(order, (std::vector<int>{0, 2, 1}));
  EXPECT_EQ(io.console_text(), "Running LINKSORT on group of size=3\n");
  EXPECT_EQ(io.log_text().rfind("Running LINKSORT on the order of individuals\n"
                             "Running LINKSORT!, groupsize=3. Randomizing order...\n"
                             "randomized score=4\n",
                             0),
            0u);
  EXPECT_NE(io.log_text().find("\nLINKSORT Done, using score 3\n\n"), std::string::npos);
}

TEST(OrderIndividuals, ResultIsAlwaysAPermutation) {
  const std::vector<GenotypeRow> rows = {{A, B, H, A, B, H, M, A},
                                         {B, B, A, H, M, A, H, F},
                                         {H, A, B, B, A, M, A, B}};
  OrderRandom random;
  seed_order_random(random, 6);
  for (int round = 0; round < 3; ++round) {
    std::vector<int> order(8);
    std::iota(order.begin(), order.end(), 0);
    testing::CapturedChannels io;
    order_individuals(recombination_matrix(), rows, order, random, io.channels, fastest_kernels());
    std::vector<int> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7})) << "round " << round;
  }
}

TEST(OrderIndividuals, OneIndividualIsLeftAsItIsButTheLogLineIsWritten) {
  const std::vector<GenotypeRow> rows = {{A}, {B}};
  std::vector<int> order = {0};
  OrderRandom random;
  seed_order_random(random, 6);
  testing::CapturedChannels io;
  order_individuals(recombination_matrix(), rows, order, random, io.channels, fastest_kernels());
  EXPECT_EQ(order, (std::vector<int>{0}));
  EXPECT_EQ(io.log_text(), "Running LINKSORT on the order of individuals\n");
  EXPECT_EQ(io.console_text(), "");
  EXPECT_EQ(draw_order_random(random), 31820);  // no draw consumed
}

}  // namespace
}  // namespace tarvek
