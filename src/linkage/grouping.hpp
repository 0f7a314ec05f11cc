#pragma once
// Forming linkage groups from the LOD scores: core grouping by single linkage,
// sorting and pruning, and merging satellite groups. The fast versions read
// the computed LodPlanes through the link screen, lod_above and
// strongest_link; the plain versions, written from the definitions, read
// every entry they need from the stored LodTable. Both give the same groups.

#include "base/channels.hpp"
#include "linkage/link_screen.hpp"
#include "linkage/linkage_groups.hpp"
#include "linkage/lod_planes.hpp"
#include "linkage/lod_table.hpp"

namespace tarvek {

// Single-linkage grouping above core_LOD (strict), in one pass over the loci:
// each locus in turn joins the first group, in list order, holding a locus it
// links to, and empties the later groups it links to into that one, in list
// order; a locus linked to none founds a group at the end. Groups emptied so
// keep their place. `groups` must be empty. The clusters of the screen are
// made as `options` say, and the pair tallies are shared among up to
// options.threads threads; the groups are the same for every number.
void core_grouping(const LodPlanes& lods, LinkageGroups& groups, float core_LOD,
                   Channels& channels, const ScreenOptions& options);
// The plain version, locus by locus and group by group over the table.
void plain_core_grouping(const LodTable& lods, LinkageGroups& groups, float core_LOD,
                         Channels& channels);

// The connected parts of the graph of phase links at `threshold` (the pairs
// phase_link links), each part's loci in increasing order, the parts in the
// order of their lowest locus. Writes nothing but the progress line.
LinkageGroups phase_linked_parts(const LodPlanes& lods, float threshold, Channels& channels,
                                 const ScreenOptions& options = {});

// Stable sort by decreasing size, then removal of empty groups; prints the
// "N groups[, cut to M]" line.
void sort_and_prune_groups(LinkageGroups& groups, Channels& channels);

// Merges the groups beyond the first `chromosomes` into the group holding
// their strongest link above min_LOD, in passes, until the count reaches
// `chromosomes` or a pass merges nothing. In a pass each satellite in turn
// moves into the other group holding its strongest link (the earliest of
// equally strong ones), the groups after it moving up; a satellite without
// a link above min_LOD stays. The groups are searched for a satellite's
// strongest link on up to `threads` threads, with the same result for any
// number of them.
void place_satellites(const LodPlanes& lods, LinkageGroups& groups, float min_LOD,
                      int chromosomes, Channels& channels, int threads = 1);
// The same with the plain pass, satellite by satellite and pair by pair over
// the table.
void plain_place_satellites(const LodTable& lods, LinkageGroups& groups, float min_LOD,
                            int chromosomes, Channels& channels);

}  // namespace tarvek
