#include "draw/text.hpp"

#include <cairo.h>

#include <cstdio>
#include <stdexcept>

namespace tarvek::draw {

void use_unhinted_fonts(cairo_t* cr) {
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
}

namespace {

// One scratch context for measuring, with the font options every surface
// uses.
class Measurer {
 public:
  Measurer() {
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
    cr_ = cairo_create(surface_);
    use_unhinted_fonts(cr_);
  }
  ~Measurer() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
  }
  Measurer(const Measurer&) = delete;
  Measurer& operator=(const Measurer&) = delete;

  TextSize measure(const std::string& text, const Font& font) {
    select(font);
    cairo_font_extents_t fe;
    cairo_font_extents(cr_, &fe);
    cairo_text_extents_t te;
    cairo_text_extents(cr_, text.c_str(), &te);
    if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS)
      throw std::runtime_error(std::string("text measurement: ") + cairo_status_to_string(cairo_status(cr_)));
    return TextSize{te.x_advance, fe.ascent, fe.descent};
  }

 private:
  void select(const Font& font) {
    cairo_select_font_face(cr_, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                           font.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr_, font.size);
  }

  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
};

Measurer& measurer() {
  static Measurer m;
  return m;
}

// Length of the well-formed UTF-8 sequence at `k`, or 0.
std::size_t sequence_length(const std::string& s, std::size_t k) {
  const auto byte = [&s](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char b = byte(k);
  std::size_t length = 0;
  unsigned lowest = 0;
  unsigned code = 0;
  if (b < 0x80) return 1;
  if (b >= 0xC2 && b <= 0xDF) { length = 2; code = b & 0x1Fu; lowest = 0x80; }
  else if (b >= 0xE0 && b <= 0xEF) { length = 3; code = b & 0x0Fu; lowest = 0x800; }
  else if (b >= 0xF0 && b <= 0xF4) { length = 4; code = b & 0x07u; lowest = 0x10000; }
  else return 0;
  if (k + length > s.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(k + i) & 0xC0u) != 0x80u) return 0;
    code = (code << 6) | (byte(k + i) & 0x3Fu);
  }
  if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

TextSize measure_text(const std::string& text, const Font& font) {
  return measurer().measure(printable_text(text), font);
}

double line_height(const Font& font) { return measure_text("", font).height(); }

std::string printable_text(const std::string& text) {
  static const std::string kReplacement = "\xEF\xBF\xBD";
  std::string out;
  out.reserve(text.size());
  for (std::size_t k = 0; k < text.size();) {
    const std::size_t length = sequence_length(text, k);
    if (length == 0 || static_cast<unsigned char>(text[k]) < 0x20 || text[k] == 0x7F) {
      out += kReplacement;
      k += length == 0 ? 1 : length;
    } else {
      out.append(text, k, length);
      k += length;
    }
  }
  return out;
}

std::string picture_label(const std::string& text, std::size_t longest) {
  const std::string printable = printable_text(text);
  std::size_t characters = 0;
  for (std::size_t k = 0; k < printable.size(); k += sequence_length(printable, k)) {
    if (characters++ == longest) return printable.substr(0, k) + "\xE2\x80\xA6";
  }
  return printable;
}

std::string xml_escaped(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

std::string fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

}  // namespace tarvek::draw
