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

}  // namespace tarvek::interop
