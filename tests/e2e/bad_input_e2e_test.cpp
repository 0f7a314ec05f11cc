// Robustness of the whole program against odd or broken input files: each
// case ends with its own error message or a lenient reading of the input,
// exit status 0 or 1, and never a crash.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/process.hpp"

namespace tarvek::testing {
namespace {

const std::string kEcho = ParameterEcho{}.text();
// The lines that follow the locus list when the individuals are written
// without an old order (n columns of the identity).
std::string score_lines(const std::string& ind_order) {
  return ";grouping threshold LOD=16\n\n;newscore=0\n;indOrdr" + ind_order + "\t;\tr\tLOD\tdist\n";
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}
bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

void expect_no_crash(const RunResult& r) {
  EXPECT_TRUE(r.status == 0 || r.status == 1) << "status " << r.status;
  for (const char* crash : {"Sanitizer", "runtime error", "internal error", "terminate called"})
    EXPECT_FALSE(contains(r.err, crash)) << r.err.substr(0, 2000);
}

// Runs "tarvek -m matrix.txt x.loc" (grouping skipped) on `loc`.
RunResult run_loc(const TempDir& dir, const std::string& loc,
                  const std::string& matrix = kRecombinationMatrix) {
  dir.write("x.loc", loc);
  dir.write("matrix.txt", matrix);
  return run_tarvek_in(dir, {"-m", "matrix.txt", "x.loc"});
}

std::string random_bytes(unsigned seed, std::size_t size, const std::string& alphabet) {
  std::mt19937 engine(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    const auto v = engine();
    c = alphabet.empty() ? static_cast<char>(v & 0xFF) : alphabet[v % alphabet.size()];
  }
  return bytes;
}

TEST(BadInput, RandomBytesInEveryInputFileNeverCrash) {
  const std::vector<std::string> contents = {
      random_bytes(11u, 20000, ""),
      random_bytes(12u, 20000, "ABCDH-*;\t\t\t \n\r"),
      random_bytes(13u, 5000, "AB\t\n"),
  };
  for (const std::string& bytes : contents) {
    TempDir dir;
    expect_no_crash(run_loc(dir, bytes));
    dir.write("x.loc", bytes);
    expect_no_crash(run_tarvek_in(dir, {"-g", "0", "0.5", "0.5", "-s", "1", "0", "-o", "x.loc"}));
    dir.write("matrix.txt", bytes);
    expect_no_crash(run_tarvek_in(dir, {"-m", "matrix.txt", "x.loc"}));
    dir.write("mapping_parameters.txt", bytes);
    expect_no_crash(run_tarvek_in(dir, {"x.loc"}));
  }
}

TEST(BadInput, NulBytesAreOrdinaryCharacters) {
  // A NUL in a header line is copied verbatim; as a genotype it reads as
  // missing (one of five is not above the 0.2 threshold).
  TempDir dir;
  const std::string header = std::string("hdr\0x", 5) + "\nh2\nh3\nh4\n";
  const RunResult r = run_loc(dir, header + std::string("M1\tA\t\0\tB\tA\tB\n", 13));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(dir.read("x_map.loc"),
            header + "\n\n\n" + score_lines("\t0\t1\t2\t3\t4") + "M1\tA\t-\tB\tA\tB\n;\n");
}

TEST(BadInput, CrLfLineEndsReadLikeLineFeeds) {
  const std::string loc = "; F2 cross\nname = x\nnloc = 3\nnind = 4\n;note\n"
                          "M1\tA\tA\tB\tB\nM3\tB\tB\tA\tA\nM2\tA\tA\tB\tA\n";
  const std::string parameters = "matrix=matrix.txt\nchromosomes=2\ncore=0.1\nmin=0.05\n";
  const auto crlf = [](const std::string& text) {
    std::string out;
    for (const char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
  };
  TempDir lf;
  TempDir cr;
  lf.write("x.loc", loc);
  lf.write("matrix.txt", kRecombinationMatrix);
  lf.write("mapping_parameters.txt", parameters);
  cr.write("x.loc", crlf(loc));
  cr.write("matrix.txt", crlf(kRecombinationMatrix));
  cr.write("mapping_parameters.txt", crlf(parameters));
  const RunResult a = run_tarvek_in(lf, {"x.loc"});
  const RunResult b = run_tarvek_in(cr, {"x.loc"});
  EXPECT_EQ(a.status, 0);
  EXPECT_EQ(b.status, 0);
  EXPECT_EQ(b.out, a.out);
  EXPECT_EQ(b.err, a.err);
  EXPECT_EQ(cr.read("tarvek_log.txt"), lf.read("tarvek_log.txt"));
  EXPECT_EQ(cr.read("x_map.loc"), lf.read("x_map.loc"));
  EXPECT_FALSE(contains(cr.read("x_map.loc"), "\r"));
  EXPECT_TRUE(contains(cr.read("x_map.loc"), "nind = 4\n;note\n\n\n;grouping threshold LOD=0.1\n"));
}

TEST(BadInput, MillionCharacterLines) {
  // A long comment fills the first comment slot, a long name is kept whole,
  // and a long line without a tab is reported under its own text.
  const std::string comment = ";" + std::string(999999, 'x');
  const std::string name = std::string(1000000, 'N');
  const std::string junk = std::string(1000000, 'j');
  TempDir dir;
  const RunResult r = run_loc(dir, "h1\nh2\nh3\nh4\n" + comment + "\n" + name + "\tA\tB\tA\tB\n" + junk +
                                       "\nM2\tA\tB\tA\tB\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "Error reading loc" + junk + "\n");
  // Two identical loci: r 0, LOD 9999, distance 0; the random start keeps
  // their file order and no rebuild improves on it.
  EXPECT_EQ(dir.read("x_map.loc"), "h1\nh2\nh3\nh4\n" + comment + "\n\n\n" + score_lines("\t0\t1\t2\t3") +
                                       name + "\tA\tB\tA\tB\t;\t0\t9999\t0\nM2\tA\tB\tA\tB\n;\n"
                                       "\n;excessive missing value markers\n" + junk + "\t-\t-\t-\t-\t\n");
}

TEST(BadInput, BlanksInNamesAndLowerCaseLetters) {
  TempDir dir;
  const RunResult r = run_loc(dir, "h1\nh2\nh3\nh4\nmarker one\ta\tb\th\tc\td\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(dir.read("x_map.loc"),
            "h1\nh2\nh3\nh4\n\n\n\n" + score_lines("\t0\t1\t2\t3\t4") + "marker one\tA\tB\tH\tC\tD\n;\n");
}

TEST(BadInput, MalformedLocusLinesAreFiledWithPaddedRows) {
  TempDir dir;
  const RunResult r = run_loc(dir, "h1\nh2\nh3\nh4\nM1\tA\tB\tA\tB\ngarbage line\nM3\tA\t\tB\tA\nM4\t;x\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "Error reading locgarbage line\nError reading locM3\nError reading locM4\n");
  EXPECT_TRUE(contains(dir.read("tarvek_log.txt"), "\nRUNNING TARVEK ON x\nError reading locgarbage line\n"
                                                   "Error reading locM3\nError reading locM4\n"
                                                   "\nSKIPPING GROUPING\n"));
  EXPECT_EQ(dir.read("x_map.loc"), "h1\nh2\nh3\nh4\n\n\n\n" + score_lines("\t0\t1\t2\t3") +
                                       "M1\tA\tB\tA\tB\n;\n\n;excessive missing value markers\n"
                                       "garbage line\t-\t-\t-\t-\t\nM3\tA\t-\t-\t-\t\nM4\t-\t-\t-\t-\t\n");
}

TEST(BadInput, LocFilesWithoutLoci) {
  {
    // Empty file: four empty header lines, zero individuals, one empty group.
    TempDir dir;
    const RunResult r = run_loc(dir, "");
    EXPECT_EQ(r.status, 0);
    // The run goes on, but says that it found nothing to map.
    EXPECT_EQ(r.err, "tarvek: warning: no locus read from x.loc\n");
    EXPECT_EQ(r.out, "Running tarvek...\nWriting log to tarvek_log.txt\n\nskipping grouping\n"
                     "Ordering markers...\n\nDONE");
    EXPECT_EQ(dir.read("tarvek_log.txt"),
              kEcho + kMatrixEcho + "\nRUNNING TARVEK ON x\n\nSKIPPING GROUPING\ngroup (1):\n\n"
                                    "\nORDERING MARKERS...\n\n" + kSeparator + "\nTARVEK IS DONE\n");
    EXPECT_EQ(dir.read("x_map.loc"), "\n\n\n\n\n\n\n" + score_lines("") + ";\n");
  }
  {
    // With grouping there is no group at all.
    TempDir dir;
    dir.write("x.loc", "");
    dir.write("matrix.txt", kRecombinationMatrix);
    const RunResult r = run_tarvek_in(dir, {"-g", "2", "3", "2", "x.loc"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(ends_with(dir.read("tarvek_log.txt"),
                          "\nRUNNING TARVEK ON x\n\nCORE GROUPING MARKERS...\ncreating LOD matrix...\n"
                          "core grouping...\n\n0 groups\n\nORDERING MARKERS...\n\n" + kSeparator +
                              "\nTARVEK IS DONE\n"));
    EXPECT_EQ(dir.read("x_map.loc"),
              "\n\n\n\n\n\n\n;grouping threshold LOD=3\n\n;newscore=0\n;indOrdr\t;\tr\tLOD\tdist\n");
  }
  {
    // Two header lines and no line feed at the end: the rest reads empty.
    TempDir dir;
    const RunResult r = run_loc(dir, "h1\nh2");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "tarvek: warning: no locus read from x.loc\n");
    EXPECT_EQ(dir.read("x_map.loc"), "h1\nh2\n\n\n\n\n\n" + score_lines("") + ";\n");
  }
}

TEST(BadInput, LenientMatrixFiles) {
  const std::string loc = "h1\nh2\nh3\nh4\nM1\tA\tB\tA\tB\nM2\tB\tA\tB\tA\n";
  {
    // An empty matrix leaves every score 0 and echoes no row.
    TempDir dir;
    const RunResult r = run_loc(dir, loc, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(dir.read("tarvek_log.txt"), kEcho + "\nRUNNING TARVEK ON x\n"));
    EXPECT_TRUE(contains(dir.read("x_map.loc"), ";newscore=0\n"));
  }
  {
    // Seven fields keep six; a trailing tab is harmless; three fields fill
    // two; blank lines and comments are skipped; blanks and signs are allowed.
    TempDir dir;
    const RunResult r = run_loc(dir, loc,
                                "1\t2\t3\t4\t5\t6\t7\n\n0\t1\t1\t1\t1\t1\t\n1\t2\t3\n;c\n"
                                "-1\t+2\t 3\t4 \t5\t6\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(dir.read("tarvek_log.txt"),
                         kEcho + "123456\n011111\n120000\n-123456\n\nRUNNING TARVEK ON x\n"));
  }
  for (const std::string bad : {"1\t2\t3\t4\t5\tabc\n", "1\t\t3\t4\t5\t6\n", "1\t2\t3\t4\t5\t6x\n",
                                "99999999999\t0\t0\t0\t0\t0\n"}) {
    TempDir dir;
    const RunResult r = run_loc(dir, loc, bad);
    EXPECT_EQ(r.status, 1) << bad;
    EXPECT_EQ(r.err, "\n\nFatal error!: matrix entries should be integers!\n") << bad;
    EXPECT_FALSE(dir.exists("x_map.loc"));
  }
}

TEST(BadInput, LocusWithADifferentNumberOfIndividualsEndsTheRun) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"M1\tA\tB\tA\tB\nM2\tA\tB\tA\n", "Terminating program! At marker M2, number of individuals 3 "
                                        "different previous loci at 4\n"},
      // The first locus line fixes the count even when screening rejects it.
      {"M0\t-\t-\t-\tA\nM1\tA\tB\tA\tB\tA\n", "Terminating program! At marker M1, number of "
                                              "individuals 5 different previous loci at 4\n"},
  };
  for (const auto& [loci, message] : cases) {
    TempDir dir;
    const RunResult r = run_loc(dir, "h1\nh2\nh3\nh4\n" + loci);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, message);
    EXPECT_TRUE(ends_with(dir.read("tarvek_log.txt"), message));
    EXPECT_FALSE(contains(r.out, "DONE"));
    EXPECT_FALSE(dir.exists("x_map.loc"));
  }
}

}  // namespace
}  // namespace tarvek::testing
