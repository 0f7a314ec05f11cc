#include "linkage/link_screen.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "base/kernels.hpp"
#include "base/parallel.hpp"
#include "genotype/code_planes.hpp"

#if TARVEK_HAVE_AVX2_PATHS
#include <immintrin.h>
#endif

namespace tarvek {
namespace {

using Word = std::uint64_t;
constexpr std::size_t kLanes = 64;

inline int pop(Word x) { return std::popcount(x); }

constexpr std::size_t kPlanes = 5;  // values at least 2, 3, 4, 6 thirds; scored
constexpr int kWeight[4] = {2, 1, 1, 2};  // thirds between neighbouring levels

inline const Word* ladder_of(const LinkScreen& s, std::size_t i) {
  return s.ladder.data() + i * kPlanes * s.words;
}

// The bits of word w that stand for individuals.
inline Word valid_bits(std::size_t positions, std::size_t w) {
  const std::size_t end = positions - w * 64;
  return end >= 64 ? ~Word{0} : (Word{1} << end) - 1;
}

// A locus's value planes with its missing scores read as H (3 thirds).
void completed(const LinkScreen& s, std::size_t positions, std::size_t i, Word* out) {
  const std::size_t words = s.words;
  const Word* l = ladder_of(s, i);
  for (std::size_t w = 0; w < words; ++w) {
    const Word missing = valid_bits(positions, w) & ~l[4 * words + w];
    out[w] = l[w] | missing;
    out[words + w] = l[words + w] | missing;
    out[2 * words + w] = l[2 * words + w];
    out[3 * words + w] = l[3 * words + w];
  }
}

// L1 distance in thirds of two rows given by their four value planes.
inline int distance(const Word* a, const Word* b, std::size_t words) {
  int d = 0;
  for (std::size_t level = 0; level < 4; ++level) {
    int c = 0;
    for (std::size_t w = 0; w < words; ++w) c += pop(a[level * words + w] ^ b[level * words + w]);
    d += kWeight[level] * c;
  }
  return d;
}

// Distance in thirds of locus i from a centre over the individuals scored at i.
int centre_distance(const LinkScreen& s, std::size_t i, const Word* centre) {
  const std::size_t words = s.words;
  const Word* l = ladder_of(s, i);
  const Word* scored = l + 4 * words;
  if (s.plain[i] != 0) {
    // Levels 2 and 3 agree, and so do 4 and 6: three thirds a level pair.
    int d2 = 0, d3 = 0, d4 = 0, d6 = 0;
    for (std::size_t w = 0; w < words; ++w) {
      d2 += pop((l[words + w] ^ centre[w]) & scored[w]);
      d3 += pop((l[words + w] ^ centre[words + w]) & scored[w]);
      d4 += pop((l[3 * words + w] ^ centre[2 * words + w]) & scored[w]);
      d6 += pop((l[3 * words + w] ^ centre[3 * words + w]) & scored[w]);
    }
    return 2 * d2 + d3 + d4 + 2 * d6;
  }
  int d = 0;
  for (std::size_t level = 0; level < 4; ++level) {
    int c = 0;
    for (std::size_t w = 0; w < words; ++w)
      c += pop((l[level * words + w] ^ centre[level * words + w]) & scored[w]);
    d += kWeight[level] * c;
  }
  return d;
}

// The planes and counts of every locus.
void fill_ladder(LinkScreen& s) {
  const LodMatrix& m = *s.matrix;
  const std::size_t words = s.words;
  s.ladder.assign(m.n * kPlanes * words, 0);
  s.scored.assign(m.n, 0);
  s.plain.assign(m.n, 1);
  for (std::size_t i = 0; i < m.n; ++i) {
    Word* l = s.ladder.data() + i * kPlanes * words;
    int scored = 0;
    for (std::size_t w = 0; w < words; ++w) {
      if (two_class(m.type)) {
        const Word* first = m.classes.data() + i * 2 * words;
        const Word* second = first + words;
        l[w] = l[words + w] = l[2 * words + w] = l[3 * words + w] = first[w];
        l[4 * words + w] = first[w] | second[w];
      } else {
        const Word a = plane(m.planes, i, kCodeA)[w], b = plane(m.planes, i, kCodeB)[w];
        const Word c = plane(m.planes, i, kCodeC)[w], d = plane(m.planes, i, kCodeD)[w];
        const Word h = plane(m.planes, i, kCodeH)[w];
        l[w] = a | h | c | d;         // 6, 3, 2, 4
        l[words + w] = a | h | d;     // 6, 3, 4
        l[2 * words + w] = a | d;     // 6, 4
        l[3 * words + w] = a;         // 6
        l[4 * words + w] = a | b | c | d | h;
      }
      scored += pop(l[4 * words + w]);
    }
    if (!two_class(m.type)) s.plain[i] = m.dominant[i] == 0 ? 1 : 0;
    s.scored[i] = scored;
  }
}

// The values in thirds, in increasing order, and the median of counts of
// them: the value where half the count is reached, the one nearest to H
// when a range of values is as good (and H when nothing is counted).
constexpr int kValues[5] = {0, 2, 3, 4, 6};

int median_value(const int* counts) {
  int total = 0;
  for (int v = 0; v < 5; ++v) total += counts[v];
  int below = 0, low = -1, high = -1;
  for (int v = 0; v < 5; ++v) {
    below += counts[v];
    if (low < 0 && 2 * below >= total && counts[v] > 0) low = v;
    if (high < 0 && 2 * below > total) high = v;
  }
  if (total == 0) return 3;
  if (low == high) return kValues[low];
  return std::clamp(3, kValues[low], kValues[high]);
}

// For each kind of locus (without and with dominant codes): seeds every
// step-th locus of the kind, gives every locus the nearest seed of its kind
// (the first of equally near ones) within a quarter of the individuals'
// gametes, takes each cluster's median as its centre, and measures the
// members.
void make_clusters(LinkScreen& s, const ScreenOptions& options) {
  const LodMatrix& m = *s.matrix;
  const std::size_t words = s.words;
  const std::size_t positions = m.planes.positions;
  const std::size_t size = 4 * words;  // value planes of a centre or a completed row
  s.cluster.assign(m.n, -1);
  s.spread.assign(m.n, 0);
  if (words == 0) return;
  std::vector<Word> seeds;
  std::vector<std::size_t> eligible;
  for (const std::uint8_t kind : {std::uint8_t{1}, std::uint8_t{0}}) {
    eligible.clear();
    for (std::size_t i = 0; i < m.n; ++i)
      if (s.plain[i] == kind) eligible.push_back(i);
    if (eligible.empty() || eligible.size() < options.min_loci) continue;
    const std::size_t step =
        options.seed_step != 0
            ? options.seed_step
            : std::max<std::size_t>(
                  2, static_cast<std::size_t>(std::sqrt(static_cast<double>(eligible.size()))) / 5);
    const std::size_t base = seeds.size() / size;
    for (std::size_t k = 0; k < eligible.size(); k += step) {
      seeds.resize(seeds.size() + size);
      completed(s, positions, eligible[k], seeds.data() + seeds.size() - size);
    }
    const std::size_t count = seeds.size() / size;
    const int reach = static_cast<int>(3 * positions / 4);
    for_each_block(threads_for_work(options.threads, eligible.size() * (count - base), 1u << 18),
                   Blocks{eligible.size(), 256},
                   [&](std::size_t, std::size_t begin, std::size_t end) {
                     std::vector<Word> own(size);
                     for (std::size_t k = begin; k < end; ++k) {
                       completed(s, positions, eligible[k], own.data());
                       int best = reach + 1;
                       std::int32_t nearest = -1;
                       for (std::size_t c = base; c < count; ++c) {
                         const int d = distance(own.data(), seeds.data() + c * size, words);
                         if (d < best) {
                           best = d;
                           nearest = static_cast<std::int32_t>(c);
                         }
                       }
                       s.cluster[eligible[k]] = nearest;
                     }
                   });
  }
  const std::size_t count = seeds.size() / size;
  if (count == 0) return;

  // Members of each cluster in increasing order.
  std::vector<std::size_t> start(count + 1, 0);
  for (std::size_t i = 0; i < m.n; ++i)
    if (s.cluster[i] >= 0) ++start[static_cast<std::size_t>(s.cluster[i]) + 1];
  for (std::size_t c = 0; c < count; ++c) start[c + 1] += start[c];
  std::vector<std::size_t> members(start[count]);
  {
    std::vector<std::size_t> next(start.begin(), start.end() - 1);
    for (std::size_t i = 0; i < m.n; ++i)
      if (s.cluster[i] >= 0) members[next[static_cast<std::size_t>(s.cluster[i])]++] = i;
  }

  s.centres.assign(count * size, 0);
  s.first_member.assign(count, m.n);
  for_each_block(
      threads_for_work(options.threads, members.size() * positions, 1u << 20), Blocks{count, 16},
      [&](std::size_t, std::size_t begin, std::size_t end) {
        // Per individual, the members scored at each level and in all.
        std::vector<int> at(5 * positions);
        std::vector<Word> own(size);
        for (std::size_t c = begin; c < end; ++c) {
          if (start[c] == start[c + 1]) continue;
          s.first_member[c] = members[start[c]];
          std::fill(at.begin(), at.end(), 0);
          for (std::size_t k = start[c]; k < start[c + 1]; ++k) {
            const Word* l = ladder_of(s, members[k]);
            for (std::size_t plane_index = 0; plane_index < kPlanes; ++plane_index)
              for (std::size_t w = 0; w < words; ++w)
                for (Word b = l[plane_index * words + w]; b != 0; b &= b - 1)
                  ++at[plane_index * positions + w * 64 +
                       static_cast<std::size_t>(std::countr_zero(b))];
          }
          Word* centre = s.centres.data() + c * size;
          for (std::size_t x = 0; x < positions; ++x) {
            // Members with value 0, 2, 3, 4, 6 from those at each level.
            const int scored = at[4 * positions + x];
            const int level[4] = {at[x], at[positions + x], at[2 * positions + x],
                                  at[3 * positions + x]};
            const int counts[5] = {scored - level[0], level[0] - level[1], level[1] - level[2],
                                   level[2] - level[3], level[3]};
            const int value = median_value(counts);
            const Word bit = Word{1} << (x % 64);
            if (value >= 2) centre[x / 64] |= bit;
            if (value >= 3) centre[words + x / 64] |= bit;
            if (value >= 4) centre[2 * words + x / 64] |= bit;
            if (value >= 6) centre[3 * words + x / 64] |= bit;
          }
          for (std::size_t k = start[c]; k < start[c + 1]; ++k) {
            completed(s, positions, members[k], own.data());
            s.spread[members[k]] = distance(own.data(), centre, words);
          }
        }
      });
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

// The distance in thirds that rules a pair out at N individuals scored at
// both, for the cluster bound: at least 1, so that a pair with N = 0
// (distance 0) is never ruled out through a centre.
int need_at(const LinkScreen& s, std::size_t n) {
  const int from = s.from[n];
  if (two_class(s.matrix->type)) return n == 0 ? 1 : std::max(6 * from, 1);
  return 3 * std::max(from, 1);
}

// The bound's test of an F2 pair with dominant codes: its recombinant
// gametes in ninths are 3 times the distance in thirds, plus 4 for each
// individual with the same dominant code at both loci.
bool dominant_ruled_out(const LinkScreen& s, std::size_t i, std::size_t m) {
  const std::size_t words = s.words;
  const Word* li = ladder_of(s, i);
  const Word* lm = ladder_of(s, m);
  int d = 0, n = 0;
  int level[4] = {0, 0, 0, 0};
  for (std::size_t w = 0; w < words; ++w) {
    const Word both = li[4 * words + w] & lm[4 * words + w];
    n += pop(both);
    for (std::size_t k = 0; k < 4; ++k)
      level[k] += pop((li[k * words + w] ^ lm[k * words + w]) & both);
  }
  for (std::size_t k = 0; k < 4; ++k) d += kWeight[k] * level[k];
  int ninths = 3 * d;
  const CodePlanes& p = s.matrix->planes;
  for (const int code : {kCodeC, kCodeD}) {
    if ((p.present[i] >> code & 1u) == 0 || (p.present[m] >> code & 1u) == 0) continue;
    const Word* a = plane(p, i, code);
    const Word* b = plane(p, m, code);
    int same = 0;
    for (std::size_t w = 0; w < words; ++w) same += pop(a[w] & b[w]);
    ninths += 4 * same;
  }
  return ninths != 0 && ninths >= 9 * s.from[static_cast<std::size_t>(n)];
}

using OpenLanes = std::uint64_t (*)(const std::int32_t*, const std::int32_t*, std::int32_t,
                                    std::size_t);

}  // namespace

std::uint64_t open_lanes_plain(const std::int32_t* centre, const std::int32_t* need,
                               std::int32_t spread, std::size_t lanes) {
  std::uint64_t open = 0;
  for (std::size_t k = 0; k < lanes; ++k)
    if (centre[k] - need[k] < spread) open |= std::uint64_t{1} << k;
  return open;
}

#if TARVEK_HAVE_AVX2_PATHS
TARVEK_TARGET_AVX2 std::uint64_t open_lanes_avx2(const std::int32_t* centre,
                                                 const std::int32_t* need, std::int32_t spread,
                                                 std::size_t lanes) {
  const __m256i limit = _mm256_set1_epi32(spread);
  std::uint64_t open = 0;
  std::size_t k = 0;
  for (; k + 8 <= lanes; k += 8) {
    const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(centre + k));
    const __m256i n = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(need + k));
    const __m256i below = _mm256_cmpgt_epi32(limit, _mm256_sub_epi32(c, n));
    open |= static_cast<std::uint64_t>(
                static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(below))))
            << k;
  }
  for (; k < lanes; ++k)
    if (centre[k] - need[k] < spread) open |= std::uint64_t{1} << k;
  return open;
}
#else
std::uint64_t open_lanes_avx2(const std::int32_t* centre, const std::int32_t* need,
                              std::int32_t spread, std::size_t lanes) {
  return open_lanes_plain(centre, need, spread, lanes);
}
#endif

LinkScreen link_screen(const LodMatrix& matrix, float threshold, const ScreenOptions& options) {
  LinkScreen s;
  s.matrix = &matrix;
  s.threshold = threshold;
  s.kernels = options.kernels;
  s.from = exclusion_table(matrix, threshold);
  s.words = matrix.planes.words;
  fill_ladder(s);
  make_clusters(s, options);
  return s;
}

namespace {

// What the screening of one block needs.
struct BlockPlan {
  std::size_t first = 0;
  std::size_t lanes = 0;
  std::uint64_t all = 0;  // a bit for every lane
  BlockTables tables;
  OpenLanes open_lanes = open_lanes_plain;
};

// With `exchanged_centres`, the distances from them are measured too.
BlockPlan plan_block(const LinkScreen& s, std::size_t first, std::size_t last, int threads,
                     const std::vector<Word>* exchanged_centres = nullptr) {
  const LodMatrix& matrix = *s.matrix;
  if (first > last || last > matrix.n || last - first > kLanes)
    throw std::out_of_range("screened block");
  BlockPlan b;
  b.first = first;
  b.lanes = last - first;
  b.all = b.lanes == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << b.lanes) - 1;
  b.open_lanes = s.kernels == Kernels::avx2 ? open_lanes_avx2 : open_lanes_plain;
  const std::size_t words = s.words;
  const std::size_t positions = matrix.planes.positions;
  const std::size_t clusters = s.first_member.size();
  bool any_cluster = false;
  for (std::size_t c = 0; c < clusters && !any_cluster; ++c) any_cluster = s.first_member[c] < first;
  if (!any_cluster || b.lanes == 0) return b;
  BlockTables& t = b.tables;
  t.need.assign((positions + 1) * kLanes, 0);
  for (std::size_t k = 0; k < b.lanes; ++k) {
    const auto scored = static_cast<std::size_t>(s.scored[first + k]);
    std::int32_t top = std::numeric_limits<std::int32_t>::min();
    for (std::size_t u = 0; u <= positions; ++u) {
      if (u <= scored) top = std::max(top, need_at(s, scored - u) + 3 * static_cast<std::int32_t>(u));
      t.need[u * kLanes + k] = top;
    }
  }
  t.centre.assign(clusters * kLanes, 0);
  if (exchanged_centres != nullptr) t.exchanged.assign(clusters * kLanes, 0);
  for_each_block(threads_for_work(threads, clusters * b.lanes * words, 1u << 16),
                 Blocks{clusters, 32}, [&](std::size_t, std::size_t begin, std::size_t end) {
                   for (std::size_t c = begin; c < end; ++c) {
                     if (s.first_member[c] >= first) continue;
                     const Word* centre = s.centres.data() + c * 4 * words;
                     for (std::size_t k = 0; k < b.lanes; ++k)
                       t.centre[c * kLanes + k] = centre_distance(s, first + k, centre);
                     if (exchanged_centres == nullptr) continue;
                     // centre_distance counts the individuals scored at the
                     // lane's locus only, so the bits of an exchanged centre
                     // beyond the individuals do not matter.
                     const Word* exchanged = exchanged_centres->data() + c * 4 * words;
                     for (std::size_t k = 0; k < b.lanes; ++k)
                       t.exchanged[c * kLanes + k] = centre_distance(s, first + k, exchanged);
                   }
                 });
  return b;
}

// Calls keep(k) for every lane k of `open` whose pair of block locus
// first + k and the earlier locus m the bound does not rule out.
template <class Keep>
void screen_locus(const LinkScreen& s, const BlockPlan& b, std::size_t m, std::uint64_t open,
                  Keep keep) {
  const std::size_t words = s.words;
  const std::int32_t c = s.cluster.empty() ? -1 : s.cluster[m];
  if (c >= 0) {
    const std::size_t missing =
        s.matrix->planes.positions - static_cast<std::size_t>(s.scored[m]);
    open &= b.open_lanes(b.tables.centre.data() + static_cast<std::size_t>(c) * kLanes,
                         b.tables.need.data() + missing * kLanes, s.spread[m], b.lanes);
  }
  const bool f2 = !two_class(s.matrix->type);
  const Word* lm = ladder_of(s, m);
  for (; open != 0; open &= open - 1) {
    const auto k = static_cast<std::size_t>(std::countr_zero(open));
    const std::size_t i = b.first + k;
    const Word* li = ladder_of(s, i);
    bool ruled_out;
    if (s.plain[i] != 0 && s.plain[m] != 0) {
      // Levels 3 and 6 alone: one third a level a gamete.
      int d = 0, n = 0;
      for (std::size_t w = 0; w < words; ++w) {
        const Word both = li[4 * words + w] & lm[4 * words + w];
        n += pop(both);
        d += pop((li[words + w] ^ lm[words + w]) & both) +
             pop((li[3 * words + w] ^ lm[3 * words + w]) & both);
      }
      const int from = s.from[static_cast<std::size_t>(n)];
      ruled_out = f2 ? d != 0 && d >= from : n != 0 && d >= 2 * from;
    } else {
      ruled_out = dominant_ruled_out(s, i, m);
    }
    if (!ruled_out) keep(k);
  }
}

constexpr std::size_t kChunk = 2048;  // earlier loci per block of the split: whole words

}  // namespace

LinkBlock screen_block(const LinkScreen& s, std::size_t first, std::size_t last, int threads) {
  const BlockPlan b = plan_block(s, first, last, threads);
  LinkBlock block;
  block.first = first;
  block.last = last;
  block.words = (first + 63) / 64;
  block.bits.assign(b.lanes * block.words, 0);
  if (first == 0 || b.lanes == 0) return block;
  for_each_block(threads_for_work(threads, first * b.lanes, 1u << 18), Blocks{first, kChunk},
                 [&](std::size_t, std::size_t begin, std::size_t end) {
                   for (std::size_t m = begin; m < end; ++m) {
                     const Word bit = Word{1} << (m % 64);
                     screen_locus(s, b, m, b.all, [&](std::size_t k) {
                       block.bits[k * block.words + m / 64] |= bit;
                     });
                   }
                 });
  return block;
}

namespace {

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

}  // namespace

std::vector<std::uint64_t> linked_groups(const LinkScreen& s, std::size_t first,
                                         std::size_t last, const GroupLabels& labels,
                                         int threads) {
  const BlockPlan b = plan_block(s, first, last, threads);
  return group_links(b, labels, threads,
                     [&](std::size_t m, std::uint64_t open, std::uint64_t& group) {
                       screen_locus(s, b, m, open, [&](std::size_t k) {
                         if ((group >> k & 1u) == 0 &&
                             lod_above(*s.matrix, first + k, m, s.threshold))
                           group |= std::uint64_t{1} << k;
                       });
                     });
}

PhaseScreen phase_screen(const LinkScreen& screen, const PhaseLinker& linker) {
  if (linker.matrix != screen.matrix || linker.threshold != screen.threshold)
    throw std::invalid_argument("phase screen of another matrix or threshold");
  PhaseScreen p;
  p.screen = &screen;
  p.linker = &linker;
  p.exchanged_too = screen.matrix->type != PopulationType::BC1;
  // Centre values are 0, 2, 3, 4 or 6, so 6 - v is at least 2, 3, 4 and 6
  // exactly when v is below 6, 4, 3 and 2.
  const std::size_t words = screen.words;
  p.exchanged_centres.assign(screen.centres.size(), 0);
  for (std::size_t c = 0; c < screen.first_member.size(); ++c) {
    const Word* centre = screen.centres.data() + c * 4 * words;
    Word* out = p.exchanged_centres.data() + c * 4 * words;
    for (std::size_t w = 0; w < words; ++w) {
      out[w] = ~centre[3 * words + w];
      out[words + w] = ~centre[2 * words + w];
      out[2 * words + w] = ~centre[words + w];
      out[3 * words + w] = ~centre[w];
    }
  }
  return p;
}

std::vector<std::uint64_t> phase_linked_groups(const PhaseScreen& phases, std::size_t first,
                                               std::size_t last, const GroupLabels& labels,
                                               int threads) {
  const LinkScreen& s = *phases.screen;
  const BlockPlan b = plan_block(s, first, last, threads,
                                 phases.exchanged_too ? &phases.exchanged_centres : nullptr);
  const bool clustered = !b.tables.centre.empty();
  return group_links(b, labels, threads,
                     [&](std::size_t m, std::uint64_t open, std::uint64_t& group) {
                       const std::int32_t c = s.cluster.empty() ? -1 : s.cluster[m];
                       if (clustered && c >= 0) {
                         // A lane stays open when either phase may link.
                         const std::size_t missing =
                             s.matrix->planes.positions - static_cast<std::size_t>(s.scored[m]);
                         const std::int32_t* need = b.tables.need.data() + missing * kLanes;
                         const auto at = static_cast<std::size_t>(c) * kLanes;
                         std::uint64_t either =
                             b.open_lanes(b.tables.centre.data() + at, need, s.spread[m], b.lanes);
                         if (phases.exchanged_too)
                           either |= b.open_lanes(b.tables.exchanged.data() + at, need,
                                                  s.spread[m], b.lanes);
                         open &= either;
                       }
                       for (; open != 0; open &= open - 1) {
                         const auto k = static_cast<std::size_t>(std::countr_zero(open));
                         if (phase_link(*phases.linker, first + k, m)) group |= std::uint64_t{1} << k;
                       }
                     });
}

}  // namespace tarvek
