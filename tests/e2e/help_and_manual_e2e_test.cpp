// --help and --version, and the manual page that documents the options.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "run/driver.hpp"
#include "run/option_table.hpp"
#include "run/run_parameters.hpp"
#include "support/process.hpp"

namespace tarvek::testing {
namespace {

TEST(HelpAndVersion, PrintOnStandardOutputAndExitZeroWritingNothingElse) {
  TempDir dir;
  const RunResult help = run_tarvek_in(dir, {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.err, "");
  EXPECT_EQ(help.out, usage_text());
  EXPECT_EQ(help.out.rfind("usage: tarvek <loc file>\n", 0), 0u);
  const RunResult version = run_tarvek_in(dir, {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "tarvek " TARVEK_TEST_VERSION "\n");
  EXPECT_FALSE(dir.exists("tarvek_log.txt"));
  // Every option the parser takes is in the usage text.
  for (const OptionSpec& o : accepted_options())
    EXPECT_NE(help.out.find(std::string("  -") + o.letter + ' '), std::string::npos) << o.letter;
}

TEST(Manual, DocumentsEveryOptionTheParserAccepts) {
  std::ifstream in(source_dir() / "man" / "tarvek.1");
  ASSERT_TRUE(in) << "man/tarvek.1";
  std::ostringstream text;
  text << in.rdbuf();
  const std::string man = text.str();
  for (const OptionSpec& o : accepted_options()) {
    // Options are set as ".BI \-g ..." or ".B \-o".
    const std::string flag = std::string("\\-") + o.letter;
    EXPECT_TRUE(man.find(".BI " + flag) != std::string::npos ||
                man.find(".B " + flag) != std::string::npos)
        << "option -" << o.letter << " is not in man/tarvek.1";
  }
  for (const char* long_option : {"\\-\\-help", "\\-\\-version"})
    EXPECT_NE(man.find(long_option), std::string::npos) << long_option;
}

}  // namespace
}  // namespace tarvek::testing
