// End-to-end checks of the command line, the parameters file and the scoring
// matrix file: every fatal error with its exact text on each channel, and the
// parameter echo that shows which values a run took.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/process.hpp"

namespace tarvek::testing {
namespace {

const std::string kStarted = "Running tarvek...\n";
const std::string kLogHere = kStarted + "Writing log to tarvek_log.txt\n";
// A loc file of four header lines and no locus: enough for a complete run.
const std::string kHeaderOnly = "h1\nh2\nh3\nh4\n";

using Echo = ParameterEcho;

bool starts_with(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// Runs in a folder holding x.loc (header only) and the usual matrix.txt.
RunResult run_options(const TempDir& dir, std::vector<std::string> options) {
  dir.write("x.loc", kHeaderOnly);
  dir.write("matrix.txt", kRecombinationMatrix);
  options.push_back("x.loc");
  return run_tarvek_in(dir, options);
}

// An error found while reading the options: the log holds only the error.
void expect_option_error(const std::vector<std::string>& options, const std::string& message,
                         const std::string& extra_out = "", const std::string& warnings = "") {
  SCOPED_TRACE(message);
  TempDir dir;
  const RunResult r = run_options(dir, options);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, kLogHere + extra_out);
  EXPECT_EQ(r.err, warnings + fatal(message));
  EXPECT_EQ(dir.read("tarvek_log.txt"), fatal(message));
  EXPECT_FALSE(dir.exists("x_map.loc"));
}

TEST(CommandLineErrors, FailuresBeforeTheLogReachStandardErrorOnly) {
  TempDir dir;
  RunResult r = run_tarvek_in(dir, {});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, kStarted);
  EXPECT_EQ(r.err, fatal("bad input. tarvek wants input!"));

  r = run_tarvek_in(dir, {"missing.loc"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, kStarted);
  EXPECT_EQ(r.err, "tarvek: missing.loc: No such file or directory\n" + fatal("bad loc file!"));

  dir.write("matrix.txt", kRecombinationMatrix);
  r = run_tarvek_in(dir, {"-g", "2", "3", "2", "missing.loc"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, kStarted);
  EXPECT_EQ(r.err, "tarvek: missing.loc: No such file or directory\n" + fatal("bad loc file!"));
  EXPECT_FALSE(dir.exists("tarvek_log.txt"));
}

TEST(CommandLineErrors, MalformedAndUnknownFlags) {
  expect_option_error({"-gq", "1", "2", "3"}, "bad input flags -gq");
  expect_option_error({"g", "1", "2", "3"}, "bad input flags g");
  expect_option_error({"-"}, "bad input flags -");
  expect_option_error({"-x"}, "bad input flag!x");
  // Case matters: -G is not -g.
  expect_option_error({"-G", "1", "2", "3"}, "bad input flag!G");
  // An error in a later option still stops the run after -g has spoken.
  expect_option_error({"-g", "5", "8", "3", "-x"}, "bad input flag!x", "chromosomes=5");
}

TEST(CommandLineErrors, OptionsShortOfValuesNeverTakeTheLocFile) {
  // The third -g value would be the loc file: nothing, not even
  // "chromosomes=", is written before the error.
  expect_option_error({"-g", "10", "3"}, "bad input paramaters -g!\n not enough parameters");
  expect_option_error({"-g"}, "bad input paramaters -g!\n not enough parameters");
  expect_option_error({"-q", "0.2", "50", "50"}, "bad input paramaters -q!\n not enough parameters");
  expect_option_error({"-s", "5"}, "bad input paramaters -s!\n not enough parameters");
  expect_option_error({"-m"}, "bad input paramater -m!");
  expect_option_error({"-o", "-m"}, "bad input paramater -m!");
}

TEST(CommandLineErrors, RangeChecksOfGroupingValues) {
  const std::string g = "bad input paramaters -g!\n";
  expect_option_error({"-g", "-1", "8", "3"}, g + "chromosomes must be non-negative",
                      "chromosomes=-1");
  expect_option_error({"-g", "10", "0", "3"}, g + "core_LOD must be > 0", "chromosomes=10");
  expect_option_error({"-g", "10", "abc", "3"}, g + "core_LOD must be > 0", "chromosomes=10",
                      "tarvek: warning: -g: \"abc\" is not a number; it is read as 0\n");
  expect_option_error({"-g", "10", "8", "0"}, g + "min_LOD must be > 0", "chromosomes=10");
  // All three values are read before the first check.
  expect_option_error({"-g", "-1", "0", "0"}, g + "chromosomes must be non-negative",
                      "chromosomes=-1");
}

TEST(CommandLineErrors, RangeChecksOfScreeningAndErrsweepValues) {
  const std::string q = "bad input paramaters -q!\n";
  expect_option_error({"-q", "1.01", "1", "1", "1"}, q + "missing value threshold must be between 0 and 1");
  expect_option_error({"-q", "-0.1", "1", "1", "1"}, q + "missing value threshold must be between 0 and 1");
  expect_option_error({"-q", "0.2", "0", "1", "1"}, q + "1:1 chisquare threshold must be positive");
  expect_option_error({"-q", "0.2", "1", "0", "1"}, q + "1:2:1 chisquare threshold must be positive");
  expect_option_error({"-q", "0.2", "1", "1", "0"}, q + "1:3 chisquare threshold must be positive");
  const std::string s = "bad input paramaters -s!\n";
  expect_option_error({"-s", "0", "0.1"}, s + "ERRSWEEP group threshold must be positive");
  expect_option_error({"-s", "5", "1.5"}, s + " singleton threshold must be between 0 and 1");
  expect_option_error({"-s", "5", "-0.01"}, s + " singleton threshold must be between 0 and 1");
}

TEST(CommandLineOptions, BoundaryValuesAreAcceptedAndEchoed) {
  struct Case {
    std::vector<std::string> options;
    Echo echo;
    std::string out;
  };
  Echo q_edge;
  q_edge.missing = q_edge.ab = q_edge.abh = q_edge.ac = "1";
  Echo s_edge;
  s_edge.group = "5";
  s_edge.singleton = "1";
  Echo g_zero;
  g_zero.chromosomes = "0";
  g_zero.core = "8";
  g_zero.min = "3";
  Echo repeated;
  repeated.chromosomes = "7";
  repeated.core = "9.5";
  repeated.min = "2";
  repeated.order = "1";
  const std::vector<Case> cases = {
      {{"-q", "1", "1", "1", "1"}, q_edge, ""},
      {{"-s", "5", "1"}, s_edge, ""},
      {{"-g", "0", "8", "3"}, g_zero, "chromosomes=0"},
      // Options may repeat; the last one wins.
      {{"-g", "5", "8", "3", "-o", "-g", "7", "9.5", "2"}, repeated, "chromosomes=5chromosomes=7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options.front());
    TempDir dir;
    const RunResult r = run_options(dir, c.options);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "tarvek: warning: no locus read from x.loc\n");
    EXPECT_TRUE(starts_with(r.out, kLogHere + c.out)) << r.out;
    EXPECT_TRUE(starts_with(dir.read("tarvek_log.txt"), c.echo.text() + kMatrixEcho));
    EXPECT_TRUE(dir.exists("x_map.loc"));
  }
}

TEST(MatrixFile, FatalErrorsFollowTheParameterEcho) {
  const std::string echo = Echo().text();
  {
    TempDir dir;
    dir.write("x.loc", kHeaderOnly);
    const RunResult r = run_tarvek_in(dir, {"-o", "x.loc"});
    Echo with_order;
    with_order.order = "1";
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, kLogHere);
    EXPECT_EQ(r.err, "tarvek: matrix.txt: No such file or directory\n" + fatal("bad matrix file matrix.txt"));
    EXPECT_EQ(dir.read("tarvek_log.txt"), with_order.text() + fatal("bad matrix file matrix.txt"));
  }
  {
    // A name of blanks is empty once stripped: the message names it as used.
    TempDir dir;
    const RunResult r = run_options(dir, {"-m", "   "});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tarvek: the scoring matrix file's name is empty\n" + fatal("bad matrix file "));
    EXPECT_EQ(dir.read("tarvek_log.txt"), echo + fatal("bad matrix file "));
  }
  {
    // Rows read before the bad entry are already echoed; the comment is not.
    TempDir dir;
    dir.write("m.txt", ";scores\n0\t0\t0\t0\t0\t0\n0\t1\t2\t3\t4\t5\n1\t2\tx\t4\t5\t6\n");
    const RunResult r = run_options(dir, {"-m", "m.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, kLogHere);
    EXPECT_EQ(r.err, fatal("matrix entries should be integers!"));
    EXPECT_EQ(dir.read("tarvek_log.txt"),
              echo + "000000\n012345\n" + fatal("matrix entries should be integers!"));
    EXPECT_FALSE(dir.exists("x_map.loc"));
  }
  {
    TempDir dir;
    dir.write("m.txt", "1.5\t0\t0\t0\t0\t0\n");
    const RunResult r = run_options(dir, {"-m", "m.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(dir.read("tarvek_log.txt"), echo + fatal("matrix entries should be integers!"));
  }
}

// Parameters-file mode: the loc file alone on the command line.
RunResult run_with_parameters(const TempDir& dir, const std::string& parameters,
                              const std::string& loc = "x.loc") {
  const auto slash = loc.rfind('/');
  const std::string base = slash == std::string::npos ? "" : loc.substr(0, slash + 1);
  dir.write(loc, kHeaderOnly);
  dir.write(base + "matrix.txt", kRecombinationMatrix);
  dir.write(base + "mapping_parameters.txt", parameters);
  return run_tarvek_in(dir, {loc});
}

TEST(ParametersFile, ValuesFollowTheFirstEqualsSignAndOnlyPositiveOnesCount) {
  TempDir dir;
  const RunResult r = run_with_parameters(dir,
                                          "matrix=matrix.txt\n"
                                          "chromosomes=0\n"
                                          "core=5.5\n"
                                          "min=2=junk\n"
                                          "missing=1.5\n"
                                          "ab=-3\n"
                                          "abh=abc\n"
                                          "ac=7\n"
                                          "order=1.0\n"
                                          "ignored=1\n");
  Echo echo;
  echo.core = "5.5";
  echo.min = "2";
  echo.missing = "1.5";  // no range check in this mode
  echo.ac = "7";
  echo.order = "1";
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "tarvek: warning: no locus read from x.loc\n");
  EXPECT_TRUE(starts_with(r.out, kLogHere + "\ncreating LOD matrix...\n")) << r.out;
  EXPECT_TRUE(starts_with(dir.read("tarvek_log.txt"),
                          "getting parameters from mapping_parameters.txt" + echo.text() + kMatrixEcho +
                              "\nRUNNING TARVEK ON x\n"));
}

TEST(ParametersFile, OrderTwoLeavesIndividualOrderingOffAndShortFilesKeepDefaults) {
  {
    TempDir dir;
    const RunResult r =
        run_with_parameters(dir, "m=matrix.txt\nc=3\nx=\nx=\nx=\nx=\nx=\nx=\norder=2\n");
    Echo echo;
    echo.chromosomes = "3";
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(starts_with(dir.read("tarvek_log.txt"),
                            "getting parameters from mapping_parameters.txt" + echo.text()));
  }
  {
    // Two lines, the last without a line feed, and a first line without "=".
    TempDir dir;
    const RunResult r = run_with_parameters(dir, "matrix.txt\nchromosomes=4");
    Echo echo;
    echo.chromosomes = "4";
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(starts_with(dir.read("tarvek_log.txt"),
                            "getting parameters from mapping_parameters.txt" + echo.text() + kMatrixEcho));
  }
}

TEST(ParametersFile, QuotedMatrixNameWithLeadingBlanks) {
  TempDir dir;
  dir.write("my matrix.txt", "; a comment\n6\t5\t4\t3\t2\t1\n");
  const RunResult r = run_with_parameters(dir, "matrix=  \"my matrix.txt\"\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(starts_with(dir.read("tarvek_log.txt"),
                          "getting parameters from mapping_parameters.txt" + Echo().text() +
                              "654321\n\nRUNNING TARVEK ON x\n"));
}

TEST(ParametersFile, LogMatrixAndMapLiveBesideALocFileInASubfolder) {
  TempDir dir;
  const RunResult r = run_with_parameters(dir, "matrix.txt\n", "sub/x.loc");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "tarvek: warning: no locus read from sub/x.loc\n");
  EXPECT_TRUE(starts_with(r.out, kStarted + "Writing log to sub/tarvek_log.txt\n"));
  EXPECT_FALSE(dir.exists("tarvek_log.txt"));
  EXPECT_TRUE(dir.exists("sub/x_map.loc"));
  EXPECT_TRUE(starts_with(dir.read("sub/tarvek_log.txt"),
                          "getting parameters from sub/mapping_parameters.txt" + Echo().text() +
                              kMatrixEcho + "\nRUNNING TARVEK ON sub/x\n"));
}

TEST(ParametersFile, FatalErrorsNameThePathsBesideTheLocFile) {
  {
    TempDir dir;
    dir.write("x.loc", kHeaderOnly);
    const RunResult r = run_tarvek_in(dir, {"x.loc"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, kLogHere);
    EXPECT_EQ(r.err, "tarvek: mapping_parameters.txt: No such file or directory\n" +
                         fatal("bad parameters file!mapping_parameters.txt"));
    EXPECT_EQ(dir.read("tarvek_log.txt"), fatal("bad parameters file!mapping_parameters.txt"));
  }
  {
    TempDir dir;
    dir.write("sub/x.loc", kHeaderOnly);
    const RunResult r = run_tarvek_in(dir, {"sub/x.loc"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, kStarted + "Writing log to sub/tarvek_log.txt\n");
    EXPECT_EQ(r.err, "tarvek: sub/mapping_parameters.txt: No such file or directory\n" +
                         fatal("bad parameters file!sub/mapping_parameters.txt"));
    EXPECT_EQ(dir.read("sub/tarvek_log.txt"), fatal("bad parameters file!sub/mapping_parameters.txt"));
  }
  {
    TempDir dir;
    dir.write("sub/x.loc", kHeaderOnly);
    dir.write("sub/mapping_parameters.txt", "matrix=none.txt\n");
    const RunResult r = run_tarvek_in(dir, {"sub/x.loc"});
    const std::string log_head = "getting parameters from sub/mapping_parameters.txt" + Echo().text();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tarvek: sub/none.txt: No such file or directory\n" + fatal("bad matrix file sub/none.txt"));
    EXPECT_EQ(dir.read("sub/tarvek_log.txt"), log_head + fatal("bad matrix file sub/none.txt"));

    dir.write("sub/mapping_parameters.txt", "matrix=  \n");
    const RunResult blank = run_tarvek_in(dir, {"sub/x.loc"});
    EXPECT_EQ(blank.status, 1);
    EXPECT_EQ(blank.err, "tarvek: the scoring matrix file's name is empty\n" + fatal("bad matrix file sub/"));
    EXPECT_EQ(dir.read("sub/tarvek_log.txt"), log_head + fatal("bad matrix file sub/"));
  }
}

}  // namespace
}  // namespace tarvek::testing
