#include <algorithm>
#include <sstream>
#include <string>

#include "base/parallel.hpp"
#include "linkage/grouping.hpp"

namespace tarvek {
namespace {

constexpr std::size_t kSatelliteBlock = 16;  // groups per block of a satellite's scan

// One pass over the satellites; returns nothing, the list shrinks in place.
void satellite_pass(const LodPlanes& lods, LinkageGroups& groups, float min_LOD,
                    std::size_t first_satellite, int threads) {
  std::size_t cursor = first_satellite;
  // Per block of groups: its strongest link to the satellite and the group.
  std::vector<float> block_best;
  std::vector<std::size_t> block_group;
  while (cursor < groups.size()) {
    const LinkageGroup& satellite = groups[cursor];
    // A link counts when it is above min_LOD and strictly above the best
    // so far, so the earliest group holding the largest LOD wins. Each block
    // of groups finds its own earliest strongest link; taken in block order
    // with the same rule, they give the group a single pass would find.
    const Blocks blocks{groups.size(), kSatelliteBlock};
    block_best.assign(blocks.number(), 0.0f);
    block_group.assign(blocks.number(), groups.size());
    for_each_block(threads_for_work(threads, satellite.size() * lods.n, 1u << 12), blocks,
                   [&](std::size_t block, std::size_t begin, std::size_t end) {
                     float best = 0.0f;
                     for (std::size_t g = begin; g < end; ++g) {
                       if (g == cursor) continue;
                       const auto v =
                           strongest_link(lods, satellite, groups[g], std::max(min_LOD, best));
                       if (v) {
                         best = *v;
                         block_group[block] = g;
                       }
                     }
                     block_best[block] = best;
                   });
    float best = 0.0f;
    std::size_t best_group = groups.size();
    for (std::size_t b = 0; b < block_best.size(); ++b)
      if (block_group[b] != groups.size() && block_best[b] > best) {
        best = block_best[b];
        best_group = block_group[b];
      }
    if (best > 0.0f) {
      LinkageGroup& target = groups[best_group];
      target.insert(target.end(), satellite.begin(), satellite.end());
      groups.erase(groups.begin() + static_cast<std::ptrdiff_t>(cursor));
    } else {
      ++cursor;
    }
  }
}

// The plain pass, over every pair of a satellite's loci and another group's.
void plain_satellite_pass(const LodTable& lods, LinkageGroups& groups, float min_LOD,
                          std::size_t first_satellite) {
  std::size_t s = first_satellite;
  while (s < groups.size()) {
    float best = 0.0f;
    std::size_t home = groups.size();
    for (std::size_t g = 0; g < groups.size(); ++g) {
      if (g == s) continue;
      for (const int h : groups[g])
        for (const int x : groups[s]) {
          const float lod = lod_at(lods, static_cast<std::size_t>(x), static_cast<std::size_t>(h));
          if (lod > min_LOD && lod > best) {
            best = lod;
            home = g;
          }
        }
    }
    if (home == groups.size()) {
      ++s;
      continue;
    }
    groups[home].insert(groups[home].end(), groups[s].begin(), groups[s].end());
    groups.erase(groups.begin() + static_cast<std::ptrdiff_t>(s));
  }
}

// Passes of `pass(groups, first_satellite)` while they merge and there are
// more groups than chromosomes.
template <class Pass>
void merge_satellites(LinkageGroups& groups, float min_LOD, int chromosomes, Channels& channels,
                      const Pass& pass) {
  std::ostringstream threshold;
  threshold << min_LOD;
  line_to_console_and_log(channels, "Placing satellites with threshold " + threshold.str());
  sort_and_prune_groups(groups, channels);
  const std::size_t wanted = chromosomes < 0 ? 0 : static_cast<std::size_t>(chromosomes);
  std::size_t before = groups.size();
  while (true) {
    to_console_and_log(channels, "placing satellites.. ");
    pass(groups, wanted);
    line_to_console_and_log(channels, std::to_string(groups.size()) + " groups");
    if (groups.size() == before || groups.size() <= wanted) break;
    before = groups.size();
  }
}

}  // namespace

void place_satellites(const LodPlanes& lods, LinkageGroups& groups, float min_LOD,
                      int chromosomes, Channels& channels, int threads) {
  merge_satellites(groups, min_LOD, chromosomes, channels, [&](LinkageGroups& g, std::size_t first) {
    satellite_pass(lods, g, min_LOD, first, threads);
  });
}

void plain_place_satellites(const LodTable& lods, LinkageGroups& groups, float min_LOD,
                            int chromosomes, Channels& channels) {
  merge_satellites(groups, min_LOD, chromosomes, channels, [&](LinkageGroups& g, std::size_t first) {
    plain_satellite_pass(lods, g, min_LOD, first);
  });
}

}  // namespace tarvek
