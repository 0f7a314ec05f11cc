#include <algorithm>
#include <bit>
#include <cstdint>

#include "base/progress.hpp"
#include "linkage/grouping.hpp"
#include "linkage/link_screen.hpp"

namespace tarvek {

namespace {

constexpr std::size_t kBlock = 64;

// Which group every placed locus is in. Each group carries a label and each
// locus the label of its group; a merge relabels the smaller of the two
// groups, so that no locus is relabelled more than log2(n) times.
class GroupIndex {
 public:
  explicit GroupIndex(std::size_t n) : label_(n, 0) {}

  std::size_t group_of(std::size_t locus) const { return label_group_[label_[locus]]; }

  GroupLabels labels() const { return {label_.data(), label_group_.data(), group_label_.size()}; }

  // Locus i founds group g (the next one of the list).
  void found(std::size_t i, std::size_t g) {
    const auto label = static_cast<std::uint32_t>(label_group_.size());
    label_group_.push_back(g);
    group_label_.push_back(label);
    label_[i] = label;
  }

  void join(std::size_t i, std::size_t g) { label_[i] = group_label_[g]; }

  // Group `absorbed`, still holding its members, joins group `home`, whose
  // members already include the new ones.
  void merge(const LinkageGroups& groups, std::size_t home, std::size_t absorbed) {
    if (groups[absorbed].size() <= groups[home].size()) {
      for (const int m : groups[absorbed]) label_[static_cast<std::size_t>(m)] = group_label_[home];
    } else {
      for (const int m : groups[home]) label_[static_cast<std::size_t>(m)] = group_label_[absorbed];
      group_label_[home] = group_label_[absorbed];
      label_group_[group_label_[home]] = home;
    }
  }

 private:
  std::vector<std::uint32_t> label_;        // per locus
  std::vector<std::size_t> label_group_;    // per label: its group
  std::vector<std::uint32_t> group_label_;  // per group
};

// Single linkage in one pass: locus i goes to the first group, in list order,
// holding a locus it links to, and absorbs the later groups it links to, in
// list order. Which groups those are depends only on the LODs. For the loci
// before i's block of 64 they come from `linked_groups` (first, last, labels),
// which tells for each group as it stood before the block which loci of the
// block link to one of its members; groups merged since are found through a
// member. The loci of the block before i are tested one by one, skipping
// groups already found linked.
// `links(i, m)` tells whether loci i and m link; `label` names the progress.
template <class Links, class LinkedGroups>
void group_by_single_linkage(std::size_t n, LinkageGroups& groups, Channels& channels,
                             const char* label, Links links, LinkedGroups linked_groups) {
  // Locus i is compared with the i loci before it: the work grows as i².
  Progress progress = start_progress(channels, label, n * n, n >= 2000);
  GroupIndex index(n);
  std::vector<std::size_t> stamp;  // per group: the last locus that found it linked, plus 1
  std::vector<std::size_t> linked;
  std::vector<std::vector<std::size_t>> lane_groups(kBlock);  // per block locus: groups before the block
  std::vector<int> member;  // per group before the block: a member, or -1
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t first = i - i % kBlock;
    if (i == first) {
      advance_progress(progress, i * i);
      const std::size_t last = std::min(n, i + kBlock);
      const std::vector<std::uint64_t> masks = linked_groups(first, last, index.labels());
      for (auto& lane : lane_groups) lane.clear();
      member.assign(groups.size(), -1);
      for (std::size_t g = 0; g < masks.size(); ++g) {
        if (masks[g] == 0) continue;
        member[g] = groups[g].front();
        for (std::uint64_t bits = masks[g]; bits != 0; bits &= bits - 1)
          lane_groups[static_cast<std::size_t>(std::countr_zero(bits))].push_back(g);
      }
    }
    linked.clear();
    const auto add = [&](std::size_t g) {
      stamp[g] = i + 1;
      linked.push_back(g);
    };
    for (const std::size_t g : lane_groups[i - first]) {
      const std::size_t now = index.group_of(static_cast<std::size_t>(member[g]));
      if (stamp[now] != i + 1) add(now);
    }
    for (std::size_t m = first; m < i; ++m) {
      const std::size_t g = index.group_of(m);
      if (stamp[g] != i + 1 && links(i, m)) add(g);
    }

    if (linked.empty()) {
      index.found(i, groups.size());
      groups.push_back(LinkageGroup{static_cast<int>(i)});
      stamp.push_back(0);
      continue;
    }
    std::sort(linked.begin(), linked.end());
    const std::size_t home = linked.front();
    groups[home].push_back(static_cast<int>(i));
    index.join(i, home);
    for (std::size_t k = 1; k < linked.size(); ++k) {
      LinkageGroup& absorbed = groups[linked[k]];
      index.merge(groups, home, linked[k]);
      LinkageGroup& target = groups[home];
      target.insert(target.end(), absorbed.begin(), absorbed.end());
      absorbed.clear();
    }
  }
  finish_progress(progress);
}

}  // namespace

void core_grouping(const LodPlanes& lods, LinkageGroups& groups, float core_LOD,
                   Channels& channels, const ScreenOptions& options) {
  const int threads = options.threads;
  line_to_console_and_log(channels, "core grouping...");
  const LinkScreen screen = link_screen(lods, core_LOD, options);
  group_by_single_linkage(
      lods.n, groups, channels, "core grouping",
      [&](std::size_t i, std::size_t m) { return lod_above(lods, i, m, core_LOD).has_value(); },
      [&](std::size_t first, std::size_t last, const GroupLabels& labels) {
        return linked_groups(screen, first, last, labels, threads);
      });
}

void plain_core_grouping(const LodTable& lods, LinkageGroups& groups, float core_LOD,
                         Channels& channels) {
  line_to_console_and_log(channels, "core grouping...");
  for (std::size_t i = 0; i < lods.n; ++i) {
    std::vector<std::size_t> linked;  // the groups holding a locus that i links to
    for (std::size_t g = 0; g < groups.size(); ++g) {
      const LinkageGroup& group = groups[g];
      if (std::any_of(group.begin(), group.end(), [&](int m) {
            return lod_at(lods, i, static_cast<std::size_t>(m)) > core_LOD;
          }))
        linked.push_back(g);
    }
    if (linked.empty()) {
      groups.push_back(LinkageGroup{static_cast<int>(i)});
      continue;
    }
    LinkageGroup& home = groups.at(linked.front());
    home.push_back(static_cast<int>(i));
    for (std::size_t k = 1; k < linked.size(); ++k) {
      LinkageGroup& absorbed = groups.at(linked[k]);
      home.insert(home.end(), absorbed.begin(), absorbed.end());
      absorbed.clear();
    }
  }
}

LinkageGroups phase_linked_parts(const LodPlanes& lods, float threshold, Channels& channels,
                                 const ScreenOptions& options) {
  const PhaseLinker linker = phase_linker(lods, threshold);
  const LinkScreen screen = link_screen(lods, threshold, options);
  const PhaseScreen phases = phase_screen(screen, linker);
  LinkageGroups groups;
  group_by_single_linkage(
      lods.n, groups, channels, "switched alleles",
      [&](std::size_t i, std::size_t m) { return phase_link(linker, i, m).has_value(); },
      [&](std::size_t first, std::size_t last, const GroupLabels& labels) {
        return phase_linked_groups(phases, first, last, labels, options.threads);
      });
  LinkageGroups parts;
  for (LinkageGroup& group : groups) {
    if (group.empty()) continue;
    std::sort(group.begin(), group.end());
    parts.push_back(std::move(group));
  }
  std::sort(parts.begin(), parts.end(),
            [](const LinkageGroup& a, const LinkageGroup& b) { return a.front() < b.front(); });
  return parts;
}

}  // namespace tarvek
