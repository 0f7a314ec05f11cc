// The files installed beside the program: the standard scoring matrix that
// a run without matrix.txt is pointed to, and the commented parameters file.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/fixtures.hpp"
#include "support/process.hpp"

namespace tarvek::testing {
namespace {

TEST(InstalledFiles, AMissingMatrixNamesTheInstalledCopyAndTheOption) {
  // An installed tree: <prefix>/bin/tarvek and <prefix>/share/tarvek/matrix.txt.
  TempDir prefix;
  std::filesystem::create_directories(prefix.path() / "bin");
  std::filesystem::copy_file(tarvek_binary(), prefix.path() / "bin" / "tarvek");
  prefix.write("share/tarvek/matrix.txt", kRecombinationMatrix);
  const std::string installed = (prefix.path() / "share" / "tarvek" / "matrix.txt").string();

  TempDir dir;
  dir.write("x.loc", "h1\nh2\nh3\nh4\n");
  const RunResult r = run_program_in((prefix.path() / "bin" / "tarvek").string(), dir, {"-o", "x.loc"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarvek: matrix.txt: No such file or directory\n"
                   "tarvek: the standard scoring matrix is installed as " + installed + ": give -m " +
                       installed + " (or matrix=" + installed + " on the first line of mapping_parameters.txt)\n" +
                       fatal("bad matrix file matrix.txt"));
  // Given so, the run goes on.
  const RunResult given = run_program_in((prefix.path() / "bin" / "tarvek").string(), dir, {"-m", installed, "x.loc"});
  EXPECT_EQ(given.status, 0) << given.err;
}

TEST(InstalledFiles, TheCommentedParametersFileHoldsTheDefaults) {
  TempDir dir;
  dir.write("x.loc", "h1\nh2\nh3\nh4\n");
  dir.write("matrix.txt", kRecombinationMatrix);
  dir.write("mapping_parameters.txt", TempDir::slurp(source_dir() / "share" / "mapping_parameters.txt"));
  const RunResult r = run_tarvek_in(dir, {"x.loc"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "tarvek: warning: no locus read from x.loc\n");
  const std::string log = dir.read("tarvek_log.txt");
  EXPECT_EQ(log.rfind("getting parameters from mapping_parameters.txt" + ParameterEcho().text() + kMatrixEcho, 0), 0u)
      << log;
}

}  // namespace
}  // namespace tarvek::testing
