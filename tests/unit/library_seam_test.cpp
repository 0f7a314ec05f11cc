// The library's seam: options parsed without a file, parameters checked as
// the options are, and a run on a table in memory that writes the same map
// as the program on the same loc file.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/channels.hpp"
#include "support/fixtures.hpp"
#include "support/process.hpp"
#include "tarvek/tarvek.hpp"

namespace tarvek::testing {
namespace {

TEST(ParseOptions, KeepsWhatTheRunReportsAndInItsOrder) {
  // The first problem in argument order wins; the options before it have
  // spoken, and -l is taken even from after it (the log opens first).
  ParsedOptions p = parse_options(std::vector<std::string>{
      "-g", "10", "16", "4", "-g", "five", "0", "4", "-q", "9", "0", "0", "0", "-l", "my.log", "x.loc"});
  ASSERT_TRUE(p.problem);
  EXPECT_FALSE(p.problem->addition);
  EXPECT_EQ(p.problem->message, "bad input paramaters -g!\ncore_LOD must be > 0");
  EXPECT_EQ(p.console, (std::vector<std::string>{"chromosomes=10", "chromosomes=0"}));
  EXPECT_EQ(p.warnings, (std::vector<std::string>{"-g: \"five\" is not a number; it is read as 0"}));
  EXPECT_EQ(p.params.log_file, "my.log");
  EXPECT_EQ(p.params.loc_file, "x.loc");

  p = parse_options(std::vector<std::string>{"-g", "12.5", "16x", "4", "-p", "ril", "x.loc"});
  EXPECT_FALSE(p.problem);
  EXPECT_EQ(p.params.population, PopulationType::RIL);
  EXPECT_EQ(p.params.chromosomes, 12);
  EXPECT_EQ(p.warnings, (std::vector<std::string>{"-g: \"12.5\" is not a whole number; it is read as 12",
                                                  "-g: \"16x\" is not a number; it is read as 16"}));

  p = parse_options(std::vector<std::string>{"x.loc"});
  EXPECT_TRUE(p.parameters_file);
  EXPECT_FALSE(p.problem);
  EXPECT_FALSE(p.params.skip_grouping);
  p = parse_options(std::vector<std::string>{});
  ASSERT_TRUE(p.problem);
  EXPECT_EQ(p.problem->message, "bad input. tarvek wants input!");
}

TEST(CheckParameters, TheOptionsMessagesForParametersBuiltInCode) {
  EXPECT_FALSE(check_parameters(RunParameters{}));
  RunParameters p;
  p.singleton_threshold = 1.5f;
  ASSERT_TRUE(check_parameters(p));
  EXPECT_EQ(check_parameters(p)->message, "bad input paramaters -s!\n singleton threshold must be between 0 and 1");
  p = RunParameters{};
  p.min_LOD = 1.0f / 0.0f;
  ASSERT_TRUE(check_parameters(p));
  EXPECT_TRUE(check_parameters(p)->addition);
  p = RunParameters{};
  p.threads = 5000;
  EXPECT_TRUE(check_parameters(p));
  p = RunParameters{};
  p.sparse_share = 2.0f;
  EXPECT_TRUE(check_parameters(p));
}

TEST(StandardMatrix, IsTheShippedMatrixFile) {
  CapturedChannels io;
  EXPECT_EQ(standard_scoring_matrix(),
            load_scoring_matrix((source_dir() / "examples" / "matrix.txt").string(), io.channels));
}

TEST(MapGenotypeTable, WritesTheProgramsMapOfTheSameLocFile) {
  TempDir dir;
  const std::string at = dir.path().string() + "/";
  const std::string loc = TempDir::slurp(source_dir() / "examples" / "cross.loc");
  dir.write("cross.loc", loc);
  dir.write("matrix.txt", kRecombinationMatrix);
  const std::vector<std::string> args = {"tarvek", "-g", "3", "8", "3", "-o", "-t", "2", "-m", at + "matrix.txt",
                                         "-l", at + "log.txt", at + "cross.loc"};
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  CapturedChannels program;
  ASSERT_EQ(run_tarvek(static_cast<int>(argv.size()), argv.data(), program.channels), 0);

  // The same loci as a table: what reading the file gives before screening.
  GenotypeTable table;
  std::istringstream lines(loc);
  std::string line;
  for (int k = 0; std::getline(lines, line); ++k) {
    if (k < 4) {
      table.header_lines.push_back(line);
      continue;
    }
    const auto tab = line.find('\t');
    GenotypeRow row;
    for (std::size_t c = tab + 1; c < line.size(); c += 2) row.push_back(letter_to_code(line[c]));
    append_locus(table.loci, line.substr(0, tab), row);
  }
  RunParameters params = parse_options(std::vector<std::string>(args.begin() + 1, args.end())).params;
  params.loc_file = at + "cross.loc";
  CapturedChannels library;
  const tarvek::RunResult result = map_genotype_table(table, params, standard_scoring_matrix(), library.channels);
  write_run_map(at + "again_map.loc", result, library.channels);
  EXPECT_EQ(dir.read("again_map.loc"), dir.read("cross_map.loc"));
  // The log from the run on: the program's has the parameters before and
  // its closing line after.
  const std::string log = dir.read("log.txt");
  const std::string done = "\nTARVEK IS DONE\n";
  const auto from = log.find("\nRUNNING TARVEK ON");
  ASSERT_NE(from, std::string::npos);
  EXPECT_EQ(library.log_text() + done, log.substr(from));
  ASSERT_EQ(result.intervals.size(), result.groups.size());
  for (std::size_t g = 0; g < result.groups.size(); ++g)
    EXPECT_EQ(result.intervals[g].r.size() + 1, result.groups[g].size());
}

TEST(MapGenotypeTable, ProblemsComeBackAsRunAbortWithTheMessage) {
  GenotypeTable table;
  append_locus(table.loci, "bad\tname", GenotypeRow{kCodeA, kCodeB});
  CapturedChannels io;
  try {
    map_genotype_table(table, RunParameters{}, standard_scoring_matrix(), io.channels);
    ADD_FAILURE() << "no RunAbort";
  } catch (const RunAbort& abort) {
    EXPECT_EQ(abort.message, "locus 1 has the name \"bad\\x09name\", which cannot be one field of a loc file");
    EXPECT_EQ(io.errors_text(), "tarvek: " + abort.message + "\n");
  }
  // Rows of different lengths end the run as the loc reader ends it.
  table = GenotypeTable{};
  append_locus(table.loci, "m1", GenotypeRow{kCodeA, kCodeB});
  append_locus(table.loci, "m2", GenotypeRow{kCodeA});
  try {
    map_genotype_table(table, RunParameters{}, standard_scoring_matrix(), io.channels);
    ADD_FAILURE() << "no RunAbort";
  } catch (const RunAbort& abort) {
    EXPECT_EQ(abort.message.rfind("Terminating program! At marker m2", 0), 0u) << abort.message;
  }
}

}  // namespace
}  // namespace tarvek::testing
