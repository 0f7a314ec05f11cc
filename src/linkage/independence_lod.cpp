#include "linkage/independence_lod.hpp"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <numeric>

#include "base/parallel.hpp"
#include "genotype/code_planes.hpp"
#include "genotype/genotype_codes.hpp"

namespace tarvek {
namespace {

// The codes that are classes of a locus: those of the two-class marker, or
// every typed code of an F2 (at most five).
struct LocusClasses {
  std::array<int, 5> codes{};
  std::size_t count = 0;
};

LocusClasses classes_of(PopulationType type, const GenotypeRow& row) {
  LocusClasses c;
  if (two_class(type)) {
    const MarkerClasses m = marker_classes(type, row);
    c.codes = {m.first, m.second, 0, 0, 0};
    c.count = 2;
  } else {
    c.codes = {kCodeA, kCodeB, kCodeC, kCodeD, kCodeH};
    c.count = 5;
  }
  return c;
}

// The LOD of a table of cells[u][v] counts.
float lod_of_cells(const std::array<std::array<std::int64_t, 5>, 5>& cells) {
  std::array<double, 5> rows{};
  std::array<double, 5> columns{};
  double n = 0.0;
  for (std::size_t u = 0; u < 5; ++u)
    for (std::size_t v = 0; v < 5; ++v) {
      const auto x = static_cast<double>(cells[u][v]);
      rows[u] += x;
      columns[v] += x;
      n += x;
    }
  if (n == 0.0) return 0.0f;
  double lod = 0.0;
  for (std::size_t u = 0; u < 5; ++u)
    for (std::size_t v = 0; v < 5; ++v) {
      const auto x = static_cast<double>(cells[u][v]);
      if (x > 0.0) lod += x * std::log10(x * n / (rows[u] * columns[v]));
    }
  return static_cast<float>(lod);
}

float planes_lod(const CodePlanes& p, std::size_t i, const LocusClasses& ci, std::size_t j,
                 const LocusClasses& cj) {
  std::array<std::array<std::int64_t, 5>, 5> cells{};
  for (std::size_t u = 0; u < ci.count; ++u) {
    const std::uint64_t* a = plane(p, i, ci.codes[u]);
    for (std::size_t v = 0; v < cj.count; ++v) {
      const std::uint64_t* b = plane(p, j, cj.codes[v]);
      std::int64_t k = 0;
      for (std::size_t w = 0; w < p.words; ++w) k += std::popcount(a[w] & b[w]);
      cells[u][v] = k;
    }
  }
  return lod_of_cells(cells);
}

}  // namespace

std::vector<int> associated_groups(PopulationType type, const std::vector<GenotypeRow>& rows,
                                   const LinkageGroups& groups,
                                   const std::vector<GenotypeRow>& candidates, float threshold,
                                   std::vector<float>* strength, int threads) {
  const std::size_t n = rows.size();
  const std::size_t c = candidates.size();
  std::vector<int> home(c, -1);
  if (strength != nullptr) strength->assign(c, 0.0f);
  if (c == 0) return home;
  std::vector<GenotypeRow> all = rows;
  all.insert(all.end(), candidates.begin(), candidates.end());
  std::vector<int> members(all.size());
  std::iota(members.begin(), members.end(), 0);
  const CodePlanes p = planes_of_rows(all, members);
  std::vector<LocusClasses> classes;
  classes.reserve(all.size());
  for (const GenotypeRow& row : all) classes.push_back(classes_of(type, row));

  std::vector<int> group_of(all.size(), -1);
  for (std::size_t g = 0; g < groups.size(); ++g)
    for (const int x : groups[g]) group_of.at(static_cast<std::size_t>(x)) = static_cast<int>(g);

  // The loci a pass compares with: every grouped locus first, then the
  // candidates the pass before placed.
  std::vector<std::size_t> placed;
  for (std::size_t x = 0; x < n; ++x)
    if (group_of[x] >= 0) placed.push_back(x);
  while (!placed.empty()) {
    std::vector<int> best_group(c, -1);
    std::vector<float> best(c, threshold);
    const Blocks blocks{c, 16};
    for_each_block(threads, blocks, [&](std::size_t, std::size_t begin, std::size_t end) {
      for (std::size_t k = begin; k < end; ++k) {
        if (home[k] >= 0) continue;
        const std::size_t item = n + k;
        for (const std::size_t x : placed) {
          const float lod = planes_lod(p, item, classes[item], x, classes[x]);
          if (lod > best[k]) {
            best[k] = lod;
            best_group[k] = group_of[x];
          }
        }
      }
    });
    placed.clear();
    for (std::size_t k = 0; k < c; ++k) {
      if (best_group[k] < 0) continue;
      home[k] = best_group[k];
      group_of[n + k] = best_group[k];
      if (strength != nullptr) (*strength)[k] = best[k];
      placed.push_back(n + k);
    }
  }
  return home;
}

}  // namespace tarvek
