#pragma once
// One drawing surface for the three output formats. The pictures are drawn
// with cairo on a surface that writes into memory; `finish` gives the bytes
// of the file, which the program then writes whole.
//
// cairo writes the text of an SVG file as glyph outlines, which a browser
// can neither search nor copy. Every text drawn through `text` is therefore
// also added to the SVG as a transparent <text> element at the same place
// and width (inside a <g id="text-layer">, grouped as the drawing was), so
// that finding a marker's name in a large map works as in a PDF.

#include <cairo.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "draw/colours.hpp"
#include "draw/text.hpp"

namespace tarvek::draw {

enum class Format { kSvg, kPdf, kPng };

// From the extension of `path`: .svg, .pdf or .png, in any letter case.
std::optional<Format> format_for_path(const std::string& path);

// The largest width or height of a PNG picture, in pixels (cairo's limit).
inline constexpr double kLargestPng = 32767.0;

class Canvas {
 public:
  // A white sheet of `width` × `height` points (pixels in a PNG). Throws
  // std::runtime_error when cairo cannot make the surface.
  Canvas(Format format, double width, double height);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  cairo_t* cr() const { return cr_; }
  Format format() const { return format_; }

  // Draws `text` (made printable) with its left end at x and its baseline at
  // y. `kind` names what it is in the SVG text layer (its class attribute).
  void text(const std::string& text, double x, double y, const Font& font, const Rgb& colour,
            const std::string& kind);
  // Texts drawn between these two calls form one group of the text layer,
  // with the given class and name (data-name attribute).
  void begin_group(const std::string& kind, const std::string& name);
  void end_group();

  void set_colour(const Rgb& colour);
  // A line from (x1, y1) to (x2, y2), stroked on its own.
  void line(double x1, double y1, double x2, double y2, double width, const Rgb& colour);

  // Paints pixels 1:1 with their top left corner at (x, y). `pixels` holds
  // `width` × `height` colours, row by row, as 0x00RRGGBB.
  void image(const std::vector<std::uint32_t>& pixels, int width, int height, double x, double y);

  // Ends the drawing; the bytes of the SVG, PDF or PNG file. Throws
  // std::runtime_error when cairo reports an error.
  std::string finish();

 private:
  Format format_;
  double width_;
  double height_;
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
  std::string bytes_;       // what the SVG and PDF surfaces wrote so far
  std::string text_layer_;  // the SVG text layer's elements
  bool finished_ = false;
};

}  // namespace tarvek::draw
