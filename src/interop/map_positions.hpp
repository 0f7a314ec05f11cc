#pragma once
// Centimorgan positions from the r printed between neighbouring markers.
//
// The map file's distance column is 25·log10((1+2r)/(1−2r)), Kosambi's
// formula with log10 in place of ln (0.434 × Kosambi cM); positions are
// computed here from r itself:
//   Kosambi  d = 25·ln((1+2r)/(1−2r)) cM
//   Haldane  d = −50·ln(1−2r) cM
// Both grow without bound as r approaches 0.5: r = 0.5 (printed when the
// pair shows no linkage, or no individual is scored at both) has no finite
// distance. Such a pair splits its group into linkage segments; positions
// start again at 0 at the top of each segment, and the exporters give each
// segment its own name, so no made-up gap pretends to be an estimate.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "interop/map_reader.hpp"

namespace tarvek::interop {

enum class MapFunction { kKosambi, kHaldane };

// "kosambi" or "haldane".
std::optional<MapFunction> parse_map_function(const std::string& text);
std::string map_function_name(MapFunction f);  // "Kosambi" or "Haldane"

// Distance in cM for 0 <= r < 0.5; infinity for r >= 0.5.
double distance_cm(MapFunction f, double r);

struct PlacedMarker {
  int segment = 1;           // linkage segment in its group, from 1
  double position_cm = 0.0;  // from the top of the segment
  // Distance to the next marker of the group; nullopt for the last marker
  // and where an unlinked pair starts a new segment.
  std::optional<double> distance_to_next;
  // The r that distance was computed from, when it is the multipoint
  // estimate rather than the printed two-point r.
  std::optional<double> estimated_r;
};

struct PlacedGroup {
  std::vector<PlacedMarker> markers;  // parallel to the group's markers
  int segments = 1;
};

std::vector<PlacedGroup> place_markers(const MapFile& map, MapFunction f);

// The name of a segment for chromosome columns: "3" for a group of one
// segment (and for the first segment of any group), "3.2", "3.3"... for the
// segments after an unlinked pair. Group numbers count from 1.
std::string segment_name(std::size_t group_number, int segment);

// A position as the exporters write it: fixed, four decimals.
std::string format_cm(double position);

}  // namespace tarvek::interop
