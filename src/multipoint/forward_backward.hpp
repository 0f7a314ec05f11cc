#pragma once
// Scaled forward–backward passes of the map model over one individual's
// stretch of markers. The forward values are normalised at every marker
// (the logarithms of the normalisers sum to the log-likelihood) and the
// backward values likewise, so that no product of thousands of
// probabilities can underflow; every ratio taken from them is unchanged by
// the scaling.
//
// F2 runs on three lumped states (AA, AB = BA, BB): by the symmetry of the
// two gametes the phase-known states AB and BA always have equal forward and
// backward values, so one number stands for each, counted twice in sums.
// With q = 1 − r the transitions of the lumped chain are
//   from AA: AA q², AB qr, BA qr, BB r²      from AB: AA qr, AB q², BA r², BB qr
// and the expected number of recombinant gametes in an interval is read from
// the same sums. Two-class types run on two states switching with the share.

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvek::multipoint_detail {

// Forward and backward values are rescaled only when they have fallen below
// kRescaleBelow (a division per marker would lengthen the chain of
// dependent operations that bounds the pass's speed): a step multiplies them
// by at least about ε·r² > 1e-30, so they stay far inside the range of a
// double. The log-likelihood is the sum of the logarithms of the factors
// taken out and of the last forward sum.
inline constexpr double kRescaleBelow = 1e-150;

// Emission of each observation class (rows, indexed by Observation) in each
// lumped state (columns: AA, AB, BB for an F2; first, second class for the
// two-class types, the third column unused).
using EmissionTable = std::array<std::array<double, 3>, 6>;

EmissionTable f2_emissions(double error_rate);
EmissionTable two_class_emissions(double error_rate);

// Per-marker posterior of the lumped states: AA, H, BB (F2) or first,
// second (two-class), summing to 1.
using Posterior = std::array<double, 3>;

// One forward–backward pass over markers [first, last] (first < last) of
// one individual. `obs` is the individual's row of observations, `share`
// the interval shares (share[k] between k and k + 1), `scratch` at least
// 3·(last − first + 1) doubles. Calls interval(k, expected recombinant
// meioses) for k in [first, last) and marker(k, posterior) for every
// observed marker; returns the natural log-likelihood of the stretch.
template <class Interval, class Marker>
double f2_pass(const std::uint8_t* obs, std::size_t first, std::size_t last,
               const std::vector<double>& share, const EmissionTable& e, double* scratch,
               Interval&& interval, Marker&& marker) {
  double log_likelihood = 0.0;
  // Forward: x0 + 2·x1 + x2 is the probability of the markers so far.
  double x0, x1, x2;
  {
    const auto& em = e[obs[first]];
    x0 = 0.25 * em[0];
    x1 = 0.25 * em[1];
    x2 = 0.25 * em[2];
    scratch[0] = x0;
    scratch[1] = x1;
    scratch[2] = x2;
  }
  for (std::size_t k = first + 1; k <= last; ++k) {
    const double r = share[k - 1];
    const double q = 1.0 - r;
    const double a = q * q, b = q * r, d = r * r;
    const auto& em = e[obs[k]];
    const double n0 = (a * x0 + 2.0 * b * x1 + d * x2) * em[0];
    const double n1 = (b * x0 + (a + d) * x1 + b * x2) * em[1];
    const double n2 = (d * x0 + 2.0 * b * x1 + a * x2) * em[2];
    x0 = n0;
    x1 = n1;
    x2 = n2;
    const double w = x0 + 2.0 * x1 + x2;
    if (w < kRescaleBelow) {
      log_likelihood += std::log(w);
      const double inv = 1.0 / w;
      x0 *= inv;
      x1 *= inv;
      x2 *= inv;
    }
    double* out = scratch + 3 * (k - first);
    out[0] = x0;
    out[1] = x1;
    out[2] = x2;
  }
  log_likelihood += std::log(x0 + 2.0 * x1 + x2);
  // Backward, from beta = 1 at the last marker.
  double b0 = 1.0, b1 = 1.0, b2 = 1.0;
  for (std::size_t k = last;; --k) {
    const double* x = scratch + 3 * (k - first);
    if (obs[k] != 0) {
      const double p0 = x[0] * b0, p1 = 2.0 * x[1] * b1, p2 = x[2] * b2;
      const double inv = 1.0 / (p0 + p1 + p2);
      marker(k, Posterior{p0 * inv, p1 * inv, p2 * inv});
    }
    if (k == first) break;
    const auto& em = e[obs[k]];
    const double y0 = em[0] * b0, y1 = em[1] * b1, y2 = em[2] * b2;
    const double r = share[k - 1];
    const double q = 1.0 - r;
    const double a = q * q, b = q * r, d = r * r;
    const double* xp = scratch + 3 * (k - 1 - first);
    const double n0 = a * y0 + 2.0 * b * y1 + d * y2;
    const double n1 = b * y0 + (a + d) * y1 + b * y2;
    const double n2 = d * y0 + 2.0 * b * y1 + a * y2;
    const double total = xp[0] * n0 + 2.0 * xp[1] * n1 + xp[2] * n2;
    const double recombinant = xp[0] * (2.0 * b * y1 + 2.0 * d * y2) +
                               2.0 * xp[1] * (b * y0 + 2.0 * d * y1 + b * y2) +
                               xp[2] * (2.0 * d * y0 + 2.0 * b * y1);
    interval(k - 1, recombinant / total);
    b0 = n0;
    b1 = n1;
    b2 = n2;
    const double s = b0 + 2.0 * b1 + b2;
    if (s < kRescaleBelow) {
      const double inv = 1.0 / s;
      b0 *= inv;
      b1 *= inv;
      b2 *= inv;
    }
  }
  return log_likelihood;
}

template <class Interval, class Marker>
double two_class_pass(const std::uint8_t* obs, std::size_t first, std::size_t last,
                      const std::vector<double>& share, const EmissionTable& e, double* scratch,
                      Interval&& interval, Marker&& marker) {
  double log_likelihood = 0.0;
  double x0, x1;
  {
    const auto& em = e[obs[first]];
    x0 = 0.5 * em[0];
    x1 = 0.5 * em[1];
    scratch[0] = x0;
    scratch[1] = x1;
  }
  for (std::size_t k = first + 1; k <= last; ++k) {
    const double r = share[k - 1];
    const double q = 1.0 - r;
    const auto& em = e[obs[k]];
    const double n0 = (q * x0 + r * x1) * em[0];
    const double n1 = (r * x0 + q * x1) * em[1];
    x0 = n0;
    x1 = n1;
    const double w = x0 + x1;
    if (w < kRescaleBelow) {
      log_likelihood += std::log(w);
      const double inv = 1.0 / w;
      x0 *= inv;
      x1 *= inv;
    }
    double* out = scratch + 2 * (k - first);
    out[0] = x0;
    out[1] = x1;
  }
  log_likelihood += std::log(x0 + x1);
  double b0 = 1.0, b1 = 1.0;
  for (std::size_t k = last;; --k) {
    const double* x = scratch + 2 * (k - first);
    if (obs[k] != 0) {
      const double p0 = x[0] * b0, p1 = x[1] * b1;
      const double inv = 1.0 / (p0 + p1);
      marker(k, Posterior{p0 * inv, p1 * inv, 0.0});
    }
    if (k == first) break;
    const auto& em = e[obs[k]];
    const double y0 = em[0] * b0, y1 = em[1] * b1;
    const double r = share[k - 1];
    const double q = 1.0 - r;
    const double* xp = scratch + 2 * (k - 1 - first);
    const double n0 = q * y0 + r * y1;
    const double n1 = r * y0 + q * y1;
    const double total = xp[0] * n0 + xp[1] * n1;
    interval(k - 1, r * (xp[0] * y1 + xp[1] * y0) / total);
    b0 = n0;
    b1 = n1;
    const double s = b0 + b1;
    if (s < kRescaleBelow) {
      const double inv = 1.0 / s;
      b0 *= inv;
      b1 *= inv;
    }
  }
  return log_likelihood;
}

// The posterior of a marker that is the only observed one of its stretch:
// the prior times the emission; its log-probability is added to `log_likelihood`.
Posterior lone_posterior(bool f2, const EmissionTable& e, std::uint8_t obs, double& log_likelihood);

}  // namespace tarvek::multipoint_detail
