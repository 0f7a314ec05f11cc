#include "support/scoring.hpp"

namespace tarvek::testing {

ScoringMatrix recombination_matrix() {
  ScoringMatrix s{};
  const auto set = [&s](int a, int b, int v) { s.at(a).at(b) = s.at(b).at(a) = v; };
  set(kCodeA, kCodeH, 1);
  set(kCodeA, kCodeB, 2);
  set(kCodeA, kCodeC, 1);
  set(kCodeB, kCodeD, 1);
  set(kCodeB, kCodeH, 1);
  return s;
}

}  // namespace tarvek::testing
