#include <iostream>

#include "linkage/grouping.hpp"
#include "run/report.hpp"

namespace tarvek {

void core_grouping(const LodMatrix& lods, LinkageGroups& groups, float core_LOD) {
  std::cout << "core grouping..." << std::endl;
  log_stream() << "core grouping..." << std::endl;
  const std::size_t n = lods.n;
  for (std::size_t i = 0; i < n; ++i) {
    const int locus = static_cast<int>(i);
    std::size_t home = groups.size();  // none yet
    for (std::size_t g = 0; g < groups.size(); ++g) {
      LinkageGroup& group = groups[g];
      if (group.empty() || !links_to_any(lods, i, group, core_LOD)) continue;
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
}

}  // namespace tarvek
