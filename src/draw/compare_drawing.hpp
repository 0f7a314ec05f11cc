#pragma once
// Two maps side by side, as map comparisons are drawn in papers: for each
// pair of matching groups, the first map's bar with its names on the left,
// the second's with its names on the right, and a line joining the two
// places of every marker the groups share. Parallel lines mean the maps
// agree; crossing lines show markers ordered differently. The second map can
// be the physical one: the chromosomes, drawn at the markers' positions.
//
// Groups are matched one to one by the markers they share, the pairs with
// most shared markers first; a group that matches none is drawn alone. The
// top of a map is either end of its chromosome, so the second group of a
// pair is turned when its order runs against the first's. Maps in the same
// unit share one scale; otherwise (a physical map beside a genetic one)
// each pair's second bar is drawn as long as its first.

#include <cstddef>
#include <string>
#include <vector>

#include "draw/canvas.hpp"
#include "draw/text.hpp"
#include "interop/map_positions.hpp"
#include "interop/map_reader.hpp"
#include "interop/reference_map.hpp"

namespace tarvek::draw {

// One side's groups: names and positions of their markers.
struct TrackGroup {
  std::string name;
  std::vector<std::string> markers;
  std::vector<double> positions;  // in the track's unit, from the top
  double length = 0.0;
};

struct Track {
  std::string title;  // "cross_map.loc", "physical"
  std::string unit;   // "cM", "Mb"
  std::vector<TrackGroup> groups;
};

// Every linkage segment of a map as a group, positions in cM.
Track map_track(const interop::MapFile& map, const std::vector<interop::PlacedGroup>& placed,
                const std::string& title);

// Every chromosome of the positions holding one of `markers` (all when
// empty), in natural order, positions in Mb, kb or bp by their size.
Track physical_track(const std::vector<interop::ReferencePosition>& positions,
                     const std::vector<std::string>& markers);

struct CompareMark {
  std::string name;
  double tick_y = 0.0, label_y = 0.0;
  bool shared = false;  // with the other side of the pair
  bool named = true;
};

struct CompareSide {
  bool present = false;
  std::string title;  // the group's name, "(turned)" when turned
  std::string length_text;  // "94.3 cM"
  double bar_x = 0.0, top_y = 0.0, bottom_y = 0.0;
  double label_x = 0.0;  // the names' left end (right side) or right end (left side)
  std::vector<CompareMark> marks;
};

struct CompareLink {
  double left_y = 0.0, right_y = 0.0;
};

struct ComparePair {
  CompareSide left, right;
  std::vector<CompareLink> links;  // one per shared marker
  double title_y = 0.0, note_y = 0.0;
  double from_x = 0.0, to_x = 0.0;  // the pair's extent
  std::size_t row = 0;
};

struct CompareLayout {
  double width = 0.0, height = 0.0;
  std::string title;
  double title_y = 0.0;
  double bar_width = 0.0;
  Font title_font, group_font, label_font;
  std::vector<ComparePair> pairs;
};

// On a page of the given size (A4 landscape by default), which grows when
// the pairs need more room. `turn_first`: the first group of a pair is the
// one turned (the second being a physical map, whose top is its start).
CompareLayout layout_comparison(const Track& first, const Track& second, double page_width = 842.0,
                                double page_height = 595.0, bool turn_first = false);

std::string render_comparison(const CompareLayout& layout, Format format);

}  // namespace tarvek::draw
