#pragma once
// Mapping population types and the genotype classes each one expects.

#include <optional>
#include <string>

namespace tarvek::interop {

enum class Population { F2, BC1, DH, RIL, RILsib };

// "F2", "BC1", "DH", "RIL", "RILsib" (exactly these spellings); nothing else.
std::optional<Population> parse_population(const std::string& text);
std::string population_name(Population population);

// Whether a codominant code (A, B or H) is expected in the population: a
// backcross to the first parent has A and H, doubled haploids and inbred
// lines A and B, an F2 all three. Codes that are not expected are still
// written; readers count them for the summary.
bool expects_code(Population population, int code);

}  // namespace tarvek::interop
