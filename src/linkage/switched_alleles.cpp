#include "linkage/switched_alleles.hpp"

#include <algorithm>
#include <numeric>
#include <stdexcept>

namespace tarvek {
namespace {

struct DisjointSets {
  std::vector<std::size_t> parent;
  explicit DisjointSets(std::size_t n) : parent(n) {
    std::iota(parent.begin(), parent.end(), std::size_t{0});
  }
  std::size_t find(std::size_t x) {
    while (parent[x] != x) {
      parent[x] = parent[parent[x]];
      x = parent[x];
    }
    return x;
  }
  // False when x and y were already joined.
  bool join(std::size_t x, std::size_t y) {
    x = find(x);
    y = find(y);
    if (x == y) return false;
    parent[std::max(x, y)] = std::min(x, y);  // the root is the lowest locus
    return true;
  }
};

struct TreeEdge {
  std::size_t to;
  bool exchanged;
};

}  // namespace

std::vector<int> switched_loci(std::vector<PhaseLink> links, std::size_t n) {
  for (const PhaseLink& l : links)
    if (l.i < 0 || l.j < 0 || static_cast<std::size_t>(l.i) >= n ||
        static_cast<std::size_t>(l.j) >= n)
      throw std::out_of_range("phase link locus");
  std::stable_sort(links.begin(), links.end(), [](const PhaseLink& a, const PhaseLink& b) {
    if (a.strength != b.strength) return a.strength > b.strength;
    if (a.i != b.i) return a.i < b.i;
    return a.j < b.j;
  });
  DisjointSets sets(n);
  std::vector<std::vector<TreeEdge>> tree(n);
  for (const PhaseLink& l : links) {
    const auto i = static_cast<std::size_t>(l.i);
    const auto j = static_cast<std::size_t>(l.j);
    if (!sets.join(i, j)) continue;
    tree[i].push_back(TreeEdge{j, l.exchanged});
    tree[j].push_back(TreeEdge{i, l.exchanged});
  }

  // Phases along the tree from each group's lowest locus, which is the first
  // locus of the group met in increasing order.
  std::vector<int> phase(n, -1);
  std::vector<int> flipped;
  std::vector<std::size_t> members;
  for (std::size_t root = 0; root < n; ++root) {
    if (phase[root] >= 0) continue;
    members.assign(1, root);
    phase[root] = 0;
    std::size_t changed = 0;
    for (std::size_t k = 0; k < members.size(); ++k) {
      const std::size_t x = members[k];
      for (const TreeEdge& e : tree[x]) {
        if (phase[e.to] >= 0) continue;
        phase[e.to] = phase[x] ^ (e.exchanged ? 1 : 0);
        changed += static_cast<std::size_t>(phase[e.to]);
        members.push_back(e.to);
      }
    }
    const int minority = 2 * changed <= members.size() ? 1 : 0;
    for (const std::size_t x : members)
      if (phase[x] == minority) flipped.push_back(static_cast<int>(x));
  }
  std::sort(flipped.begin(), flipped.end());
  return flipped;
}

}  // namespace tarvek
