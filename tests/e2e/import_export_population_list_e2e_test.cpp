// The population types a user reads of: every type of the table, in its
// order, in each manual page's population option and in the help of the
// companions whose usage text is written out by hand.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "genotype/population_model.hpp"
#include "support/process.hpp"

namespace tarvek::testing {
namespace {

// The names of types in `text`, each at its first appearance as a word.
std::vector<std::string> type_names_in(const std::string& text) {
  std::vector<std::string> found;
  std::string word;
  const auto close = [&] {
    for (const PopulationModel& model : population_models())
      if (word == model.name && std::find(found.begin(), found.end(), word) == found.end())
        found.push_back(word);
    word.clear();
  };
  for (const char c : text) {
    if (std::isalnum(static_cast<unsigned char>(c))) word += c;
    else close();
  }
  close();
  return found;
}

std::vector<std::string> every_type_name() {
  std::vector<std::string> names;
  for (const PopulationModel& model : population_models()) names.emplace_back(model.name);
  return names;
}

// From the first `start` to the next `end` after it (the rest when none).
std::string entry(const std::string& text, const std::string& start, const std::string& end) {
  const auto at = text.find(start);
  if (at == std::string::npos) return {};
  const auto stop = text.find(end, at + start.size());
  return text.substr(at, stop == std::string::npos ? std::string::npos : stop - at);
}

TEST(PopulationList, EveryManualPageListsEveryTypeInOrder) {
  const struct {
    const char* page;
    const char* option;
  } pages[] = {{"tarvek.1", ".BI \\-p "},
               {"tarvek-import.1", ".BI \\-\\-population "},
               {"tarvek-export.1", ".BI \\-\\-population "},
               {"tarvek-draw.1", ".BI \\-\\-population "}};
  for (const auto& p : pages) {
    std::ifstream in(source_dir() / "man" / p.page);
    ASSERT_TRUE(in) << p.page;
    std::ostringstream text;
    text << in.rdbuf();
    const std::string option = entry(text.str(), p.option, ".TP");
    ASSERT_FALSE(option.empty()) << p.page;
    EXPECT_EQ(type_names_in(option), every_type_name()) << p.page;
  }
}

TEST(PopulationList, CompanionHelpListsEveryTypeInOrder) {
  TempDir dir;
  for (const std::string& program : {std::string(TARVEK_IMPORT_PATH), std::string(TARVEK_EXPORT_PATH)}) {
    const RunResult help = run_program_in(program, dir, {"--help"});
    ASSERT_EQ(help.status, 0) << program;
    const std::string option = entry(help.out, "  --population", "\n  -");
    ASSERT_FALSE(option.empty()) << program;
    EXPECT_EQ(type_names_in(option), every_type_name()) << program;
  }
}

}  // namespace
}  // namespace tarvek::testing
