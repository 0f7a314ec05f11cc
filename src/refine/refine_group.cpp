#include "refine/refine_group.hpp"

#include <iostream>

#include "genotype/code_planes.hpp"
#include "ordering/linksort.hpp"
#include "refine/group_scores.hpp"
#include "refine/errsweep.hpp"
#include "run/report.hpp"

namespace tarvek {

std::int32_t scorepair(const ScoringMatrix& score, const std::vector<GenotypeRow>& rows, int a,
                       int b) {
  const auto count = static_cast<long long>(rows.size());
  if (a < 0 || b < 0 || a >= count || b >= count) {
    std::cerr << "Error in scorepair function, bad loc numbers";
    return 0;
  }
  const GenotypeRow& ra = rows[static_cast<std::size_t>(a)];
  const GenotypeRow& rb = rows[static_cast<std::size_t>(b)];
  std::uint32_t sum = 0;
  for (std::size_t k = 0; k < ra.size(); ++k) {
    sum += static_cast<std::uint32_t>(
        score.at(static_cast<std::size_t>(ra[k])).at(static_cast<std::size_t>(rb.at(k))));
  }
  return static_cast<std::int32_t>(sum);
}

PairScoreMatrix build_group_score_matrix(const ScoringMatrix& score,
                                         const std::vector<GenotypeRow>& rows,
                                         const LinkageGroup& members) {
  const CodePlanes planes = planes_of_rows(rows, members);
  return plane_score_matrix(make_score_kernel(score), planes, "group score matrix");
}

void hammer_in(const PairScoreMatrix& m, MarkerOrder& order, const std::vector<int>& members,
               const std::vector<int>& removed) {
  for (const int entry : removed) {
    const auto item = static_cast<std::size_t>(entry);
    std::size_t position = 0;
    if (order.empty()) {
      order.push_back(entry);
    } else {
      std::int32_t best = score_at(m, static_cast<std::size_t>(order[0]), item);
      for (std::size_t i = 1; i < order.size(); ++i) {
        const std::int32_t cost = wrap_add(score_at(m, static_cast<std::size_t>(order[i - 1]), item),
                                           score_at(m, static_cast<std::size_t>(order[i]), item));
        if (cost < best) {
          best = cost;
          position = i;
        }
      }
      if (score_at(m, static_cast<std::size_t>(order.back()), item) < best) {
        position = order.size();
        order.push_back(entry);
      } else {
        order.insert(order.begin() + static_cast<std::ptrdiff_t>(position), entry);
      }
    }
    log_stream() << "replaced singleton marker=" << members.at(item) << " at " << position
                 << std::endl;
  }
  log_stream() << "Replaced " << removed.size() << " markers in group of size " << order.size()
               << std::endl;
}

std::int32_t refine_group(const ScoringMatrix& score, std::vector<GenotypeRow>& rows,
                          LinkageGroup& members, std::vector<int>& removed, bool errsweep_on,
                          float singleton_threshold) {
  const std::size_t n = members.size();
  std::cout << "creating group score matrix..." << std::endl;
  log_stream() << "creating the group score matrix , size=" << n << std::endl;
  const ScoreKernel kernel = make_score_kernel(score);
  CodePlanes planes = planes_of_rows(rows, members);
  PairScoreMatrix m = plane_score_matrix(kernel, planes, "group score matrix");
  const LinkageGroup copy = members;
  MarkerOrder order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = static_cast<std::int32_t>(i);

  linksort(m, order);
  if (errsweep_on) {
    const int c = find_singletons(rows, order, copy, removed, singleton_threshold);
    if (c > 0) {
      log_stream() << "Removed Singletons!, ReRunning LINKSORT\n" << std::endl;
      std::cout << "Removed Singletons!, ReRunning LINKSORT" << std::endl;
      linksort(m, order);
    }
    const std::int32_t s = order_score(m, order);
    log_stream() << "\nMain loop done!!!!, score=" << s << "\nHammering in removed markers..."
                 << std::endl;
    std::cout << "Main loop done!!!!, score=" << s << "\nHammering in removed markers..."
              << std::endl;
    // The removed loci's singleton genotypes are now flagged: refresh their
    // pair scores.
    for (const int r : removed) {
      const auto item = static_cast<std::size_t>(r);
      set_item_codes(planes, item, rows.at(static_cast<std::size_t>(copy.at(item))));
    }
    for (const int r : removed) {
      const auto item = static_cast<std::size_t>(r);
      for (std::size_t i = 0; i < n; ++i) {
        score_at(m, item, i) = plane_pair_score(kernel, planes, item, i);
        score_at(m, i, item) = plane_pair_score(kernel, planes, i, item);
      }
    }
    hammer_in(m, order, copy, removed);
  }
  for (std::size_t i = 0; i < n; ++i) members[i] = copy.at(static_cast<std::size_t>(order.at(i)));
  for (int& r : removed) r = copy.at(static_cast<std::size_t>(r));
  const std::int32_t s = order_score(m, order);
  log_stream() << "\nLINKSORT done, score=" << s << std::endl;
  return s;
}

}  // namespace tarvek
