// R/qtl csv files in both orientations, with and without positions, with
// the usual and with user-given genotype codes, and broken ones.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "interop/input_error.hpp"
#include "interop/rqtl_reader.hpp"

namespace tarvek::interop {
namespace {

// Two phenotypes (one of them the id), three markers, three individuals.
const std::string kColumns =
    "weight,id,m1,m2,m3\n"
    ",,1,1,2\n"
    ",,0,12.5,3\n"
    "3.1,ind1,AA,AB,BB\n"
    "2.7,ind2,-,not BB,not AA\n"
    "NA,ind3,A,H,B\n";

// The same, markers in rows.
const std::string kRows =
    "weight,,,3.1,2.7,NA\n"
    "id,,,ind1,ind2,ind3\n"
    "m1,1,0,AA,-,A\n"
    "m2,1,12.5,AB,not BB,H\n"
    "m3,2,3,BB,not AA,B\n";

RqtlImport read(const std::string& text, const RqtlOptions& options = {}) {
  std::istringstream in(text);
  return read_rqtl_csv(in, "cross.csv", options);
}

std::string error_of(const std::string& text, const RqtlOptions& options = {}) {
  try {
    read(text, options);
  } catch (const InputError& e) {
    return e.what();
  }
  return "no error";
}

TEST(RqtlReader, MarkersInColumns) {
  const RqtlImport r = read(kColumns);
  EXPECT_FALSE(r.rotated);
  EXPECT_EQ(r.phenotypes, 2u);
  EXPECT_EQ(r.loc.individuals, (std::vector<std::string>{"ind1", "ind2", "ind3"}));
  ASSERT_EQ(r.loc.markers.size(), 3u);
  EXPECT_EQ(r.loc.markers[0].name, "m1");
  EXPECT_EQ(r.loc.markers[0].codes, (GenotypeRow{1, 0, 1}));
  EXPECT_EQ(r.loc.markers[1].codes, (GenotypeRow{5, 4, 5}));
  EXPECT_EQ(r.loc.markers[2].codes, (GenotypeRow{2, 3, 2}));
  EXPECT_EQ(r.loc.markers[1].note, "1\t12.5 cM");
  ASSERT_EQ(r.positions.size(), 3u);
  EXPECT_EQ(r.positions[2].chromosome, "2");
  EXPECT_EQ(r.positions[1].position, 12.5);
}

TEST(RqtlReader, MarkersInRowsReadTheSame) {
  const RqtlImport columns = read(kColumns);
  const RqtlImport rows = read(kRows);
  EXPECT_TRUE(rows.rotated);
  EXPECT_EQ(rows.phenotypes, 2u);
  EXPECT_EQ(rows.loc.individuals, columns.loc.individuals);
  ASSERT_EQ(rows.loc.markers.size(), columns.loc.markers.size());
  for (std::size_t m = 0; m < rows.loc.markers.size(); ++m) {
    EXPECT_EQ(rows.loc.markers[m].name, columns.loc.markers[m].name);
    EXPECT_EQ(rows.loc.markers[m].codes, columns.loc.markers[m].codes);
    EXPECT_EQ(rows.loc.markers[m].note, columns.loc.markers[m].note);
  }
}

TEST(RqtlReader, NoPositionsNoIdQuotesAndLineEnds) {
  // No positions row, no id column: the first individual's row follows the
  // chromosomes. Quoted fields, CR LF and trailing separators are read as
  // spreadsheet programs write them.
  const RqtlImport r = read("\"pheno\",\"m,1\",m2,\r\n,1,1,\r\n5,A,B,\r\n\r\n6, B , \"H\"\r\n");
  EXPECT_TRUE(r.positions.empty());
  EXPECT_TRUE(r.loc.individuals.empty());
  ASSERT_EQ(r.loc.markers.size(), 2u);
  EXPECT_EQ(r.loc.markers[0].name, "m,1");
  EXPECT_EQ(r.loc.markers[0].codes, (GenotypeRow{1, 2}));
  EXPECT_EQ(r.loc.markers[1].codes, (GenotypeRow{2, 5}));
  EXPECT_EQ(r.loc.markers[1].note, "1");
}

TEST(RqtlReader, UserGivenCodes) {
  RqtlOptions options;
  options.genotype_codes = {"1", "2", "3", "4", "5"};
  options.missing_codes = {"0"};
  const RqtlImport r = read("id,m1\n,1\nx,1\ny,2\nz,3\nu,4\nv,5\nw,0\nq,\n", options);
  EXPECT_EQ(r.loc.markers[0].codes, (GenotypeRow{1, 5, 2, 4, 3, 0, 0}));
  // The defaults no longer apply.
  EXPECT_EQ(error_of("id,m1\n,1\nx,A\n", options),
            "cross.csv: line 3, column 2: unknown genotype \"A\" (known: \"0\", \"1\", \"2\", \"3\", \"4\", \"5\"; "
            "--genotypes and --missing name others)");
}

TEST(RqtlReader, BrokenFilesAreReportedWithTheirPlace) {
  EXPECT_EQ(error_of("id,m1,m2\n,1,1\nx,A,B\ny,A\n"), "cross.csv: line 4: 2 fields where line 1 has 3");
  EXPECT_EQ(error_of("id,m1\n,1\nx,Q\n").substr(0, 50), "cross.csv: line 3, column 2: unknown genotype \"Q\" ");
  // In the rotated form the place is the marker's line and the individual's column.
  EXPECT_EQ(error_of("id,,x,y\nm1,1,A,Q\n").substr(0, 50), "cross.csv: line 2, column 4: unknown genotype \"Q\" ");
  EXPECT_EQ(error_of("id,m1\n,1\n,x\nx,A\n"), "cross.csv: line 3, column 2: position \"x\" is not a number");
  // A carriage return inside a line is no blank: it would reach the outputs.
  EXPECT_EQ(error_of("id,m1\n,1\n,\r0\nx,A\n"), "cross.csv: line 3, column 2: position \"\\x0D0\" is not a number");
  EXPECT_EQ(error_of("id,m1\n,\nx,A\n"), "cross.csv: no markers: no column has a chromosome");
  EXPECT_EQ(error_of("m1,m2\n1,1\nA,B\n").substr(0, 40), "cross.csv: neither markers in columns (t");
  EXPECT_EQ(error_of("id,m1\n,1\nx,\"A\n"), "cross.csv: line 3: unterminated quote");
  EXPECT_EQ(error_of("id,m1\n"), "cross.csv: fewer than two lines: not an R/qtl csv file");
  EXPECT_EQ(error_of("id,m1\n,1\nx,A\n,B\n"), "cross.csv: line 4, column 1: empty id");
}

TEST(CsvLine, FieldsAndQuotes) {
  std::vector<std::string> f;
  ASSERT_TRUE(split_csv_line("a, b ,\"c,d\",\"e\"\"f\",", f));
  EXPECT_EQ(f, (std::vector<std::string>{"a", "b", "c,d", "e\"f", ""}));
  ASSERT_TRUE(split_csv_line("", f));
  EXPECT_EQ(f, (std::vector<std::string>{""}));
  EXPECT_FALSE(split_csv_line("\"open", f));
}

}  // namespace
}  // namespace tarvek::interop
