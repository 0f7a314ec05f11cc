#pragma once
// The pieces that the EM of map_estimate.cpp and the error calls share:
// emissions, each individual's observed stretch per segment, the blocks of
// individuals that threads take, and the walk of one individual's stretches.

#include <array>
#include <cstddef>
#include <vector>

#include "base/parallel.hpp"
#include "genotype/population.hpp"
#include "multipoint/forward_backward.hpp"
#include "multipoint/map_estimate.hpp"

namespace tarvek::multipoint_detail {

// True at every marker that starts a segment (marker 0 included).
std::vector<bool> segment_start_flags(const GroupObservations& group);

// The first and last observed marker of one individual in one segment, and
// how many markers between them are observed.
struct Span {
  std::size_t first = 0;
  std::size_t last = 0;
  std::size_t observed = 0;
};

struct Spans {
  std::size_t segments = 0;
  std::vector<Span> spans;  // [individual * segments + segment]
};

Spans observed_spans(const GroupObservations& group);

// Individuals in at most 32 blocks of consecutive individuals: the block
// split depends on the number of individuals alone, so that sums formed per
// block and added in block order are the same for any number of threads.
Blocks individual_blocks(std::size_t individuals);

// Forward values of one worker: room for three states at every marker.
class Scratch {
 public:
  Scratch(std::size_t workers, std::size_t markers)
      : buffers_(workers, std::vector<double>(3 * markers + 3)) {}
  double* at(std::size_t worker) { return buffers_.at(worker).data(); }

 private:
  std::vector<std::vector<double>> buffers_;
};

// Expected counts of correct and wrong scores, the sufficient statistics
// of ε: correct codominant (or two-class) scores, wrong scores, and correct
// dominant scores (whose emission is 1 − ε/2).
struct ErrorSums {
  double correct = 0.0;
  double wrong = 0.0;
  double correct_dominant = 0.0;
};

// The posterior mass of each lumped state summed per observation class: the
// E-step adds into it without a branch; error_sums reads ε's statistics off.
using ObservationMass = std::array<std::array<double, 3>, 6>;
ErrorSums error_sums(PopulationType population, const ObservationMass& mass);

// The posterior mass of the true genotypes that the score at (individual,
// marker) is wrong for, and of those it is right for.
struct ScoreMass {
  double wrong = 0.0;
  double right = 0.0;
};
ScoreMass score_mass(const GroupObservations& group, std::size_t individual, std::size_t marker,
                     const Posterior& posterior);

// Runs the model over each observed stretch of individual i: the pass over
// stretches of two or more observed markers, the lone posterior for a single
// one. Adds the log-likelihood.
template <class Interval, class Marker>
void visit_individual(const GroupObservations& group, const Spans& spans, std::size_t i,
                      const std::vector<double>& share, const EmissionTable& e, double* scratch,
                      Interval&& interval, Marker&& marker, double& log_likelihood) {
  const bool f2 = !two_class(group.population);
  const std::uint8_t* obs = group.codes.data() + i * group.markers;
  for (std::size_t s = 0; s < spans.segments; ++s) {
    const Span& span = spans.spans[i * spans.segments + s];
    if (span.observed == 0) continue;
    if (span.observed == 1) {
      marker(span.first, lone_posterior(f2, e, obs[span.first], log_likelihood));
      continue;
    }
    log_likelihood += f2 ? f2_pass(obs, span.first, span.last, share, e, scratch, interval, marker)
                         : two_class_pass(obs, span.first, span.last, share, e, scratch, interval,
                                          marker);
  }
}

}  // namespace tarvek::multipoint_detail
