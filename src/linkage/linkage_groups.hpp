#pragma once
// Linkage groups: an ordered list of groups, each an ordered list of locus
// numbers. A group's number in messages and output is its position plus 1.

#include <vector>

namespace tarvek {

using LinkageGroup = std::vector<int>;
using LinkageGroups = std::vector<LinkageGroup>;

}  // namespace tarvek
