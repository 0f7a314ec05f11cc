// Larger runs end to end. Two simulated populations are compared byte for byte
// with reference files from the reference build (tests/data/golden). Each
// reference map is also checked against properties computed here from its
// printed genotypes: locus bookkeeping, the score, and r, LOD and distance
// between neighbours. The shipped example runs in both argument modes.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "linkage/pair_lod.hpp"
#include "support/process.hpp"
#include "support/text.hpp"

namespace tarvek::testing {
namespace {

bool starts_with(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

std::string slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.is_open()) << path;
  return (std::ostringstream() << in.rdbuf()).str();
}

template <typename T>
std::string text_of(T value) {  // the stream's default form, %g with 6 digits
  return (std::ostringstream() << value).str();
}

// Reports the first differing line instead of two files of 100 kB.
void expect_same_text(const std::string& actual, const std::string& expected, const std::string& what) {
  if (actual == expected) return;
  const auto a = split(actual, '\n');
  const auto e = split(expected, '\n');
  std::size_t k = 0;
  while (k < a.size() && k < e.size() && a[k] == e[k]) ++k;
  ADD_FAILURE() << what << " differs first at line " << k + 1 << "\n  current:   "
                << (k < a.size() ? a[k].substr(0, 240) : "<end>") << "\n  reference: "
                << (k < e.size() ? e[k].substr(0, 240) : "<end>");
}

GenotypeRow codes_of(const std::string& calls) {  // "-ABCDH*" are codes 0 to 6
  GenotypeRow row;
  for (char c : calls) {
    const auto code = std::string("-ABCDH*").find(c);
    row.push_back(code == std::string::npos ? 0 : static_cast<int>(code));
  }
  return row;
}

// Input loci, name -> one letter per file column.
std::map<std::string, std::string> loc_rows(const std::string& loc) {
  std::map<std::string, std::string> rows;
  const auto lines = split(loc, '\n');
  for (std::size_t k = 4; k < lines.size(); ++k) {
    if (lines[k].size() < 2 || lines[k][0] == ';' || lines[k][0] == '\t') continue;
    const auto fields = split(lines[k], '\t');
    std::string calls;
    for (std::size_t f = 1; f < fields.size(); ++f) calls += fields[f];
    rows[fields[0]] = calls;
  }
  return rows;
}

struct MapLocus {
  std::string name;
  std::string calls;              // one letter per written column
  std::vector<std::string> pair;  // r, LOD and distance behind ";"
};

struct MapFile {
  std::int64_t newscore = -1;
  std::vector<int> columns;  // ;indOrdr
  std::vector<std::vector<MapLocus>> groups;
  std::vector<MapLocus> bad_segregation, excess_missing;
};

MapFile parse_map(const std::string& text) {
  MapFile map;
  std::vector<MapLocus> group;
  std::vector<MapLocus>* rejected = nullptr;
  const auto lines = split(text, '\n');
  EXPECT_EQ(lines.back(), "") << "map file ends without a line feed";
  for (std::size_t k = 4; k + 1 < lines.size(); ++k) {
    const std::string& line = lines[k];
    if (starts_with(line, ";newscore=")) {
      map.newscore = std::stoll(line.substr(10));
    } else if (starts_with(line, ";indOrdr\t")) {
      const auto fields = split(line, '\t');
      for (std::size_t f = 1; f < fields.size() && fields[f] != ";"; ++f) map.columns.push_back(std::stoi(fields[f]));
    } else if (line == ";") {
      EXPECT_EQ(rejected, nullptr) << "group end among the rejected loci";
      map.groups.push_back(group);
      group.clear();
    } else if (line == ";bad segregation ratio markers") {
      rejected = &map.bad_segregation;
    } else if (line == ";excessive missing value markers") {
      EXPECT_EQ(lines[k - 1], "");
      rejected = &map.excess_missing;
    } else if (!line.empty() && line[0] != ';') {
      std::string body = line;
      if (rejected != nullptr) {  // rejected lines end with a tab
        EXPECT_EQ(body.back(), '\t') << line.substr(0, 40);
        body.pop_back();
      }
      const auto fields = split(body, '\t');
      MapLocus locus{fields[0], "", {}};
      std::size_t f = 1;
      for (; f < fields.size() && fields[f] != ";"; ++f) {
        EXPECT_EQ(fields[f].size(), 1u) << locus.name << " column " << f;
        locus.calls += fields[f];
      }
      if (f < fields.size()) locus.pair.assign(fields.begin() + static_cast<std::ptrdiff_t>(f) + 1, fields.end());
      (rejected != nullptr ? *rejected : group).push_back(locus);
    }
  }
  EXPECT_TRUE(group.empty()) << "loci after the last group end";
  return map;
}

// Entry [code at the first locus][code at the second]; row and column 6 stay 0.
std::array<std::array<int, 7>, 7> recombination_matrix() {
  std::array<std::array<int, 7>, 7> m{};
  std::istringstream in(kRecombinationMatrix);
  for (std::size_t i = 0; i < 36; ++i) in >> m[i / 6][i % 6];
  return m;
}

// Locus name -> group number (from 1), from the log's "singletons in group" lines.
std::map<std::string, std::size_t> removed_loci(const std::string& log) {
  std::map<std::string, std::size_t> removed;
  const std::string key = "singletons in group ";
  for (const auto& line : split(log, '\n')) {
    if (!starts_with(line, key)) continue;
    const auto colon = line.find(':');
    const std::size_t g = std::stoul(line.substr(key.size(), colon - key.size()));
    for (const auto& name : split(line.substr(colon + 1), ' ')) {
      if (!name.empty()) removed[name.substr(0, name.size() - 1)] = g;  // drop ","
    }
  }
  return removed;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// Everything a map file must satisfy, worked out from its own genotypes.
MapFile expect_consistent_map(const std::string& loc, const std::string& map_text, const std::string& log) {
  const auto input = loc_rows(loc);
  const std::size_t n = input.begin()->second.size();
  const MapFile map = parse_map(map_text);

  std::vector<int> sorted = map.columns, identity(n);
  std::sort(sorted.begin(), sorted.end());
  std::iota(identity.begin(), identity.end(), 0);
  EXPECT_EQ(sorted, identity) << ";indOrdr is no permutation of the individuals";

  // Each input locus once; its written columns, mapped back, are the input row
  // except where "*" flags a singleton.
  std::map<std::string, int> seen;
  const auto check_row = [&](const MapLocus& locus, bool star_allowed) {
    ++seen[locus.name];
    ASSERT_EQ(locus.calls.size(), n) << locus.name;
    ASSERT_EQ(map.columns.size(), n);
    const std::string& original = input.count(locus.name) ? input.at(locus.name) : locus.calls;
    std::size_t changed = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const char c = locus.calls[i];
      if (c == '*' ? !star_allowed : c != original[static_cast<std::size_t>(map.columns[i])]) ++changed;
    }
    EXPECT_EQ(changed, 0u) << locus.name;
  };
  for (const auto& group : map.groups)
    for (const auto& locus : group) check_row(locus, true);
  for (const auto& locus : map.bad_segregation) check_row(locus, false);
  for (const auto& locus : map.excess_missing) check_row(locus, false);
  EXPECT_EQ(seen.size(), input.size());
  for (const auto& [name, row] : input) EXPECT_EQ(seen[name], 1) << name;

  // "*" exactly in the loci the log reports as removed, in their own group.
  const auto removed = removed_loci(log);
  EXPECT_EQ(occurrences(log, "removing marker="), removed.size());
  for (std::size_t g = 0; g < map.groups.size(); ++g) {
    for (const auto& locus : map.groups[g]) {
      const auto at = removed.find(locus.name);
      EXPECT_EQ(locus.calls.find('*') != std::string::npos, at != removed.end() && at->second == g + 1)
          << locus.name << " in group " << g + 1;
    }
  }

  // Score: recombination-matrix pair scores of neighbours; r, LOD and distance
  // from the neighbour estimator on the printed genotypes.
  const auto matrix = recombination_matrix();
  std::uint32_t score = 0;
  for (const auto& group : map.groups) {
    if (!group.empty()) {
      EXPECT_TRUE(group.back().pair.empty()) << group.back().name;
    }
    for (std::size_t k = 0; k + 1 < group.size(); ++k) {
      const std::vector<GenotypeRow> rows = {codes_of(group[k].calls), codes_of(group[k + 1].calls)};
      for (std::size_t i = 0; i < rows[0].size() && i < rows[1].size(); ++i)
        score += static_cast<std::uint32_t>(matrix[rows[0][i]][rows[1][i]]);
      const PairLod p = adjacent_pair_lod(rows, 0, 1);
      std::vector<std::string> expected = {text_of(p.r), text_of(p.lod)};
      const double r = p.r;
      if (r < 0.5) expected.push_back(text_of(25.0 * std::log10((1.0 + 2.0 * r) / (1.0 - 2.0 * r))));
      EXPECT_EQ(group[k].pair, expected) << group[k].name << " / " << group[k + 1].name;
    }
  }
  EXPECT_EQ(map.newscore, static_cast<std::int32_t>(score));
  return map;
}

std::filesystem::path golden_dir() { return source_dir() / "tests/data/golden"; }

void expect_same_as_reference(const std::string& stem, const std::vector<std::string>& args) {
  TempDir dir;
  dir.write("matrix.txt", kRecombinationMatrix);
  dir.write(stem + ".loc", slurp(golden_dir() / (stem + ".loc")));
  const RunResult run = run_tarvek_in(dir, args);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  expect_same_text(run.out, slurp(golden_dir() / (stem + "_stdout.txt")), "standard output");
  expect_same_text(dir.read("tarvek_log.txt"), slurp(golden_dir() / (stem + "_log.txt")), "log");
  expect_same_text(dir.read(stem + "_map.loc"), slurp(golden_dir() / (stem + "_map.loc")), "map file");
}

TEST(GoldenRun, TwelveChromosomesGroupedMatchReference) {
  expect_same_as_reference("grouped", {"-g", "12", "16", "4", "grouped.loc"});
}

TEST(GoldenRun, OneGroupWithErrsweepAndIndividualOrderMatchesReference) {
  expect_same_as_reference("group", {"-s", "100", "0.03", "-o", "group.loc"});
}

TEST(GoldenReference, MapsAgreeWithTheirOwnGenotypes) {
  for (const std::string stem : {"grouped", "group"}) {
    SCOPED_TRACE(stem);
    const MapFile map = expect_consistent_map(slurp(golden_dir() / (stem + ".loc")),
                                              slurp(golden_dir() / (stem + "_map.loc")),
                                              slurp(golden_dir() / (stem + "_log.txt")));
    // 12 chromosomes asked for; or grouping skipped, where ERRSWEEP must remove loci.
    EXPECT_EQ(map.groups.size() >= 12, stem == "grouped");
    EXPECT_EQ(removed_loci(slurp(golden_dir() / (stem + "_log.txt"))).empty(), stem == "grouped");
  }
}

// --- The shipped example: 3 chromosomes of 20 markers, 2 distorted and 2
// missing-heavy markers, 100 individuals -------------------------------------

void copy_example(const TempDir& dir) {
  for (const char* name : {"cross.loc", "matrix.txt", "mapping_parameters.txt"})
    dir.write(name, slurp(source_dir() / "examples" / name));
}

TEST(ExampleRun, ParametersFileFindsTheThreeChromosomes) {
  TempDir dir;
  copy_example(dir);
  const RunResult run = run_tarvek_in(dir, {"cross.loc"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const MapFile map =
      expect_consistent_map(dir.read("cross.loc"), dir.read("cross_map.loc"), dir.read("tarvek_log.txt"));

  // Linkage at LOD 8 recovers each simulated chromosome whole (names cNNmMMMM).
  ASSERT_EQ(map.groups.size(), 3u);
  std::vector<std::string> chromosomes;
  for (const auto& group : map.groups) {
    EXPECT_EQ(group.size(), 20u);
    for (const auto& locus : group) EXPECT_EQ(locus.name.substr(0, 3), group[0].name.substr(0, 3)) << locus.name;
    chromosomes.push_back(group[0].name.substr(0, 3));
  }
  std::sort(chromosomes.begin(), chromosomes.end());
  EXPECT_EQ(chromosomes, (std::vector<std::string>{"c01", "c02", "c03"}));

  // About 80 % A fails the 1:2:1 test; half the scores missing fails the 20 % limit.
  ASSERT_EQ(map.bad_segregation.size(), 2u);
  ASSERT_EQ(map.excess_missing.size(), 2u);
  for (const auto& locus : map.bad_segregation) EXPECT_TRUE(starts_with(locus.name, "dist")) << locus.name;
  for (const auto& locus : map.excess_missing) EXPECT_TRUE(starts_with(locus.name, "miss")) << locus.name;
}

TEST(ExampleRun, ErrsweepOnSmallGroupsFlagsSingletonsAndRepeatsExactly) {
  TempDir dir;
  copy_example(dir);
  const std::vector<std::string> args = {"-g", "3", "8", "3", "-s", "2", "0.03", "-m", "matrix.txt", "cross.loc"};
  const RunResult first = run_tarvek_in(dir, args);
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.err, "");
  const std::string map_text = dir.read("cross_map.loc");
  const std::string log = dir.read("tarvek_log.txt");

  EXPECT_GT(occurrences(log, "\nsingletons in group "), 0u);
  EXPECT_NE(map_text.find('*'), std::string::npos);
  // Stars only in group sections and only in the removed loci, each of which
  // stays once in the group that removed it.
  const MapFile map = expect_consistent_map(dir.read("cross.loc"), map_text, log);
  EXPECT_EQ(map.groups.size(), 3u);

  const RunResult second = run_tarvek_in(dir, args);
  EXPECT_EQ(second.status, 0);
  EXPECT_EQ(second.out, first.out);
  EXPECT_EQ(dir.read("cross_map.loc"), map_text);
  EXPECT_EQ(dir.read("tarvek_log.txt"), log);
}

}  // namespace
}  // namespace tarvek::testing
