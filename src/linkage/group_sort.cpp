#include <algorithm>
#include <iostream>

#include "linkage/grouping.hpp"
#include "run/report.hpp"

namespace tarvek {

void sort_and_prune_groups(LinkageGroups& groups) {
  const std::size_t count = groups.size();
  std::cout << count << " groups";
  log_stream() << count << " groups";
  std::stable_sort(groups.begin(), groups.end(),
                   [](const LinkageGroup& a, const LinkageGroup& b) { return a.size() > b.size(); });
  while (!groups.empty() && groups.back().empty()) groups.pop_back();
  if (groups.size() != count) {
    std::cout << ", cut to " << groups.size();
    log_stream() << ", cut to " << groups.size();
  }
  std::cout << std::endl;
  log_stream() << std::endl;
}

}  // namespace tarvek
