#pragma once
// The map drawing: every linkage segment as a vertical bar on one cM scale,
// side by side in rows that fit a page, with a tick per marker at its
// position and the marker names beside it, pushed apart where they crowd and
// joined to their ticks by leader lines; where names would crowd too much,
// only some are written (the report's tables list them all). Markers with
// genotypes flagged "*" are marked with a red dot and a red name.

#include <cstddef>
#include <string>
#include <vector>

#include "draw/canvas.hpp"
#include "draw/drawn_map.hpp"
#include "draw/text.hpp"
#include "interop/map_positions.hpp"
#include "interop/map_reader.hpp"

namespace tarvek::draw {

// A4 landscape, in points (1/72 inch): 297 mm × 210 mm.
inline constexpr double kA4LandscapeWidth = 842.0;
inline constexpr double kA4LandscapeHeight = 595.0;

// Which marker names are written beside the bars.
enum class NameChoice {
  kAuto,    // all, or where a segment has more markers than names fit beside
            // its bar, every k-th (the first and last always)
  kAll,     // every name, however crowded
  kEvery,   // every k-th (the first and last always)
  kMarked,  // markers with flagged genotypes and the framework's codominant
            // markers (those scored without C or D)
};

struct MapDrawOptions {
  // The page: segments are wrapped into rows at most page_width wide, and
  // the cM scale is the largest at which the rows fit page_height (when the
  // names allow it at all; else as tall as the names need). A page_width of
  // 0 draws one row, with bars as long as the names need.
  double page_width = kA4LandscapeWidth;
  double page_height = kA4LandscapeHeight;
  // The groups drawn (from 1), in this order; all when empty.
  std::vector<std::size_t> groups;
  // Names of the drawn groups, in drawing order; by default a group is
  // named after the chromosome its markers carry (carried_positions.hpp),
  // else "Group <number>".
  std::vector<std::string> names;
  // Each named marker's position in cM beside its tick, left of the bar, in
  // place of the scale.
  bool cm_labels = false;
  NameChoice name_choice = NameChoice::kAuto;
  std::size_t every = 1;  // for kEvery
};

struct MarkerMark {
  std::string name;
  std::string cm_text;   // the position, "12.3" (with cm_labels)
  double tick_y = 0.0;   // the marker's position on the bar
  double label_y = 0.0;  // the centre of its name, after spreading
  bool flagged = false;
  bool named = true;     // its name is written
};

struct ScaleMark {
  double y = 0.0;
  double value_cm = 0.0;
  std::string text;
};

// One segment's column, in sheet coordinates.
struct SegmentColumn {
  std::string name;           // "3", "3.2", "chr1.2": as the exporters name it
  std::string title;          // "Group 3", "chr1"
  std::string note;           // "20 markers", "834 markers, every 9th named"
  std::size_t row = 0;        // from 0
  double length_cm = 0.0;
  double left = 0.0, right = 0.0;  // the column's extent
  double axis_x = 0.0;        // the cM scale's line
  double cm_x = 0.0;          // right end of the cM labels (with cm_labels)
  double bar_x = 0.0, bar_width = 0.0;
  double label_x = 0.0;       // left end of the names
  double top_y = 0.0;         // 0 cM
  double bottom_y = 0.0;      // length_cm
  double title_y = 0.0;       // baseline of the segment's title
  double note_y = 0.0;        // baseline of the note line
  std::vector<MarkerMark> markers;
  std::vector<ScaleMark> scale;  // from 0 down to length_cm, which is last; empty with cm_labels
};

struct MapLayout {
  double width = 0.0, height = 0.0;
  std::string title;
  double title_y = 0.0;
  double cm_scale = 1.0;  // points per cM
  std::size_t rows = 1;
  bool cm_labels = false;
  double leader_scale = 1.0;  // of the leader lines' lengths
  Font title_font, column_font, label_font, scale_font;
  std::vector<SegmentColumn> columns;
  bool any_flagged = false;
  double legend_y = 0.0;  // baseline of the legend line (when any_flagged)
};

// Places everything at the given positions (the multipoint or the two-point
// ones, from interop/map_model.hpp or map_positions.hpp); the map must have
// at least one group. Throws interop::InputError for a group the map does
// not have, or a number of names that is not the number of groups drawn.
MapLayout layout_map(const interop::MapFile& map, const std::vector<interop::PlacedGroup>& placed,
                     interop::MapFunction function, const MapDrawOptions& options = {});
// At the two-point positions.
MapLayout layout_map(const interop::MapFile& map, interop::MapFunction function,
                     const MapDrawOptions& options = {});

// The indices (within a segment of `count` markers) whose names a choice
// writes: every k-th from the first, and the last.
std::vector<bool> every_kth(std::size_t count, std::size_t k);

// The drawing of a layout as the bytes of a file in `format`.
std::string render_map(const MapLayout& layout, Format format);

}  // namespace tarvek::draw
