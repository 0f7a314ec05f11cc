// Switched alleles: the phase rule over given links (spanning tree, minority,
// ties), planted switched markers found in genotypes, and the phase links
// from bit-planes against plain ones from exchanged rows.

#include "linkage/switched_alleles.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "genotype/genotype_codes.hpp"
#include "genotype/population.hpp"
#include "linkage/lod_planes.hpp"
#include "linkage/lod_table.hpp"
#include "linkage/population_lod.hpp"

namespace tarvek {
namespace {

using P = PopulationType;
using Rng = std::mt19937;
using Loci = std::vector<int>;

struct Link {
  int i, j;
  float strength;
  bool exchanged;
};

Link link(int i, int j, float strength, bool exchanged) { return Link{i, j, strength, exchanged}; }

// The loci flipped when exactly the given pairs link. Every pair must be
// asked for once.
Loci switched(const std::vector<Link>& links, std::size_t n) {
  std::vector<int> asked(n * n, 0);
  const Loci flipped = switched_loci(n, [&](std::size_t a, std::size_t b) {
    ++asked.at(std::min(a, b) * n + std::max(a, b));
    std::optional<PhaseLink> found;
    for (const Link& l : links)
      if ((l.i == static_cast<int>(a) && l.j == static_cast<int>(b)) ||
          (l.i == static_cast<int>(b) && l.j == static_cast<int>(a)))
        found = PhaseLink{l.strength, l.exchanged};
    return found;
  });
  for (std::size_t a = 0; a < n; ++a)
    for (std::size_t b = a + 1; b < n; ++b) EXPECT_EQ(asked[a * n + b], 1) << a << "," << b;
  return flipped;
}

// The loci flipped with the links of a LOD matrix above `threshold`.
Loci switched_in(const LodPlanes& matrix, float threshold) {
  const PhaseLinker linker = phase_linker(matrix, threshold);
  return switched_loci(matrix.n, [&](std::size_t i, std::size_t j) { return phase_link(linker, i, j); });
}

TEST(SwitchedLoci, TheSmallerPhaseOfEachGroupIsFlipped) {
  // Group {0, 1, 2, 3}: 2 exchanged against 1, 3 linked normally to 2 (a
  // run of two switched markers), two against two: the pair without locus 0
  // is flipped. Group {4, 5, 6}: 4 is the odd one out. Locus 7 has no link.
  const std::vector<Link> links = {
      link(0, 1, 30, false), link(1, 2, 25, true), link(2, 3, 40, false),
      link(4, 5, 20, true),  link(4, 6, 20, true), link(5, 6, 35, false)};
  EXPECT_EQ(switched(links, 8), (Loci{2, 3, 4}));
  // The run of two inside a group of six.
  const std::vector<Link> run = {link(0, 1, 30, false), link(1, 2, 25, true),
                                      link(2, 3, 40, false), link(3, 4, 20, true),
                                      link(4, 5, 20, false)};
  EXPECT_EQ(switched(run, 6), (Loci{2, 3}));
}

TEST(SwitchedLoci, PhasesFollowTheStrongestLinksOnly) {
  // The weak link 0-2 says "exchanged", but the tree takes 0-1 and 1-2,
  // which say "same": nothing is flipped.
  const std::vector<Link> links = {link(0, 1, 50, false), link(1, 2, 40, false),
                                        link(0, 2, 20, true), link(2, 3, 45, true)};
  EXPECT_EQ(switched(links, 4), (Loci{3}));
  // Equal strengths: 1 joins first (the lower locus), and 2 keeps its
  // first link into the tree, 0-2 (same), over the equally strong 1-2.
  const std::vector<Link> tied = {link(1, 2, 30, true), link(0, 2, 30, false),
                                  link(0, 1, 30, false)};
  EXPECT_EQ(switched(tied, 3), (Loci{}));
}

TEST(SwitchedLoci, TiesFlipTheSetWithoutTheGroupsFirstLocus) {
  EXPECT_EQ(switched({link(0, 1, 20, true)}, 2), (Loci{1}));
  EXPECT_EQ(switched({link(3, 5, 20, true), link(5, 6, 20, false), link(3, 4, 9, false)}, 7),
            (Loci{5, 6}));
  EXPECT_EQ(switched(std::vector<Link>{}, 3), (Loci{}));
  EXPECT_EQ(switched(std::vector<Link>{}, 0), (Loci{}));
}

TEST(SwitchedLoci, TheSameLociAtAnyNumberOfThreads) {
  // Sparse links with few strengths, so that ties decide many steps; sizes
  // around the blocks of waiting loci the threads share.
  const auto link_of = [](std::size_t i, std::size_t j) -> std::optional<PhaseLink> {
    std::uint64_t h = (std::min(i, j) * 1000003u + std::max(i, j)) * 0x9E3779B97F4A7C15u;
    h ^= h >> 29;
    if (h % 61 != 0) return std::nullopt;
    return PhaseLink{static_cast<float>(16 + (h >> 8) % 3), (h >> 20) % 4 == 0};
  };
  for (const std::size_t n : {2047u, 2048u, 2049u, 3073u, 5000u}) {
    const Loci one = switched_loci(n, link_of, 1);
    EXPECT_FALSE(one.empty()) << n;
    for (const int threads : {2, 7})
      EXPECT_EQ(switched_loci(n, link_of, threads), one) << n << " loci, " << threads << " threads";
  }
}

// An F2 chromosome of `count` markers along which individuals recombine
// rarely, scored A, B and H.
std::vector<GenotypeRow> chromosome(Rng& rng, int count, int individuals) {
  std::vector<GenotypeRow> rows(static_cast<std::size_t>(count),
                                GenotypeRow(static_cast<std::size_t>(individuals)));
  for (int k = 0; k < individuals; ++k) {
    int g[2] = {static_cast<int>(rng() % 2), static_cast<int>(rng() % 2)};
    for (int m = 0; m < count; ++m) {
      for (int& gamete : g)
        if (rng() % 20 == 0) gamete ^= 1;
      rows[static_cast<std::size_t>(m)][static_cast<std::size_t>(k)] =
          g[0] != g[1] ? kCodeH : g[0] == 0 ? kCodeA : kCodeB;
    }
  }
  return rows;
}

TEST(SwitchedLoci, APlantedSwitchedMarkerIsFoundAndAnUnlinkedOneIsNot) {
  Rng rng(5);
  std::vector<GenotypeRow> rows = chromosome(rng, 8, 150);
  exchange_alleles(rows[5]);
  // A marker of another chromosome, unlinked to all.
  rows.push_back(chromosome(rng, 1, 150)[0]);
  const float core = 16.0f;
  // As scored, locus 5 looks unlinked to its neighbours; exchanged, it links.
  EXPECT_LT(pair_lod(rows, 4, 5).lod, core);
  const LodPlanes matrix = build_lod_planes(rows);
  EXPECT_EQ(switched_in(matrix, core), (Loci{5}));
  const PhaseLinker linker = phase_linker(matrix, core);
  EXPECT_TRUE(phase_link(linker, 4, 5)->exchanged);
  EXPECT_FALSE(phase_link(linker, 3, 4)->exchanged);
  for (std::size_t i = 0; i < 8; ++i) EXPECT_FALSE(phase_link(linker, i, 8)) << i;
}

TEST(SwitchedLoci, InTwoClassPopulationsToo) {
  Rng rng(6);
  std::vector<GenotypeRow> f2 = chromosome(rng, 6, 120);
  // Doubled haploids from the first gametes: H reads as the gamete's class.
  std::vector<GenotypeRow> dh = f2, bc1 = f2;
  for (GenotypeRow& row : dh)
    for (int& c : row) c = c == kCodeH ? kCodeB : c;
  for (GenotypeRow& row : bc1)
    for (int& c : row) c = c == kCodeB ? kCodeA : c;  // A/H
  exchange_alleles(dh[2]);
  exchange_alleles(dh[3]);
  exchange_alleles(bc1[0]);  // first marker scored B/H: the other five are the majority
  EXPECT_EQ(switched_in(build_lod_planes(dh, P::DH), 8.0f), (Loci{2, 3}));
  EXPECT_EQ(switched_in(build_lod_planes(bc1, P::BC1), 8.0f), (Loci{0}));
}

// Rows mixing near copies of a base row, their exchanged copies, unlinked
// rows, and rows with dominant, missing and impossible codes.
std::vector<GenotypeRow> mixed_rows(Rng& rng, P type, int n) {
  const int classes[] = {kCodeA, type == P::BC1 ? kCodeH : kCodeB};
  GenotypeRow base(static_cast<std::size_t>(n));
  for (int& c : base) c = type == P::F2 ? static_cast<int>(1 + rng() % 5) : classes[rng() % 2];
  std::vector<GenotypeRow> rows;
  for (int r = 0; r < 18; ++r) {
    GenotypeRow row = base;
    const int changes = static_cast<int>(rng() % static_cast<unsigned>(1 + n / (r % 3 == 0 ? 2 : 6)));
    for (int k = 0; k < changes; ++k) row[rng() % row.size()] = static_cast<int>(rng() % 6);
    if (r % 3 == 1) exchange_alleles(row);
    if (r % 6 == 5)
      for (int& c : row) c = type == P::F2 ? static_cast<int>(rng() % 6) : classes[rng() % 2];
    rows.push_back(row);
  }
  return rows;
}

TEST(PhaseLinks, BitPlanePairsMatchThePlainPairsOverExchangedRows) {
  Rng rng(707);
  for (const P type : {P::F2, P::BC1, P::DH, P::RIL, P::RILsib}) {
    for (const int n : {1, 7, 63, 64, 65, 128, 200}) {
      const std::vector<GenotypeRow> rows = mixed_rows(rng, type, n);
      const LodPlanes matrix = build_lod_planes(rows, type);
      std::vector<float> thresholds = {0.5f, 4.0f, 16.0f};
      // Thresholds next to an exact LOD and an exact exchanged LOD.
      GenotypeRow exchanged = rows[4];
      exchange_alleles(exchanged);
      for (const float lod : {grouping_pair_lod(type, rows[1], rows[4]).lod,
                              grouping_pair_lod(type, rows[1], exchanged).lod}) {
        thresholds.push_back(std::nextafter(lod, -1.0f));
        thresholds.push_back(lod);
      }
      for (const float t : thresholds) {
        SCOPED_TRACE(::testing::Message() << population_name(type) << ", " << n
                                          << " individuals, threshold " << t);
        const PhaseLinker linker = phase_linker(matrix, t);
        for (std::size_t i = 0; i < rows.size(); ++i)
          for (std::size_t j = 0; j < rows.size(); ++j) {
            const std::optional<PhaseLink> fast = phase_link(linker, i, j);
            const std::optional<PhaseLink> plain = plain_phase_link(rows, type, i, j, t);
            ASSERT_EQ(fast.has_value(), plain.has_value()) << i << "," << j;
            if (!fast) continue;
            EXPECT_EQ(std::bit_cast<std::uint32_t>(fast->strength),
                      std::bit_cast<std::uint32_t>(plain->strength));
            EXPECT_EQ(fast->exchanged, plain->exchanged) << i << "," << j;
          }
      }
    }
  }
}

}  // namespace
}  // namespace tarvek
