#include <algorithm>
#include <bit>
#include <cmath>

#include "base/parallel.hpp"
#include "genotype/code_planes.hpp"
#include "linkage/lod_bound.hpp"
#include "linkage/screen_blocks.hpp"

namespace tarvek {
namespace {

using namespace screen;

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

// The planes and counts of every locus.
void fill_ladder(LinkScreen& s) {
  const LodPlanes& m = *s.lods;
  const std::size_t words = s.words;
  s.ladder.assign(m.n * kPlanes * words, 0);
  s.scored.assign(m.n, 0);
  s.codominant.assign(m.n, 1);
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
    if (!two_class(m.type)) s.codominant[i] = m.dominant[i] == 0 ? 1 : 0;
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
  const LodPlanes& m = *s.lods;
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
      if (s.codominant[i] == kind) eligible.push_back(i);
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

}  // namespace

LinkScreen link_screen(const LodPlanes& lods, float threshold, const ScreenOptions& options) {
  LinkScreen s;
  s.lods = &lods;
  s.threshold = threshold;
  s.kernels = options.kernels;
  s.exclusion = exclusion_table(lods.type, lods.planes.positions, threshold);
  s.words = lods.planes.words;
  fill_ladder(s);
  make_clusters(s, options);
  return s;
}

}  // namespace tarvek
