#include "interop/map_positions.hpp"

#include <cmath>
#include <cstdio>
#include <limits>

namespace tarvek::interop {

std::optional<MapFunction> parse_map_function(const std::string& text) {
  if (text == "kosambi") return MapFunction::kKosambi;
  if (text == "haldane") return MapFunction::kHaldane;
  return std::nullopt;
}

std::string map_function_name(MapFunction f) { return f == MapFunction::kKosambi ? "Kosambi" : "Haldane"; }

double distance_cm(MapFunction f, double r) {
  if (!(r < 0.5)) return std::numeric_limits<double>::infinity();
  if (r <= 0.0) return 0.0;
  if (f == MapFunction::kKosambi) return 25.0 * std::log((1.0 + 2.0 * r) / (1.0 - 2.0 * r));
  return -50.0 * std::log1p(-2.0 * r);
}

std::vector<PlacedGroup> place_markers(const MapFile& map, MapFunction f) {
  std::vector<PlacedGroup> placed;
  placed.reserve(map.groups.size());
  for (const MapGroup& group : map.groups) {
    PlacedGroup g;
    g.markers.resize(group.size());
    int segment = 1;
    double position = 0.0;
    for (std::size_t k = 0; k < group.size(); ++k) {
      PlacedMarker& m = g.markers.at(k);
      m.segment = segment;
      m.position_cm = position;
      if (k + 1 == group.size() || !group.at(k).next) continue;
      const double d = distance_cm(f, group.at(k).next->r);
      if (std::isinf(d)) {
        ++segment;
        position = 0.0;
      } else {
        m.distance_to_next = d;
        position += d;
      }
    }
    g.segments = segment;
    placed.push_back(std::move(g));
  }
  return placed;
}

std::string segment_name(std::size_t group_number, int segment) {
  std::string name = std::to_string(group_number);
  if (segment > 1) {
    name.push_back('.');
    name.append(std::to_string(segment));
  }
  return name;
}

std::string format_cm(double position) {
  char text[64];
  std::snprintf(text, sizeof text, "%.4f", position);
  return text;
}

}  // namespace tarvek::interop
