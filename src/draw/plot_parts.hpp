#pragma once
// Small parts the plots share: axis ticks at round numbers, the unit of a
// physical position, colours for series, and the order of chromosome names.

#include <cstddef>
#include <string>
#include <vector>

#include "draw/colours.hpp"

namespace tarvek::draw {

struct AxisTick {
  double value = 0.0;
  std::string text;
};

// Ticks at multiples of 1, 2 or 5 times a power of ten, from 0 to at most
// `top`, about `count` of them; "0" first.
std::vector<AxisTick> axis_ticks(double top, int count);

// A scale for physical positions: "Mb" (1e6) from 1 Mb, "kb" (1e3) from 1 kb,
// else "bp"; the divisor that goes with it.
struct PositionUnit {
  std::string name;
  double divisor = 1.0;
};
PositionUnit position_unit(double largest);

// The k-th colour of a set chosen to be told apart by colour-blind readers
// (cycling after eight).
Rgb series_colour(std::size_t k);

// True when a comes before b in natural order: runs of digits compared as
// numbers ("chr2" before "chr10"), the rest as text.
bool natural_less(const std::string& a, const std::string& b);

}  // namespace tarvek::draw
