// The page layouts: the map wrapped into rows of a page with names thinned
// where they crowd, the Marey plot and the two-map comparison.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "draw/compare_drawing.hpp"
#include "draw/map_drawing.hpp"
#include "draw/marey_plot.hpp"
#include "draw/plot_parts.hpp"
#include "interop/input_error.hpp"
#include "support/map_builders.hpp"

namespace tarvek::draw {
namespace {

using interop::MapFile;
using interop::MapFunction;
using interop::MapMarker;
using testing::map_of;
using testing::marker;

// `count` markers `r` apart, named prefix0, prefix1, ...
interop::MapGroup chain(const std::string& prefix, std::size_t count, double r) {
  interop::MapGroup g;
  for (std::size_t k = 0; k < count; ++k)
    g.push_back(marker(prefix + std::to_string(k), k + 1 < count ? std::optional<double>(r) : std::nullopt));
  return g;
}

std::size_t named(const SegmentColumn& c) {
  return static_cast<std::size_t>(
      std::count_if(c.markers.begin(), c.markers.end(), [](const MarkerMark& m) { return m.named; }));
}

TEST(MapPage, GroupsWrapIntoRowsThatFitThePage) {
  // Twenty groups of twelve markers, 5 cM apart.
  std::vector<interop::MapGroup> groups;
  for (int g = 0; g < 20; ++g) groups.push_back(chain("g" + std::to_string(g) + "m", 12, 0.05));
  const MapFile map = map_of(groups);
  const MapLayout page = layout_map(map, MapFunction::kKosambi);
  EXPECT_GT(page.rows, 1u);
  EXPECT_LE(page.width, kA4LandscapeWidth);
  EXPECT_LE(page.height, kA4LandscapeHeight);
  for (const SegmentColumn& c : page.columns) {
    EXPECT_EQ(named(c), 12u) << "every name fits: " << c.name;
    EXPECT_LE(c.right, page.width);
  }
  // Rows run left to right, and a later row lies wholly below the one before.
  for (std::size_t k = 1; k < page.columns.size(); ++k) {
    const SegmentColumn& a = page.columns[k - 1];
    const SegmentColumn& b = page.columns[k];
    if (a.row == b.row)
      EXPECT_GT(b.left, a.right);
    else
      EXPECT_GT(b.title_y, a.note_y);
  }
  // Without a page: one row.
  MapDrawOptions one_row;
  one_row.page_width = 0.0;
  EXPECT_EQ(layout_map(map, MapFunction::kKosambi, one_row).rows, 1u);
}

TEST(MapPage, CrowdedNamesAreThinnedAndChosenGroupsDrawnInTheirOrder) {
  const MapFile map = map_of({chain("a", 800, 0.002), chain("b", 5, 0.1), chain("c", 3, 0.1)});
  const MapLayout page = layout_map(map, MapFunction::kKosambi);
  const SegmentColumn& dense = page.columns.at(0);
  EXPECT_LT(named(dense), 100u);
  EXPECT_GT(named(dense), 10u);
  EXPECT_TRUE(dense.markers.front().named);
  EXPECT_TRUE(dense.markers.back().named);
  EXPECT_EQ(dense.note, "800 markers, " + std::to_string(named(dense)) + " named");
  EXPECT_LE(page.height, kA4LandscapeHeight);
  EXPECT_EQ(named(page.columns.at(1)), 5u);

  MapDrawOptions options;
  options.groups = {3, 2};
  options.names = {"third", "second"};
  options.name_choice = NameChoice::kEvery;
  options.every = 2;
  options.cm_labels = true;
  const MapLayout chosen = layout_map(map, MapFunction::kKosambi, options);
  ASSERT_EQ(chosen.columns.size(), 2u);
  EXPECT_EQ(chosen.columns[0].title, "third");
  EXPECT_EQ(chosen.columns[1].title, "second");
  EXPECT_EQ(named(chosen.columns[1]), 3u);  // 0, 2 and the last, 4
  EXPECT_TRUE(chosen.columns[0].scale.empty());
  EXPECT_EQ(chosen.columns[1].markers[2].cm_text, "20.3");  // two intervals of r 0.1
  EXPECT_EQ(every_kth(5, 3), (std::vector<bool>{true, false, false, true, true}));

  options.groups = {4};
  EXPECT_THROW(layout_map(map, MapFunction::kKosambi, options), interop::InputError);
  options.groups = {1};
  EXPECT_THROW(layout_map(map, MapFunction::kKosambi, options), interop::InputError);  // two names, one group
}

// Marker positions on chromosomes, bp.
std::vector<interop::ReferencePosition> positions(const std::string& prefix, const std::string& chromosome,
                                                  std::size_t count, bool reversed) {
  std::vector<interop::ReferencePosition> p;
  for (std::size_t k = 0; k < count; ++k) {
    const double bp = 1e6 * static_cast<double>(reversed ? count - k : k + 1);
    p.push_back({prefix + std::to_string(k), chromosome, bp, ""});
  }
  return p;
}

TEST(MareyPlot, EachChromosomeRisesWithItsSegmentsTurnedToMatch) {
  const MapFile map = map_of({chain("a", 10, 0.05), chain("b", 8, 0.05)});
  auto where = positions("a", "chr10", 10, false);
  const auto b = positions("b", "chr2", 8, true);  // b runs against its chromosome
  where.insert(where.end(), b.begin(), b.end());
  where.at(3).chromosome = "chr2";  // a3 lies elsewhere: a dot of a's colour on chr2
  const MareyLayout L = layout_marey(map, interop::place_markers(map, MapFunction::kKosambi), where,
                                     MapFunction::kKosambi);
  EXPECT_EQ(L.unit.name, "Mb");
  ASSERT_EQ(L.panels.size(), 2u);
  EXPECT_EQ(L.panels[0].chromosome, "chr2");  // natural order
  EXPECT_EQ(L.panels[1].chromosome, "chr10");
  ASSERT_EQ(L.panels[0].series.size(), 2u);
  EXPECT_TRUE(L.panels[0].series[1].turned);
  EXPECT_FALSE(L.panels[1].series[0].turned);
  for (const MareyPanel& p : L.panels) {
    std::vector<MareyPoint> points = p.points;
    std::sort(points.begin(), points.end(), [](const auto& x, const auto& y) { return x.x < y.x; });
    for (std::size_t k = 1; k < points.size(); ++k) {
      if (points[k].marker == "a3" || points[k - 1].marker == "a3") continue;
      EXPECT_LT(points[k].y, points[k - 1].y) << p.chromosome << " " << points[k].marker;  // up the page
    }
    for (const MareyPoint& q : p.points) {
      EXPECT_GE(q.x, p.left);
      EXPECT_LE(q.x, p.right + 1e-9);
      EXPECT_GE(q.y, p.top - 1e-9);
      EXPECT_LE(q.y, p.bottom);
    }
  }
  EXPECT_EQ(L.panels[0].points.size(), 9u);
  EXPECT_THROW(layout_marey(map, interop::place_markers(map, MapFunction::kKosambi), {}, MapFunction::kKosambi),
               interop::InputError);
  EXPECT_TRUE(natural_less("chr2", "chr10"));
  EXPECT_TRUE(natural_less("chr02", "chr10"));
  EXPECT_FALSE(natural_less("chr10", "chr10"));
  EXPECT_TRUE(natural_less("X", "chrX"));
}

TEST(Comparison, GroupsPairByTheirSharedMarkersAndLinesJoinThem) {
  Track first{"first", "cM", {{"one", {"m1", "m2", "m3", "m4"}, {0, 10, 20, 30}, 30},
                              {"lone", {"x1", "x2"}, {0, 5}, 5}}};
  Track second{"second", "cM", {{"other", {"y1"}, {0}, 0},
                                {"uno", {"m4", "m3", "m2", "m9"}, {0, 12, 20, 40}, 40}}};
  const CompareLayout L = layout_comparison(first, second);
  ASSERT_EQ(L.pairs.size(), 3u);
  const ComparePair& pair = L.pairs[0];
  EXPECT_TRUE(pair.left.present && pair.right.present);
  EXPECT_EQ(pair.right.title, "uno (turned)");
  ASSERT_EQ(pair.links.size(), 3u);
  // Turned, the second group runs as the first does: m2, m3, m4 in the same
  // order on both sides, one common cM scale.
  const double scale = (pair.left.marks[3].tick_y - pair.left.marks[0].tick_y) / 30.0;
  EXPECT_NEAR(pair.right.marks[0].tick_y - pair.right.marks[3].tick_y, 40.0 * scale, 1e-9);
  EXPECT_NEAR(pair.links[0].right_y, pair.right.marks[2].tick_y, 1e-9);  // m2
  for (std::size_t k = 1; k < pair.links.size(); ++k) {
    EXPECT_GT(pair.links[k].left_y, pair.links[k - 1].left_y);
    EXPECT_GT(pair.links[k].right_y, pair.links[k - 1].right_y);
  }
  EXPECT_FALSE(pair.left.marks[0].shared);
  EXPECT_TRUE(pair.left.marks[1].shared);
  // The groups that share nothing stand alone.
  EXPECT_TRUE(L.pairs[1].left.present && !L.pairs[1].right.present);
  EXPECT_TRUE(!L.pairs[2].left.present && L.pairs[2].right.present);
}

}  // namespace
}  // namespace tarvek::draw
