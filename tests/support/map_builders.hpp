#pragma once
// Map files built in memory for the drawing tests: markers with the r to
// their next neighbour, and a map of three individuals around given groups.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "interop/map_reader.hpp"

namespace tarvek::testing {

// A marker with genotype codes and, unless it ends its group, the r to the
// next marker.
inline interop::MapMarker marker(const std::string& name, std::optional<double> r_to_next,
                                 std::vector<int> codes = {1, 2, 5}) {
  interop::MapMarker m;
  m.name = name;
  m.codes = std::move(codes);
  if (r_to_next) {
    interop::NeighbourPair p;
    p.r = *r_to_next;
    m.next = p;
  }
  return m;
}

// An F2 map file of three individuals holding `groups`.
inline interop::MapFile map_of(std::vector<interop::MapGroup> groups) {
  interop::MapFile map;
  map.file = "test_map.loc";
  map.header_lines = {"name = test", "popt = F2", "nloc = 0", "nind = 3"};
  map.individual_order = {0, 1, 2};
  map.groups = std::move(groups);
  return map;
}

}  // namespace tarvek::testing
