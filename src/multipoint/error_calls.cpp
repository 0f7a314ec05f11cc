#include <algorithm>
#include <cmath>
#include <limits>

#include "genotype/genotype_codes.hpp"
#include "multipoint/map_estimate.hpp"
#include "multipoint/model_parts.hpp"

namespace tarvek {

using namespace multipoint_detail;

namespace {

int observed_code(const GroupObservations& group, std::size_t individual, std::size_t marker) {
  const std::uint8_t obs = group.codes[individual * group.markers + marker];
  if (two_class(group.population)) {
    const MarkerClasses& c = group.classes.at(marker);
    return obs == kObsFirst ? c.first : c.second;
  }
  switch (obs) {
    case kObsA: return kCodeA;
    case kObsH: return kCodeH;
    case kObsB: return kCodeB;
    case kObsNotA: return kCodeC;
    case kObsNotB: return kCodeD;
    default: return kMissing;
  }
}

int likely_code(const GroupObservations& group, std::size_t marker, const Posterior& p) {
  if (two_class(group.population)) {
    const MarkerClasses& c = group.classes.at(marker);
    return p[1] > p[0] ? c.second : c.first;
  }
  if (p[1] >= p[0] && p[1] >= p[2]) return p[0] > p[1] ? kCodeA : kCodeH;
  return p[0] >= p[2] ? kCodeA : kCodeB;
}

}  // namespace

std::vector<ErrorCall> call_errors(const GroupObservations& group, const GroupMap& map,
                                   double min_lod, int threads) {
  std::vector<ErrorCall> calls;
  const double eps = map.error_rate;
  if (!(eps > 0.0) || group.markers == 0) return calls;
  const PopulationType type = group.population;
  const bool f2 = !two_class(type);
  const std::size_t m = group.markers;
  std::vector<double> share(m > 0 ? m - 1 : 0, kMaxShare);
  for (std::size_t k = 0; k < share.size() && k < map.r.size(); ++k)
    share[k] = std::clamp(population_model(type).share_of_r(map.r[k]), kMinShare, kMaxShare);
  const EmissionTable e = f2 ? f2_emissions(eps) : two_class_emissions(eps);
  const double prior_odds = std::log10(eps / (1.0 - eps));
  const Spans spans = observed_spans(group);
  const Blocks blocks = individual_blocks(group.individuals);
  std::vector<std::vector<ErrorCall>> found(blocks.number());
  const int used = threads_for_work(threads, m * group.individuals, 50000);
  Scratch scratch(workers_for(used, blocks), m);
  for_each_block_on(used, blocks, [&](std::size_t worker, std::size_t b, std::size_t begin,
                                      std::size_t end) {
    std::vector<ErrorCall>& out = found.at(b);
    double unused = 0.0;
    for (std::size_t i = begin; i < end; ++i) {
      visit_individual(group, spans, i, share, e, scratch.at(worker),
                       [](std::size_t, double) {},
                       [&](std::size_t k, const Posterior& p) {
                         const ScoreMass mass = score_mass(group, i, k, p);
                         if (!(mass.wrong > 0.0)) return;
                         const double right =
                             std::max(mass.right, std::numeric_limits<double>::min());
                         const double lod = std::log10(mass.wrong / right) - prior_odds;
                         if (!(lod >= min_lod)) return;
                         out.push_back(ErrorCall{k, i, observed_code(group, i, k),
                                                 likely_code(group, k, p),
                                                 mass.wrong / (mass.wrong + mass.right), lod});
                       },
                       unused);
    }
  });
  for (const auto& block : found) calls.insert(calls.end(), block.begin(), block.end());
  std::sort(calls.begin(), calls.end(), [](const ErrorCall& a, const ErrorCall& b) {
    return a.marker != b.marker ? a.marker < b.marker : a.column < b.column;
  });
  return calls;
}

}  // namespace tarvek
