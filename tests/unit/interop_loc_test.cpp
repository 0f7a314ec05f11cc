// Free-layout loc files in, tarvek's loc layout out.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "interop/input_error.hpp"
#include "interop/loc_writer.hpp"
#include "interop/wrapped_loc_reader.hpp"

namespace tarvek::interop {
namespace {

LocData read(const std::string& text) {
  std::istringstream in(text);
  return read_wrapped_loc(in, "in.loc");
}

std::string error_of(const std::string& text) {
  try {
    read(text);
  } catch (const InputError& e) {
    return e.what();
  }
  return "no error";
}

std::string written(const LocData& loc) {
  std::ostringstream out;
  write_loc(out, loc);
  return out.str();
}

const GenotypeRow kM1{1, 2, 5, 0, 3, 4, 1, 0};
const GenotypeRow kM2{2, 2, 1, 1, 5, 5, 0, 2};

TEST(WrappedLoc, WrappedBlankSeparatedWithCommentsAndNames) {
  const LocData loc = read(
      "; a cross { with a comment }\n"
      "name = cross\n"
      "popt = F2\n"
      "nloc = 2\n"
      "nind = 8\n"
      "\n"
      "M1 {phase 0}\n"
      "  a b h - c\n"
      "  d A u ; the end of the first marker\n"
      "M2 bbaahh.b\n"
      "{ a comment over\n"
      "  two lines }\n"
      "individual names:\n"
      "p1\np2\np3\np4\np5\np6\np7\np8\n");
  EXPECT_EQ(loc.name, "cross");
  EXPECT_EQ(loc.population, "F2");
  ASSERT_EQ(loc.markers.size(), 2u);
  EXPECT_EQ(loc.markers[0].name, "M1");
  EXPECT_EQ(loc.markers[0].codes, kM1);
  EXPECT_EQ(loc.markers[1].codes, kM2);
  EXPECT_EQ(loc.individuals.size(), 8u);
  EXPECT_EQ(loc.individuals.back(), "p8");
}

TEST(WrappedLoc, WithoutNindAMarkerIsItsLineAndTheIndentedOnesAfterIt) {
  const LocData loc = read("name = x\npopt = F2\nM1 abh-\n   cdAu\nM2 bbaa\n hh.b\n");
  ASSERT_EQ(loc.markers.size(), 2u);
  EXPECT_EQ(loc.markers[0].codes, kM1);
  EXPECT_EQ(loc.markers[1].codes, kM2);
  EXPECT_EQ(error_of("name = x\nM1 abh-\nM2 bbaaa\n"), "in.loc: line 3: marker M2 has 5 genotypes, the first marker 4");
}

TEST(WrappedLoc, TarvekOwnLayoutReadsBackWithItsNames) {
  LocData loc;
  loc.name = "cross";
  loc.individuals = {"p1", "p2", "p3", "p4", "p5", "p6", "p7", "p8"};
  loc.markers = {{"marker one", kM1, ""}, {"M2", kM2, "1\t12.5"}};
  const std::string text = written(loc);
  EXPECT_EQ(text,
            "name = cross\npopt = F2\nnloc = 2\nnind = 8\n"
            ";individuals\tp1\tp2\tp3\tp4\tp5\tp6\tp7\tp8\n"
            "marker one\tA\tB\tH\t-\tC\tD\tA\t-\n"
            "M2\tB\tB\tA\tA\tH\tH\t-\tB\t;\t1\t12.5\n");
  const LocData back = read(text);
  EXPECT_EQ(back.individuals, loc.individuals);
  ASSERT_EQ(back.markers.size(), 2u);
  EXPECT_EQ(back.markers[0].name, "marker one");
  EXPECT_EQ(back.markers[0].codes, kM1);
  EXPECT_EQ(back.markers[1].codes, kM2);
}

TEST(WrappedLoc, BrokenFilesAreReportedWithTheirLine) {
  const std::string head = "name = x\nnloc = 2\nnind = 4\n";
  EXPECT_EQ(error_of(head + "M1 abhx\nM2 abha\n"),
            "in.loc: line 4: unknown genotype \"x\" in marker M1 (after 3 of its 4 genotypes)");
  EXPECT_EQ(error_of(head + "M1 abh\nM2 abha\n"),
            "in.loc: line 5: unknown genotype \"M\" in marker M1 (after 3 of its 4 genotypes)");
  EXPECT_EQ(error_of(head + "M1 abhaa\nM2 abha\n"), "in.loc: line 4: marker M1 has more than nind = 4 genotypes");
  EXPECT_EQ(error_of(head + "M1 abha\nM2 ab\n"), "in.loc: line 5: marker M2 (from line 5) has only 2 of nind = 4 genotypes");
  EXPECT_EQ(error_of(head + "M1 abha\n"), "in.loc: nloc = 2 but 1 markers were read");
  EXPECT_EQ(error_of(head + "M1 abha\nM2 abha\nindividual names:\na\nb\n"),
            "in.loc: the individual names section lists 2 names for 4 individuals");
  EXPECT_EQ(error_of(head + "M1 abha { open\nM2 abha\n"), "in.loc: line 5: a \"{\" comment is not closed");
  EXPECT_EQ(error_of("nind = many\n"), "in.loc: line 1: nind \"many\" is not a count");
}

TEST(LocWriter, ChecksWhatTheLayoutCannotHold) {
  LocData loc;
  loc.markers = {{"M1", {1, 2}, ""}, {"M2", {1}, ""}};
  EXPECT_EQ(check_loc(loc), "marker M2 has 1 genotypes, not 2");
  loc.markers[1].codes = {1, 2};
  EXPECT_EQ(check_loc(loc), "");
  loc.individuals = {"a"};
  EXPECT_EQ(check_loc(loc), "1 individual names for 2 individuals");
  loc.individuals = {"a", "b\tc"};
  EXPECT_EQ(check_loc(loc), "individual name \"b\\x09c\" cannot be written");  // the tab shown escaped
  loc.individuals.clear();
  loc.markers[0].name = ";M1";
  EXPECT_EQ(check_loc(loc), "marker name \";M1\" cannot be written");
  loc.markers[0].name = "M1";
  loc.name = "two\nlines";
  EXPECT_EQ(check_loc(loc), "the name must be one line");
}

}  // namespace
}  // namespace tarvek::interop
