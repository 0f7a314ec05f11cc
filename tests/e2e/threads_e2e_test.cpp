// The number of threads: bad values of -t end the run, and whole runs give
// the same bytes on every channel and in every file at any number of threads.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/process.hpp"

namespace tarvek::testing {
namespace {

// A simulated F2 on `chromosomes` linkage groups: along each chromosome every
// individual's two chromosomes switch parent with chance 1 in 12 between
// neighbouring markers; 3% of the scores are wrong, 4% missing, and every
// tenth marker is dominant. Lines are shuffled.
std::string simulated_loc(unsigned seed, int chromosomes, int per_chromosome, int individuals) {
  std::mt19937 rng(seed);
  const char wrong[] = {'A', 'B', 'H'};
  std::vector<std::string> lines;
  for (int c = 0; c < chromosomes; ++c) {
    std::vector<int> first(static_cast<std::size_t>(individuals)), second(first);
    for (int& p : first) p = static_cast<int>(rng() % 2);
    for (int& p : second) p = static_cast<int>(rng() % 2);
    for (int m = 0; m < per_chromosome; ++m) {
      std::string line = "c";
      line += std::to_string(c);
      line += 'm';
      line += std::to_string(m);
      line += '\t';
      const bool dominant = m % 10 == 9;
      for (std::size_t k = 0; k < first.size(); ++k) {
        if (rng() % 12 == 0) first[k] ^= 1;
        if (rng() % 12 == 0) second[k] ^= 1;
        char letter = first[k] != second[k] ? 'H' : first[k] == 0 ? 'A' : 'B';
        if (rng() % 100 < 3) letter = wrong[rng() % 3];
        if (dominant && letter != 'A') letter = 'C';
        if (rng() % 100 < 4) letter = '-';
        line += letter;
        line += ' ';
      }
      lines.push_back(line);
    }
  }
  for (std::size_t i = lines.size(); i > 1; --i) std::swap(lines[i - 1], lines[rng() % i]);
  std::string text = "; simulated F2\nname = sim\nnloc = " + std::to_string(lines.size()) +
                     "\nnind = " + std::to_string(individuals) + "\n";
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

struct Outputs {
  RunResult run;
  std::string log, map;
};

Outputs run_with(const std::string& loc, std::vector<std::string> options) {
  TempDir dir;
  dir.write("x.loc", loc);
  dir.write("matrix.txt", kRecombinationMatrix);
  options.push_back("x.loc");
  Outputs o;
  o.run = run_tarvek_in(dir, options);
  o.log = dir.read("tarvek_log.txt");
  o.map = dir.read("x_map.loc");
  return o;
}

// Runs `options` without -t and with -t 1, 2 and 7: every output agrees.
void expect_same_at_any_thread_count(const std::string& loc, const std::vector<std::string>& options,
                                     bool removals_expected) {
  const Outputs one = run_with(loc, [&] {
    std::vector<std::string> o = {"-t", "1"};
    o.insert(o.end(), options.begin(), options.end());
    return o;
  }());
  ASSERT_EQ(one.run.status, 0) << one.run.err;
  EXPECT_EQ(one.run.err, "");
  if (removals_expected) {
    EXPECT_NE(one.log.find("removing marker="), std::string::npos);
  }
  for (const std::string threads : {"", "2", "7"}) {
    SCOPED_TRACE(threads.empty() ? std::string("default threads") : threads + " threads");
    std::vector<std::string> o = options;
    if (!threads.empty()) o.insert(o.begin(), {"-t", threads});
    const Outputs many = run_with(loc, o);
    EXPECT_EQ(many.run.status, 0);
    EXPECT_EQ(many.run.out, one.run.out);
    EXPECT_EQ(many.run.err, one.run.err);
    EXPECT_EQ(many.log, one.log);
    EXPECT_EQ(many.map, one.map);
  }
}

TEST(Threads, GroupedRunWithErrorDetectionAndOrderedIndividualsIsTheSameAtAnyCount) {
  // Groups of about 200 markers are scanned (threshold 40); a singleton share
  // above 2% takes loci out; -o orders 200 individuals. The score matrices
  // are large enough to be shared among the threads.
  expect_same_at_any_thread_count(simulated_loc(5, 3, 200, 200),
                                  {"-g", "3", "8", "3", "-s", "40", "0.02", "-o"}, true);
}

TEST(Threads, OneLargeGroupIsTheSameAtAnyCount) {
  expect_same_at_any_thread_count(simulated_loc(6, 1, 600, 150), {"-s", "50", "0.03", "-o"}, true);
}

TEST(Threads, ManyGroupsWithSwitchedAllelesAreTheSameAtAnyCount) {
  // 1,400 loci: enough for the grouping to screen pairs through clusters of
  // loci; -a adds the search for switched alleles.
  expect_same_at_any_thread_count(simulated_loc(7, 7, 200, 90), {"-g", "7", "10", "3", "-a"},
                                  false);
}

TEST(Threads, ManyThreadsOnTinyInputs) {
  const std::string three = "h1\nh2\nh3\nh4\nM1\tA\tA\tB\tB\nM3\tB\tB\tA\tA\nM2\tA\tA\tB\tA\n";
  const std::string one = "h1\nh2\nh3\nh4\nM1\tA\tB\n";
  const std::string none = "h1\nh2\nh3\nh4\n";
  for (const std::string* loc : {&three, &one, &none}) {
    const Outputs single = run_with(*loc, {"-t", "1", "-s", "1", "0.01", "-o"});
    const Outputs many = run_with(*loc, {"-t", "1024", "-s", "1", "0.01", "-o"});
    EXPECT_EQ(many.run.status, single.run.status);
    EXPECT_EQ(many.run.out, single.run.out);
    EXPECT_EQ(many.run.err, single.run.err);
    EXPECT_EQ(many.log, single.log);
    EXPECT_EQ(many.map, single.map);
  }
}

TEST(Threads, BadCountsEndTheRunWithALineOfTheProgram) {
  for (const std::string value : {"0", "-2", "abc", "", "2x", " 2", "+2", "1025", "99999999999"}) {
    SCOPED_TRACE("'" + value + "'");
    TempDir dir;
    dir.write("x.loc", "h1\nh2\nh3\nh4\n");
    dir.write("matrix.txt", kRecombinationMatrix);
    const RunResult r = run_tarvek_in(dir, {"-o", "-t", value, "x.loc"});
    const std::string message =
        "-t needs a whole number of threads from 1 to 1024, not '" + value + "'";
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tarvek: " + message + "\n");
    EXPECT_EQ(dir.read("tarvek_log.txt"), fatal(message));
    EXPECT_FALSE(dir.exists("x_map.loc"));
  }
  TempDir dir;
  dir.write("x.loc", "h1\nh2\nh3\nh4\n");
  const RunResult missing = run_tarvek_in(dir, {"-t", "x.loc"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "tarvek: -t needs a number of threads before the loc file\n");
  // The largest count is taken.
  dir.write("matrix.txt", kRecombinationMatrix);
  EXPECT_EQ(run_tarvek_in(dir, {"-t", "1024", "x.loc"}).status, 0);
}

}  // namespace
}  // namespace tarvek::testing
