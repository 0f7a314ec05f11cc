#include "multipoint/map_estimate.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "base/parallel.hpp"
#include "genotype/genotype_codes.hpp"
#include "multipoint/forward_backward.hpp"
#include "multipoint/model_parts.hpp"

namespace tarvek {

using namespace multipoint_detail;

namespace {

std::uint8_t f2_observation(int code) {
  switch (code) {
    case kCodeA: return kObsA;
    case kCodeH: return kObsH;
    case kCodeB: return kObsB;
    case kCodeC: return kObsNotA;
    case kCodeD: return kObsNotB;
    default: return kObsNone;
  }
}

std::uint8_t two_class_observation(const MarkerClasses& classes, int code) {
  switch (class_of(classes, code)) {
    case 0: return kObsFirst;
    case 1: return kObsSecond;
    default: return kObsNone;
  }
}

// The sums one E-step gathers from a block of individuals.
struct BlockSums {
  std::vector<double> recombinant;  // per interval: expected recombinant meioses
  ObservationMass mass;
  double log_likelihood = 0.0;
};

// The ε that maximises a·ln(1 − ε) + b·ln ε + c·ln(1 − ε/2): the smaller
// root of (a + b + c)ε² − (2a + 3b + c)ε + 2b = 0, written so that a small
// b loses no digits.
double best_error_rate(const ErrorSums& s) {
  const double a = s.correct, b = s.wrong, c = s.correct_dominant;
  if (!(b > 0.0)) return kMinErrorRate;
  const double linear = 2.0 * a + 3.0 * b + c;
  const double disc = std::max(0.0, linear * linear - 8.0 * b * (a + b + c));
  const double e = 4.0 * b / (linear + std::sqrt(disc));
  return std::clamp(e, kMinErrorRate, kMaxErrorRate);
}

}  // namespace

GroupObservations observe_group(PopulationType population,
                                const std::vector<const GenotypeRow*>& rows,
                                const std::vector<std::size_t>& segment_starts) {
  GroupObservations g;
  g.population = population;
  g.markers = rows.size();
  for (const GenotypeRow* row : rows) g.individuals = std::max(g.individuals, row->size());
  g.codes.assign(g.markers * g.individuals, kObsNone);
  g.classes.reserve(g.markers);
  const bool classes_only = two_class(population);
  for (std::size_t k = 0; k < g.markers; ++k) {
    const GenotypeRow& row = *rows.at(k);
    const MarkerClasses classes = marker_classes(population, row);
    g.classes.push_back(classes);
    for (std::size_t i = 0; i < row.size(); ++i) {
      g.codes.at(i * g.markers + k) = classes_only ? two_class_observation(classes, row[i])
                                                   : f2_observation(row[i]);
    }
  }
  if (g.markers > 0) {
    g.segment_starts.push_back(0);
    for (const std::size_t s : segment_starts)
      if (s > g.segment_starts.back() && s < g.markers) g.segment_starts.push_back(s);
  }
  return g;
}

namespace {

// The parameters EM moves: the share of every interval and ε.
struct Parameters {
  std::vector<double> share;
  double error_rate = 0.0;
};

double largest_move(const Parameters& a, const Parameters& b) {
  double moved = std::abs(a.error_rate - b.error_rate);
  for (std::size_t k = 0; k < a.share.size(); ++k)
    moved = std::max(moved, std::abs(a.share[k] - b.share[k]));
  return moved;
}

// One EM iteration of a group: the E-step at `in` (forward–backward for
// every individual), the M-step into `out`. Returns the log-likelihood at
// `in`.
class EmStep {
 public:
  EmStep(const GroupObservations& group, bool estimate_error, int threads)
      : group_(group),
        estimate_error_(estimate_error),
        starts_(segment_start_flags(group)),
        spans_(observed_spans(group)),
        covering_(group.markers - 1, 0.0),
        blocks_(individual_blocks(group.individuals)),
        sums_(blocks_.number()),
        threads_(threads_for_work(threads, group.markers * group.individuals, 50000)),
        scratch_(workers_for(threads_, blocks_), group.markers) {
    // How many individuals' observed stretches cover each interval: the
    // others carry no information on it.
    for (const Span& s : spans_.spans)
      for (std::size_t k = s.first; k < s.last; ++k) covering_[k] += 1.0;
  }

  // Whether interval k is estimated (it lies inside a segment and some
  // individual's observations span it).
  bool estimated(std::size_t k) const { return !starts_[k + 1] && covering_[k] > 0.0; }
  bool segment_break(std::size_t k) const { return starts_[k + 1]; }

  double operator()(const Parameters& in, Parameters& out) {
    const std::size_t m = group_.markers;
    const bool f2 = !two_class(group_.population);
    const EmissionTable e = f2 ? f2_emissions(in.error_rate) : two_class_emissions(in.error_rate);
    for_each_block_on(threads_, blocks_, [&](std::size_t worker, std::size_t b, std::size_t begin,
                                            std::size_t end) {
      BlockSums& s = sums_.at(b);
      s.recombinant.assign(m - 1, 0.0);
      s.mass = ObservationMass{};
      s.log_likelihood = 0.0;
      double* buffer = scratch_.at(worker);
      for (std::size_t i = begin; i < end; ++i) {
        const std::uint8_t* obs = group_.codes.data() + i * m;
        visit_individual(group_, spans_, i, in.share, e, buffer,
                         [&](std::size_t k, double expected) { s.recombinant[k] += expected; },
                         [&](std::size_t k, const Posterior& p) {
                           auto& row = s.mass[obs[k]];
                           row[0] += p[0];
                           row[1] += p[1];
                           row[2] += p[2];
                         },
                         s.log_likelihood);
      }
    });
    std::vector<double> recombinant(m - 1, 0.0);
    ObservationMass mass{};
    double log_likelihood = 0.0;
    for (const BlockSums& s : sums_) {
      for (std::size_t k = 0; k + 1 < m; ++k) recombinant[k] += s.recombinant[k];
      for (std::size_t o = 0; o < mass.size(); ++o)
        for (std::size_t j = 0; j < 3; ++j) mass[o][j] += s.mass[o][j];
      log_likelihood += s.log_likelihood;
    }
    const ErrorSums errors = error_sums(group_.population, mass);
    const double meioses = f2 ? 2.0 : 1.0;
    out.share = in.share;
    for (std::size_t k = 0; k + 1 < m; ++k)
      if (estimated(k))
        out.share[k] = std::clamp(recombinant[k] / (meioses * covering_[k]), kMinShare, kMaxShare);
    out.error_rate = estimate_error_ ? best_error_rate(errors) : in.error_rate;
    return log_likelihood;
  }

 private:
  const GroupObservations& group_;
  bool estimate_error_;
  std::vector<bool> starts_;
  Spans spans_;
  std::vector<double> covering_;
  Blocks blocks_;
  std::vector<BlockSums> sums_;
  int threads_;
  Scratch scratch_;
};

}  // namespace

// Plain EM. It stops when no parameter moves by more than the tolerance,
// or when an iteration gains less than kLikelihoodGain in log-likelihood:
// where an interval's likelihood is flat (crossovers that missing genotypes
// leave between two intervals, say) EM drifts along the flat ridge for
// hundreds of iterations, changing neither the fit nor the map's length.
GroupMap estimate_group_map(const GroupObservations& group, const MapEstimateOptions& options,
                            const std::vector<double>& start_r) {
  GroupMap result;
  const std::size_t m = group.markers;
  const bool estimate_error = !options.error_rate.has_value();
  Parameters p0;
  p0.error_rate = estimate_error ? kStartErrorRate : std::clamp(*options.error_rate, 0.0, kMaxErrorRate);
  result.error_rate = p0.error_rate;
  if (m < 2) return result;
  const PopulationModel& model = population_model(group.population);
  EmStep step(group, estimate_error, options.threads);
  p0.share.assign(m - 1, model.share_of_r(0.1));
  for (std::size_t k = 0; k + 1 < m; ++k) {
    if (k < start_r.size() && std::isfinite(start_r[k]))
      p0.share[k] = model.share_of_r(std::clamp(start_r[k], 0.001, 0.45));
  }

  Parameters p1;
  bool converged = false;
  double previous = -std::numeric_limits<double>::infinity();
  int used = 0;
  while (used < options.iteration_cap) {
    const double log_likelihood = step(p0, p1);
    ++used;
    result.log10_likelihood = log_likelihood / std::log(10.0);
    converged = largest_move(p0, p1) < options.tolerance ||
                std::abs(log_likelihood - previous) < options.likelihood_gain;
    previous = log_likelihood;
    p0.share.swap(p1.share);
    p0.error_rate = p1.error_rate;
    if (converged) break;
  }
  result.converged = converged;
  result.iterations = used;
  result.error_rate = p0.error_rate;
  result.r.assign(m - 1, 0.5);
  for (std::size_t k = 0; k + 1 < m; ++k)
    if (!step.segment_break(k)) result.r[k] = model.r_of_share(p0.share[k]);
  return result;
}

std::vector<GroupMap> estimate_groups(const std::vector<GroupObservations>& groups,
                                      const MapEstimateOptions& options,
                                      const std::vector<std::vector<double>>& start_r) {
  // A group is small when its individuals would not be shared among the
  // threads anyway (see EmStep): those run side by side, one thread each.
  constexpr std::size_t kSmallGroup = 100000;
  std::vector<GroupMap> maps(groups.size());
  std::vector<std::size_t> small;
  const auto start_of = [&](std::size_t g) { return g < start_r.size() ? start_r[g] : std::vector<double>{}; };
  for (std::size_t g = 0; g < groups.size(); ++g) {
    if (groups[g].markers * groups[g].individuals < kSmallGroup)
      small.push_back(g);
    else
      maps[g] = estimate_group_map(groups[g], options, start_of(g));
  }
  MapEstimateOptions one = options;
  one.threads = 1;
  for_each_block(options.threads, Blocks{small.size(), 1}, [&](std::size_t, std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i)
      maps[small[i]] = estimate_group_map(groups[small[i]], one, start_of(small[i]));
  });
  return maps;
}

}  // namespace tarvek
