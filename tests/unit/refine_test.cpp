#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "genotype/genotype_codes.hpp"
#include "genotype/scoring_matrix.hpp"
#include "ordering/linksort.hpp"
#include "ordering/order_random.hpp"
#include "refine/errsweep.hpp"
#include "refine/refine_group.hpp"
#include "support/channels.hpp"
#include "support/fixtures.hpp"

namespace tarvek {
namespace {


constexpr int M = kMissing, A = kCodeA, B = kCodeB, C = kCodeC, D = kCodeD, H = kCodeH,
              F = kFlagged;

using testing::recombination_matrix;

TEST(Errsweep, MissingOrFlaggedNeverConflictAndCodesOutOfRangeThrow) {
  for (const int code : {M, A, B, C, D, H, F}) {
    for (const int quiet : {M, F}) {
      EXPECT_EQ(conflict(quiet, code), 0.0f) << quiet << "," << code;
      EXPECT_EQ(conflict(code, quiet), 0.0f) << code << "," << quiet;
    }
    EXPECT_THROW(conflict(code, 7), std::out_of_range);
    EXPECT_THROW(conflict(-1, code), std::out_of_range);
  }
}

TEST(Errsweep, BothNeighboursMustConflictForASingleton) {
  {
    // Order entries are member positions; members map them to locus numbers.
    // Order positions 0,1,2 -> member 2,0,1 -> loci 3,5,7 holding B,A,B.
    std::vector<GenotypeRow> rows(8, GenotypeRow{M});
    rows[3] = {B};
    rows[5] = {A};
    rows[7] = {B};
    const std::vector<int> members = {5, 7, 3};
    MarkerOrder order = {2, 0, 1};
    std::vector<int> removed;
    testing::CapturedChannels io;
    // yhat = 0.5 * F[B][A] + 0.5 * F[B][A] = 1 > 0.95; share 1/1.
    EXPECT_EQ(find_singletons(rows, order, members, removed, 0.05f, io.channels), 1);
    EXPECT_EQ(order, (MarkerOrder{2, 1}));
    EXPECT_EQ(removed, (std::vector<int>{0}));
    EXPECT_EQ(rows[5], (GenotypeRow{F}));
    EXPECT_EQ(rows[3], (GenotypeRow{B}));
    EXPECT_EQ(io.log_text(), "1 individuals" "removing marker=5 at 1 for 1 singletons with score 1\n");
  }
  {
    // B, A, -: yhat 0.5; and "-" or "*" under test never conflicts.
    std::vector<GenotypeRow> rows = {{B, B, B}, {A, M, F}, {M, B, B}};
    const std::vector<GenotypeRow> before = rows;
    MarkerOrder order = {0, 1, 2};
    std::vector<int> removed;
    testing::CapturedChannels io;
    EXPECT_EQ(find_singletons(rows, order, {0, 1, 2}, removed, 0.05f, io.channels), 0);
    EXPECT_EQ(order, (MarkerOrder{0, 1, 2}));
    EXPECT_TRUE(removed.empty());
    EXPECT_EQ(rows, before);
    EXPECT_EQ(io.log_text(), "3 individuals");
  }
}

TEST(Errsweep, EndsGroupsOfTwoAndAShareEqualToTheThresholdAreKept) {
  testing::CapturedChannels quiet;
  {
    // Every individual conflicts with its one neighbour at both ends.
    std::vector<GenotypeRow> rows = {{A, A}, {B, B}, {A, A}, {B, B}};
    MarkerOrder two = {0, 1};
    std::vector<int> removed;
    EXPECT_EQ(find_singletons(rows, two, {0, 1}, removed, 0.0f, quiet.channels), 0);
    EXPECT_EQ(two, (MarkerOrder{0, 1}));
  }
  {
    // Middle locus: 1 of 4 individuals is a singleton, share 0.25, threshold
    // 0.25 (exact in float): not removed. Two of four (0.5) is removed.
    std::vector<GenotypeRow> rows = {{B, A, A, A}, {A, A, A, A}, {B, A, A, A}};
    MarkerOrder order = {0, 1, 2};
    std::vector<int> removed;
    EXPECT_EQ(find_singletons(rows, order, {0, 1, 2}, removed, 0.25f, quiet.channels), 0);
    rows[0][1] = B;
    rows[2][1] = B;
    testing::CapturedChannels io;
    EXPECT_EQ(find_singletons(rows, order, {0, 1, 2}, removed, 0.25f, io.channels), 1);
    EXPECT_EQ(rows[1], (GenotypeRow{F, F, A, A}));
    EXPECT_EQ(io.log_text(), "4 individuals" "removing marker=1 at 1 for 2 singletons with score 0.5\n");
  }
}

TEST(Errsweep, NeighbouringLociAreJudgedOnTheUnreducedOrderAndBothErased) {
  // Order 3,1,0,2 (members = identity). Individual 0 reads A,B,A,B along the
  // order: positions 1 and 2 both conflict with both neighbours. On a reduced
  // order position 2 would see A and B only (0.5). Individual 1 is all A;
  // individual 2 has "-" at position 1 and one conflict at position 2.
  std::vector<GenotypeRow> rows(4);
  rows[3] = {A, A, B};  // position 0
  rows[1] = {B, A, M};  // position 1
  rows[0] = {A, A, B};  // position 2
  rows[2] = {B, A, A};  // position 3
  MarkerOrder order = {3, 1, 0, 2};
  std::vector<int> removed;
  testing::CapturedChannels io;
  EXPECT_EQ(find_singletons(rows, order, {0, 1, 2, 3}, removed, 0.05f, io.channels), 2);
  EXPECT_EQ(removed, (std::vector<int>{1, 0}));  // order entries, by position
  EXPECT_EQ(order, (MarkerOrder{3, 2}));
  EXPECT_EQ(rows[1], (GenotypeRow{F, A, M}));
  EXPECT_EQ(rows[0], (GenotypeRow{F, A, B}));
  EXPECT_EQ(rows[3], (GenotypeRow{A, A, B}));
  EXPECT_EQ(rows[2], (GenotypeRow{B, A, A}));
  // Share 1/3 printed as a float with six significant digits.
  EXPECT_EQ(io.log_text(),
            "3 individuals"
            "removing marker=1 at 1 for 1 singletons with score 0.333333\n"
            "removing marker=0 at 2 for 1 singletons with score 0.333333\n");
}

// Singletons of three loci in file order (members 0, 1, 2 in that order),
// one individual per column, judged as markers of `type`. Returns the
// singleton genotypes left flagged in the middle row.
GenotypeRow middle_after_sweep(PopulationType type, std::vector<GenotypeRow> rows) {
  const std::vector<int> members = {0, 1, 2};
  MarkerOrder order = {0, 1, 2};
  std::vector<int> removed;
  testing::CapturedChannels io;
  find_singletons(rows, order, members, removed, 0.0f, io.channels, type);
  return rows[1];
}

TEST(Errsweep, TwoClassSingletonsDifferInClassFromBothNeighbours) {
  // Doubled haploids: the middle genotype differs from both neighbours in
  // individuals 0 (B A B) and 1 (A B A); individual 2 has one crossover,
  // individual 3 a missing neighbour.
  EXPECT_EQ(middle_after_sweep(PopulationType::DH, {{B, A, A, B}, {A, B, A, A}, {B, A, B, M}}),
            (GenotypeRow{F, F, A, A}));
  // A backcross: H A H and A H A are singletons.
  EXPECT_EQ(middle_after_sweep(PopulationType::BC1, {{H, A, A, H}, {A, H, A, A}, {H, A, H, M}}),
            (GenotypeRow{F, F, A, A}));
}

TEST(Errsweep, CodesATwoClassMarkerCannotHaveConflictWithNothing) {
  // Inbred lines: an H (impossible) beside a crossover does not make the
  // next genotype a singleton, and an H under test is never one: both would
  // be with the intercross conflicts.
  const std::vector<GenotypeRow> rows = {{H, A, A}, {A, H, A}, {B, B, B}};
  EXPECT_EQ(middle_after_sweep(PopulationType::F2, rows), (GenotypeRow{F, F, A}));
  EXPECT_EQ(middle_after_sweep(PopulationType::RIL, rows), (GenotypeRow{A, H, A}));
  // C and D carry no class either.
  EXPECT_EQ(middle_after_sweep(PopulationType::DH, {{C, B}, {A, D}, {B, B}}), (GenotypeRow{A, D}));
}

TEST(Errsweep, BackcrossMarkersScoredAgainstEitherHomozygoteMeetThroughTheirClasses) {
  // The middle marker is scored B/H between two A/H markers: B beside A is
  // no conflict (both homozygous), B between H and H is.
  const std::vector<GenotypeRow> rows = {{A, A, H, H, A}, {B, B, B, H, B}, {A, H, H, A, A}};
  EXPECT_EQ(middle_after_sweep(PopulationType::BC1, rows), (GenotypeRow{B, B, F, H, B}));
}

// Loci along an order with runs of scoring errors, so that some positions
// pass the threshold; positions span several blocks of the scan.
std::vector<GenotypeRow> noisy_rows(std::mt19937& rng, std::size_t loci, std::size_t individuals) {
  std::vector<GenotypeRow> rows(loci, GenotypeRow(individuals));
  for (std::size_t k = 0; k < individuals; ++k) {
    int code = A;
    for (std::size_t i = 0; i < loci; ++i) {
      if (rng() % 10 == 0) code = code == A ? H : code == H ? B : A;
      const unsigned noise = rng() % 100;
      rows[i][k] = noise < 4 ? static_cast<int>(rng() % 7) : code;
    }
  }
  return rows;
}

TEST(Errsweep, SameRemovalsRecodingAndLogForAnyNumberOfThreads) {
  std::mt19937 rng(77);
  // The last size is large enough to be shared among several threads.
  for (const std::size_t loci : {2, 3, 63, 64, 65, 130, 300, 1500}) {
    const std::vector<GenotypeRow> start = noisy_rows(rng, loci, loci == 1500 ? 300 : 1 + rng() % 90);
    std::vector<int> members(loci);
    for (std::size_t i = 0; i < loci; ++i) members[i] = static_cast<int>(loci - 1 - i);
    MarkerOrder first_order(loci);
    for (std::size_t i = 0; i < loci; ++i) first_order[i] = static_cast<std::int32_t>(i);
    std::shuffle(first_order.begin() + 1, first_order.end() - 1, rng);

    std::vector<GenotypeRow> rows1 = start;
    MarkerOrder order1 = first_order;
    std::vector<int> removed1;
    testing::CapturedChannels io1;
    const int count = find_singletons(rows1, order1, members, removed1, 0.02f, io1.channels, PopulationType::F2, 1);
    if (loci >= 64) {
      EXPECT_GT(count, 1) << loci;  // the case is worth checking
    }
    for (const int threads : {2, 7, 64}) {
      SCOPED_TRACE(::testing::Message() << loci << " loci, " << threads << " threads");
      std::vector<GenotypeRow> rows = start;
      MarkerOrder order = first_order;
      std::vector<int> removed;
      testing::CapturedChannels io;
      EXPECT_EQ(find_singletons(rows, order, members, removed, 0.02f, io.channels, PopulationType::F2, threads), count);
      EXPECT_EQ(rows, rows1);
      EXPECT_EQ(order, order1);
      EXPECT_EQ(removed, removed1);
      EXPECT_EQ(io.log_text(), io1.log_text());
    }
  }
}

TEST(Errsweep, AShortRowFailsAfterTheLinesOfTheRemovalsBeforeItWithAnyThreads) {
  // Position 1 is removed; the row at position 140 (in the third block of
  // positions) is too short to scan. Enough individuals to share the scan.
  std::vector<std::string> logs;
  for (const int threads : {1, 2, 7}) {
    std::vector<GenotypeRow> rows(200, GenotypeRow(3000, A));
    rows[1].assign(3000, B);
    rows[140] = {A};
    std::vector<int> members(200);
    for (int i = 0; i < 200; ++i) members[static_cast<std::size_t>(i)] = i;
    MarkerOrder order(members.begin(), members.end());
    std::vector<int> removed;
    testing::CapturedChannels io;
    EXPECT_THROW(find_singletons(rows, order, members, removed, 0.05f, io.channels, PopulationType::F2, threads),
                 std::out_of_range);
    logs.push_back(io.log_text());
  }
  EXPECT_EQ(logs[0], "3000 individualsremoving marker=1 at 1 for 3000 singletons with score 1\n");
  EXPECT_EQ(logs[1], logs[0]);
  EXPECT_EQ(logs[2], logs[0]);
}

TEST(Scorepair, SumsScoreOfFirstLocusCodeThenSecondAndRejectsBadIndices) {
  ScoringMatrix s{};
  for (int i = 0; i < 6; ++i)
    for (int j = 0; j < 6; ++j) s[i][j] = 10 * i + j;
  const std::vector<GenotypeRow> rows = {{A, B, H, M, F}, {B, B, C, D, A}};
  testing::CapturedChannels io;
  // S[1][2] + S[2][2] + S[5][3] + S[0][4] + S[6][1] = 12+22+53+4+0 = 91
  EXPECT_EQ(scorepair(s, rows, 0, 1, io.channels), 91);
  // S[2][1] + S[2][2] + S[3][5] + S[4][0] + S[1][6] = 21+22+35+40+0 = 118
  EXPECT_EQ(scorepair(s, rows, 1, 0, io.channels), 118);
  const int bad[][2] = {{-1, 0}, {0, 2}, {2, 0}, {0, -5}};
  for (const auto& p : bad) {
    testing::CapturedChannels bad_io;
    EXPECT_EQ(scorepair(s, rows, p[0], p[1], bad_io.channels), 0);
    EXPECT_EQ(bad_io.errors_text(), "Error in scorepair function, bad loc numbers");
  }
}

TEST(HammerIn, TiesGoToFrontThenEarliestGapAndBackOnlyWhenStrictlyCheapest) {
  // Order 0,1,2; removed entry 3 (locus 13). Costs from column 3 only:
  // front x0, gaps x0+x1 and x1+x2, back x2. Row 3 holds decoys.
  const struct { int x0, x1, x2; MarkerOrder order; const char* line; } cases[] = {
      {2, 0, 5, {3, 0, 1, 2}, "replaced singleton marker=13 at 0\n"},   // front = gap 1
      {4, -1, 4, {0, 3, 1, 2}, "replaced singleton marker=13 at 1\n"},  // gaps tie at 3
      {3, 0, 3, {3, 0, 1, 2}, "replaced singleton marker=13 at 0\n"},   // all tie
      {5, 1, 2, {0, 1, 2, 3}, "replaced singleton marker=13 at 3\n"},   // back 2 < 3
  };
  const std::vector<int> members = {10, 11, 12, 13};
  for (const auto& c : cases) {
    PairScoreMatrix m = make_pair_score_matrix(4);
    score_at(m, 0, 3) = c.x0;
    score_at(m, 1, 3) = c.x1;
    score_at(m, 2, 3) = c.x2;
    score_at(m, 3, 0) = score_at(m, 3, 1) = score_at(m, 3, 2) = -100;
    MarkerOrder order = {0, 1, 2};
    testing::CapturedChannels io;
    hammer_in(m, order, members, {3}, io.channels);
    EXPECT_EQ(order, c.order);
    EXPECT_EQ(io.log_text(), std::string(c.line) + "Replaced 1 markers in group of size 4\n");
  }
}

TEST(HammerIn, EntriesGoInListOrderAndSeeEarlierInsertions) {
  // Entry 4 first: front 9, gaps 18 and 10, back 1 -> appended at 3.
  // Entry 3 into 0,1,2,4: front 5, gaps 5, 0, 0+7, back M[4][3] = 7 -> gap 2.
  PairScoreMatrix m = make_pair_score_matrix(5);
  score_at(m, 0, 4) = 9;
  score_at(m, 1, 4) = 9;
  score_at(m, 2, 4) = 1;
  score_at(m, 0, 3) = 5;
  score_at(m, 4, 3) = 7;
  score_at(m, 3, 4) = -50;
  for (int i = 0; i < 3; ++i) score_at(m, 4, i) = score_at(m, 3, i) = -50;
  MarkerOrder order = {0, 1, 2};
  testing::CapturedChannels io;
  hammer_in(m, order, {10, 11, 12, 13, 14}, {4, 3}, io.channels);
  EXPECT_EQ(order, (MarkerOrder{0, 1, 3, 2, 4}));
  EXPECT_EQ(io.log_text(),
            "replaced singleton marker=14 at 3\n"
            "replaced singleton marker=13 at 2\n"
            "Replaced 2 markers in group of size 5\n");

  testing::CapturedChannels empty;
  MarkerOrder unchanged = {2, 0, 1};
  hammer_in(m, unchanged, {10, 11, 12, 13, 14}, {}, empty.channels);
  EXPECT_EQ(unchanged, (MarkerOrder{2, 0, 1}));
  EXPECT_EQ(empty.log_text(), "Replaced 0 markers in group of size 3\n");
}

// Members 4, 1, 2 (positions 0, 1, 2) over three individuals; rows 0 and 3
// are not in the group. Pair scores: pos0-pos1 = 3 (A/H three times),
// pos0-pos2 = 2, pos1-pos2 = 1. From seed 6 LINKSORT starts from 0,1,2
// (score 3+1 = 4), run 1 gives 0,2,1 (3), run 2 gives 1,2,0 (3): 0,2,1 kept.
std::vector<GenotypeRow> three_locus_rows() {
  return {{B, B, B}, {H, H, H}, {H, H, A}, {B, M, B}, {A, A, A}};
}

const char* const kThreeLocusLinksortLog =
    "Running LINKSORT!, groupsize=3. Randomizing order...\n"
    "randomized score=4\n"
    "\nLINKSORT run 1\ninital window placement score = 3\n"
    "pass 1, 0 reverses made, score is 3\nscore = 3\n"
    "\nLINKSORT run 2\ninital window placement score = 3\n"
    "pass 1, 0 reverses made, score is 3\nscore = 3\n"
    "\nLINKSORT Done, using score 3\n\n";

// Refines with the random stream seeded with 6, as the program does.
std::int32_t refine(std::vector<GenotypeRow>& rows, std::vector<int>& members,
                    std::vector<int>& removed, bool errsweep_on,
                    testing::CapturedChannels& io, std::vector<bool> set_aside = {}) {
  OrderRandom random;
  seed_order_random(random, 6);
  RefineSettings settings;
  settings.errsweep_on = errsweep_on;
  settings.set_aside = std::move(set_aside);
  return refine_group(recombination_matrix(), rows, members, removed, settings, random,
                      io.channels);
}

TEST(RefineGroup, WithoutErrsweepOneLinksortAndMembersInMapOrder) {
  std::vector<GenotypeRow> rows = three_locus_rows();
  std::vector<int> members = {4, 1, 2};
  std::vector<int> removed;
  testing::CapturedChannels io;
  EXPECT_EQ(refine(rows, members, removed, false, io), 3);
  EXPECT_EQ(members, (std::vector<int>{4, 2, 1}));
  EXPECT_TRUE(removed.empty());
  EXPECT_EQ(io.console_text(), "creating group score matrix...\nRunning LINKSORT on group of size=3\n");
  EXPECT_EQ(io.log_text(), std::string("creating the group score matrix , size=3\n") +
                            kThreeLocusLinksortLog + "\nLINKSORT done, score=3\n");
}

TEST(RefineGroup, WithErrsweepAndNothingRemovedStillReportsTheMainLoop) {
  // Along 4,2,1 the middle locus (H,H,A) meets A,A,A and H,H,H: each
  // individual conflicts with at most one neighbour.
  std::vector<GenotypeRow> rows = three_locus_rows();
  const std::vector<GenotypeRow> before = rows;
  std::vector<int> members = {4, 1, 2};
  std::vector<int> removed;
  testing::CapturedChannels io;
  EXPECT_EQ(refine(rows, members, removed, true, io), 3);
  EXPECT_EQ(members, (std::vector<int>{4, 2, 1}));
  EXPECT_TRUE(removed.empty());
  EXPECT_EQ(rows, before);
  EXPECT_EQ(io.console_text(),
            "creating group score matrix...\nRunning LINKSORT on group of size=3\n"
            "Main loop done!!!!, score=3\nHammering in removed markers...\n");
  EXPECT_EQ(io.log_text(), std::string("creating the group score matrix , size=3\n") +
                            kThreeLocusLinksortLog + "3 individuals" +
                            "\nMain loop done!!!!, score=3\nHammering in removed markers...\n"
                            "Replaced 0 markers in group of size 3\n"
                            "\nLINKSORT done, score=3\n");
}

TEST(RefineGroup, WithErrsweepARemovedLocusIsHammeredBackAndReportedByNumber) {
  // X = locus 3, Z = locus 0, Y = locus 1; members X, Z, Y. Seven individuals:
  //   X: A A A A A H B   Y: B H H A A H H   Z: A H H H H B H
  // Pair scores: XY = 2+1+1+0+0+0+1 = 5, YZ = 2+0+0+1+1+1+0 = 5,
  // XZ = 0+1+1+1+1+1+1 = 6. LINKSORT (start 0,1,2 scoring 11) ends with
  // X,Y,Z scoring 10. Individual 0 (A,B,A) is Y's only singleton: share 1/7.
  // Y is removed, its individual 0 becomes "*"; the two left keep X,Z (the
  // random start of two from the continued stream is again the identity,
  // score 6, and the placement's Z,X scores 6 too). Refreshed XY = YZ = 3;
  // hammering Y into X,Z: front 3, gap 3+3 = 6, back 3 -> front.
  // Final Y,X,Z scores 3 + 6 = 9.
  std::vector<GenotypeRow> rows(4);
  rows[3] = {A, A, A, A, A, H, B};
  rows[1] = {B, H, H, A, A, H, H};
  rows[0] = {A, H, H, H, H, B, H};
  rows[2] = {B, B, B, B, B, B, B};
  std::vector<int> members = {3, 0, 1};
  std::vector<int> removed;
  testing::CapturedChannels io;
  EXPECT_EQ(refine(rows, members, removed, true, io), 9);
  EXPECT_EQ(members, (std::vector<int>{1, 3, 0}));
  EXPECT_EQ(removed, (std::vector<int>{1}));
  EXPECT_EQ(rows[1], (GenotypeRow{F, H, H, A, A, H, H}));

  const std::string text = io.log_text();
  EXPECT_NE(text.find("7 individualsremoving marker=1 at 1 for 1 singletons with score "
                      "0.142857\nRemoved Singletons!, ReRunning LINKSORT\n\n"
                      "Running LINKSORT!, groupsize=2. Randomizing order...\n"
                      "randomized score=6\n"),
            std::string::npos);
  EXPECT_NE(text.find("\nMain loop done!!!!, score=6\nHammering in removed markers...\n"
                      "replaced singleton marker=1 at 0\n"
                      "Replaced 1 markers in group of size 3\n"
                      "\nLINKSORT done, score=9\n"),
            std::string::npos);
  EXPECT_NE(io.console_text().find("Removed Singletons!, ReRunning LINKSORT\n"
                            "Running LINKSORT on group of size=2\n"),
            std::string::npos);
}

TEST(RefineGroup, FrameworkOfFewerThanTwoLociRefinesTheGroupAsItIs) {
  // Everything set aside, or all but one: the group is ordered whole, with
  // the same log, order and score as without a framework.
  for (const std::vector<bool>& aside :
       {std::vector<bool>{true, true, true}, std::vector<bool>{true, false, true}}) {
    std::vector<GenotypeRow> rows = three_locus_rows(), plain_rows = three_locus_rows();
    std::vector<int> members = {4, 1, 2}, plain_members = {4, 1, 2};
    std::vector<int> removed, plain_removed;
    testing::CapturedChannels io, plain_io;
    EXPECT_EQ(refine(rows, members, removed, true, io, aside),
              refine(plain_rows, plain_members, plain_removed, true, plain_io));
    EXPECT_EQ(members, plain_members);
    EXPECT_EQ(io.log_text(), plain_io.log_text());
  }
}

TEST(RefineGroup, FrameworkLociArePlacedAfterTheOthersAreOrdered) {
  // Members 4, 1, 2 as above, 2 (H,H,A) set aside: the framework 4, 1 is
  // ordered alone, then 2 goes to its cheapest place. Against A,A,A (locus
  // 4) it scores 2, against H,H,H (locus 1) 1: with the framework 4 1 the
  // back (1) beats the front (2) and the gap (3).
  std::vector<GenotypeRow> rows = three_locus_rows();
  std::vector<int> members = {4, 1, 2};
  std::vector<int> removed;
  testing::CapturedChannels io;
  const std::int32_t score = refine(rows, members, removed, false, io, {false, false, true});
  const std::string log = io.log_text();
  EXPECT_NE(log.find("Ordering a framework of 2 codominant markers, 1 dominant markers set aside\n"),
            std::string::npos);
  EXPECT_NE(log.find("Running LINKSORT!, groupsize=2."), std::string::npos);
  EXPECT_NE(log.find("Placed 1 dominant markers into the framework, group of size 3\n"),
            std::string::npos);
  EXPECT_TRUE(members == (std::vector<int>{4, 1, 2}) || members == (std::vector<int>{2, 1, 4}));
  EXPECT_EQ(score, 3 + 1);
  EXPECT_TRUE(removed.empty());
}

TEST(PlaceIntoFramework, EachLocusGoesWhereTheFrameworkAloneWantsIt) {
  // Framework 0 1 2; entries 3 and 4 set aside. In the framework alone 3 is
  // cheapest at the back (m[2][3] = 1 against front 5 and gaps 10 and 6),
  // 4 at the front (2 against gaps 18 and 18 and back 9). Put in one after
  // the other, 4 would follow 3 to the back instead (m[3][4] = 0): dominant
  // markers, which score low against each other, would gather where the
  // first of them went.
  PairScoreMatrix m = make_pair_score_matrix(5);
  score_at(m, 0, 3) = 5;
  score_at(m, 1, 3) = 5;
  score_at(m, 2, 3) = 1;
  score_at(m, 0, 4) = 2;
  score_at(m, 1, 4) = 9;
  score_at(m, 2, 4) = 9;
  score_at(m, 3, 4) = 0;
  const std::vector<int> members = {10, 11, 12, 13, 14};
  MarkerOrder framework = {0, 1, 2};
  testing::CapturedChannels io;
  place_into_framework(m, framework, members, {3, 4}, io.channels);
  EXPECT_EQ(framework, (MarkerOrder{4, 0, 1, 2, 3}));
  EXPECT_EQ(io.log_text(),
            "placed marker=14 at 0\nplaced marker=13 at 4\n"
            "Placed 2 dominant markers into the framework, group of size 5\n");
  // One by one, as the loci ERRSWEEP took out are put back, 4 joins 3.
  MarkerOrder one_by_one = {0, 1, 2};
  testing::CapturedChannels quiet;
  hammer_in(m, one_by_one, members, {3, 4}, quiet.channels);
  EXPECT_EQ(one_by_one, (MarkerOrder{0, 1, 2, 3, 4}));
  // Entries that choose the same place stand there in the list's order: 5
  // also goes to the front (1 against gaps 18 and 18 and back 9).
  PairScoreMatrix wider = make_pair_score_matrix(6);
  for (std::size_t a = 0; a < 5; ++a)
    for (std::size_t b = 0; b < 5; ++b) score_at(wider, a, b) = score_at(m, a, b);
  score_at(wider, 0, 5) = 1;
  score_at(wider, 1, 5) = 9;
  score_at(wider, 2, 5) = 9;
  MarkerOrder shared = {0, 1, 2};
  place_into_framework(wider, shared, {10, 11, 12, 13, 14, 15}, {5, 3, 4}, quiet.channels);
  EXPECT_EQ(shared, (MarkerOrder{5, 4, 0, 1, 2, 3}));
}

}  // namespace
}  // namespace tarvek
