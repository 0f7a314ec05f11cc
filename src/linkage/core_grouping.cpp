#include <algorithm>

#include "base/progress.hpp"
#include "linkage/grouping.hpp"

namespace tarvek {

namespace {

constexpr std::size_t kBlock = 64;

// True when locus i links to a member of `group`: the tests against loci
// before the block were made in one sweep; those within it are made here.
template <class Lods>
bool links_to_group(const Lods& lods, const LinkBlock& block, std::size_t i,
                    const LinkageGroup& group, float core_LOD) {
  for (const int member : group) {
    const auto m = static_cast<std::size_t>(member);
    if (m < block.first ? linked(block, i, m) : lod_above(lods, i, m, core_LOD).has_value())
      return true;
  }
  return false;
}

template <class Lods>
void group_by_single_linkage(const Lods& lods, LinkageGroups& groups, float core_LOD,
                             Channels& channels) {
  line_to_console_and_log(channels, "core grouping...");
  const std::size_t n = lods.n;
  // Locus i is compared with the i loci before it: the work grows as i².
  Progress progress = start_progress(channels, "core grouping", n * n, n >= 2000);
  LinkBlock block;
  for (std::size_t i = 0; i < n; ++i) {
    if (i % kBlock == 0) {
      advance_progress(progress, i * i);
      block = link_block(lods, i, std::min(n, i + kBlock), core_LOD);
    }
    const int locus = static_cast<int>(i);
    std::size_t home = groups.size();  // none yet
    for (std::size_t g = 0; g < groups.size(); ++g) {
      LinkageGroup& group = groups[g];
      if (group.empty() || !links_to_group(lods, block, i, group, core_LOD)) continue;
      if (home == groups.size()) {
        home = g;
        group.push_back(locus);
      } else {
        LinkageGroup& target = groups[home];
        target.insert(target.end(), group.begin(), group.end());
        group.clear();
      }
    }
    if (home == groups.size()) groups.push_back(LinkageGroup{locus});
  }
  finish_progress(progress);
}

}  // namespace

void core_grouping(const LodMatrix& lods, LinkageGroups& groups, float core_LOD,
                   Channels& channels) {
  group_by_single_linkage(lods, groups, core_LOD, channels);
}

void core_grouping(const LodTable& lods, LinkageGroups& groups, float core_LOD,
                   Channels& channels) {
  group_by_single_linkage(lods, groups, core_LOD, channels);
}

}  // namespace tarvek
