// The plain versions of LINKSORT's window placement and reversal passes,
// written straight from their definitions: the order under construction is a
// std::list, every score is read from the matrix when it is needed, and sums
// wrap in unsigned 32-bit arithmetic.

#include <algorithm>
#include <list>
#include <ostream>

#include "ordering/linksort.hpp"
#include "ordering/search_log.hpp"

namespace tarvek {
namespace {

std::uint32_t u(std::int32_t v) { return static_cast<std::uint32_t>(v); }
std::int32_t wrapped(std::uint32_t v) { return static_cast<std::int32_t>(v); }
std::uint32_t at(const PairScoreMatrix& m, std::int32_t a, std::int32_t b) {
  return u(score_at(m, static_cast<std::size_t>(a), static_cast<std::size_t>(b)));
}

}  // namespace

// Cheapest insertion from the back of the order: the front, then each gap
// a|b at m[a][x] + m[b][x] - m[a][b] when strictly lower, the back only when
// strictly cheapest.
std::int32_t plain_window_placement(const PairScoreMatrix& m, MarkerOrder& o) {
  check_order_indices(m, o);
  if (o.size() < 2) return 0;
  std::list<std::int32_t> rest(o.begin(), o.end() - 2);
  std::list<std::int32_t> p = {o[o.size() - 1], o[o.size() - 2]};
  std::uint32_t total = at(m, p.front(), p.back());
  for (; !rest.empty(); rest.pop_back()) {
    const std::int32_t x = rest.back();
    std::int32_t best = wrapped(at(m, x, p.front()));
    auto where = p.begin();
    for (auto a = p.begin(), b = std::next(a); b != p.end(); ++a, ++b) {
      const std::int32_t cost = wrapped(at(m, *a, x) + at(m, *b, x) - at(m, *a, *b));
      if (cost < best) {
        best = cost;
        where = b;
      }
    }
    const std::int32_t back = wrapped(at(m, p.back(), x));
    if (back < best) {
      best = back;
      where = p.end();
    }
    p.insert(where, x);
    total += u(best);
  }
  o.assign(p.begin(), p.end());
  return wrapped(total);
}

// Prefix, inner segments and suffix of each length; a reversal with d < 0 is
// applied at once.
void plain_reversal_passes(const PairScoreMatrix& m, MarkerOrder& o, std::int32_t c,
                           Channels& channels) {
  check_order_indices(m, o);
  std::ostream& log = log_of(channels);
  const int n = static_cast<int>(o.size());
  const auto M = [&](int i, int j) {
    return at(m, o.at(static_cast<std::size_t>(i)), o.at(static_cast<std::size_t>(j)));
  };
  int reversals = 0;
  const auto consider = [&](std::uint32_t d, int start, int end) {
    if (wrapped(d) >= 0) return;
    std::reverse(o.begin() + start, o.begin() + end + 1);
    c = wrapped(u(c) + d);
    ++reversals;
  };
  std::int64_t prev = std::int64_t{c} + 1;
  for (int pass = 1; c < prev && c >= 0; ++pass) {
    prev = c;
    reversals = 0;
    write_pass_start(log, pass);
    for (int k = 2; k <= n - 2; ++k) {
      consider(M(0, k) - M(k - 1, k), 0, k - 1);
      for (int l = 1; l <= n - k - 2; ++l)
        consider(M(l - 1, l + k - 1) + M(l, l + k) - M(l - 1, l) - M(l + k - 1, l + k), l,
                 l + k - 1);
      consider(M(n - k - 1, n - 1) - M(n - k - 1, n - k), n - k, n - 1);
    }
    write_pass_end(log, reversals, c);
  }
}

}  // namespace tarvek
