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
  // Every option the parser takes is in the usage text, on its line with
  // its values and the default a fresh RunParameters holds.
  for (const OptionSpec& o : accepted_options()) {
    std::string head = std::string("  -") + o.letter + ' ';
    if (*o.value_names != '\0') head += std::string(o.value_names) + ' ';
    const auto at = help.out.find(head);
    ASSERT_NE(at, std::string::npos) << o.letter;
    const std::string fallback = option_default(o);
    if (fallback.empty()) continue;
    // The default stands in the option's own lines, before the next option.
    const auto next = help.out.find("\n  -", at + 1);
    EXPECT_NE(help.out.substr(at, next - at).find("(" + fallback), std::string::npos)
        << "-" << o.letter << " default " << fallback;
  }
}

// The text of a file of the source tree.
std::string source_text(const std::string& name) {
  std::ifstream in(source_dir() / name);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(Manual, AndReadmeGiveEachOptionsDefault) {
  const std::string man = source_text("man/tarvek.1");
  const std::string readme = source_text("README.md");
  for (const OptionSpec& o : accepted_options()) {
    const std::string fallback = option_default(o);
    if (fallback.empty()) continue;
    // The manual's entry: from the option's tag to the next one.
    auto at = man.find(".BI \\-" + std::string(1, o.letter) + " ");
    ASSERT_NE(at, std::string::npos) << o.letter;
    const std::string entry = man.substr(at, man.find(".TP", at) - at);
    std::string flat = entry;  // line breaks read as blanks
    for (char& c : flat) if (c == '\n') c = ' ';
    EXPECT_NE(flat.find(fallback), std::string::npos) << "man/tarvek.1 -" << o.letter << ": " << fallback;
    // The README's table row of the option.
    at = readme.find("| `-" + std::string(1, o.letter) + "` |");
    ASSERT_NE(at, std::string::npos) << o.letter;
    const std::string row = readme.substr(at, readme.find('\n', at) - at);
    EXPECT_NE(row.rfind(fallback), std::string::npos) << "README -" << o.letter << ": " << fallback;
  }
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
