#include "draw/canvas.hpp"

#include <cairo-pdf.h>
#include <cairo-svg.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace tarvek::draw {
namespace {

cairo_status_t append_bytes(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

void check(cairo_status_t status, const char* what) {
  if (status != CAIRO_STATUS_SUCCESS)
    throw std::runtime_error(std::string(what) + ": " + cairo_status_to_string(status));
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::optional<Format> format_for_path(const std::string& path) {
  const auto dot = path.rfind('.');
  const auto slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::nullopt;
  const std::string extension = lower(path.substr(dot + 1));
  if (extension == "svg") return Format::kSvg;
  if (extension == "pdf") return Format::kPdf;
  if (extension == "png") return Format::kPng;
  return std::nullopt;
}

Canvas::Canvas(Format format, double width, double height)
    : format_(format), width_(std::max(1.0, width)), height_(std::max(1.0, height)) {
  switch (format_) {
    case Format::kSvg:
      surface_ = cairo_svg_surface_create_for_stream(append_bytes, &bytes_, width_, height_);
      break;
    case Format::kPdf:
      surface_ = cairo_pdf_surface_create_for_stream(append_bytes, &bytes_, width_, height_);
      break;
    case Format::kPng:
      if (width_ > kLargestPng || height_ > kLargestPng)
        throw std::runtime_error("the picture would be " + fixed(width_, 0) + " × " + fixed(height_, 0) +
                                 " pixels, more than a PNG file can hold (32767); write .svg or .pdf");
      surface_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(width_ + 0.999),
                                            static_cast<int>(height_ + 0.999));
      break;
  }
  check(cairo_surface_status(surface_), "cannot make the drawing surface");
  if (format_ == Format::kPdf) {
    // No creation date: the same map gives the same bytes.
    cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_CREATOR, "tarvek-draw");
    cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_CREATE_DATE, "");
  }
  cr_ = cairo_create(surface_);
  use_unhinted_fonts(cr_);
  cairo_set_source_rgb(cr_, 1, 1, 1);
  cairo_paint(cr_);
}

Canvas::~Canvas() {
  if (cr_ != nullptr) cairo_destroy(cr_);
  if (surface_ != nullptr) cairo_surface_destroy(surface_);
}

void Canvas::set_colour(const Rgb& c) { cairo_set_source_rgb(cr_, c.r, c.g, c.b); }

void Canvas::text(const std::string& raw, double x, double y, const Font& font, const Rgb& colour,
                  const std::string& kind) {
  const std::string text = printable_text(raw);
  cairo_select_font_face(cr_, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                         font.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr_, font.size);
  set_colour(colour);
  cairo_move_to(cr_, x, y);
  cairo_show_text(cr_, text.c_str());
  cairo_new_path(cr_);
  if (format_ != Format::kSvg || text.empty()) return;
  // Where the text went on the sheet, and turned by how much.
  double sheet_x = x;
  double sheet_y = y;
  cairo_user_to_device(cr_, &sheet_x, &sheet_y);
  cairo_matrix_t m;
  cairo_get_matrix(cr_, &m);
  const double degrees = std::atan2(m.yx, m.xx) * 180.0 / std::numbers::pi;
  const std::string turn = std::abs(degrees) < 1e-9 ? std::string()
      : " transform=\"rotate(" + fixed(degrees, 2) + " " + fixed(sheet_x, 2) + " " + fixed(sheet_y, 2) + ")\"";
  const double width = measure_text(text, font).width;
  text_layer_ += "<text class=\"" + xml_escaped(kind) + "\" x=\"" + fixed(sheet_x, 2) + "\" y=\"" +
                 fixed(sheet_y, 2) + "\" font-size=\"" + fixed(font.size, 2) + "\"" +
                 (font.bold ? " font-weight=\"bold\"" : "") + " textLength=\"" + fixed(width, 2) +
                 "\" lengthAdjust=\"spacingAndGlyphs\"" + turn + ">" + xml_escaped(text) + "</text>\n";
}

void Canvas::begin_group(const std::string& kind, const std::string& name) {
  if (format_ != Format::kSvg) return;
  text_layer_ += "<g class=\"" + xml_escaped(kind) + "\" data-name=\"" + xml_escaped(printable_text(name)) + "\">\n";
}

void Canvas::end_group() {
  if (format_ != Format::kSvg) return;
  text_layer_ += "</g>\n";
}

void Canvas::line(double x1, double y1, double x2, double y2, double width, const Rgb& colour) {
  set_colour(colour);
  cairo_set_line_width(cr_, width);
  cairo_move_to(cr_, x1, y1);
  cairo_line_to(cr_, x2, y2);
  cairo_stroke(cr_);
}

void Canvas::image(const std::vector<std::uint32_t>& pixels, int width, int height, double x, double y) {
  if (width <= 0 || height <= 0) return;
  if (pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
    throw std::logic_error("image pixels do not match its size");
  cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  check(cairo_surface_status(image), "cannot make an image");
  cairo_surface_flush(image);
  unsigned char* data = cairo_image_surface_get_data(image);
  const int stride = cairo_image_surface_get_stride(image);
  for (int row = 0; row < height; ++row) {
    auto* out = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(row) * stride);
    std::copy_n(pixels.begin() + static_cast<std::ptrdiff_t>(row) * width, width, out);
  }
  cairo_surface_mark_dirty(image);
  cairo_save(cr_);
  cairo_set_source_surface(cr_, image, x, y);
  cairo_pattern_set_filter(cairo_get_source(cr_), CAIRO_FILTER_NEAREST);
  cairo_rectangle(cr_, x, y, width, height);
  cairo_fill(cr_);
  cairo_restore(cr_);
  cairo_surface_destroy(image);
}

std::string Canvas::finish() {
  if (finished_) throw std::logic_error("the canvas is finished already");
  finished_ = true;
  check(cairo_status(cr_), "drawing failed");
  cairo_destroy(cr_);
  cr_ = nullptr;
  if (format_ == Format::kPng) {
    std::string png;
    check(cairo_surface_write_to_png_stream(surface_, append_bytes, &png), "cannot encode the PNG");
    return png;
  }
  cairo_surface_finish(surface_);
  check(cairo_surface_status(surface_), "cannot write the drawing");
  if (format_ == Format::kSvg) {
    const auto end = bytes_.rfind("</svg>");
    if (end == std::string::npos) throw std::runtime_error("cairo wrote no SVG end tag");
    bytes_.insert(end, "<g id=\"text-layer\" style=\"fill:black;fill-opacity:0;stroke:none\" "
                       "font-family=\"sans-serif\">\n" + text_layer_ + "</g>\n");
  }
  return std::move(bytes_);
}

}  // namespace tarvek::draw
