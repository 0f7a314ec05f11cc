#pragma once
// Ruling out the pairs of loci that cannot link, for the core grouping, with
// far fewer tallies than one per pair.
//
// Each locus is read as a row of thirds of a gamete (A 6, H 3, B 0, C 2,
// D 4; two-class: 6 and 0), whose L1 distances bound the recombinant gametes
// of a pair from below. The loci are gathered into clusters around median
// centres; by the triangle inequality one tally of a locus against a centre
// rules out every member far enough from the centre, and the pairs left are
// tallied and bounded one by one. A pair is ruled out exactly when the LOD
// bound (lod_bound.hpp) rules it out: the clusters change how much is
// counted, never the result. docs/design/link_screen.md gives the argument
// with a worked example.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/kernels.hpp"
#include "linkage/lod_planes.hpp"
#include "linkage/phase_link.hpp"

namespace tarvek {

struct LinkScreen {
  const LodPlanes* lods = nullptr;
  float threshold = 0.0f;
  Kernels kernels = Kernels::scalar;    // how the lanes of a block are ruled out
  std::vector<int> exclusion;           // exclusion_table at the threshold (lod_bound.hpp)
  std::size_t words = 0;                // 64-bit words per plane
  // Per locus, five planes: value at least 2, 3, 4 and 6 (thirds), scored.
  std::vector<std::uint64_t> ladder;
  std::vector<std::int32_t> scored;     // per locus: individuals scored
  std::vector<std::uint8_t> codominant; // per locus: scored without dominant codes
  // The clusters (none for small inputs): per cluster its centre's four
  // value planes and its lowest member; per locus its cluster (-1 for none)
  // and its distance d(m) from the centre, in thirds.
  std::vector<std::uint64_t> centres;
  std::vector<std::size_t> first_member;
  std::vector<std::int32_t> cluster;
  std::vector<std::int32_t> spread;
};

struct ScreenOptions {
  // Every seed_step-th locus of a kind (with or without dominant codes) seeds
  // a cluster; 0 picks the step from the number of loci of the kind.
  std::size_t seed_step = 0;
  // A kind with fewer loci than this gets no clusters.
  std::size_t min_loci = 1024;
  int threads = 1;
  Kernels kernels = Kernels::scalar;
};

// The planes, tables and clusters for screening the pairs of `lods` at
// `threshold`. The result does not depend on the number of threads.
LinkScreen link_screen(const LodPlanes& lods, float threshold, const ScreenOptions& options = {});

// The groups of the loci before a block: group_of_label[label[m]] for locus m.
struct GroupLabels {
  const std::uint32_t* label = nullptr;
  const std::size_t* group_of_label = nullptr;
  std::size_t groups = 0;
};

// For every group g and every locus i of a block [first, last) of at most 64
// loci: bit i - first of entry g is set exactly when some locus m before the
// block in group g has a LOD with i above the threshold. Once a link of i to
// a group is found, the group's other loci are not looked at for i, so most
// pairs of loci on one chromosome are never tallied. Shared among up to
// `threads` threads in fixed blocks of earlier loci; the result does not
// depend on how they share them.
std::vector<std::uint64_t> linked_groups(const LinkScreen& screen, std::size_t first,
                                         std::size_t last, const GroupLabels& groups,
                                         int threads = 1);

// Ruling out pairs of loci in both phases at once, for the search for
// switched alleles: a pair links there when the larger of its LOD as scored
// and its LOD with one locus's alleles exchanged (A and B, C and D) is above
// the threshold (phase_link). Exchanging turns a value v into 6 - v and keeps
// the distance of a member from its centre, so the same clusters bound the
// exchanged pairs through the exchanged centres. In a backcross exchanging
// is not looked at (it keeps the classes), so only the LOD as scored counts.
struct PhaseScreen {
  const LinkScreen* screen = nullptr;
  const PhaseLinker* linker = nullptr;  // at the screen's threshold
  bool exchanged_too = true;
  std::vector<std::uint64_t> exchanged_centres;  // the centres with values 6 - v
};

PhaseScreen phase_screen(const LinkScreen& screen, const PhaseLinker& linker);

// linked_groups for phase links: bit i - first of entry g is set exactly when
// some locus m before the block in group g has a phase link with i.
std::vector<std::uint64_t> phase_linked_groups(const PhaseScreen& phases, std::size_t first,
                                               std::size_t last, const GroupLabels& groups,
                                               int threads = 1);

// The mask of the lanes k < lanes whose pair cannot be ruled out through the
// centre: bit k set when centre[k] - need[k] < spread. Plain and AVX2 versions.
std::uint64_t open_lanes_scalar(const std::int32_t* centre, const std::int32_t* need,
                               std::int32_t spread, std::size_t lanes);
std::uint64_t open_lanes_avx2(const std::int32_t* centre, const std::int32_t* need,
                              std::int32_t spread, std::size_t lanes);

}  // namespace tarvek
