#include "linkage/grouping.hpp"

#include <gtest/gtest.h>

#include <iostream>
#include <tuple>
#include <utility>
#include <vector>

#include "linkage/linkage_groups.hpp"
#include "linkage/lod_planes.hpp"
#include "support/channels.hpp"

namespace tarvek {
namespace {


struct Entry {
  std::size_t row, column;
  float lod;
};

// An n by n matrix of `fill`, with the listed entries set (row, column as given).
LodTable matrix_with(std::size_t n, std::initializer_list<Entry> entries, float fill = 0.0f) {
  std::vector<float> values(n * n, fill);
  for (const Entry& e : entries) values[e.row * n + e.column] = e.lod;
  return LodTable{n, std::move(values)};
}

LinkageGroups grouped(const LodTable& matrix, float core_LOD = 16.0f) {
  testing::CapturedChannels io;
  LinkageGroups groups;
  plain_core_grouping(matrix, groups, core_LOD, io.channels);
  return groups;
}

TEST(CoreGrouping, EmptyMatrixPrintsOnlyTheEntryMessage) {
  testing::CapturedChannels io;
  LinkageGroups groups;
  plain_core_grouping(LodTable{}, groups, 16.0f, io.channels);
  EXPECT_TRUE(groups.empty());
  EXPECT_EQ(io.console_text(), "core grouping...\n");
  EXPECT_EQ(io.log_text(), "core grouping...\n");
}

TEST(CoreGrouping, UnlinkedLociFoundOneGroupEachInIndexOrder) {
  EXPECT_EQ(grouped(matrix_with(4, {})), (LinkageGroups{{0}, {1}, {2}, {3}}));
}

TEST(CoreGrouping, LateLinksAbsorbLaterGroupsAndLeaveThemEmpty) {
  // 2 linked to 0 and 1: joins {0}, then absorbs {1}.
  EXPECT_EQ(grouped(matrix_with(3, {{2, 0, 20}, {2, 1, 20}})), (LinkageGroups{{0, 2, 1}, {}}));
  // 3 linked to 0 and 2 only: the group of 1 between them is untouched.
  EXPECT_EQ(grouped(matrix_with(4, {{3, 0, 20}, {3, 2, 20}})), (LinkageGroups{{0, 3, 2}, {1}, {}}));
  // After the first case, 3 links to 1 (now in group 1) and 4 links to nothing:
  // the empty group neither takes 3 nor 4, and 4 founds a group at the end.
  EXPECT_EQ(grouped(matrix_with(5, {{2, 0, 20}, {2, 1, 20}, {3, 1, 20}})),
            (LinkageGroups{{0, 2, 1, 3}, {}, {4}}));
  // Home is the first group linked to; absorbed blocks follow in list order.
  // 0-1 linked, 2 alone, 3 alone, 4 linked to 3, 2 and 1.
  EXPECT_EQ(grouped(matrix_with(5, {{1, 0, 20}, {4, 3, 20}, {4, 2, 20}, {4, 1, 20}})),
            (LinkageGroups{{0, 1, 4, 2, 3}, {}, {}}));
}

TEST(CoreGrouping, LinkMustExceedCoreLodStrictly) {
  EXPECT_EQ(grouped(matrix_with(2, {{1, 0, 16.0f}})), (LinkageGroups{{0}, {1}}));
  EXPECT_EQ(grouped(matrix_with(2, {{1, 0, 16.001f}})), (LinkageGroups{{0, 1}}));
  // r = 0 pairs (9999) link at any lower threshold.
  EXPECT_EQ(grouped(matrix_with(2, {{1, 0, 9999.0f}}), 9998.0f), (LinkageGroups{{0, 1}}));
}

TEST(CoreGrouping, ReadsOnlyEntriesBelowTheDiagonal) {
  // Upper triangle and diagonal huge, lower triangle 0: no links at all.
  std::vector<float> values(16, 0.0f);
  for (std::size_t i = 0; i < 4; ++i)
    for (std::size_t j = i; j < 4; ++j) values[i * 4 + j] = 1e6f;
  EXPECT_EQ(grouped(LodTable{4, values}), (LinkageGroups{{0}, {1}, {2}, {3}}));
  // The same matrix with one lower entry, row 3 column 1, links exactly that pair.
  values[3 * 4 + 1] = 20.0f;
  EXPECT_EQ(grouped(LodTable{4, values}), (LinkageGroups{{0}, {1, 3}, {2}}));
}

TEST(SortAndPruneGroups, PrintsCountAndCutCountOnConsoleAndLog) {
  const auto run = [](LinkageGroups groups) {
    testing::CapturedChannels io;
    sort_and_prune_groups(groups, io.channels);
    EXPECT_EQ(io.console_text(), io.log_text());
    return std::make_tuple(io.console_text(), groups);
  };
  // 14 groups, 3 of them empty.
  LinkageGroups fourteen;
  for (int g = 0; g < 14; ++g) fourteen.push_back(g % 5 == 1 ? LinkageGroup{} : LinkageGroup{g});
  auto [line14, after14] = run(fourteen);
  EXPECT_EQ(line14, "14 groups, cut to 11\n");
  EXPECT_EQ(after14.size(), 11u);

  auto [line0, after0] = run({});
  EXPECT_EQ(line0, "0 groups\n");
  EXPECT_TRUE(after0.empty());

  auto [line4, after4] = run({{5}, {1, 2}, {3}, {4, 6}});
  EXPECT_EQ(line4, "4 groups\n");
  // Decreasing size; equal sizes keep their order.
  EXPECT_EQ(after4, (LinkageGroups{{1, 2}, {4, 6}, {5}, {3}}));

  auto [line2, after2] = run({{0, 2, 1}, {}});
  EXPECT_EQ(line2, "2 groups, cut to 1\n");
  EXPECT_EQ(after2, (LinkageGroups{{0, 2, 1}}));
}

TEST(SortAndPruneGroups, StaysStableWithManyGroups) {
  testing::CapturedChannels io;
  // 20 groups: odd positions hold two loci, even positions one, the last two empty.
  LinkageGroups groups;
  for (int g = 0; g < 18; ++g) groups.push_back(g % 2 ? LinkageGroup{g, 100 + g} : LinkageGroup{g});
  groups.insert(groups.begin() + 7, LinkageGroup{});
  groups.insert(groups.begin() + 3, LinkageGroup{});
  sort_and_prune_groups(groups, io.channels);
  EXPECT_EQ(io.console_text(), "20 groups, cut to 18\n");
  const LinkageGroups expected = {{1, 101},  {3, 103},  {5, 105},  {7, 107}, {9, 109}, {11, 111},
                                  {13, 113}, {15, 115}, {17, 117}, {0},      {2},      {4},
                                  {6},       {8},       {10},      {12},     {14},     {16}};
  EXPECT_EQ(groups, expected);
}

struct SatelliteRun {
  LinkageGroups groups;
  std::string console, log;
};

SatelliteRun satellites(const LodTable& matrix, LinkageGroups groups, int chromosomes,
                        float min_LOD = 4.0f) {
  testing::CapturedChannels io;
  plain_place_satellites(matrix, groups, min_LOD, chromosomes, io.channels);
  return {groups, io.console_text(), io.log_text()};
}

TEST(PlaceSatellites, MergesBestLinkedSatelliteAndStopsWhenAPassMergesNothing) {
  // Sizes 5, 3, 2, 1 (given unsorted); chromosomes 2. The size-2 group links to the
  // first group through row 9 (satellite member), column 2. The entry row 5, column 9
  // is the transposed position and must not be read for this satellite.
  const LodTable matrix = matrix_with(11, {{9, 2, 10}, {5, 9, 50}});
  const auto result = satellites(matrix, {{10}, {8, 9}, {0, 1, 2, 3, 4}, {5, 6, 7}}, 2);
  EXPECT_EQ(result.groups, (LinkageGroups{{0, 1, 2, 3, 4, 8, 9}, {5, 6, 7}, {10}}));
  const std::string expected =
      "Placing satellites with threshold 4\n"
      "4 groups\n"
      "placing satellites.. 3 groups\n"
      "placing satellites.. 3 groups\n";
  EXPECT_EQ(result.console, expected);
  EXPECT_EQ(result.log, expected);
}

TEST(PlaceSatellites, SatelliteMayJoinAnotherSatelliteAndTravelWithIt) {
  // chromosomes 1: {3,4} links only to the later satellite {5}; {5} links to {0,1,2}.
  const LodTable matrix = matrix_with(6, {{3, 5, 10}, {5, 0, 6}});
  const auto result = satellites(matrix, {{0, 1, 2}, {3, 4}, {5}}, 1, 4.5f);
  EXPECT_EQ(result.groups, (LinkageGroups{{0, 1, 2, 5, 3, 4}}));
  EXPECT_EQ(result.console,
            "Placing satellites with threshold 4.5\n3 groups\nplacing satellites.. 1 groups\n");
}

TEST(PlaceSatellites, TiesGoToTheEarlierGroupAndMinLodItselfIsNoLink) {
  // {5} has LOD 8 to both {0,1,2} (via 1) and {3,4} (via 4): earlier group wins.
  EXPECT_EQ(satellites(matrix_with(6, {{5, 4, 8}, {5, 1, 8}}), {{0, 1, 2}, {3, 4}, {5}}, 2).groups,
            (LinkageGroups{{0, 1, 2, 5}, {3, 4}}));
  // A strictly larger LOD to the later group wins over the earlier one.
  EXPECT_EQ(satellites(matrix_with(6, {{5, 4, 9}, {5, 1, 8}}), {{0, 1, 2}, {3, 4}, {5}}, 2).groups,
            (LinkageGroups{{0, 1, 2}, {3, 4, 5}}));
  // LOD equal to min_LOD: no link, the satellite stays.
  const auto equal = satellites(matrix_with(6, {{5, 1, 4}}), {{0, 1, 2}, {3, 4}, {5}}, 2);
  EXPECT_EQ(equal.groups, (LinkageGroups{{0, 1, 2}, {3, 4}, {5}}));
  EXPECT_EQ(equal.console,
            "Placing satellites with threshold 4\n3 groups\nplacing satellites.. 3 groups\n");
  // Forty groups of one locus and the satellite {40}, tied at LOD 8 with the
  // 4th and the 31st group: the earlier still wins.
  LinkageGroups forty;
  for (int g = 0; g <= 40; ++g) forty.push_back({g});
  LinkageGroups expected(forty.begin(), forty.end() - 1);
  expected[3].push_back(40);
  EXPECT_EQ(satellites(matrix_with(41, {{40, 30, 8}, {40, 3, 8}, {40, 35, 7}}), forty, 40).groups,
            expected);
}

TEST(PlaceSatellites, WithZeroChromosomesEveryGroupIsASatellite) {
  // {0,1} links to {2} (symmetric entries), {3} links to nothing. The first group
  // itself is a satellite and moves into {2}.
  const auto three = satellites(matrix_with(4, {{0, 2, 10}, {2, 0, 10}}), {{0, 1}, {2}, {3}}, 0);
  EXPECT_EQ(three.groups, (LinkageGroups{{2, 0, 1}, {3}}));
  EXPECT_EQ(three.console,
            "Placing satellites with threshold 4\n3 groups\n"
            "placing satellites.. 2 groups\nplacing satellites.. 2 groups\n");
  // Two linked loci end as one group; the next pass has no other group to merge into.
  const auto two = satellites(matrix_with(2, {{0, 1, 10}, {1, 0, 10}}), {{0}, {1}}, 0);
  EXPECT_EQ(two.groups, (LinkageGroups{{1, 0}}));
  EXPECT_EQ(two.console,
            "Placing satellites with threshold 4\n2 groups\n"
            "placing satellites.. 1 groups\nplacing satellites.. 1 groups\n");
}

TEST(PlaceSatellites, PassWithoutSatellitesWhenOnlyEmptyGroupsWereSurplus) {
  // Core grouping left [{0,2,1},{}]; 2 groups > 1 chromosome, but after pruning 1 remains.
  const auto result = satellites(matrix_with(3, {}, 20.0f), {{0, 2, 1}, {}}, 1);
  EXPECT_EQ(result.groups, (LinkageGroups{{0, 2, 1}}));
  const std::string expected =
      "Placing satellites with threshold 4\n"
      "2 groups, cut to 1\n"
      "placing satellites.. 1 groups\n";
  EXPECT_EQ(result.console, expected);
  EXPECT_EQ(result.log, expected);
}

}  // namespace
}  // namespace tarvek
