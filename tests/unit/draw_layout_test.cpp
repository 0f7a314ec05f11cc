// Label spreading and the map drawing's layout: no two names overlap, each
// stays as near its tick as the others allow, ticks sit at their cM
// positions, and each scale ends at its segment's length.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "draw/label_layout.hpp"
#include "draw/map_drawing.hpp"
#include "draw/text.hpp"
#include "genotype/genotype_codes.hpp"
#include "support/map_builders.hpp"
#include "support/xml.hpp"

namespace tarvek::draw {
namespace {

using interop::MapFile;
using interop::MapFunction;
using interop::MapMarker;
using testing::map_of;
using testing::marker;

// --- Spreading labels ---------------------------------------------------------

TEST(SpreadLabels, LabelsWithRoomStayWhereTheyAre) {
  const std::vector<double> wanted = {0, 12, 30, 30 + 10, 100};
  EXPECT_EQ(spread_labels(wanted, 10.0), wanted);
  EXPECT_TRUE(spread_labels({}, 10.0).empty());
  EXPECT_EQ(spread_labels({5.0}, 10.0), std::vector<double>{5.0});
}

TEST(SpreadLabels, ACrowdSpreadsEvenlyAroundItsOwnCentre) {
  // Three labels wanting the same place: one above, one at it, one below.
  const auto three = spread_labels({50, 50, 50}, 10.0);
  ASSERT_EQ(three.size(), 3u);
  EXPECT_DOUBLE_EQ(three[0], 40.0);
  EXPECT_DOUBLE_EQ(three[1], 50.0);
  EXPECT_DOUBLE_EQ(three[2], 60.0);
  // A crowd next to a free label: the crowd moves as a whole, its mean
  // shift zero; the label far below keeps its place.
  const auto mixed = spread_labels({0, 1, 2, 3, 200}, 10.0);
  EXPECT_DOUBLE_EQ(mixed[0] + mixed[1] + mixed[2] + mixed[3], 0 + 1 + 2 + 3);
  EXPECT_DOUBLE_EQ(mixed[1] - mixed[0], 10.0);
  EXPECT_DOUBLE_EQ(mixed[4], 200.0);
}

TEST(SpreadLabels, RandomCrowdsKeepOrderSpacingAndBalance) {
  std::mt19937 random(11);
  for (int round = 0; round < 200; ++round) {
    std::uniform_real_distribution<double> position(0.0, 300.0);
    std::vector<double> wanted(1 + random() % 60);
    for (double& w : wanted) w = std::round(position(random));
    std::sort(wanted.begin(), wanted.end());
    const double spacing = 4.0 + random() % 12;
    const auto placed = spread_labels(wanted, spacing);
    ASSERT_EQ(placed.size(), wanted.size());
    for (std::size_t k = 1; k < placed.size(); ++k) EXPECT_GE(placed[k] - placed[k - 1], spacing - 1e-9);
    // Least squares: in every run of labels packed at exactly the spacing,
    // the shifts add up to zero (else moving the run would be better), and
    // no label of a run could move towards its wanted place alone.
    std::size_t start = 0;
    for (std::size_t k = 1; k <= placed.size(); ++k) {
      if (k < placed.size() && placed[k] - placed[k - 1] < spacing + 1e-6) continue;
      double shift = 0.0;
      for (std::size_t i = start; i < k; ++i) shift += placed[i] - wanted[i];
      EXPECT_NEAR(shift, 0.0, 1e-6 * (k - start) * 300) << "run from " << start << " in round " << round;
      if (k - start == 1) {
        EXPECT_NEAR(placed[start], wanted[start], 1e-9);
      }
      start = k;
    }
  }
}

// --- Map layout ----------------------------------------------------------------

double kosambi(double r) { return 25.0 * std::log((1 + 2 * r) / (1 - 2 * r)); }

struct Box {
  double left, right, top, bottom;
};

TEST(MapLayout, CrowdedNamesDoNotOverlapAndTicksSitAtTheirPositions) {
  // Eight markers at nearly one place, then a long gap and two more: the
  // crowd must spread, the scale must end at the group's length.
  interop::MapGroup group;
  const std::vector<double> r = {0.001, 0.0, 0.002, 0.001, 0.0, 0.001, 0.003, 0.3, 0.05};
  for (std::size_t k = 0; k < r.size(); ++k) group.push_back(marker("M" + std::to_string(k), r[k]));
  group.push_back(marker("last", std::nullopt, {kFlagged, 1, 2}));
  const MapFile map = map_of({group});
  const MapLayout layout = layout_map(map, MapFunction::kKosambi);
  ASSERT_EQ(layout.columns.size(), 1u);
  const SegmentColumn& c = layout.columns[0];
  ASSERT_EQ(c.markers.size(), 10u);

  double length = 0.0;
  for (const double v : r) length += kosambi(v);
  EXPECT_NEAR(c.length_cm, length, 1e-9);
  double position = 0.0;
  for (std::size_t k = 0; k < c.markers.size(); ++k) {
    EXPECT_NEAR(c.markers[k].tick_y, c.top_y + position * layout.cm_scale, 1e-6) << k;
    if (k < r.size()) position += kosambi(r[k]);
  }
  EXPECT_TRUE(c.markers.back().flagged);
  EXPECT_TRUE(layout.any_flagged);
  EXPECT_FALSE(c.markers.front().flagged);

  // Names: boxes from the measured text, none overlapping the next.
  const TextSize t = measure_text("", layout.label_font);
  std::vector<Box> boxes;
  for (const MarkerMark& m : c.markers)
    boxes.push_back({c.label_x, c.label_x + measure_text(m.name, layout.label_font).width, m.label_y - t.height() / 2,
                     m.label_y + t.height() / 2});
  for (std::size_t a = 0; a < boxes.size(); ++a)
    for (std::size_t b = a + 1; b < boxes.size(); ++b)
      EXPECT_TRUE(boxes[a].bottom <= boxes[b].top + 1e-9 || boxes[b].bottom <= boxes[a].top + 1e-9) << a << " " << b;
  // Everything fits on the sheet.
  EXPECT_GE(boxes.front().top, 0.0);
  EXPECT_LE(boxes.back().bottom, layout.height);
  EXPECT_LE(c.right, layout.width);

  // The scale runs from 0 at the top to the length at the bar's end.
  ASSERT_GE(c.scale.size(), 2u);
  EXPECT_EQ(c.scale.front().text, "0");
  EXPECT_DOUBLE_EQ(c.scale.front().y, c.top_y);
  EXPECT_EQ(c.scale.back().text, fixed(length, 1));
  EXPECT_DOUBLE_EQ(c.scale.back().y, c.bottom_y);
  for (std::size_t k = 1; k < c.scale.size(); ++k) EXPECT_GT(c.scale[k].y, c.scale[k - 1].y);
}

TEST(MapLayout, AnUnlinkedPairSplitsTheGroupIntoSegmentsWithTheirOwnScales) {
  const MapFile map = map_of({{marker("a", 0.1), marker("b", 0.5), marker("c", 0.2), marker("d", std::nullopt)},
                              {marker("solo", std::nullopt)}});
  const MapLayout kosambi_layout = layout_map(map, MapFunction::kKosambi);
  ASSERT_EQ(kosambi_layout.columns.size(), 3u);
  EXPECT_EQ(kosambi_layout.columns[0].name, "1");
  EXPECT_EQ(kosambi_layout.columns[1].name, "1.2");
  EXPECT_EQ(kosambi_layout.columns[2].name, "2");
  EXPECT_NEAR(kosambi_layout.columns[0].length_cm, kosambi(0.1), 1e-9);
  EXPECT_NEAR(kosambi_layout.columns[1].length_cm, kosambi(0.2), 1e-9);
  // One marker: no length, a scale of just 0, and still a bar to draw.
  const SegmentColumn& solo = kosambi_layout.columns[2];
  EXPECT_EQ(solo.length_cm, 0.0);
  ASSERT_EQ(solo.scale.size(), 1u);
  EXPECT_EQ(solo.scale[0].text, "0");
  EXPECT_EQ(solo.top_y, solo.bottom_y);
  // Columns side by side, left to right, apart.
  for (std::size_t k = 1; k < kosambi_layout.columns.size(); ++k)
    EXPECT_GT(kosambi_layout.columns[k].left, kosambi_layout.columns[k - 1].right);

  // Haldane's distances are longer for the same r.
  const MapLayout haldane_layout = layout_map(map, MapFunction::kHaldane);
  EXPECT_NEAR(haldane_layout.columns[1].length_cm, -50.0 * std::log(1 - 2 * 0.2), 1e-9);
  EXPECT_GT(haldane_layout.columns[1].length_cm, kosambi_layout.columns[1].length_cm);
}

TEST(MapDrawing, SvgTextLayerHoldsEveryNameEscapedAndPrintable) {
  const MapFile map = map_of({{marker("a<b&\"c\"", 0.1), marker("M\xF6", 0.1), marker("plain", std::nullopt)}});
  const std::string svg = render_map(layout_map(map, MapFunction::kKosambi), Format::kSvg);
  const auto root = testing::parse_xml(svg);
  std::vector<std::string> names;
  for (const auto* e : root->descendants())
    if (e->name == "text" && e->attribute("class") == "marker") names.push_back(e->text);
  EXPECT_EQ(names, (std::vector<std::string>{"a<b&\"c\"", "M\xEF\xBF\xBD", "plain"}));

  // PDF and PNG from the same layout; the same bytes each time. (cairo
  // numbers the glyphs of SVG files per process, so only a new process
  // gives the same SVG bytes.)
  const MapLayout layout = layout_map(map, MapFunction::kKosambi);
  const std::string pdf = render_map(layout, Format::kPdf);
  EXPECT_EQ(pdf.rfind("%PDF-", 0), 0u);
  EXPECT_EQ(render_map(layout, Format::kPdf), pdf);
  const std::string png = render_map(layout, Format::kPng);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  EXPECT_EQ(render_map(layout, Format::kPng), png);
}

}  // namespace
}  // namespace tarvek::draw
