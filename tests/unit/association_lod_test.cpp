#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "genotype/genotype_codes.hpp"
#include "linkage/independence_lod.hpp"

namespace tarvek {
namespace {

GenotypeRow row_of(const std::string& letters) {
  GenotypeRow row;
  for (const char c : letters) row.push_back(letter_to_code(c));
  return row;
}

// The LOD of association of two rows, as the placement of one candidate
// against one grouped locus reports it (below any threshold, it is placed).
float association_lod(PopulationType type, const GenotypeRow& a, const GenotypeRow& b) {
  std::vector<float> strength;
  associated_groups(type, {a}, {{0}}, {b}, -1.0f, &strength);
  return strength.at(0);
}

TEST(AssociationLod, AgainstTheMarginsNotTheMendelianRatios) {
  // AABB against AABB: cells AA 2, BB 2, margins 2 and 2 of N = 4:
  // 2·log10(2·4/(2·2)) twice = 4·log10 2.
  EXPECT_NEAR(association_lod(PopulationType::F2, row_of("AABB"), row_of("AABB")),
              4.0 * std::log10(2.0), 1e-5);
  // AAAB against ABAB: cells AA 2, AB 1, BB 1; rows A 3, B 1; columns 2, 2:
  // 2·log10(8/6) + log10(4/6) + log10(4/2).
  const double expected = 2.0 * std::log10(8.0 / 6.0) + std::log10(4.0 / 6.0) + std::log10(2.0);
  EXPECT_NEAR(association_lod(PopulationType::F2, row_of("AAAB"), row_of("ABAB")), expected, 1e-5);
  // Independent rows, however distorted: 0. Missing and impossible codes
  // take no part (B in a backcross marker scored A/H).
  EXPECT_NEAR(association_lod(PopulationType::F2, row_of("AAAAAAHH"), row_of("AHAHAHAH")), 0.0,
              1e-6);
  EXPECT_NEAR(association_lod(PopulationType::BC1, row_of("AAHH-B"), row_of("AAHHAA")),
              4.0 * std::log10(2.0), 1e-5);
  EXPECT_EQ(association_lod(PopulationType::F2, row_of("--"), row_of("AB")), 0.0f);
}

TEST(AssociationLod, CandidatesJoinTheGroupOfTheirStrongestLinkPassAfterPass) {
  // Loci 0 and 1 (group 0) are typed on the first ten individuals, locus 2
  // (group 1) is unlinked. Candidate 0 repeats locus 0 there (LOD
  // 6·log10(10/3) + 4·log10(10/4) = 4.73); candidate 1 is typed on the last
  // ten only, where it repeats candidate 0: it meets no grouped locus and is
  // placed through candidate 0 in the second pass. Candidate 2 has one class
  // (LOD 0 to everything).
  const std::vector<GenotypeRow> rows = {row_of("AAAHHHHBBB----------"),
                                         row_of("AAAHHHHBBH----------"),
                                         row_of("ABHABHABHABHABHABHAB")};
  const LinkageGroups groups = {{0, 1}, {2}};
  const std::vector<GenotypeRow> candidates = {row_of("AAAHHHHBBBAAAHHHHBBB"),
                                               row_of("----------AAAHHHHBBB"),
                                               row_of("AAAAAAAAAAAAAAAAAAAA")};
  std::vector<float> strength;
  EXPECT_EQ(associated_groups(PopulationType::F2, rows, groups, candidates, 3.0f, &strength),
            (std::vector<int>{0, 0, -1}));
  const double lod = 6.0 * std::log10(10.0 / 3.0) + 4.0 * std::log10(2.5);
  EXPECT_NEAR(strength[0], lod, 1e-4);
  EXPECT_NEAR(strength[1], lod, 1e-4);
  EXPECT_EQ(associated_groups(PopulationType::F2, rows, groups, candidates, 5.0f),
            (std::vector<int>{-1, -1, -1}));
}

}  // namespace
}  // namespace tarvek
