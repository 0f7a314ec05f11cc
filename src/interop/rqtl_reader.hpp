#pragma once
// Genotypes from an R/qtl "csv" file, with markers in columns (the usual
// form) or in rows (the rotated form), told apart by the layout.
//
// Markers in columns: the first line holds the names (phenotypes, then
// markers), the second the chromosome of each marker (empty under the
// phenotypes), an optional third the positions (also empty under the
// phenotypes), then one line per individual. Markers in rows: the same,
// turned by a quarter: one line per phenotype or marker holding its name,
// its chromosome, optionally its position, then one value per individual.
// Phenotype columns (rows) are those without a chromosome; the one named
// "id" gives the individual names, the others are kept as phenotypes.

#include <istream>
#include <string>
#include <vector>

#include "interop/loc_writer.hpp"
#include "interop/reference_map.hpp"

namespace tarvek::interop {

struct RqtlOptions {
  // The codes of AA, AB, BB, not BB and not AA, in this order (R/qtl's); one
  // to five of them. Empty: A/AA, H/AB/BA, B/BB, D/"not BB", C/"not AA".
  std::vector<std::string> genotype_codes;
  // Codes read as missing, besides an empty cell.
  std::vector<std::string> missing_codes = {"-", "NA"};
  std::string population = "F2";
};

struct RqtlImport {
  LocData loc;  // markers carry "chromosome<TAB>position cM" as their note
  std::vector<ReferencePosition> positions;  // only when the file has positions
  bool rotated = false;                      // markers in rows
  std::size_t phenotypes = 0;                // phenotype columns (rows), id included
};

// Splits one line of comma-separated values. Fields may be quoted with
// double quotes ("" inside stands for one quote); blanks around unquoted
// fields are dropped. Returns false for an unterminated quote.
bool split_csv_line(const std::string& line, std::vector<std::string>& fields);

// Reads the whole file. Throws InputError with the line (and column) of the
// first problem: a layout that is neither form, a line with a different
// number of fields (a truncated file), a position that is not a number, an
// unknown genotype code, no marker at all.
RqtlImport read_rqtl_csv(std::istream& in, const std::string& file, const RqtlOptions& options);

// The check of a --genotypes mapping of an F2 against the data: when most
// markers (typed in at least 20 individuals, without dominant scores) fail
// their segregation test among the typed individuals (P below 0.0001) and
// another assignment of the first three codes to AA, AB and BB makes few of
// them fail, the message that refuses the mapping and names that one; empty
// otherwise.
std::string check_genotype_mapping(const LocData& loc, const std::vector<std::string>& codes);

}  // namespace tarvek::interop
