#include <algorithm>
#include <sstream>
#include <string>

#include "linkage/grouping.hpp"

namespace tarvek {
namespace {

// One pass over the satellites; returns nothing, the list shrinks in place.
template <class Lods>
void satellite_pass(const Lods& lods, LinkageGroups& groups, float min_LOD,
                    std::size_t first_satellite) {
  std::size_t cursor = first_satellite;
  while (cursor < groups.size()) {
    const LinkageGroup& satellite = groups[cursor];
    float best = 0.0f;
    std::size_t best_group = groups.size();
    for (std::size_t g = 0; g < groups.size(); ++g) {
      if (g == cursor) continue;
      // A link counts when it is above min_LOD and strictly above the best
      // so far, so the earliest group holding the largest LOD wins.
      const auto v = strongest_link(lods, satellite, groups[g], std::max(min_LOD, best));
      if (v) {
        best = *v;
        best_group = g;
      }
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

template <class Lods>
void merge_satellites(const Lods& lods, LinkageGroups& groups, float min_LOD, int chromosomes,
                      Channels& channels) {
  std::ostringstream threshold;
  threshold << min_LOD;
  line_to_console_and_log(channels, "Placing satellites with threshold " + threshold.str());
  sort_and_prune_groups(groups, channels);
  const std::size_t wanted = chromosomes < 0 ? 0 : static_cast<std::size_t>(chromosomes);
  std::size_t before = groups.size();
  while (true) {
    to_console_and_log(channels, "placing satellites.. ");
    satellite_pass(lods, groups, min_LOD, wanted);
    line_to_console_and_log(channels, std::to_string(groups.size()) + " groups");
    if (groups.size() == before || groups.size() <= wanted) break;
    before = groups.size();
  }
}

}  // namespace

void place_satellites(const LodMatrix& lods, LinkageGroups& groups, float min_LOD,
                      int chromosomes, Channels& channels) {
  merge_satellites(lods, groups, min_LOD, chromosomes, channels);
}

void place_satellites(const LodTable& lods, LinkageGroups& groups, float min_LOD,
                      int chromosomes, Channels& channels) {
  merge_satellites(lods, groups, min_LOD, chromosomes, channels);
}

}  // namespace tarvek
