#include "linkage/lod_matrix.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <stdexcept>

#include "linkage/population_lod.hpp"

namespace tarvek {
namespace {

constexpr std::uint8_t kDominantCodes = (1u << kCodeC) | (1u << kCodeD);

// g(r) = (1−r)·log10(2(1−r)) + r·log10(2r) on a grid of r over [0, 0.5].
// For N scored individuals and the estimate r, 2N·g(r) bounds the LOD from
// above: with W = 0 the LOD is the log-likelihood ratio of 2N gametes of which
// a share r recombined, at most that ratio at its own estimate, and W > 0
// only lowers it (2(q²+r²) ≤ 4q² for r ≤ 0.5). g falls from log10 2 to 0.
constexpr int kGrid = 4096;

struct BoundTable {
  std::array<double, kGrid + 1> g{};
  BoundTable() {
    for (int k = 0; k <= kGrid; ++k) {
      const double r = 0.5 * k / kGrid;
      const double q = 1.0 - r;
      g[static_cast<std::size_t>(k)] =
          q * std::log10(2.0 * q) + (r > 0.0 ? r * std::log10(2.0 * r) : 0.0);
    }
  }
};

const BoundTable kBounds;

// True when the computed LOD of a pair with these totals cannot exceed
// `floor`. The estimate is moved down by one grid cell (g falls with r) to
// cover its rounding, and the margin covers the rounding of the LOD sum.
inline bool bounded_below(double y, double z, double n, float floor) {
  const double r = (y + 0.5 * z) / n;
  const double margin = 1e-3 + 1e-6 * n;
  if (r >= 0.5) return margin < static_cast<double>(floor);
  const long cell = static_cast<long>(r * 2.0 * kGrid) - 1;
  const double g = kBounds.g[static_cast<std::size_t>(cell < 0 ? 0 : cell)];
  return 2.0 * n * g + margin < static_cast<double>(floor);
}

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

inline int popcount(std::uint64_t x) { return std::popcount(x); }

// Counts of the 25 cells of codes 1..5 present at both items.
PairCounts full_counts(const CodePlanes& p, std::size_t i, std::size_t j) {
  PairCounts counts{};
  const std::uint8_t pi = p.present[i];
  const std::uint8_t pj = p.present[j];
  for (int u = kCodeA; u <= kCodeH; ++u) {
    if ((pi & (1u << u)) == 0) continue;
    const std::uint64_t* a = plane(p, i, u);
    for (int v = kCodeA; v <= kCodeH; ++v) {
      if ((pj & (1u << v)) == 0) continue;
      const std::uint64_t* b = plane(p, j, v);
      int c = 0;
      for (std::size_t w = 0; w < p.words; ++w) c += popcount(a[w] & b[w]);
      counts[static_cast<std::size_t>(u)][static_cast<std::size_t>(v)] = c;
    }
  }
  return counts;
}

struct CodominantTally {
  int y = 0, z = 0, n = 0;
  int w = 0;  // both heterozygous, counted only when asked for
};

// Y, Z and N (and W with kBothHeterozygous) of two loci scored A, B, H (and
// missing) only; `i` and `j` point at their A, B and H planes, `words` long
// each.
template <bool kBothHeterozygous = false>
inline CodominantTally codominant_tally(const std::uint64_t* i, const std::uint64_t* j,
                                        std::size_t words) {
  const std::uint64_t* ai = i;
  const std::uint64_t* bi = i + words;
  const std::uint64_t* hi = i + 2 * words;
  const std::uint64_t* aj = j;
  const std::uint64_t* bj = j + words;
  const std::uint64_t* hj = j + 2 * words;
  CodominantTally t;
  for (std::size_t w = 0; w < words; ++w) {
    const std::uint64_t homi = ai[w] | bi[w];
    const std::uint64_t homj = aj[w] | bj[w];
    t.y += popcount((ai[w] & bj[w]) | (bi[w] & aj[w]));
    t.z += popcount((homi & hj[w]) | (hi[w] & homj));
    t.n += popcount((homi | hi[w]) & (homj | hj[w]));
    if constexpr (kBothHeterozygous) t.w += popcount(hi[w] & hj[w]);
  }
  return t;
}

inline int both_heterozygous(const std::uint64_t* i, const std::uint64_t* j, std::size_t words) {
  int c = 0;
  for (std::size_t w = 0; w < words; ++w) c += popcount(i[2 * words + w] & j[2 * words + w]);
  return c;
}

// R and N of two loci of a two-class type; `i` and `j` point at their first
// and second class planes, `words` long each.
inline ClassTally plane_class_tally(const std::uint64_t* i, const std::uint64_t* j,
                                    std::size_t words) {
  ClassTally t;
  for (std::size_t w = 0; w < words; ++w) {
    const std::uint64_t fi = i[w], si = i[words + w];
    const std::uint64_t fj = j[w], sj = j[words + w];
    t.recombinant += popcount((fi & sj) | (si & fj));
    t.informative += popcount((fi | si) & (fj | sj));
  }
  return t;
}

// True when the two-class LOD of R recombinant among N informative
// individuals cannot exceed `floor`. That LOD is N·g(R/N) at most (g as in
// the table above), the bound of N/2 intercross individuals with R/2 gametes
// recombined.
inline bool two_class_bounded_below(int recombinant, int informative, float floor) {
  return bounded_below(0.5 * recombinant, 0.0, 0.5 * informative, floor);
}

inline const std::uint64_t* class_planes(const LodMatrix& m, std::size_t i) {
  return m.classes.data() + i * 2 * m.planes.words;
}

std::optional<float> above(float lod, float floor) {
  return lod > floor ? std::optional<float>(lod) : std::nullopt;
}

// The grouping LOD of loci i and j when it can be above `floor`.
std::optional<float> computed_lod_above(const LodMatrix& m, std::size_t i, std::size_t j,
                                        float floor) {
  const std::size_t words = m.planes.words;
  if (two_class(m.type)) {
    const ClassTally t = plane_class_tally(class_planes(m, i), class_planes(m, j), words);
    if (t.informative == 0) return above(0.0f, floor);
    if (two_class_bounded_below(t.recombinant, t.informative, floor)) return std::nullopt;
    return above(two_class_lod(m.type, t.recombinant, t.informative).lod, floor);
  }
  if (m.dominant[i] == 0 && m.dominant[j] == 0) {
    const std::uint64_t* pi = m.abh.data() + i * 3 * words;
    const std::uint64_t* pj = m.abh.data() + j * 3 * words;
    const CodominantTally t = codominant_tally(pi, pj, words);
    if (t.n == 0) return above(0.0f, floor);
    if ((t.y != 0 || t.z != 0) && bounded_below(t.y, t.z, t.n, floor)) return std::nullopt;
    ClassTotals c;
    c.y = static_cast<float>(t.y);
    c.z = static_cast<float>(t.z);
    c.x = static_cast<float>(t.n - t.y - t.z);
    c.w = static_cast<float>(both_heterozygous(pi, pj, words));
    return above(lod_from_totals(c).lod, floor);
  }
  const PairCounts counts = full_counts(m.planes, i, j);
  const ExactTotals t = exact_totals(counts);
  if (t.n > 0.0 && (t.y != 0.0 || t.z != 0.0) && bounded_below(t.y, t.z, t.n, floor))
    return std::nullopt;
  return above(pair_lod_from_counts(counts).lod, floor);
}

}  // namespace

LodMatrix build_lod_matrix(const std::vector<GenotypeRow>& rows, PopulationType type) {
  LodMatrix m;
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
      const std::uint64_t* from = plane(m.planes, i, codes[c]);
      std::copy(from, from + words, m.abh.begin() + static_cast<std::ptrdiff_t>((i * 3 + c) * words));
    }
  }
  return m;
}

std::optional<float> lod_above(const LodMatrix& m, std::size_t i, std::size_t j, float floor) {
  if (i >= m.n || j >= m.n) throw std::out_of_range("LOD matrix index");
  return computed_lod_above(m, i, j, floor);
}

namespace {

// For every number N of individuals scored at both loci, the smallest count
// k = 2Y + Z of recombinant gametes from which on the bound excludes a LOD
// above `floor` (k = 0 is never excluded: it is the r = 0 case).
std::vector<int> excluded_from(std::size_t individuals, float floor) {
  std::vector<int> from(individuals + 1, 0);
  for (std::size_t n = 1; n <= individuals; ++n) {
    const auto excluded = [&](int k) {
      return bounded_below(0.0, static_cast<double>(k), static_cast<double>(n), floor);
    };
    int lo = 1;
    int hi = static_cast<int>(2 * n) + 1;  // none excluded up to 2N: hi stays past it
    while (lo < hi) {  // the bound falls as k grows: find the first excluded k
      const int mid = lo + (hi - lo) / 2;
      if (excluded(mid)) hi = mid; else lo = mid + 1;
    }
    from[n] = lo;
  }
  return from;
}

// For every number N of informative individuals, the smallest number R of
// recombinant ones from which on the bound excludes a two-class LOD above
// `floor`; N + 1 when none is excluded. N = 0 is never looked up.
std::vector<int> two_class_excluded_from(std::size_t individuals, float floor) {
  std::vector<int> from(individuals + 1, 0);
  for (std::size_t n = 1; n <= individuals; ++n) {
    int lo = 0;
    int hi = static_cast<int>(n) + 1;
    while (lo < hi) {  // the bound falls as R grows: find the first excluded R
      const int mid = lo + (hi - lo) / 2;
      if (two_class_bounded_below(mid, static_cast<int>(n), floor)) hi = mid; else lo = mid + 1;
    }
    from[n] = lo;
  }
  return from;
}

// Nine times the expected number of recombinant gametes (2Y + Z) of one
// individual with codes u and v (1..5), dominant codes split as in the
// grouping estimator: A carries 2 gametes of the first parent, H 1, B 0;
// C is B (1/3) or H (2/3), D is A (1/3) or H (2/3).
constexpr int gametes_ninths(int u, int v) {
  // Share of 0, 1, 2 first-parent gametes, in thirds, for codes 0..5.
  constexpr int share[6][3] = {{0, 0, 0}, {0, 0, 3}, {3, 0, 0}, {1, 2, 0}, {0, 2, 1}, {0, 3, 0}};
  int total = 0;
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b) total += share[u][a] * share[v][b] * (a > b ? a - b : b - a);
  return total;
}

struct GameteTally {
  int ninths = 0;  // 9 (2Y + Z)
  int n = 0;       // individuals scored at both loci
};

// 2Y + Z and N of any pair of loci, from the cells of the codes present.
GameteTally gamete_tally(const CodePlanes& p, std::size_t i, std::size_t j) {
  GameteTally t;
  const unsigned pi = p.present[i];
  const unsigned pj = p.present[j];
  for (int u = kCodeA; u <= kCodeH; ++u) {
    if ((pi >> u & 1u) == 0) continue;
    const std::uint64_t* a = plane(p, i, u);
    for (int v = kCodeA; v <= kCodeH; ++v) {
      if ((pj >> v & 1u) == 0) continue;
      const std::uint64_t* b = plane(p, j, v);
      int c = 0;
      for (std::size_t w = 0; w < p.words; ++w) c += popcount(a[w] & b[w]);
      t.n += c;
      t.ninths += c * gametes_ninths(u, v);
    }
  }
  return t;
}

}  // namespace

std::vector<int> exclusion_table(const LodMatrix& matrix, float threshold) {
  return two_class(matrix.type) ? two_class_excluded_from(matrix.planes.positions, threshold)
                                : excluded_from(matrix.planes.positions, threshold);
}

bool bound_rules_out(const LodMatrix& matrix, const std::vector<int>& from, std::size_t i,
                     std::size_t m) {
  const std::size_t words = matrix.planes.words;
  if (two_class(matrix.type)) {
    const ClassTally t = plane_class_tally(class_planes(matrix, i), class_planes(matrix, m), words);
    return t.informative != 0 && t.recombinant >= from[static_cast<std::size_t>(t.informative)];
  }
  if (matrix.dominant[m] == 0 && matrix.dominant[i] == 0) {
    const CodominantTally t = codominant_tally(matrix.abh.data() + i * 3 * words,
                                               matrix.abh.data() + m * 3 * words, words);
    const int k = 2 * t.y + t.z;
    return k != 0 && k >= from[static_cast<std::size_t>(t.n)];
  }
  const GameteTally t = gamete_tally(matrix.planes, i, m);
  return t.ninths != 0 && t.ninths >= 9 * from[static_cast<std::size_t>(t.n)];
}

std::optional<float> strongest_link(const LodMatrix& matrix, const LinkageGroup& from,
                                    const LinkageGroup& to, float floor) {
  std::optional<float> best;
  for (const int h : to) {
    for (const int s : from) {
      const auto v = lod_above(matrix, static_cast<std::size_t>(s), static_cast<std::size_t>(h),
                                 best ? *best : floor);
      if (v) best = v;
    }
  }
  return best;
}

namespace {

// The two LODs of a pair of loci, each only when it can be above the
// threshold: `same` as scored, `exchanged` with the second locus's alleles
// exchanged. A LOD left out is known not to be above it.
struct PhaseLods {
  std::optional<float> same;
  std::optional<float> exchanged;
};

// The exchange of A and B turns AA and BB pairs into AB and BA pairs and back,
// and AH into BH: X' = Y + W, Y' = X − W, Z and W stay.
PhaseLods codominant_phase_lods(const std::uint64_t* pi, const std::uint64_t* pj,
                                std::size_t words, const std::vector<int>& from) {
  const CodominantTally t = codominant_tally<true>(pi, pj, words);
  PhaseLods lods;
  if (t.n == 0) {
    lods.same = lods.exchanged = 0.0f;
    return lods;
  }
  const int limit = from[static_cast<std::size_t>(t.n)];
  const int k = 2 * t.y + t.z;
  const int y_exchanged = t.n - t.y - t.z - t.w;
  const int k_exchanged = 2 * y_exchanged + t.z;
  if (k == 0 || k < limit) {
    ClassTotals c;
    c.y = static_cast<float>(t.y);
    c.z = static_cast<float>(t.z);
    c.x = static_cast<float>(t.n - t.y - t.z);
    c.w = static_cast<float>(t.w);
    lods.same = lod_from_totals(c).lod;
  }
  if (k_exchanged == 0 || k_exchanged < limit) {
    ClassTotals c;
    c.y = static_cast<float>(y_exchanged);
    c.z = static_cast<float>(t.z);
    c.x = static_cast<float>(t.y + t.w);
    c.w = static_cast<float>(t.w);
    lods.exchanged = lod_from_totals(c).lod;
  }
  return lods;
}

// The same for a pair with dominant codes, from its table of counts: the
// recombinant gametes of each phase (in ninths, as in bound_rules_out) rule out
// the phases that cannot pass before any logarithm is taken.
struct NinthsTables {
  int same[6][6]{};
  int exchanged[6][6]{};
};

constexpr NinthsTables ninths_tables() {
  constexpr int kExchanged[6] = {kMissing, kCodeB, kCodeA, kCodeD, kCodeC, kCodeH};
  NinthsTables t;
  for (int u = kCodeA; u <= kCodeH; ++u)
    for (int v = kCodeA; v <= kCodeH; ++v) {
      t.same[u][v] = gametes_ninths(u, v);
      t.exchanged[u][v] = gametes_ninths(u, kExchanged[v]);
    }
  return t;
}

constexpr NinthsTables kNinths = ninths_tables();

PhaseLods dominant_phase_lods(const PairCounts& counts, const std::vector<int>& from) {
  int n = 0, ninths = 0, ninths_exchanged = 0;
  for (std::size_t u = kCodeA; u <= kCodeH; ++u)
    for (std::size_t v = kCodeA; v <= kCodeH; ++v) {
      const int c = counts[u][v];
      n += c;
      ninths += c * kNinths.same[u][v];
      ninths_exchanged += c * kNinths.exchanged[u][v];
    }
  const int limit = n == 0 ? 0 : 9 * from[static_cast<std::size_t>(n)];
  PhaseLods lods;
  if (n == 0 || ninths == 0 || ninths < limit) lods.same = pair_lod_from_counts(counts).lod;
  if (n == 0 || ninths_exchanged == 0 || ninths_exchanged < limit)
    lods.exchanged = pair_lod_from_counts(exchanged_second(counts)).lod;
  return lods;
}

std::optional<float> bounded_class_lod(PopulationType type, int recombinant, int informative,
                                       const std::vector<int>& from) {
  if (informative > 0 && recombinant >= from[static_cast<std::size_t>(informative)])
    return std::nullopt;
  return two_class_lod(type, recombinant, informative).lod;
}

}  // namespace

PhaseLinker phase_linker(const LodMatrix& matrix, float threshold) {
  PhaseLinker linker;
  linker.matrix = &matrix;
  linker.threshold = threshold;
  linker.excluded_from = two_class(matrix.type)
                             ? two_class_excluded_from(matrix.planes.positions, threshold)
                             : excluded_from(matrix.planes.positions, threshold);
  return linker;
}

std::optional<PhaseLink> phase_link(const PhaseLinker& linker, std::size_t i, std::size_t j) {
  const LodMatrix& m = *linker.matrix;
  if (i >= m.n || j >= m.n) throw std::out_of_range("LOD matrix index");
  if (j < i) std::swap(i, j);
  const std::size_t words = m.planes.words;
  const float threshold = linker.threshold;
  PhaseLods lods;
  if (two_class(m.type)) {
    const ClassTally t = plane_class_tally(class_planes(m, i), class_planes(m, j), words);
    lods.same = bounded_class_lod(m.type, t.recombinant, t.informative, linker.excluded_from);
    if (m.type == PopulationType::BC1) {
      if (!lods.same || !(*lods.same > threshold)) return std::nullopt;
      return PhaseLink{*lods.same, m.marker_classes[i].first != m.marker_classes[j].first};
    }
    lods.exchanged = bounded_class_lod(m.type, t.informative - t.recombinant, t.informative,
                                       linker.excluded_from);
  } else if (m.dominant[i] == 0 && m.dominant[j] == 0) {
    lods = codominant_phase_lods(m.abh.data() + i * 3 * words, m.abh.data() + j * 3 * words,
                                 words, linker.excluded_from);
  } else {
    lods = dominant_phase_lods(full_counts(m.planes, i, j), linker.excluded_from);
  }
  // A LOD left out is not above the threshold, so it cannot be the larger
  // of a pair that links.
  const bool same_links = lods.same && *lods.same > threshold;
  const bool exchanged_links = lods.exchanged && *lods.exchanged > threshold;
  if (!same_links && !exchanged_links) return std::nullopt;
  const bool exchanged = exchanged_links && (!same_links || *lods.exchanged > *lods.same);
  return PhaseLink{exchanged ? *lods.exchanged : *lods.same, exchanged};
}

}  // namespace tarvek
