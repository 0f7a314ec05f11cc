#pragma once
// Writers of what the next steps after a map need: a positions table, an
// R/qtl csv file, a MapChart file, and a comparison with a reference map.

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "interop/map_positions.hpp"
#include "interop/map_reader.hpp"
#include "genotype/population.hpp"
#include "interop/reference_map.hpp"

namespace tarvek::interop {

// Tab-separated, with a header line: group, segment, marker, position in cM
// from the top of the segment, r and LOD to the next marker as printed in
// the map file ("NA" for the last marker of a group), and the number of "*"
// genotypes of the marker. When markers carry chromosomes (see
// carried_positions.hpp), two more columns: the marker's chromosome and
// position_bp ("NA" where it carries none).
void write_positions_table(std::ostream& out, const MapFile& map, const std::vector<PlacedGroup>& placed);

// For each individual, numbered as in the first loc file, the column of the
// map file that holds it. Throws InputError (at the ;indOrdr line) when the
// order is not a permutation of 0 .. n−1.
std::vector<std::size_t> columns_by_individual(const MapFile& map);

// The individual names from the ";individuals" line, else "1", "2", ...
// Throws InputError when the line names a different number of individuals.
std::vector<std::string> individual_labels(const MapFile& map);

// R/qtl "csv" with markers in columns: an "id" column, the phenotypes the
// map carries (";phenotypes", from tarvek-import), one column per
// mapped marker in map order, chromosome = segment name (the group's name:
// its majority chromosome or its number, see carried_positions.hpp),
// positions in cM, one row per individual in the original order. Genotypes
// A, H, B, D (not BB), C (not AA); missing and "*" are written "-". In the
// two-class types, as R/qtl's cross types code them: a backcross marker
// scored B/H is written A/H, and codes a marker of its type cannot have
// (C and D, H in doubled haploids and inbred lines) are written "-". The
// rejected markers are left out. Throws as columns_by_individual and
// individual_labels do, and InputError when the phenotypes do not cover
// every individual.
void write_rqtl_csv(std::ostream& out, const MapFile& map, const std::vector<PlacedGroup>& placed,
                    PopulationType population = PopulationType::F2);

// The letter an export in R/qtl's (or JoinMap's) codes writes for a
// genotype of `marker`: see write_rqtl_csv; '-' for missing and "*".
char two_class_letter(const MapMarker& marker, int code, PopulationType population);

// What the R/qtl and JoinMap exports tell on standard error: backcross
// markers turned from B/H to A/H, codes written as missing because the type
// cannot have them, and the markers tarvek -a exchanged A and B in.
std::vector<std::string> recoding_notes(const MapFile& map, PopulationType population);

// Names as a message lists them: the first `most`, then "and N more".
std::string name_list(const std::vector<std::string>& names, std::size_t most = 20);

// MapChart: one "group <name>" block per segment, each marker with its
// position; names with blanks are quoted.
void write_mapchart(std::ostream& out, const MapFile& map, const std::vector<PlacedGroup>& placed,
                    MapFunction f);

struct GroupComparison {
  std::size_t group = 0;         // from 1
  std::size_t markers = 0;       // in the group
  std::size_t in_reference = 0;  // of them, listed in the reference map
  std::string chromosome;        // where most of those lie ("" when none)
  std::size_t on_chromosome = 0; // how many of them lie there
  // Spearman's rank correlation of map order with reference position over
  // the markers on `chromosome`; NaN with fewer than two or without
  // variation. The sign tells the orientation: the map's top may be either
  // end of the chromosome.
  double spearman = 0.0;
};

std::vector<GroupComparison> compare_with_reference(const MapFile& map,
                                                    const std::vector<ReferencePosition>& reference);

// Tab-separated with a header line; NaN is written "NA".
void write_comparison(std::ostream& out, const std::vector<GroupComparison>& rows);

// Spearman's rank correlation (Pearson's over ranks; tied values share their
// mean rank). NaN when the lengths differ, there are fewer than two pairs, or
// either side has no variation.
double spearman(const std::vector<double>& x, const std::vector<double>& y);

}  // namespace tarvek::interop
