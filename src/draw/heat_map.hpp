#pragma once
// The heat map: the pair statistics of one group, or of all groups on one
// sheet, in map order, r above the diagonal and LOD below it, each on the
// heat scale (bright: r near 0, LOD high) with its colour bar; the markers'
// names beside the rows when the rows are tall enough to carry them. The matrix is
// a raster of one pixel per summarised cell pair (see heat_matrix.hpp); the
// sheet is `size` × `size` (pixels in a PNG, points in SVG and PDF).

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "base/kernels.hpp"
#include "draw/canvas.hpp"
#include "draw/text.hpp"
#include "interop/map_reader.hpp"
#include "interop/population.hpp"

namespace tarvek::draw {

inline constexpr int kSmallestHeatMap = 200;
inline constexpr int kLargestHeatMap = 10000;

struct HeatOptions {
  std::optional<std::size_t> group;  // from 1; all groups when empty
  int size = 1000;                   // kSmallestHeatMap to kLargestHeatMap
  PopulationType population = PopulationType::F2;
  // Top of the LOD scale; by default the largest LOD of a computed pair.
  std::optional<double> lod_max;
  int threads = 1;  // for the pair statistics
  // plain: the pair statistics one pair at a time (the reference build's
  // choice); otherwise the blocked fast summary. Both give the same picture.
  Kernels kernels = run_kernels();
};

// Where the parts of a sheet of `size` go; depends on the size only.
struct HeatSheet {
  int size = 0;
  Font font, small_font;
  double margin = 0.0;
  double title_y = 0.0;        // baseline
  int matrix_x = 0, matrix_y = 0;
  int matrix_pixels = 0;       // the matrix's side
  double legend_x = 0.0;       // left of the colour bars
  double note_y = 0.0;         // baseline of the line under the matrix
};

// `label_room`: points kept free left of the matrix for the markers' names.
HeatSheet heat_sheet_layout(int size, double label_room = 0.0);

// The font of the markers' names beside the matrix rows, when each row of
// `markers` is tall enough at this size (at least kLabelledRow points) and
// the names leave room for such rows; nothing otherwise.
inline constexpr double kLabelledRow = 9.0;
std::optional<Font> heat_label_font(int size, const std::vector<std::string>& names, HeatSheet& sheet);

// The heat map of a map with at least one group, as the bytes of a file.
// Throws interop::InputError for a group the map does not have.
std::string draw_heat_map(const interop::MapFile& map, const HeatOptions& options, Format format);

}  // namespace tarvek::draw
