// The chromosome and position a VCF import writes behind each marker, carried
// by tarvek into the map file and used by the exports: group names, physical
// orientation, the positions table's columns, a comparison without --truth.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/process.hpp"
#include "support/text.hpp"

namespace tarvek::testing {
namespace {

const std::string kImport = TARVEK_IMPORT_PATH;
const std::string kExport = TARVEK_EXPORT_PATH;

std::string example(const std::string& name) {
  std::ifstream in(source_dir() / "examples" / name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The shipped VCF imported and mapped in `dir`: x_map.loc.
void map_example_vcf(const TempDir& dir) {
  dir.write("cross.vcf", example("cross.vcf"));
  dir.write("matrix.txt", example("matrix.txt"));
  ASSERT_EQ(run_program_in(kImport, dir, {"vcf", "--parents", "P1,P2", "cross.vcf", "-o", "x.loc"}).status, 0);
  ASSERT_EQ(run_tarvek_in(dir, {"-A", "3", "x.loc"}).status, 0);
}

TEST(CarriedPositions, TheVcfExampleKeepsChromosomesAndPhysicalOrder) {
  TempDir dir;
  map_example_vcf(dir);
  // Every mapped marker line carries CHROM and POS after the pair columns.
  std::size_t carried = 0;
  for (const std::string& line : lines_of(dir.read("x_map.loc"))) {
    const std::vector<std::string> f = split(line, '\t');
    const auto semicolon = std::find(f.begin() + 1, f.end(), ";");
    if (line.empty() || line[0] == ';' || semicolon == f.end()) continue;
    ASSERT_EQ(f.end() - semicolon, 6) << line;
    EXPECT_EQ(semicolon[4].rfind("chr", 0), 0u) << line;
    ++carried;
  }
  EXPECT_EQ(carried, 64u);

  const RunResult exported =
      run_program_in(kExport, dir, {"positions", "--orient", "physical", "x_map.loc", "-o", "p.tsv"});
  ASSERT_EQ(exported.status, 0) << exported.err;
  EXPECT_NE(exported.err.find("tarvek-export: turned to physical order: "), std::string::npos) << exported.err;
  const std::vector<std::string> table = lines_of(dir.read("p.tsv"));
  ASSERT_FALSE(table.empty());
  EXPECT_EQ(table[0], "group\tsegment\tmarker\tposition_cM\tr\tLOD\tflagged\tchromosome\tposition_bp");
  // Along each group, the markers of its chromosome come in physical order
  // but for a few local swaps.
  std::map<std::string, std::vector<long>> bp_by_group;
  for (std::size_t k = 1; k < table.size(); ++k) {
    const std::vector<std::string> f = split(table[k], '\t');
    ASSERT_EQ(f.size(), 9u);
    if (f[7] == "chrUn") continue;
    bp_by_group[f[0] + f[7]].push_back(std::stol(f[8]));
  }
  for (const auto& [group, bp] : bp_by_group) {
    std::size_t rising = 0;
    for (std::size_t k = 1; k < bp.size(); ++k) rising += bp[k] > bp[k - 1] ? 1 : 0;
    EXPECT_GE(rising + 4, bp.size()) << group;
  }

  // R/qtl's chromosome row names the chromosomes; the comparison needs no --truth.
  ASSERT_EQ(run_program_in(kExport, dir, {"rqtl", "--orient", "physical", "x_map.loc", "-o", "x.csv"}).status, 0);
  const std::vector<std::string> chromosomes = split(lines_of(dir.read("x.csv")).at(1), ',');
  EXPECT_EQ(std::count(chromosomes.begin(), chromosomes.end(), "chr1"), 20);
  EXPECT_EQ(std::count(chromosomes.begin(), chromosomes.end(), "chr2"), 21);
  EXPECT_EQ(std::count(chromosomes.begin(), chromosomes.end(), "chr3"), 21);
  ASSERT_EQ(run_program_in(kExport, dir, {"compare", "--orient", "physical", "x_map.loc", "-o", "c.tsv"}).status, 0);
  for (const std::string& row : lines_of(dir.read("c.tsv"))) {
    const std::vector<std::string> f = split(row, '\t');
    if (f[0] == "group") continue;
    EXPECT_GT(std::stod(f[5]), 0.99) << row;
  }
}

TEST(CarriedPositions, AMapWithoutCarriedTextCannotBeComparedWithoutTruth) {
  TempDir dir;
  dir.write("x_map.loc", "name = x\npopt = F2\nnloc = 2\nnind = 2\n\n\n\n;grouping threshold LOD=16\n\n"
                         ";newscore=0\n;indOrdr\t0\t1\t;\tr\tLOD\tdist\nM1\tA\tB\t;\t0\t9999\t0\nM2\tA\tB\n;\n");
  const RunResult r = run_program_in(kExport, dir, {"compare", "x_map.loc", "-o", "c.tsv"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarvek-export: x_map.loc: no marker carries a chromosome and position: give --truth FILE\n");
  const RunResult oriented = run_program_in(kExport, dir, {"positions", "--orient", "physical", "x_map.loc", "-o", "p.tsv"});
  EXPECT_EQ(oriented.status, 0);
  EXPECT_EQ(lines_of(oriented.err).at(0),
            "tarvek-export: warning: --orient physical: no mapped marker carries a physical position; the "
            "groups stay as they are");
  EXPECT_FALSE(dir.exists("c.tsv"));
}

}  // namespace
}  // namespace tarvek::testing
