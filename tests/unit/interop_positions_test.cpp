// Map functions, positions along groups and their segments, and Spearman's
// rank correlation with the comparison built on it.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "interop/exporters.hpp"
#include "interop/map_positions.hpp"

namespace tarvek::interop {
namespace {

MapMarker marker(const std::string& name, std::optional<double> r_to_next) {
  MapMarker m;
  m.name = name;
  if (r_to_next) {
    NeighbourPair p;
    p.r = *r_to_next;
    p.r_text = std::to_string(*r_to_next);
    p.lod_text = "1";
    m.next = p;
  }
  return m;
}

TEST(MapFunctions, KnownValuesAndTheLimits) {
  // Kosambi: 25·ln(1.5); Haldane: −50·ln(0.8).
  EXPECT_NEAR(distance_cm(MapFunction::kKosambi, 0.1), 10.1366277, 1e-6);
  EXPECT_NEAR(distance_cm(MapFunction::kHaldane, 0.1), 11.1571776, 1e-6);
  // The map file's dist column is the Kosambi distance in log10 units:
  // 4.40228 for r = 0.1.
  EXPECT_NEAR(distance_cm(MapFunction::kKosambi, 0.1) * std::log10(std::exp(1.0)), 4.40228, 1e-5);
  EXPECT_EQ(distance_cm(MapFunction::kKosambi, 0.0), 0.0);
  EXPECT_EQ(distance_cm(MapFunction::kHaldane, 0.0), 0.0);
  EXPECT_TRUE(std::isinf(distance_cm(MapFunction::kKosambi, 0.5)));
  EXPECT_TRUE(std::isinf(distance_cm(MapFunction::kHaldane, 0.5)));
  // Close to 0.5 the distances are large but finite and still increasing.
  EXPECT_GT(distance_cm(MapFunction::kKosambi, 0.499999), distance_cm(MapFunction::kKosambi, 0.49));
  EXPECT_GT(distance_cm(MapFunction::kKosambi, 0.49), 100.0);
  // Haldane is never shorter than Kosambi.
  for (const double r : {0.01, 0.1, 0.2, 0.3, 0.4, 0.45})
    EXPECT_GE(distance_cm(MapFunction::kHaldane, r), distance_cm(MapFunction::kKosambi, r)) << r;

  EXPECT_EQ(parse_map_function("kosambi"), MapFunction::kKosambi);
  EXPECT_EQ(parse_map_function("haldane"), MapFunction::kHaldane);
  EXPECT_FALSE(parse_map_function("Kosambi"));
}

TEST(Positions, AddUpAlongAGroupAndStartAgainAfterAnUnlinkedPair) {
  MapFile map;
  map.groups.push_back({marker("a", 0.1), marker("b", 0.2), marker("c", 0.5), marker("d", 0.0), marker("e", 0.05),
                        marker("f", std::nullopt)});
  map.groups.push_back({marker("g", std::nullopt)});
  const std::vector<PlacedGroup> placed = place_markers(map, MapFunction::kKosambi);
  ASSERT_EQ(placed.size(), 2u);
  const auto& p = placed[0].markers;
  const double ab = distance_cm(MapFunction::kKosambi, 0.1);
  const double bc = distance_cm(MapFunction::kKosambi, 0.2);
  const double ef = distance_cm(MapFunction::kKosambi, 0.05);
  EXPECT_EQ(placed[0].segments, 2);
  EXPECT_EQ(p[0].position_cm, 0.0);
  EXPECT_DOUBLE_EQ(p[1].position_cm, ab);
  EXPECT_DOUBLE_EQ(p[2].position_cm, ab + bc);
  EXPECT_EQ(p[2].segment, 1);
  EXPECT_FALSE(p[2].distance_to_next);
  EXPECT_EQ(p[3].segment, 2);
  EXPECT_EQ(p[3].position_cm, 0.0);
  EXPECT_EQ(p[4].position_cm, 0.0);
  EXPECT_DOUBLE_EQ(p[5].position_cm, ef);
  EXPECT_FALSE(p[5].distance_to_next);
  EXPECT_EQ(placed[1].segments, 1);
  EXPECT_EQ(placed[1].markers[0].position_cm, 0.0);

  EXPECT_EQ(segment_name(3, 1), "3");
  EXPECT_EQ(segment_name(3, 2), "3.2");
  EXPECT_EQ(format_cm(10.13662771), "10.1366");
  EXPECT_EQ(format_cm(0.0), "0.0000");
}

TEST(Spearman, PerfectReversedTiedAndUndefined) {
  EXPECT_DOUBLE_EQ(spearman({1, 2, 3, 4}, {10, 20, 35, 100}), 1.0);
  EXPECT_DOUBLE_EQ(spearman({1, 2, 3, 4}, {9, 7, 5, 1}), -1.0);
  // Ranks 1.5, 1.5, 3, 4 against 1, 2, 3, 4: 4.5 / sqrt(5 · 4.5).
  EXPECT_NEAR(spearman({1, 2, 3, 4}, {5, 5, 6, 7}), 4.5 / std::sqrt(22.5), 1e-12);
  // One swap of neighbours among five: 1 − 6·2 / (5·24) = 0.9.
  EXPECT_NEAR(spearman({1, 2, 3, 4, 5}, {1, 3, 2, 4, 5}), 0.9, 1e-12);
  EXPECT_TRUE(std::isnan(spearman({1}, {1})));
  EXPECT_TRUE(std::isnan(spearman({1, 2, 3}, {4, 4, 4})));
  EXPECT_TRUE(std::isnan(spearman({1, 2}, {1, 2, 3})));
}

TEST(Comparison, MajorityChromosomeAndOrderWithinIt) {
  MapFile map;
  // Group 1: four markers from chromosome 1 in reversed order, one from 2,
  // one not in the reference. Group 2: one marker each from 3 and 4 (a tie:
  // the first met wins).
  map.groups.push_back({marker("d", 0.1), marker("x", 0.1), marker("c", 0.1), marker("b", 0.1), marker("q", 0.1),
                        marker("a", std::nullopt)});
  map.groups.push_back({marker("s", 0.1), marker("t", std::nullopt)});
  const std::vector<ReferencePosition> reference = {
      {"a", "1", 1.0, "1"}, {"b", "1", 2.0, "2"}, {"c", "1", 3.0, "3"}, {"d", "1", 4.0, "4"},
      {"x", "2", 50.0, "50"}, {"s", "3", 1.0, "1"}, {"t", "4", 1.0, "1"}};
  const std::vector<GroupComparison> rows = compare_with_reference(map, reference);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].markers, 6u);
  EXPECT_EQ(rows[0].in_reference, 5u);
  EXPECT_EQ(rows[0].chromosome, "1");
  EXPECT_EQ(rows[0].on_chromosome, 4u);
  EXPECT_DOUBLE_EQ(rows[0].spearman, -1.0);
  EXPECT_EQ(rows[1].chromosome, "3");
  EXPECT_EQ(rows[1].on_chromosome, 1u);
  EXPECT_TRUE(std::isnan(rows[1].spearman));

  std::ostringstream out;
  write_comparison(out, rows);
  EXPECT_EQ(out.str(),
            "group\tmarkers\tin_reference\tchromosome\ton_chromosome\tspearman\n"
            "1\t6\t5\t1\t4\t-1.0000\n"
            "2\t2\t2\t3\t1\tNA\n");
}

}  // namespace
}  // namespace tarvek::interop
