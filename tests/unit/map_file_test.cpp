#include "output/map_file.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "genotype/genotype_table.hpp"
#include "linkage/linkage_groups.hpp"
#include "genotype/old_order.hpp"
#include "base/channels.hpp"
#include "support/channels.hpp"

namespace tarvek {
namespace {


constexpr int M = 0, A = 1, B = 2, C = 3, H = 5, FLAGGED = 6;

// Everything write_map reads, with four individuals in identity order by default.
struct MapInput {
  GenotypeTable table;
  LinkageGroups groups;
  std::vector<std::vector<int>> removed;
  std::vector<int> order{0, 1, 2, 3};
  OldOrderState old;
  float core_LOD = 16.0f;
  std::int32_t total_score = 0;
  PopulationType population = PopulationType::F2;
  std::vector<std::string> switched;

  MapInput() {
    table.n_individuals = 4;
    table.header_lines = {"; F2 cross", "name = demo", "17", "4"};
  }
  MapContents contents() const {
    return MapContents{table,    groups,      removed,    order,   old,
                       core_LOD, total_score, population, switched};
  }
  std::string write(std::ostream& log) const {
    std::ostringstream out;
    write_map(out, contents(), log);
    return out.str();
  }
  std::string write() const {
    std::ostringstream log;
    return write(log);
  }
  // One group per entry of `members`, with empty removed lists.
  void set_groups(LinkageGroups members) {
    groups = std::move(members);
    removed.assign(groups.size(), {});
  }
};

// The lines of `text`, split at line feeds (a trailing feed gives no extra line).
std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

const char* const kPrologue =
    "; F2 cross\nname = demo\n17\n4\n"  // header lines verbatim, counts not updated
    ";first comment\n\n\n"              // one comment line, then two empty slots
    ";grouping threshold LOD=16\n"
    "\n"  // no old score
    ";newscore=-42\n"
    ";indOrdr\t0\t1\t2\t3\t;\tr\tLOD\tdist\n";

TEST(WriteMap, TwoClassColumnsAndTheSwitchedAllelesLine) {
  MapInput input;
  input.population = PopulationType::RIL;
  input.switched = {"M2", "M3"};
  input.total_score = 3;
  // M1-M2: one recombinant line of four, share 0.25:
  //   LOD = 4 log10 2 + log10 0.25 + 3 log10 0.75 = 0.227244
  //   r = 0.25 / (2 * 0.75) = 0.166667, dist = 25 log10(1.33333 / 0.66667) = 7.52575
  // M2-M3: three of four, a share above 0.5: r 0.5, LOD 0, no distance.
  append_locus(input.table.loci, "M1", {A, B, B, A});
  append_locus(input.table.loci, "M2", {A, B, B, B});
  append_locus(input.table.loci, "M3", {B, A, A, B});
  input.set_groups({{0, 1, 2}});
  EXPECT_EQ(input.write(),
            "; F2 cross\nname = demo\n17\n4\n\n\n\n;grouping threshold LOD=16\n\n"
            ";newscore=3\n;switched alleles\tM2\tM3\n;indOrdr\t0\t1\t2\t3\t;\tr\tLOD\tdist\n"
            "M1\tA\tB\tB\tA\t;\t0.166667\t0.227244\t7.52575\n"
            "M2\tA\tB\tB\tB\t;\t0.5\t0\n"
            "M3\tB\tA\tA\tB\n;\n");
}

TEST(WriteMap, WholeFileWithZeroAndFreeRecombinationNeighbours) {
  MapInput input;
  input.table.comment_lines = {";first comment"};
  input.total_score = -42;
  append_locus(input.table.loci, "M1", {A, A, B, H});
  append_locus(input.table.loci, "M2", {A, A, B, H});  // identical to M1: r 0
  append_locus(input.table.loci, "M3", {B, B, A, M});  // AB, AB, BA with M2: r 0.5
  append_locus(input.table.loci, "M4", {A, B, H, H});
  input.set_groups({{0, 1, 2}, {3}});
  EXPECT_EQ(input.write(), std::string(kPrologue) +
                               "M1\tA\tA\tB\tH\t;\t0\t9999\t0\n"
                               "M2\tA\tA\tB\tH\t;\t0.5\t1e-05\n"
                               "M3\tB\tB\tA\t-\n"
                               ";\n"
                               "M4\tA\tB\tH\tH\n"
                               ";\n");
}

TEST(WriteMap, CarriedTextFollowsThreePairColumnsEmptyWhereThereAreNone) {
  MapInput input;
  append_locus(input.table.loci, "M1", {A, A, B, H}, "chr1\t100");
  append_locus(input.table.loci, "M2", {A, A, B, H});            // r 0 to M1, no text
  append_locus(input.table.loci, "M3", {B, B, A, M}, "chr1\t300");  // r 0.5 to M4
  append_locus(input.table.loci, "M4", {A, B, H, H}, "chr2");
  append_locus(input.table.bad_segregation, "R1", {A, A, A, A}, "chr9\t5");
  append_locus(input.table.bad_segregation, "R2", {B, B, B, B});
  input.set_groups({{0, 1}, {2, 3}});
  const auto lines = lines_of(input.write());
  ASSERT_EQ(lines.size(), 20u);
  EXPECT_EQ(lines[11], "M1\tA\tA\tB\tH\t;\t0\t9999\t0\tchr1\t100");
  EXPECT_EQ(lines[12], "M2\tA\tA\tB\tH");
  EXPECT_EQ(lines[14], "M3\tB\tB\tA\t-\t;\t0.5\t1e-05\t\tchr1\t300");
  EXPECT_EQ(lines[15], "M4\tA\tB\tH\tH\t;\t\t\t\tchr2");
  EXPECT_EQ(lines[18], "R1\tA\tA\tA\tA\t;\t\t\t\tchr9\t5");
  EXPECT_EQ(lines[19], "R2\tB\tB\tB\tB\t");
}

TEST(WriteMap, ScoreLinesCommentSlotsAndPairColumnsInDefaultNumberFormat) {
  MapInput input;
  input.table.n_individuals = 5;
  input.order = {0, 1, 2, 3, 4};
  input.table.comment_lines = {";c1", "", ";c3", ";c4 never written"};
  input.old.old_score_line = ";oldscore=1234";
  input.core_LOD = 12.5f;
  // Pairs AA, BB, HA, HH, (A, flagged): the flagged individual is left out.
  // X = 3, W = 1, Z = 1, N = 4: r = 0.125, q = 0.875
  // LOD = log10(0.78125) + 2 log10(0.765625) + log10(0.109375) - 3 log10(0.25) - log10(0.5)
  //     = -0.10721 - 0.23197 - 0.96108 + 1.80618 + 0.30103 = 0.80695
  // distance = 25 log10(1.25/0.75) = 5.54622
  append_locus(input.table.loci, "P1", {A, B, H, H, A});
  append_locus(input.table.loci, "P2", {A, B, A, H, FLAGGED});
  input.set_groups({{0, 1}});
  const auto lines = lines_of(input.write());
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_EQ(lines[4], ";c1");
  EXPECT_EQ(lines[5], "");
  EXPECT_EQ(lines[6], ";c3");
  EXPECT_EQ(lines[7], ";grouping threshold LOD=12.5");
  EXPECT_EQ(lines[8], ";oldscore=1234");
  EXPECT_EQ(lines[9], ";newscore=0");
  EXPECT_EQ(lines[11], "P1\tA\tB\tH\tH\tA\t;\t0.125\t0.80695\t5.54622");
  EXPECT_EQ(lines[12], "P2\tA\tB\tA\tH\t*");
  EXPECT_EQ(lines[13], ";");
}

TEST(WriteMap, IndividualOrderLineAndGenotypeColumnsFollowTheOrders) {
  MapInput input;
  append_locus(input.table.loci, "M1", {A, B, H, C});
  append_locus(input.table.bad_segregation, "B1", {A, B, M, H});
  input.set_groups({{0}});

  // Old order 3,1,2,0 composed with new order 2,0,3,1: old[2], old[0], old[3], old[1].
  input.old = {{3, 1, 2, 0}, true, ""};
  input.order = {2, 0, 3, 1};
  auto lines = lines_of(input.write());
  ASSERT_EQ(lines.size(), 15u);
  EXPECT_EQ(lines[10], ";indOrdr\t2\t3\t0\t1\t;\tr\tLOD\tdist");
  // Genotypes follow the new order only: columns 2, 0, 3, 1.
  EXPECT_EQ(lines[11], "M1\tH\tA\tC\tB");
  EXPECT_EQ(lines[14], "B1\t-\tA\tH\tB\t");

  // Identity new order repeats the old order unchanged.
  input.order = {0, 1, 2, 3};
  EXPECT_EQ(lines_of(input.write())[10], ";indOrdr\t3\t1\t2\t0\t;\tr\tLOD\tdist");

  // An old order that was not loaded is ignored.
  input.old.old_order_loaded = false;
  input.order = {2, 0, 3, 1};
  EXPECT_EQ(lines_of(input.write())[10], ";indOrdr\t2\t0\t3\t1\t;\tr\tLOD\tdist");
}

TEST(WriteMap, ZeroIndividualsGiveOnlyTheTailOfTheOrderLine) {
  MapInput input;
  input.table.n_individuals = 0;
  input.order.clear();
  input.table.header_lines = {"h1", "h2", "0", "0"};
  EXPECT_EQ(input.write(),
            "h1\nh2\n0\n0\n\n\n\n;grouping threshold LOD=16\n\n;newscore=0\n"
            ";indOrdr\t;\tr\tLOD\tdist\n");
}

TEST(WriteMap, RejectedLociSectionsWithTabEndedRowsOfExactlyNIndividuals) {
  MapInput input;
  append_locus(input.table.loci, "M1", {A, B, H, H});
  input.set_groups({{0}});
  const std::string groups_part = "M1\tA\tB\tH\tH\n;\n";

  // Only excess-missing rejects: the empty line and the title follow the last ";".
  append_locus(input.table.excess_missing, "E1", {M, M, A, M});
  append_locus(input.table.excess_missing, "SHORT", {A, B});             // padded with "-"
  append_locus(input.table.excess_missing, "LONG", {A, B, H, A, B, B});  // cut to 4
  const std::string excess =
      "\n;excessive missing value markers\n"
      "E1\t-\t-\tA\t-\t\n"
      "SHORT\tA\tB\t-\t-\t\n"
      "LONG\tA\tB\tH\tA\t\n";
  const std::string text = input.write();
  ASSERT_GE(text.size(), groups_part.size() + excess.size());
  EXPECT_EQ(text.substr(text.size() - groups_part.size() - excess.size()), groups_part + excess);

  // Both sections: bad segregation first, directly after the groups.
  append_locus(input.table.bad_segregation, "B1", {B, M, H, A});
  const std::string both = input.write();
  const std::string tail =
      groups_part + ";bad segregation ratio markers\nB1\tB\t-\tH\tA\t\n" + excess;
  ASSERT_GE(both.size(), tail.size());
  EXPECT_EQ(both.substr(both.size() - tail.size()), tail);
}

TEST(WriteMap, SingletonsOfAGroupGoToTheLog) {
  testing::CapturedChannels io;
  MapInput input;
  for (const char* name : {"M01", "M07", "M31", "M40"})
    append_locus(input.table.loci, name, {A, B, H, H});
  input.groups = {{0}, {1, 2, 3}};
  input.removed = {{}, {1, 2}};
  const std::string map = input.write(io.log);
  EXPECT_EQ(io.log_text(), "singletons in group 2:M07, M31, \n");
  EXPECT_EQ(map.find("singletons"), std::string::npos);
  EXPECT_EQ(io.console_text(), "");
}

TEST(WriteGroupListing, MembersCountedFromOneEachGroupFollowedByAnEmptyLine) {
  testing::CapturedChannels io;
  write_group_listing({{0, 4, 8}, {2}}, io.channels);
  EXPECT_EQ(io.log_text(), "group (1):1 5 9 \n\ngroup (2):3 \n\n");
  EXPECT_EQ(io.console_text(), "");
}

TEST(WriteMapFile, UnwritableMapFileIsFatal) {
  testing::CapturedChannels io;
  MapInput input;
  append_locus(input.table.loci, "M1", {A, B, H, H});
  input.set_groups({{0}});
  const std::string name = ::testing::TempDir() + "tarvek_no_such_folder/cross_map.loc";
  try {
    write_map_file(name, input.contents(), io.channels);
    ADD_FAILURE() << "write_map_file returned for " << name;
  } catch (const RunAbort& abort) {
    EXPECT_EQ(abort.status, 1);
  }
  const std::string message = "\n\nFatal error!: bad map file " + name + "\n";
  EXPECT_EQ(io.errors_text(),
            "tarvek: cannot write " + name + ": No such file or directory\n" + message);
  EXPECT_EQ(io.log_text(), message);
}

}  // namespace
}  // namespace tarvek
