#pragma once
// The pieces the screens of blocks of loci share (link_screen's core
// grouping and phase_screen's search for switched alleles): the value planes
// of a locus, the plan of one block with its distances from the centres, and
// the loops over the earlier loci. Internal to linkage/.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/parallel.hpp"
#include "linkage/link_screen.hpp"

namespace tarvek::screen {

using Word = std::uint64_t;
constexpr std::size_t kLanes = 64;

inline int pop(Word x) { return std::popcount(x); }

constexpr std::size_t kPlanes = 5;  // values at least 2, 3, 4, 6 thirds; scored
constexpr int kWeight[4] = {2, 1, 1, 2};  // thirds between neighbouring levels

inline const Word* ladder_of(const LinkScreen& s, std::size_t i) {
  return s.ladder.data() + i * kPlanes * s.words;
}

// What one block needs: per cluster whose lowest member is before the block,
// the block loci's distances from its centre, and per number u of
// individuals missing at the other locus the least distance that rules a
// pair out, lane by lane.
struct BlockTables {
  std::vector<std::int32_t> centre;     // [cluster][lane]
  std::vector<std::int32_t> exchanged;  // [cluster][lane], from the exchanged centres
  std::vector<std::int32_t> need;       // [u][lane]
};

using OpenLanes = std::uint64_t (*)(const std::int32_t*, const std::int32_t*, std::int32_t,
                                    std::size_t);

// What the screening of one block needs.
struct BlockPlan {
  std::size_t first = 0;
  std::size_t lanes = 0;
  std::uint64_t all = 0;  // a bit for every lane
  BlockTables tables;
  OpenLanes open_lanes = open_lanes_scalar;
};

// Plans the block [first, last) of at most 64 loci. With
// `exchanged_centres`, the distances from them are measured too.
BlockPlan plan_block(const LinkScreen& s, std::size_t first, std::size_t last, int threads,
                     const std::vector<Word>* exchanged_centres = nullptr);

// The bound's test of an F2 pair with dominant codes: its recombinant
// gametes in ninths are 3 times the distance in thirds, plus 4 for each
// individual with the same dominant code at both loci.
bool dominant_ruled_out(const LinkScreen& s, std::size_t i, std::size_t m);

// Calls keep(k) for every lane k of `open` whose pair of block locus
// first + k and the earlier locus m the bound does not rule out.
template <class Keep>
void screen_locus(const LinkScreen& s, const BlockPlan& b, std::size_t m, std::uint64_t open,
                  Keep keep) {
  const std::size_t words = s.words;
  const std::int32_t c = s.cluster.empty() ? -1 : s.cluster[m];
  if (c >= 0) {
    const std::size_t missing =
        s.lods->planes.positions - static_cast<std::size_t>(s.scored[m]);
    open &= b.open_lanes(b.tables.centre.data() + static_cast<std::size_t>(c) * kLanes,
                         b.tables.need.data() + missing * kLanes, s.spread[m], b.lanes);
  }
  const bool f2 = !two_class(s.lods->type);
  const Word* lm = ladder_of(s, m);
  for (; open != 0; open &= open - 1) {
    const auto k = static_cast<std::size_t>(std::countr_zero(open));
    const std::size_t i = b.first + k;
    const Word* li = ladder_of(s, i);
    bool ruled_out;
    if (s.codominant[i] != 0 && s.codominant[m] != 0) {
      // Levels 3 and 6 alone: one third a level a gamete.
      int d = 0, n = 0;
      for (std::size_t w = 0; w < words; ++w) {
        const Word both = li[4 * words + w] & lm[4 * words + w];
        n += pop(both);
        d += pop((li[words + w] ^ lm[words + w]) & both) +
             pop((li[3 * words + w] ^ lm[3 * words + w]) & both);
      }
      const int least = s.exclusion[static_cast<std::size_t>(n)];
      ruled_out = f2 ? d != 0 && d >= least : n != 0 && d >= 2 * least;
    } else {
      ruled_out = dominant_ruled_out(s, i, m);
    }
    if (!ruled_out) keep(k);
  }
}

constexpr std::size_t kChunk = 2048;  // earlier loci per block of the split: whole words

// For the loci of the block planned in `b` and the groups of the loci before
// it: calls find(m, open, group) for every earlier locus m, `open` holding
// the lanes not yet found linked to m's group; find sets the bits of `group`
// of the lanes it finds linked. The earlier loci are shared among the
// threads in fixed chunks.
template <class Find>
std::vector<std::uint64_t> group_links(const BlockPlan& b, const GroupLabels& labels, int threads,
                                       Find find) {
  std::vector<std::uint64_t> linked(labels.groups, 0);
  const std::size_t first = b.first;
  if (first == 0 || b.lanes == 0) return linked;
  const Blocks chunks{first, kChunk};
  const int used = threads_for_work(threads, first * b.lanes, 1u << 18);
  // Per worker, the lanes found linked to each group so far. A worker skips
  // those pairs in its later blocks too; the union is the same either way.
  std::vector<std::uint64_t> found(workers_for(used, chunks) * labels.groups, 0);
  for_each_block_on(used, chunks,
                    [&](std::size_t worker, std::size_t, std::size_t begin, std::size_t end) {
                      std::uint64_t* mine = found.data() + worker * labels.groups;
                      for (std::size_t m = begin; m < end; ++m) {
                        std::uint64_t& group = mine[labels.group_of_label[labels.label[m]]];
                        const std::uint64_t open = b.all & ~group;
                        if (open != 0) find(m, open, group);
                      }
                    });
  for (std::size_t w = 0; w < found.size(); ++w) linked[w % labels.groups] |= found[w];
  return linked;
}

}  // namespace tarvek::screen
