#include "draw/marey_plot.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <unordered_map>

#include "draw/drawn_map.hpp"
#include "interop/carried_positions.hpp"
#include "interop/exporters.hpp"
#include "interop/input_error.hpp"

namespace tarvek::draw {
namespace {

constexpr double kMargin = 24.0;
constexpr double kGap = 18.0;
constexpr double kAxisLeft = 34.0;    // room for the cM labels
constexpr double kAxisBottom = 30.0;  // room for the position labels and the axis name
constexpr double kSmallestPanelWidth = 200.0;
constexpr double kSmallestPanelHeight = 160.0;
constexpr double kDot = 2.2;

struct Located {
  std::string chromosome;
  double position = 0.0;
};

// One linkage segment's markers that have a position.
struct Series {
  std::string name;
  std::vector<std::pair<Located, double>> points;  // position, cM
  std::vector<std::string> markers;
  double length = 0.0;
  bool turned = false;
};

std::vector<Series> segment_series(const interop::MapFile& map, const std::vector<interop::PlacedGroup>& placed,
                                   const std::unordered_map<std::string, Located>& located) {
  const std::vector<std::string> names = interop::group_names(map);
  std::vector<Series> all;
  for (std::size_t g = 0; g < map.groups.size(); ++g) {
    const auto& markers = placed.at(g).markers;
    for (std::size_t k = 0; k < markers.size(); ++k) {
      if (k == 0 || markers[k].segment != markers[k - 1].segment) {
        all.emplace_back();
        all.back().name = interop::segment_label(names.at(g), markers[k].segment);
      }
      Series& s = all.back();
      s.length = markers[k].position_cm;
      const auto it = located.find(map.groups[g][k].name);
      if (it == located.end()) continue;
      s.points.emplace_back(it->second, markers[k].position_cm);
      s.markers.push_back(map.groups[g][k].name);
    }
  }
  // Turned where the order runs against the positions on the chromosome
  // most of the series' markers lie on.
  for (Series& s : all) {
    std::map<std::string, std::size_t> counts;
    for (const auto& [where, cm] : s.points) ++counts[where.chromosome];
    std::string chromosome;
    std::size_t most = 0;
    for (const auto& [name, count] : counts)
      if (count > most) {
        most = count;
        chromosome = name;
      }
    std::vector<double> position, cm;
    for (const auto& [where, c] : s.points)
      if (where.chromosome == chromosome) {
        position.push_back(where.position);
        cm.push_back(c);
      }
    s.turned = interop::spearman(position, cm) < 0.0;
    if (s.turned)
      for (auto& point : s.points) point.second = s.length - point.second;
  }
  all.erase(std::remove_if(all.begin(), all.end(), [](const Series& s) { return s.points.empty(); }), all.end());
  return all;
}

}  // namespace

MareyLayout layout_marey(const interop::MapFile& map, const std::vector<interop::PlacedGroup>& placed,
                         const std::vector<interop::ReferencePosition>& positions, interop::MapFunction function,
                         double page_width, double page_height) {
  std::unordered_map<std::string, Located> located;
  for (const auto& p : positions) located.emplace(p.marker, Located{p.chromosome, p.position});
  const std::vector<Series> series = segment_series(map, placed, located);
  if (series.empty())
    throw interop::error_in_file(map.file, "no mapped marker has a physical position: nothing to plot");

  MareyLayout L;
  L.title_font = Font{12.0, true};
  L.panel_font = Font{9.0, true};
  L.label_font = Font{7.5, false};
  double largest = 0.0;
  std::vector<std::string> chromosomes;
  for (const Series& s : series)
    for (const auto& [where, cm] : s.points) {
      largest = std::max(largest, where.position);
      if (std::find(chromosomes.begin(), chromosomes.end(), where.chromosome) == chromosomes.end())
        chromosomes.push_back(where.chromosome);
    }
  std::sort(chromosomes.begin(), chromosomes.end(), natural_less);
  L.unit = position_unit(largest);
  L.title = picture_label(map_title(map)) + ": map position (" + interop::map_function_name(function) +
            " cM) against physical position (" + L.unit.name + ")";
  const TextSize title_size = measure_text(L.title, L.title_font);
  L.title_y = kMargin + title_size.ascent;

  const auto n = static_cast<double>(chromosomes.size());
  const int columns = std::clamp(static_cast<int>(std::lround(std::sqrt(n * 1.6))), 1, static_cast<int>(n));
  const int rows = static_cast<int>(std::ceil(n / columns));
  const double top = L.title_y + title_size.descent + 12.0;
  const double cell_width =
      std::max(kSmallestPanelWidth, (page_width - 2 * kMargin - (columns - 1) * kGap) / columns);
  const double cell_height =
      std::max(kSmallestPanelHeight, (page_height - top - kMargin - (rows - 1) * kGap) / rows);
  const TextSize panel_text = measure_text("", L.panel_font);

  for (std::size_t c = 0; c < chromosomes.size(); ++c) {
    MareyPanel panel;
    panel.chromosome = chromosomes[c];
    const double cell_left = kMargin + static_cast<double>(c % static_cast<std::size_t>(columns)) * (cell_width + kGap);
    const double cell_top = top + static_cast<double>(c / static_cast<std::size_t>(columns)) * (cell_height + kGap);
    panel.title_y = cell_top + panel_text.ascent;
    panel.left = cell_left + kAxisLeft;
    panel.right = cell_left + cell_width - 6.0;
    panel.top = panel.title_y + panel_text.descent + 6.0;
    panel.bottom = cell_top + cell_height - kAxisBottom;
    for (std::size_t k = 0; k < series.size(); ++k) {
      MareySeries drawn{series[k].name, series[k].turned, series_colour(k), 0};
      for (std::size_t p = 0; p < series[k].points.size(); ++p) {
        const auto& [where, cm] = series[k].points[p];
        if (where.chromosome != panel.chromosome) continue;
        panel.points.push_back({series[k].markers[p], where.position, cm, 0.0, 0.0, panel.series.size()});
        panel.largest_position = std::max(panel.largest_position, where.position);
        panel.largest_cm = std::max(panel.largest_cm, cm);
        ++drawn.markers;
      }
      if (drawn.markers > 0) panel.series.push_back(drawn);
    }
    const double x_top = panel.largest_position / L.unit.divisor;
    panel.x_ticks = axis_ticks(x_top, 4);
    panel.y_ticks = axis_ticks(panel.largest_cm, 4);
    const double x_end = x_top > 0.0 ? x_top : 1.0;
    const double y_end = panel.largest_cm > 0.0 ? panel.largest_cm : 1.0;
    for (MareyPoint& point : panel.points) {
      point.x = panel.left + point.position / L.unit.divisor / x_end * (panel.right - panel.left);
      point.y = panel.bottom - point.cm / y_end * (panel.bottom - panel.top);
    }
    L.panels.push_back(std::move(panel));
  }
  L.width = std::max(title_size.width + 2 * kMargin, 2 * kMargin + columns * cell_width + (columns - 1) * kGap);
  L.height = top + rows * cell_height + (rows - 1) * kGap + kMargin;
  return L;
}

std::string render_marey(const MareyLayout& L, Format format) {
  Canvas canvas(format, std::ceil(L.width), std::ceil(L.height));
  cairo_t* cr = canvas.cr();
  canvas.text(L.title, kMargin, L.title_y, L.title_font, kText, "title");
  const TextSize label = measure_text("", L.label_font);
  const Rgb axis{0.35, 0.35, 0.35};
  for (const MareyPanel& p : L.panels) {
    canvas.begin_group("panel", p.chromosome);
    const std::string title = picture_label(p.chromosome) + " (" + std::to_string(p.points.size()) +
                              (p.points.size() == 1 ? " marker)" : " markers)");
    canvas.text(title, (p.left + p.right - measure_text(title, L.panel_font).width) / 2, p.title_y, L.panel_font,
                kText, "panel-title");
    canvas.line(p.left, p.top, p.left, p.bottom, 0.8, axis);
    canvas.line(p.left, p.bottom, p.right, p.bottom, 0.8, axis);
    const double x_end = p.largest_position > 0.0 ? p.largest_position / L.unit.divisor : 1.0;
    const double y_end = p.largest_cm > 0.0 ? p.largest_cm : 1.0;
    for (const AxisTick& t : p.x_ticks) {
      const double x = p.left + t.value / x_end * (p.right - p.left);
      canvas.line(x, p.bottom, x, p.bottom + 3.0, 0.8, axis);
      canvas.text(t.text, x - measure_text(t.text, L.label_font).width / 2, p.bottom + 4.0 + label.ascent,
                  L.label_font, axis, "tick");
    }
    for (const AxisTick& t : p.y_ticks) {
      const double y = p.bottom - t.value / y_end * (p.bottom - p.top);
      canvas.line(p.left - 3.0, y, p.left, y, 0.8, axis);
      canvas.line(p.left, y, p.right, y, 0.3, kLightGrey);
      canvas.text(t.text, p.left - 5.0 - measure_text(t.text, L.label_font).width,
                  y + (label.ascent - label.descent) / 2, L.label_font, axis, "tick");
    }
    const std::string x_name = "position (" + L.unit.name + ")";
    canvas.text(x_name, (p.left + p.right - measure_text(x_name, L.label_font).width) / 2,
                p.bottom + 6.0 + label.height() + label.ascent, L.label_font, axis, "axis");
    canvas.text("cM", p.left - kAxisLeft + 2.0, p.top + label.ascent, L.label_font, axis, "axis");
    for (const MareyPoint& point : p.points) {
      canvas.set_colour(p.series.at(point.series).colour);
      cairo_arc(cr, point.x, point.y, kDot, 0, 2 * std::numbers::pi);
      cairo_fill(cr);
    }
    // The legend: one line per segment, inside the plot's top left.
    double y = p.top + 4.0 + label.ascent;
    for (const MareySeries& s : p.series) {
      canvas.set_colour(s.colour);
      cairo_arc(cr, p.left + 8.0, y - (label.ascent - label.descent) / 2, kDot, 0, 2 * std::numbers::pi);
      cairo_fill(cr);
      const std::string text = picture_label(s.name) + (s.turned ? " (turned)" : "");
      canvas.text(text, p.left + 13.0, y, L.label_font, kText, "legend");
      y += label.height() + 1.0;
    }
    canvas.end_group();
  }
  return canvas.finish();
}

}  // namespace tarvek::draw
