#pragma once
// Labels beside a bar, pushed apart so that none overlaps the next.
//
// Each label wants its centre at its marker's height, but two labels must be
// at least one label height apart. Among all placements that keep the
// labels in the markers' order with that spacing, spread_labels returns the
// one with the least sum of squared shifts from the wanted heights: labels
// that have room stay where they are, and a crowded run spreads evenly
// around its own centre. With z_i = y_i − i·h the spacing rule becomes
// z_i ≤ z_(i+1), so the answer is the isotonic regression of
// wanted_i − i·h (pool adjacent violators, linear time) plus i·h.

#include <vector>

namespace tarvek::draw {

// `wanted` in the order the labels are to keep (normally non-decreasing);
// `spacing` > 0. The result y has y[i+1] − y[i] ≥ spacing (up to rounding).
std::vector<double> spread_labels(const std::vector<double>& wanted, double spacing);

}  // namespace tarvek::draw
