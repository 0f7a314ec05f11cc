#pragma once
// The map file (itself a loc file) and the log summaries of the groups.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "base/channels.hpp"
#include "genotype/genotype_table.hpp"
#include "genotype/old_order.hpp"
#include "genotype/population.hpp"
#include "linkage/linkage_groups.hpp"

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
  // The estimator of the r, LOD and dist columns.
  PopulationType population = PopulationType::F2;
  // Names of the markers whose alleles were exchanged (-a); when there are
  // any, they are listed on a ";switched alleles" line after the score.
  std::vector<std::string> switched = {};
};

// The map file name: the loc file's path up to the last "." of its file name
// (the whole path when the file name has none), and "_map.loc" appended.
std::string map_file_stem(const std::string& loc_file);

// Writes the map file's lines to `out` and the singletons lines to `log`.
void write_map(std::ostream& out, const MapContents& contents, std::ostream& log);

// Writes the map into a temporary file beside `map_file_name` and renames it
// into place, so that the map file appears whole or not at all. A map that
// cannot be written leaves the previous file as it was and ends the run with
// "bad map file " + its name, the system's reason on a line of its own
// before it.
void write_map_file(const std::string& map_file_name, const MapContents& contents,
                    Channels& channels);

// "group (g):" and the members counted from 1, for every group, into the log.
void write_group_listing(const LinkageGroups& groups, Channels& channels);

}  // namespace tarvek
