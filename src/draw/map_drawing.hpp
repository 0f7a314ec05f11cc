#pragma once
// The map drawing: every linkage segment as a vertical bar on one cM scale,
// side by side, with a tick per marker at its position and the marker names
// beside it, pushed apart where they crowd and joined to their ticks by
// leader lines. Markers with genotypes flagged "*" are marked with a red dot
// and a red name.

#include <string>
#include <vector>

#include "draw/canvas.hpp"
#include "draw/drawn_map.hpp"
#include "draw/text.hpp"
#include "interop/map_positions.hpp"
#include "interop/map_reader.hpp"

namespace tarvek::draw {

struct MarkerMark {
  std::string name;
  double tick_y = 0.0;   // the marker's position on the bar
  double label_y = 0.0;  // the centre of its name, after spreading
  bool flagged = false;
};

struct ScaleMark {
  double y = 0.0;
  double value_cm = 0.0;
  std::string text;
};

// One segment's column, in sheet coordinates.
struct SegmentColumn {
  std::string name;           // "3", "3.2"
  double length_cm = 0.0;
  double left = 0.0, right = 0.0;  // the column's extent
  double axis_x = 0.0;        // the cM scale's line
  double bar_x = 0.0, bar_width = 0.0;
  double label_x = 0.0;       // left end of the names
  double top_y = 0.0;         // 0 cM
  double bottom_y = 0.0;      // length_cm
  double title_y = 0.0;       // baseline of the segment's title
  double note_y = 0.0;        // baseline of the "n markers" line
  std::vector<MarkerMark> markers;
  std::vector<ScaleMark> scale;  // from 0 down to length_cm, which is last
};

struct MapLayout {
  double width = 0.0, height = 0.0;
  std::string title;
  double title_y = 0.0;
  double cm_scale = 1.0;  // points per cM
  Font title_font, column_font, label_font, scale_font;
  std::vector<SegmentColumn> columns;
  bool any_flagged = false;
  double legend_y = 0.0;  // baseline of the legend line (when any_flagged)
};

// Places everything at the given positions (the multipoint or the two-point
// ones, from interop/map_model.hpp or map_positions.hpp); the map must have
// at least one group.
MapLayout layout_map(const interop::MapFile& map, const std::vector<interop::PlacedGroup>& placed,
                     interop::MapFunction function);
// At the two-point positions.
MapLayout layout_map(const interop::MapFile& map, interop::MapFunction function);

// The drawing of a layout as the bytes of a file in `format`.
std::string render_map(const MapLayout& layout, Format format);

}  // namespace tarvek::draw
