#pragma once
// Markers with switched alleles: scored with A and B (and C and D) exchanged
// relative to the markers they are linked to. Their true linkage shows only
// after exchanging their alleles, and they often come in runs linked
// normally to each other, so they are found per group of linked markers
// rather than against a best partner.

#include <algorithm>
#include <cstddef>
#include <optional>
#include <vector>

#include "base/channels.hpp"
#include "base/parallel.hpp"
#include "linkage/link_screen.hpp"
#include "linkage/lod_planes.hpp"
#include "linkage/phase_link.hpp"

namespace tarvek {

// The loci of 0..n-1 to flip, in increasing order. `link_of(i, j)` gives the
// phase link of two loci when its strength is above the grouping threshold
// (phase_link, or plain_phase_link), nothing otherwise; it is asked once
// for every pair.
//
// Loci joined by links form groups. Each group grows a maximum spanning tree
// from its lowest locus (Prim's: each step adds the locus outside the tree
// with the strongest link into it, the lowest-numbered on equal strengths; a
// locus keeps the first of equally strong links into the tree). Each tree
// link keeps the phase or, when exchanged, changes it. The loci of the
// smaller phase are flipped; when both phases are as large, those not
// holding the group's lowest locus.
//
// Memory stays linear in n: no list of links is kept.
// The scan of the waiting loci after each step is shared among up to
// `threads` threads; `link_of` must then be safe to call from several
// threads at once. The result does not depend on the number of threads.
inline constexpr std::size_t kSwitchedBlock = 1024;

template <class LinkOf>
std::vector<int> switched_loci(std::size_t n, LinkOf link_of, int threads = 1) {
  std::vector<std::size_t> waiting(n);  // loci not yet in a group, increasing
  for (std::size_t i = 0; i < n; ++i) waiting[i] = i;
  // Per waiting locus, its strongest link into the current group's tree and
  // the phase that link would give it.
  std::vector<float> key(n, 0.0f);
  std::vector<char> keyed(n, 0);
  std::vector<int> key_phase(n, 0);
  std::vector<int> phase(n, 0);
  std::vector<int> flipped;
  std::vector<std::size_t> members;
  std::vector<std::size_t> block_best;
  while (!waiting.empty()) {
    std::size_t next = waiting.front();
    phase[next] = 0;
    members.clear();
    while (true) {
      waiting.erase(std::lower_bound(waiting.begin(), waiting.end(), next));
      members.push_back(next);
      // Each block of waiting loci updates its own keys and finds its best
      // (the first of the strongest); the blocks' bests are then taken in
      // block order, so the choice is the one a single pass would make.
      const Blocks blocks{waiting.size(), kSwitchedBlock};
      block_best.assign(blocks.number(), n);
      for_each_block(threads_for_work(threads, waiting.size(), kSwitchedBlock), blocks,
                     [&](std::size_t block, std::size_t begin, std::size_t end) {
                       std::size_t best = n;
                       for (std::size_t k = begin; k < end; ++k) {
                         const std::size_t v = waiting[k];
                         if (const std::optional<PhaseLink> link = link_of(next, v)) {
                           if (!keyed[v] || link->strength > key[v]) {
                             key[v] = link->strength;
                             keyed[v] = 1;
                             key_phase[v] = phase[next] ^ (link->exchanged ? 1 : 0);
                           }
                         }
                         if (keyed[v] && (best == n || key[v] > key[best])) best = v;
                       }
                       block_best[block] = best;
                     });
      std::size_t best = n;
      for (const std::size_t b : block_best)
        if (b != n && (best == n || key[b] > key[best])) best = b;
      if (best == n) break;
      next = best;
      keyed[next] = 0;
      phase[next] = key_phase[next];
    }
    std::size_t changed = 0;
    for (const std::size_t x : members) changed += static_cast<std::size_t>(phase[x]);
    const int minority = 2 * changed <= members.size() ? 1 : 0;
    for (const std::size_t x : members)
      if (phase[x] == minority) flipped.push_back(static_cast<int>(x));
  }
  std::sort(flipped.begin(), flipped.end());
  return flipped;
}

// switched_loci over the phase links of `lods` at `threshold`, the same
// loci as switched_loci(lods.n, phase_link) gives. Loci without a chain of
// links between them never meet in the spanning trees, so each connected
// part of the links (phase_linked_parts, through the cluster screen made as
// `options` say) is searched on its own. The parts share options.threads
// threads when there are enough of them; a part searched alone shares its
// scans instead. Writes nothing but the progress line.
std::vector<int> switched_loci_by_parts(const LodPlanes& lods, float threshold,
                                        Channels& channels, const ScreenOptions& options);

}  // namespace tarvek
