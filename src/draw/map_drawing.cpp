#include "draw/map_drawing.hpp"

#include <algorithm>
#include <cmath>

#include "draw/label_layout.hpp"
#include "genotype/genotype_codes.hpp"
#include "interop/carried_positions.hpp"
#include "interop/input_error.hpp"

namespace tarvek::draw {
namespace {

constexpr double kMargin = 24.0;
constexpr double kBarCap = 4.0;          // the bar reaches this far past its first and last marker
constexpr double kTickOverhang = 3.0;    // ticks reach past the bar on both sides
constexpr double kLeaders = 6.0 + 18.0 + 4.0;  // straight, slanted, straight into the name, at full size
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

// A marker the framework orders: scored without dominant codes.
bool codominant(const interop::MapMarker& m) {
  return std::none_of(m.codes.begin(), m.codes.end(), [](int c) { return c == kCodeC || c == kCodeD; });
}

// One segment to draw, with what does not depend on the scale.
struct Planned {
  const MapSegment* segment = nullptr;
  std::string name, title;
  std::vector<MarkerMark> markers;  // names and flags; positions below
  std::vector<double> positions;    // cM from the segment's top
  std::vector<bool> framework;
  double left_part = 0.0;  // from the column's left to the bar
  double width = 0.0;
  std::size_t row = 0;
};

// Sizes: for the screen (one row), or compact for a page, with the fonts
// of a printed figure.
struct Geometry {
  Font title{14.0, true}, column{11.0, true}, label{10.0, false}, scale{9.0, false};
  double column_gap = 30.0, row_gap = 18.0, bar_width = 12.0, leader_scale = 1.0;
  double spacing() const { return line_height(label) * 1.05; }
  double leaders() const { return kLeaders * leader_scale; }
};

Geometry geometry_for(bool paged) {
  Geometry g;
  if (!paged) return g;
  g.title = Font{12.0, true};
  g.column = Font{9.0, true};
  g.label = Font{8.0, false};
  g.scale = Font{7.0, false};
  g.column_gap = 14.0;
  g.row_gap = 10.0;
  g.bar_width = 9.0;
  g.leader_scale = 0.6;
  return g;
}

// Which names a segment shows, when a column has room for `room` names,
// and the note that says so.
std::vector<bool> chosen_names(const Planned& p, const MapDrawOptions& options, std::size_t room,
                               std::string& note) {
  const std::size_t count = p.markers.size();
  note = std::to_string(count) + (count == 1 ? " marker" : " markers");
  std::vector<bool> named(count, true);
  std::size_t k = 1;
  switch (options.name_choice) {
    case NameChoice::kAll: return named;
    case NameChoice::kEvery: k = std::max<std::size_t>(options.every, 1); break;
    case NameChoice::kMarked: {
      for (std::size_t i = 0; i < count; ++i) named[i] = p.markers[i].flagged || p.framework[i];
      break;
    }
    case NameChoice::kAuto:
      room = std::max<std::size_t>(room, 3);
      if (count > room) k = (count - 1 + room - 2) / (room - 1);
      break;
  }
  if (k > 1) named = every_kth(count, k);
  const auto shown = static_cast<std::size_t>(std::count(named.begin(), named.end(), true));
  if (shown < count) note += ", " + std::to_string(shown) + " named";
  return named;
}

MapLayout build(const std::vector<Planned>& plan, const MapDrawOptions& options, const Geometry& fonts,
                double cm_scale, std::size_t room, const std::string& title) {
  MapLayout L;
  L.title_font = fonts.title;
  L.column_font = fonts.column;
  L.label_font = fonts.label;
  L.scale_font = fonts.scale;
  L.title = title;
  L.cm_scale = cm_scale;
  L.cm_labels = options.cm_labels;
  L.leader_scale = fonts.leader_scale;
  const TextSize title_size = measure_text(L.title, L.title_font);
  L.title_y = kMargin + title_size.ascent;
  const double spacing = fonts.spacing();
  const double scale_spacing = line_height(L.scale_font) * 2.2;
  const TextSize column_text = measure_text("", L.column_font);
  const TextSize label_text = measure_text("", L.label_font);
  const TextSize scale_text = measure_text("", L.scale_font);

  double row_top = L.title_y + title_size.descent + 14.0;
  double widest = title_size.width + 2 * kMargin;
  double bottom = row_top;
  std::size_t k = 0;
  while (k < plan.size()) {
    const std::size_t row = plan[k].row;
    const double column_title_y = row_top + column_text.ascent;
    const double content_top = column_title_y + column_text.descent + 10.0;
    double x = kMargin;
    double row_bottom = content_top;
    for (; k < plan.size() && plan[k].row == row; ++k) {
      const Planned& p = plan[k];
      SegmentColumn c;
      c.name = p.name;
      c.title = p.title;
      c.row = row;
      c.length_cm = p.segment->length_cm;
      c.markers = p.markers;
      const std::vector<bool> named = chosen_names(p, options, room, c.note);
      std::vector<double> wanted;
      for (std::size_t i = 0; i < c.markers.size(); ++i) {
        MarkerMark& m = c.markers[i];
        m.tick_y = p.positions[i] * cm_scale;
        m.named = named[i];
        m.label_y = m.tick_y;
        if (m.named) wanted.push_back(m.tick_y);
        L.any_flagged = L.any_flagged || m.flagged;
      }
      const std::vector<double> spread = spread_labels(wanted, spacing);
      double upper = -kBarCap;
      double lower = c.length_cm * cm_scale + kBarCap;
      std::size_t w = 0;
      for (MarkerMark& m : c.markers) {
        if (!m.named) continue;
        m.label_y = spread[w++];
        upper = std::min(upper, m.label_y - spacing / 2);
        lower = std::max(lower, m.label_y + spacing / 2);
      }
      upper = std::min(upper, -scale_text.ascent);
      lower = std::max(lower, c.length_cm * cm_scale + scale_text.descent);
      const double shift = content_top - upper;
      for (MarkerMark& m : c.markers) {
        m.tick_y += shift;
        m.label_y += shift;
      }
      c.top_y = shift;
      c.bottom_y = shift + c.length_cm * cm_scale;
      if (!options.cm_labels) c.scale = scale_marks(c.length_cm, cm_scale, c.top_y, scale_spacing);

      c.left = x;
      c.bar_x = x + p.left_part;
      c.axis_x = c.bar_x - 6.0;
      c.cm_x = c.bar_x - kTickOverhang - fonts.leaders() - kNameGap;
      c.bar_width = fonts.bar_width;
      c.label_x = c.bar_x + c.bar_width + kTickOverhang + fonts.leaders() + kNameGap;
      const double note_width = measure_text(c.note, L.scale_font).width;
      c.right = std::max(x + p.width, c.bar_x + c.bar_width / 2 + note_width / 2);
      c.title_y = column_title_y;
      c.note_y = content_top + (lower - upper) + 8.0 + label_text.ascent;
      row_bottom = std::max(row_bottom, c.note_y + label_text.descent);
      x = c.right + fonts.column_gap;
      L.columns.push_back(std::move(c));
    }
    widest = std::max(widest, x - fonts.column_gap + kMargin);
    bottom = row_bottom;
    row_top = row_bottom + fonts.row_gap;
    L.rows = row + 1;
  }
  L.width = widest;
  if (L.any_flagged) {
    L.legend_y = bottom + 14.0 + label_text.ascent;
    bottom = L.legend_y + label_text.descent;
  }
  L.height = bottom + kMargin;
  return L;
}

// Points per cM for one row without a page height: the longest bar
// kLongestBar tall, taller when that is what the names of a crowded segment
// need, up to kTallestBar.
double unbounded_cm_scale(const std::vector<Planned>& plan, double spacing) {
  double longest = 0.0;
  for (const Planned& p : plan) longest = std::max(longest, p.segment->length_cm);
  if (!(longest > 0.0)) return 1.0;
  double scale = kLongestBar / longest;
  for (const Planned& p : plan)
    if (p.segment->length_cm > 0.0 && p.markers.size() > 1)
      scale = std::max(scale, static_cast<double>(p.markers.size() - 1) * spacing / p.segment->length_cm);
  return std::min(scale, kTallestBar / longest);
}

std::vector<std::size_t> drawn_groups(const interop::MapFile& map, const MapDrawOptions& options) {
  std::vector<std::size_t> groups = options.groups;
  for (const std::size_t g : groups)
    if (g < 1 || g > map.groups.size())
      throw interop::error_in_file(map.file, "there is no group " + std::to_string(g) + ": the map has " +
                                                 std::to_string(map.groups.size()) + " group" +
                                                 (map.groups.size() == 1 ? "" : "s"));
  if (groups.empty())
    for (std::size_t g = 1; g <= map.groups.size(); ++g) groups.push_back(g);
  if (!options.names.empty() && options.names.size() != groups.size())
    throw interop::InputError(std::to_string(options.names.size()) + " group names for " +
                              std::to_string(groups.size()) + " groups drawn");
  return groups;
}

}  // namespace

std::vector<bool> every_kth(std::size_t count, std::size_t k) {
  std::vector<bool> named(count, false);
  for (std::size_t i = 0; i < count; ++i) named[i] = k <= 1 || i % k == 0 || i + 1 == count;
  return named;
}

MapLayout layout_map(const interop::MapFile& map, interop::MapFunction function, const MapDrawOptions& options) {
  return layout_map(map, interop::place_markers(map, function), function, options);
}

MapLayout layout_map(const interop::MapFile& map, const std::vector<interop::PlacedGroup>& placed,
                     interop::MapFunction function, const MapDrawOptions& options) {
  const std::vector<std::size_t> groups = drawn_groups(map, options);
  const std::vector<MapSegment> segments = map_segments(map, placed);
  const std::vector<std::string> chromosome_names = interop::group_names(map);
  const bool paged = options.page_width > 0.0;
  const Geometry fonts = geometry_for(paged);

  std::vector<Planned> plan;
  std::size_t mapped = 0;
  for (std::size_t d = 0; d < groups.size(); ++d) {
    const std::size_t g = groups[d] - 1;
    mapped += map.groups[g].size();
    const bool numbered = options.names.empty() && chromosome_names[g] == std::to_string(g + 1);
    const std::string group_name = options.names.empty() ? chromosome_names[g] : options.names[d];
    for (const MapSegment& s : segments) {
      if (s.group != g) continue;
      Planned p;
      p.segment = &s;
      p.name = interop::segment_label(group_name, s.segment);
      p.title = numbered ? "Group " + s.name : picture_label(p.name);
      double label_width = 0.0;
      double cm_width = 0.0;
      for (std::size_t k = s.first; k < s.first + s.count; ++k) {
        const interop::MapMarker& marker = map.groups[g][k];
        MarkerMark m;
        m.name = picture_label(marker.name);
        m.flagged = flagged_count(marker) > 0;
        const double position = placed[g].markers[k].position_cm;
        m.cm_text = fixed(position, 1);
        label_width = std::max(label_width, measure_text(m.name, fonts.label).width);
        cm_width = std::max(cm_width, measure_text(m.cm_text, fonts.scale).width);
        p.positions.push_back(position);
        p.framework.push_back(codominant(marker));
        p.markers.push_back(std::move(m));
      }
      if (options.cm_labels) {
        p.left_part = cm_width + kNameGap + fonts.leaders() + kTickOverhang;
      } else {
        const double scale_width = measure_text(fixed(s.length_cm, 1) + "0", fonts.scale).width;
        p.left_part = scale_width + 2.0 + kScaleTick + 6.0;
      }
      const double names_right = p.left_part + fonts.bar_width + kTickOverhang + fonts.leaders() + kNameGap + label_width;
      const double title_half = measure_text(p.title, fonts.column).width / 2;
      p.width = std::max(names_right, p.left_part + fonts.bar_width / 2 + title_half);
      plan.push_back(std::move(p));
    }
  }

  // Rows: as many columns as fit the page's width, at least one.
  const double usable = options.page_width - 2 * kMargin;
  double x = 0.0;
  std::size_t row = 0;
  for (std::size_t k = 0; k < plan.size(); ++k) {
    if (paged && k > 0 && x + fonts.column_gap + plan[k].width > usable) {
      ++row;
      x = 0.0;
    } else if (k > 0) {
      x += fonts.column_gap;
    }
    plan[k].row = row;
    x += plan[k].width;
  }

  const std::string title = picture_label(map_title(map)) + ": " + std::to_string(groups.size()) + " group" +
                            (groups.size() == 1 ? "" : "s") + ", " + std::to_string(mapped) + " marker" +
                            (mapped == 1 ? "" : "s") + " (" + interop::map_function_name(function) + " cM)";
  double longest = 0.0;
  for (const Planned& p : plan) longest = std::max(longest, p.segment->length_cm);
  const double spacing = fonts.spacing();
  const double fallback = unbounded_cm_scale(plan, spacing);
  const bool bounded = paged && options.page_height > 0.0;
  if (!bounded || !(longest > 0.0)) {
    const auto room = static_cast<std::size_t>(kTallestBar / spacing);
    return build(plan, options, fonts, fallback, room, title);
  }

  // The largest scale at which the rows fit the page's height with `room`
  // names a column (0 when none does).
  const auto largest_fitting = [&](std::size_t room) {
    const auto fits = [&](double scale) {
      return build(plan, options, fonts, scale, room, title).height <= options.page_height;
    };
    double high = kLongestBar / longest;
    if (fits(high)) return high;
    double low = high / 1000.0;
    if (!fits(low)) return 0.0;
    for (int step = 0; step < 30; ++step) {
      const double middle = (low + high) / 2;
      (fits(middle) ? low : high) = middle;
    }
    return low;
  };
  std::size_t most = 3;
  for (const Planned& p : plan) most = std::max(most, p.markers.size());
  if (options.name_choice != NameChoice::kAuto) {
    const double scale = largest_fitting(most);
    return build(plan, options, fonts, scale > 0.0 ? scale : fallback, most, title);
  }
  // Auto: the most names a column at which the page still fits with bars
  // at least about as long as the names they carry (so that the names need
  // not fan out far from their markers).
  const auto acceptable = [&](std::size_t room, double& scale) {
    scale = largest_fitting(room);
    return scale > 0.0 && scale * longest >= 0.6 * static_cast<double>(std::min(room, most)) * spacing;
  };
  double scale = 0.0;
  if (acceptable(most, scale)) return build(plan, options, fonts, scale, most, title);
  std::size_t low = 3, high = most;  // acceptable(high) fails
  if (!acceptable(low, scale)) return build(plan, options, fonts, scale > 0.0 ? scale : fallback, low, title);
  while (high - low > 1) {
    const std::size_t middle = (low + high) / 2;
    double s_middle = 0.0;
    (acceptable(middle, s_middle) ? low : high) = middle;
  }
  acceptable(low, scale);
  return build(plan, options, fonts, scale, low, title);
}

}  // namespace tarvek::draw
