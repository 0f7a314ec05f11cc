#pragma once
// The map file that tarvek writes, read back for the companion programs:
// header and comment lines, the run's lines (grouping threshold, scores,
// individual order, individual names, switched alleles), the groups in map
// order with the pair statistics printed between neighbours, and the two
// lists of rejected markers.

#include <cstddef>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "genotype/genotype_table.hpp"

namespace tarvek::interop {

// r, LOD and (for r < 0.5) the distance printed behind a marker, to the next
// marker of its group: the texts as printed and their values.
struct NeighbourPair {
  std::string r_text;
  std::string lod_text;
  std::string dist_text;  // empty when not printed
  double r = 0.5;
  double lod = 0.0;
  std::optional<double> dist;
};

struct MapMarker {
  std::string name;
  GenotypeRow codes;  // in the map file's column order; "*" is code 6
  std::optional<NeighbourPair> next;
  // The text the marker's line carried in the loc file after its genotypes
  // (tab-separated fields; "chromosome<TAB>position" from the importers),
  // written by tarvek after the r, LOD and dist columns; empty when none.
  std::string note;
  std::size_t line = 0;
};

using MapGroup = std::vector<MapMarker>;

struct MapFile {
  std::string file;
  std::vector<std::string> header_lines;   // the first four lines, verbatim
  std::vector<std::string> comment_lines;  // other lines before the groups, verbatim
  std::optional<double> grouping_lod;      // ";grouping threshold LOD="
  std::optional<std::string> old_score;    // text after ";oldscore="
  std::optional<std::string> new_score;    // text after ";newscore="
  // ";indOrdr": the individual held by each column, numbered as in the first
  // loc file of the chain of runs.
  std::vector<int> individual_order;
  std::size_t individual_order_line = 0;
  std::optional<std::vector<std::string>> individual_names;  // ";individuals" line
  std::size_t individual_names_line = 0;
  // ";phenotypes" line: the phenotypes' names, and their values, individual
  // after individual (in the first loc file's order), as tarvek-import wrote them.
  std::vector<std::string> phenotype_names;
  std::vector<std::string> phenotype_values;
  std::size_t phenotypes_line = 0;
  std::optional<std::vector<std::string>> switched_alleles;  // ";switched alleles" line
  std::vector<MapGroup> groups;
  std::vector<MapMarker> bad_segregation;
  std::vector<MapMarker> excess_missing;

  std::size_t individual_count() const { return individual_order.size(); }
};

// Reads a whole map file. Lines may end in CR LF. Throws InputError with the
// file and line for: fewer than four header lines, no ";indOrdr" line before
// the first marker, a marker line whose number of genotypes differs from the
// ";indOrdr" line's, a genotype field that is not one character, an r, LOD or
// distance that is not a number (or an r outside 0 to 0.5), a marker but the
// last of its group without r and LOD, a file that ends inside a group.
MapFile read_map_file(std::istream& in, const std::string& file);

// Opens and reads `path`; InputError when it cannot be opened.
MapFile read_map_file(const std::string& path);

// Genotype code of one printed letter: as tarvek reads loc files, except that
// "*" (a flagged genotype) is code 6 rather than missing.
int map_letter_code(char letter);

}  // namespace tarvek::interop
