// The peers' formats end to end: R/qtl's listeria_raw.txt (MAPMAKER raw)
// imported and mapped, a refused --genotypes mapping, and the quality and
// peer exports of a mapped cross.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/process.hpp"

namespace tarvek::testing {
namespace {

const std::string kImport = TARVEK_IMPORT_PATH;
const std::string kExport = TARVEK_EXPORT_PATH;

// R/qtl's sample files, where Debian's r-cran-qtl put them.
const std::filesystem::path kRqtlSamples = "/usr/lib/R/site-library/qtl/sampledata";

std::string slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string first_line(const std::string& text) { return text.substr(0, text.find('\n')); }

TEST(PeerFormats, ListeriaRawImportsMapsAndGoesOutAgain) {
  if (!std::filesystem::exists(kRqtlSamples / "listeria_raw.txt")) GTEST_SKIP() << "R/qtl's sample files not installed";
  TempDir dir;
  dir.write("listeria_raw.txt", slurp(kRqtlSamples / "listeria_raw.txt"));
  dir.write("listeria.csv", slurp(kRqtlSamples / "listeria.csv"));
  const RunResult raw = run_program_in(kImport, dir, {"mapmaker", "listeria_raw.txt", "-o", "raw.loc"});
  ASSERT_EQ(raw.status, 0) << raw.err;
  EXPECT_EQ(raw.err, "tarvek-import: a MAPMAKER raw file of an F2 cross, 1 trait kept\n"
                     "tarvek-import: wrote raw.loc: 133 markers, 120 individuals\n");
  // The same genotypes as R/qtl's csv of the same cross.
  ASSERT_EQ(run_program_in(kImport, dir, {"rqtl", "listeria.csv", "-o", "csv.loc"}).status, 0);
  std::istringstream a(dir.read("raw.loc")), b(dir.read("csv.loc"));
  std::size_t compared = 0;
  for (std::string x, y; std::getline(a, x) && std::getline(b, y);) {
    if (x.empty() || x[0] == ';' || x.find('\t') == std::string::npos) continue;
    EXPECT_EQ(x, y.substr(0, y.find("\t;\t"))) << x.substr(0, 20);
    ++compared;
  }
  EXPECT_EQ(compared, 133u);

  dir.write("matrix.txt", kRecombinationMatrix);
  ASSERT_EQ(run_tarvek_in(dir, {"-p", "F2", "-q", "0.85", "50", "50", "50", "-f", "-g", "19", "12", "4", "raw.loc"})
                .status,
            0);
  for (const std::string command : {"markers", "individuals", "joinmap", "lepmap", "rqtl"}) {
    const RunResult r = run_program_in(kExport, dir, {command, "raw_map.loc", "-o", command + ".out"});
    EXPECT_EQ(r.status, 0) << command << ": " << r.err;
  }
  EXPECT_EQ(first_line(dir.read("markers.out")),
            "marker\tgroup\tsegment\tposition_cM\tA\tH\tB\tC\tD\tmissing\tflagged\tratio\ttyped\tchi2\tP\t"
            "missing_share\terrors_called\tbin\trejected");
  EXPECT_EQ(first_line(dir.read("rqtl.out")).rfind("id,T264,", 0), 0u);
  EXPECT_EQ(dir.read("joinmap.out").rfind("name = raw\npopt = F2\n", 0), 0u);
}

TEST(PeerFormats, AMappingThatFailsSegregationIsRefusedAndNothingWritten) {
  if (!std::filesystem::exists(kRqtlSamples / "listeria.csv")) GTEST_SKIP() << "R/qtl's sample files not installed";
  TempDir dir;
  dir.write("listeria.csv", slurp(kRqtlSamples / "listeria.csv"));
  const RunResult r = run_program_in(kImport, dir, {"rqtl", "--genotypes", "A,B,H,D,C", "listeria.csv", "-o", "x.loc"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("--genotypes A,H,B,D,C makes 2 fail"), std::string::npos) << r.err;
  EXPECT_FALSE(dir.exists("x.loc"));
  EXPECT_EQ(run_program_in(kImport, dir,
                           {"rqtl", "--no-segregation-check", "--genotypes", "A,B,H,D,C", "listeria.csv", "-o", "x.loc"})
                .status,
            0);
}

}  // namespace
}  // namespace tarvek::testing
