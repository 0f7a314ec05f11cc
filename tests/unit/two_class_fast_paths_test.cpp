// The LOD matrix of the two-class populations (class planes, popcounts of R
// and N, bound skipping) against the plain two-class estimator, at sizes
// around the 64-bit word boundaries and at thresholds next to the exact LODs.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "genotype/genotype_codes.hpp"
#include "genotype/population.hpp"
#include "linkage/lod_planes.hpp"
#include "linkage/lod_table.hpp"
#include "linkage/population_lod.hpp"
#include "support/linkage_checks.hpp"

namespace tarvek {
namespace {

using Rng = std::mt19937;
using P = PopulationType;

int below(Rng& rng, int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }
std::size_t idx(int v) { return static_cast<std::size_t>(v); }

std::int64_t bits(std::optional<float> v) {
  return v ? std::int64_t{std::bit_cast<std::uint32_t>(*v)} : -1;
}

const int kIndividuals[] = {1, 7, 63, 64, 65, 127, 128, 129, 200};
const P kTwoClass[] = {P::BC1, P::DH, P::RIL, P::RILsib};

// Rows of a two-class population: copies of a base row (scored in the
// type's classes) with a few to many changes, some with the alleles
// exchanged, some scored against the other homozygote, sprinkled with
// missing, impossible and dominant codes, flagged genotypes, and a row of
// nothing but missing codes.
std::vector<GenotypeRow> two_class_rows(Rng& rng, P type, int n) {
  const int second = type == P::BC1 ? kCodeH : kCodeB;
  GenotypeRow base(idx(n));
  for (int& c : base) c = below(rng, 2) == 0 ? kCodeA : second;
  std::vector<GenotypeRow> rows;
  for (int r = 0; r < 20; ++r) {
    GenotypeRow row = base;
    const int changes = r < 4 ? 0 : below(rng, 1 + n / (r % 3 == 0 ? 2 : 8));
    for (int k = 0; k < changes; ++k) {
      int& c = row[idx(below(rng, n))];
      c = c == kCodeA ? second : kCodeA;
    }
    const int noise = r % 5 == 0 ? 0 : below(rng, 1 + n / 6);
    for (int k = 0; k < noise; ++k) row[idx(below(rng, n))] = below(rng, 7);
    if (r % 4 == 1) exchange_alleles(row);
    if (r % 7 == 2) for (int& c : row) c = below(rng, 2) == 0 ? kCodeA : second;  // unlinked
    rows.push_back(row);
  }
  rows.push_back(GenotypeRow(idx(n), kMissing));
  return rows;
}

TEST(TwoClassFastPath, EntriesAndThresholdedEntriesMatchThePlainEstimator) {
  Rng rng(303);
  const float inf = std::numeric_limits<float>::infinity();
  for (const P type : kTwoClass) {
    for (const int n : kIndividuals) {
      const std::vector<GenotypeRow> rows = two_class_rows(rng, type, n);
      const LodPlanes matrix = build_lod_planes(rows, type);
      for (std::size_t i = 0; i < rows.size(); ++i)
        for (std::size_t j = 0; j < rows.size(); ++j) {
          const float lod = grouping_pair_lod(type, rows, i, j).lod;
          SCOPED_TRACE(::testing::Message() << population_name(type) << ", " << n
                                            << " individuals, pair " << i << "," << j);
          ASSERT_EQ(bits(testing::lod_of(matrix, i, j)), bits(lod));
          for (const float floor : {std::nextafter(lod, -inf), lod, std::nextafter(lod, inf),
                                    lod - 1e-3f, lod + 1e-3f, 0.0f, 0.5f, 4.0f, 16.0f, 60.0f})
            EXPECT_EQ(bits(lod_above(matrix, i, j, floor)), lod > floor ? bits(lod) : -1)
                << floor;
        }
    }
  }
}

TEST(TwoClassFastPath, StrongestLinkMatchesThePlainTable) {
  Rng rng(404);
  for (const P type : kTwoClass) {
    for (const int n : kIndividuals) {
      const std::vector<GenotypeRow> rows = two_class_rows(rng, type, n);
      const LodPlanes matrix = build_lod_planes(rows, type);
      const LodTable table = build_lod_table(rows, type);
      const int count = static_cast<int>(rows.size());
      SCOPED_TRACE(::testing::Message() << population_name(type) << ", " << n << " individuals");
      for (int trial = 0; trial < 24; ++trial) {
        const LinkageGroup from{below(rng, count), below(rng, count)};
        const LinkageGroup to{below(rng, count), below(rng, count), below(rng, count)};
        const float fixed[] = {0.5f, 4.0f, 8.0f, 16.0f};
        const float threshold =
            trial % 2 == 0 ? fixed[trial / 2 % 4]
                           : std::nextafter(lod_at(table, idx(from[0]), idx(to[0])), -1.0f);
        std::optional<float> best;
        for (const int h : to)
          for (const int s : from) {
            const float lod = lod_at(table, idx(s), idx(h));
            if (lod > (best ? *best : threshold)) best = lod;
          }
        EXPECT_EQ(bits(strongest_link(matrix, from, to, threshold)), bits(best));
      }
    }
  }
}

}  // namespace
}  // namespace tarvek
