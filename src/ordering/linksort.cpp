#include "ordering/linksort.hpp"

#include <iostream>
#include <list>

#include "ordering/order_random.hpp"
#include "run/report.hpp"

namespace tarvek {
namespace {

// Unchecked entry; callers validate the order against the matrix first.
inline std::int32_t at(const PairScoreMatrix& m, std::int32_t a, std::int32_t b) {
  return m.values[static_cast<std::size_t>(a) * m.n + static_cast<std::size_t>(b)];
}

}  // namespace

void check_order_indices(const PairScoreMatrix& m, const MarkerOrder& order) {
  if (m.values.size() != m.n * m.n) throw std::out_of_range("pair score matrix shape");
  for (const std::int32_t item : order) {
    if (item < 0 || static_cast<std::size_t>(item) >= m.n)
      throw std::out_of_range("order entry outside the pair score matrix");
  }
}

std::int32_t order_score(const PairScoreMatrix& m, const MarkerOrder& order) {
  check_order_indices(m, order);
  std::int32_t score = 0;
  for (std::size_t i = 0; i + 1 < order.size(); ++i)
    score = wrap_add(score, at(m, order[i], order[i + 1]));
  return score;
}

std::int32_t pick_random(std::vector<std::int32_t>& remaining) {
  const auto r = static_cast<std::uint32_t>(draw_order_random());
  const auto count = static_cast<std::uint32_t>(remaining.size());
  const std::uint32_t product = r * count;
  const std::size_t idx = product >> 15;
  const std::int32_t item = remaining.at(idx);
  remaining.erase(remaining.begin() + static_cast<std::ptrdiff_t>(idx));
  return item;
}

void random_order(MarkerOrder& order) {
  std::vector<std::int32_t> remaining(order.begin(), order.end());
  const std::size_t n = order.size();
  for (std::size_t k = 0; k < n; ++k) order[n - 1 - k] = pick_random(remaining);
}

std::int32_t window_placement(const PairScoreMatrix& m, MarkerOrder& order) {
  check_order_indices(m, order);
  const std::size_t n = order.size();
  if (n < 2) return 0;
  std::list<std::int32_t> placed;
  placed.push_back(order[n - 1]);
  placed.push_back(order[n - 2]);
  std::int32_t total = at(m, placed.front(), placed.back());
  for (std::size_t k = n - 2; k-- > 0;) {
    const std::int32_t item = order[k];
    std::int32_t best = at(m, item, placed.front());
    auto best_pos = placed.begin();
    auto a = placed.begin();
    for (auto b = std::next(a); b != placed.end(); ++a, ++b) {
      const std::int32_t cost = wrap_sub(wrap_add(at(m, *a, item), at(m, *b, item)), at(m, *a, *b));
      if (cost < best) {
        best = cost;
        best_pos = b;
      }
    }
    const std::int32_t back = at(m, placed.back(), item);
    if (back < best) {
      placed.push_back(item);
      total = wrap_add(total, back);
    } else {
      placed.insert(best_pos, item);
      total = wrap_add(total, best);
    }
  }
  std::copy(placed.begin(), placed.end(), order.begin());
  return total;
}

void linksort(const PairScoreMatrix& m, MarkerOrder& order) {
  const std::size_t n = order.size();
  if (n < 2) return;
  check_order_indices(m, order);
  std::ostream& log = log_stream();
  log << "Running LINKSORT!, groupsize=" << n << ". Randomizing order...\n";
  std::cout << "Running LINKSORT on group of size=" << n << std::endl;
  random_order(order);
  std::int32_t s = order_score(m, order);
  log << "randomized score=" << s << std::endl;
  int run = 1;
  std::int32_t prev = wrap_add(s, 1);
  MarkerOrder saved = order;
  while (s < prev && s >= 0) {
    log << "\nLINKSORT run " << run << std::endl;
    ++run;
    prev = s;
    saved = order;
    const std::int32_t w = window_placement(m, order);
    log << "inital window placement score = " << w << std::endl;
    reversal_passes(m, order, w);
    s = order_score(m, order);
    log << "score = " << s << std::endl;
  }
  order = saved;
  log << "\nLINKSORT Done, using score " << order_score(m, order) << std::endl << std::endl;
}

}  // namespace tarvek
