#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "genotype/loc_reader.hpp"
#include "base/channels.hpp"
#include "support/channels.hpp"

namespace tarvek {
namespace {

using Codes = std::vector<int>;
using Names = std::vector<std::string>;

// Thresholds no test can fail, so that parsing alone decides the result.
const ScreeningThresholds kLenient{1.0f, 1000.0f, 1000.0f, 1000.0f};

struct Parsed {
  int result;
  std::string name;
  Codes codes;
  std::string log;
};

Parsed parse(const std::string& line, const ScreeningThresholds& thresholds = kLenient) {
  testing::CapturedChannels io;
  Parsed p{0, "previous", {}, ""};
  p.result = parse_locus_line(line, p.name, p.codes, thresholds, io.channels);
  p.log = io.log_text();
  return p;
}

struct Read {
  GenotypeTable table;
  std::string log;
  std::string err;
  int abort_status = 0;  // 0 when the reader returned
};

Read read(const std::string& text,
          const ScreeningThresholds& thresholds = {0.2f, 50.0f, 50.0f, 50.0f}) {
  std::istringstream in(text);
  testing::CapturedChannels io;
  Read r;
  try {
    r.table = read_loc_file(in, thresholds, io.channels);
  } catch (const RunAbort& abort) {
    r.abort_status = abort.status;
  }
  r.log = io.log_text();
  r.err = io.errors_text();
  return r;
}

std::string header(const std::string& individuals) {
  return "name = cross\npopt = F2\nnloc = 9\nnind = " + individuals + "\n";
}

TEST(LocReader, LocusLineGivesOneCodePerIndividual) {
  Parsed p = parse("M1\tA\tB\tH\t-\tC");
  EXPECT_EQ(p.result, kAccepted);
  EXPECT_EQ(p.name, "M1");
  EXPECT_EQ(p.codes, (Codes{1, 2, 5, 0, 3}));
  EXPECT_EQ(parse("M1\t\t\tA\tB").codes, (Codes{1, 2}));  // a run of tabs after the name
  EXPECT_EQ(parse("M1\tA\tB\t;note").codes, (Codes{1, 2}));
  // ";" on a separator position is skipped; the "x" after it is a genotype.
  EXPECT_EQ(parse("M1\tA\tB;x\tC").codes, (Codes{1, 2, 0, 3}));
  EXPECT_EQ(parse("M1\tA B H").codes, (Codes{1, 2, 5}));
  EXPECT_EQ(parse("m1\ta\tb\th\tc\td").codes, (Codes{1, 2, 5, 3, 4}));
  EXPECT_EQ(parse("M1\t*\tU\t3\tA").codes, (Codes{0, 0, 0, 1}));
  p = parse("my marker 2\tD");
  EXPECT_EQ(p.name, "my marker 2");
  EXPECT_EQ(p.codes, (Codes{4}));
}

TEST(LocReader, MalformedLocusLinesKeepTheCodesReadBeforeTheError) {
  Parsed p = parse("M1\tA\t\tB");  // doubled tab between genotypes
  EXPECT_EQ(p.result, kMalformedLine);
  EXPECT_EQ(p.name, "M1");
  EXPECT_EQ(p.codes, (Codes{1}));
  p = parse("M2\t;A\tB");  // genotype part starts with ";"
  EXPECT_EQ(p.result, kMalformedLine);
  EXPECT_EQ(p.name, "M2");
  EXPECT_TRUE(p.codes.empty());
  EXPECT_EQ(parse("M3\t").result, kMalformedLine);
  EXPECT_EQ(parse("M3\t\t\t").result, kMalformedLine);
  // No tab at all: the whole line stands as the name.
  p = parse("M9 A B");
  EXPECT_EQ(p.result, kMalformedLine);
  EXPECT_EQ(p.name, "M9 A B");
  EXPECT_TRUE(p.codes.empty());
  EXPECT_EQ(p.log, "");
}

TEST(LocReader, LocusLineIsScreenedWithItsClassCounts) {
  // t 4, a 3, b 1: 2*1/4 + 2*1/4 = 1; 1 - 1 > -0.5.
  Parsed p = parse("M1\tA\tA\tA\tB", {1.0f, -0.5f, 0.0f, 0.0f});
  EXPECT_EQ(p.result, kBadSegregation);
  EXPECT_EQ(p.log, "rejecting loci M1, bad AB  segregation, chi square=1\n");
  // t 4, c 4: 4*1/4 + 4*1/12 = 1.33333 under the A:C test.
  p = parse("M1\tC\tC\tC\tc", {1.0f, 0.0f, 0.0f, 0.0f});
  EXPECT_EQ(p.result, kBadSegregation);
  EXPECT_EQ(p.log, "rejecting loci M1, bad AC  segregation, chi square=1.33333\n");
  // t 3 all missing: statistic 3, 3 - 1 is within 50; 3/3 missing > 0.2.
  p = parse("M1\t-\t*\tx", {0.2f, 50.0f, 50.0f, 50.0f});
  EXPECT_EQ(p.result, kExcessMissing);
  EXPECT_EQ(p.log, "rejecting loci M1, too many missing values, 3 missing values\n");
}

TEST(LocReader, HeaderAndCommentLinesAreKeptVerbatim) {
  const Read r = read("name = cross\npopt = F2\nnloc = 17\nnind = a=b= 3\n"
                      "x\n\n;indOrdr\t0\n\tA\tB\tH\nM1\tA\tB\tH\n;newscore=5\nM2\tB\tA\th\n");
  ASSERT_EQ(r.abort_status, 0);
  EXPECT_EQ(r.table.header_lines,
            (Names{"name = cross", "popt = F2", "nloc = 17", "nind = a=b= 3"}));
  EXPECT_EQ(r.table.stated_individuals, 3);  // the number after the last "="
  EXPECT_EQ(r.table.comment_lines, (Names{"x", "", ";indOrdr\t0", "\tA\tB\tH", ";newscore=5"}));
  EXPECT_EQ(r.table.loci.names, (Names{"M1", "M2"}));
  EXPECT_EQ(r.table.loci.rows, (std::vector<Codes>{{1, 2, 5}, {2, 1, 5}}));
  EXPECT_EQ(r.table.n_individuals, 3);
  EXPECT_EQ(r.table.stated_loci, 2);  // the accepted count replaces 17
  EXPECT_EQ(r.log, "");
  EXPECT_EQ(r.err, "");

  // Without "=" the whole line is converted.
  EXPECT_EQ(read("a\nb\nc\n  7 plants\n").table.stated_individuals, 7);
}

TEST(LocReader, EveryLocusLineIsFiledInFileOrder) {
  // 1:1 threshold 2: four missing or four A give 2*4/4 + 2*4/4 = 4, 4 - 1 > 2.
  const Read r = read(header("4") +
                          "Y1\tA\t\tB\n"        // malformed, row (1), no part in the count
                          "G1\tA\tB\tA\tB\n"    // statistic 0
                          "S1\t-\t-\t-\t-\n"    // bad segregation
                          "X1\tA\tB\t-\tA\n"    // 1 of 4 missing > 0.2
                          "G2\tb\ta\tb\ta\n"
                          "S2\tA\tA\tA\tA\n",
                      {0.2f, 2.0f, 2.0f, 2.0f});
  ASSERT_EQ(r.abort_status, 0);
  EXPECT_EQ(r.table.n_individuals, 4);
  EXPECT_EQ(r.table.loci.names, (Names{"G1", "G2"}));
  EXPECT_EQ(r.table.loci.rows, (std::vector<Codes>{{1, 2, 1, 2}, {2, 1, 2, 1}}));
  EXPECT_EQ(r.table.bad_segregation.names, (Names{"S1", "S2"}));
  EXPECT_EQ(r.table.excess_missing.names, (Names{"Y1", "X1"}));
  EXPECT_EQ(r.table.excess_missing.rows, (std::vector<Codes>{{1}, {1, 2, 0, 1}}));
  EXPECT_EQ(r.table.stated_loci, 2);
  EXPECT_EQ(r.log,
            "Error reading locY1\n"
            "rejecting loci S1, bad AB  segregation, chi square=4\n"
            "rejecting loci X1, too many missing values, 1 missing values\n"
            "rejecting loci S2, bad AB  segregation, chi square=4\n");
  EXPECT_EQ(r.err, "Error reading locY1\n");  // screening writes to the log only
}

TEST(LocReader, TextAfterTheSemicolonIsCarriedWithItsLocus) {
  const Read plain = read(header("2") +
                              "M1\tA\tB\t;\tchr1\t100\t\n"  // trailing tab trimmed
                              "M2\tA\tB\n"
                              "M3\tA\tB;\n"                  // ";" on a separator: no text
                              "M4\tA\tB\t; \t\n"             // blanks only: no text
                              "S1\t-\t-\t;note\n"             // a rejected locus keeps its text
                              "Y1\t;bad\n",                    // malformed: nothing carried
                          {0.2f, 50.0f, 50.0f, 50.0f});
  EXPECT_EQ(plain.table.loci.notes, (Names{"chr1\t100", "", "", ""}));
  EXPECT_EQ(plain.table.excess_missing.names, (Names{"S1", "Y1"}));
  EXPECT_EQ(plain.table.excess_missing.notes, (Names{"note", ""}));
  EXPECT_EQ(locus_note(plain.table.excess_missing, 1), "");
  EXPECT_FALSE(has_notes(read(header("2") + "M1\tA\tB\t;\nM2\tA\tB\n").table.loci));

  // A map file read back: the r, LOD and dist columns are not carried text.
  const Read map = read(header("2") + ";indOrdr\t0\t1\t;\tr\tLOD\tdist\n"
                                      "M1\tA\tB\t;\t0.1\t5.2\t4.4\tchr1\t100\n"
                                      "M2\tA\tB\t;\t0.5\t1e-05\n"
                                      "M3\tA\tB\t;\t0.5\t1e-05\t\tchr1\n"
                                      "M4\tA\tB\t;\t\t\t\tchr2\n");
  EXPECT_EQ(map.table.loci.notes, (Names{"chr1\t100", "", "chr1", "chr2"}));
  EXPECT_FALSE(has_notes(read(header("2") + ";indOrdr\t0\t1\t;\tr\tLOD\tdist\n"
                                            "M1\tA\tB\t;\t0.1\t5.2\t4.4\nM2\tA\tB\n")
                             .table.loci));
}

TEST(LocReader, LineWithoutTabIsFiledUnderItsOwnText) {
  const Read r = read(header("2") + "M1\tA\tB\nno tab here\nM2\tB\tA\n");
  ASSERT_EQ(r.abort_status, 0);
  EXPECT_EQ(r.table.loci.names, (Names{"M1", "M2"}));
  EXPECT_EQ(r.table.excess_missing.names, (Names{"no tab here"}));
  EXPECT_EQ(r.table.excess_missing.rows, (std::vector<Codes>{{}}));
  EXPECT_EQ(r.log, "Error reading locno tab here\n");
  EXPECT_EQ(r.err, "Error reading locno tab here\n");
}

TEST(LocReader, FirstLocusLineFixesTheCountEvenWhenRejected) {
  // S1: t 3 all missing, statistic 3 passes, 3/3 missing is rejected.
  const Read ok = read(header("0") + "S1\t-\t-\t-\nM2\tA\tB\tA\n");
  EXPECT_EQ(ok.abort_status, 0);
  EXPECT_EQ(ok.table.n_individuals, 3);
  EXPECT_EQ(ok.table.excess_missing.names, (Names{"S1"}));

  const Read r = read(header("0") + "S1\t-\t-\t-\nM2\tA\tB\nM3\tA\tB\n");
  EXPECT_EQ(r.abort_status, 1);
  const std::string stop =
      "Terminating program! At marker M2, number of individuals 2 different previous loci at 3\n";
  EXPECT_EQ(r.log, "rejecting loci S1, too many missing values, 3 missing values\n" + stop);
  EXPECT_EQ(r.err, stop);
}

TEST(LocReader, StatedIndividualsWarningOnEveryParsedLocusLine) {
  const Read r = read(header("5") + "M1\tA\tB\tA\tB\nM2\t-\t-\t-\t-\nM3\tA\t\tB\n");
  ASSERT_EQ(r.abort_status, 0);
  const std::string w1 = "Warning!: At marker M1, number of individuals 4 different than stated value 5\n";
  const std::string w2 = "Warning!: At marker M2, number of individuals 4 different than stated value 5\n";
  // The screening message of M2 comes before its warning; malformed M3 gets none.
  EXPECT_EQ(r.log, w1 + "rejecting loci M2, too many missing values, 4 missing values\n" + w2 +
                       "Error reading locM3\n");
  EXPECT_EQ(r.err, w1 + w2 + "Error reading locM3\n");
  EXPECT_EQ(r.table.loci.names, (Names{"M1"}));

  for (const char* off : {"0", "", "none", "-4", "4"}) {
    const Read quiet = read(header(off) + "M1\tA\tB\tA\tB\n");
    EXPECT_EQ(quiet.log, "") << "nind = " << off;
    EXPECT_EQ(quiet.err, "") << "nind = " << off;
  }
}

TEST(LocReader, ShortFilesYieldEmptyHeaderLines) {
  Read r = read("only\nheader");
  EXPECT_EQ(r.table.header_lines, (Names{"only", "header", "", ""}));
  EXPECT_EQ(r.table.n_individuals, -1);
  EXPECT_EQ(r.table.stated_individuals, 0);
  EXPECT_EQ(r.table.stated_loci, 0);
  EXPECT_TRUE(r.table.comment_lines.empty());
  r = read("");
  EXPECT_EQ(r.table.header_lines, (Names{"", "", "", ""}));
  EXPECT_TRUE(r.table.loci.names.empty());
}

TEST(LocReader, CarriageReturnsAreDroppedFromEveryLine) {
  // "x\r" would be a two-character data line if the CR stayed.
  const Read r = read("name = cross\r\npopt = F2\r\nnloc = 1\r\nnind = 3\r\n"
                      "x\r\nM1\tA\tB\tH\r\n;c\r\nM2\tH\tB\tA\r");
  ASSERT_EQ(r.abort_status, 0);
  EXPECT_EQ(r.table.header_lines, (Names{"name = cross", "popt = F2", "nloc = 1", "nind = 3"}));
  EXPECT_EQ(r.table.comment_lines, (Names{"x", ";c"}));
  EXPECT_EQ(r.table.loci.rows, (std::vector<Codes>{{1, 2, 5}, {5, 2, 1}}));
  EXPECT_EQ(r.log, "");
}

}  // namespace
}  // namespace tarvek
