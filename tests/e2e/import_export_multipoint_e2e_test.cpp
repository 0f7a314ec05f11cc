// tarvek-export's multipoint map end to end: the error table of a map with
// one planted singleton, the R/qtl export without the called errors, the
// same bytes on any number of threads, and the lengths, error rates and
// error calls on simulated populations of every type measured against the
// simulation's truth.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/process.hpp"

namespace tarvek::testing {
namespace {

const std::string kExport = TARVEK_EXPORT_PATH;

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(text);
  while (std::getline(in, field, separator)) fields.push_back(field);
  return fields;
}

// Rows of a tab-separated table with a header, as name → value.
std::vector<std::map<std::string, std::string>> table_of(const std::string& text) {
  const std::vector<std::string> lines = split(text, '\n');
  std::vector<std::map<std::string, std::string>> rows;
  if (lines.empty()) return rows;
  const std::vector<std::string> head = split(lines[0], '\t');
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string> f = split(lines[i], '\t');
    std::map<std::string, std::string> row;
    for (std::size_t k = 0; k < head.size(); ++k) row[head[k]] = k < f.size() ? f[k] : "";
    rows.push_back(row);
  }
  return rows;
}

// A doubled-haploid map of five markers and 40 individuals: half A, half B
// throughout, crossovers between the fourth and fifth marker in individuals
// 1-6, and the third marker of the eighth individual (column 7) scored B.
// The individual order is reversed, so column 7 holds individual 33.
std::string singleton_map() {
  std::string map = "name = planted\npopt = DH\nnloc = 5\nnind = 40\n\n\n\n;grouping threshold LOD=3\n"
                    ";oldscore=0\n;newscore=0\n;individuals";
  for (int i = 1; i <= 40; ++i) map.append("\tI").append(std::to_string(i));
  map += "\n;indOrdr";
  for (int c = 0; c < 40; ++c) map.append("\t").append(std::to_string(39 - c));
  map += "\t;\tr\tLOD\tdist\n";
  for (int k = 0; k < 5; ++k) {
    map.append("M").append(std::to_string(k + 1));
    for (int c = 0; c < 40; ++c) {
      char g = c < 20 ? 'A' : 'B';
      if (k == 4 && c < 6) g = 'B';
      if (k == 2 && c == 7) g = 'B';
      map += '\t';
      map += g;
    }
    if (k < 4) map += k == 3 ? "\t;\t0.15\t5.0\t6.6" : "\t;\t0.025\t10.0\t2.2";
    map += "\n";
  }
  return map + ";\n";
}

TEST(CompanionMultipoint, ErrorTableNamesThePlantedSingleton) {
  TempDir dir;
  dir.write("m_map.loc", singleton_map());
  const RunResult r = run_program_in(kExport, dir, {"errors", "m_map.loc", "-o", "errors.tsv"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.rfind("tarvek-export: group 1: 5 markers, error rate 0.0", 0), 0u) << r.err;
  const auto rows = table_of(dir.read("errors.tsv"));
  ASSERT_EQ(rows.size(), 1u) << dir.read("errors.tsv");
  EXPECT_EQ(dir.read("errors.tsv").rfind("group\tmarker\tindividual\tname\tobserved\tlikely\terror_lod\n", 0), 0u);
  const auto& row = rows[0];
  EXPECT_EQ(row.at("group"), "1");
  EXPECT_EQ(row.at("marker"), "M3");
  EXPECT_EQ(row.at("individual"), "33");
  EXPECT_EQ(row.at("name"), "I33");
  EXPECT_EQ(row.at("observed"), "B");
  EXPECT_EQ(row.at("likely"), "A");
  EXPECT_GT(std::stod(row.at("error_lod")), 2.7);

  // No error is possible at an error rate of 0; every genotype is listed at
  // a low enough threshold.
  ASSERT_EQ(run_program_in(kExport, dir, {"errors", "--error-rate", "0", "m_map.loc", "-o", "none.tsv"}).status, 0);
  EXPECT_EQ(dir.read("none.tsv"), "group\tmarker\tindividual\tname\tobserved\tlikely\terror_lod\n");
  ASSERT_EQ(run_program_in(kExport, dir, {"errors", "--min-lod", "-1000", "m_map.loc", "-o", "all.tsv"}).status, 0);
  EXPECT_EQ(table_of(dir.read("all.tsv")).size(), 200u);

  for (const std::vector<std::string>& bad : {std::vector<std::string>{"errors", "--min-lod", "x", "m_map.loc", "-o", "e"},
                                             {"errors", "--error-rate", "0.3", "m_map.loc", "-o", "e"},
                                             {"positions", "--distances", "three-point", "m_map.loc", "-o", "e"},
                                             {"mapchart", "--drop-errors", "m_map.loc", "-o", "e"}}) {
    const RunResult refused = run_program_in(kExport, dir, bad);
    EXPECT_EQ(refused.status, 2) << bad[1] << ": " << refused.err;
    EXPECT_FALSE(dir.exists("e"));
  }
}

TEST(CompanionMultipoint, DropErrorsWritesTheCalledGenotypeMissing) {
  TempDir dir;
  dir.write("m_map.loc", singleton_map());
  ASSERT_EQ(run_program_in(kExport, dir, {"rqtl", "m_map.loc", "-o", "plain.csv"}).status, 0);
  const RunResult r = run_program_in(kExport, dir, {"rqtl", "--drop-errors", "m_map.loc", "-o", "clean.csv"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("tarvek-export: 1 genotype called errors (error LOD at least 2.7) written as missing\n"),
            std::string::npos)
      << r.err;
  const std::vector<std::string> plain = split(dir.read("plain.csv"), '\n');
  const std::vector<std::string> clean = split(dir.read("clean.csv"), '\n');
  ASSERT_EQ(plain.size(), clean.size());
  // Rows: id, chromosome, position, then individuals 1-40 in the first loc
  // file's order; I33's row has M3 (the fourth field) missing.
  for (std::size_t i = 0; i < plain.size(); ++i) {
    if (i == 3 + 32) {
      EXPECT_EQ(plain[i], "I33,A,A,B,A,A");
      EXPECT_EQ(clean[i], "I33,A,A,-,A,A");
    } else if (i >= 3) {
      EXPECT_EQ(clean[i], plain[i]);
    }
  }
  // An explicit threshold above every call drops nothing.
  ASSERT_EQ(run_program_in(kExport, dir, {"rqtl", "--drop-errors", "50", "m_map.loc", "-o", "same.csv"}).status, 0);
  EXPECT_EQ(split(dir.read("same.csv"), '\n').at(35), "I33,A,A,B,A,A");
}

#ifdef TARVEK_F2SIM_PATH

const std::string kSimulator = TARVEK_F2SIM_PATH;

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Every type, 2% errors and 3% missing, four chromosomes of 150 cM with 200
// markers each, 150 individuals (F2: 10% dominant markers, mapped with -f).
TEST(CompanionMultipoint, LengthsErrorRatesAndCallsOfSimulatedPopulations) {
  for (const std::string type : {"F2", "BC1", "DH", "RIL", "RILsib"}) {
    SCOPED_TRACE(type);
    TempDir dir;
    std::vector<std::string> sim = {"--population", type, "--chromosomes", "4", "--markers", "800", "--individuals",
                                    "150", "--error-rate", "0.02", "--missing-rate", "0.03", "--seed", "21",
                                    "--truth", "truth.tsv", "--errors", "planted.tsv"};
    std::vector<std::string> options = {"-g", "4", "16", "4", "-p", type};
    if (type == "F2") {
      sim.insert(sim.end(), {"--dominant-share", "0.1"});
      options.push_back("-f");
    }
    const RunResult simulated = run_program_in(kSimulator, dir, sim);
    ASSERT_EQ(simulated.status, 0) << simulated.err;
    dir.write("p.loc", simulated.out);
    dir.write("matrix.txt", kRecombinationMatrix);
    options.push_back("p.loc");
    ASSERT_EQ(run_tarvek_in(dir, options).status, 0);
    const RunResult positions = run_program_in(kExport, dir, {"positions", "p_map.loc", "-o", "pos.tsv"});
    ASSERT_EQ(positions.status, 0) << positions.err;
    const RunResult errors = run_program_in(kExport, dir, {"errors", "p_map.loc", "-o", "calls.tsv"});
    ASSERT_EQ(errors.status, 0) << errors.err;

    std::map<std::string, double> true_position;
    std::set<std::string> dominant;
    for (const auto& row : table_of(dir.read("truth.tsv"))) {
      true_position[row.at("marker")] = std::stod(row.at("position"));
      if (row.at("dominant") == "1") dominant.insert(row.at("marker"));
    }
    // Length of each group against the span of its markers' true positions.
    std::map<std::string, std::vector<std::string>> markers_of;
    std::map<std::string, double> length_of;
    std::set<std::string> mapped;
    for (const auto& row : table_of(dir.read("pos.tsv"))) {
      markers_of[row.at("group")].push_back(row.at("marker"));
      length_of[row.at("group")] = std::max(length_of[row.at("group")], std::stod(row.at("position_cM")));
      mapped.insert(row.at("marker"));
    }
    std::vector<double> ratios;
    for (const auto& [group, names] : markers_of) {
      if (names.size() < 10) continue;  // a marker or two left apart
      double low = 1e9, high = -1e9;
      for (const auto& n : names) {
        low = std::min(low, true_position.at(n));
        high = std::max(high, true_position.at(n));
      }
      ratios.push_back(length_of[group] / (high - low));
      EXPECT_GT(ratios.back(), 0.8) << "group " << group;
      EXPECT_LT(ratios.back(), 1.25) << "group " << group;
    }
    ASSERT_GE(ratios.size(), 4u);  // a chromosome may stand in two groups
    EXPECT_NEAR(median(ratios), 1.0, 0.1);
    // The estimated error rate of each large group: the planted 2% within a quarter.
    for (const std::string& line : split(positions.err, '\n')) {
      if (line.find(" 1 marker,") != std::string::npos || line.find(" 2 markers,") != std::string::npos) continue;
      const auto at = line.find("error rate ");
      ASSERT_NE(at, std::string::npos) << line;
      EXPECT_NEAR(std::stod(line.substr(at + 11)), 0.02, 0.005) << line;
    }
    // Calls against the planted errors of the mapped markers.
    std::set<std::pair<std::string, std::string>> planted, planted_codominant, called;
    for (const auto& row : table_of(dir.read("planted.tsv"))) {
      if (!mapped.count(row.at("marker"))) continue;
      planted.insert({row.at("marker"), row.at("individual")});
      if (!dominant.count(row.at("marker"))) planted_codominant.insert({row.at("marker"), row.at("individual")});
    }
    for (const auto& row : table_of(dir.read("calls.tsv"))) called.insert({row.at("marker"), row.at("individual")});
    std::size_t right = 0, found = 0;
    for (const auto& c : called) right += planted.count(c);
    for (const auto& p : planted_codominant) found += called.count(p);
    ASSERT_GT(called.size(), 0u);
    EXPECT_GT(static_cast<double>(right) / called.size(), 0.85);
    EXPECT_GT(static_cast<double>(found) / planted_codominant.size(), 0.65);
  }
}

TEST(CompanionMultipoint, SameBytesOnAnyNumberOfThreads) {
  TempDir dir;
  const RunResult simulated = run_program_in(
      kSimulator, dir, {"--chromosomes", "2", "--markers", "400", "--individuals", "300", "--seed", "8"});
  ASSERT_EQ(simulated.status, 0);
  dir.write("p.loc", simulated.out);
  dir.write("matrix.txt", kRecombinationMatrix);
  ASSERT_EQ(run_tarvek_in(dir, {"-g", "2", "16", "4", "p.loc"}).status, 0);
  for (const std::string command : {"positions", "errors"}) {
    const RunResult one = run_program_in(kExport, dir, {command, "-t", "1", "p_map.loc", "-o", "one.tsv"});
    const RunResult three = run_program_in(kExport, dir, {command, "-t", "3", "p_map.loc", "-o", "three.tsv"});
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(one.err, three.err);
    EXPECT_EQ(dir.read("one.tsv"), dir.read("three.tsv")) << command;
  }
}

#endif

}  // namespace
}  // namespace tarvek::testing
