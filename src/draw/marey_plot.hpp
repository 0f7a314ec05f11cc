#pragma once
// The Marey plot: for each chromosome, every mapped marker that lies on it
// as a dot at its physical position (across) and its map position in cM (up),
// one colour per linkage segment. A good map gives a rising curve per
// chromosome, steep where recombination is frequent and flat where it is
// rare (centromeres); a misplaced marker stands out as a dot off its curve,
// a misgrouped one as a dot of another group's colour, a reversed block as
// a falling stretch. The top of a map is either end of its chromosome, so
// each segment is drawn turned to rise with physical position when its
// markers' order runs the other way.

#include <cstddef>
#include <string>
#include <vector>

#include "draw/canvas.hpp"
#include "draw/plot_parts.hpp"
#include "draw/text.hpp"
#include "interop/map_positions.hpp"
#include "interop/map_reader.hpp"
#include "interop/reference_map.hpp"

namespace tarvek::draw {

struct MareyPoint {
  std::string marker;
  double position = 0.0;  // physical, in the positions' unit
  double cm = 0.0;        // as drawn (after turning the segment)
  double x = 0.0, y = 0.0;
  std::size_t series = 0;  // index into the panel's series
};

struct MareySeries {
  std::string name;   // the segment's name ("3", "chr1.2")
  bool turned = false;
  Rgb colour;
  std::size_t markers = 0;
};

struct MareyPanel {
  std::string chromosome;
  double left = 0.0, top = 0.0, right = 0.0, bottom = 0.0;  // the plotting area
  double title_y = 0.0;
  double largest_position = 0.0, largest_cm = 0.0;          // the axes' ends
  std::vector<AxisTick> x_ticks, y_ticks;                   // x in the unit below
  std::vector<MareySeries> series;
  std::vector<MareyPoint> points;
};

struct MareyLayout {
  double width = 0.0, height = 0.0;
  std::string title;
  double title_y = 0.0;
  PositionUnit unit;
  Font title_font, panel_font, label_font;
  std::vector<MareyPanel> panels;  // chromosomes in natural order
};

// Lays the panels out on a page (A4 landscape by default; it grows when the
// panels need more room) from the markers' positions, mapped markers only;
// markers without a position are left out. Throws interop::InputError when
// no mapped marker has a position.
MareyLayout layout_marey(const interop::MapFile& map, const std::vector<interop::PlacedGroup>& placed,
                         const std::vector<interop::ReferencePosition>& positions, interop::MapFunction function,
                         double page_width = 842.0, double page_height = 595.0);

std::string render_marey(const MareyLayout& layout, Format format);

}  // namespace tarvek::draw
