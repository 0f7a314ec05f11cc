#include "draw/individual_plot.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "draw/colours.hpp"
#include "draw/plot_parts.hpp"
#include "draw/text.hpp"

namespace tarvek::draw {
namespace {

constexpr double kMargin = 24.0;
constexpr double kAxisLeft = 40.0;
constexpr double kPanelHeight = 150.0;
constexpr double kGap = 34.0;

double median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  const std::size_t m = v.size() / 2;
  return v.size() % 2 == 1 ? v[m] : (v[m - 1] + v[m]) / 2;
}

}  // namespace

std::vector<std::size_t> outlying_individuals(const std::vector<interop::IndividualQuality>& rows) {
  std::vector<double> crossovers;
  for (const auto& q : rows) crossovers.push_back(static_cast<double>(q.crossovers));
  const double centre = median(crossovers);
  std::vector<double> deviation;
  for (const double c : crossovers) deviation.push_back(std::abs(c - centre));
  const double spread = std::max(1.0, median(deviation));
  std::vector<std::size_t> out;
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const double excess = crossovers[k] - centre;
    if ((excess > 3.0 * spread && excess >= 3.0) || rows[k].missing_share > 0.5) out.push_back(k);
  }
  return out;
}

std::string draw_individuals(const std::vector<interop::IndividualQuality>& rows, const std::string& title,
                             Format format, double width) {
  const Font title_font{12.0, true}, panel_font{9.0, true}, label_font{7.5, false};
  const TextSize title_size = measure_text(title, title_font);
  const TextSize label = measure_text("", label_font);
  const double top = kMargin + title_size.height() + 26.0;
  const double height = top + 2 * kPanelHeight + kGap + 2 * (label.height() + 4.0) + kMargin;
  Canvas canvas(format, width, std::ceil(height));
  cairo_t* cr = canvas.cr();
  canvas.text(title, kMargin, kMargin + title_size.ascent, title_font, kText, "title");
  const std::vector<std::size_t> outliers = outlying_individuals(rows);
  const double left = kMargin + kAxisLeft;
  const double right = width - kMargin;
  const double n = std::max<double>(1.0, static_cast<double>(rows.size()));
  const auto x_of = [&](std::size_t k) { return left + (static_cast<double>(k) + 0.5) / n * (right - left); };
  const Rgb axis{0.35, 0.35, 0.35};

  for (int panel = 0; panel < 2; ++panel) {
    const bool crossovers = panel == 0;
    const double panel_top = top + panel * (kPanelHeight + kGap + label.height() + 4.0);
    const double bottom = panel_top + kPanelHeight;
    double largest = crossovers ? 0.0 : 1.0;
    for (const auto& q : rows)
      if (crossovers) largest = std::max(largest, static_cast<double>(q.crossovers));
    if (!(largest > 0.0)) largest = 1.0;
    const auto value = [&](const interop::IndividualQuality& q) {
      return crossovers ? static_cast<double>(q.crossovers) : q.missing_share;
    };
    const auto y_of = [&](double v) { return bottom - v / largest * (bottom - panel_top - 6.0); };
    canvas.begin_group("panel", crossovers ? "crossovers" : "missing share");
    canvas.text(crossovers ? "crossovers per individual" : "share of missing genotypes per individual", left,
                panel_top - 4.0, panel_font, kText, "panel-title");
    canvas.line(left, panel_top, left, bottom, 0.8, axis);
    canvas.line(left, bottom, right, bottom, 0.8, axis);
    for (const AxisTick& t : axis_ticks(largest, 4)) {
      const double y = y_of(t.value);
      canvas.line(left - 3.0, y, right, y, 0.3, kLightGrey);
      canvas.text(t.text, left - 5.0 - measure_text(t.text, label_font).width, y + (label.ascent - label.descent) / 2,
                  label_font, axis, "tick");
    }
    for (const AxisTick& t : axis_ticks(static_cast<double>(rows.size()), 8)) {
      if (t.value < 1.0) continue;
      const double x = x_of(static_cast<std::size_t>(t.value) - 1);
      canvas.text(t.text, x - measure_text(t.text, label_font).width / 2, bottom + 3.0 + label.ascent, label_font,
                  axis, "tick");
    }
    for (std::size_t k = 0; k < rows.size(); ++k) {
      const bool outlier = std::find(outliers.begin(), outliers.end(), k) != outliers.end();
      canvas.set_colour(outlier ? kFlagRed : series_colour(0));
      cairo_arc(cr, x_of(k), y_of(value(rows[k])), 2.0, 0, 2 * std::numbers::pi);
      cairo_fill(cr);
      if (outlier)
        canvas.text(picture_label(rows[k].name, 16), x_of(k) + 3.0, y_of(value(rows[k])) - 2.0, label_font, kFlagRed,
                    "outlier");
    }
    canvas.end_group();
  }
  return canvas.finish();
}

}  // namespace tarvek::draw
