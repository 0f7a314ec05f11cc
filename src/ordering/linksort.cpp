#include "ordering/linksort.hpp"

#include <ostream>

#include "base/progress.hpp"
#include "ordering/order_random.hpp"
#include "ordering/frame_passes.hpp"
#include "ordering/insertion.hpp"
#include "ordering/score_view.hpp"

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

std::int32_t pick_random(std::vector<std::int32_t>& remaining, OrderRandom& random) {
  const auto r = static_cast<std::uint32_t>(draw_order_random(random));
  const auto count = static_cast<std::uint32_t>(remaining.size());
  const std::uint32_t product = r * count;
  const std::size_t idx = product >> 15;
  const std::int32_t item = remaining.at(idx);
  remaining.erase(remaining.begin() + static_cast<std::ptrdiff_t>(idx));
  return item;
}

void random_order(MarkerOrder& order, OrderRandom& random) {
  std::vector<std::int32_t> remaining(order.begin(), order.end());
  const std::size_t n = order.size();
  for (std::size_t k = 0; k < n; ++k) order[n - 1 - k] = pick_random(remaining, random);
}

namespace {

// The runs of LINKSORT from the randomised order: each run rebuilds the
// order with `place` and improves it with `passes`, while a run lowers the
// score (the score before the first run counts as one above the start, in
// 64 bits, so that a start of 2147483647 still gets its run).
template <class Place, class Passes>
void linksort_runs(const PairScoreMatrix& m, MarkerOrder& order, Channels& channels,
                   const Place& place, const Passes& passes) {
  std::ostream& log = log_of(channels);
  std::int32_t s = order_score(m, order);
  log << "randomized score=" << s << std::endl;
  int run = 1;
  std::int64_t prev = std::int64_t{s} + 1;
  MarkerOrder saved = order;
  Progress progress = start_progress(channels, "LINKSORT of " + std::to_string(order.size()), 1,
                                     order.size() >= 1000);
  while (s < prev && s >= 0) {
    show_status(progress, "run " + std::to_string(run) + ", score " + std::to_string(s));
    log << "\nLINKSORT run " << run << std::endl;
    ++run;
    prev = s;
    saved = order;
    const std::int32_t w = place(order);
    log << "inital window placement score = " << w << std::endl;
    passes(order, w);
    s = order_score(m, order);
    log << "score = " << s << std::endl;
  }
  finish_progress(progress);
  order = saved;
  log << "\nLINKSORT Done, using score " << order_score(m, order) << std::endl << std::endl;
}

// The fast runs: insertion into an array of the placed items, reversal
// passes in the order's frame with entries of type T; both eight candidates
// at a time with Kernels::avx2.
template <class T>
void fast_linksort_runs(const PairScoreMatrix& m, MarkerOrder& order, Channels& channels,
                        Kernels kernels) {
  const ScoreView<std::int32_t> view{m.values.data(), m.n};
  const ColumnView columns(view);
  OrderFrame<T> frame;
  std::ostream& log = log_of(channels);
  linksort_runs(
      m, order, channels, [&](MarkerOrder& o) { return place_by_insertion(columns, o, kernels); },
      [&](MarkerOrder& o, std::int32_t w) {
        reversal_passes_in_frame(view, o, w, columns.symmetric, frame, log, kernels);
      });
}

}  // namespace

void linksort(const PairScoreMatrix& m, MarkerOrder& order, OrderRandom& random,
              Channels& channels, Kernels kernels) {
  const std::size_t n = order.size();
  if (n < 2) return;
  check_order_indices(m, order);
  log_of(channels) << "Running LINKSORT!, groupsize=" << n << ". Randomizing order...\n";
  console_of(channels) << "Running LINKSORT on group of size=" << n << std::endl;
  random_order(order, random);
  if (kernels == Kernels::plain) {
    linksort_runs(
        m, order, channels, [&](MarkerOrder& o) { return plain_window_placement(m, o); },
        [&](MarkerOrder& o, std::int32_t w) { plain_reversal_passes(m, o, w, channels); });
  } else if (fits_16_bits(m)) {
    // Scores of a group are sums over the individuals and most often fit in
    // 16 bits; the reversal passes then read a frame half the size, which
    // stays in cache.
    fast_linksort_runs<std::int16_t>(m, order, channels, kernels);
  } else {
    fast_linksort_runs<std::int32_t>(m, order, channels, kernels);
  }
}

}  // namespace tarvek
