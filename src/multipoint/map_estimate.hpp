#pragma once
// Multipoint estimation of a linkage group's map: a hidden Markov model along
// the markers of the group, for each individual, whose hidden states are the
// true genotypes and whose observations are the scored codes, and EM
// (forward–backward, Baum–Welch) re-estimation of every interval's
// recombination frequency and of one genotyping error rate for the group.
//
// Why: a distance from the two-point r of neighbours counts an undetected
// scoring error as two crossovers, one on each side of the marker, so every
// interval gains about twice the error rate however dense the map. The model
// lets an isolated disagreement be explained by an error instead.
//
// The model, per population type:
//   F2      four phase-known states (AA, AB, BA, BB), the two gametes
//           recombining independently with r; AB and BA look alike (H), so
//           the computation runs on three lumped states.
//   BC1, DH two states (the marker's two classes), switching with r.
//   RIL     two states switching with the recombinant share R = 2r/(1+2r) of
//           selfed lines; RILsib with R = 4r/(1+6r) of sib-mated lines. The
//           share is estimated and the one-meiosis r reported.
// Emissions: a code is the true genotype's with probability 1 − ε, and each
// other class the type has shares ε equally; a dominant score C (not A) or
// D (not B) is the set of its two classes. Missing and flagged codes, and
// codes the type cannot have at the marker, carry no information.
// The model assumes no crossover interference; a map function only turns
// the estimated r into centimorgans.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "genotype/genotype_table.hpp"
#include "genotype/population.hpp"

namespace tarvek {

// EM stops when no interval's r (as the estimated share) and not ε moved by
// more than kMapTolerance in an iteration, when an iteration raised the
// natural log-likelihood by less than kLikelihoodGain, or after
// kMapIterationCap iterations. The gain test ends the long drift of EM along
// flat ridges of the likelihood (crossovers that missing genotypes leave
// between two intervals, say), which moves neither the fit (a thousandth of
// a log unit per iteration) nor the groups' lengths (by less than 0.1 cM on
// simulated F2, DH and RIL maps of 200 to 834 markers per group).
inline constexpr double kMapTolerance = 1e-6;
inline constexpr double kLikelihoodGain = 1e-3;
inline constexpr int kMapIterationCap = 1000;
// The estimated shares stay inside [kMinShare, kMaxShare], strictly between
// 0 and 0.5; an estimated ε inside [kMinErrorRate, kMaxErrorRate].
inline constexpr double kMinShare = 1e-9;
inline constexpr double kMaxShare = 0.5 - 1e-9;
inline constexpr double kMinErrorRate = 1e-6;
inline constexpr double kMaxErrorRate = 0.25;
// The starting ε when it is estimated.
inline constexpr double kStartErrorRate = 0.01;

// Observation classes of the model. F2: A, H, B, and the dominant sets C
// (not A) and D (not B). The two-class types use kObsFirst and kObsSecond
// for the marker's first and second class.
enum Observation : std::uint8_t {
  kObsNone = 0,
  kObsA = 1,
  kObsH = 2,
  kObsB = 3,
  kObsNotA = 4,
  kObsNotB = 5,
  kObsFirst = 1,
  kObsSecond = 2,
};

// One group's observations, individual-major (codes[i * markers + k]), and
// where its linkage segments start: each segment is a chain of its own.
struct GroupObservations {
  PopulationType population = PopulationType::F2;
  std::size_t markers = 0;
  std::size_t individuals = 0;
  std::vector<std::uint8_t> codes;
  std::vector<std::size_t> segment_starts;  // {0, ...} increasing; empty for no markers
  // Per marker, the genotype codes of its first and second class (two-class
  // types), to name the likely genotype of an error call.
  std::vector<MarkerClasses> classes;
};

// The observations of the rows of one group, in map order; a new segment
// begins at every marker k in `segment_starts` (0 is always a start). Every
// row holds the same individuals in the same columns; a shorter row counts
// as missing where it has no entry.
GroupObservations observe_group(PopulationType population,
                                const std::vector<const GenotypeRow*>& rows,
                                const std::vector<std::size_t>& segment_starts);

struct MapEstimateOptions {
  std::optional<double> error_rate;  // fixed ε (0 allowed); nothing: estimated
  int threads = 1;
  double tolerance = kMapTolerance;
  double likelihood_gain = kLikelihoodGain;
  int iteration_cap = kMapIterationCap;
};

struct GroupMap {
  // r[k] between markers k and k + 1 of the group, the one-meiosis r; 0.5
  // where a new segment begins at k + 1. Empty for fewer than two markers.
  std::vector<double> r;
  double error_rate = 0.0;
  int iterations = 0;
  bool converged = true;
  double log10_likelihood = 0.0;  // at the parameters of the last E-step
};

// Estimates the group's r and ε by EM. `start_r`, when not empty, gives the
// starting r of each interval (r.size() == markers − 1, e.g. the two-point
// estimates); else every interval starts at 0.1. The result depends neither
// on the number of threads nor on their timing.
GroupMap estimate_group_map(const GroupObservations& group, const MapEstimateOptions& options,
                            const std::vector<double>& start_r = {});

// estimate_group_map for every group, with threads over the groups (the small
// ones, several at once) and over the individuals (the large ones, one after
// another); `start_r[g]` as for estimate_group_map. The same result for any
// number of threads.
std::vector<GroupMap> estimate_groups(const std::vector<GroupObservations>& groups,
                                      const MapEstimateOptions& options,
                                      const std::vector<std::vector<double>>& start_r);

// One genotype that the model calls a likely error.
struct ErrorCall {
  std::size_t marker = 0;  // index in the group
  std::size_t column = 0;  // the individual's column
  int observed = 0;        // genotype code as scored
  int likely = 0;          // genotype code of the most probable true genotype
  double probability = 0.0;  // posterior probability that the score is wrong
  // log10 of the posterior odds of an error over its prior odds ε/(1 − ε).
  double error_lod = 0.0;
};

// The genotypes whose error LOD is at least `min_lod`, ordered by marker,
// then column. None when ε is 0 (no score is then an error).
std::vector<ErrorCall> call_errors(const GroupObservations& group, const GroupMap& map,
                                   double min_lod, int threads = 1);

}  // namespace tarvek
