#include "draw/drawn_map.hpp"

#include "genotype/genotype_codes.hpp"
#include "interop/input_error.hpp"
#include "interop/text_lines.hpp"

namespace tarvek::draw {
namespace {

// The text after the last "=" of a header line, trimmed; nothing without "=".
std::optional<std::string> header_value(const interop::MapFile& map, std::size_t line) {
  if (line >= map.header_lines.size()) return std::nullopt;
  const std::string& text = map.header_lines[line];
  const auto eq = text.rfind('=');
  if (eq == std::string::npos) return std::nullopt;
  return interop::trim_blanks(std::string_view(text).substr(eq + 1));
}

}  // namespace

std::vector<MapSegment> map_segments(const interop::MapFile& map, const std::vector<interop::PlacedGroup>& placed) {
  std::vector<MapSegment> segments;
  for (std::size_t g = 0; g < map.groups.size() && g < placed.size(); ++g) {
    const auto& markers = placed[g].markers;
    for (std::size_t k = 0; k < markers.size(); ++k) {
      if (k == 0 || markers[k].segment != markers[k - 1].segment) {
        MapSegment s;
        s.group = g;
        s.segment = markers[k].segment;
        s.name = interop::segment_name(g + 1, s.segment);
        s.first = k;
        segments.push_back(s);
      }
      segments.back().count += 1;
      segments.back().length_cm = markers[k].position_cm;
    }
  }
  return segments;
}

std::size_t flagged_count(const interop::MapMarker& marker) {
  std::size_t n = 0;
  for (const int code : marker.codes) n += code == kFlagged ? 1 : 0;
  return n;
}

MarkerSelection select_markers(const interop::MapFile& map, std::optional<std::size_t> group) {
  MarkerSelection selection;
  if (group && (*group < 1 || *group > map.groups.size()))
    throw interop::error_in_file(map.file, "there is no group " + std::to_string(*group) + ": the map has " +
                                               std::to_string(map.groups.size()) + " group" +
                                               (map.groups.size() == 1 ? "" : "s"));
  for (std::size_t g = 0; g < map.groups.size(); ++g) {
    if (group && *group != g + 1) continue;
    selection.groups.push_back({selection.markers.size(), map.groups[g].size(), g + 1});
    for (const auto& m : map.groups[g]) selection.markers.push_back(&m);
  }
  return selection;
}

std::string map_title(const interop::MapFile& map) {
  const auto value = header_value(map, 0);
  if (value && !value->empty()) return *value;
  return interop::file_stem(map.file);
}

}  // namespace tarvek::draw
