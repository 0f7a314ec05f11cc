#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include "ordering/linksort.hpp"
#include "ordering/order_random.hpp"
#include "ordering/pair_score_matrix.hpp"
#include "support/channels.hpp"
#include "support/ordering_checks.hpp"

namespace tarvek {
namespace {

using testing::reversal_passes;
using testing::window_placement;

PairScoreMatrix matrix_of(std::initializer_list<std::initializer_list<std::int32_t>> rows) {
  PairScoreMatrix m = make_pair_score_matrix(rows.size());
  std::size_t a = 0;
  for (const auto& row : rows) {
    std::size_t b = 0;
    for (std::int32_t v : row) score_at(m, a, b++) = v;
    ++a;
  }
  return m;
}

TEST(OrderRandom, SeedDiscardsOneDrawAndStreamFollowsTheGenerator) {
  OrderRandom random;
  // Seed 6: state = 6 * 22695477 + 1 = 136172863; 136172863 >> 16 = 2077
  // (2077 * 65536 = 136118272, remainder 54591), & 0x7FFF = 2077: discarded.
  seed_order_random(random, 6);
  const int expected[] = {31820, 32473, 17167, 31717, 17190};
  for (int value : expected) EXPECT_EQ(draw_order_random(random), value);

  // Seed 0: state 1 after the discarded draw (value 0); the next state is
  // 22695478, and 22695478 >> 16 = 346 (346 * 65536 = 22675456).
  seed_order_random(random, 0);
  EXPECT_EQ(draw_order_random(random), 346);
}

TEST(OrderRandom, PickRandomTakesFloorOfDrawTimesCountOver32768) {
  OrderRandom random;
  seed_order_random(random, 6);
  std::vector<std::int32_t> remaining = {10, 20, 30, 40, 50};
  // 31820*5/32768 = 4.86 -> idx 4; 32473*4/32768 = 3.96 -> idx 3;
  // 17167*3/32768 = 1.57 -> idx 1; 31717*2/32768 = 1.94 -> idx 1; then idx 0.
  EXPECT_EQ(pick_random(remaining, random), 50);
  EXPECT_EQ(remaining, (std::vector<std::int32_t>{10, 20, 30, 40}));
  EXPECT_EQ(pick_random(remaining, random), 40);
  EXPECT_EQ(pick_random(remaining, random), 20);
  EXPECT_EQ(remaining, (std::vector<std::int32_t>{10, 30}));
  EXPECT_EQ(pick_random(remaining, random), 30);
  EXPECT_EQ(pick_random(remaining, random), 10);
  EXPECT_TRUE(remaining.empty());
}

TEST(OrderRandom, RandomOrderWritesPicksReversedAndConsumesOneDrawPerItem) {
  OrderRandom random;
  seed_order_random(random, 6);
  for (int i = 0; i < 5; ++i) draw_order_random(random);
  const int sixth = draw_order_random(random);

  seed_order_random(random, 6);
  MarkerOrder order = {10, 20, 30, 40, 50};
  random_order(order, random);
  // Picks 50, 40, 20, 30, 10 (see above); the last pick comes first.
  EXPECT_EQ(order, (MarkerOrder{10, 30, 20, 40, 50}));
  EXPECT_EQ(draw_order_random(random), sixth);
}

TEST(WindowPlacement, TwoItemsSwapAndTotalReadsLastThenSecondLast) {
  const PairScoreMatrix m = matrix_of({{0, 5}, {7, 0}});
  MarkerOrder order = {0, 1};
  // P = [1, 0]; total = M[1][0] = 7.
  EXPECT_EQ(window_placement(m, order), 7);
  EXPECT_EQ(order, (MarkerOrder{1, 0}));
}

TEST(WindowPlacement, TieRulesFrontThenEarliestGapBackOnlyWhenStrictlyCheapest) {
  // Order {0,1,2}: P starts [2,1] with total M[2][1]; item 0 costs
  // front M[0][2], gap M[2][0]+M[1][0]-M[2][1], back M[1][0].
  {
    const PairScoreMatrix m = matrix_of({{0, 3, 3}, {3, 0, 3}, {3, 3, 0}});
    MarkerOrder order = {0, 1, 2};
    // front 3, gap 3+3-3 = 3, back 3: all tie, the front wins; total 3+3.
    EXPECT_EQ(window_placement(m, order), 6);
    EXPECT_EQ(order, (MarkerOrder{0, 2, 1}));
  }
  {
    const PairScoreMatrix m = matrix_of({{0, 2, 5}, {2, 0, 3}, {5, 3, 0}});
    MarkerOrder order = {0, 1, 2};
    // front 5, gap 5+2-3 = 4, back 2: appended; total 3+2.
    EXPECT_EQ(window_placement(m, order), 5);
    EXPECT_EQ(order, (MarkerOrder{2, 1, 0}));
  }
  {
    const PairScoreMatrix m = matrix_of({{0, 5, 5}, {5, 0, 8}, {5, 8, 0}});
    MarkerOrder order = {0, 1, 2};
    // front 5, gap 5+5-8 = 2, back 5: the gap; total 8+2.
    EXPECT_EQ(window_placement(m, order), 10);
    EXPECT_EQ(order, (MarkerOrder{2, 0, 1}));
  }
  {
    // Four items, inserted 3, 2, then 1, then 0. P = [3,2], total 1.
    // Item 1: front d(1,3)=4, gap 4+1-1 = 4, back d(2,1)=1 -> [3,2,1], +1.
    // Item 0: front 5, gaps 5+0-1 = 4 and 0+5-1 = 4, back 5 -> earlier gap.
    const PairScoreMatrix m =
        matrix_of({{0, 5, 0, 5}, {5, 0, 1, 4}, {0, 1, 0, 1}, {5, 4, 1, 0}});
    MarkerOrder order = {0, 1, 2, 3};
    EXPECT_EQ(window_placement(m, order), 6);
    EXPECT_EQ(order, (MarkerOrder{3, 0, 2, 1}));
  }
}

TEST(WindowPlacement, AsymmetricMatrixReadsEachLookupInItsOwnOrientation) {
  {
    // total M[2][1] = 10; front M[0][2] = 6; gap M[2][0]+M[1][0]-M[2][1] =
    // 1+4-10 = -5; back M[1][0] = 4 -> gap, total 10-5 = 5.
    const PairScoreMatrix m = matrix_of({{0, 0, 6}, {4, 0, 0}, {1, 10, 0}});
    MarkerOrder order = {0, 1, 2};
    EXPECT_EQ(window_placement(m, order), 5);
    EXPECT_EQ(order, (MarkerOrder{2, 0, 1}));
  }
  {
    // front M[0][2] = 5; gap 9+3-1 = 11; back M[1][0] = 3 (M[0][1] is 9)
    // -> appended, total 1+3.
    const PairScoreMatrix m = matrix_of({{0, 9, 5}, {3, 0, 1}, {9, 1, 0}});
    MarkerOrder order = {0, 1, 2};
    EXPECT_EQ(window_placement(m, order), 4);
    EXPECT_EQ(order, (MarkerOrder{2, 1, 0}));
  }
  {
    // front M[0][2] = 2 (M[2][0] is 9); gap 9+4-1 = 12; back M[1][0] = 4
    // (M[0][1] is 0) -> front, total 1+2.
    const PairScoreMatrix m = matrix_of({{0, 0, 2}, {4, 0, 1}, {9, 1, 0}});
    MarkerOrder order = {0, 1, 2};
    EXPECT_EQ(window_placement(m, order), 3);
    EXPECT_EQ(order, (MarkerOrder{0, 2, 1}));
  }
}

TEST(ReversalPasses, WithoutCandidatesOnePassLineCarriesTheStartScore) {
  const PairScoreMatrix m = matrix_of({{0, 1, 9}, {1, 0, 1}, {9, 1, 0}});
  for (std::size_t n : {1u, 2u, 3u}) {
    testing::CapturedChannels io;
    MarkerOrder order = {2, 0, 1};
    order.resize(n);
    const MarkerOrder before = order;
    reversal_passes(m, order, 42, io.channels);
    EXPECT_EQ(io.log_text(), "pass 1, 0 reverses made, score is 42\n") << "n=" << n;
    EXPECT_EQ(order, before);
  }
}

TEST(ReversalPasses, FourItemsTryOnlyPrefixAndSuffixAndZeroChangeIsNotApplied) {
  // Prefix d = d(0,2)-d(1,2) = 0 and suffix d = d(1,3)-d(1,2) = 0: neither
  // applied. Reversing 1..2 would gain 1+1-5-5 = -8 but is never tried.
  const PairScoreMatrix m =
      matrix_of({{0, 5, 1, 9}, {5, 0, 1, 1}, {1, 1, 0, 5}, {9, 1, 5, 0}});
  testing::CapturedChannels io;
  MarkerOrder order = {0, 1, 2, 3};
  reversal_passes(m, order, 11, io.channels);
  EXPECT_EQ(io.log_text(), "pass 1, 0 reverses made, score is 11\n");
  EXPECT_EQ(order, (MarkerOrder{0, 1, 2, 3}));
}

TEST(ReversalPasses, StartScoreOf2147483647StillGetsItsFirstPass) {
  // The score before the first pass counts as one above the start; at the
  // largest 32-bit score that must not wrap to the smallest. The prefix
  // reversal here gains 2 - 9 = -7, so the pass also applies it.
  const PairScoreMatrix m =
      matrix_of({{0, 9, 2, 9}, {9, 0, 9, 9}, {2, 9, 0, 9}, {9, 9, 9, 0}});
  for (const bool plain : {false, true}) {
    testing::CapturedChannels io;
    MarkerOrder order = {0, 1, 2, 3};
    if (plain) {
      plain_reversal_passes(m, order, 2147483647, io.channels);
    } else {
      reversal_passes(m, order, 2147483647, io.channels);
    }
    EXPECT_EQ(io.log_text(),
              "pass 1, 1 reverses made, score is 2147483640\n"
              "pass 2, 0 reverses made, score is 2147483640\n")
        << (plain ? "plain" : "fast");
    EXPECT_EQ(order, (MarkerOrder{1, 0, 2, 3}));
  }
}

TEST(ReversalPasses, NegativeStartScoreRunsNoPass) {
  const PairScoreMatrix m =
      matrix_of({{0, 1, 2, 9}, {1, 0, 5, 9}, {2, 5, 0, 1}, {9, 9, 1, 0}});
  testing::CapturedChannels io;
  MarkerOrder order = {0, 1, 2, 3};
  reversal_passes(m, order, -1, io.channels);
  EXPECT_EQ(io.log_text(), "");
  EXPECT_EQ(order, (MarkerOrder{0, 1, 2, 3}));
}

TEST(ReversalPasses, InnerSegmentReversalIsAppliedAndPassesRepeat) {
  // d(i,j) = |x_i - x_j| with x = 0, 2, 1, 3, 4. Order 0,1,2,3,4 scores 6.
  // k=2: prefix d(0,2)-d(1,2) = 0 (kept); inner 1..2: d(0,2)+d(1,3)-d(0,1)
  // -d(2,3) = 1+1-2-2 = -2 -> reversed, running score 4; the rest >= 0.
  const int x[] = {0, 2, 1, 3, 4};
  PairScoreMatrix m = make_pair_score_matrix(5);
  for (int a = 0; a < 5; ++a)
    for (int b = 0; b < 5; ++b) score_at(m, a, b) = x[a] > x[b] ? x[a] - x[b] : x[b] - x[a];
  testing::CapturedChannels io;
  MarkerOrder order = {0, 1, 2, 3, 4};
  reversal_passes(m, order, 6, io.channels);
  EXPECT_EQ(order, (MarkerOrder{0, 2, 1, 3, 4}));
  EXPECT_EQ(io.log_text(),
            "pass 1, 1 reverses made, score is 4\n"
            "pass 2, 0 reverses made, score is 4\n");
}

TEST(ReversalPasses, AsymmetricMatrixUsesTheBorderFormulasAsWritten) {
  // Prefix d = M[0][2] - M[1][2] = 0-3 = -3: applied although the true change
  // is +7 (M[1][0] = 10), and the transposed reading M[2][0]-M[2][1] = 5
  // would reject it. Then on 1,0,2,3: suffix M[0][3]-M[0][2] = 1 (kept);
  // pass 2: prefix M[1][2]-M[0][2] = 3, suffix 1: nothing.
  const PairScoreMatrix m =
      matrix_of({{0, 0, 0, 1}, {10, 0, 3, 0}, {5, 0, 0, 0}, {0, 0, 0, 0}});
  testing::CapturedChannels io;
  MarkerOrder order = {0, 1, 2, 3};
  reversal_passes(m, order, 20, io.channels);
  EXPECT_EQ(order, (MarkerOrder{1, 0, 2, 3}));
  EXPECT_EQ(io.log_text(),
            "pass 1, 1 reverses made, score is 17\n"
            "pass 2, 0 reverses made, score is 17\n");
}

TEST(OrderScore, SumsNeighbourPairsInOrderAndWrapsIn32Bits) {
  const std::int32_t big = std::numeric_limits<std::int32_t>::max();
  const PairScoreMatrix m = matrix_of({{0, big, 7}, {3, 0, 1}, {2, 4, 0}});
  EXPECT_EQ(order_score(m, {}), 0);
  EXPECT_EQ(order_score(m, {1}), 0);
  EXPECT_EQ(order_score(m, {2, 1, 0}), 4 + 3);
  EXPECT_EQ(order_score(m, {0, 1, 2}), std::numeric_limits<std::int32_t>::min());
}

TEST(Linksort, FewerThanTwoItemsAreLeftAloneSilentlyWithoutDraws) {
  OrderRandom random;
  const PairScoreMatrix m = matrix_of({{0, 1}, {1, 0}});
  for (MarkerOrder order : {MarkerOrder{}, MarkerOrder{1}}) {
    seed_order_random(random, 6);
    testing::CapturedChannels io;
    const MarkerOrder before = order;
    linksort(m, order, random, io.channels, fastest_kernels());
    EXPECT_EQ(order, before);
    EXPECT_EQ(io.log_text(), "");
    EXPECT_EQ(io.console_text(), "");
    EXPECT_EQ(draw_order_random(random), 31820);
  }
}

// d(0,1) = 10, d(1,2) = 1, d(0,2) = 2. From seed 6 the random start of three
// items is the identity (picks at idx 2, 1, 0, written back reversed): score
// 11. Run 1 inserts 0 into [2,1]: front 2, gap 2+10-1 = 11, back 10 -> front,
// [0,2,1] with 3. Run 2 inserts 0 into [1,2]: front 10, gap 11, back 2 ->
// [1,2,0], also 3, so the search stops and keeps [0,2,1].
const char* const kThreeItemLog =
    "Running LINKSORT!, groupsize=3. Randomizing order...\n"
    "randomized score=11\n"
    "\nLINKSORT run 1\n"
    "inital window placement score = 3\n"
    "pass 1, 0 reverses made, score is 3\n"
    "score = 3\n"
    "\nLINKSORT run 2\n"
    "inital window placement score = 3\n"
    "pass 1, 0 reverses made, score is 3\n"
    "score = 3\n"
    "\nLINKSORT Done, using score 3\n\n";

TEST(Linksort, ThreeItemsFullLogConsoleLineResultAndDrawCount) {
  OrderRandom random;
  const PairScoreMatrix m = matrix_of({{0, 10, 2}, {10, 0, 1}, {2, 1, 0}});
  seed_order_random(random, 6);
  testing::CapturedChannels io;
  MarkerOrder order = {0, 1, 2};
  linksort(m, order, random, io.channels, fastest_kernels());
  EXPECT_EQ(order, (MarkerOrder{0, 2, 1}));
  EXPECT_EQ(io.log_text(), kThreeItemLog);
  EXPECT_EQ(io.console_text(), "Running LINKSORT on group of size=3\n");
  EXPECT_EQ(draw_order_random(random), 31717);  // three draws used, the fourth is next
}

TEST(Linksort, PartialOrderNeverReadsRowsOrColumnsOutsideIt) {
  OrderRandom random;
  // Items 0, 2, 5 carry the same scores as the three-item case above
  // (0 -> 0, 1 -> 2, 2 -> 5); every other row and column is huge.
  const std::int32_t huge = 1000000;
  PairScoreMatrix m = make_pair_score_matrix(6);
  for (int a = 0; a < 6; ++a)
    for (int b = 0; b < 6; ++b) score_at(m, a, b) = (a == b) ? 0 : huge;
  score_at(m, 0, 2) = score_at(m, 2, 0) = 10;
  score_at(m, 2, 5) = score_at(m, 5, 2) = 1;
  score_at(m, 0, 5) = score_at(m, 5, 0) = 2;
  seed_order_random(random, 6);
  testing::CapturedChannels io;
  MarkerOrder order = {0, 2, 5};
  linksort(m, order, random, io.channels, fastest_kernels());
  EXPECT_EQ(order, (MarkerOrder{0, 5, 2}));
  EXPECT_EQ(io.log_text(), kThreeItemLog);
}

TEST(Linksort, TwoItemsKeepTheOrderFromBeforeTheRunThatFailedToImprove) {
  OrderRandom random;
  {
    // Random start [0,1] (31820*2/32768 -> idx 1, then idx 0) scores 3; the
    // placement reverses it to score 5, so [0,1] is kept.
    const PairScoreMatrix m = matrix_of({{0, 3}, {5, 0}});
    seed_order_random(random, 6);
    testing::CapturedChannels io;
    MarkerOrder order = {0, 1};
    linksort(m, order, random, io.channels, fastest_kernels());
    EXPECT_EQ(order, (MarkerOrder{0, 1}));
    EXPECT_EQ(io.log_text(),
              "Running LINKSORT!, groupsize=2. Randomizing order...\n"
              "randomized score=3\n"
              "\nLINKSORT run 1\n"
              "inital window placement score = 5\n"
              "pass 1, 0 reverses made, score is 5\n"
              "score = 5\n"
              "\nLINKSORT Done, using score 3\n\n");
  }
  {
    // Start 5 -> run 1 gives [1,0] with 3 -> run 2 gives [0,1] with 5 -> [1,0].
    const PairScoreMatrix m = matrix_of({{0, 5}, {3, 0}});
    seed_order_random(random, 6);
    testing::CapturedChannels io;
    MarkerOrder order = {0, 1};
    linksort(m, order, random, io.channels, fastest_kernels());
    EXPECT_EQ(order, (MarkerOrder{1, 0}));
    EXPECT_NE(io.log_text().find("\nLINKSORT run 2\n"), std::string::npos);
    EXPECT_NE(io.log_text().find("\nLINKSORT Done, using score 3\n\n"), std::string::npos);
  }
}

TEST(Linksort, NegativeRandomisedScoreSkipsTheRuns) {
  OrderRandom random;
  const PairScoreMatrix m = matrix_of({{0, -1}, {4, 0}});
  seed_order_random(random, 6);
  testing::CapturedChannels io;
  MarkerOrder order = {0, 1};
  linksort(m, order, random, io.channels, fastest_kernels());
  EXPECT_EQ(order, (MarkerOrder{0, 1}));
  EXPECT_EQ(io.log_text(),
            "Running LINKSORT!, groupsize=2. Randomizing order...\n"
            "randomized score=-1\n"
            "\nLINKSORT Done, using score -1\n\n");
}

}  // namespace
}  // namespace tarvek
