#include "draw/heat_map.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "draw/colours.hpp"
#include "draw/drawn_map.hpp"
#include "draw/heat_matrix.hpp"
#include "draw/pair_statistic.hpp"

namespace tarvek::draw {
namespace {

// The colour of a cell pair: r above the diagonal (bright at r = 0, dark at
// 0.5), LOD below (bright at the top of the scale, dark at 0). A cell of one
// marker with itself has no pair and is drawn at the bright end.
std::uint32_t cell_colour(const HeatSummary& s, std::size_t row, std::size_t column, bool above, double top) {
  double t = 1.0;
  if (above) {
    const double r = s.mean_r(row, column);
    if (!std::isnan(r)) t = 1.0 - r / 0.5;
  } else {
    const double lod = s.mean_lod(row, column, top);
    if (!std::isnan(lod)) t = lod / top;
  }
  return packed(heat_colour(t));
}

std::vector<std::uint32_t> matrix_pixels(const HeatSummary& s, int side, double top) {
  const auto n = static_cast<std::size_t>(side);
  std::vector<std::size_t> cell(n);
  for (std::size_t p = 0; p < n; ++p) cell[p] = s.cell_of_pixel(p, n);
  std::vector<std::uint32_t> pixels(n * n);
  for (std::size_t y = 0; y < n; ++y)
    for (std::size_t x = 0; x < n; ++x) pixels[y * n + x] = cell_colour(s, cell[y], cell[x], x >= y, top);
  return pixels;
}

// A vertical colour bar, bright at the top.
std::vector<std::uint32_t> colour_bar(int width, int height) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    const std::uint32_t c = packed(heat_colour(1.0 - static_cast<double>(y) / std::max(1, height - 1)));
    std::fill_n(pixels.begin() + static_cast<std::ptrdiff_t>(y) * width, width, c);
  }
  return pixels;
}

std::string lod_text(double v) { return v >= 100 ? fixed(v, 0) : fixed(v, 1); }

struct Boundary {
  std::size_t marker = 0;  // first marker after it
  bool group = true;       // between groups (else between segments of a group)
};

}  // namespace

HeatSheet heat_sheet_layout(int size, double label_room) {
  if (size < kSmallestHeatMap || size > kLargestHeatMap) throw std::invalid_argument("heat map size");
  HeatSheet h;
  h.size = size;
  h.font = Font{std::clamp(size / 70.0, 8.0, 16.0), false};
  h.small_font = Font{h.font.size * 0.85, false};
  h.margin = std::round(h.font.size);
  const TextSize text = measure_text("", h.font);
  h.title_y = h.margin + text.ascent;
  const double band = text.height() + 4.0;  // group names along the top and the left
  const double legend_text = std::max({measure_text("r above the diagonal", h.small_font).width,
                                       measure_text("LOD below it", h.small_font).width,
                                       h.font.size + 6.0 + measure_text("9999.9", h.small_font).width});
  const double note = measure_text("", h.small_font).height() + 6.0;
  h.matrix_x = static_cast<int>(std::ceil(h.margin + band + label_room));
  h.matrix_y = static_cast<int>(std::ceil(h.title_y + text.descent + 6.0 + band));
  const double across = size - h.matrix_x - h.margin - legend_text - h.margin;
  const double down = size - h.matrix_y - note - h.margin;
  h.matrix_pixels = std::max(1, static_cast<int>(std::floor(std::min(across, down))));
  h.legend_x = h.matrix_x + h.matrix_pixels + h.margin;
  h.note_y = h.matrix_y + h.matrix_pixels + 4.0 + measure_text("", h.small_font).ascent;
  return h;
}

std::optional<Font> heat_label_font(int size, const std::vector<std::string>& names, HeatSheet& sheet) {
  sheet = heat_sheet_layout(size);
  if (names.empty()) return std::nullopt;
  const auto n = static_cast<double>(names.size());
  if (sheet.matrix_pixels / n < kLabelledRow) return std::nullopt;
  const Font font{std::min(8.0, 0.8 * sheet.matrix_pixels / n), false};
  double widest = 0.0;
  for (const std::string& name : names) widest = std::max(widest, measure_text(picture_label(name), font).width);
  const HeatSheet labelled = heat_sheet_layout(size, widest + 4.0);
  if (labelled.matrix_pixels / n < kLabelledRow) return std::nullopt;
  sheet = labelled;
  return font;
}

std::string draw_heat_map(const interop::MapFile& map, const HeatOptions& options, Format format) {
  const MarkerSelection selection = select_markers(map, options.group);
  std::vector<std::string> names;
  for (const interop::MapMarker* m : selection.markers) names.push_back(m->name);
  HeatSheet sheet;
  const std::optional<Font> label_font = heat_label_font(options.size, names, sheet);
  std::vector<const GenotypeRow*> rows;
  for (const interop::MapMarker* m : selection.markers) rows.push_back(&m->codes);
  const auto pixels = static_cast<std::size_t>(sheet.matrix_pixels);
  const HeatSummary summary =
      options.kernels == Kernels::plain
          ? summarise_pairs_plainly(rows, pixels, options.population, kSampleBudget)
          : summarise_pairs(rows, pixels, options.population, kSampleBudget, options.threads);
  double top = options.lod_max ? *options.lod_max : static_cast<double>(summary.largest_lod);
  if (!(top > 0.0)) top = 1.0;

  // Boundaries between groups, or between the segments of the one group.
  std::vector<Boundary> boundaries;
  std::vector<std::pair<std::size_t, std::string>> blocks;  // first marker, name
  if (options.group) {
    const auto placed = interop::place_markers(map, interop::MapFunction::kKosambi);
    for (const MapSegment& s : map_segments(map, placed)) {
      if (s.group + 1 != *options.group) continue;
      if (s.first > 0) boundaries.push_back({s.first, false});
      blocks.emplace_back(s.first, s.name);
    }
    if (blocks.size() == 1) blocks.clear();
  } else {
    for (const auto& g : selection.groups) {
      if (g.first > 0) boundaries.push_back({g.first, true});
      blocks.emplace_back(g.first, std::to_string(g.group_number));
    }
  }

  Canvas canvas(format, sheet.size, sheet.size);
  cairo_t* cr = canvas.cr();
  const std::size_t n = rows.size();
  const std::string what = options.group ? "group " + std::to_string(*options.group) : "all groups";
  canvas.text(picture_label(map_title(map)) + ": " + what + ", " + std::to_string(n) + (n == 1 ? " marker" : " markers"),
              sheet.margin, sheet.title_y, Font{sheet.font.size, true}, kText, "title");

  const int side = sheet.matrix_pixels;
  canvas.image(matrix_pixels(summary, side, top), side, side, sheet.matrix_x, sheet.matrix_y);
  const auto at = [&](std::size_t marker) { return static_cast<double>(marker) * side / static_cast<double>(n); };
  for (const Boundary& b : boundaries) {
    const double p = std::round(at(b.marker));
    const Rgb colour = b.group ? Rgb{1, 1, 1} : kLightGrey;
    if (!b.group) {
      const double dash[] = {4.0, 3.0};
      cairo_set_dash(cr, dash, 2, 0);
    }
    canvas.line(sheet.matrix_x + p, sheet.matrix_y, sheet.matrix_x + p, sheet.matrix_y + side, 1.0, colour);
    canvas.line(sheet.matrix_x, sheet.matrix_y + p, sheet.matrix_x + side, sheet.matrix_y + p, 1.0, colour);
    cairo_set_dash(cr, nullptr, 0, 0);
  }
  // Names of the blocks along the top and the left, where they fit.
  const TextSize text = measure_text("", sheet.font);
  for (std::size_t k = 0; k < blocks.size(); ++k) {
    const std::size_t last = k + 1 < blocks.size() ? blocks[k + 1].first : n;
    const double from = at(blocks[k].first);
    const double width = at(last) - from;
    const double w = measure_text(blocks[k].second, sheet.font).width;
    if (w + 2.0 > width) continue;  // too narrow for its name
    const double middle = from + width / 2;
    canvas.text(blocks[k].second, sheet.matrix_x + middle - w / 2, sheet.matrix_y - 4.0 - text.descent, sheet.font,
                kText, "block");
    const double left_of = label_font ? sheet.margin + measure_text("", sheet.font).height() + 4.0 : sheet.matrix_x;
    canvas.text(blocks[k].second, left_of - 4.0 - w, sheet.matrix_y + middle + (text.ascent - text.descent) / 2,
                sheet.font, kText, "block");
  }
  // The markers' names, right-aligned beside their rows.
  if (label_font) {
    const TextSize small = measure_text("", *label_font);
    canvas.begin_group("labels", "markers");
    for (std::size_t i = 0; i < n; ++i) {
      const std::string name = picture_label(names[i]);
      canvas.text(name, sheet.matrix_x - 3.0 - measure_text(name, *label_font).width,
                  sheet.matrix_y + (at(i) + at(i + 1)) / 2 + (small.ascent - small.descent) / 2, *label_font, kText,
                  "marker");
    }
    canvas.end_group();
  }
  canvas.set_colour(kGrey);
  cairo_set_line_width(cr, 1.0);
  cairo_rectangle(cr, sheet.matrix_x - 0.5, sheet.matrix_y - 0.5, side + 1.0, side + 1.0);
  cairo_stroke(cr);

  // The two colour bars, each bright at its top.
  const TextSize small = measure_text("", sheet.small_font);
  const int bar_width = static_cast<int>(sheet.font.size);
  const double half = side / 2.0;
  const int bar_height = std::max(2, static_cast<int>(half - 3 * small.height() - 10.0));
  const auto legend = [&](double y, const std::string& caption, const std::string& high, const std::string& mid,
                          const std::string& low) {
    canvas.text(caption, sheet.legend_x, y + small.ascent, sheet.small_font, kText, "legend");
    const double bar_top = y + small.height() + 6.0;
    canvas.image(colour_bar(bar_width, bar_height), bar_width, bar_height, sheet.legend_x, bar_top);
    const double label_x = sheet.legend_x + bar_width + 6.0;
    const double shift = (small.ascent - small.descent) / 2;
    canvas.text(high, label_x, bar_top + shift, sheet.small_font, kText, "legend");
    canvas.text(mid, label_x, bar_top + bar_height / 2.0 + shift, sheet.small_font, kText, "legend");
    canvas.text(low, label_x, bar_top + bar_height + shift, sheet.small_font, kText, "legend");
  };
  legend(sheet.matrix_y, "r above the diagonal", "0", "0.25", "0.5");
  legend(sheet.matrix_y + half, "LOD below it", (options.lod_max ? "≥ " : "") + lod_text(top), lod_text(top / 2), "0");

  std::string note = "each pixel: ";
  if (summary.cells == n && summary.samples >= 1 && n <= static_cast<std::size_t>(side)) {
    note += "one pair of markers";
  } else {
    const std::size_t k = std::min(summary.samples, n / std::max<std::size_t>(1, summary.cells));
    const std::size_t block = (n + summary.cells / 2) / summary.cells;
    note += k * k <= 1 ? std::string("one sampled pair") : "mean of " + std::to_string(k * k) + " sampled pairs";
    note += " of two blocks of about " + std::to_string(block) + (block == 1 ? " marker" : " markers");
  }
  note += "; ";
  note += population_name(options.population);
  note += " estimator";
  canvas.text(note, sheet.matrix_x, sheet.note_y, sheet.small_font, kGrey, "note");
  return canvas.finish();
}

}  // namespace tarvek::draw
