// The quality tables against counts worked out by hand: segregation among
// the typed individuals, crossovers per individual, bins and clones.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "interop/input_error.hpp"
#include "interop/map_reader.hpp"
#include "interop/quality.hpp"

namespace tarvek::interop {
namespace {

constexpr int M = kMissing, A = kCodeA, B = kCodeB, C = kCodeC, H = kCodeH, F = kFlagged;

GenotypeRow repeated(std::initializer_list<std::pair<int, int>> runs) {
  GenotypeRow row;
  for (const auto& [code, count] : runs) row.insert(row.end(), static_cast<std::size_t>(count), code);
  return row;
}

TEST(Segregation, PearsonAmongTheTypedIndividuals) {
  // 1:2:1 over 40 typed, expected 10, 20, 10: (20-10)²/10 + 0 + (0-10)²/10 = 20.
  Segregation s = segregation_test(repeated({{A, 20}, {H, 20}, {M, 15}}), PopulationType::F2);
  EXPECT_EQ(s.ratio, "1:2:1");
  EXPECT_EQ(s.typed, 40u);
  EXPECT_DOUBLE_EQ(s.chi2, 20.0);
  EXPECT_EQ(s.df, 2);
  EXPECT_NEAR(s.p, std::exp(-10.0), 1e-15);
  // 1:1 of A and B: 30 and 10, expected 20 each: 2 · 100/20 = 10.
  s = segregation_test(repeated({{A, 30}, {B, 10}, {F, 3}}), PopulationType::F2);
  EXPECT_EQ(s.ratio, "1:1");
  EXPECT_DOUBLE_EQ(s.chi2, 10.0);
  EXPECT_NEAR(s.p, std::erfc(std::sqrt(5.0)), 1e-15);
  // A dominant marker in its 1:3 ratio.
  s = segregation_test(repeated({{A, 10}, {C, 30}}), PopulationType::F2);
  EXPECT_EQ(s.ratio, "1:3");
  EXPECT_DOUBLE_EQ(s.chi2, 0.0);
  EXPECT_DOUBLE_EQ(s.p, 1.0);
  // A backcross marker scored B/H: 15 and 5, expected 10 each: 5; the
  // stray A is not one of its classes.
  s = segregation_test(repeated({{B, 15}, {H, 5}, {A, 1}}), PopulationType::BC1);
  EXPECT_EQ(s.typed, 20u);
  EXPECT_DOUBLE_EQ(s.chi2, 5.0);
  EXPECT_EQ(segregation_test(repeated({{M, 5}}), PopulationType::F2).df, 0);
}

MapMarker marker(const std::string& name, GenotypeRow codes, std::optional<double> r = std::nullopt) {
  MapMarker m;
  m.name = name;
  m.codes = std::move(codes);
  if (r) {
    NeighbourPair p;
    p.r = *r;
    m.next = p;
  }
  return m;
}

TEST(IndividualQuality, CrossoversWithinSegmentsMissingSharesAndCalls) {
  MapFile map;
  map.file = "x_map.loc";
  map.individual_order = {1, 0};  // column 0 holds individual 1
  map.individual_names = std::vector<std::string>{"first", "second"};
  // Group 1 in two segments (r 0.5 after m3). Column 0: A, -, B | H; column 1: A, H, H | B.
  map.groups.push_back({marker("m1", {A, A}, 0.1), marker("m2", {M, H}, 0.1), marker("m3", {B, H}, 0.5),
                        marker("m4", {H, B})});
  // Group 2: column 0: B, *, A, C (dominant: skipped); column 1 all H.
  map.groups.push_back({marker("n1", {B, H}, 0.1), marker("n2", {F, H}, 0.1), marker("n3", {A, H}, 0.1),
                        marker("n4", {C, H})});
  MapErrorCall call;
  call.group = 0;
  call.call.column = 1;
  const auto rows = individual_quality(map, PopulationType::F2, {call});
  ASSERT_EQ(rows.size(), 2u);
  // Individual 0 "first" is in column 1: A H H | B, H H H H: one crossover.
  EXPECT_EQ(rows[0].name, "first");
  EXPECT_EQ(rows[0].column, 1u);
  EXPECT_EQ(rows[0].crossovers, 1u);
  EXPECT_EQ(rows[0].errors_called, 1u);
  // Individual 1, column 0: A - B (two), then B * A (two) and C skipped.
  EXPECT_EQ(rows[1].crossovers, 4u);
  EXPECT_EQ(rows[1].missing, 1u);
  EXPECT_EQ(rows[1].flagged, 1u);
  EXPECT_DOUBLE_EQ(rows[1].missing_share, 2.0 / 8.0);
  std::ostringstream table;
  write_individual_table(table, rows);
  EXPECT_EQ(table.str(),
            "individual\tname\tcolumn\ttyped\tmissing\tflagged\tmissing_share\tcrossovers\terrors_called\tclone_of\n"
            "1\tfirst\t2\t8\t0\t0\t0.0000\t1\t1\tNA\n"
            "2\tsecond\t1\t6\t1\t1\t0.2500\t4\t0\tNA\n");
  map.individual_order = {0, 0};
  EXPECT_THROW(individual_quality(map, PopulationType::F2, {}), InputError);
}

TEST(Bins, IdenticalGenotypesWithFlagsReadAsMissingAndClones) {
  MapFile map;
  map.individual_order = {0, 1, 2};
  map.groups.push_back({marker("a", {A, H, M}, 0.1), marker("b", {B, H, B}, 0.1), marker("c", {A, H, F})});
  map.groups.push_back({marker("d", {B, H, B}), marker("e", {A, A, A})});
  const auto bins = marker_bins(map);
  ASSERT_EQ(bins.size(), 2u);
  EXPECT_EQ(bins[0].size(), 2u);  // a and c
  EXPECT_EQ(bins[0][1]->name, "c");
  EXPECT_EQ(bins[1][1]->name, "d");

  // 30 markers; individuals 0 and 2 differ at one of the 29 both typed.
  MapFile cross;
  cross.individual_order = {2, 0, 1};
  MapGroup group;
  for (int k = 0; k < 30; ++k) {
    const int first = k % 3 == 0 ? A : k % 3 == 1 ? H : B;
    group.push_back(marker("m" + std::to_string(k), {first, k % 2 == 0 ? A : B, k == 4 ? M : k == 7 ? A : first}));
  }
  cross.groups.push_back(group);
  const auto pairs = clone_pairs(cross);
  ASSERT_EQ(pairs.size(), 1u);
  EXPECT_EQ(pairs[0].a, 1u);  // columns 2 and 0 hold individuals 1 and 2
  EXPECT_EQ(pairs[0].b, 2u);
  EXPECT_EQ(pairs[0].compared, 29u);
  EXPECT_EQ(pairs[0].agreeing, 28u);
  EXPECT_TRUE(clone_pairs(cross, 0.99).empty());
}

}  // namespace
}  // namespace tarvek::interop
