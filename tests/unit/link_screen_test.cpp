// Screening pairs through cluster centres: the screened bits are exactly the
// pairs the LOD bound leaves, the linked groups exactly those of the plain
// table, and core grouping gives the table's groups, for every population
// type, at sizes around the 64-bit word boundaries, with dominant codes and
// missing scores, with and without clusters, at several thread counts.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "base/kernels.hpp"
#include "genotype/genotype_codes.hpp"
#include "genotype/population.hpp"
#include "linkage/grouping.hpp"
#include "linkage/link_screen.hpp"
#include "linkage/lod_bound.hpp"
#include "linkage/lod_planes.hpp"
#include "linkage/lod_table.hpp"
#include "linkage/switched_alleles.hpp"
#include "support/channels.hpp"
#include "support/linkage_checks.hpp"

namespace tarvek {
namespace {

using Rng = std::mt19937;
using P = PopulationType;

int below(Rng& rng, int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }
std::size_t idx(int v) { return static_cast<std::size_t>(v); }

// A simulated population: `chromosomes` runs of `per_chromosome` markers; in
// every individual each of two gametes switches parent between neighbouring
// markers with chance 1 in `switch_every`. An F2 combines two F1 gametes
// (every fifth marker dominant, scored A/C or B/D), a backcross an F1 gamete
// with parent A's, the inbred types double one gamete. 2% of the scores are
// wrong, 6% missing, then the rows are shuffled. Extra rows: unlinked ones,
// one mostly missing and one all missing.
std::vector<GenotypeRow> simulated_rows(Rng& rng, P type, int individuals, int chromosomes,
                                        int per_chromosome, int switch_every = 10) {
  std::vector<GenotypeRow> rows;
  const int classes[3] = {kCodeA, kCodeH, kCodeB};
  for (int c = 0; c < chromosomes; ++c) {
    std::vector<int> first(idx(individuals)), second(idx(individuals));
    for (int& p : first) p = below(rng, 2);
    for (int& p : second) p = below(rng, 2);
    for (int m = 0; m < per_chromosome; ++m) {
      GenotypeRow row(idx(individuals));
      const int dominant = type == P::F2 && m % 5 == 4 ? 1 + below(rng, 2) : 0;
      for (std::size_t k = 0; k < row.size(); ++k) {
        if (below(rng, switch_every) == 0) first[k] ^= 1;
        if (below(rng, switch_every) == 0) second[k] ^= 1;
        int code;
        switch (type) {
          case P::F2: code = classes[first[k] + second[k]]; break;
          case P::BC1: code = first[k] == 0 ? kCodeA : kCodeH; break;
          default: code = first[k] == 0 ? kCodeA : kCodeB; break;
        }
        if (below(rng, 50) == 0) {
          const int other = type == P::BC1 ? (code == kCodeA ? kCodeH : kCodeA)
                            : type == P::F2 ? classes[below(rng, 3)]
                                            : (code == kCodeA ? kCodeB : kCodeA);
          code = other;
        }
        if (dominant == 1 && code != kCodeA) code = kCodeC;
        if (dominant == 2 && code != kCodeB) code = kCodeD;
        if (below(rng, 100) < 6) code = kMissing;
        row[k] = code;
      }
      rows.push_back(row);
    }
  }
  for (int extra = 0; extra < 4; ++extra) {
    GenotypeRow row(idx(individuals));
    for (int& code : row)
      code = type == P::F2 ? classes[below(rng, 3)]
                           : below(rng, 2) == 0 ? kCodeA : (type == P::BC1 ? kCodeH : kCodeB);
    if (extra == 2)
      for (int& code : row) code = below(rng, 8) == 0 ? code : kMissing;
    if (extra == 3) std::fill(row.begin(), row.end(), kMissing);
    rows.push_back(row);
  }
  for (std::size_t i = rows.size(); i > 1; --i) std::swap(rows[i - 1], rows[idx(below(rng, static_cast<int>(i)))]);
  return rows;
}

const P kTypes[] = {P::F2, P::BC1, P::DH, P::RIL, P::RILsib};
const int kIndividuals[] = {1, 63, 64, 65, 130};

// Clusters made on any number of loci, seeded every `step`-th one; the
// lanes of a block ruled out as fast as this processor can.
ScreenOptions forced(std::size_t step, int threads = 1) {
  return {.seed_step = step, .min_loci = 1, .threads = threads, .kernels = fastest_kernels()};
}

// Blocks at and around the word boundaries of the earlier loci, and the last
// (shorter) block.
std::vector<std::pair<std::size_t, std::size_t>> test_blocks(std::size_t n) {
  std::vector<std::pair<std::size_t, std::size_t>> blocks;
  for (const std::size_t first : {std::size_t{1}, std::size_t{63}, std::size_t{64},
                                  std::size_t{65}, std::size_t{128}, n - 70, n - 1})
    if (first < n) blocks.emplace_back(first, std::min(n, first + 64));
  blocks.emplace_back(n - 5, n - 2);
  return blocks;
}

TEST(LinkScreen, ScreenedBitsAreThePairsTheBoundLeaves) {
  Rng rng(11);
  for (const P type : kTypes)
    for (const int individuals : kIndividuals) {
      const std::vector<GenotypeRow> rows = simulated_rows(rng, type, individuals, 3, 70);
      const LodPlanes matrix = build_lod_planes(rows, type);
      const std::size_t n = matrix.n;
      const float some_lod = testing::lod_of(matrix, 5, 6);
      for (const float threshold : {0.5f, 4.0f, 16.0f, std::nextafter(some_lod, 0.0f)}) {
        const std::vector<int> exclusion = exclusion_table(type, matrix.planes.positions, threshold);
        for (const std::size_t step : {std::size_t{0}, std::size_t{1}, std::size_t{3}, std::size_t{9}}) {
          const LinkScreen screen = link_screen(matrix, threshold, step == 0 ? ScreenOptions{} : forced(step));
          for (const auto& [first, last] : test_blocks(n)) {
            const testing::LinkBlock block =
                testing::screen_block(screen, first, last, step % 2 == 0 ? 1 : 3);
            for (std::size_t i = first; i < last; ++i)
              for (std::size_t m = 0; m < first; ++m)
                ASSERT_EQ(testing::linked(block, i, m),
                          !testing::bound_rules_out(rows, type, exclusion, i, m))
                    << population_name(type) << ", " << individuals << " individuals, step "
                    << step << ", threshold " << threshold << ", pair " << i << "," << m;
          }
        }
      }
    }
}

// The groups of the loci before a block as vectors for linked_groups.
struct Labels {
  std::vector<std::uint32_t> label;
  std::vector<std::size_t> group;
  GroupLabels view() const { return {label.data(), group.data(), group.size()}; }
};

TEST(LinkScreen, LinkedGroupsAreThoseOfThePlainTable) {
  Rng rng(12);
  for (const P type : kTypes)
    for (const int individuals : kIndividuals) {
      const std::vector<GenotypeRow> rows = simulated_rows(rng, type, individuals, 3, 60);
      const LodPlanes matrix = build_lod_planes(rows, type);
      const LodTable table = build_lod_table(rows, type);
      const std::size_t n = matrix.n;
      for (const float threshold : {2.0f, 8.0f}) {
        const LinkScreen screen = link_screen(matrix, threshold, forced(1 + idx(below(rng, 6))));
        for (const auto& [first, last] : test_blocks(n)) {
          // Labels in a random order onto groups: one group, a few, or one per locus.
          Labels labels;
          const std::size_t count = first % 3 == 0 ? 1 : first % 3 == 1 ? 5 : first;
          for (std::size_t g = 0; g < count; ++g) labels.group.push_back(count - 1 - g);
          for (std::size_t m = 0; m < n; ++m)
            labels.label.push_back(static_cast<std::uint32_t>(below(rng, static_cast<int>(count))));
          std::vector<std::uint64_t> plain(count, 0);
          for (std::size_t i = first; i < last; ++i)
            for (std::size_t m = 0; m < first; ++m)
              if (lod_at(table, i, m) > threshold)
                plain[labels.group[labels.label[m]]] |= std::uint64_t{1} << (i - first);
          for (const int threads : {1, 2, 5})
            EXPECT_EQ(linked_groups(screen, first, last, labels.view(), threads), plain)
                << population_name(type) << ", " << individuals << " individuals, block " << first
                << ".." << last << ", " << threads << " threads, threshold " << threshold;
        }
      }
    }
}

LinkageGroups grouped(const LodPlanes& matrix, float core_LOD, const ScreenOptions& options) {
  testing::CapturedChannels io;
  LinkageGroups groups;
  core_grouping(matrix, groups, core_LOD, io.channels, options);
  return groups;
}

TEST(LinkScreen, CoreGroupingGivesTheTablesGroupsWithAnyClustersAndThreads) {
  Rng rng(13);
  for (const P type : kTypes)
    for (const int individuals : {40, 64, 65, 129}) {
      const std::vector<GenotypeRow> rows = simulated_rows(rng, type, individuals, 4, 50, 6);
      const LodPlanes matrix = build_lod_planes(rows, type);
      const LodTable table = build_lod_table(rows, type);
      for (const float core_LOD : {3.0f, 9.0f}) {
        testing::CapturedChannels io;
        LinkageGroups expected;
        plain_core_grouping(table, expected, core_LOD, io.channels);
        for (const int threads : {1, 2, 7})
          for (const std::size_t step : {std::size_t{1}, std::size_t{4}, std::size_t{16}})
            EXPECT_EQ(grouped(matrix, core_LOD, forced(step, threads)), expected)
                << population_name(type) << ", " << individuals << " individuals, core LOD "
                << core_LOD << ", step " << step << ", " << threads << " threads";
      }
    }
}

TEST(PlaceSatellites, TheTablesMergesAtAnyNumberOfThreads) {
  // 150 groups of ten loci, cut to 10: each satellite's search spans many
  // blocks of groups. The loci are copies of a few rows, some with changes,
  // so that most satellites find equally strong links in several blocks,
  // and the earliest group must win at any number of threads.
  Rng rng(16);
  for (const P type : {P::F2, P::RIL}) {
    const std::vector<GenotypeRow> patterns = simulated_rows(rng, type, 30, 1, 8, 3);
    std::vector<GenotypeRow> rows;
    for (int i = 0; i < 1500; ++i) {
      rows.push_back(patterns[idx(below(rng, static_cast<int>(patterns.size())))]);
      if (below(rng, 4) == 0) rows.back()[idx(below(rng, 30))] = kMissing;
    }
    LinkageGroups start;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (i % 10 == 0) start.emplace_back();
      start.back().push_back(static_cast<int>(i));
    }
    testing::CapturedChannels plain_io;
    LinkageGroups expected = start;
    plain_place_satellites(build_lod_table(rows, type), expected, 2.0f, 10, plain_io.channels);
    EXPECT_LT(expected.size(), 50u);
    const LodPlanes matrix = build_lod_planes(rows, type);
    for (const int threads : {1, 3, 7}) {
      testing::CapturedChannels io;
      LinkageGroups groups = start;
      place_satellites(matrix, groups, 2.0f, 10, io.channels, threads);
      EXPECT_EQ(groups, expected) << population_name(type) << ", " << threads << " threads";
      EXPECT_EQ(io.console_text(), plain_io.console_text());
      EXPECT_EQ(io.log_text(), plain_io.log_text());
    }
  }
}

// The connected parts of the graph of the pairs plain_phase_link links, by
// union of every linked pair, each part sorted, parts by lowest locus.
LinkageGroups plain_phase_parts(const std::vector<GenotypeRow>& rows, P type, float threshold) {
  const std::size_t n = rows.size();
  std::vector<std::size_t> root(n);
  for (std::size_t i = 0; i < n; ++i) root[i] = i;
  const auto find = [&](std::size_t x) {
    while (root[x] != x) x = root[x] = root[root[x]];
    return x;
  };
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = i + 1; j < n; ++j)
      if (plain_phase_link(rows, type, i, j, threshold)) root[find(j)] = find(i);
  LinkageGroups parts;
  std::vector<std::size_t> part_of(n, n);
  for (std::size_t i = 0; i < n; ++i) {
    std::size_t& p = part_of[find(i)];
    if (p == n) {
      p = parts.size();
      parts.emplace_back();
    }
    parts[p].push_back(static_cast<int>(i));
  }
  return parts;
}

TEST(PhaseLinkedParts, AreThePartsOfThePlainPhaseLinks) {
  // Every sixth marker has its alleles exchanged, so that chromosomes hold
  // together only through exchanged links; clusters of any size, and threads.
  Rng rng(17);
  for (const P type : kTypes)
    for (const int individuals : {30, 65, 130}) {
      std::vector<GenotypeRow> rows = simulated_rows(rng, type, individuals, 3, 50, 8);
      for (std::size_t i = 0; i < rows.size(); i += 6) exchange_alleles(rows[i]);
      const LodPlanes matrix = build_lod_planes(rows, type);
      for (const float threshold : {3.0f, 8.0f}) {
        const LinkageGroups expected = plain_phase_parts(rows, type, threshold);
        if (threshold < 4.0f && individuals > 30) {
          EXPECT_LT(expected.size(), rows.size() / 4);  // the parts are not all single loci
        }
        for (const std::size_t step : {std::size_t{1}, std::size_t{5}})
          for (const int threads : {1, 3}) {
            testing::CapturedChannels io;
            EXPECT_EQ(phase_linked_parts(matrix, threshold, io.channels, forced(step, threads)), expected)
                << population_name(type) << ", " << individuals << " individuals, threshold "
                << threshold << ", step " << step << ", " << threads << " threads";
            EXPECT_EQ(io.console_text(), "");
            EXPECT_EQ(io.log_text(), "");
          }
      }
    }
}

TEST(PhaseLinkedParts, SwitchedLociByPartsAreThoseOfOneSearchOverAllLoci) {
  // Runs of exchanged markers; few individuals, so that equally strong links
  // are common; 1,100 loci or more put the parts' screen through clusters.
  Rng rng(18);
  struct Case {
    P type;
    int individuals, chromosomes, per_chromosome;
  };
  for (const Case& c : {Case{P::F2, 24, 4, 60}, Case{P::BC1, 40, 4, 60}, Case{P::DH, 30, 4, 60},
                        Case{P::RIL, 30, 4, 60}, Case{P::RILsib, 50, 4, 60}, Case{P::F2, 40, 11, 120},
                        Case{P::RIL, 60, 11, 100}}) {
    std::vector<GenotypeRow> rows =
        simulated_rows(rng, c.type, c.individuals, c.chromosomes, c.per_chromosome, 12);
    for (std::size_t i = 0; i < rows.size(); i += 9)
      for (std::size_t k = i; k < std::min(rows.size(), i + 3); ++k) exchange_alleles(rows[k]);
    const LodPlanes matrix = build_lod_planes(rows, c.type);
    const float threshold = c.individuals < 40 ? 3.0f : 6.0f;
    const PhaseLinker linker = phase_linker(matrix, threshold);
    const std::vector<int> expected = switched_loci(
        matrix.n, [&](std::size_t i, std::size_t j) { return phase_link(linker, i, j); });
    EXPECT_FALSE(expected.empty());
    for (const int threads : {1, 2, 7}) {
      testing::CapturedChannels io;
      EXPECT_EQ(switched_loci_by_parts(matrix, threshold, io.channels,
                                       {.threads = threads, .kernels = fastest_kernels()}), expected)
          << population_name(c.type) << ", " << matrix.n << " loci, " << threads << " threads";
    }
  }
}

TEST(LinkScreen, ClustersDoNotDependOnTheThreads) {
  Rng rng(14);
  const std::vector<GenotypeRow> rows = simulated_rows(rng, P::F2, 130, 4, 300);
  const LodPlanes matrix = build_lod_planes(rows, P::F2);
  const LinkScreen one = link_screen(matrix, 16.0f, forced(0, 1));
  ASSERT_FALSE(one.centres.empty());
  for (const int threads : {2, 3, 16}) {
    const LinkScreen many = link_screen(matrix, 16.0f, forced(0, threads));
    EXPECT_EQ(many.cluster, one.cluster);
    EXPECT_EQ(many.spread, one.spread);
    EXPECT_EQ(many.centres, one.centres);
    EXPECT_EQ(many.first_member, one.first_member);
  }
  // Both kinds of loci have clusters, and no locus is in a cluster of the other kind.
  std::vector<int> kinds(one.first_member.size(), -1);
  for (std::size_t i = 0; i < matrix.n; ++i) {
    if (one.cluster[i] < 0) continue;
    int& kind = kinds[idx(one.cluster[i])];
    if (kind < 0) kind = one.codominant[i];
    EXPECT_EQ(kind, one.codominant[i]) << "locus " << i;
  }
  EXPECT_NE(std::count(kinds.begin(), kinds.end(), 0), 0);
  EXPECT_NE(std::count(kinds.begin(), kinds.end(), 1), 0);
}

TEST(LinkScreen, OpenLanesOfTheAvx2VersionAreThoseOfTheScalarOne) {
  if (fastest_kernels() != Kernels::avx2) GTEST_SKIP() << "this processor has no AVX2";
  Rng rng(15);
  std::vector<std::int32_t> centre(64), need(64);
  for (int trial = 0; trial < 2000; ++trial) {
    for (std::size_t k = 0; k < 64; ++k) {
      centre[k] = below(rng, 4000) - 100;
      need[k] = below(rng, 4000) - 100;
    }
    const std::int32_t spread = below(rng, 200) - 50;
    const std::size_t lanes = 1 + idx(below(rng, 64));
    // Pairs right at the limit.
    for (std::size_t k = 0; k < lanes; k += 3) need[k] = centre[k] - spread + below(rng, 3) - 1;
    EXPECT_EQ(open_lanes_avx2(centre.data(), need.data(), spread, lanes),
              open_lanes_scalar(centre.data(), need.data(), spread, lanes))
        << lanes << " lanes";
  }
}

}  // namespace
}  // namespace tarvek
