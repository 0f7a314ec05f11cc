// The multipoint map model on cases worked out by hand: the likelihood of
// two markers under each emission and transition, EM's estimate where it
// has a closed form, a planted singleton that the error calls find, and the
// properties every estimate must keep (a likelihood that never falls, r
// inside (0, 0.5), the same numbers on any number of threads, no underflow
// on long groups).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "genotype/genotype_codes.hpp"
#include "genotype/population.hpp"
#include "multipoint/map_estimate.hpp"

namespace tarvek {
namespace {

constexpr int M = kMissing, A = kCodeA, B = kCodeB, C = kCodeC, D = kCodeD, H = kCodeH, F = kFlagged;
using P = PopulationType;

GroupObservations observe(P type, const std::vector<GenotypeRow>& rows,
                          const std::vector<std::size_t>& starts = {}) {
  std::vector<const GenotypeRow*> pointers;
  for (const GenotypeRow& row : rows) pointers.push_back(&row);
  return observe_group(type, pointers, starts);
}

MapEstimateOptions fixed_error(double rate, int cap = kMapIterationCap) {
  MapEstimateOptions o;
  o.error_rate = rate;
  o.iteration_cap = cap;
  return o;
}

// A small deterministic stream for made-up genotypes.
struct Stream {
  std::uint64_t state;
  double next() {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state >> 11) * 0x1.0p-53;
  }
};

// Genotypes of a chain of markers: each of `n` individuals carries two
// gametes (F2) or one (the two-class types, doubled for DH and inbred
// lines) that switch parent with probability r between markers; a share of
// scores is wrong and a share missing.
std::vector<GenotypeRow> simulate(P type, std::size_t markers, std::size_t n, double r, double error,
                                  double missing, std::uint64_t seed) {
  Stream s{seed};
  std::vector<GenotypeRow> rows(markers, GenotypeRow(n, M));
  for (std::size_t i = 0; i < n; ++i) {
    int g0 = s.next() < 0.5, g1 = s.next() < 0.5;
    for (std::size_t k = 0; k < markers; ++k) {
      if (k > 0 && s.next() < r) g0 ^= 1;
      if (k > 0 && s.next() < r) g1 ^= 1;
      int code = 0;
      if (type == P::F2) code = g0 != g1 ? H : g0 ? B : A;
      else if (type == P::BC1) code = g0 ? H : A;
      else code = g0 ? B : A;
      if (s.next() < error) {
        if (type == P::F2) code = code == A ? H : code == H ? B : A;
        else if (type == P::BC1) code = code == A ? H : A;
        else code = code == A ? B : A;
      }
      if (s.next() < missing) code = M;
      rows[k][i] = code;
    }
  }
  return rows;
}

TEST(MultipointModel, LikelihoodOfTwoF2MarkersWithDominantScores) {
  // r = 0.2 (q = 0.8), ε = 0.1; four phase-known states with prior 1/4.
  // Individual 1 scores A then C (not A). Emissions of A: AA 0.9, AB 0.05,
  // BA 0.05, BB 0.05; of C: AA 0.1, AB 0.95, BA 0.95, BB 0.95. Summed over the
  // second state, T·e(C) is 0.64·0.1 + (0.16 + 0.16 + 0.04)·0.95 = 0.406 from
  // AA, 0.16·0.1 + 0.84·0.95 = 0.814 from AB and BA, 0.04·0.1 + 0.96·0.95 =
  // 0.916 from BB. P = (0.9·0.406 + 2·0.05·0.814 + 0.05·0.916)/4 = 0.12315.
  // Individual 2 scores H then D (not B): by the mirror image,
  // P = (0.05·0.916 + 2·0.9·0.814 + 0.05·0.406)/4 = 0.382825.
  // Individual 3 scores only B: P = (0.05 + 0.05 + 0.05 + 0.9)/4 = 0.2625.
  // Individual 4 scores nothing: P = 1.
  const GroupObservations g = observe(P::F2, {{A, H, B, M}, {C, D, M, F}});
  const GroupMap map = estimate_group_map(g, fixed_error(0.1, 1), {0.2});
  EXPECT_EQ(map.iterations, 1);
  EXPECT_NEAR(map.log10_likelihood, std::log10(0.12315 * 0.382825 * 0.2625), 1e-12);
}

TEST(MultipointModel, LikelihoodOfTwoClassMarkersUsesEachTypesShare) {
  // One individual scored A then B, ε = 0: P = R/2 with the recombinant
  // share R of r = 0.1: 0.1 (BC1, DH), 2r/(1+2r) = 1/6 (RIL), 4r/(1+6r) =
  // 1/4 (RILsib). A backcross marker scores its classes A and H.
  const struct {
    P type;
    int second;
    double share;
  } cases[] = {{P::BC1, H, 0.1}, {P::DH, B, 0.1}, {P::RIL, B, 1.0 / 6.0}, {P::RILsib, B, 0.25}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(population_name(c.type)));
    EXPECT_NEAR(population_model(c.type).share_of_r(0.1), c.share, 1e-15);
    EXPECT_NEAR(population_model(c.type).r_of_share(c.share), 0.1, 1e-15);
    const GroupObservations g = observe(c.type, {{A, A}, {c.second, A}});
    const GroupMap map = estimate_group_map(g, fixed_error(0.0, 1), {0.1});
    // The second individual: A at both, no recombinant: (1 − R)/2.
    EXPECT_NEAR(map.log10_likelihood, std::log10(c.share / 2 * (1 - c.share) / 2), 1e-12);
  }
}

TEST(MultipointModel, WithoutErrorsTwoMarkersGiveTheRecombinantShare) {
  // 12 individuals: 10 typed at both markers, 2 of them recombinant; one
  // typed only at the first, one only at the second (no information on r).
  // EM reaches R/N = 0.2 as the share; r is the type's transform of it:
  // BC1, DH 0.2; RIL 0.2/(2·0.8) = 0.125; RILsib 0.2/(4 − 1.2) = 0.0714286.
  const struct {
    P type;
    int second;
    double r;
  } cases[] = {{P::BC1, H, 0.2}, {P::DH, B, 0.2}, {P::RIL, B, 0.125}, {P::RILsib, B, 0.2 / 2.8}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(population_name(c.type)));
    const int S = c.second;
    const GroupObservations g = observe(c.type, {{A, A, A, A, A, S, S, S, S, S, A, M},
                                                 {A, A, A, A, S, S, S, S, S, A, M, S}});
    const GroupMap map = estimate_group_map(g, fixed_error(0.0));
    EXPECT_TRUE(map.converged);
    ASSERT_EQ(map.r.size(), 1u);
    EXPECT_NEAR(map.r[0], c.r, 1e-9);
  }
}

TEST(MultipointModel, SmallErrorRateOnCompleteDataGivesTheTwoPointShares) {
  // With every genotype typed and ε → 0, each interval's estimate is its
  // count of recombinants over N, as the two-point estimate of neighbours.
  for (const P type : {P::BC1, P::DH}) {
    SCOPED_TRACE(std::string(population_name(type)));
    const std::vector<GenotypeRow> rows = simulate(type, 6, 80, 0.15, 0.0, 0.0, 7);
    const GroupMap map = estimate_group_map(observe(type, rows), fixed_error(1e-9));
    ASSERT_EQ(map.r.size(), 5u);
    for (std::size_t k = 0; k + 1 < rows.size(); ++k) {
      int recombinant = 0;
      for (std::size_t i = 0; i < 80; ++i) recombinant += rows[k][i] != rows[k + 1][i];
      EXPECT_NEAR(map.r[k], recombinant / 80.0, 1e-6) << "interval " << k;
    }
  }
}

TEST(MultipointModel, PlantedSingletonIsTheOneErrorCalled) {
  // Doubled haploids at five markers; 40 individuals, half of them A and half
  // B throughout, except crossovers between markers 3 and 4 in individuals
  // 0-5; individual 7's score at marker 2 is flipped to B.
  std::vector<GenotypeRow> rows(5, GenotypeRow(40, A));
  for (std::size_t i = 20; i < 40; ++i)
    for (auto& row : rows) row[i] = B;
  for (std::size_t i = 0; i < 6; ++i) rows[4][i] = B;
  rows[2][7] = B;
  const GroupObservations g = observe(P::DH, rows);
  const GroupMap map = estimate_group_map(g, MapEstimateOptions{});
  EXPECT_GT(map.error_rate, 0.0);
  EXPECT_LT(map.error_rate, 0.05);
  // The crossovers stay crossovers: the interval 3-4 holds about 6/40.
  EXPECT_NEAR(map.r[3], 6.0 / 40.0, 0.01);
  EXPECT_LT(map.r[1] + map.r[2], 0.01);
  const std::vector<ErrorCall> calls = call_errors(g, map, 2.0);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].marker, 2u);
  EXPECT_EQ(calls[0].column, 7u);
  EXPECT_EQ(calls[0].observed, B);
  EXPECT_EQ(calls[0].likely, A);
  EXPECT_GT(calls[0].probability, 0.99);
  // With ε fixed at 0 no score can be an error.
  EXPECT_TRUE(call_errors(g, estimate_group_map(g, fixed_error(0.0)), -100.0).empty());
}

TEST(MultipointModel, EmNeverLowersTheLikelihoodAndKeepsRInside) {
  for (const P type : {P::F2, P::BC1, P::RIL}) {
    SCOPED_TRACE(std::string(population_name(type)));
    const std::vector<GenotypeRow> rows = simulate(type, 25, 60, 0.05, 0.02, 0.1, 11);
    const GroupObservations g = observe(type, rows);
    double previous = -1e300;
    for (int cap = 1; cap <= 12; ++cap) {
      MapEstimateOptions o;
      o.iteration_cap = cap;
      o.likelihood_gain = 0.0;
      o.tolerance = 0.0;
      const GroupMap map = estimate_group_map(g, o);
      EXPECT_GE(map.log10_likelihood, previous - 1e-9) << "iteration " << cap;
      previous = map.log10_likelihood;
      for (const double r : map.r) EXPECT_TRUE(r > 0.0 && r < 0.5) << r;
    }
  }
}

TEST(MultipointModel, SegmentsAreChainsOfTheirOwn) {
  // A group of two segments estimates, at a fixed ε, what each segment gives
  // alone; the break itself reads 0.5.
  const std::vector<GenotypeRow> rows = simulate(P::F2, 8, 50, 0.1, 0.02, 0.05, 3);
  MapEstimateOptions o = fixed_error(0.02);
  o.likelihood_gain = 0.0;  // to full convergence, for all three
  o.tolerance = 1e-10;
  const GroupMap whole = estimate_group_map(observe(P::F2, rows, {5}), o);
  const GroupMap top = estimate_group_map(observe(P::F2, {rows.begin(), rows.begin() + 5}), o);
  const GroupMap bottom = estimate_group_map(observe(P::F2, {rows.begin() + 5, rows.end()}), o);
  ASSERT_EQ(whole.r.size(), 7u);
  for (std::size_t k = 0; k < 4; ++k) EXPECT_NEAR(whole.r[k], top.r.at(k), 1e-8);
  EXPECT_EQ(whole.r[4], 0.5);
  for (std::size_t k = 0; k < 2; ++k) EXPECT_NEAR(whole.r[5 + k], bottom.r.at(k), 1e-8);
}

TEST(MultipointModel, SameNumbersOnAnyNumberOfThreads) {
  const std::vector<GenotypeRow> rows = simulate(P::F2, 400, 300, 0.01, 0.02, 0.05, 5);
  const GroupObservations g = observe(P::F2, rows);
  MapEstimateOptions one, four;
  one.threads = 1;
  four.threads = 4;
  const GroupMap a = estimate_group_map(g, one);
  const GroupMap b = estimate_group_map(g, four);
  EXPECT_EQ(a.r, b.r);
  EXPECT_EQ(a.error_rate, b.error_rate);
  EXPECT_EQ(a.iterations, b.iterations);
  // Many groups at once: each as estimated alone, on any number of threads.
  std::vector<GroupObservations> groups;
  for (std::uint64_t seed = 1; seed <= 6; ++seed)
    groups.push_back(observe(P::DH, simulate(P::DH, 30, 40, 0.05, 0.02, 0.05, seed)));
  groups.push_back(g);
  MapEstimateOptions three;
  three.threads = 3;
  const std::vector<GroupMap> all = estimate_groups(groups, three, {});
  ASSERT_EQ(all.size(), groups.size());
  for (std::size_t k = 0; k < groups.size(); ++k) EXPECT_EQ(all[k].r, estimate_group_map(groups[k], one).r) << k;
  const auto calls_a = call_errors(g, a, 2.0, 1);
  const auto calls_b = call_errors(g, a, 2.0, 4);
  ASSERT_EQ(calls_a.size(), calls_b.size());
  for (std::size_t i = 0; i < calls_a.size(); ++i) {
    EXPECT_EQ(calls_a[i].marker, calls_b[i].marker);
    EXPECT_EQ(calls_a[i].column, calls_b[i].column);
    EXPECT_EQ(calls_a[i].error_lod, calls_b[i].error_lod);
  }
}

TEST(MultipointModel, TenThousandMarkersWithoutUnderflow) {
  // Nearly no crossovers over 10,000 markers: the forward and backward
  // products of the pass would underflow a hundred times over unscaled.
  for (const P type : {P::F2, P::DH}) {
    SCOPED_TRACE(std::string(population_name(type)));
    const std::vector<GenotypeRow> rows = simulate(type, 10000, 12, 0.0002, 0.01, 0.05, 9);
    const GroupObservations g = observe(type, rows);
    const GroupMap map = estimate_group_map(g, MapEstimateOptions{});
    EXPECT_TRUE(std::isfinite(map.log10_likelihood));
    EXPECT_LT(map.log10_likelihood, -1000.0);
    EXPECT_TRUE(std::isfinite(map.error_rate));
    double total = 0.0;
    for (const double r : map.r) {
      ASSERT_TRUE(r > 0.0 && r < 0.5) << r;
      total += r;
    }
    EXPECT_LT(total, 10.0);
    for (const ErrorCall& c : call_errors(g, map, 0.0)) ASSERT_TRUE(std::isfinite(c.error_lod));
  }
}

}  // namespace
}  // namespace tarvek
