#include "genotype/population_model.hpp"

namespace tarvek {
namespace population_detail {

double share_is_r(double value) { return value; }
double selfed_share_of_r(double r) { return 2.0 * r / (1.0 + 2.0 * r); }
double selfed_r_of_share(double share) { return share / (2.0 * (1.0 - share)); }
double sib_mated_share_of_r(double r) { return 4.0 * r / (1.0 + 6.0 * r); }
double sib_mated_r_of_share(double share) { return share / (4.0 - 6.0 * share); }

}  // namespace population_detail

std::string population_names_listed() {
  std::string list;
  for (std::size_t k = 0; k < kPopulationModels.size(); ++k) {
    if (k > 0) list += k + 1 == kPopulationModels.size() ? " or " : ", ";
    list += kPopulationModels[k].name;
  }
  return list;
}

}  // namespace tarvek
