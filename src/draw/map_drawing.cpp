#include "draw/map_drawing.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "draw/colours.hpp"
#include "draw/label_layout.hpp"

namespace tarvek::draw {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kMargin = 24.0;
constexpr double kColumnGap = 30.0;
constexpr double kBarWidth = 12.0;
constexpr double kBarCap = 4.0;          // the bar reaches this far past its first and last marker
constexpr double kTickOverhang = 3.0;    // ticks reach past the bar on both sides
constexpr double kLeaderStraight = 6.0;  // the leader leaves the tick straight ...
constexpr double kLeaderSlant = 18.0;    // ... slants to the name's height ...
constexpr double kLeaderInto = 4.0;      // ... and runs straight into the name
constexpr double kNameGap = 2.0;
constexpr double kScaleTick = 4.0;
constexpr double kLongestBar = 480.0;    // the longest segment's bar, when its names fit
constexpr double kTallestBar = 3000.0;   // never stretched beyond this to fit names

// A step of the cM scale (1, 2 or 5 times a power of ten) no smaller than `at_least`.
double nice_step(double at_least) {
  double power = std::pow(10.0, std::floor(std::log10(at_least)));
  for (;;) {
    for (const double f : {1.0, 2.0, 5.0})
      if (f * power >= at_least) return f * power;
    power *= 10.0;
  }
}

int decimals_of(double step) { return step >= 1.0 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9)); }

std::vector<ScaleMark> scale_marks(double length, double cm_scale, double top_y, double spacing) {
  std::vector<ScaleMark> marks;
  if (!(length > 0.0)) {
    marks.push_back({top_y, 0.0, "0"});
    return marks;
  }
  const double step = nice_step(spacing / cm_scale);
  const int decimals = decimals_of(step);
  for (int k = 0;; ++k) {
    const double v = k * step;
    if ((length - v) * cm_scale < 0.55 * spacing) break;  // too close to the end's mark
    marks.push_back({top_y + v * cm_scale, v, fixed(v, decimals)});
  }
  marks.push_back({top_y + length * cm_scale, length, fixed(length, 1)});
  return marks;
}

// Points per cM: the longest bar kLongestBar tall, taller when that is what
// the names of a crowded segment need to sit beside their markers, up to
// kTallestBar.
double choose_cm_scale(const std::vector<MapSegment>& segments, double spacing) {
  double longest = 0.0;
  for (const auto& s : segments) longest = std::max(longest, s.length_cm);
  if (!(longest > 0.0)) return 1.0;
  double scale = kLongestBar / longest;
  for (const auto& s : segments)
    if (s.length_cm > 0.0 && s.count > 1)
      scale = std::max(scale, static_cast<double>(s.count - 1) * spacing / s.length_cm);
  return std::min(scale, kTallestBar / longest);
}

}  // namespace

MapLayout layout_map(const interop::MapFile& map, interop::MapFunction function) {
  return layout_map(map, interop::place_markers(map, function), function);
}

MapLayout layout_map(const interop::MapFile& map, const std::vector<interop::PlacedGroup>& placed,
                     interop::MapFunction function) {
  const std::vector<MapSegment> segments = map_segments(map, placed);
  std::size_t mapped = 0;
  for (const auto& g : map.groups) mapped += g.size();

  MapLayout L;
  L.title_font = Font{14.0, true};
  L.column_font = Font{11.0, true};
  L.label_font = Font{10.0, false};
  L.scale_font = Font{9.0, false};
  L.title = picture_label(map_title(map)) + ": " + std::to_string(map.groups.size()) + " group" +
            (map.groups.size() == 1 ? "" : "s") + ", " + std::to_string(mapped) + " marker" +
            (mapped == 1 ? "" : "s") + " (" + interop::map_function_name(function) + " cM)";
  const TextSize title_size = measure_text(L.title, L.title_font);
  L.title_y = kMargin + title_size.ascent;
  const double spacing = line_height(L.label_font) * 1.05;
  const double scale_spacing = line_height(L.scale_font) * 2.2;
  L.cm_scale = choose_cm_scale(segments, spacing);

  const TextSize column_text = measure_text("", L.column_font);
  const double column_title_y = L.title_y + title_size.descent + 14.0 + column_text.ascent;
  const double content_top = column_title_y + column_text.descent + 10.0;
  const TextSize label_text = measure_text("", L.label_font);
  const TextSize scale_text = measure_text("", L.scale_font);

  double x = kMargin;
  double bottom = content_top;
  for (const MapSegment& s : segments) {
    SegmentColumn c;
    c.name = s.name;
    c.length_cm = s.length_cm;
    const auto& group = map.groups[s.group];
    const auto& positions = placed[s.group].markers;
    // Positions relative to 0 cM at y = 0 first; shifted down below.
    std::vector<double> wanted;
    for (std::size_t k = s.first; k < s.first + s.count; ++k) {
      MarkerMark m;
      m.name = picture_label(group[k].name);
      m.tick_y = positions[k].position_cm * L.cm_scale;
      m.flagged = flagged_count(group[k]) > 0;
      L.any_flagged = L.any_flagged || m.flagged;
      wanted.push_back(m.tick_y);
      c.markers.push_back(std::move(m));
    }
    const std::vector<double> spread = spread_labels(wanted, spacing);
    double upper = -kBarCap;
    double lower = s.length_cm * L.cm_scale + kBarCap;
    for (std::size_t k = 0; k < c.markers.size(); ++k) {
      c.markers[k].label_y = spread[k];
      upper = std::min(upper, spread[k] - spacing / 2);
      lower = std::max(lower, spread[k] + spacing / 2);
    }
    upper = std::min(upper, -scale_text.ascent);
    lower = std::max(lower, s.length_cm * L.cm_scale + scale_text.descent);
    const double shift = content_top - upper;
    for (auto& m : c.markers) {
      m.tick_y += shift;
      m.label_y += shift;
    }
    c.top_y = shift;
    c.bottom_y = shift + s.length_cm * L.cm_scale;
    c.scale = scale_marks(s.length_cm, L.cm_scale, c.top_y, scale_spacing);

    double scale_width = 0.0;
    for (const auto& mark : c.scale) scale_width = std::max(scale_width, measure_text(mark.text, L.scale_font).width);
    double label_width = 0.0;
    for (const auto& m : c.markers) label_width = std::max(label_width, measure_text(m.name, L.label_font).width);
    c.left = x;
    c.axis_x = x + scale_width + 2.0 + kScaleTick;
    c.bar_x = c.axis_x + 6.0;
    c.bar_width = kBarWidth;
    c.label_x = c.bar_x + kBarWidth + kTickOverhang + kLeaderStraight + kLeaderSlant + kLeaderInto + kNameGap;
    const double title_width = measure_text("Group " + c.name, L.column_font).width;
    const std::string note = std::to_string(s.count) + (s.count == 1 ? " marker" : " markers");
    const double note_width = measure_text(note, L.scale_font).width;
    c.right = std::max({c.label_x + label_width, c.bar_x + kBarWidth / 2 + title_width / 2,
                        c.bar_x + kBarWidth / 2 + note_width / 2});
    c.title_y = column_title_y;
    c.note_y = content_top + (lower - upper) + 8.0 + label_text.ascent;
    bottom = std::max(bottom, c.note_y + label_text.descent);
    x = c.right + kColumnGap;
    L.columns.push_back(std::move(c));
  }
  L.width = std::max(x - kColumnGap + kMargin, title_size.width + 2 * kMargin);
  if (L.any_flagged) {
    L.legend_y = bottom + 14.0 + label_text.ascent;
    bottom = L.legend_y + label_text.descent;
  }
  L.height = bottom + kMargin;
  return L;
}

std::string render_map(const MapLayout& L, Format format) {
  Canvas canvas(format, std::ceil(L.width), std::ceil(L.height));
  cairo_t* cr = canvas.cr();
  canvas.text(L.title, kMargin, L.title_y, L.title_font, kText, "title");
  const TextSize label_text = measure_text("", L.label_font);
  const TextSize scale_text = measure_text("", L.scale_font);
  const Rgb scale_colour{0.35, 0.35, 0.35};
  const Rgb bar_fill{0.90, 0.92, 0.95};
  const Rgb bar_edge{0.30, 0.30, 0.30};

  for (const SegmentColumn& c : L.columns) {
    canvas.begin_group("segment", c.name);
    const double centre = c.bar_x + c.bar_width / 2;
    const std::string title = "Group " + c.name;
    canvas.text(title, centre - measure_text(title, L.column_font).width / 2, c.title_y, L.column_font, kText,
                "segment-title");

    // The cM scale, ending at the segment's length.
    canvas.line(c.axis_x, c.top_y, c.axis_x, c.bottom_y, 0.8, scale_colour);
    for (const ScaleMark& mark : c.scale) {
      canvas.line(c.axis_x - kScaleTick, mark.y, c.axis_x, mark.y, 0.8, scale_colour);
      const double w = measure_text(mark.text, L.scale_font).width;
      canvas.text(mark.text, c.axis_x - kScaleTick - 2.0 - w, mark.y + (scale_text.ascent - scale_text.descent) / 2,
                  L.scale_font, scale_colour, "scale");
    }

    // The bar, rounded at both ends.
    const double top = c.top_y - kBarCap;
    const double height = c.bottom_y - c.top_y + 2 * kBarCap;
    const double radius = std::min(kBarCap, height / 2);
    cairo_new_sub_path(cr);
    cairo_arc(cr, c.bar_x + c.bar_width - radius, top + radius, radius, -kPi / 2, 0);
    cairo_arc(cr, c.bar_x + c.bar_width - radius, top + height - radius, radius, 0, kPi / 2);
    cairo_arc(cr, c.bar_x + radius, top + height - radius, radius, kPi / 2, kPi);
    cairo_arc(cr, c.bar_x + radius, top + radius, radius, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
    canvas.set_colour(bar_fill);
    cairo_fill_preserve(cr);
    canvas.set_colour(bar_edge);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);

    const double tick_end = c.bar_x + c.bar_width + kTickOverhang;
    for (const MarkerMark& m : c.markers) {
      // The tick: the one black line per marker.
      canvas.line(c.bar_x - kTickOverhang, m.tick_y, tick_end, m.tick_y, 1.0, kBlack);
      if (m.flagged) {
        canvas.set_colour(kFlagRed);
        cairo_arc(cr, centre, m.tick_y, 2.6, 0, 2 * kPi);
        cairo_fill(cr);
      }
      // The leader line from the tick to the name.
      const double x1 = tick_end + kLeaderStraight;
      const double x2 = x1 + kLeaderSlant;
      canvas.set_colour(kGrey);
      cairo_set_line_width(cr, 0.6);
      cairo_move_to(cr, tick_end, m.tick_y);
      cairo_line_to(cr, x1, m.tick_y);
      cairo_line_to(cr, x2, m.label_y);
      cairo_line_to(cr, x2 + kLeaderInto, m.label_y);
      cairo_stroke(cr);
      canvas.text(m.name, c.label_x, m.label_y + (label_text.ascent - label_text.descent) / 2, L.label_font,
                  m.flagged ? kFlagRed : kText, "marker");
    }
    const std::string note = std::to_string(c.markers.size()) + (c.markers.size() == 1 ? " marker" : " markers");
    canvas.text(note, centre - measure_text(note, L.scale_font).width / 2, c.note_y, L.scale_font, kGrey, "note");
    canvas.end_group();
  }

  if (L.any_flagged) {
    canvas.set_colour(kFlagRed);
    cairo_arc(cr, kMargin + 3.0, L.legend_y - (label_text.ascent - label_text.descent) / 2, 2.6, 0, 2 * kPi);
    cairo_fill(cr);
    canvas.text("red: marker with genotypes flagged \"*\" as likely scoring errors", kMargin + 10.0, L.legend_y,
                L.label_font, kText, "legend");
  }
  return canvas.finish();
}

}  // namespace tarvek::draw
