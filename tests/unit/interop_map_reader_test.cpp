// The map file reader against hand-written map files in the layout tarvek
// writes, and against the damage a map file can suffer.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "interop/input_error.hpp"
#include "interop/map_reader.hpp"

namespace tarvek::interop {
namespace {

const std::string kMap =
    "name = x\n"
    "popt = F2\n"
    "nloc = 6\n"
    "nind = 4\n"
    ";individuals\tp1\tp2\tp3\tp4\n"
    "\n"
    "\n"
    ";grouping threshold LOD=8\n"
    ";oldscore=12\n"
    ";newscore=10\n"
    ";indOrdr\t2\t0\t3\t1\t;\tr\tLOD\tdist\n"
    "M1\tA\tH\t*\tB\t;\t0.1\t5.2\t4.40228\n"     // line 12
    "M2\tA\tH\tB\t-\t;\t0.5\t1e-05\n"            // line 13
    "M3\tB\tB\tA\tA\n"                           // line 14
    ";\n"
    "M4\tC\tD\tA\tB\n"
    ";\n"
    ";bad segregation ratio markers\n"
    "R1\tA\tA\tA\tA\t\n"
    "\n"
    ";excessive missing value markers\n"
    "R2\t-\t-\tA\t-\t\n";

MapFile read(const std::string& text) {
  std::istringstream in(text);
  return read_map_file(in, "map.loc");
}

std::string error_of(const std::string& text) {
  try {
    read(text);
  } catch (const InputError& e) {
    return e.what();
  }
  return "no error";
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const auto at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at, from.size(), to);
}

TEST(MapReader, ReadsEveryPartOfTheMap) {
  const MapFile map = read(kMap);
  EXPECT_EQ(map.header_lines, (std::vector<std::string>{"name = x", "popt = F2", "nloc = 6", "nind = 4"}));
  ASSERT_TRUE(map.individual_names);
  EXPECT_EQ(*map.individual_names, (std::vector<std::string>{"p1", "p2", "p3", "p4"}));
  EXPECT_EQ(map.individual_names_line, 5u);
  EXPECT_EQ(map.grouping_lod, 8.0);
  EXPECT_EQ(map.old_score, "12");
  EXPECT_EQ(map.new_score, "10");
  EXPECT_EQ(map.individual_order, (std::vector<int>{2, 0, 3, 1}));
  EXPECT_EQ(map.individual_order_line, 11u);
  EXPECT_FALSE(map.switched_alleles);

  ASSERT_EQ(map.groups.size(), 2u);
  ASSERT_EQ(map.groups[0].size(), 3u);
  const MapMarker& m1 = map.groups[0][0];
  EXPECT_EQ(m1.name, "M1");
  EXPECT_EQ(m1.codes, (GenotypeRow{1, 5, 6, 2}));
  EXPECT_EQ(m1.line, 12u);
  ASSERT_TRUE(m1.next);
  EXPECT_EQ(m1.next->r_text, "0.1");
  EXPECT_EQ(m1.next->lod_text, "5.2");
  EXPECT_EQ(m1.next->dist_text, "4.40228");
  EXPECT_DOUBLE_EQ(m1.next->r, 0.1);
  EXPECT_DOUBLE_EQ(m1.next->lod, 5.2);
  EXPECT_DOUBLE_EQ(m1.next->dist.value(), 4.40228);

  const MapMarker& m2 = map.groups[0][1];
  EXPECT_EQ(m2.codes, (GenotypeRow{1, 5, 2, 0}));
  ASSERT_TRUE(m2.next);
  EXPECT_DOUBLE_EQ(m2.next->r, 0.5);
  EXPECT_FALSE(m2.next->dist);
  EXPECT_FALSE(map.groups[0][2].next);
  EXPECT_EQ(map.groups[1][0].codes, (GenotypeRow{3, 4, 1, 2}));

  ASSERT_EQ(map.bad_segregation.size(), 1u);
  EXPECT_EQ(map.bad_segregation[0].codes, (GenotypeRow{1, 1, 1, 1}));
  ASSERT_EQ(map.excess_missing.size(), 1u);
  EXPECT_EQ(map.excess_missing[0].name, "R2");
  EXPECT_EQ(map.excess_missing[0].codes, (GenotypeRow{0, 0, 1, 0}));
}

TEST(MapReader, CarriageReturnsAndOptionalLinesMakeNoDifference) {
  std::string crlf;
  for (const char c : kMap) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  const MapFile map = read(crlf);
  EXPECT_EQ(map.header_lines.back(), "nind = 4");
  EXPECT_EQ(map.groups[0][0].next->dist_text, "4.40228");
  EXPECT_EQ(map.excess_missing[0].codes, (GenotypeRow{0, 0, 1, 0}));
  EXPECT_EQ(map.individual_names->back(), "p4");

  // A first run has no old score and no names; a later addition lists
  // switched alleles.
  std::string plain = replaced(kMap, ";oldscore=12\n", "\n");
  plain = replaced(plain, ";individuals\tp1\tp2\tp3\tp4\n", "; a comment\n");
  plain = replaced(plain, "M4\t", ";switched alleles\tM2\tM4\nM4\t");
  const MapFile map2 = read(plain);
  EXPECT_FALSE(map2.old_score);
  EXPECT_FALSE(map2.individual_names);
  EXPECT_EQ(map2.comment_lines, (std::vector<std::string>{"; a comment"}));
  ASSERT_TRUE(map2.switched_alleles);
  EXPECT_EQ(*map2.switched_alleles, (std::vector<std::string>{"M2", "M4"}));
  EXPECT_EQ(map2.groups.size(), 2u);
}

TEST(MapReader, AMapWithoutIndividualsOrGroupsIsStillAMap) {
  const MapFile map = read("name = x\npopt = F2\nnloc = 0\nnind = 0\n\n\n\n;grouping threshold LOD=16\n\n"
                           ";newscore=0\n;indOrdr\t;\tr\tLOD\tdist\n");
  EXPECT_EQ(map.individual_count(), 0u);
  EXPECT_TRUE(map.groups.empty());
}

TEST(MapReader, CarriedTextAfterThePairColumns) {
  std::string text = replaced(kMap, "4.40228\n", "4.40228\tchr1\t100\n");
  text = replaced(text, "1e-05\n", "1e-05\t\tchr1\n");
  text = replaced(text, "M3\tB\tB\tA\tA\n", "M3\tB\tB\tA\tA\t;\t\t\t\tchr2\t7\n");
  text = replaced(text, "R1\tA\tA\tA\tA\t\n", "R1\tA\tA\tA\tA\t;\t\t\t\tchrUn\n");
  const MapFile map = read(text);
  const MapGroup& g = map.groups.at(0);
  EXPECT_EQ(g.at(0).note, "chr1\t100");
  EXPECT_EQ(g.at(0).next->dist_text, "4.40228");
  EXPECT_EQ(g.at(1).note, "chr1");
  EXPECT_FALSE(g.at(1).next->dist);
  EXPECT_EQ(g.at(2).note, "chr2\t7");
  EXPECT_FALSE(g.at(2).next);
  EXPECT_EQ(map.groups.at(1).at(0).note, "");
  EXPECT_EQ(map.bad_segregation.at(0).note, "chrUn");
  EXPECT_EQ(map.bad_segregation.at(0).codes.size(), 4u);
}

TEST(MapReader, DamageIsReportedWithFileAndLine) {
  const std::string truncated = kMap.substr(0, kMap.find("M3\t") + 11);
  EXPECT_EQ(error_of(truncated), "map.loc: line 14: the file ends inside group 1 (no closing \";\" line): truncated?");
  EXPECT_EQ(error_of(replaced(kMap, "M2\tA\tH\tB\t-", "M2\tA\tH\tB")),
            "map.loc: line 13: marker M2 has 3 genotypes, the ;indOrdr line 4");
  EXPECT_EQ(error_of(replaced(kMap, "0.1\t5.2", "x\t5.2")), "map.loc: line 12: r \"x\" is not a number");
  EXPECT_EQ(error_of(replaced(kMap, "0.1\t5.2", "0.7\t5.2")), "map.loc: line 12: r = 0.7 is outside 0 to 0.5");
  EXPECT_EQ(error_of(replaced(kMap, "0.1\t5.2\t4.40228", "0.1")),
            "map.loc: line 12: marker M1: expected r, LOD and an optional distance after \";\"");
  EXPECT_EQ(error_of(replaced(kMap, "\t;\t0.1\t5.2\t4.40228", "")),
            "map.loc: line 12: marker M1 has no r and LOD to the next marker");
  EXPECT_EQ(error_of(replaced(kMap, "M3\tB\tB", "M3\tBB\tB")),
            "map.loc: line 14: genotype \"BB\" of marker M3 is not one character");
  EXPECT_EQ(error_of(replaced(kMap, "M4\tC\tD\tA\tB\n;\n", "M4\tC\tD\tA\tB\n")),
            "map.loc: line 17: group 2 is not closed by a \";\" line");
  EXPECT_EQ(error_of(replaced(kMap, ";indOrdr\t2", ";indOrdr\tx")),
            "map.loc: line 11: individual order entry \"x\" is not a number");
  EXPECT_EQ(error_of(replaced(kMap, ";indOrdr", "M0\tA\tA\tA\tA\n;indOrdr")),
            "map.loc: line 11: a marker line before the ;indOrdr line");
  EXPECT_EQ(error_of(kMap.substr(0, kMap.find(";indOrdr"))), "map.loc: no ;indOrdr line: not a map file");
  EXPECT_EQ(error_of("name = x\npopt = F2\n"), "map.loc: fewer than four lines: not a map file");
}

TEST(MapReader, CopiedCommentLinesAreNeverTheRunsOwnLines) {
  // A loc file's first comment lines land in lines 5 to 7, before tarvek's
  // own ";grouping threshold LOD=" line 8: an old order there is a copy.
  const std::string stale = replaced(replaced(kMap, "\n\n\n;grouping", "\n;indOrdr\t0\t1\t2\t3\n;switched alleles\tM9\n;grouping"),
                                     ";individuals", ";individuals");
  const MapFile map = read(stale);
  EXPECT_EQ(map.individual_order, (std::vector<int>{2, 0, 3, 1}));
  EXPECT_EQ(map.individual_order_line, 11u);
  EXPECT_FALSE(map.switched_alleles);
  EXPECT_EQ(map.comment_lines, (std::vector<std::string>{";indOrdr\t0\t1\t2\t3", ";switched alleles\tM9"}));
  EXPECT_EQ(map.individual_names->front(), "p1");  // names are taken from there
}

TEST(MapReader, TheEmptyGroupOfARunThatMappedNothingIsNoGroup) {
  const std::string head = "name = x\npopt = F2\nnloc = 1\nnind = 2\n\n\n\n;grouping threshold LOD=16\n\n"
                           ";newscore=0\n;indOrdr\t0\t1\t;\tr\tLOD\tdist\n";
  const MapFile map = read(head + ";\n\n;excessive missing value markers\nR\tA\t-\t\n");
  EXPECT_TRUE(map.groups.empty());
  EXPECT_EQ(map.excess_missing.size(), 1u);
  EXPECT_EQ(error_of(head + ";\n;\n"), "map.loc: line 13: a group closing line \";\" without markers");
  EXPECT_EQ(error_of(head + ";\nM\tA\tB\n;\n"),
            "map.loc: line 13: a group after the empty group of a map without mapped markers");
}

TEST(MapReader, MapsCutBetweenLinesAreRefused) {
  // After a group, inside the rejected markers, and inside a last line.
  EXPECT_EQ(error_of(kMap.substr(0, kMap.find(";bad segregation"))),
            "map.loc: line 17: the file ends after 4 of the 6 markers its header line 3 counts (nloc): truncated?");
  EXPECT_EQ(error_of(kMap.substr(0, kMap.find("R2\t"))),
            "map.loc: line 21: the file ends after 5 of the 6 markers its header line 3 counts (nloc): truncated?");
  EXPECT_EQ(error_of(kMap.substr(0, kMap.size() - 2)),
            "map.loc: line 22: the last line has no line feed: the file is cut (truncated?)");
  // Without a count in the header, a map that ends at a line is taken.
  EXPECT_EQ(read(replaced(kMap, "nloc = 6", "markers")).groups.size(), 2u);
  EXPECT_EQ(read(replaced(kMap, "nloc = 6", "nloc = 5")).excess_missing.size(), 1u);
}

TEST(MapReader, FlaggedGenotypesHaveTheirOwnCode) {
  EXPECT_EQ(map_letter_code('*'), 6);
  EXPECT_EQ(map_letter_code('-'), 0);
  EXPECT_EQ(map_letter_code('h'), 5);
  EXPECT_EQ(map_letter_code('x'), 0);
}

}  // namespace
}  // namespace tarvek::interop
