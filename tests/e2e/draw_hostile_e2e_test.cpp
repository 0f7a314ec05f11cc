// tarvek-draw against what a hostile user tries: an output that is its own
// input under another spelling, the map of a run that mapped nothing, a map
// cut between two lines, a marker name of 10,000 characters.

#include <gtest/gtest.h>

#include <string>

#include "support/process.hpp"

namespace tarvek::testing {
namespace {

const std::string kDraw = TARVEK_DRAW_PATH;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Runs tarvek (grouping skipped) on a loc file in `dir`, leaving x_map.loc.
void map_of(const TempDir& dir, const std::string& loc) {
  dir.write("x.loc", loc);
  dir.write("matrix.txt", kRecombinationMatrix);
  ASSERT_EQ(run_tarvek_in(dir, {"-m", "matrix.txt", "x.loc"}).status, 0);
}

const std::string kLoc = "name = x\npopt = F2\nnloc = 3\nnind = 4\nM1\tA\tA\tB\tB\nM3\tB\tB\tA\tA\nM2\tA\tA\tB\tA\n";

TEST(DrawHostile, OutputThatIsTheMapUnderAnotherSpellingIsRefused) {
  TempDir dir;
  map_of(dir, kLoc);
  const std::string map = dir.read("x_map.loc");
  dir.write("m.svg", map);
  const RunResult r = run_program_in(kDraw, dir, {"map", "m.svg", "-o", "./m.svg"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "tarvek-draw: -o ./m.svg is the map file m.svg: it would be overwritten\n"
                   "tarvek-draw: see tarvek-draw --help\n");
  EXPECT_EQ(dir.read("m.svg"), map);
}

TEST(DrawHostile, ReportOnARunThatRejectedEveryMarkerSaysSo) {
  // Without -g, such a run writes one empty group.
  TempDir dir;
  map_of(dir, "name = x\npopt = F2\nnloc = 2\nnind = 4\nM1\tA\t-\t-\t-\nM2\tB\t-\t-\t-\n");
  const RunResult r = run_program_in(kDraw, dir, {"report", "x_map.loc", "-o", "r.html"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(dir.read("r.html"), "No marker was mapped"));
  EXPECT_TRUE(contains(dir.read("r.html"), "<td>M2</td>"));
  const RunResult map = run_program_in(kDraw, dir, {"map", "x_map.loc", "-o", "m.svg"});
  EXPECT_EQ(map.status, 1);
  EXPECT_EQ(map.err, "tarvek-draw: x_map.loc: no marker was mapped (every marker was rejected): nothing to draw\n");
}

TEST(DrawHostile, MapCutRightAfterAGroupIsRefused) {
  TempDir dir;
  map_of(dir, "name = x\npopt = F2\nnloc = 4\nnind = 4\nM1\tA\tA\tB\tB\nM3\tB\tB\tA\tA\nM2\tA\tA\tB\tA\n"
              "M4\tA\t-\t-\t-\n");
  const std::string map = dir.read("x_map.loc");
  dir.write("cut_map.loc", map.substr(0, map.find("\n;\n") + 3));
  const RunResult r = run_program_in(kDraw, dir, {"map", "cut_map.loc", "-o", "m.svg"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarvek-draw: cut_map.loc: line 15: the file ends after 3 of the 4 markers its header line 3 "
                   "counts (nloc): truncated?\n");
  EXPECT_FALSE(dir.exists("m.svg"));
}

TEST(DrawHostile, LongNamesAreCutInPicturesAndKeptWholeInTables) {
  const std::string name(10000, 'N');
  const std::string rejected(10000, 'R');
  TempDir dir;
  map_of(dir, "name = x\npopt = F2\nnloc = 4\nnind = 5\n" + name + "\tA\tB\tA\tB\tH\nM2\tA\tB\tA\tB\tB\n"
                  "M3\tB\tB\tA\tB\tH\n" + rejected + "\tA\t-\t-\t-\t-\n");
  for (const std::string command : {"map", "genotypes", "heatmap"}) {
    const RunResult r = run_program_in(kDraw, dir, {command, "x_map.loc", "-o", command + ".png"});
    EXPECT_EQ(r.status, 0) << command << ": " << r.err;
    const RunResult svg = run_program_in(kDraw, dir, {command, "x_map.loc", "-o", command + ".svg"});
    EXPECT_EQ(svg.status, 0);
    EXPECT_FALSE(contains(dir.read(command + ".svg"), std::string(41, 'N'))) << command;
  }
  const RunResult report = run_program_in(kDraw, dir, {"report", "x_map.loc", "-o", "r.html"});
  ASSERT_EQ(report.status, 0) << report.err;
  EXPECT_TRUE(contains(dir.read("r.html"), "<td>" + rejected + "</td>"));
}

}  // namespace
}  // namespace tarvek::testing
