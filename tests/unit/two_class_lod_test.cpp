// The pair statistics of the two-class populations on small cases worked out
// by hand: the shares, LODs and r of each type, the inbred transforms at their
// ends, and which genotypes are informative.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "genotype/genotype_codes.hpp"
#include "genotype/population.hpp"
#include "linkage/population_lod.hpp"

namespace tarvek {
namespace {

constexpr int M = kMissing, A = kCodeA, B = kCodeB, D = kCodeD, H = kCodeH, F = kFlagged;
using P = PopulationType;

TEST(TwoClassLod, HandWorkedSharesPerType) {
  // N = 10, R = 2: share 0.2.
  // LOD = 10 log10 2 + 2 log10 0.2 + 8 log10 0.8
  //     = 3.010300 - 1.397940 - 0.775280 = 0.837080
  // r: BC1 and DH 0.2; RIL 0.2/(2*0.8) = 0.125; RILsib 0.2/(4 - 1.2) = 0.0714286.
  const struct {
    P type;
    float r;
  } cases[] = {{P::BC1, 0.2f}, {P::DH, 0.2f}, {P::RIL, 0.125f}, {P::RILsib, 0.0714286f}};
  for (const auto& c : cases) {
    const PairLod p = two_class_lod(c.type, 2, 10);
    EXPECT_NEAR(p.r, c.r, 1e-6) << population_name(c.type);
    EXPECT_NEAR(p.lod, 0.837080, 1e-5) << population_name(c.type);
  }
  // N = 20, R = 3: 20 log10 2 + 3 log10 0.15 + 17 log10 0.85 = 2.348995.
  EXPECT_NEAR(two_class_lod(P::DH, 3, 20).lod, 2.348995, 1e-5);
}

TEST(TwoClassLod, TransformsAtTheEndsOfTheShare) {
  for (const P type : {P::BC1, P::DH, P::RIL, P::RILsib}) {
    SCOPED_TRACE(std::string(population_name(type)));
    // Share 0: r 0 in every type, LOD N log10 2 (0 log 0 taken as 0).
    EXPECT_EQ(recombination_of_share(type, 0.0f), 0.0f);
    const PairLod none = two_class_lod(type, 0, 10);
    EXPECT_EQ(none.r, 0.0f);
    EXPECT_NEAR(none.lod, 3.0103, 1e-4);
    // Share 0.5 is free recombination in every type: r 0.5 and LOD 0.
    EXPECT_EQ(recombination_of_share(type, 0.5f), 0.5f);
    EXPECT_EQ(two_class_lod(type, 5, 10).r, 0.5f);
    EXPECT_EQ(two_class_lod(type, 5, 10).lod, 0.0f);
    // Shares above 0.5 are capped there; no informative individual is no linkage.
    EXPECT_EQ(two_class_lod(type, 9, 10).r, 0.5f);
    EXPECT_EQ(two_class_lod(type, 9, 10).lod, 0.0f);
    EXPECT_EQ(two_class_lod(type, 0, 0).r, 0.5f);
    EXPECT_EQ(two_class_lod(type, 0, 0).lod, 0.0f);
  }
  // Inside the range the inbred shares map back to r: 1/6 = 2r/(1+2r) at
  // r = 0.1, and 0.25 = 4r/(1+6r) at r = 0.1.
  EXPECT_NEAR(recombination_of_share(P::RIL, 1.0f / 6.0f), 0.1f, 1e-6);
  EXPECT_NEAR(recombination_of_share(P::RILsib, 0.25f), 0.1f, 1e-6);
}

TEST(TwoClassLod, OnlyGenotypesInTheMarkersClassesAreInformative) {
  // First locus A/H (5 A, 3 H, one B it cannot have, one missing); second
  // B/H (5 B, 4 H, one D). Informative pairs (hom = A or B, het = H):
  //   A-B A-B A-H H-H H-H H-B A-B H-H: N = 8, R = 2 (A-H, H-B)
  // the pairs (-, B), (A, D) and (B, H) are not informative.
  // LOD = 8 log10 2 + 2 log10 0.25 + 6 log10 0.75 = 0.454488, r = 0.25.
  const std::vector<GenotypeRow> rows = {{A, A, A, H, H, H, A, H, M, A, B},
                                         {B, B, H, H, H, B, B, H, B, D, H}};
  const ClassTally t = class_tally(rows[0], marker_classes(P::BC1, rows[0]), rows[1],
                                   marker_classes(P::BC1, rows[1]));
  EXPECT_EQ(t.informative, 8);
  EXPECT_EQ(t.recombinant, 2);
  const PairLod bc1 = grouping_pair_lod(P::BC1, rows, 0, 1);
  EXPECT_FLOAT_EQ(bc1.r, 0.25f);
  EXPECT_NEAR(bc1.lod, 0.454488, 1e-5);
  // The neighbour estimator of the map file is the same; flagged genotypes
  // are not informative.
  std::vector<GenotypeRow> flagged = rows;
  flagged[0][2] = F;  // the A-H pair
  const PairLod neighbours = neighbour_pair_lod(P::BC1, flagged, 0, 1);
  EXPECT_NEAR(neighbours.r, 1.0f / 7.0f, 1e-6);

  // As A/B data the same rows hold 3 informative pairs: A-B, A-B, A-B.
  const PairLod dh = grouping_pair_lod(P::DH, rows, 0, 1);
  EXPECT_EQ(dh.r, 0.5f);
  EXPECT_EQ(dh.lod, 0.0f);
}

TEST(TwoClassLod, F2KeepsTheIntercrossEstimators) {
  const std::vector<GenotypeRow> rows = {{A, A, A, A, B, B, B, H, A, A},
                                         {A, A, A, A, B, B, B, H, H, B}};
  EXPECT_EQ(grouping_pair_lod(P::F2, rows, 0, 1).lod, pair_lod(rows, 0, 1).lod);
  EXPECT_EQ(neighbour_pair_lod(P::F2, rows, 0, 1).lod, adjacent_pair_lod(rows, 0, 1).lod);
}

}  // namespace
}  // namespace tarvek
