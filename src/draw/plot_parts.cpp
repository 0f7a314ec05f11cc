#include "draw/plot_parts.hpp"

#include <array>
#include <cctype>
#include <cmath>

#include "draw/text.hpp"

namespace tarvek::draw {

std::vector<AxisTick> axis_ticks(double top, int count) {
  std::vector<AxisTick> ticks;
  ticks.push_back({0.0, "0"});
  if (!(top > 0.0) || count < 1) return ticks;
  const double rough = top / count;
  double step = std::pow(10.0, std::floor(std::log10(rough)));
  for (const double f : {1.0, 2.0, 5.0, 10.0}) {
    if (f * step >= rough) {
      step *= f;
      break;
    }
  }
  const int decimals = step >= 1.0 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
  for (int k = 1; k * step <= top * (1 + 1e-9); ++k) ticks.push_back({k * step, fixed(k * step, decimals)});
  return ticks;
}

PositionUnit position_unit(double largest) {
  if (largest >= 1e6) return {"Mb", 1e6};
  if (largest >= 1e3) return {"kb", 1e3};
  return {"bp", 1.0};
}

Rgb series_colour(std::size_t k) {
  // Okabe and Ito's palette without its yellow, which fades on white.
  static constexpr std::array<Rgb, 7> kColours = {{{0.000, 0.447, 0.698},
                                                   {0.835, 0.369, 0.000},
                                                   {0.000, 0.620, 0.451},
                                                   {0.800, 0.475, 0.655},
                                                   {0.902, 0.624, 0.000},
                                                   {0.337, 0.706, 0.914},
                                                   {0.000, 0.000, 0.000}}};
  return kColours[k % kColours.size()];
}

bool natural_less(const std::string& a, const std::string& b) {
  std::size_t i = 0, j = 0;
  const auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
  while (i < a.size() && j < b.size()) {
    if (digit(a[i]) && digit(b[j])) {
      std::size_t ei = i, ej = j;
      while (ei < a.size() && digit(a[ei])) ++ei;
      while (ej < b.size() && digit(b[ej])) ++ej;
      // Without leading zeros, a longer run is a larger number.
      std::size_t si = i, sj = j;
      while (si + 1 < ei && a[si] == '0') ++si;
      while (sj + 1 < ej && b[sj] == '0') ++sj;
      if (ei - si != ej - sj) return ei - si < ej - sj;
      const int c = a.compare(si, ei - si, b, sj, ej - sj);
      if (c != 0) return c < 0;
      i = ei;
      j = ej;
    } else {
      if (a[i] != b[j]) return a[i] < b[j];
      ++i;
      ++j;
    }
  }
  return a.size() - i < b.size() - j;
}

}  // namespace tarvek::draw
