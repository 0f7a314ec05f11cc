// Small complete runs whose whole log and map file are worked out by hand:
// ordering of one group with grouping skipped, grouping into two groups and a
// singleton with rejected loci, a map file read back as input, and runs that
// must repeat byte for byte.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/process.hpp"

namespace tarvek::testing {
namespace {

const std::string kLogHere = "Running tarvek...\nWriting log to tarvek_log.txt\n";

std::string echo(const std::string& chromosomes, const std::string& core, const std::string& min,
                 const std::string& ab, const std::string& group = "100") {
  ParameterEcho e;
  e.chromosomes = chromosomes;
  e.core = core;
  e.min = min;
  e.ab = ab;
  e.group = group;
  return e.text() + kMatrixEcho;
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// --- One group of three loci, grouping skipped -----------------------------
// Pair scores with the recombination matrix (two per A/B difference):
// M1-M3 8, M1-M2 2, M3-M2 6. The random start draws 31820, 32473, 17167 and
// picks positions 2, 1, 0, which leaves the file order 0 1 2 (score 14). Run 1
// inserts locus 0 at the front of [2 1] (score 8); run 2 rebuilds [1 2 0], also
// 8, so the order from the start of run 2, [0 2 1], is kept: M1 M2 M3.
const std::string kThreeLoci =
    "; F2 cross\nname = x\nnloc = 3\nnind = 4\n"
    "M1\tA\tA\tB\tB\nM3\tB\tB\tA\tA\nM2\tA\tA\tB\tA\n";

const std::string kThreeLociLinksort =
    "Running LINKSORT!, groupsize=3. Randomizing order...\nrandomized score=14\n"
    "\nLINKSORT run 1\ninital window placement score = 8\npass 1, 0 reverses made, score is 8\nscore = 8\n"
    "\nLINKSORT run 2\ninital window placement score = 8\npass 1, 0 reverses made, score is 8\nscore = 8\n"
    "\nLINKSORT Done, using score 8\n\n";

// M1/M2: one B-A pair in four, r 0.25, LOD 3·log10(0.5625) + log10(0.0625) −
// 4·log10(0.25) = 0.454488, distance 25·log10(3) = 11.928. M2/M3: r 3/4 is
// reported as 0.5 with LOD 1e-05 and no distance.
std::string three_loci_map(const std::string& comments, const std::string& old_score,
                           const std::string& ind_order) {
  return "; F2 cross\nname = x\nnloc = 3\nnind = 4\n" + comments +
         ";grouping threshold LOD=16\n" + old_score + "\n;newscore=8\n;indOrdr" + ind_order +
         "\t;\tr\tLOD\tdist\n"
         "M1\tA\tA\tB\tB\t;\t0.25\t0.454488\t11.928\n"
         "M2\tA\tA\tB\tA\t;\t0.5\t1e-05\n"
         "M3\tB\tB\tA\tA\n;\n";
}

std::string three_loci_log(const std::string& head, const std::string& stem,
                           const std::string& after_reading, bool errsweep) {
  return head + "\nRUNNING TARVEK ON " + stem + "\n" + after_reading +
         "\nSKIPPING GROUPING\ngroup (1):1 2 3 \n\n\nORDERING MARKERS...\n\n" + kSeparator +
         "Running LINKSORT on group 1\ncreating the group score matrix , size=3\n" + kThreeLociLinksort +
         (errsweep ? "4 individuals\nMain loop done!!!!, score=8\nHammering in removed markers...\n"
                     "Replaced 0 markers in group of size 3\n"
                   : "") +
         "\nLINKSORT done, score=8\n" + kSeparator;
}

const std::string kThreeLociOut = kLogHere +
                                  "\nskipping grouping\nOrdering markers...\ncreating group score matrix...\n"
                                  "Running LINKSORT on group of size=3\n";

TEST(CompleteRun, OneGroupOrderedWithGroupingSkipped) {
  TempDir dir;
  dir.write("x.loc", kThreeLoci);
  dir.write("matrix.txt", kRecombinationMatrix);
  const RunResult r = run_tarvek_in(dir, {"-m", "matrix.txt", "x.loc"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, kThreeLociOut + "\nDONE");
  EXPECT_EQ(dir.read("tarvek_log.txt"),
            three_loci_log(echo("12", "16", "4", "50"), "x", "", false) + "\nTARVEK IS DONE\n");
  EXPECT_EQ(dir.read("x_map.loc"), three_loci_map("\n\n\n", "", "\t0\t1\t2\t3"));
}

TEST(CompleteRun, ErrsweepThatRemovesNothingStillHammersIn) {
  // With -s 2 the group of three is swept; every individual of M2 conflicts
  // with at most one neighbour (yhat 0.5), so nothing is removed.
  TempDir dir;
  dir.write("x.loc", kThreeLoci);
  dir.write("matrix.txt", kRecombinationMatrix);
  const RunResult r = run_tarvek_in(dir, {"-s", "2", "0.05", "x.loc"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kThreeLociOut + "Main loop done!!!!, score=8\nHammering in removed markers...\n\nDONE");
  EXPECT_EQ(dir.read("tarvek_log.txt"),
            three_loci_log(echo("12", "16", "4", "50", "2"), "x", "", true) + "\nTARVEK IS DONE\n");
  EXPECT_EQ(dir.read("x_map.loc"), three_loci_map("\n\n\n", "", "\t0\t1\t2\t3"));
}

TEST(CompleteRun, OldOrderAndScoreFromCommentLinesAreCarriedForward) {
  TempDir dir;
  const std::string old_order = ";indOrdr\t3\t1\t2\t0\t;\tr\tLOD\tdist";
  dir.write("x.loc", "; F2 cross\nname = x\nnloc = 3\nnind = 4\n" + old_order +
                         "\n;newscore=12=3\nM1\tA\tA\tB\tB\nM3\tB\tB\tA\tA\nM2\tA\tA\tB\tA\n");
  dir.write("matrix.txt", kRecombinationMatrix);
  const RunResult r = run_tarvek_in(dir, {"-m", "matrix.txt", "x.loc"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(dir.read("tarvek_log.txt"),
            three_loci_log(echo("12", "16", "4", "50"), "x",
                           "loading old inidividual order...\nloaded individual order successfull\n", false) +
                "\nTARVEK IS DONE\n");
  EXPECT_EQ(dir.read("x_map.loc"),
            three_loci_map(old_order + "\n;newscore=12=3\n\n", ";oldscore=12=3", "\t3\t1\t2\t0"));
}

TEST(CompleteRun, DottedFolderKeepsItsNameInTheMapFileName) {
  TempDir dir;
  dir.write("run.2/cross", kThreeLoci);
  dir.write("matrix.txt", kRecombinationMatrix);
  const RunResult r = run_tarvek_in(dir, {"-m", "matrix.txt", "run.2/cross"});
  EXPECT_EQ(r.status, 0);
  EXPECT_FALSE(dir.exists("run_map.loc"));
  EXPECT_EQ(dir.read("run.2/cross_map.loc"), three_loci_map("\n\n\n", "", "\t0\t1\t2\t3"));
  EXPECT_EQ(dir.read("tarvek_log.txt"),
            three_loci_log(echo("12", "16", "4", "50"), "run.2/cross", "", false) + "\nTARVEK IS DONE\n");
}

TEST(CompleteRun, MapFileThatCannotBeCreatedIsFatal) {
  TempDir dir;
  dir.write("x.loc", kThreeLoci);
  dir.write("matrix.txt", kRecombinationMatrix);
  dir.write("x_map.loc/occupied", "");
  const RunResult r = run_tarvek_in(dir, {"-m", "matrix.txt", "x.loc"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, kThreeLociOut);
  // The system's reason on a line of its own, then the fatal message.
  EXPECT_EQ(r.err, "tarvek: cannot write x_map.loc: Is a directory\n"
                   "\n\nFatal error!: bad map file x_map.loc\n");
  EXPECT_EQ(dir.read("tarvek_log.txt"), three_loci_log(echo("12", "16", "4", "50"), "x", "", false) +
                                            "\n\nFatal error!: bad map file x_map.loc\n");
}

// --- Two groups, a singleton and rejected loci -----------------------------
// Eight individuals. P1 = P2 and Q1 = Q2 (r 0, LOD 9999); P3 differs from P1
// by one H for A: r 0.0625, LOD 7·log10(0.9375²) + log10(0.9375·0.0625) −
// 8·log10(0.25) = 3.19193 > 3. Every pair across P, Q and S1 has r 0.5, or
// 0.4375 (LOD 0.054) with P3, so S1 stays alone: no LOD above 2 to anything.
// R1 (all A) has 1:1 chi-square 8, 8 − 1 > 5; R2 has 3 of 8 missing.
const std::string kTwoGroupsHeader = "; F2 cross\nname = x\nnloc = 8\nnind = 8\n";
const std::string kTwoGroups = kTwoGroupsHeader +
                               "P1\tA\tA\tA\tA\tB\tB\tB\tB\n"
                               "Q1\tA\tA\tB\tB\tA\tA\tB\tB\n"
                               ";comment one\n"
                               "R1\tA\tA\tA\tA\tA\tA\tA\tA\n"
                               "S1\tA\tB\tA\tB\tA\tB\tA\tB\n"
                               "P2\tA\tA\tA\tA\tB\tB\tB\tB\n"
                               "Q2\tA\tA\tB\tB\tA\tA\tB\tB\n"
                               "R2\tA\tA\t-\t-\tB\tB\t-\tB\n"
                               "P3\tA\tA\tA\tH\tB\tB\tB\tB\n";
const std::vector<std::string> kTwoGroupsArgs = {"-g", "2", "3", "2", "-q", "0.2", "5", "50", "50"};

std::string two_groups_map(const std::string& old_score) {
  return kTwoGroupsHeader + ";comment one\n\n\n;grouping threshold LOD=3\n" + old_score +
         "\n;newscore=1\n;indOrdr\t0\t1\t2\t3\t4\t5\t6\t7\t;\tr\tLOD\tdist\n"
         "P1\tA\tA\tA\tA\tB\tB\tB\tB\t;\t0\t9999\t0\n"
         "P2\tA\tA\tA\tA\tB\tB\tB\tB\t;\t0.0625\t3.19193\t2.72861\n"
         "P3\tA\tA\tA\tH\tB\tB\tB\tB\n;\n"
         "Q1\tA\tA\tB\tB\tA\tA\tB\tB\t;\t0\t9999\t0\n"
         "Q2\tA\tA\tB\tB\tA\tA\tB\tB\n;\n"
         "S1\tA\tB\tA\tB\tA\tB\tA\tB\n;\n"
         ";bad segregation ratio markers\n"
         "R1\tA\tA\tA\tA\tA\tA\tA\tA\t\n"
         "\n;excessive missing value markers\n"
         "R2\tA\tA\t-\t-\tB\tB\t-\tB\t\n";
}

// Group 1 (P1 P2 P3, scores 0, 1, 1): the start is the file order (score 1);
// run 1 puts P1 between P3 and P2 for the same score, so the start is kept.
// Group 2 (Q1 Q2, all 0) draws 31717, 17190 and keeps its order too.
const std::string kTwoGroupsOrdering =
    "\nORDERING MARKERS...\n\n" + kSeparator +
    "Running LINKSORT on group 1\ncreating the group score matrix , size=3\n"
    "Running LINKSORT!, groupsize=3. Randomizing order...\nrandomized score=1\n"
    "\nLINKSORT run 1\ninital window placement score = 1\npass 1, 0 reverses made, score is 1\nscore = 1\n"
    "\nLINKSORT Done, using score 1\n\n\nLINKSORT done, score=1\n" + kSeparator +
    "Running LINKSORT on group 2\ncreating the group score matrix , size=2\n"
    "Running LINKSORT!, groupsize=2. Randomizing order...\nrandomized score=0\n"
    "\nLINKSORT run 1\ninital window placement score = 0\npass 1, 0 reverses made, score is 0\nscore = 0\n"
    "\nLINKSORT Done, using score 0\n\n\nLINKSORT done, score=0\n" + kSeparator;

TEST(CompleteRun, TwoGroupsASingletonAndRejectedLoci) {
  TempDir dir;
  dir.write("x.loc", kTwoGroups);
  dir.write("matrix.txt", kRecombinationMatrix);
  std::vector<std::string> args = kTwoGroupsArgs;
  args.push_back("x.loc");
  const RunResult r = run_tarvek_in(dir, args);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, kLogHere +
                       "chromosomes=2\ncreating LOD matrix...\ncore grouping...\n"
                       "Placing satellites with threshold 2\n3 groups\nplacing satellites.. 3 groups\n3 groups\n"
                       "\nOrdering markers...\ncreating group score matrix...\nRunning LINKSORT on group of size=3\n"
                       "creating group score matrix...\nRunning LINKSORT on group of size=2\n\nDONE");
  EXPECT_EQ(dir.read("tarvek_log.txt"),
            echo("2", "3", "2", "5") + "\nRUNNING TARVEK ON x\n" +
                "rejecting loci R1, bad AB  segregation, chi square=8\n"
                "rejecting loci R2, too many missing values, 3 missing values\n"
                "\nCORE GROUPING MARKERS...\ncreating LOD matrix...\ncore grouping...\n\n"
                "Placing satellites with threshold 2\n3 groups\nplacing satellites.. 3 groups\n\n3 groups\n"
                "group (1):1 4 6 \n\ngroup (2):2 5 \n\ngroup (3):3 \n\n" +
                kTwoGroupsOrdering + "\nTARVEK IS DONE\n");
  EXPECT_EQ(dir.read("x_map.loc"), two_groups_map(""));
}

TEST(CompleteRun, MapFileReadBackCarriesScoreAndIndividualOrder) {
  TempDir dir;
  dir.write("x.loc", kTwoGroups);
  dir.write("matrix.txt", kRecombinationMatrix);
  std::vector<std::string> args = kTwoGroupsArgs;
  args.push_back("x.loc");
  ASSERT_EQ(run_tarvek_in(dir, args).status, 0);
  args.back() = "x_map.loc";
  const RunResult r = run_tarvek_in(dir, args);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  // The loci now come in map order, so the group listing counts them anew;
  // the orders and statistics are those of the first run.
  EXPECT_EQ(dir.read("x_map_map.loc"), two_groups_map(";oldscore=1"));
  const std::string log = dir.read("tarvek_log.txt");
  EXPECT_TRUE(contains(log, "\nRUNNING TARVEK ON x_map\n"
                            "rejecting loci R1, bad AB  segregation, chi square=8\n"
                            "rejecting loci R2, too many missing values, 3 missing values\n"
                            "loading old inidividual order...\nloaded individual order successfull\n"
                            "\nCORE GROUPING MARKERS..."))
      << log;
  EXPECT_TRUE(contains(log, "group (1):1 2 3 \n\ngroup (2):4 5 \n\ngroup (3):6 \n\n" + kTwoGroupsOrdering));
}

TEST(CompleteRun, StatedIndividualCountWarnsForEveryLocusLine) {
  TempDir dir;
  dir.write("matrix.txt", kRecombinationMatrix);
  const std::string loci = "M1\tA\tB\tA\tB\nM3\t-\t-\tA\tB\nM2\tB\tA\tB\tA\n";
  dir.write("x.loc", "h\nh\nnloc = 3\nnind = 5\n" + loci);
  const RunResult r = run_tarvek_in(dir, {"-m", "matrix.txt", "x.loc"});
  const std::string warn = ", number of individuals 4 different than stated value 5\n";
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "Warning!: At marker M1" + warn + "Warning!: At marker M3" + warn +
                       "Warning!: At marker M2" + warn);
  // The screening message of a rejected locus comes before its warning.
  EXPECT_TRUE(contains(dir.read("tarvek_log.txt"),
                       "\nRUNNING TARVEK ON x\nWarning!: At marker M1" + warn +
                           "rejecting loci M3, too many missing values, 2 missing values\n"
                           "Warning!: At marker M3" + warn + "Warning!: At marker M2" + warn +
                           "\nSKIPPING GROUPING\n"));
  EXPECT_TRUE(dir.exists("x_map.loc"));

  for (const std::string stated : {"nind = 4", "nind = 0", "no number"}) {
    dir.write("x.loc", "h\nh\nnloc = 3\n" + stated + "\n" + loci);
    const RunResult quiet = run_tarvek_in(dir, {"-m", "matrix.txt", "x.loc"});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "") << stated;
  }
}

TEST(CompleteRun, RepeatedExecutionsGiveIdenticalFiles) {
  // Twelve loci by twenty individuals from a fixed seed, swept by ERRSWEEP and
  // with the individuals ordered too, so every consumer of the stream runs.
  std::mt19937 engine(20240611u);
  std::string loc = "h1\nh2\nnloc = 12\nnind = 20\n";
  for (int locus = 0; locus < 12; ++locus) {
    loc += 'L';
    loc += std::to_string(locus);
    for (int k = 0; k < 20; ++k) loc += std::string("\t") + "ABH"[engine() % 3];
    loc += "\n";
  }
  std::vector<std::string> logs;
  std::vector<std::string> maps;
  for (int run = 0; run < 2; ++run) {
    TempDir dir;
    dir.write("x.loc", loc);
    dir.write("matrix.txt", kRecombinationMatrix);
    for (int again = 0; again < 2; ++again) {
      const RunResult r = run_tarvek_in(dir, {"-s", "1", "0.05", "-o", "x.loc"});
      ASSERT_EQ(r.status, 0) << r.err;
      logs.push_back(dir.read("tarvek_log.txt"));
      maps.push_back(dir.read("x_map.loc"));
    }
  }
  for (std::size_t i = 1; i < logs.size(); ++i) {
    EXPECT_EQ(logs[i], logs[0]);
    EXPECT_EQ(maps[i], maps[0]);
  }
  EXPECT_TRUE(contains(logs[0], "Running LINKSORT on the order of individuals\n"));
}

}  // namespace
}  // namespace tarvek::testing
