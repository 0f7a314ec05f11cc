// VCF import through htslib: which records become markers, how calls become
// codes, what the thresholds do, and how broken files are reported.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "interop/input_error.hpp"
#include "interop/vcf_reader.hpp"
#include "support/process.hpp"

namespace tarvek::interop {
namespace {

using tarvek::testing::TempDir;

const std::string kHeader =
    "##fileformat=VCFv4.2\n"
    "##contig=<ID=1>\n"
    "##FILTER=<ID=LowQual,Description=\"low\">\n"
    "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
    "##FORMAT=<ID=GQ,Number=1,Type=Integer,Description=\"Quality\">\n"
    "##FORMAT=<ID=DP,Number=1,Type=Integer,Description=\"Depth\">\n"
    "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tP1\tP2\tI1\tI2\tI3\n";

// One line per case; the comment says what tarvek-import makes of it.
const std::string kRecords =
    // line 8: a marker; the phase of 0|1 is ignored
    "1\t100\trs1\tA\tG\t.\tPASS\t.\tGT:GQ:DP\t0/0:50:20\t1/1:50:20\t0/0:50:20\t0|1:50:20\t1/1:50:20\n"
    // haploid calls are homozygotes; the first parent carries ALT; no ID
    "1\t200\t.\tC\tT\t.\t.\t.\tGT\t1/1\t0/0\t1\t0\t./.\n"
    "1\t300\t.\tA\tG,T\t.\tPASS\t.\tGT\t1/1\t2/2\t1/2\t1/1\t2/2\n"  // multiallelic
    "1\t400\t.\tA\tAT\t.\tPASS\t.\tGT\t0/0\t1/1\t0/1\t0/1\t0/0\n"  // not a SNP
    "1\t500\t.\tA\tG\t.\tPASS\t.\tGT\t0/0\t./.\t0/1\t0/1\t0/0\n"   // parent missing
    "1\t600\t.\tA\tG\t.\tPASS\t.\tGT\t0/1\t1/1\t0/1\t0/1\t0/0\n"   // parent heterozygous
    "1\t700\t.\tA\tG\t.\tPASS\t.\tGT\t0/0\t0/0\t0/1\t0/1\t0/0\n"   // parents the same
    "1\t800\t.\tA\tG\t.\tLowQual\t.\tGT\t0/0\t1/1\t0/1\t0/1\t0/0\n"  // filtered
    // a parent call of GQ 5
    "1\t900\trs9\tA\tG\t.\tPASS\t.\tGT:GQ:DP\t0/0:50:20\t1/1:5:20\t0/0:50:20\t0/1:50:20\t1/1:50:20\n"
    // offspring: GQ 5, half missing, DP 3
    "1\t1000\trs10\tA\tG\t.\tPASS\t.\tGT:GQ:DP\t0/0:50:20\t1/1:50:20\t0/0:5:20\t0/.:50:20\t1/1:50:3\n"
    "1\t1100\t.\tA\t.\t.\tPASS\t.\tGT\t0/0\t0/0\t0/0\t0/0\t0/0\n";  // no ALT

struct Fixture {
  TempDir dir;
  std::string path(const std::string& name) const { return (dir.path() / name).string(); }
  std::string write(const std::string& name, const std::string& text) const {
    dir.write(name, text);
    return path(name);
  }
};

VcfOptions parents() {
  VcfOptions o;
  o.first_parent = "P1";
  o.second_parent = "P2";
  return o;
}

std::size_t skipped(const VcfImport& r, SkipReason reason) { return r.skipped[static_cast<std::size_t>(reason)]; }

std::vector<std::string> names(const VcfImport& r) {
  std::vector<std::string> n;
  for (const LocMarker& m : r.loc.markers) n.push_back(m.name);
  return n;
}

std::string error_of(const std::string& path, const VcfOptions& options) {
  try {
    import_vcf(path, options);
  } catch (const InputError& e) {
    return e.what();
  }
  return "no error";
}

TEST(VcfImport, RecordsBecomeMarkersOrAreSkippedForTheirReason) {
  Fixture f;
  const VcfImport r = import_vcf(f.write("x.vcf", kHeader + kRecords), parents());
  EXPECT_EQ(r.records, 11u);
  EXPECT_EQ(names(r), (std::vector<std::string>{"rs1", "1_200", "rs9", "rs10"}));
  EXPECT_EQ(r.loc.individuals, (std::vector<std::string>{"I1", "I2", "I3"}));
  EXPECT_EQ(r.loc.markers[0].codes, (GenotypeRow{1, 5, 2}));
  EXPECT_EQ(r.loc.markers[1].codes, (GenotypeRow{1, 2, 0}));
  EXPECT_EQ(r.loc.markers[1].note, "1\t200");
  // Without thresholds the low-quality calls count like any other.
  EXPECT_EQ(r.loc.markers[3].codes, (GenotypeRow{1, 0, 2}));
  EXPECT_EQ(r.unusable_calls, 1u);
  EXPECT_EQ(r.low_quality_calls, 0u);
  EXPECT_EQ(skipped(r, SkipReason::kMultiallelic), 1u);
  EXPECT_EQ(skipped(r, SkipReason::kNotSnp), 1u);
  EXPECT_EQ(skipped(r, SkipReason::kParentMissing), 1u);
  EXPECT_EQ(skipped(r, SkipReason::kParentHeterozygous), 1u);
  EXPECT_EQ(skipped(r, SkipReason::kParentsSame), 1u);
  EXPECT_EQ(skipped(r, SkipReason::kFiltered), 1u);
  EXPECT_EQ(skipped(r, SkipReason::kNoAlt), 1u);
  ASSERT_EQ(r.positions.size(), 4u);
  EXPECT_EQ(r.positions[3].marker, "rs10");
  EXPECT_EQ(r.positions[3].chromosome, "1");
  EXPECT_EQ(r.positions[3].position_text, "1000");

  const std::vector<std::string> summary = vcf_summary(r, parents());
  EXPECT_EQ(summary.front(), "read 11 records: 4 markers, 7 skipped; 3 individuals");
  EXPECT_NE(std::find(summary.begin(), summary.end(), "skipped 1 records: multiallelic"), summary.end());
}

TEST(VcfImport, QualityThresholdsAndFilters) {
  Fixture f;
  VcfOptions o = parents();
  o.min_gq = 10;
  o.min_dp = 10;
  o.keep_filtered = true;
  const VcfImport r = import_vcf(f.write("x.vcf", kHeader + kRecords), o);
  // 1:800 passes now; rs9's parent is below the threshold.
  EXPECT_EQ(names(r), (std::vector<std::string>{"rs1", "1_200", "1_800", "rs10"}));
  EXPECT_EQ(skipped(r, SkipReason::kParentLowQuality), 1u);
  EXPECT_EQ(skipped(r, SkipReason::kFiltered), 0u);
  EXPECT_EQ(r.loc.markers[3].codes, (GenotypeRow{0, 0, 0}));
  EXPECT_EQ(r.low_quality_calls, 2u);
  EXPECT_EQ(r.unusable_calls, 1u);
  EXPECT_FALSE(r.gq_absent);

  // A file without GQ: the threshold cannot apply, and the summary says so.
  const std::string no_gq = "##fileformat=VCFv4.2\n##contig=<ID=1>\n"
                            "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
                            "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tP1\tP2\tI1\n"
                            "1\t100\t.\tA\tG\t.\t.\t.\tGT\t0/0\t1/1\t0/1\n";
  VcfOptions g = parents();
  g.min_gq = 10;
  const VcfImport plain = import_vcf(f.write("y.vcf", no_gq), g);
  EXPECT_TRUE(plain.gq_absent);
  EXPECT_EQ(plain.loc.markers.at(0).codes, (GenotypeRow{5}));
  const std::vector<std::string> summary = vcf_summary(plain, g);
  EXPECT_EQ(summary.back(), "warning: --min-gq has no effect: the file has no GQ field");
}

TEST(VcfImport, RealGenotypeQualityIsComparedLikeAnInteger) {
  Fixture f;
  std::string header = kHeader;
  header.replace(header.find("ID=GQ,Number=1,Type=Integer"), 27, "ID=GQ,Number=1,Type=Float");
  VcfOptions o = parents();
  o.min_gq = 10;
  const VcfImport r = import_vcf(
      f.write("x.vcf", header + "1\t100\trs1\tA\tG\t.\t.\t.\tGT:GQ\t0/0:50.5\t1/1:60\t0/0:9.5\t0/1:10.0\t1/1:.\n"), o);
  EXPECT_EQ(r.loc.markers.at(0).codes, (GenotypeRow{0, 5, 2}));
}

TEST(VcfImport, ParentAllelesFromAFileAndPopulationsThatLackAClass) {
  Fixture f;
  std::istringstream table_text(
      "# chromosome, position, first parent, second parent\n"
      "1\t100\tA\tG\n"
      "1\t200\tt\tC\n"
      "1\t500\tA\tC\n"
      "1\t700\tA\tA\n");
  const ParentAlleleTable table = read_parent_alleles(table_text, "parents.tsv");
  VcfOptions o;
  o.parent_alleles = &table;
  o.population = PopulationType::BC1;
  const VcfImport r = import_vcf(f.write("x.vcf", kHeader + kRecords), o);
  // Every sample is an individual now.
  EXPECT_EQ(r.loc.individuals.size(), 5u);
  EXPECT_EQ(names(r), (std::vector<std::string>{"rs1", "1_200"}));
  EXPECT_EQ(r.loc.markers[0].codes, (GenotypeRow{1, 2, 1, 5, 2}));
  EXPECT_EQ(r.loc.markers[1].codes, (GenotypeRow{1, 2, 1, 2, 0}));
  EXPECT_EQ(skipped(r, SkipReason::kParentAllelesMismatch), 1u);
  EXPECT_EQ(skipped(r, SkipReason::kParentsSame), 1u);
  EXPECT_EQ(skipped(r, SkipReason::kNotInParentFile), 3u);
  // B is not a backcross class: P2 and I3 at rs1, P2 and I2 at 1_200.
  EXPECT_EQ(r.unexpected_calls, 4u);
  EXPECT_EQ(r.loc.population, "BC1");

  std::istringstream bad("1\t100\tA\n");
  EXPECT_THROW(read_parent_alleles(bad, "parents.tsv"), InputError);
  std::istringstream twice("1\t100\tA\tG\n1\t100\tA\tG\n");
  try {
    read_parent_alleles(twice, "parents.tsv");
    FAIL();
  } catch (const InputError& e) {
    EXPECT_EQ(std::string(e.what()), "parents.tsv: line 2: site 1:100 is listed twice");
  }
}

TEST(VcfImport, BrokenFilesAreReportedWithTheirRecord) {
  Fixture f;
  const std::string x = f.path("x.vcf");
  // Cut inside the fourth record's genotypes: htslib finds too few samples.
  const std::string cut = kHeader + kRecords.substr(0, kRecords.find("1\t400") + 30);
  EXPECT_EQ(error_of(f.write("x.vcf", cut), parents()),
            x + ": record 4 (line 11): cannot be read (malformed or truncated)");
  std::string bad_gt = kHeader + kRecords;
  bad_gt.replace(bad_gt.find("0/1\t0/1\t0/0\n1\t500"), 3, "0/x");
  EXPECT_EQ(error_of(f.write("x.vcf", bad_gt), parents()),
            x + ": record 4 (line 11): cannot be read (malformed or truncated)");
  VcfOptions unknown = parents();
  unknown.second_parent = "P9";
  EXPECT_EQ(error_of(f.write("x.vcf", kHeader + kRecords), unknown), x + ": no sample named P9");
  std::string only_parents = kHeader;
  only_parents.replace(only_parents.find("\tI1\tI2\tI3"), 9, "");
  EXPECT_EQ(error_of(f.write("x.vcf", only_parents), parents()), x + ": no individuals besides the parents");
  EXPECT_EQ(error_of(f.write("x.vcf", "id,m1\n,1\nx,A\n"), parents()), x + ": not a VCF or BCF file: it reads as unknown text");
  EXPECT_EQ(error_of(f.write("x.vcf", kHeader.substr(0, 60)), parents()),
            x + ": the header cannot be read (malformed or truncated)");
  EXPECT_EQ(error_of(f.path("none.vcf"), parents()).rfind(f.path("none.vcf") + ": cannot open", 0), 0u);
}

}  // namespace
}  // namespace tarvek::interop
