#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "genotype/screening.hpp"
#include "support/channels.hpp"

namespace tarvek {
namespace {

struct Screened {
  int result;
  std::string log;
};

// Screens a locus named L7 and returns the result with everything logged.
Screened screen(float t, float m, float a, float b, float c, float d, float h,
                const ScreeningThresholds& thresholds,
                PopulationType population = PopulationType::F2) {
  testing::CapturedChannels io;
  const int result =
      screen_locus("L7", t, m, a, b, c, d, h, thresholds, io.channels, population);
  return {result, io.log_text()};
}

const ScreeningThresholds kDefaults{0.2f, 50.0f, 50.0f, 50.0f};

TEST(Screening, StatisticsArePearsonSumsOverTheFullRow) {
  EXPECT_FLOAT_EQ(chi2_1to1(100, 50, 50), 0.0f);
  EXPECT_FLOAT_EQ(chi2_1to1(100, 60, 40), 4.0f);    // 2*100/100 + 2*100/100
  EXPECT_FLOAT_EQ(chi2_1to1(100, 45, 45), 1.0f);    // 10 missing: 2*25/100 twice
  EXPECT_FLOAT_EQ(chi2_1to1(100, 0, 0), 100.0f);    // 2*2500/100 twice
  EXPECT_FLOAT_EQ(chi2_1to2to1(100, 25, 25, 50), 0.0f);
  EXPECT_FLOAT_EQ(chi2_1to2to1(100, 35, 25, 40), 6.0f);  // 4*100/100 + 0 + 2*100/100
  EXPECT_FLOAT_EQ(chi2_1to2to1(100, 25, 35, 40), 6.0f);
  EXPECT_FLOAT_EQ(chi2_1to3(100, 20, 80), 4.0f / 3.0f);  // 4*25/100 + 4*25/300
  EXPECT_FLOAT_EQ(chi2_1to3(100, 25, 75), 0.0f);
  EXPECT_FLOAT_EQ(chi2_1to3(100, 35, 65), 16.0f / 3.0f);  // 4*100/100 + 4*100/300
}

// With every chi-square threshold far below zero any test that runs rejects,
// so the log names the test chosen; an empty log means no test was made.
TEST(Screening, TestIsChosenFromTheClassesPresentAtTenthsOfTheRow) {
  const ScreeningThresholds always{1.0f, -10.0f, -10.0f, -10.0f};
  struct Case {
    float m, a, b, c, d, h;
    const char* test;  // "" = no segregation test
  };
  const Case cases[] = {
      {0, 50, 50, 0, 0, 0, "AB"},     {100, 0, 0, 0, 0, 0, "AB"},
      {0, 100, 0, 0, 0, 0, "AB"},     {0, 25, 25, 0, 0, 50, "1:2:1"},
      {0, 0, 0, 0, 0, 100, "1:2:1"},  {0, 25, 25, 9, 0, 41, "1:2:1"},  // c 9 < 10
      {0, 25, 25, 0, 9, 41, "1:2:1"}, {0, 30, 30, 10, 0, 30, ""},      // c 10 not < 10
      {0, 10, 0, 20, 0, 70, ""},      {0, 70, 0, 30, 0, 0, ""},        // c 30 not > 30
      {0, 69, 0, 31, 0, 0, "AC"},     {0, 20, 0, 80, 0, 0, "AC"},
      {0, 20, 0, 40, 40, 0, "AC"},    {0, 0, 90, 0, 10, 0, ""},        // d 10 not > 10
      {0, 0, 89, 0, 11, 0, "BD"},     {0, 0, 20, 0, 80, 0, "BD"},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& k = cases[i];
    const Screened s = screen(100, k.m, k.a, k.b, k.c, k.d, k.h, always);
    const std::string where = "case " + std::to_string(i);
    if (std::string(k.test).empty()) {
      EXPECT_EQ(s.result, kAccepted) << where;
      EXPECT_EQ(s.log, "") << where;
    } else {
      EXPECT_EQ(s.result, kBadSegregation) << where;
      EXPECT_NE(s.log.find(std::string(", bad ") + k.test + "  segregation"), std::string::npos)
          << where << "\n" << s.log;
    }
  }
}

TEST(Screening, EachTestUsesItsOwnThresholdStrictlyAfterItsDegreesOfFreedom) {
  // 1:1, statistic 4: 4 - 1 = 3 against index 1.
  Screened s = screen(100, 0, 60, 40, 0, 0, 0, {0.2f, 2.9f, 0.0f, 0.0f});
  EXPECT_EQ(s.result, kBadSegregation);
  EXPECT_EQ(s.log, "rejecting loci L7, bad AB  segregation, chi square=4\n");
  s = screen(100, 0, 60, 40, 0, 0, 0, {0.2f, 3.0f, 0.0f, 0.0f});
  EXPECT_EQ(s.result, kAccepted);
  EXPECT_EQ(s.log, "");

  // 1:2:1, statistic 6: 6 - 2 = 4 against index 2.
  s = screen(100, 0, 35, 25, 0, 0, 40, {0.2f, 0.0f, 3.9f, 0.0f});
  EXPECT_EQ(s.result, kBadSegregation);
  EXPECT_EQ(s.log, "rejecting loci L7, bad 1:2:1  segregation, chi square=6\n");
  EXPECT_EQ(screen(100, 0, 35, 25, 0, 0, 40, {0.2f, 0.0f, 4.0f, 0.0f}).result, kAccepted);

  // A:C, statistic 1.33333: 0.33333 against index 3.
  s = screen(100, 0, 20, 0, 80, 0, 0, {0.2f, 0.0f, 0.0f, 0.33f});
  EXPECT_EQ(s.result, kBadSegregation);
  EXPECT_EQ(s.log, "rejecting loci L7, bad AC  segregation, chi square=1.33333\n");
  EXPECT_EQ(screen(100, 0, 20, 0, 80, 0, 0, {0.2f, 0.0f, 0.0f, 0.34f}).result, kAccepted);

  // B:D counts b and d, not a: with a 20, b 0, d 80 the statistic is
  // 4*625/100 + 4*25/300 = 25.3333.
  s = screen(100, 0, 20, 0, 0, 80, 0, {0.2f, 0.0f, 0.0f, 0.0f});
  EXPECT_EQ(s.log, "rejecting loci L7, bad BD  segregation, chi square=25.3333\n");
  s = screen(100, 0, 0, 20, 0, 80, 0, {0.2f, 100.0f, 100.0f, 0.0f});
  EXPECT_EQ(s.log, "rejecting loci L7, bad BD  segregation, chi square=1.33333\n");
}

TEST(Screening, StatisticIsLoggedWithSixSignificantDigits) {
  // t 3, a 2, b 1: 2*0.25/3 twice = 0.333333...
  Screened s = screen(3, 0, 2, 1, 0, 0, 0, {1.0f, -1.0f, 0.0f, 0.0f});
  EXPECT_EQ(s.log, "rejecting loci L7, bad AB  segregation, chi square=0.333333\n");
  // A million missing entries: 2*(5e5)^2/1e6 twice = 1e6.
  s = screen(1e6f, 1e6f, 0, 0, 0, 0, 0, kDefaults);
  EXPECT_EQ(s.log, "rejecting loci L7, bad AB  segregation, chi square=1e+06\n");
}

TEST(Screening, AllMissingFailsSegregationBeforeTheMissingTest) {
  // 1:1 with a = b = 0: statistic 100, 100 - 1 > 50.
  const Screened s = screen(100, 100, 0, 0, 0, 0, 0, kDefaults);
  EXPECT_EQ(s.result, kBadSegregation);
  EXPECT_EQ(s.log, "rejecting loci L7, bad AB  segregation, chi square=100\n");
}

TEST(Screening, MissingShareMustExceedTheThreshold) {
  // 20 of 100 is exactly the threshold 0.2: kept. (1:1 statistic 4 passes.)
  Screened s = screen(100, 20, 40, 40, 0, 0, 0, kDefaults);
  EXPECT_EQ(s.result, kAccepted);
  EXPECT_EQ(s.log, "");
  s = screen(100, 21, 40, 39, 0, 0, 0, kDefaults);
  EXPECT_EQ(s.result, kExcessMissing);
  EXPECT_EQ(s.log, "rejecting loci L7, too many missing values, 21 missing values\n");
  // Without a segregation test the missing test still applies.
  s = screen(100, 10, 10, 0, 20, 0, 60, {0.05f, 0.0f, 0.0f, 0.0f});
  EXPECT_EQ(s.result, kExcessMissing);
  EXPECT_EQ(s.log, "rejecting loci L7, too many missing values, 10 missing values\n");
}

TEST(Screening, MissingEntriesInflateTheStatistic) {
  // a 45, b 45, m 10: statistic 1, so 1 - 1 = 0 is not above 0 but is above -0.01.
  EXPECT_EQ(screen(100, 10, 45, 45, 0, 0, 0, {0.2f, 0.0f, 0.0f, 0.0f}).result, kAccepted);
  const Screened s = screen(100, 10, 45, 45, 0, 0, 0, {0.2f, -0.01f, 0.0f, 0.0f});
  EXPECT_EQ(s.result, kBadSegregation);
  EXPECT_EQ(s.log, "rejecting loci L7, bad AB  segregation, chi square=1\n");
}

// --- Two-class populations -------------------------------------------------

TEST(TwoClassScreening, OneToOneTestOfTheTypesTwoClasses) {
  const ScreeningThresholds strict{1.0f, 2.9f, 50.0f, 50.0f};
  // Backcross scored A/H: 60 A, 40 H give 4; the 1:2:1 test never runs.
  Screened s = screen(100, 0, 60, 0, 0, 0, 40, strict, PopulationType::BC1);
  EXPECT_EQ(s.result, kBadSegregation);
  EXPECT_EQ(s.log, "rejecting loci L7, bad AH  segregation, chi square=4\n");
  // Backcross scored B/H, as a marker with switched alleles reads.
  s = screen(100, 0, 0, 40, 0, 0, 60, strict, PopulationType::BC1);
  EXPECT_EQ(s.log, "rejecting loci L7, bad BH  segregation, chi square=4\n");
  EXPECT_EQ(screen(100, 0, 50, 0, 0, 0, 50, kDefaults, PopulationType::BC1).result, kAccepted);
  // An F2 reads a backcross marker of 200 individuals as a bad 1:2:1 locus:
  // 4*50^2/200 twice = 100.
  EXPECT_EQ(screen(200, 0, 100, 0, 0, 0, 100, kDefaults).result, kBadSegregation);
  EXPECT_EQ(screen(200, 0, 100, 0, 0, 0, 100, kDefaults, PopulationType::BC1).result, kAccepted);
  for (const PopulationType type :
       {PopulationType::DH, PopulationType::RIL, PopulationType::RILsib}) {
    s = screen(100, 0, 40, 60, 0, 0, 0, strict, type);
    EXPECT_EQ(s.log, "rejecting loci L7, bad AB  segregation, chi square=4\n");
    EXPECT_EQ(screen(100, 0, 40, 60, 0, 0, 0, kDefaults, type).result, kAccepted);
  }
}

TEST(TwoClassScreening, CodesTheTypeCannotHaveCountAsMissingAndAreListed) {
  // RIL with 10 H, 4 C, 2 D and 5 missing: 21 of 100 count as missing.
  // The 1:1 statistic is that of a 40, b 39 over t 100.
  Screened s = screen(100, 5, 40, 39, 4, 2, 10, kDefaults, PopulationType::RIL);
  EXPECT_EQ(s.result, kExcessMissing);
  EXPECT_EQ(s.log,
            "loci L7, codes impossible in RIL counted as missing: C 4, D 2, H 10\n"
            "rejecting loci L7, too many missing values, 21 missing values\n");
  // With 20 counted as missing the marker stays, and its codes are still listed.
  s = screen(100, 5, 40, 40, 4, 1, 10, kDefaults, PopulationType::DH);
  EXPECT_EQ(s.result, kAccepted);
  EXPECT_EQ(s.log, "loci L7, codes impossible in DH counted as missing: C 4, D 1, H 10\n");
  // In a backcross the rarer homozygote is the impossible one.
  s = screen(100, 0, 45, 3, 0, 0, 52, kDefaults, PopulationType::BC1);
  EXPECT_EQ(s.result, kAccepted);
  EXPECT_EQ(s.log, "loci L7, codes impossible in BC1 counted as missing: B 3\n");
  s = screen(100, 0, 3, 45, 0, 0, 52, kDefaults, PopulationType::BC1);
  EXPECT_EQ(s.log, "loci L7, codes impossible in BC1 counted as missing: A 3\n");
  // The segregation test comes first: a rejection for segregation leaves
  // the missing-value test out, the impossible codes inflating the statistic.
  // 2*40^2/100 twice = 64.
  s = screen(100, 0, 10, 10, 0, 0, 80, kDefaults, PopulationType::DH);
  EXPECT_EQ(s.result, kBadSegregation);
  EXPECT_EQ(s.log,
            "loci L7, codes impossible in DH counted as missing: H 80\n"
            "rejecting loci L7, bad AB  segregation, chi square=64\n");
}

}  // namespace
}  // namespace tarvek

namespace tarvek {
namespace {

Screened screen_typed(float t, float m, float a, float b, float c, float d, float h,
                      const ScreeningThresholds& thresholds,
                      PopulationType population = PopulationType::F2) {
  testing::CapturedChannels io;
  const int result =
      screen_locus("L7", t, m, a, b, c, d, h, thresholds, io.channels, population, true);
  return {result, io.log_text()};
}

// Twenty of a hundred missing. Classic 1:1: 2·100/100 twice = 4; 1:2:1:
// 4·25/100 twice + 2·100/100 = 4; A:C: 4·25/100 + 4·225/300 = 4. Among the
// 80 typed each marker is exactly Mendelian (statistic 0).
TEST(Screening, AmongTheTypedGenotypesEachTestExpectsFractionsOfTheTyped) {
  const ScreeningThresholds strict{1.0f, 2.9f, 1.9f, 2.9f};
  EXPECT_EQ(screen(100, 20, 40, 40, 0, 0, 0, strict).result, kBadSegregation);
  EXPECT_EQ(screen_typed(100, 20, 40, 40, 0, 0, 0, strict).result, kAccepted);
  EXPECT_EQ(screen(100, 20, 20, 20, 0, 0, 40, strict).result, kBadSegregation);
  EXPECT_EQ(screen_typed(100, 20, 20, 20, 0, 0, 40, strict).result, kAccepted);
  EXPECT_EQ(screen(100, 20, 20, 0, 60, 0, 0, strict).result, kBadSegregation);
  EXPECT_EQ(screen_typed(100, 20, 20, 0, 60, 0, 0, strict).result, kAccepted);
  // Fifty typed, 40 A and 10 B: 2·225/50 twice = 18.
  EXPECT_EQ(screen_typed(100, 50, 40, 10, 0, 0, 0, {1.0f, 10.0f, 10.0f, 10.0f}).log,
            "rejecting loci L7, bad AB  segregation, chi square=18\n");
  // The missing-value test is the same: 21 of 100.
  EXPECT_EQ(screen_typed(100, 21, 40, 39, 0, 0, 0, kDefaults).result, kExcessMissing);
  // Nothing typed: no segregation test, only the missing one.
  EXPECT_EQ(screen_typed(100, 100, 0, 0, 0, 0, 0, strict).result, kAccepted);
  // A backcross marker with 10 impossible B and 10 missing: 80 typed in A
  // and H, 40 each (classic: 2·100/100 twice = 4).
  EXPECT_EQ(screen(100, 10, 40, 10, 0, 0, 40, strict, PopulationType::BC1).result,
            kBadSegregation);
  EXPECT_EQ(screen_typed(100, 10, 40, 10, 0, 0, 40, strict, PopulationType::BC1).result,
            kAccepted);
  // The quiet check agrees with the screening.
  GenotypeRow row(100, 0);
  std::fill(row.begin() + 20, row.begin() + 60, 1);
  std::fill(row.begin() + 60, row.end(), 2);
  EXPECT_TRUE(segregates_among_typed(row, strict, PopulationType::F2));
  std::fill(row.begin() + 20, row.begin() + 70, 1);
  EXPECT_FALSE(segregates_among_typed(row, strict, PopulationType::F2));  // 50:30, 5 > 2.9
}

}  // namespace
}  // namespace tarvek
