#include "interop/population.hpp"

#include "genotype/genotype_codes.hpp"

namespace tarvek::interop {

std::optional<Population> parse_population(const std::string& text) {
  if (text == "F2") return Population::F2;
  if (text == "BC1") return Population::BC1;
  if (text == "DH") return Population::DH;
  if (text == "RIL") return Population::RIL;
  if (text == "RILsib") return Population::RILsib;
  return std::nullopt;
}

std::string population_name(Population population) {
  switch (population) {
    case Population::F2: return "F2";
    case Population::BC1: return "BC1";
    case Population::DH: return "DH";
    case Population::RIL: return "RIL";
    case Population::RILsib: return "RILsib";
  }
  return "F2";
}

bool expects_code(Population population, int code) {
  switch (population) {
    case Population::F2: return code == kCodeA || code == kCodeB || code == kCodeH;
    case Population::BC1: return code == kCodeA || code == kCodeH;
    case Population::DH:
    case Population::RIL:
    case Population::RILsib: return code == kCodeA || code == kCodeB;
  }
  return false;
}

}  // namespace tarvek::interop
