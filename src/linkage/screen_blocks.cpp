#include <algorithm>
#include <limits>
#include <stdexcept>

#include "base/kernels.hpp"
#include "base/parallel.hpp"
#include "genotype/code_planes.hpp"
#include "linkage/screen_blocks.hpp"

#if TARVEK_HAVE_AVX2_PATHS
#include <immintrin.h>
#endif

namespace tarvek {
namespace screen {
namespace {

// Distance in thirds of locus i from a centre over the individuals scored at i.
int centre_distance(const LinkScreen& s, std::size_t i, const Word* centre) {
  const std::size_t words = s.words;
  const Word* l = ladder_of(s, i);
  const Word* scored = l + 4 * words;
  if (s.codominant[i] != 0) {
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

// The distance in thirds that rules a pair out at N individuals scored at
// both, for the cluster bound: at least 1, so that a pair with N = 0
// (distance 0) is never ruled out through a centre.
int need_at(const LinkScreen& s, std::size_t n) {
  const int least = s.exclusion[n];
  if (two_class(s.lods->type)) return n == 0 ? 1 : std::max(6 * least, 1);
  return 3 * std::max(least, 1);
}

}  // namespace

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
  const CodePlanes& p = s.lods->planes;
  for (const int code : {kCodeC, kCodeD}) {
    if ((p.present[i] >> code & 1u) == 0 || (p.present[m] >> code & 1u) == 0) continue;
    const Word* a = plane(p, i, code);
    const Word* b = plane(p, m, code);
    int same = 0;
    for (std::size_t w = 0; w < words; ++w) same += pop(a[w] & b[w]);
    ninths += 4 * same;
  }
  return ninths != 0 && ninths >= 9 * s.exclusion[static_cast<std::size_t>(n)];
}

BlockPlan plan_block(const LinkScreen& s, std::size_t first, std::size_t last, int threads,
                     const std::vector<Word>* exchanged_centres) {
  const LodPlanes& lods = *s.lods;
  if (first > last || last > lods.n || last - first > kLanes)
    throw std::out_of_range("screened block");
  BlockPlan b;
  b.first = first;
  b.lanes = last - first;
  b.all = b.lanes == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << b.lanes) - 1;
  b.open_lanes = s.kernels == Kernels::avx2 ? open_lanes_avx2 : open_lanes_scalar;
  const std::size_t words = s.words;
  const std::size_t positions = lods.planes.positions;
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

}  // namespace screen

using namespace screen;

std::uint64_t open_lanes_scalar(const std::int32_t* centre, const std::int32_t* need,
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
  return open_lanes_scalar(centre, need, spread, lanes);
}
#endif

std::vector<std::uint64_t> linked_groups(const LinkScreen& s, std::size_t first,
                                         std::size_t last, const GroupLabels& labels,
                                         int threads) {
  const BlockPlan b = plan_block(s, first, last, threads);
  return group_links(b, labels, threads,
                     [&](std::size_t m, std::uint64_t open, std::uint64_t& group) {
                       screen_locus(s, b, m, open, [&](std::size_t k) {
                         if ((group >> k & 1u) == 0 &&
                             lod_above(*s.lods, first + k, m, s.threshold))
                           group |= std::uint64_t{1} << k;
                       });
                     });
}

}  // namespace tarvek
