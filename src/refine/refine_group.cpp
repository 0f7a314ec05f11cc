#include "refine/refine_group.hpp"

#include <algorithm>
#include <functional>
#include <ostream>

#include "genotype/code_planes.hpp"
#include "genotype/genotype_codes.hpp"
#include "ordering/linksort.hpp"
#include "refine/errsweep.hpp"
#include "refine/group_scores.hpp"

namespace tarvek {

std::int32_t scorepair(const ScoringMatrix& score, const std::vector<GenotypeRow>& rows, int a,
                       int b, Channels& channels) {
  const auto count = static_cast<long long>(rows.size());
  if (a < 0 || b < 0 || a >= count || b >= count) {
    errors_of(channels) << "Error in scorepair function, bad loc numbers";
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
                                         const std::vector<int>& members, Channels& channels,
                                         Kernels kernels, int threads) {
  if (kernels == Kernels::plain) {
    std::vector<std::vector<int>> items;
    items.reserve(members.size());
    for (const int x : members) items.push_back(rows.at(static_cast<std::size_t>(x)));
    return plain_score_matrix(score, items);
  }
  const CodePlanes planes = planes_of_rows(rows, members);
  return plane_score_matrix(score_cells(score), planes, "group score matrix", channels,
                            kernels, threads);
}

std::size_t cheapest_place(const PairScoreMatrix& m, const MarkerOrder& order, std::size_t item) {
  if (order.empty()) return 0;
  std::size_t position = 0;
  std::int32_t best = score_at(m, static_cast<std::size_t>(order[0]), item);
  for (std::size_t i = 1; i < order.size(); ++i) {
    const std::int32_t cost = wrap_add(score_at(m, static_cast<std::size_t>(order[i - 1]), item),
                                       score_at(m, static_cast<std::size_t>(order[i]), item));
    if (cost < best) {
      best = cost;
      position = i;
    }
  }
  if (score_at(m, static_cast<std::size_t>(order.back()), item) < best) position = order.size();
  return position;
}

void hammer_in(const PairScoreMatrix& m, MarkerOrder& order, const std::vector<int>& members,
               const std::vector<int>& removed, Channels& channels) {
  std::ostream& log = log_of(channels);
  for (const int entry : removed) {
    const auto item = static_cast<std::size_t>(entry);
    const std::size_t position = cheapest_place(m, order, item);
    order.insert(order.begin() + static_cast<std::ptrdiff_t>(position), entry);
    log << "replaced singleton marker=" << members.at(item) << " at " << position << std::endl;
  }
  log << "Replaced " << removed.size() << " markers in group of size " << order.size()
      << std::endl;
}

namespace {

void place_at(MarkerOrder& framework, const std::vector<int>& members,
              const std::vector<int>& aside,
              const std::function<std::size_t(std::size_t)>& place_of, Channels& channels,
              const std::string& words) {
  std::vector<std::vector<std::int32_t>> at_place(framework.size() + 1);
  for (const int entry : aside)
    at_place.at(place_of(static_cast<std::size_t>(entry))).push_back(entry);
  MarkerOrder order;
  order.reserve(framework.size() + aside.size());
  for (std::size_t p = 0; p <= framework.size(); ++p) {
    order.insert(order.end(), at_place[p].begin(), at_place[p].end());
    if (p < framework.size()) order.push_back(framework[p]);
  }
  framework = std::move(order);
  std::ostream& log = log_of(channels);
  for (std::size_t p = 0; p < framework.size(); ++p) {
    const auto item = static_cast<std::size_t>(framework[p]);
    if (std::find(aside.begin(), aside.end(), framework[p]) != aside.end())
      log << "placed marker=" << members.at(item) << " at " << p << std::endl;
  }
  log << "Placed " << aside.size() << " " << words << " markers into the framework, group of size "
      << framework.size() << std::endl;
}

}  // namespace

void place_into_framework(const PairScoreMatrix& m, MarkerOrder& framework,
                          const std::vector<int>& members, const std::vector<int>& aside,
                          Channels& channels, const std::string& words) {
  const MarkerOrder fixed = framework;
  place_at(framework, members, aside,
           [&](std::size_t item) { return cheapest_place(m, fixed, item); }, channels, words);
}

namespace {

// Individuals typed at both rows (neither missing nor flagged).
double typed_at_both(const GenotypeRow& a, const GenotypeRow& b) {
  double n = 0.0;
  for (std::size_t k = 0; k < a.size() && k < b.size(); ++k)
    if (a[k] != kMissing && a[k] != kFlagged && b[k] != kMissing && b[k] != kFlagged)
      n += 1.0;
  return n;
}

// The pair score of members x and y per individual typed at both.
double score_per_typed(const PairScoreMatrix& m, const std::vector<GenotypeRow>& rows,
                       const std::vector<int>& members, std::int32_t x, std::int32_t y) {
  const auto i = static_cast<std::size_t>(x);
  const auto j = static_cast<std::size_t>(y);
  const double n = typed_at_both(rows.at(static_cast<std::size_t>(members.at(i))),
                                 rows.at(static_cast<std::size_t>(members.at(j))));
  return n > 0.0 ? static_cast<double>(score_at(m, i, j)) / n : 0.0;
}

std::size_t cheapest_place_per_typed(const PairScoreMatrix& m, const std::vector<GenotypeRow>& rows,
                                     const std::vector<int>& members, const MarkerOrder& order,
                                     std::size_t item) {
  if (order.empty()) return 0;
  const auto x = static_cast<std::int32_t>(item);
  const auto d = [&](std::int32_t a, std::int32_t b) {
    return score_per_typed(m, rows, members, a, b);
  };
  std::size_t position = 0;
  double best = d(order[0], x);
  for (std::size_t i = 1; i < order.size(); ++i) {
    const double cost = d(order[i - 1], x) + d(x, order[i]) - d(order[i - 1], order[i]);
    if (cost < best) {
      best = cost;
      position = i;
    }
  }
  if (d(order.back(), x) < best) position = order.size();
  return position;
}

}  // namespace

void place_per_typed(const PairScoreMatrix& m, const std::vector<GenotypeRow>& rows,
                     MarkerOrder& framework, const std::vector<int>& members,
                     const std::vector<int>& aside, Channels& channels, const std::string& words) {
  const MarkerOrder fixed = framework;
  place_at(framework, members, aside,
           [&](std::size_t item) {
             return cheapest_place_per_typed(m, rows, members, fixed, item);
           },
           channels, words);
}

void order_within_places(const PairScoreMatrix& m, const std::vector<GenotypeRow>& rows,
                         const std::vector<int>& members, const std::vector<bool>& is_aside,
                         MarkerOrder& order) {
  const auto aside = [&](std::int32_t x) { return is_aside.at(static_cast<std::size_t>(x)); };
  const auto d = [&](std::int32_t x, std::int32_t y) {
    return score_per_typed(m, rows, members, x, y);
  };
  std::size_t start = 0;
  while (start < order.size()) {
    if (!aside(order[start])) {
      ++start;
      continue;
    }
    std::size_t end = start;
    while (end < order.size() && aside(order[end])) ++end;
    const bool has_before = start > 0;
    const bool has_after = end < order.size();
    std::vector<std::pair<double, std::int32_t>> keyed;
    for (std::size_t k = start; k < end; ++k) {
      const std::int32_t x = order[k];
      double key = 0.0;
      if (has_before && has_after) {
        const double to_a = d(order[start - 1], x);
        const double to_b = d(x, order[end]);
        key = to_a + to_b > 0.0 ? to_a / (to_a + to_b) : 0.5;
      } else if (has_after) {
        key = -d(x, order[end]);
      } else if (has_before) {
        key = d(order[start - 1], x);
      }
      keyed.emplace_back(key, x);
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& p, const auto& q) { return p.first < q.first; });
    for (std::size_t k = start; k < end; ++k) order[k] = keyed[k - start].second;
    start = end;
  }
}

namespace {

// After ERRSWEEP the removed loci's singleton genotypes are flagged: their
// rows and columns of the matrix are scored again from the recoded rows.
void rescore_removed(const ScoringMatrix& score, const std::vector<GenotypeRow>& rows,
                     const std::vector<int>& members, const std::vector<int>& removed,
                     PairScoreMatrix& m, Channels& channels, Kernels kernels, int threads) {
  const std::size_t n = members.size();
  if (removed.empty()) return;
  if (kernels == Kernels::plain) {
    for (const int r : removed) {
      const auto item = static_cast<std::size_t>(r);
      const int locus = members.at(item);
      for (std::size_t i = 0; i < n; ++i) {
        score_at(m, item, i) = scorepair(score, rows, locus, members[i], channels);
        score_at(m, i, item) = scorepair(score, rows, members[i], locus, channels);
      }
    }
    return;
  }
  rescore_items(score_cells(score), planes_of_rows(rows, members), removed, m, kernels,
                threads);
}

}  // namespace

std::int64_t exact_order_score(const ScoringMatrix& score, const std::vector<GenotypeRow>& rows,
                               const std::vector<int>& members) {
  std::int64_t total = 0;
  for (std::size_t k = 0; k + 1 < members.size(); ++k) {
    const GenotypeRow& a = rows.at(static_cast<std::size_t>(members[k]));
    const GenotypeRow& b = rows.at(static_cast<std::size_t>(members[k + 1]));
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i)
      total += score.at(static_cast<std::size_t>(a[i])).at(static_cast<std::size_t>(b[i]));
  }
  return total;
}

std::int32_t refine_group(const ScoringMatrix& score, std::vector<GenotypeRow>& rows,
                          std::vector<int>& members, std::vector<int>& removed,
                          const RefineSettings& settings, OrderRandom& random,
                          Channels& channels, const StageObserver& observer) {
  std::ostream& log = log_of(channels);
  const std::size_t n = members.size();
  console_of(channels) << "creating group score matrix..." << std::endl;
  log << "creating the group score matrix , size=" << n << std::endl;
  stage_started(observer, Stage::score_matrix);
  PairScoreMatrix m =
      build_group_score_matrix(score, rows, members, channels, settings.kernels, settings.threads);
  stage_finished(observer, Stage::score_matrix);
  const std::vector<int> copy = members;
  // The framework: every member, or those not set aside when at least two
  // of them are left.
  MarkerOrder order;
  std::vector<int> aside;
  const bool framework = settings.set_aside.size() == n &&
                         std::count(settings.set_aside.begin(), settings.set_aside.end(), false) >= 2;
  for (std::size_t i = 0; i < n; ++i) {
    if (framework && settings.set_aside[i]) {
      aside.push_back(static_cast<int>(i));
    } else {
      order.push_back(static_cast<std::int32_t>(i));
    }
  }
  if (!aside.empty()) {
    log << "Ordering a framework of " << order.size() << " codominant markers, " << aside.size()
        << " " << settings.set_aside_words << " markers set aside" << std::endl;
  }

  stage_started(observer, Stage::linksort);
  linksort(m, order, random, channels, settings.kernels);
  stage_finished(observer, Stage::linksort);
  if (settings.errsweep_on) {
    stage_started(observer, Stage::errsweep);
    const int c = find_singletons(rows, order, copy, removed, settings.singleton_threshold,
                                  channels, settings.population, settings.threads);
    stage_finished(observer, Stage::errsweep);
    stage_started(observer, Stage::rerun);
    if (c > 0) {
      log << "Removed Singletons!, ReRunning LINKSORT\n" << std::endl;
      console_of(channels) << "Removed Singletons!, ReRunning LINKSORT" << std::endl;
      linksort(m, order, random, channels, settings.kernels);
    }
    const std::int32_t s = order_score(m, order);
    log << "\nMain loop done!!!!, score=" << s << "\nHammering in removed markers..." << std::endl;
    console_of(channels) << "Main loop done!!!!, score=" << s << "\nHammering in removed markers..."
                         << std::endl;
    rescore_removed(score, rows, copy, removed, m, channels, settings.kernels, settings.threads);
    hammer_in(m, order, copy, removed, channels);
    stage_finished(observer, Stage::rerun);
  }
  if (!aside.empty()) {
    if (!settings.order_within_places) {
      place_into_framework(m, order, copy, aside, channels, settings.set_aside_words);
    } else {
      place_per_typed(m, rows, order, copy, aside, channels, settings.set_aside_words);
      std::vector<bool> is_aside(n, false);
      for (const int x : aside) is_aside.at(static_cast<std::size_t>(x)) = true;
      order_within_places(m, rows, copy, is_aside, order);
    }
  }
  for (std::size_t i = 0; i < n; ++i) members[i] = copy.at(static_cast<std::size_t>(order.at(i)));
  for (int& r : removed) r = copy.at(static_cast<std::size_t>(r));
  const std::int32_t s = order_score(m, order);
  log << "\nLINKSORT done, score=" << s << std::endl;
  return s;
}

}  // namespace tarvek
