#include "draw/genotype_graph.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "draw/colours.hpp"
#include "draw/drawn_map.hpp"
#include "draw/text.hpp"
#include "genotype/genotype_codes.hpp"
#include "interop/exporters.hpp"
#include "interop/input_error.hpp"

namespace tarvek::draw {
namespace {

constexpr double kMargin = 24.0;
constexpr double kGroupGap = 8.0;
constexpr int kLargestCell = 14;   // pixels of one marker or individual, at most
constexpr int kTallestGraph = 900; // rows of pixels for the individuals, at most

// Labels of the columns: the individual each holds, by name when the map
// file names them, else by number from 1.
std::vector<std::string> column_labels(const interop::MapFile& map) {
  std::vector<std::string> names;
  try {
    names = interop::individual_labels(map);
  } catch (const interop::InputError&) {
    names.clear();
  }
  std::vector<std::string> labels;
  for (std::size_t c = 0; c < map.individual_count(); ++c) {
    const int who = map.individual_order[c];
    if (who >= 0 && static_cast<std::size_t>(who) < names.size())
      labels.push_back(picture_label(names[static_cast<std::size_t>(who)]));
    else
      labels.push_back(std::to_string(who >= 0 ? who + 1 : static_cast<int>(c) + 1));
  }
  return labels;
}

struct LegendEntry {
  int code;
  const char* text;
};

constexpr LegendEntry kLegend[] = {
    {kCodeA, "A"}, {kCodeH, "H"}, {kCodeB, "B"}, {kCodeC, "C (not A)"}, {kCodeD, "D (not B)"},
    {kMissing, "missing"}, {kFlagged, "* flagged error"}, {kCalledError, "called error"},
};

}  // namespace

std::vector<PixelBlock> pixel_blocks(std::size_t items, std::size_t pixels) {
  std::vector<PixelBlock> blocks(pixels);
  for (std::size_t p = 0; p < pixels; ++p) {
    blocks[p].first = std::min(items - 1, p * items / pixels);
    blocks[p].last = std::max(blocks[p].first + 1, std::min(items, (p + 1) * items / pixels));
  }
  return blocks;
}

int summary_code(const std::vector<const interop::MapMarker*>& rows, PixelBlock markers, PixelBlock individuals) {
  bool called = false;
  for (std::size_t m = markers.first; m < markers.last; ++m) {
    const GenotypeRow& row = rows[m]->codes;
    for (std::size_t i = individuals.first; i < individuals.last; ++i) {
      if (row[i] == kFlagged) return kFlagged;
      called = called || row[i] == kCalledError;
    }
  }
  if (called) return kCalledError;
  return rows[(markers.first + markers.last - 1) / 2]->codes[(individuals.first + individuals.last - 1) / 2];
}

std::string draw_genotypes(const interop::MapFile& map, const GenotypeOptions& options, Format format) {
  const MarkerSelection selection = select_markers(map, options.group);
  const std::size_t individuals = map.individual_count();
  const std::size_t markers = selection.markers.size();
  const Font title_font{13.0, true};
  const Font font{11.0, false};
  const Font small{9.0, false};
  const TextSize small_text = measure_text("", small);
  const TextSize text = measure_text("", font);
  const std::vector<std::string> labels = column_labels(map);
  bool any_called = false;
  for (const auto* m : selection.markers)
    any_called = any_called || std::find(m->codes.begin(), m->codes.end(), kCalledError) != m->codes.end();
  std::vector<LegendEntry> legend(std::begin(kLegend), std::end(kLegend));
  if (!any_called) legend.pop_back();

  // Rows: the individuals.
  const int row_pixels = individuals == 0 ? 0
      : static_cast<int>(individuals) <= kTallestGraph
          ? static_cast<int>(individuals) * std::clamp(kTallestGraph / static_cast<int>(individuals), 1, kLargestCell)
          : kTallestGraph;
  const std::vector<PixelBlock> rows = individuals == 0 ? std::vector<PixelBlock>{}
                                                         : pixel_blocks(individuals, static_cast<std::size_t>(row_pixels));
  const double row_height = individuals == 0 ? 0.0 : static_cast<double>(row_pixels) / individuals;
  // Every row labelled when the rows are tall enough, else every step-th.
  const std::size_t label_step =
      individuals == 0 ? 1 : std::max<std::size_t>(1, static_cast<std::size_t>(std::ceil(small_text.height() * 1.1 / row_height)));
  double label_width = 0.0;
  for (std::size_t i = 0; i < individuals; i += label_step)
    label_width = std::max(label_width, measure_text(labels[i], small).width);

  // Columns: the markers, group after group.
  const double graph_x = kMargin + label_width + 6.0;
  const double gaps = kGroupGap * static_cast<double>(selection.groups.size() - 1);
  const double available = std::max(static_cast<double>(selection.groups.size()),
                                    options.width - graph_x - kMargin - gaps);
  std::vector<int> group_pixels;
  if (static_cast<double>(markers) <= available) {
    const int cell = std::clamp(static_cast<int>(available / static_cast<double>(markers)), 1, kLargestCell);
    for (const auto& g : selection.groups) group_pixels.push_back(static_cast<int>(g.count) * cell);
  } else {
    for (const auto& g : selection.groups)
      group_pixels.push_back(std::max(1, static_cast<int>(available * static_cast<double>(g.count) / markers)));
  }
  double names_height = 0.0;  // marker names under the columns, when the columns are wide enough
  const bool marker_names = markers > 0 && group_pixels[0] / static_cast<double>(selection.groups[0].count) >=
                                                 small_text.height() * 0.95;
  if (marker_names)
    for (const auto* m : selection.markers) names_height = std::max(names_height, measure_text(picture_label(m->name), small).width);

  const std::string title = picture_label(map_title(map)) + ": genotypes of " +
                            (options.group ? "group " + std::to_string(*options.group) : std::string("all groups")) +
                            ", " + std::to_string(markers) + " markers × " + std::to_string(individuals) +
                            " individuals (rows in the map file's column order)";
  const TextSize title_text = measure_text(title, title_font);
  const double title_y = kMargin + title_text.ascent;
  const double graph_y = title_y + title_text.descent + 10.0 + text.height() + 4.0;
  double graph_right = graph_x;
  for (const int w : group_pixels) graph_right += w + kGroupGap;
  graph_right -= kGroupGap;
  const double graph_bottom = graph_y + row_pixels;
  const double legend_y = graph_bottom + (marker_names ? names_height + 6.0 : 0.0) + 14.0;
  double legend_width = 0.0;
  for (const auto& e : legend) legend_width += 12.0 + 4.0 + measure_text(e.text, font).width + 14.0;
  const double width = std::max({graph_right + kMargin, title_text.width + 2 * kMargin, legend_width + 2 * kMargin});
  const double height = legend_y + text.height() + kMargin;

  Canvas canvas(format, std::ceil(width), std::ceil(height));
  cairo_t* cr = canvas.cr();
  canvas.text(title, kMargin, title_y, title_font, kText, "title");
  for (std::size_t i = 0; i < individuals; i += label_step) {
    const double centre = graph_y + (static_cast<double>(i) + 0.5) * row_height;
    canvas.text(labels[i], graph_x - 6.0 - measure_text(labels[i], small).width,
                centre + (small_text.ascent - small_text.descent) / 2, small, kText, "individual");
  }

  double x = graph_x;
  for (std::size_t k = 0; k < selection.groups.size(); ++k) {
    const auto& g = selection.groups[k];
    const int w = group_pixels[k];
    canvas.begin_group("group", std::to_string(g.group_number));
    const std::string name = w >= measure_text("Group 00", font).width ? "Group " + std::to_string(g.group_number)
                                                                        : std::to_string(g.group_number);
    canvas.text(name, x, graph_y - 4.0 - text.descent, font, kText, "group-title");
    if (row_pixels > 0) {
      const std::vector<PixelBlock> columns = pixel_blocks(g.count, static_cast<std::size_t>(w));
      std::vector<const interop::MapMarker*> group_rows(selection.markers.begin() + static_cast<std::ptrdiff_t>(g.first),
                                                        selection.markers.begin() + static_cast<std::ptrdiff_t>(g.first + g.count));
      std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(row_pixels));
      for (int y = 0; y < row_pixels; ++y)
        for (int c = 0; c < w; ++c)
          pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(c)] =
              packed(genotype_colour(summary_code(group_rows, columns[static_cast<std::size_t>(c)],
                                                  rows[static_cast<std::size_t>(y)])));
      canvas.image(pixels, w, row_pixels, x, graph_y);
    }
    if (marker_names) {
      const double cell = static_cast<double>(w) / static_cast<double>(g.count);
      for (std::size_t m = 0; m < g.count; ++m) {
        const std::string marker = picture_label(selection.markers[g.first + m]->name);
        cairo_save(cr);
        cairo_translate(cr, x + (static_cast<double>(m) + 0.5) * cell + (small_text.ascent - small_text.descent) / 2,
                        graph_bottom + 4.0);
        cairo_rotate(cr, std::numbers::pi / 2);
        canvas.text(marker, 0.0, 0.0, small, kText, "marker");
        cairo_restore(cr);
      }
    }
    canvas.end_group();
    x += w + kGroupGap;
  }

  double lx = kMargin;
  for (const auto& e : legend) {
    canvas.set_colour(genotype_colour(e.code));
    cairo_rectangle(cr, lx, legend_y, 12.0, 12.0);
    cairo_fill_preserve(cr);
    canvas.set_colour(kGrey);
    cairo_set_line_width(cr, 0.5);
    cairo_stroke(cr);
    canvas.text(e.text, lx + 16.0, legend_y + 6.0 + (text.ascent - text.descent) / 2, font, kText, "legend");
    lx += 12.0 + 4.0 + measure_text(e.text, font).width + 14.0;
  }
  return canvas.finish();
}

}  // namespace tarvek::draw
