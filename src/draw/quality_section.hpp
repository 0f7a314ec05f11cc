#pragma once
// The report's quality sections: every marker's classes, segregation,
// missing share, called errors and fate; the individuals' crossovers and
// missing shares, plotted and listed; markers with identical genotypes
// (bins) and individuals with nearly identical ones (clones).

#include <ostream>
#include <string>
#include <vector>

#include "interop/map_model.hpp"
#include "interop/map_positions.hpp"
#include "interop/map_reader.hpp"

namespace tarvek::draw {

void write_quality_sections(std::ostream& out, const interop::MapFile& map,
                            const std::vector<interop::PlacedGroup>& placed, PopulationType population,
                            const std::vector<interop::MapErrorCall>& calls, const std::string& title);

}  // namespace tarvek::draw
