// Switched alleles: the phase rule over given links (spanning tree, minority,
// ties), planted switched markers found in genotypes, and the pair pass over
// bit-planes against the plain pass over exchanged rows.

#include "linkage/switched_alleles.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "genotype/genotype_codes.hpp"
#include "genotype/population.hpp"
#include "linkage/lod_matrix.hpp"
#include "linkage/lod_table.hpp"
#include "linkage/population_lod.hpp"

namespace tarvek {
namespace {

using P = PopulationType;
using Rng = std::mt19937;
using Loci = std::vector<int>;

PhaseLink link(int i, int j, float strength, bool exchanged) {
  return PhaseLink{i, j, strength, exchanged};
}

TEST(SwitchedLoci, TheSmallerPhaseOfEachGroupIsFlipped) {
  // Group {0, 1, 2, 3}: 2 exchanged against 1, 3 linked normally to 2 (a
  // run of two switched markers), two against two: the pair without locus 0
  // is flipped. Group {4, 5, 6}: 4 is the odd one out. Locus 7 has no link.
  const std::vector<PhaseLink> links = {
      link(0, 1, 30, false), link(1, 2, 25, true), link(2, 3, 40, false),
      link(4, 5, 20, true),  link(4, 6, 20, true), link(5, 6, 35, false)};
  EXPECT_EQ(switched_loci(links, 8), (Loci{2, 3, 4}));
  // The run of two inside a group of six.
  const std::vector<PhaseLink> run = {link(0, 1, 30, false), link(1, 2, 25, true),
                                      link(2, 3, 40, false), link(3, 4, 20, true),
                                      link(4, 5, 20, false)};
  EXPECT_EQ(switched_loci(run, 6), (Loci{2, 3}));
}

TEST(SwitchedLoci, PhasesFollowTheStrongestLinksOnly) {
  // The weak link 0-2 says "exchanged", but the tree takes 0-1 and 1-2,
  // which say "same": nothing is flipped.
  const std::vector<PhaseLink> links = {link(0, 1, 50, false), link(1, 2, 40, false),
                                        link(0, 2, 20, true), link(2, 3, 45, true)};
  EXPECT_EQ(switched_loci(links, 4), (Loci{3}));
  // Equal strengths: the link with the lower loci comes first.
  const std::vector<PhaseLink> tied = {link(1, 2, 30, true), link(0, 2, 30, false),
                                       link(0, 1, 30, false)};
  // Tree: 0-1 (same), 0-2 (same); 1-2 closes a cycle and is left out.
  EXPECT_EQ(switched_loci(tied, 3), (Loci{}));
}

TEST(SwitchedLoci, TiesFlipTheSetWithoutTheGroupsFirstLocus) {
  EXPECT_EQ(switched_loci({link(0, 1, 20, true)}, 2), (Loci{1}));
  EXPECT_EQ(switched_loci({link(3, 5, 20, true), link(5, 6, 20, false), link(3, 4, 9, false)}, 7),
            (Loci{5, 6}));
  EXPECT_EQ(switched_loci({}, 3), (Loci{}));
  EXPECT_THROW(switched_loci({link(0, 3, 20, true)}, 3), std::out_of_range);
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
  const std::vector<PhaseLink> links = phase_links(build_lod_matrix(rows), core);
  EXPECT_EQ(switched_loci(links, rows.size()), (Loci{5}));
  for (const PhaseLink& l : links) EXPECT_NE(l.j, 8) << "locus 8 links to " << l.i;
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
  EXPECT_EQ(switched_loci(phase_links(build_lod_matrix(dh, P::DH), 8.0f), 6), (Loci{2, 3}));
  EXPECT_EQ(switched_loci(phase_links(build_lod_matrix(bc1, P::BC1), 8.0f), 6), (Loci{0}));
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

TEST(PhaseLinks, BitPlanePassMatchesThePlainPassOverExchangedRows) {
  Rng rng(707);
  for (const P type : {P::F2, P::BC1, P::DH, P::RIL, P::RILsib}) {
    for (const int n : {1, 7, 63, 64, 65, 128, 200}) {
      const std::vector<GenotypeRow> rows = mixed_rows(rng, type, n);
      const LodMatrix matrix = build_lod_matrix(rows, type);
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
        const std::vector<PhaseLink> fast = phase_links(matrix, t);
        const std::vector<PhaseLink> plain = plain_phase_links(rows, type, t);
        ASSERT_EQ(fast.size(), plain.size());
        for (std::size_t k = 0; k < fast.size(); ++k) {
          EXPECT_EQ(fast[k].i, plain[k].i);
          EXPECT_EQ(fast[k].j, plain[k].j);
          EXPECT_EQ(std::bit_cast<std::uint32_t>(fast[k].strength),
                    std::bit_cast<std::uint32_t>(plain[k].strength));
          EXPECT_EQ(fast[k].exchanged, plain[k].exchanged) << fast[k].i << "," << fast[k].j;
        }
      }
    }
  }
}

}  // namespace
}  // namespace tarvek
