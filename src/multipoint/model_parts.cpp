#include "multipoint/model_parts.hpp"

#include <cmath>

namespace tarvek::multipoint_detail {

EmissionTable f2_emissions(double error_rate) {
  const double e = error_rate, ok = 1.0 - e, half = e / 2.0, most = 1.0 - e / 2.0;
  EmissionTable t{};
  t[kObsNone] = {1.0, 1.0, 1.0};
  t[kObsA] = {ok, half, half};
  t[kObsH] = {half, ok, half};
  t[kObsB] = {half, half, ok};
  t[kObsNotA] = {e, most, most};
  t[kObsNotB] = {most, most, e};
  return t;
}

EmissionTable two_class_emissions(double error_rate) {
  const double e = error_rate, ok = 1.0 - e;
  EmissionTable t{};
  t[kObsNone] = {1.0, 1.0, 0.0};
  t[kObsFirst] = {ok, e, 0.0};
  t[kObsSecond] = {e, ok, 0.0};
  return t;
}

Posterior lone_posterior(bool f2, const EmissionTable& e, std::uint8_t obs, double& log_likelihood) {
  const auto& em = e[obs];
  Posterior p = f2 ? Posterior{0.25 * em[0], 0.5 * em[1], 0.25 * em[2]}
                   : Posterior{0.5 * em[0], 0.5 * em[1], 0.0};
  const double total = p[0] + p[1] + p[2];
  log_likelihood += std::log(total);
  for (double& v : p) v /= total;
  return p;
}

std::vector<bool> segment_start_flags(const GroupObservations& group) {
  std::vector<bool> starts(group.markers, false);
  for (const std::size_t s : group.segment_starts) starts.at(s) = true;
  return starts;
}

Spans observed_spans(const GroupObservations& group) {
  Spans result;
  result.segments = group.segment_starts.size();
  result.spans.resize(group.individuals * result.segments);
  for (std::size_t i = 0; i < group.individuals; ++i) {
    const std::uint8_t* obs = group.codes.data() + i * group.markers;
    for (std::size_t s = 0; s < result.segments; ++s) {
      const std::size_t begin = group.segment_starts[s];
      const std::size_t end = s + 1 < result.segments ? group.segment_starts[s + 1] : group.markers;
      Span& span = result.spans[i * result.segments + s];
      for (std::size_t k = begin; k < end; ++k) {
        if (obs[k] == kObsNone) continue;
        if (span.observed == 0) span.first = k;
        span.last = k;
        ++span.observed;
      }
    }
  }
  return result;
}

Blocks individual_blocks(std::size_t individuals) {
  return Blocks{individuals, std::max<std::size_t>(1, (individuals + 31) / 32)};
}

ScoreMass score_mass(const GroupObservations& group, std::size_t individual, std::size_t marker,
                     const Posterior& p) {
  const std::uint8_t obs = group.codes[individual * group.markers + marker];
  if (two_class(group.population)) {
    return obs == kObsFirst ? ScoreMass{p[1], p[0]} : ScoreMass{p[0], p[1]};
  }
  switch (obs) {
    case kObsA: return ScoreMass{p[1] + p[2], p[0]};
    case kObsH: return ScoreMass{p[0] + p[2], p[1]};
    case kObsB: return ScoreMass{p[0] + p[1], p[2]};
    case kObsNotA: return ScoreMass{p[0], p[1] + p[2]};
    case kObsNotB: return ScoreMass{p[2], p[0] + p[1]};
    default: return ScoreMass{};
  }
}

ErrorSums error_sums(PopulationType population, const ObservationMass& m) {
  ErrorSums s;
  if (two_class(population)) {
    s.correct = m[kObsFirst][0] + m[kObsSecond][1];
    s.wrong = m[kObsFirst][1] + m[kObsSecond][0];
    return s;
  }
  s.correct = m[kObsA][0] + m[kObsH][1] + m[kObsB][2];
  s.wrong = m[kObsA][1] + m[kObsA][2] + m[kObsH][0] + m[kObsH][2] + m[kObsB][0] + m[kObsB][1] +
            m[kObsNotA][0] + m[kObsNotB][2];
  s.correct_dominant = m[kObsNotA][1] + m[kObsNotA][2] + m[kObsNotB][0] + m[kObsNotB][1];
  return s;
}

}  // namespace tarvek::multipoint_detail
