#include "interop/map_model.hpp"

#include <cmath>
#include <cstdio>
#include <sstream>

#include "genotype/genotype_codes.hpp"
#include "interop/exporters.hpp"

namespace tarvek::interop {
namespace {

bool linked_to_next(const MapGroup& group, std::size_t k) {
  return k + 1 < group.size() && group.at(k).next && group.at(k).next->r < 0.5;
}

std::string fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

}  // namespace

GroupObservations map_group_observations(const MapFile& map, std::size_t g,
                                         PopulationType population) {
  const MapGroup& group = map.groups.at(g);
  std::vector<const GenotypeRow*> rows;
  std::vector<std::size_t> starts;
  rows.reserve(group.size());
  for (std::size_t k = 0; k < group.size(); ++k) {
    rows.push_back(&group[k].codes);
    if (k > 0 && !linked_to_next(group, k - 1)) starts.push_back(k);
  }
  return observe_group(population, rows, starts);
}

std::vector<GroupMap> estimate_map(const MapFile& map, PopulationType population,
                                   const MapEstimateOptions& options) {
  std::vector<GroupObservations> groups;
  std::vector<std::vector<double>> starts;
  for (std::size_t g = 0; g < map.groups.size(); ++g) {
    const MapGroup& group = map.groups[g];
    std::vector<double> start(group.size() > 0 ? group.size() - 1 : 0, 0.5);
    for (std::size_t k = 0; k + 1 < group.size(); ++k)
      if (group[k].next) start[k] = group[k].next->r;
    groups.push_back(map_group_observations(map, g, population));
    starts.push_back(std::move(start));
  }
  return estimate_groups(groups, options, starts);
}

std::vector<PlacedGroup> place_estimated(const MapFile& map, const std::vector<GroupMap>& estimates,
                                         MapFunction f) {
  std::vector<PlacedGroup> placed;
  placed.reserve(map.groups.size());
  for (std::size_t g = 0; g < map.groups.size(); ++g) {
    const MapGroup& group = map.groups[g];
    const GroupMap& estimate = estimates.at(g);
    PlacedGroup p;
    p.markers.resize(group.size());
    int segment = 1;
    double position = 0.0;
    for (std::size_t k = 0; k < group.size(); ++k) {
      PlacedMarker& m = p.markers[k];
      m.segment = segment;
      m.position_cm = position;
      if (k + 1 == group.size()) continue;
      if (!linked_to_next(group, k)) {
        ++segment;
        position = 0.0;
        continue;
      }
      const double r = estimate.r.at(k);
      m.estimated_r = r;
      m.distance_to_next = distance_cm(f, r);
      position += *m.distance_to_next;
    }
    p.segments = segment;
    placed.push_back(std::move(p));
  }
  return placed;
}

double group_length(const PlacedGroup& group) {
  double length = 0.0;
  for (const PlacedMarker& m : group.markers)
    if (m.distance_to_next) length += *m.distance_to_next;
  return length;
}

std::string group_summary(std::size_t group_number, std::size_t markers, const GroupMap& estimate,
                          double multipoint_cm, double two_point_cm) {
  // A group of one marker has no interval, and nothing to estimate ε from.
  const std::string rate = markers < 2 ? "" : ", error rate " + fixed(estimate.error_rate, 4);
  return "group " + std::to_string(group_number) + ": " + std::to_string(markers) +
         (markers == 1 ? " marker" : " markers") + rate + ", " + fixed(multipoint_cm, 1) + " cM (two-point " +
         fixed(two_point_cm, 1) + " cM)";
}

std::vector<std::string> summary_lines(const MapFile& map, const std::vector<GroupMap>& estimates,
                                       MapFunction f, int iteration_cap) {
  const std::vector<PlacedGroup> multipoint = place_estimated(map, estimates, f);
  const std::vector<PlacedGroup> two_point = place_markers(map, f);
  std::vector<std::string> lines;
  int capped = 0;
  for (std::size_t g = 0; g < map.groups.size(); ++g) {
    lines.push_back(group_summary(g + 1, map.groups[g].size(), estimates.at(g), group_length(multipoint[g]),
                                  group_length(two_point[g])));
    if (!estimates[g].converged) ++capped;
  }
  if (capped > 0)
    lines.push_back(std::to_string(capped) + (capped == 1 ? " group" : " groups") +
                    " stopped at the iteration cap (" + std::to_string(iteration_cap) +
                    ") before the estimates settled");
  return lines;
}

std::vector<MapErrorCall> map_error_calls(const MapFile& map, PopulationType population,
                                          const std::vector<GroupMap>& estimates, double min_lod,
                                          int threads) {
  std::vector<MapErrorCall> calls;
  for (std::size_t g = 0; g < map.groups.size(); ++g) {
    const GroupObservations obs = map_group_observations(map, g, population);
    for (const ErrorCall& c : call_errors(obs, estimates.at(g), min_lod, threads))
      calls.push_back(MapErrorCall{g, c});
  }
  return calls;
}

void write_error_table(std::ostream& out, const MapFile& map, const std::vector<MapErrorCall>& calls) {
  out << "group\tmarker\tindividual\tname\tobserved\tlikely\terror_lod\n";
  for (const MapErrorCall& e : calls) {
    const int individual = map.individual_order.at(e.call.column);
    std::string name;
    if (map.individual_names && individual >= 0 &&
        static_cast<std::size_t>(individual) < map.individual_names->size())
      name = map.individual_names->at(static_cast<std::size_t>(individual));
    out << e.group + 1 << '\t' << map.groups.at(e.group).at(e.call.marker).name << '\t'
        << individual + 1 << '\t' << name << '\t' << code_to_letter(e.call.observed) << '\t'
        << code_to_letter(e.call.likely) << '\t' << fixed(e.call.error_lod, 2) << '\n';
  }
}

MapFile with_calls_recoded(const MapFile& map, const std::vector<MapErrorCall>& calls, int code) {
  MapFile recoded = map;
  for (const MapErrorCall& e : calls) recoded.groups.at(e.group).at(e.call.marker).codes.at(e.call.column) = code;
  return recoded;
}

}  // namespace tarvek::interop
