#pragma once
// The genotype classes each population type expects, for the importers'
// summaries. The types themselves are the core's (genotype/population.hpp).

#include <optional>

#include "genotype/population.hpp"
#include "interop/map_reader.hpp"

namespace tarvek::interop {

// Whether a codominant code (A, B or H) is expected in the population: a
// backcross to the first parent has A and H, doubled haploids and inbred
// lines A and B, an F2 all three. Codes that are not expected are still
// written; readers count them for the summary.
bool expects_code(PopulationType population, int code);

// The population type on the map file's second header line ("popt = F2"),
// when it names a known type.
std::optional<PopulationType> header_population(const MapFile& map);

}  // namespace tarvek::interop
