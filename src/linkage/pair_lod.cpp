#include "linkage/pair_lod.hpp"

#include <cmath>

#include "genotype/genotype_codes.hpp"

namespace tarvek {
namespace {

using Table = std::array<std::array<float, 6>, 6>;

constexpr long double kThird = 1.0L / 3;

}  // namespace

// Tallies the individuals whose codes at both loci lie in 0..5; a flagged
// genotype (code 6) counts nowhere.
PairCounts pair_counts(const GenotypeRow& a, const GenotypeRow& b) {
  PairCounts counts{};
  const std::size_t n = a.size();
  for (std::size_t k = 0; k < n; ++k) {
    const int u = a[k];
    const int v = b.at(k);
    if (u < 0 || u > 5 || v < 0 || v > 5) continue;
    ++counts[static_cast<std::size_t>(u)][static_cast<std::size_t>(v)];
  }
  return counts;
}

PairCounts exchanged_second(const PairCounts& counts) {
  constexpr std::size_t kExchanged[6] = {kMissing, kCodeB, kCodeA, kCodeD, kCodeC, kCodeH};
  PairCounts out{};
  for (std::size_t u = 0; u < 6; ++u)
    for (std::size_t v = 0; v < 6; ++v) out[u][kExchanged[v]] = counts[u][v];
  return out;
}

namespace {

Table to_table(const PairCounts& counts) {
  Table t{};
  for (std::size_t u = 0; u < 6; ++u)
    for (std::size_t v = 0; v < 6; ++v) t[u][v] = static_cast<float>(counts[u][v]);
  return t;
}

// Moves row `dominant` into rows `third` (1/3) and H (2/3), then zeroes it.
void split_row(Table& t, std::size_t dominant, std::size_t third) {
  for (std::size_t v = 0; v < 6; ++v) {
    t[third][v] = static_cast<float>(t[third][v] + t[dominant][v] * kThird);
    t[kCodeH][v] = static_cast<float>(t[kCodeH][v] + (2.0f * t[dominant][v]) * kThird);
    t[dominant][v] = 0.0f;
  }
}

void split_column(Table& t, std::size_t dominant, std::size_t third) {
  for (std::size_t u = 0; u < 6; ++u) {
    t[u][third] = static_cast<float>(t[u][third] + t[u][dominant] * kThird);
    t[u][kCodeH] = static_cast<float>(t[u][kCodeH] + (2.0f * t[u][dominant]) * kThird);
    t[u][dominant] = 0.0f;
  }
}

float total(double sum) { return static_cast<float>(sum); }

// N from the rounded totals, and r = (Y + Z/2) / N capped at 0.5.
float estimate_r(const ClassTotals& c, float n) {
  const float r = static_cast<float>((static_cast<double>(c.y) + 0.5 * static_cast<double>(c.z)) /
                                     static_cast<double>(n));
  return r > 0.5f ? 0.5f : r;
}

float total_n(const ClassTotals& c) {
  return static_cast<float>(static_cast<double>(c.x) + static_cast<double>(c.y) +
                            static_cast<double>(c.z));
}

}  // namespace

ClassTotals split_class_totals(const PairCounts& counts) {
  Table t = to_table(counts);
  split_row(t, kCodeC, kCodeB);
  split_column(t, kCodeC, kCodeB);
  split_row(t, kCodeD, kCodeA);
  split_column(t, kCodeD, kCodeA);
  const auto d = [&t](std::size_t u, std::size_t v) { return static_cast<double>(t[u][v]); };
  ClassTotals c;
  c.x = total(d(kCodeA, kCodeA) + d(kCodeB, kCodeB) + d(kCodeH, kCodeH));
  c.y = total(d(kCodeA, kCodeB) + d(kCodeB, kCodeA));
  c.z = total(d(kCodeA, kCodeH) + d(kCodeH, kCodeA) + d(kCodeB, kCodeH) + d(kCodeH, kCodeB));
  c.w = t[kCodeH][kCodeH];
  return c;
}

float lod_formula(const ClassTotals& c, float n, float r) {
  const float q = static_cast<float>(1.0 - static_cast<double>(r));
  const double rd = r;
  const double qd = q;
  const double w = c.w;
  double sum = 0.0;
  sum += w * std::log10(qd * qd + rd * rd);
  sum += (static_cast<double>(c.x) - w) * std::log10(qd * qd);
  sum += static_cast<double>(c.z) * std::log10(qd * rd);
  sum += static_cast<double>(c.y) * std::log10(rd * rd);
  sum -= (static_cast<double>(n) - w) * std::log10(0.25);
  sum -= w * std::log10(0.5);
  return static_cast<float>(sum);
}

PairLod lod_from_totals(const ClassTotals& c) {
  const float n = total_n(c);
  if (!(n > 0.0f)) return PairLod{0.5f, 0.0f};
  const float r = estimate_r(c, n);
  if (r == 0.0f) return PairLod{r, 9999.0f};
  return PairLod{r, lod_formula(c, n, r)};
}

PairLod pair_lod_from_counts(const PairCounts& counts) {
  return lod_from_totals(split_class_totals(counts));
}

PairLod adjacent_lod_from_counts(const PairCounts& counts) {
  const auto d = [&counts](int u, int v) {
    return static_cast<double>(counts[static_cast<std::size_t>(u)][static_cast<std::size_t>(v)]);
  };
  constexpr int A = kCodeA, B = kCodeB, C = kCodeC, D = kCodeD, H = kCodeH;
  ClassTotals c;
  c.x = total(d(A, A) + d(A, D) + d(D, A) + d(D, D) + d(B, B) + d(B, C) + d(C, B) + d(C, C) +
              d(H, H) + d(H, D) + d(D, H) + d(H, C) + d(C, H) + d(D, C) + d(C, D));
  c.y = total(d(A, B) + d(B, A));
  c.z = total(d(A, H) + d(H, A) + d(A, C) + d(C, A) + d(B, H) + d(H, B) + d(B, D) + d(D, B));
  c.w = total(d(H, H) + d(H, D) + d(D, H) + d(H, C) + d(C, H) + d(D, C) + d(C, D));
  const float n = total_n(c);
  if (!(n > 0.0f)) return PairLod{0.5f, 0.00001f};
  const float r = estimate_r(c, n);
  if (r <= 0.0f) return PairLod{r, 9999.0f};
  if (r >= 0.5f) return PairLod{r, 0.00001f};
  return PairLod{r, lod_formula(c, n, r)};
}

PairLod pair_lod(const std::vector<GenotypeRow>& rows, std::size_t i, std::size_t j) {
  return pair_lod_from_counts(pair_counts(rows.at(i), rows.at(j)));
}

PairLod adjacent_pair_lod(const std::vector<GenotypeRow>& rows, std::size_t i, std::size_t j) {
  return adjacent_lod_from_counts(pair_counts(rows.at(i), rows.at(j)));
}

double map_distance(float r) {
  const double rd = r;
  return 25.0 * std::log10((1.0 + 2.0 * rd) / (1.0 - 2.0 * rd));
}

}  // namespace tarvek
