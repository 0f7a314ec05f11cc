#include "ordering/linksort.hpp"

#include <iostream>

#include "ordering/order_random.hpp"
#include "ordering/search_kernels.hpp"
#include "run/progress.hpp"
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
  if (order.size() < 2) return 0;
  return place_by_insertion(ColumnView(ScoreView<std::int32_t>{m.values.data(), m.n}),
                            order);
}

bool fits_16_bits(const PairScoreMatrix& m) {
  for (const std::int32_t v : m.values) {
    if (v < std::numeric_limits<std::int16_t>::min() || v > std::numeric_limits<std::int16_t>::max())
      return false;
  }
  return true;
}

namespace {

// The runs of LINKSORT from the randomised order. The reversal passes read
// the matrix in the order's frame, stored with entries of type T.
template <class T>
void linksort_runs(const PairScoreMatrix& m, MarkerOrder& order) {
  std::ostream& log = log_stream();
  const ScoreView<std::int32_t> view{m.values.data(), m.n};
  const ColumnView columns(view);
  std::int32_t s = order_score(m, order);
  log << "randomized score=" << s << std::endl;
  int run = 1;
  std::int32_t prev = wrap_add(s, 1);
  MarkerOrder saved = order;
  std::vector<T> frame;
  Progress progress = start_progress("LINKSORT of " + std::to_string(order.size()), 1,
                                     order.size() >= 1000);
  while (s < prev && s >= 0) {
    show_status(progress, "run " + std::to_string(run) + ", score " + std::to_string(s));
    log << "\nLINKSORT run " << run << std::endl;
    ++run;
    prev = s;
    saved = order;
    const std::int32_t w = place_by_insertion(columns, order);
    log << "inital window placement score = " << w << std::endl;
    reversal_passes_in_frame(view, order, w, frame);
    s = order_score(m, order);
    log << "score = " << s << std::endl;
  }
  finish_progress(progress);
  order = saved;
  log << "\nLINKSORT Done, using score " << order_score(m, order) << std::endl << std::endl;
}

}  // namespace

void linksort(const PairScoreMatrix& m, MarkerOrder& order) {
  const std::size_t n = order.size();
  if (n < 2) return;
  check_order_indices(m, order);
  log_stream() << "Running LINKSORT!, groupsize=" << n << ". Randomizing order...\n";
  std::cout << "Running LINKSORT on group of size=" << n << std::endl;
  random_order(order);
  // Scores of a group are sums over the individuals and most often fit in 16
  // bits; the reversal passes then read a frame half the size, which stays
  // in cache.
  if (fits_16_bits(m)) {
    linksort_runs<std::int16_t>(m, order);
  } else {
    linksort_runs<std::int32_t>(m, order);
  }
}

}  // namespace tarvek
