#pragma once
// The colours of the pictures: a heat scale whose brightness rises steadily
// from its low end to its high end (so that "brighter" always means "more
// strongly linked", in colour and in grey), and one colour per genotype code
// chosen to stay distinguishable for colour-blind readers.

#include <cstdint>
#include <string>

namespace tarvek::draw {

struct Rgb {
  double r = 0.0, g = 0.0, b = 0.0;  // 0 to 1
};

// The heat scale at t in [0, 1] (clamped): near black, through purple, red
// and orange, to pale yellow.
Rgb heat_colour(double t);

// A code of the pictures only: a genotype the multipoint model calls a
// likely error.
inline constexpr int kCalledError = 7;

// The colour of a genotype code (0 missing ... 6 flagged, 7 called error),
// as in the legend.
Rgb genotype_colour(int code);

// 0x00RRGGBB, for image pixels.
std::uint32_t packed(const Rgb& c);

inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kText{0.13, 0.13, 0.13};
inline constexpr Rgb kGrey{0.45, 0.45, 0.45};
inline constexpr Rgb kLightGrey{0.75, 0.75, 0.75};
inline constexpr Rgb kFlagRed{0.80, 0.10, 0.10};

}  // namespace tarvek::draw
