#include "interop/population.hpp"

#include "genotype/genotype_codes.hpp"

namespace tarvek::interop {

bool expects_code(PopulationType population, int code) {
  if (code != kCodeA && code != kCodeB && code != kCodeH) return false;
  return (population_model(population).expected_codes >> code & 1u) != 0;
}

std::optional<PopulationType> header_population(const MapFile& map) {
  if (map.header_lines.size() < 2) return std::nullopt;
  return population_in_header(map.header_lines[1]);
}

}  // namespace tarvek::interop
