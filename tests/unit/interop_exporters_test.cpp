// What the exporters write for a small map whose every field is known: the
// individual order undone, names restored, "*" written as missing.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "interop/exporters.hpp"
#include "interop/input_error.hpp"

namespace tarvek::interop {
namespace {

// Columns hold individuals 2, 0, 1 (z, x, y).
const std::string kMap =
    "name = x\npopt = F2\nnloc = 3\nnind = 3\n"
    ";individuals\tx\ty,1\tz\n\n\n"
    ";grouping threshold LOD=8\n\n;newscore=3\n"
    ";indOrdr\t2\t0\t1\t;\tr\tLOD\tdist\n"
    "M1\tA\t*\tH\t;\t0.1\t5.2\t4.40228\n"
    "M2\tB\tC\tD\n"
    ";\n"
    "M 3\tH\t-\tA\n"
    ";\n"
    ";bad segregation ratio markers\n"
    "R1\tA\tA\tA\t\n";

MapFile read(const std::string& text) {
  std::istringstream in(text);
  return read_map_file(in, "map.loc");
}

template <typename Write>
std::string written(Write write) {
  std::ostringstream out;
  write(out);
  return out.str();
}

TEST(Exporters, PositionsTable) {
  const MapFile map = read(kMap);
  const auto placed = place_markers(map, MapFunction::kKosambi);
  EXPECT_EQ(written([&](std::ostream& o) { write_positions_table(o, map, placed); }),
            "group\tsegment\tmarker\tposition_cM\tr\tLOD\tflagged\n"
            "1\t1\tM1\t0.0000\t0.1\t5.2\t1\n"
            "1\t1\tM2\t10.1366\tNA\tNA\t0\n"
            "2\t1\tM 3\t0.0000\tNA\tNA\t0\n");
  const auto haldane = place_markers(map, MapFunction::kHaldane);
  EXPECT_NE(written([&](std::ostream& o) { write_positions_table(o, map, haldane); }).find("M2\t11.1572\t"),
            std::string::npos);
}

TEST(Exporters, RqtlCsvInTheOriginalIndividualOrder) {
  const MapFile map = read(kMap);
  const auto placed = place_markers(map, MapFunction::kKosambi);
  EXPECT_EQ(written([&](std::ostream& o) { write_rqtl_csv(o, map, placed); }),
            "id,M1,M2,M 3\n"
            ",1,1,2\n"
            ",0.0000,10.1366,0.0000\n"
            "x,-,C,-\n"
            "\"y,1\",H,D,A\n"
            "z,A,B,H\n");

  // Without names the individuals are numbered from 1 in the same order.
  std::string unnamed = kMap;
  unnamed.replace(unnamed.find(";individuals"), unnamed.find("\n\n\n") - unnamed.find(";individuals"), "");
  const MapFile plain = read(unnamed);
  const std::string csv = written([&](std::ostream& o) { write_rqtl_csv(o, plain, placed); });
  EXPECT_NE(csv.find("\n1,-,C,-\n2,H,D,A\n3,A,B,H\n"), std::string::npos) << csv;
}

TEST(Exporters, RqtlCsvRefusesAnOrderThatIsNoPermutation) {
  std::string text = kMap;
  const std::string order = ";indOrdr\t2\t0\t1";
  text.replace(text.find(order), order.size(), ";indOrdr\t2\t0\t0");
  const MapFile map = read(text);
  try {
    columns_by_individual(map);
    FAIL() << "accepted a repeated individual";
  } catch (const InputError& e) {
    EXPECT_EQ(std::string(e.what()),
              "map.loc: line 11: the ;indOrdr line is not an order of the individuals 0 to 3 - 1 (entry 0)");
  }
  std::string names = kMap;
  names.erase(names.find("\tz\n"), 2);
  try {
    individual_labels(read(names));
    FAIL() << "accepted two names for three individuals";
  } catch (const InputError& e) {
    EXPECT_EQ(std::string(e.what()), "map.loc: line 5: the ;individuals line names 2 individuals, the map has 3");
  }
}

TEST(Exporters, MapChartBlocksPerSegment) {
  std::string text = kMap;
  // An unlinked pair: M2 starts a second segment of group 1.
  text.replace(text.find("0.1\t5.2\t4.40228"), 15, "0.5\t1e-05");
  const MapFile map = read(text);
  const auto placed = place_markers(map, MapFunction::kKosambi);
  EXPECT_EQ(written([&](std::ostream& o) { write_mapchart(o, map, placed, MapFunction::kKosambi); }),
            "; map.loc, positions in Kosambi cM\n"
            "\ngroup 1\nM1\t0.0000\n"
            "\ngroup 1.2\nM2\t0.0000\n"
            "\ngroup 2\n\"M 3\"\t0.0000\n");
  const std::string csv = written([&](std::ostream& o) { write_rqtl_csv(o, map, placed); });
  EXPECT_NE(csv.find("\n,1,1.2,2\n"), std::string::npos) << csv;
}

}  // namespace
}  // namespace tarvek::interop
