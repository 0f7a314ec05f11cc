#pragma once
// Forming linkage groups from the LOD scores: core grouping by single linkage,
// sorting and pruning, and merging satellite groups. The grouping reads the
// scores through lod_above, link_block (or screen_block) and strongest_link, and works the same
// over the computed LodMatrix and the plain LodTable.

#include "base/channels.hpp"
#include "linkage/link_screen.hpp"
#include "linkage/linkage_groups.hpp"
#include "linkage/lod_matrix.hpp"
#include "linkage/lod_table.hpp"

namespace tarvek {

// Single-linkage grouping above core_LOD (strict), in one pass over the loci.
// Groups emptied by absorption keep their place. `groups` must be empty. The
// pair tallies are shared among up to `threads` threads; the groups are the
// same for every number.
void core_grouping(const LodMatrix& lods, LinkageGroups& groups, float core_LOD,
                   Channels& channels, int threads = 1);
void core_grouping(const LodTable& lods, LinkageGroups& groups, float core_LOD,
                   Channels& channels, int threads = 1);
// The same with the clusters of the screen made as `options` say.
void core_grouping(const LodMatrix& lods, LinkageGroups& groups, float core_LOD,
                   Channels& channels, const ScreenOptions& options);

// The connected parts of the graph of phase links at `threshold` (the pairs
// phase_link links), each part's loci in increasing order, the parts in the
// order of their lowest locus. Writes nothing but the progress line.
LinkageGroups phase_linked_parts(const LodMatrix& matrix, float threshold, Channels& channels,
                                 const ScreenOptions& options = {});

// Stable sort by decreasing size, then removal of empty groups; prints the
// "N groups[, cut to M]" line.
void sort_and_prune_groups(LinkageGroups& groups, Channels& channels);

// Merges the groups beyond the first `chromosomes` into the group holding
// their strongest link above min_LOD, in passes, until the count reaches
// `chromosomes` or a pass merges nothing. The groups are searched for a
// satellite's strongest link on up to `threads` threads, with the same result
// for any number of them.
void place_satellites(const LodMatrix& lods, LinkageGroups& groups, float min_LOD,
                      int chromosomes, Channels& channels, int threads = 1);
void place_satellites(const LodTable& lods, LinkageGroups& groups, float min_LOD,
                      int chromosomes, Channels& channels, int threads = 1);

}  // namespace tarvek
