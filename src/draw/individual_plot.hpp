#pragma once
// Per individual, in their original order: the crossovers its genotypes
// imply along the map (above) and its share of missing genotypes (below),
// one dot each. An individual far above the others in crossovers (badly
// genotyped, or from another cross) stands out, and is named.

#include <cstddef>
#include <string>
#include <vector>

#include "draw/canvas.hpp"
#include "interop/quality.hpp"

namespace tarvek::draw {

// The individuals named as outliers: crossovers above the median by more
// than three times the median absolute deviation (at least 3 crossovers),
// or a missing share above 0.5.
std::vector<std::size_t> outlying_individuals(const std::vector<interop::IndividualQuality>& rows);

std::string draw_individuals(const std::vector<interop::IndividualQuality>& rows, const std::string& title,
                             Format format, double width = 842.0);

}  // namespace tarvek::draw
