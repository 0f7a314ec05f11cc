#pragma once
// The loc file that tarvek reads, as the importers produce it: four header
// lines, the individual names as a comment line, one tab-separated line per
// marker.

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "genotype/genotype_table.hpp"

namespace tarvek::interop {

struct LocMarker {
  std::string name;      // no tab, no line break
  GenotypeRow codes;     // genotype codes 0..5, one per individual
  std::string note;      // written after "\t;\t" when not empty (tarvek ignores it)
};

struct LocData {
  std::string name;                      // "name = " header line
  std::string population = "F2";         // "popt = " header line
  std::vector<std::string> individuals;  // names; the ";individuals" line is left out when empty
  // Phenotypes (traits) of the individuals: their names, and per
  // individual one value per name, as read; the ";phenotypes" line is left
  // out when there are no names.
  std::vector<std::string> phenotype_names;
  std::vector<std::vector<std::string>> phenotype_values;
  std::vector<LocMarker> markers;
};

// The keys of the comment lines that carry the individual names and the
// phenotypes. tarvek copies a loc file's first three comment lines into
// the map file, where the companions find them again.
inline constexpr const char* kIndividualsKey = ";individuals";
inline constexpr const char* kPhenotypesKey = ";phenotypes";

// Writes
//   name = <name>
//   popt = <population>
//   nloc = <markers>
//   nind = <individuals>
//   ;individuals<TAB>name<TAB>name...
//   ;phenotypes<TAB>trait<TAB>trait...<TAB>;<TAB>values of individual 1<TAB>values of individual 2...
//   <marker><TAB>A<TAB>H<TAB>B...[<TAB>;<TAB>note]
// with "-" for a missing genotype. nind is the length of the first marker's
// row (of the names when there is no marker).
void write_loc(std::ostream& out, const LocData& loc);

// How many markers (individuals) have a name that an earlier one has.
std::size_t repeated_marker_names(const LocData& loc);
std::size_t repeated_individual_names(const LocData& loc);

// Checks what write_loc relies on: every row as long as the first (and as
// the names, when there are names), names without tabs or line breaks.
// Returns an empty string when all is well, else what is wrong.
std::string check_loc(const LocData& loc);

}  // namespace tarvek::interop
