#include "interop/population.hpp"

#include "genotype/genotype_codes.hpp"

namespace tarvek::interop {

bool expects_code(PopulationType population, int code) {
  switch (population) {
    case PopulationType::F2: return code == kCodeA || code == kCodeB || code == kCodeH;
    case PopulationType::BC1: return code == kCodeA || code == kCodeH;
    case PopulationType::DH:
    case PopulationType::RIL:
    case PopulationType::RILsib: return code == kCodeA || code == kCodeB;
  }
  return false;
}

std::optional<PopulationType> header_population(const MapFile& map) {
  if (map.header_lines.size() < 2) return std::nullopt;
  return population_in_header(map.header_lines[1]);
}

}  // namespace tarvek::interop
