// tarvek-draw marey and compare end to end on a simulated cross whose markers
// carry their chromosome and position (as tarvek-import vcf writes them):
// the SVG holds a panel per chromosome with a dot per marker, and the
// comparison a pair per group with a line per shared marker.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/process.hpp"
#include "support/xml.hpp"

namespace tarvek::testing {
namespace {

#ifdef TARVEK_F2SIM_PATH

const std::string kDraw = TARVEK_DRAW_PATH;
const std::string kSimulator = TARVEK_F2SIM_PATH;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// f2sim's cross with "chrN<TAB>rank × 1000" behind each regular marker
// (c02m0007 lies on chr2 at 7000), mapped by tarvek: cross_map.loc.
void map_simulated_cross(const TempDir& dir) {
  const RunResult sim = run_program_in(kSimulator, dir,
                                       {"--chromosomes", "3", "--markers", "120", "--individuals", "120",
                                        "--dominant-share", "0", "--seed", "8"});
  ASSERT_EQ(sim.status, 0) << sim.err;
  std::string loc;
  std::size_t line = 0;
  for (std::size_t start = 0, end = 0; (end = sim.out.find('\n', start)) != std::string::npos;) {
    std::string text = sim.out.substr(start, end - start);
    if (++line > 4 && text.size() > 8 && text[0] == 'c')
      text += "\t;\tchr" + std::to_string(std::stoi(text.substr(1, 2))) + "\t" +
              std::to_string(std::stoi(text.substr(4, 4)) * 1000);
    loc += text + "\n";
    start = end + 1;
  }
  dir.write("cross.loc", loc);
  dir.write("matrix.txt", kRecombinationMatrix);
  ASSERT_EQ(run_tarvek_in(dir, {"-g", "3", "8", "4", "cross.loc"}).status, 0);
}

std::vector<const XmlElement*> with_class(const XmlElement& root, const std::string& name, const std::string& kind) {
  std::vector<const XmlElement*> found;
  for (const XmlElement* e : root.descendants())
    if (e->name == name && e->attribute("class") == kind) found.push_back(e);
  return found;
}

TEST(DrawPhysical, MareyPanelsPerChromosomeAndPairsPerGroup) {
  TempDir dir;
  map_simulated_cross(dir);

  const RunResult marey = run_program_in(kDraw, dir, {"marey", "cross_map.loc", "-o", "marey.svg"});
  ASSERT_EQ(marey.status, 0) << marey.err;
  const auto svg = parse_xml(dir.read("marey.svg"));
  const auto panels = with_class(*svg, "g", "panel");
  ASSERT_EQ(panels.size(), 3u);
  for (std::size_t c = 0; c < 3; ++c) {
    EXPECT_EQ(panels[c]->attribute("data-name"), "chr" + std::to_string(c + 1));
    std::string title;
    std::size_t legends = 0;
    for (const XmlElement* t : panels[c]->descendants()) {
      if (t->attribute("class") == "panel-title") title = t->text;
      legends += t->attribute("class") == "legend" ? 1 : 0;
    }
    EXPECT_EQ(title, "chr" + std::to_string(c + 1) + " (40 markers)");
    EXPECT_EQ(legends, 1u) << "one group per chromosome";
  }

  // The map beside its chromosomes, and beside a map of its own markers in
  // another order (ordered again from the map file): three pairs, a line
  // per marker.
  const RunResult physical = run_program_in(kDraw, dir, {"compare", "cross_map.loc", "-o", "physical.svg"});
  ASSERT_EQ(physical.status, 0) << physical.err;
  const auto physical_svg = parse_xml(dir.read("physical.svg"));
  const auto left = with_class(*physical_svg, "g", "pair");
  ASSERT_EQ(left.size(), 3u);
  for (const XmlElement* pair : left) {
    std::size_t right_names = 0;
    for (const XmlElement* t : pair->descendants()) right_names += t->attribute("class") == "right-marker" ? 1 : 0;
    EXPECT_GT(right_names, 10u);
  }
  dir.write("again.loc", dir.read("cross_map.loc"));
  ASSERT_EQ(run_tarvek_in(dir, {"-g", "3", "12", "4", "-o", "again.loc"}).status, 0);
  const RunResult two = run_program_in(
      kDraw, dir, {"compare", "--distances", "two-point", "cross_map.loc", "again_map.loc", "-o", "two.svg"});
  ASSERT_EQ(two.status, 0) << two.err;
  const auto two_svg = parse_xml(dir.read("two.svg"));
  EXPECT_EQ(with_class(*two_svg, "g", "pair").size(), 3u);

  // The map titled by chromosome and turned to run along it; a heat map of
  // one group of 40 markers has room for their names.
  const RunResult oriented = run_program_in(
      kDraw, dir, {"map", "--orient", "physical", "--distances", "two-point", "cross_map.loc", "-o", "map.svg"});
  ASSERT_EQ(oriented.status, 0) << oriented.err;
  const auto map_svg = parse_xml(dir.read("map.svg"));
  std::vector<std::string> titles;
  for (const XmlElement* t : with_class(*map_svg, "text", "segment-title")) titles.push_back(t->text);
  std::sort(titles.begin(), titles.end());
  EXPECT_EQ(titles, (std::vector<std::string>{"chr1", "chr2", "chr3"}));
  for (const XmlElement* segment : with_class(*map_svg, "g", "segment")) {
    std::vector<const XmlElement*> names;
    for (const XmlElement* t : segment->descendants())
      if (t->attribute("class") == "marker") names.push_back(t);
    ASSERT_GE(names.size(), 2u);
    EXPECT_LT(names.front()->text, names.back()->text) << "f2sim numbers markers along their chromosome";
  }
  ASSERT_EQ(run_program_in(kDraw, dir, {"heatmap", "--group", "1", "--size", "600", "cross_map.loc", "-o", "h.svg"})
                .status,
            0);
  const auto heat_svg = parse_xml(dir.read("h.svg"));
  EXPECT_EQ(with_class(*heat_svg, "text", "marker").size(), 40u);

  // Both in the report; none without positions.
  ASSERT_EQ(run_program_in(kDraw, dir, {"report", "cross_map.loc", "-o", "r.html"}).status, 0);
  EXPECT_TRUE(contains(dir.read("r.html"), "<h2>Map against physical positions</h2>"));
  dir.write("plain.loc", "name = p\npopt = F2\nnloc = 2\nnind = 2\n\n\n\n;grouping threshold LOD=16\n\n"
                         ";newscore=0\n;indOrdr\t0\t1\t;\tr\tLOD\tdist\nM1\tA\tB\t;\t0\t9999\t0\nM2\tA\tB\n;\n");
  const RunResult none = run_program_in(kDraw, dir, {"marey", "plain.loc", "-o", "none.svg"});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.err, "tarvek-draw: plain.loc: no mapped marker carries a physical position: give --positions FILE\n");
  EXPECT_FALSE(dir.exists("none.svg"));
}

#endif  // TARVEK_F2SIM_PATH

}  // namespace
}  // namespace tarvek::testing
