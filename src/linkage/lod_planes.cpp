#include "linkage/lod_planes.hpp"

#include <algorithm>
#include <stdexcept>

#include "linkage/lod_bound.hpp"
#include "linkage/plane_tallies.hpp"
#include "linkage/population_lod.hpp"

namespace tarvek {
namespace {

constexpr std::uint8_t kDominantCodes = (1u << kCodeC) | (1u << kCodeD);

// The class totals of the split table in exact arithmetic (C counts 1/3 B
// and 2/3 H, D 1/3 A and 2/3 H): close enough to the single-precision
// totals for the bound.
struct ExactTotals {
  double y = 0.0, z = 0.0, n = 0.0;
};

ExactTotals exact_totals(const PairCounts& counts) {
  // Shares of A, B, H of each code 1..5.
  static constexpr double kShare[6][3] = {
      {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 1.0 / 3, 2.0 / 3}, {1.0 / 3, 0, 2.0 / 3}, {0, 0, 1}};
  ExactTotals t;
  for (std::size_t u = 1; u < 6; ++u) {
    for (std::size_t v = 1; v < 6; ++v) {
      const double c = counts[u][v];
      if (c == 0.0) continue;
      const double* a = kShare[u];
      const double* b = kShare[v];
      t.y += c * (a[0] * b[1] + a[1] * b[0]);
      t.z += c * (a[0] * b[2] + a[2] * b[0] + a[1] * b[2] + a[2] * b[1]);
      t.n += c;
    }
  }
  return t;
}

std::optional<float> above(float lod, float floor) {
  return lod > floor ? std::optional<float>(lod) : std::nullopt;
}

}  // namespace

LodPlanes build_lod_planes(const std::vector<GenotypeRow>& rows, PopulationType type) {
  LodPlanes m;
  m.n = rows.size();
  m.type = type;
  std::vector<int> all(rows.size());
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int>(i);
  m.planes = planes_of_rows(rows, all);
  const std::size_t words = m.planes.words;
  if (two_class(type)) {
    m.classes.assign(m.n * 2 * words, 0);
    m.marker_classes.resize(m.n);
    for (std::size_t i = 0; i < m.n; ++i) {
      const MarkerClasses k = marker_classes(type, rows[i]);
      m.marker_classes[i] = k;
      const std::uint64_t* first = plane(m.planes, i, k.first);
      const std::uint64_t* second = plane(m.planes, i, k.second);
      const auto at = m.classes.begin() + static_cast<std::ptrdiff_t>(i * 2 * words);
      std::copy(first, first + words, at);
      std::copy(second, second + words, at + static_cast<std::ptrdiff_t>(words));
    }
    return m;
  }
  m.abh.assign(m.n * 3 * words, 0);
  m.dominant.assign(m.n, 0);
  for (std::size_t i = 0; i < m.n; ++i) {
    m.dominant[i] = (m.planes.present[i] & kDominantCodes) != 0 ? 1 : 0;
    const int codes[3] = {kCodeA, kCodeB, kCodeH};
    for (std::size_t c = 0; c < 3; ++c) {
      const std::uint64_t* source = plane(m.planes, i, codes[c]);
      std::copy(source, source + words, m.abh.begin() + static_cast<std::ptrdiff_t>((i * 3 + c) * words));
    }
  }
  return m;
}

std::optional<float> lod_above(const LodPlanes& m, std::size_t i, std::size_t j, float floor) {
  if (i >= m.n || j >= m.n) throw std::out_of_range("LOD matrix index");
  const std::size_t words = m.planes.words;
  if (two_class(m.type)) {
    const ClassTally t = plane_class_tally(class_planes(m, i), class_planes(m, j), words);
    if (t.informative == 0) return above(0.0f, floor);
    if (two_class_lod_bounded_below(t.recombinant, t.informative, floor)) return std::nullopt;
    return above(two_class_lod(m.type, t.recombinant, t.informative).lod, floor);
  }
  if (m.dominant[i] == 0 && m.dominant[j] == 0) {
    const std::uint64_t* pi = abh_planes(m, i);
    const std::uint64_t* pj = abh_planes(m, j);
    const CodominantTally t = codominant_tally(pi, pj, words);
    if (t.n == 0) return above(0.0f, floor);
    if ((t.y != 0 || t.z != 0) && lod_bounded_below(t.y, t.z, t.n, floor)) return std::nullopt;
    ClassTotals c;
    c.y = static_cast<float>(t.y);
    c.z = static_cast<float>(t.z);
    c.x = static_cast<float>(t.n - t.y - t.z);
    c.w = static_cast<float>(both_heterozygous(pi, pj, words));
    return above(lod_from_totals(c).lod, floor);
  }
  const PairCounts counts = full_counts(m.planes, i, j);
  const ExactTotals t = exact_totals(counts);
  if (t.n > 0.0 && (t.y != 0.0 || t.z != 0.0) && lod_bounded_below(t.y, t.z, t.n, floor))
    return std::nullopt;
  return above(pair_lod_from_counts(counts).lod, floor);
}

std::optional<float> strongest_link(const LodPlanes& lods, const LinkageGroup& row_loci,
                                    const LinkageGroup& column_loci, float floor) {
  std::optional<float> best;
  for (const int h : column_loci) {
    for (const int s : row_loci) {
      const auto v = lod_above(lods, static_cast<std::size_t>(s), static_cast<std::size_t>(h),
                                 best ? *best : floor);
      if (v) best = v;
    }
  }
  return best;
}

}  // namespace tarvek
