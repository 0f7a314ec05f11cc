#include <gtest/gtest.h>

#include "support/process.hpp"

namespace tarvek::testing {
namespace {

TEST(CommandLine, NoArgumentIsFatalOnStandardErrorOnly) {
  TempDir dir;
  const RunResult r = run_tarvek_in(dir, {});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Running tarvek...\n");
  EXPECT_EQ(r.err, "\n\nFatal error!: bad input. tarvek wants input!\n");
  EXPECT_FALSE(dir.exists("tarvek_log.txt"));
}

}  // namespace
}  // namespace tarvek::testing
