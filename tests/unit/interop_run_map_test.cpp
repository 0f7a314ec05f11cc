// The library's multipoint map of a finished run against tarvek-export's
// from the map file the run wrote: the same numbers, bit for bit.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/channels.hpp"
#include "interop/map_model.hpp"
#include "interop/map_reader.hpp"
#include "run/driver.hpp"
#include "run/run_map.hpp"
#include "run/run_parameters.hpp"
#include "support/process.hpp"

namespace tarvek::testing {
namespace {

TEST(RunMap, TheRunsEstimatesAreTheMapFilesEstimates) {
  TempDir dir;
  dir.write("cross.loc", TempDir::slurp(source_dir() / "examples" / "cross.loc"));
  dir.write("matrix.txt", kRecombinationMatrix);
  const std::string at = dir.path().string() + "/";
  // Ordered individuals, so that the map file's columns are not the loc file's.
  const std::vector<std::string> args = {"tarvek", "-g", "3", "8", "3", "-o", "-m", at + "matrix.txt",
                                         "-l", at + "log.txt", at + "cross.loc"};
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err, log;
  Channels channels = stream_channels(out, err, log);
  ASSERT_EQ(run_tarvek(static_cast<int>(argv.size()), argv.data(), channels), 0) << err.str();
  Channels again = stream_channels(out, err, log);
  RunSetup setup = read_run_parameters(static_cast<int>(argv.size()), argv.data(), again);
  const tarvek::RunResult result = run_pipeline(setup, again);

  const MapEstimateOptions options;
  const std::vector<GroupMap> from_run = estimate_run_map(result, PopulationType::F2, options);
  const interop::MapFile map = interop::read_map_file(at + "cross_map.loc");
  const std::vector<GroupMap> from_file = interop::estimate_map(map, PopulationType::F2, options);
  ASSERT_EQ(from_run.size(), 3u);
  ASSERT_EQ(from_file.size(), 3u);
  for (std::size_t g = 0; g < 3; ++g) {
    EXPECT_EQ(from_run[g].r, from_file[g].r) << "group " << g + 1;
    EXPECT_EQ(from_run[g].error_rate, from_file[g].error_rate);
    EXPECT_EQ(from_run[g].iterations, from_file[g].iterations);
  }
}

}  // namespace
}  // namespace tarvek::testing
