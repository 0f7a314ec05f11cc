#include "draw/compare_drawing.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <tuple>
#include <unordered_map>

#include "draw/colours.hpp"
#include "draw/label_layout.hpp"
#include "draw/plot_parts.hpp"
#include "interop/carried_positions.hpp"
#include "interop/exporters.hpp"

namespace tarvek::draw {
namespace {

constexpr double kMargin = 24.0;
constexpr double kPairGap = 26.0;
constexpr double kRowGap = 14.0;
constexpr double kBarWidth = 8.0;
constexpr double kOverhang = 2.5;
constexpr double kLeader = 16.0;
constexpr double kLinkGap = 70.0;  // between the two bars of a pair
constexpr double kTallest = 480.0;
constexpr double kShortest = 80.0;

struct Match {
  std::optional<std::size_t> first, second;
  std::size_t shared = 0;
};

// One to one, most shared markers first; then every group left over, alone.
std::vector<Match> match_groups(const Track& a, const Track& b) {
  std::unordered_map<std::string, std::size_t> group_of;
  for (std::size_t j = 0; j < b.groups.size(); ++j)
    for (const std::string& m : b.groups[j].markers) group_of.emplace(m, j);
  std::map<std::pair<std::size_t, std::size_t>, std::size_t> shared;
  for (std::size_t i = 0; i < a.groups.size(); ++i)
    for (const std::string& m : a.groups[i].markers)
      if (const auto it = group_of.find(m); it != group_of.end()) ++shared[{i, it->second}];
  std::vector<std::tuple<std::size_t, std::size_t, std::size_t>> candidates;
  for (const auto& [key, count] : shared) candidates.emplace_back(count, key.first, key.second);
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const auto& x, const auto& y) { return std::get<0>(x) > std::get<0>(y); });
  std::vector<bool> used_a(a.groups.size()), used_b(b.groups.size());
  std::vector<Match> matches;
  for (const auto& [count, i, j] : candidates) {
    if (used_a[i] || used_b[j]) continue;
    used_a[i] = used_b[j] = true;
    matches.push_back({i, j, count});
  }
  std::sort(matches.begin(), matches.end(), [](const Match& x, const Match& y) { return *x.first < *y.first; });
  for (std::size_t i = 0; i < a.groups.size(); ++i)
    if (!used_a[i]) matches.push_back({i, std::nullopt, 0});
  for (std::size_t j = 0; j < b.groups.size(); ++j)
    if (!used_b[j]) matches.push_back({std::nullopt, j, 0});
  return matches;
}

struct Geometry {
  Font title{12.0, true}, group{9.0, true}, label{8.0, false};
  double spacing() const { return line_height(label) * 1.05; }
};

// The widest name of a group, in the label font.
double names_width(const TrackGroup& g, const Font& font) {
  double w = 0.0;
  for (const std::string& m : g.markers) w = std::max(w, measure_text(picture_label(m), font).width);
  return w;
}

// Ticks at the positions, names every k-th where more than `room` crowd
// in; positions relative to 0 at y = 0.
CompareSide side_of(const TrackGroup& g, const std::string& unit, double scale, std::size_t room, bool turned,
                    const std::unordered_map<std::string, double>& other, double spacing) {
  CompareSide side;
  side.present = true;
  side.title = picture_label(g.name) + (turned ? " (turned)" : "");
  side.length_text = fixed(g.length, 1) + " " + unit;
  const std::size_t count = g.markers.size();
  const std::size_t k = count > room && room > 1 ? (count - 1 + room - 2) / (room - 1) : 1;
  std::vector<double> wanted;
  for (std::size_t i = 0; i < count; ++i) {
    CompareMark m;
    m.name = picture_label(g.markers[i]);
    const double position = turned ? g.length - g.positions[i] : g.positions[i];
    m.tick_y = position * scale;
    m.shared = other.count(g.markers[i]) > 0;
    m.named = k <= 1 || i % k == 0 || i + 1 == count;
    if (m.named) wanted.push_back(m.tick_y);
    side.marks.push_back(std::move(m));
  }
  // Named marks in the order of their ticks, which a turned group reverses.
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < count; ++i)
    if (side.marks[i].named) order.push_back(i);
  std::sort(order.begin(), order.end(),
            [&](std::size_t x, std::size_t y) { return side.marks[x].tick_y < side.marks[y].tick_y; });
  std::sort(wanted.begin(), wanted.end());
  const std::vector<double> spread = spread_labels(wanted, spacing);
  for (std::size_t w = 0; w < order.size(); ++w) side.marks[order[w]].label_y = spread[w];
  side.top_y = 0.0;
  side.bottom_y = g.length * scale;
  return side;
}

double extent_top(const CompareSide& s, double spacing) {
  double top = s.top_y;
  for (const CompareMark& m : s.marks)
    if (m.named) top = std::min(top, m.label_y - spacing / 2);
  return top;
}

double extent_bottom(const CompareSide& s, double spacing) {
  double bottom = s.bottom_y;
  for (const CompareMark& m : s.marks)
    if (m.named) bottom = std::max(bottom, m.label_y + spacing / 2);
  return bottom;
}

void shift(CompareSide& s, double dy) {
  s.top_y += dy;
  s.bottom_y += dy;
  for (CompareMark& m : s.marks) {
    m.tick_y += dy;
    m.label_y += dy;
  }
}

double longest(const Track& t) {
  double l = 0.0;
  for (const TrackGroup& g : t.groups) l = std::max(l, g.length);
  return l;
}

}  // namespace

Track map_track(const interop::MapFile& map, const std::vector<interop::PlacedGroup>& placed,
                const std::string& title) {
  Track t;
  t.title = title;
  t.unit = "cM";
  const std::vector<std::string> names = interop::group_names(map);
  for (std::size_t g = 0; g < map.groups.size(); ++g) {
    const auto& markers = placed.at(g).markers;
    for (std::size_t k = 0; k < markers.size(); ++k) {
      if (k == 0 || markers[k].segment != markers[k - 1].segment) {
        t.groups.emplace_back();
        t.groups.back().name = interop::segment_label(names.at(g), markers[k].segment);
      }
      TrackGroup& group = t.groups.back();
      group.markers.push_back(map.groups[g][k].name);
      group.positions.push_back(markers[k].position_cm);
      group.length = markers[k].position_cm;
    }
  }
  return t;
}

Track physical_track(const std::vector<interop::ReferencePosition>& positions,
                     const std::vector<std::string>& markers) {
  std::unordered_map<std::string, bool> wanted;
  for (const std::string& m : markers) wanted.emplace(m, true);
  double largest = 0.0;
  std::map<std::string, std::vector<std::pair<double, std::string>>> by_chromosome;
  std::unordered_map<std::string, bool> seen;
  for (const auto& p : positions) {
    if ((!wanted.empty() && wanted.count(p.marker) == 0) || !seen.emplace(p.marker, true).second) continue;
    by_chromosome[p.chromosome].emplace_back(p.position, p.marker);
    largest = std::max(largest, p.position);
  }
  const PositionUnit unit = position_unit(largest);
  Track t;
  t.title = "physical";
  t.unit = unit.name;
  std::vector<std::string> chromosomes;
  for (const auto& [name, list] : by_chromosome) chromosomes.push_back(name);
  std::sort(chromosomes.begin(), chromosomes.end(), natural_less);
  for (const std::string& name : chromosomes) {
    auto list = by_chromosome[name];
    std::stable_sort(list.begin(), list.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
    TrackGroup g;
    g.name = name;
    // The chromosome drawn from its first marker to its last.
    const double start = list.front().first;
    for (const auto& [position, marker] : list) {
      g.markers.push_back(marker);
      g.positions.push_back((position - start) / unit.divisor);
    }
    g.length = g.positions.back();
    t.groups.push_back(std::move(g));
  }
  return t;
}

CompareLayout layout_comparison(const Track& first, const Track& second, double page_width, double page_height,
                                bool turn_first) {
  const Geometry geometry;
  const double spacing = geometry.spacing();
  CompareLayout L;
  L.title_font = geometry.title;
  L.group_font = geometry.group;
  L.label_font = geometry.label;
  L.bar_width = kBarWidth;
  L.title = picture_label(first.title) + " (left) and " + picture_label(second.title) + " (right)";
  const TextSize title_size = measure_text(L.title, L.title_font);
  L.title_y = kMargin + title_size.ascent;
  const std::vector<Match> matches = match_groups(first, second);

  // Widths, and rows of pairs that fit the page's width.
  std::vector<double> left_width(matches.size()), right_width(matches.size()), width(matches.size());
  std::vector<std::size_t> row_of(matches.size());
  std::size_t rows = 1;
  double x = 0.0;
  for (std::size_t p = 0; p < matches.size(); ++p) {
    left_width[p] = matches[p].first ? names_width(first.groups[*matches[p].first], L.label_font) : 0.0;
    right_width[p] = matches[p].second ? names_width(second.groups[*matches[p].second], L.label_font) : 0.0;
    width[p] = left_width[p] + right_width[p] + 2 * (kLeader + kOverhang + 2.0) + 2 * kBarWidth + kLinkGap;
    if (p > 0 && x + kPairGap + width[p] > page_width - 2 * kMargin) {
      ++rows;
      x = 0.0;
    } else if (p > 0) {
      x += kPairGap;
    }
    x += width[p];
    row_of[p] = rows - 1;
  }

  // Bars: the longest of each side as tall as the page's rows allow.
  const double overhead = line_height(L.group_font) + 8.0 + line_height(L.label_font) + 8.0 + kRowGap;
  const double top = L.title_y + title_size.descent + 12.0;
  const double tallest = std::clamp((page_height - top - kMargin) / rows - overhead, kShortest, kTallest);
  const auto room = static_cast<std::size_t>(tallest / spacing) + 2;
  const bool common = first.unit == second.unit;
  const double a_longest = common ? std::max(longest(first), longest(second)) : longest(first);
  const double b_longest = common ? a_longest : longest(second);
  const double a_scale = a_longest > 0.0 ? tallest / a_longest : 1.0;
  const double b_scale = b_longest > 0.0 ? tallest / b_longest : 1.0;

  const TextSize group_text = measure_text("", L.group_font);
  const TextSize label_text = measure_text("", L.label_font);
  double row_top = top;
  double widest = title_size.width + 2 * kMargin;
  std::size_t p = 0;
  for (std::size_t row = 0; row < rows; ++row) {
    const double content_top = row_top + group_text.height() + 8.0;
    double row_bottom = content_top;
    x = kMargin;
    for (; p < matches.size() && row_of[p] == row; ++p) {
      const Match& m = matches[p];
      ComparePair pair;
      pair.row = row;
      pair.from_x = x;
      pair.to_x = x + width[p];
      std::unordered_map<std::string, double> a_index, b_index;
      if (m.first)
        for (std::size_t i = 0; i < first.groups[*m.first].markers.size(); ++i)
          a_index.emplace(first.groups[*m.first].markers[i], first.groups[*m.first].positions[i]);
      if (m.second)
        for (std::size_t i = 0; i < second.groups[*m.second].markers.size(); ++i)
          b_index.emplace(second.groups[*m.second].markers[i], second.groups[*m.second].positions[i]);
      bool turned = false;
      if (m.first && m.second) {
        std::vector<double> u, v;
        for (const auto& [name, position] : a_index)
          if (const auto it = b_index.find(name); it != b_index.end()) {
            u.push_back(position);
            v.push_back(it->second);
          }
        turned = interop::spearman(u, v) < 0.0;
      }
      if (m.first)
        pair.left = side_of(first.groups[*m.first], first.unit, a_scale, room, turned && turn_first, b_index, spacing);
      // In other units (a physical map beside a genetic one), the second
      // side of a pair is drawn as long as the first.
      double pair_scale = b_scale;
      if (!common && m.first && m.second && second.groups[*m.second].length > 0.0)
        pair_scale = first.groups[*m.first].length * a_scale / second.groups[*m.second].length;
      if (m.second)
        pair.right =
            side_of(second.groups[*m.second], second.unit, pair_scale, room, turned && !turn_first, a_index, spacing);
      double upper = 0.0, lower = 0.0;
      for (const CompareSide* s : {&pair.left, &pair.right}) {
        if (!s->present) continue;
        upper = std::min(upper, extent_top(*s, spacing));
        lower = std::max(lower, extent_bottom(*s, spacing));
      }
      pair.left.bar_x = x + left_width[p] + 2.0 + kLeader + kOverhang;
      pair.left.label_x = pair.left.bar_x - kOverhang - kLeader - 2.0;
      pair.right.bar_x = pair.left.bar_x + kBarWidth + kLinkGap;
      pair.right.label_x = pair.right.bar_x + kBarWidth + kOverhang + kLeader + 2.0;
      for (CompareSide* s : {&pair.left, &pair.right})
        if (s->present) shift(*s, content_top - upper);
      pair.title_y = row_top + group_text.ascent;
      pair.note_y = content_top + (lower - upper) + 6.0 + label_text.ascent;
      if (m.first && m.second) {
        const auto& a = first.groups[*m.first];
        const auto& b = second.groups[*m.second];
        std::unordered_map<std::string, std::size_t> b_at;
        for (std::size_t j = 0; j < b.markers.size(); ++j) b_at.emplace(b.markers[j], j);
        for (std::size_t i = 0; i < a.markers.size(); ++i)
          if (const auto it = b_at.find(a.markers[i]); it != b_at.end())
            pair.links.push_back({pair.left.marks[i].tick_y, pair.right.marks[it->second].tick_y});
      }
      row_bottom = std::max(row_bottom, pair.note_y + label_text.descent);
      widest = std::max(widest, pair.to_x + kMargin);
      x = pair.to_x + kPairGap;
      L.pairs.push_back(std::move(pair));
    }
    row_top = row_bottom + kRowGap;
  }
  L.width = widest;
  L.height = row_top - kRowGap + kMargin;
  return L;
}

std::string render_comparison(const CompareLayout& L, Format format) {
  Canvas canvas(format, std::ceil(L.width), std::ceil(L.height));
  cairo_t* cr = canvas.cr();
  canvas.text(L.title, kMargin, L.title_y, L.title_font, kText, "title");
  const TextSize label = measure_text("", L.label_font);
  const Rgb link_colour{0.35, 0.45, 0.70};
  for (const ComparePair& pair : L.pairs) {
    canvas.begin_group("pair", (pair.left.present ? pair.left.title : "") + "|" +
                                   (pair.right.present ? pair.right.title : ""));
    for (const CompareLink& link : pair.links) {
      canvas.set_colour(link_colour);
      cairo_set_line_width(cr, 0.6);
      cairo_move_to(cr, pair.left.bar_x + L.bar_width + kOverhang, link.left_y);
      cairo_line_to(cr, pair.right.bar_x - kOverhang, link.right_y);
      cairo_stroke(cr);
    }
    for (const CompareSide* s : {&pair.left, &pair.right}) {
      if (!s->present) continue;
      const bool right_side = s == &pair.right;
      const double centre = s->bar_x + L.bar_width / 2;
      canvas.text(s->title, centre - measure_text(s->title, L.group_font).width / 2, pair.title_y, L.group_font,
                  kText, right_side ? "right-title" : "left-title");
      canvas.set_colour({0.90, 0.92, 0.95});
      cairo_rectangle(cr, s->bar_x, s->top_y - 2.0, L.bar_width, s->bottom_y - s->top_y + 4.0);
      cairo_fill_preserve(cr);
      canvas.set_colour({0.30, 0.30, 0.30});
      cairo_set_line_width(cr, 0.8);
      cairo_stroke(cr);
      for (const CompareMark& m : s->marks) {
        canvas.line(s->bar_x - kOverhang, m.tick_y, s->bar_x + L.bar_width + kOverhang, m.tick_y, 0.8,
                    m.shared ? kBlack : kGrey);
        if (!m.named) continue;
        const double from = right_side ? s->bar_x + L.bar_width + kOverhang : s->bar_x - kOverhang;
        const double direction = right_side ? 1.0 : -1.0;
        canvas.set_colour(kGrey);
        cairo_set_line_width(cr, 0.5);
        cairo_move_to(cr, from, m.tick_y);
        cairo_line_to(cr, from + direction * 4.0, m.tick_y);
        cairo_line_to(cr, from + direction * (kLeader - 3.0), m.label_y);
        cairo_line_to(cr, from + direction * kLeader, m.label_y);
        cairo_stroke(cr);
        const double w = measure_text(m.name, L.label_font).width;
        canvas.text(m.name, right_side ? s->label_x : s->label_x - w, m.label_y + (label.ascent - label.descent) / 2,
                    L.label_font, m.shared ? kText : kGrey, right_side ? "right-marker" : "left-marker");
      }
      canvas.text(s->length_text, centre - measure_text(s->length_text, L.label_font).width / 2, pair.note_y,
                  L.label_font, kGrey, "length");
    }
    canvas.end_group();
  }
  return canvas.finish();
}

}  // namespace tarvek::draw
