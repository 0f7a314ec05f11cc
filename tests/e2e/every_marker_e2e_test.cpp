// Markers the classic screening loses: distorted but linked ones (-k),
// sparse ones under the framework, and the settings -A chooses.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "run/settings_choice.hpp"
#include "support/fixtures.hpp"
#include "support/process.hpp"

namespace tarvek::testing {
namespace {

// A chromosome of `markers` markers 5 cM apart (r ≈ 0.05 between
// neighbours), F2 genotypes of the individuals as letters, from a fixed
// stream (mt19937's outputs are fixed by the standard).
std::vector<std::string> chromosome(std::mt19937& random, int markers, int individuals) {
  std::vector<std::string> rows(static_cast<std::size_t>(markers));
  const auto crossover = [&random] { return random() % 100 < 5; };
  for (int k = 0; k < individuals; ++k) {
    int g0 = static_cast<int>(random() % 2);
    int g1 = static_cast<int>(random() % 2);
    for (auto& row : rows) {
      row += g0 != g1 ? 'H' : g0 == 0 ? 'A' : 'B';
      if (crossover()) g0 ^= 1;
      if (crossover()) g1 ^= 1;
    }
  }
  return rows;
}

std::string locus_line(const std::string& name, const std::string& letters) {
  std::string line = name;
  for (const char c : letters) {
    line += '\t';
    line += c;
  }
  return line + "\n";
}

std::string named(char prefix, std::size_t number) {
  std::string name(1, prefix);
  name += std::to_string(number);
  return name;
}

std::string header(const std::string& type, std::size_t loci, int individuals) {
  return "name = planted\npopt = " + type + "\nnloc = " + std::to_string(loci) +
         "\nnind = " + std::to_string(individuals) + "\n";
}

// The names of the map file's groups, in map order.
std::vector<std::vector<std::string>> map_groups(const std::string& map) {
  std::vector<std::vector<std::string>> groups(1);
  std::size_t at = map.find("\tr\tLOD\tdist\n");
  at = map.find('\n', at) + 1;
  while (at < map.size() && map.compare(at, 4, ";bad") != 0 && map.compare(at, 4, ";exc") != 0) {
    const std::size_t end = map.find('\n', at);
    const std::string line = map.substr(at, end - at);
    if (line == ";") {
      groups.emplace_back();
    } else if (!line.empty() && line[0] != ';') {
      groups.back().push_back(line.substr(0, line.find('\t')));
    }
    at = end + 1;
  }
  groups.pop_back();
  return groups;
}

// True when the names run through the chromosome's markers (named by their
// rank) in one direction.
bool in_order(const std::vector<std::string>& names) {
  bool up = true, down = true;
  for (std::size_t k = 1; k < names.size(); ++k) {
    up = up && names[k - 1] < names[k];
    down = down && names[k - 1] > names[k];
  }
  return up || down;
}

// Chromosomes of 24 and 12 markers. Selection against B at the top of the
// first (B never survives, H half the time) distorts its first markers; d99
// is unlinked and distorted (mostly A).
std::string distorted_region_file() {
  std::mt19937 random(11);
  std::vector<std::string> first(24), second;
  const int individuals = 120;
  while (first[0].size() < static_cast<std::size_t>(individuals)) {
    const std::vector<std::string> one = chromosome(random, 24, 1);
    if (one[0][0] == 'B' || (one[0][0] == 'H' && random() % 2 == 0)) continue;
    for (std::size_t m = 0; m < 24; ++m) first[m] += one[m];
  }
  second = chromosome(random, 12, individuals);
  std::string unlinked;
  for (int k = 0; k < individuals; ++k) unlinked += random() % 10 < 8 ? 'A' : 'H';
  std::string text = header("F2", 37, individuals);
  for (std::size_t m = 0; m < 24; ++m) {
    text += locus_line(named('a', 10 + m), first[m]);
    if (m < 12) text += locus_line(named('b', 10 + m), second[m]);
  }
  return text + locus_line("d99", unlinked);
}

TEST(EveryMarker, DistortedRegionKeptInItsChromosomeInOrder) {
  TempDir classic, kept;
  for (const TempDir* dir : {&classic, &kept}) {
    dir->write("x.loc", distorted_region_file());
    dir->write("matrix.txt", kRecombinationMatrix);
  }
  const std::vector<std::string> options = {"-q", "0.2", "5", "5", "5", "-g", "2", "8", "4"};
  std::vector<std::string> args = options;
  args.push_back("x.loc");
  const RunResult before = run_tarvek_in(classic, args);
  ASSERT_EQ(before.status, 0);
  const std::string classic_map = classic.read("x_map.loc");
  const std::size_t rejected = classic_map.find(";bad segregation ratio markers\n");
  ASSERT_NE(rejected, std::string::npos);
  ASSERT_NE(classic_map.find("\na10\t", rejected), std::string::npos);
  EXPECT_EQ(before.err.find("tarvek: "), std::string::npos);

  args.insert(args.begin(), "-k");
  const RunResult after = run_tarvek_in(kept, args);
  ASSERT_EQ(after.status, 0);
  const std::string map = kept.read("x_map.loc");
  const auto groups = map_groups(map);
  ASSERT_EQ(groups.size(), 2u) << map;
  for (const auto& g : groups) {
    EXPECT_EQ(g.size(), g[0][0] == 'a' ? 24u : 12u);
    EXPECT_TRUE(in_order(g));
    for (const std::string& name : g) EXPECT_EQ(name[0], g[0][0]);
  }
  // Only the unlinked marker is still rejected, and the log names the kept.
  const std::size_t still = map.find(";bad segregation ratio markers\n");
  ASSERT_NE(still, std::string::npos);
  EXPECT_EQ(map.substr(still).find("\nd99\t") != std::string::npos, true);
  EXPECT_EQ(map.substr(still).find("\na1"), std::string::npos);
  const std::string log = kept.read("tarvek_log.txt");
  EXPECT_NE(log.find("keep distorted = 1\n"), std::string::npos);
  EXPECT_NE(log.find("kept distorted marker a10 in group "), std::string::npos);
  EXPECT_EQ(log.find("kept distorted marker d99"), std::string::npos);
}

// One chromosome of ten markers; s5 repeats marker m15 with 60% of its
// genotypes missing (and m12 with 60% missing under another name).
std::string sparse_file() {
  std::mt19937 random(5);
  const std::vector<std::string> rows = chromosome(random, 10, 100);
  std::string text = header("F2", 11, 100);
  for (std::size_t m = 0; m < 10; ++m) text += locus_line(named('m', 10 + m), rows[m]);
  std::string sparse = rows[5];
  for (std::size_t k = 0; k < sparse.size(); ++k)
    if (k % 5 < 3) sparse[k] = '-';
  return text + locus_line("m15s", sparse);
}

TEST(EveryMarker, SparseMarkerPlacedBesideItsTwinUnderTheFramework) {
  TempDir dir;
  dir.write("x.loc", sparse_file());
  dir.write("matrix.txt", kRecombinationMatrix);
  const RunResult r =
      run_tarvek_in(dir, {"-f", "-q", "1", "50", "50", "50", "-g", "1", "8", "4", "x.loc"});
  ASSERT_EQ(r.status, 0);
  const auto groups = map_groups(dir.read("x_map.loc"));
  ASSERT_EQ(groups.size(), 1u);
  std::vector<std::string> framework;
  std::size_t at = 0;
  for (std::size_t k = 0; k < groups[0].size(); ++k) {
    if (groups[0][k] == "m15s") {
      at = k;
    } else {
      framework.push_back(groups[0][k]);
    }
  }
  EXPECT_TRUE(in_order(framework));
  ASSERT_GT(at, 0u);
  ASSERT_LT(at + 1, groups[0].size());
  EXPECT_TRUE(groups[0][at - 1] == "m15" || groups[0][at + 1] == "m15");
  EXPECT_NE(dir.read("tarvek_log.txt").find("1 sparse markers set aside\n"), std::string::npos);
}

// A backcross of two chromosomes whose header says so, with an unlinked
// marker missing in 80% of the individuals and 1:1 among the others.
std::string backcross_file() {
  std::mt19937 random(3);
  std::string text;
  std::size_t loci = 0;
  for (const char chrom : {'p', 'q'}) {
    const std::vector<std::string> rows = chromosome(random, 8, 100);
    for (std::size_t m = 0; m < rows.size(); ++m) {
      std::string row = rows[m];
      for (char& c : row) c = c == 'A' ? 'A' : 'H';  // one gamete's worth
      text += locus_line(named(chrom, 10 + m), row);
      ++loci;
    }
  }
  std::string sparse(100, '-');
  for (std::size_t k = 0; k < 20; ++k) sparse[k * 5] = k % 2 == 0 ? 'A' : 'H';
  return header("BC1", loci + 1, 100) + text + locus_line("s", sparse);
}

TEST(EveryMarker, ChosenSettingsAreTheEquivalentCommandLine) {
  TempDir chosen, given;
  for (const TempDir* dir : {&chosen, &given}) {
    dir->write("x.loc", backcross_file());
    dir->write("matrix.txt", kRecombinationMatrix);
  }
  const RunResult r = run_tarvek_in(chosen, {"-A", "2", "x.loc"});
  ASSERT_EQ(r.status, 0);
  const std::string prefix = "tarvek: -A chose: tarvek ";
  ASSERT_EQ(r.err.rfind(prefix, 0), 0u) << r.err;
  const std::string line = r.err.substr(prefix.size(), r.err.find('\n') - prefix.size());
  // Type from the header, the missing threshold, -u for the sparse marker
  // (1:1 among its 20 typed, 80 missing inflate the classic statistic to 64)
  // and -f for it.
  EXPECT_EQ(line.rfind("-p BC1 -q 0.85 50 50 50 -u -f -g 2 ", 0), 0u) << line;
  // The core LOD is the first step whose groups of two or more fit.
  const std::string log = chosen.read("tarvek_log.txt");
  const std::size_t fits = log.find(" groups of two or more markers once the satellites are placed\n");
  ASSERT_NE(fits, std::string::npos);
  EXPECT_NE(log.find("as a command line: tarvek " + line + "\n"), std::string::npos);

  std::vector<std::string> args;
  std::size_t from = 0;
  while (from < line.size()) {
    const std::size_t blank = line.find(' ', from);
    args.push_back(line.substr(from, blank == std::string::npos ? std::string::npos : blank - from));
    from = blank == std::string::npos ? line.size() : blank + 1;
  }
  const RunResult explicit_run = run_tarvek_in(given, args);
  ASSERT_EQ(explicit_run.status, 0);
  EXPECT_EQ(chosen.read("x_map.loc"), given.read("x_map.loc"));
  // The sparse marker is linked to nothing: two groups and it alone.
  const auto groups = map_groups(given.read("x_map.loc"));
  ASSERT_EQ(groups.size(), 3u);
  EXPECT_EQ(groups[2], std::vector<std::string>{"s"});
}

TEST(EveryMarker, TypedOnlyHintAndParametersFileKey) {
  TempDir dir;
  dir.write("x.loc", backcross_file());
  dir.write("matrix.txt", kRecombinationMatrix);
  const std::string nine =
      "matrix=matrix.txt\nchromosomes=2\ncore_LOD=8\nmin_LOD=4\nmissing=0.9\n"
      "chi=50\nchi=50\nchi=50\norder=0\npopulation=BC1\n";
  dir.write("mapping_parameters.txt", nine);
  const RunResult hint = run_tarvek_in(dir, {"x.loc"});
  ASSERT_EQ(hint.status, 0);
  EXPECT_EQ(hint.err,
            "tarvek: 1 of the 1 markers rejected for segregation pass their test among the "
            "individuals typed at them; -u (or typed only=1 in mapping_parameters.txt) tests "
            "them so and keeps them\n");
  EXPECT_NE(dir.read("x_map.loc").find(";bad segregation ratio markers\ns\t"), std::string::npos);
  dir.write("mapping_parameters.txt", nine + "typed only=1\n");
  const RunResult typed = run_tarvek_in(dir, {"x.loc"});
  ASSERT_EQ(typed.status, 0);
  EXPECT_EQ(typed.err, "");
  EXPECT_EQ(dir.read("x_map.loc").find(";bad segregation"), std::string::npos);
  EXPECT_NE(dir.read("tarvek_log.txt").find("segregation among typed genotypes = 1\n"),
            std::string::npos);
}

// Unlinked pairs reach a LOD x with probability P(Z > sqrt(2 ln 10 x)):
// 1.008e-4 at LOD 3 (z = 3.717) and 8.9e-6 at LOD 4 (z = 4.292), from the
// normal table.
TEST(EveryMarker, ChanceLinksFollowTheNormalTail) {
  EXPECT_NEAR(chance_links(1e4, 3.0), 1.008, 0.005);
  EXPECT_NEAR(chance_links(1e4, 4.0), 0.089, 0.002);
  EXPECT_EQ(chance_links(0.0, 3.0), 0.0);
  EXPECT_EQ(chance_links(5.0, 0.0), 5.0);  // every pair reaches LOD 0
}

// Fifty chromosomes of three tightly linked markers, ten chromosomes asked
// for: the groups never fit, and the ladder stops at LOD 4, since about 1.13
// of the 11,175 pairs of markers would reach LOD 3 unlinked.
TEST(EveryMarker, CoreLodIsNotLoweredToWhereChanceLinksAreExpected) {
  std::mt19937 random(5);
  const int individuals = 100;
  std::string text = header("F2", 150, individuals);
  for (std::size_t c = 0; c < 50; ++c) {
    const std::vector<std::string> rows = chromosome(random, 3, individuals);
    for (std::size_t m = 0; m < 3; ++m) text += locus_line(named('c', 100 + 3 * c + m), rows[m]);
  }
  TempDir dir;
  dir.write("x.loc", text);
  dir.write("matrix.txt", kRecombinationMatrix);
  const RunResult r = run_tarvek_in(dir, {"-A", "10", "x.loc"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find(" -g 10 4 4 "), std::string::npos) << r.err;
  const std::string log = dir.read("tarvek_log.txt");
  EXPECT_NE(log.find("core LOD 4: 50 groups of two or more markers once the satellites are placed\n"
                     "core LOD 3 not tried: about 1.1"),
            std::string::npos)
      << log;
}

}  // namespace
}  // namespace tarvek::testing
