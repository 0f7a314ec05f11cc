#pragma once
// The genotype classes each population type expects, for the importers'
// summaries. The types themselves are the core's (genotype/population.hpp).

#include "genotype/population.hpp"

namespace tarvek::interop {

// Whether a codominant code (A, B or H) is expected in the population: a
// backcross to the first parent has A and H, doubled haploids and inbred
// lines A and B, an F2 all three. Codes that are not expected are still
// written; readers count them for the summary.
bool expects_code(PopulationType population, int code);

}  // namespace tarvek::interop
