#pragma once
// The map file (itself a loc file) and the log summaries of the groups.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "genotype/genotype_table.hpp"
#include "linkage/linkage_groups.hpp"
#include "run/old_order.hpp"

namespace tarvek {

// Everything the map file is written from.
struct MapContents {
  const GenotypeTable& table;
  const LinkageGroups& groups;
  const std::vector<std::vector<int>>& removed_lists;
  const std::vector<int>& individual_order;
  const OldOrderState& old_order;
  float core_LOD;
  std::int32_t total_score;
};

// The map file name: the loc file's path up to the last "." of its file name
// (the whole path when the file name has none), and "_map.loc" appended.
std::string map_file_stem(const std::string& loc_file);

// Writes the map file's lines to `out` and the singletons lines to the log.
void write_map(std::ostream& out, const MapContents& contents);

// Creates or truncates `map_file_name` and writes the map into it. A file
// that cannot be created or written ends the run with "bad map file ".
void write_map_file(const std::string& map_file_name, const MapContents& contents);

// "group (g):" and the members counted from 1, for every group, into the log.
void write_group_listing(const LinkageGroups& groups);

}  // namespace tarvek
