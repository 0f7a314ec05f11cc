#include <algorithm>
#include <string>

#include "linkage/grouping.hpp"

namespace tarvek {

void sort_and_prune_groups(LinkageGroups& groups, Channels& channels) {
  const std::size_t count = groups.size();
  to_console_and_log(channels, std::to_string(count) + " groups");
  std::stable_sort(groups.begin(), groups.end(),
                   [](const LinkageGroup& a, const LinkageGroup& b) { return a.size() > b.size(); });
  while (!groups.empty() && groups.back().empty()) groups.pop_back();
  if (groups.size() != count) to_console_and_log(channels, ", cut to " + std::to_string(groups.size()));
  line_to_console_and_log(channels, "");
}

}  // namespace tarvek
