#include "linkage/population_lod.hpp"

#include <cmath>

#include "genotype/genotype_codes.hpp"

namespace tarvek {

ClassTally class_tally(const GenotypeRow& a, const MarkerClasses& a_classes, const GenotypeRow& b,
                       const MarkerClasses& b_classes) {
  ClassTally t;
  for (std::size_t k = 0; k < a.size(); ++k) {
    const int u = class_of(a_classes, a[k]);
    const int v = class_of(b_classes, b.at(k));
    if (u < 0 || v < 0) continue;
    ++t.informative;
    if (u != v) ++t.recombinant;
  }
  return t;
}

float recombination_of_share(PopulationType type, float share) {
  return static_cast<float>(population_model(type).r_of_share(static_cast<double>(share)));
}

PairLod two_class_lod(PopulationType type, int recombinant, int informative) {
  if (informative <= 0) return PairLod{0.5f, 0.0f};
  const float share =
      static_cast<float>(static_cast<double>(recombinant) / static_cast<double>(informative));
  if (share >= 0.5f) return PairLod{0.5f, 0.0f};
  const float q = static_cast<float>(1.0 - static_cast<double>(share));
  double sum = static_cast<double>(informative) * std::log10(2.0);
  if (recombinant > 0) sum += static_cast<double>(recombinant) * std::log10(static_cast<double>(share));
  sum += static_cast<double>(informative - recombinant) * std::log10(static_cast<double>(q));
  return PairLod{recombination_of_share(type, share), static_cast<float>(sum)};
}

ClassTally class_tally(const PairCounts& counts, const MarkerClasses& first,
                       const MarkerClasses& second) {
  ClassTally t;
  for (int u = 0; u < 6; ++u) {
    const int cu = class_of(first, u);
    if (cu < 0) continue;
    for (int v = 0; v < 6; ++v) {
      const int cv = class_of(second, v);
      if (cv < 0) continue;
      const int c = counts[static_cast<std::size_t>(u)][static_cast<std::size_t>(v)];
      t.informative += c;
      if (cu != cv) t.recombinant += c;
    }
  }
  return t;
}

PairLod intercross_lod_of_counts(const PairCounts& n) {
  bool dominant = false;
  for (std::size_t k = 0; k < 6; ++k)
    dominant = dominant || n[kCodeC][k] != 0 || n[kCodeD][k] != 0 || n[k][kCodeC] != 0 || n[k][kCodeD] != 0;
  if (dominant) return pair_lod_from_counts(n);
  constexpr std::size_t A = kCodeA, B = kCodeB, H = kCodeH;
  ClassTotals c;
  c.x = static_cast<float>(n[A][A] + n[B][B] + n[H][H]);
  c.y = static_cast<float>(n[A][B] + n[B][A]);
  c.z = static_cast<float>(n[A][H] + n[H][A] + n[B][H] + n[H][B]);
  c.w = static_cast<float>(n[H][H]);
  return lod_from_totals(c);
}

PairLod grouping_lod_of_counts(PopulationType type, const PairCounts& counts,
                               const MarkerClasses& first, const MarkerClasses& second) {
  if (population_model(type).estimator == PairEstimator::kIntercross)
    return intercross_lod_of_counts(counts);
  const ClassTally t = class_tally(counts, first, second);
  return two_class_lod(type, t.recombinant, t.informative);
}

PairLod grouping_pair_lod(PopulationType type, const GenotypeRow& a, const GenotypeRow& b) {
  if (population_model(type).estimator == PairEstimator::kIntercross)
    return pair_lod_from_counts(pair_counts(a, b));
  const ClassTally t = class_tally(a, marker_classes(type, a), b, marker_classes(type, b));
  return two_class_lod(type, t.recombinant, t.informative);
}

PairLod grouping_pair_lod(PopulationType type, const std::vector<GenotypeRow>& rows,
                          std::size_t i, std::size_t j) {
  if (population_model(type).estimator == PairEstimator::kIntercross) return pair_lod(rows, i, j);
  return grouping_pair_lod(type, rows.at(i), rows.at(j));
}

PairLod neighbour_pair_lod(PopulationType type, const std::vector<GenotypeRow>& rows,
                           std::size_t i, std::size_t j) {
  if (population_model(type).estimator == PairEstimator::kIntercross)
    return adjacent_pair_lod(rows, i, j);
  return grouping_pair_lod(type, rows.at(i), rows.at(j));
}

}  // namespace tarvek
