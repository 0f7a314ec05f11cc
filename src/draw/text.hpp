#pragma once
// Text as the pictures show it: one sans-serif face, measured with cairo the
// same way on every surface, so that a layout computed before the surface
// exists fits what is drawn on it.

#include <cairo.h>

#include <cstddef>
#include <string>

namespace tarvek::draw {

// Gives a drawing context the font options every surface uses: metrics
// unhinted, so that text widths do not depend on the surface.
void use_unhinted_fonts(cairo_t* cr);

struct Font {
  double size = 11.0;
  bool bold = false;
};

// Width, and height above and below the baseline, of a text in a font.
struct TextSize {
  double width = 0.0;
  double ascent = 0.0;
  double descent = 0.0;
  double height() const { return ascent + descent; }
};

// The font's ascent and descent (of the face, not of one text) and the
// advance of `text` as drawn (made printable first, see printable_text).
TextSize measure_text(const std::string& text, const Font& font);

// The font's line height: ascent + descent of the face.
double line_height(const Font& font);

// `text` as valid UTF-8 without control characters: every byte that does not
// start a well-formed sequence, and every character below U+0020, becomes
// U+FFFD. Names in map files are bytes; cairo and XML need UTF-8.
std::string printable_text(const std::string& text);

// The most characters a name takes in a picture. Longer names (a marker
// name of 10,000 characters) would make a picture wider than a PNG can be;
// tables keep them whole.
inline constexpr std::size_t kLongestLabel = 40;

// printable_text(text), cut after `longest` characters with an ellipsis
// ("…") when it is longer.
std::string picture_label(const std::string& text, std::size_t longest = kLongestLabel);

// `text` with &, <, >, " and ' written as XML entities.
std::string xml_escaped(const std::string& text);

// `text` made printable and escaped, for HTML and XML text.
inline std::string html_text(const std::string& text) { return xml_escaped(printable_text(text)); }

// A number with `decimals` digits after the point ("%.*f").
std::string fixed(double value, int decimals);

}  // namespace tarvek::draw
