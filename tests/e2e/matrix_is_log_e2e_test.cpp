// A scoring matrix named like the log is refused before the log is opened,
// also on a first run, when the log does not exist yet: otherwise the run
// would create the log and read its own parameter echo as the matrix.

#include <gtest/gtest.h>

#include <string>

#include "support/process.hpp"

namespace tarvek::testing {
namespace {

const std::string kLoc =
    "; F2\nname = x\nnloc = 3\nnind = 4\n"
    "M1\tA\tA\tB\tB\nM2\tA\tA\tB\tA\nM3\tB\tB\tA\tA\n";

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(MatrixIsLog, ParametersFileNamingTheLogBeforeItExists) {
  TempDir dir;
  dir.write("x.loc", kLoc);
  dir.write("mapping_parameters.txt", "matrix=tarvek_log.txt\nchromosomes=2\n");
  const RunResult r = run_tarvek_in(dir, {"x.loc"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, fatal("bad matrix file tarvek_log.txt"))) << r.err;
  EXPECT_FALSE(dir.exists("tarvek_log.txt"));
  EXPECT_FALSE(dir.exists("x_map.loc"));
}

TEST(MatrixIsLog, OptionsNamingTheLogUnderAnotherSpelling) {
  TempDir dir;
  dir.write("x.loc", kLoc);
  const RunResult r = run_tarvek_in(dir, {"-l", "run.log", "-m", "./run.log", "x.loc"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, fatal("bad matrix file ./run.log"))) << r.err;
  EXPECT_FALSE(dir.exists("run.log"));
}

TEST(MatrixIsLog, ANulInTheMatrixNameEndsItAsTheSystemSeesIt) {
  TempDir dir;
  dir.write("x.loc", kLoc);
  dir.write("mapping_parameters.txt", std::string("matrix=tarvek_log.txt\0.txt\n", 27));
  const RunResult r = run_tarvek_in(dir, {"x.loc"});
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(dir.exists("tarvek_log.txt"));
}

}  // namespace
}  // namespace tarvek::testing
