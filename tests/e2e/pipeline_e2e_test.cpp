// The pipeline as a library: runs in one process, one after the other, give
// the same bytes as separate runs of the program, and an observer sees every
// stage start and end.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "base/channels.hpp"
#include "base/observer.hpp"
#include "run/driver.hpp"
#include "support/process.hpp"

namespace tarvek::testing {
namespace {

struct InProcess {
  int status = -1;
  std::string out, err, log, map;
};

InProcess run_in_process(const TempDir& dir, const std::vector<std::string>& args,
                         const StageObserver& observer = {}) {
  std::vector<const char*> argv = {"tarvek"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  Channels channels = standard_channels("tarvek");
  channels.console = &out;
  channels.errors = &err;
  channels.errors_on_terminal = false;
  InProcess r;
  r.status = run_tarvek(static_cast<int>(argv.size()), argv.data(), channels, observer);
  r.out = out.str();
  r.err = err.str();
  r.log = dir.read("log.txt");
  r.map = dir.read("cross_map.loc");
  return r;
}

TEST(Pipeline, TwoRunsInOneProcessGiveTheBytesOfTwoProcesses) {
  TempDir dir;
  dir.write("cross.loc", TempDir::slurp(source_dir() / "examples" / "cross.loc"));
  dir.write("matrix.txt", kRecombinationMatrix);
  const std::string at = dir.path().string() + "/";
  // Grouping, ERRSWEEP on the groups of more than 10 loci, ordered individuals.
  const std::vector<std::string> args = {"-g", "3",  "8",  "3",         "-s", "10",
                                         "0.03", "-o", "-m", at + "matrix.txt", "-l",
                                         at + "log.txt", at + "cross.loc"};
  const InProcess first = run_in_process(dir, args);
  const InProcess second = run_in_process(dir, args);
  EXPECT_EQ(first.status, 0);
  EXPECT_NE(first.map.find("*"), std::string::npos);  // ERRSWEEP did flag genotypes
  EXPECT_EQ(second.status, first.status);
  EXPECT_EQ(second.out, first.out);
  EXPECT_EQ(second.err, first.err);
  EXPECT_EQ(second.log, first.log);
  EXPECT_EQ(second.map, first.map);

  const RunResult process = run_tarvek_in(dir, args);
  EXPECT_EQ(process.status, first.status);
  EXPECT_EQ(process.out, first.out);
  EXPECT_EQ(process.err, first.err);
  EXPECT_EQ(dir.read("log.txt"), first.log);
  EXPECT_EQ(dir.read("cross_map.loc"), first.map);
}

// "+name" for a stage that starts, "-name" for one that ends.
std::string event(char sign, std::string_view name) {
  std::string e(1, sign);
  e += name;
  return e;
}

TEST(Pipeline, ObserverSeesEveryStageStartAndEndInOrder) {
  TempDir dir;
  dir.write("cross.loc", TempDir::slurp(source_dir() / "examples" / "cross.loc"));
  dir.write("matrix.txt", kRecombinationMatrix);
  const std::string at = dir.path().string() + "/";
  std::vector<std::string> events;
  StageObserver observer;
  observer.started = [&](Stage s) { events.push_back(event('+', stage_name(s))); };
  observer.finished = [&](Stage s) { events.push_back(event('-', stage_name(s))); };
  const InProcess r = run_in_process(
      dir, {"-g", "3", "8", "3", "-s", "10", "0.03", "-o", "-m", at + "matrix.txt", "-l",
            at + "log.txt", at + "cross.loc"},
      observer);
  ASSERT_EQ(r.status, 0);
  // Read, group, then per group (3 groups of about 20 loci, ERRSWEEP on each)
  // score matrix, LINKSORT, ERRSWEEP and rerun; then individuals and the map.
  std::vector<std::string> expected = {"+read", "-read", "+grouping", "-grouping"};
  for (int g = 0; g < 3; ++g)
    for (const char* s : {"score_matrix", "linksort", "errsweep", "rerun"}) {
      expected.push_back(event('+', s));
      expected.push_back(event('-', s));
    }
  for (const char* s : {"order_individuals", "write_map"}) {
    expected.push_back(event('+', s));
    expected.push_back(event('-', s));
  }
  EXPECT_EQ(events, expected);
}

}  // namespace
}  // namespace tarvek::testing
