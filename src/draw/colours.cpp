#include "draw/colours.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "genotype/genotype_codes.hpp"

namespace tarvek::draw {
namespace {

// Anchors of the heat scale at t = 0, 1/8, ..., 1, linearly interpolated.
// Their luminance rises from one to the next.
constexpr std::array<std::array<int, 3>, 9> kHeatAnchors = {{
    {0, 0, 4},
    {31, 12, 72},
    {85, 15, 109},
    {136, 34, 106},
    {186, 54, 85},
    {227, 89, 51},
    {249, 140, 10},
    {249, 201, 50},
    {252, 255, 164},
}};

double channel(int value) { return value / 255.0; }

Rgb from_hex(unsigned value) {
  return Rgb{channel(static_cast<int>(value >> 16 & 0xFF)), channel(static_cast<int>(value >> 8 & 0xFF)),
             channel(static_cast<int>(value & 0xFF))};
}

int to_byte(double c) { return static_cast<int>(std::lround(std::clamp(c, 0.0, 1.0) * 255.0)); }

}  // namespace

Rgb heat_colour(double t) {
  if (!(t > 0.0)) t = 0.0;  // NaN too
  if (t > 1.0) t = 1.0;
  const double scaled = t * (kHeatAnchors.size() - 1);
  const std::size_t k = std::min(static_cast<std::size_t>(scaled), kHeatAnchors.size() - 2);
  const double f = scaled - static_cast<double>(k);
  const auto& a = kHeatAnchors[k];
  const auto& b = kHeatAnchors[k + 1];
  return Rgb{channel(a[0]) + f * (channel(b[0]) - channel(a[0])),
             channel(a[1]) + f * (channel(b[1]) - channel(a[1])),
             channel(a[2]) + f * (channel(b[2]) - channel(a[2]))};
}

Rgb genotype_colour(int code) {
  switch (code) {
    case kCodeA: return from_hex(0xD55E00);  // vermilion
    case kCodeB: return from_hex(0x0072B2);  // blue
    case kCodeH: return from_hex(0xF0E442);  // yellow: between the two
    case kCodeC: return from_hex(0x56B4E9);  // sky blue: B or H
    case kCodeD: return from_hex(0xCC79A7);  // reddish purple: A or H
    case kFlagged: return from_hex(0x000000);
    case kCalledError: return from_hex(0x009E73);  // bluish green
    default: return from_hex(0xDDDDDD);  // missing: light grey
  }
}

std::uint32_t packed(const Rgb& c) {
  return static_cast<std::uint32_t>(to_byte(c.r)) << 16 | static_cast<std::uint32_t>(to_byte(c.g)) << 8 |
         static_cast<std::uint32_t>(to_byte(c.b));
}

}  // namespace tarvek::draw
