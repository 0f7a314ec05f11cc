#include "draw/map_drawing.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "draw/colours.hpp"

namespace tarvek::draw {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kMargin = 24.0;
constexpr double kBarCap = 4.0;          // the bar reaches this far past its first and last marker
constexpr double kTickOverhang = 3.0;    // ticks reach past the bar on both sides
constexpr double kLeaderStraight = 6.0;  // the leader leaves the tick straight ...
constexpr double kLeaderSlant = 18.0;    // ... slants to the name's height ...
constexpr double kLeaderInto = 4.0;      // ... and runs straight into the name
constexpr double kScaleTick = 4.0;

// A leader from (from_x, tick_y) to a label at label_y, `direction` +1 to
// the right, -1 to the left, its lengths scaled by |direction|.
void leader(cairo_t* cr, double from_x, double tick_y, double label_y, double direction) {
  const double x1 = from_x + direction * kLeaderStraight;
  const double x2 = x1 + direction * kLeaderSlant;
  cairo_move_to(cr, from_x, tick_y);
  cairo_line_to(cr, x1, tick_y);
  cairo_line_to(cr, x2, label_y);
  cairo_line_to(cr, x2 + direction * kLeaderInto, label_y);
  cairo_stroke(cr);
}

}  // namespace

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
    canvas.text(c.title, centre - measure_text(c.title, L.column_font).width / 2, c.title_y, L.column_font, kText,
                "segment-title");

    // The cM scale, ending at the segment's length (none with cM labels).
    if (!L.cm_labels) canvas.line(c.axis_x, c.top_y, c.axis_x, c.bottom_y, 0.8, scale_colour);
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

    const double tick_start = c.bar_x - kTickOverhang;
    const double tick_end = c.bar_x + c.bar_width + kTickOverhang;
    const double baseline_shift = (label_text.ascent - label_text.descent) / 2;
    for (const MarkerMark& m : c.markers) {
      // The tick: the one black line per marker.
      canvas.line(tick_start, m.tick_y, tick_end, m.tick_y, 1.0, kBlack);
      if (m.flagged) {
        canvas.set_colour(kFlagRed);
        cairo_arc(cr, centre, m.tick_y, 2.6, 0, 2 * kPi);
        cairo_fill(cr);
      }
      if (!m.named) continue;
      // The leader lines from the tick to the name (and the position).
      canvas.set_colour(kGrey);
      cairo_set_line_width(cr, 0.6);
      leader(cr, tick_end, m.tick_y, m.label_y, L.leader_scale);
      canvas.text(m.name, c.label_x, m.label_y + baseline_shift, L.label_font, m.flagged ? kFlagRed : kText,
                  "marker");
      if (!L.cm_labels) continue;
      canvas.set_colour(kGrey);
      cairo_set_line_width(cr, 0.6);
      leader(cr, tick_start, m.tick_y, m.label_y, -L.leader_scale);
      const double w = measure_text(m.cm_text, L.scale_font).width;
      canvas.text(m.cm_text, c.cm_x - w, m.label_y + (scale_text.ascent - scale_text.descent) / 2, L.scale_font,
                  scale_colour, "position");
    }
    canvas.text(c.note, centre - measure_text(c.note, L.scale_font).width / 2, c.note_y, L.scale_font, kGrey, "note");
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
