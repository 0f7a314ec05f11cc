#pragma once
// What the pictures need from a map file, beyond the reader: the linkage
// segments of each group with their lengths, the markers drawn (one group
// or all), and the population type the header names.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "interop/map_positions.hpp"
#include "interop/map_reader.hpp"
#include "interop/population.hpp"

namespace tarvek::draw {

// A run of a group's markers between unlinked pairs (r = 0.5), whose
// positions start at 0 (see interop/map_positions.hpp).
struct MapSegment {
  std::size_t group = 0;  // index into MapFile::groups
  int segment = 1;        // from 1
  std::string name;       // "3", "3.2": as the exporters name it
  std::size_t first = 0;  // index of its first marker in the group
  std::size_t count = 0;  // markers
  double length_cm = 0.0; // position of its last marker
};

std::vector<MapSegment> map_segments(const interop::MapFile& map,
                                     const std::vector<interop::PlacedGroup>& placed);

// Number of genotypes flagged "*" in a marker's row.
std::size_t flagged_count(const interop::MapMarker& marker);

// The mapped markers of one group (`group` counted from 1) or of all groups
// (nothing), in map order: group by group, each in its order.
struct MarkerSelection {
  std::vector<const interop::MapMarker*> markers;
  // Where each selected group starts in `markers`, with its number (from 1).
  struct Block {
    std::size_t first = 0;
    std::size_t count = 0;
    std::size_t group_number = 0;
  };
  std::vector<Block> groups;
};

// Throws interop::InputError when `group` is not a group of the map.
MarkerSelection select_markers(const interop::MapFile& map, std::optional<std::size_t> group);

// The first header line's value ("name = cross" gives "cross"), else the
// file name without its folder and extension.
std::string map_title(const interop::MapFile& map);

}  // namespace tarvek::draw
