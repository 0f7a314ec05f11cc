#pragma once
// The multipoint model run on a map file: each group's r and error rate
// estimated in map order, the positions it gives, and the genotypes it calls
// likely errors. A pair printed with r = 0.5 (no linkage) splits its group
// into linkage segments exactly as for the two-point positions, and each
// segment is a chain of its own.

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "genotype/population.hpp"
#include "interop/map_positions.hpp"
#include "interop/map_reader.hpp"
#include "multipoint/map_estimate.hpp"

namespace tarvek::interop {

// The error LOD at and above which a genotype is called an error unless
// told otherwise.
inline constexpr double kDefaultErrorLod = 2.7;

// The model's observations of group g (its rows in the map's column order).
GroupObservations map_group_observations(const MapFile& map, std::size_t g,
                                         PopulationType population);

// The multipoint estimate of every group, in group order (estimate_groups:
// threads over small groups and over the individuals of large ones).
std::vector<GroupMap> estimate_map(const MapFile& map, PopulationType population,
                                   const MapEstimateOptions& options);

// Positions from the estimated r (breaks where the printed r is 0.5, as for
// the two-point positions), the estimated r kept in each marker.
std::vector<PlacedGroup> place_estimated(const MapFile& map, const std::vector<GroupMap>& estimates,
                                         MapFunction f);

// Length of a placed group: the sum of its finite distances, all segments.
double group_length(const PlacedGroup& group);

// "group 3: 212 markers, error rate 0.0102, 143.2 cM (two-point 498.0 cM)"
std::string group_summary(std::size_t group_number, std::size_t markers, const GroupMap& estimate,
                          double multipoint_cm, double two_point_cm);

// The lines a companion writes on standard error after estimating a map:
// group_summary for every group, and how many groups stopped at the
// iteration cap when any did.
std::vector<std::string> summary_lines(const MapFile& map, const std::vector<GroupMap>& estimates,
                                       MapFunction f, int iteration_cap);

struct MapErrorCall {
  std::size_t group = 0;  // from 0
  ErrorCall call;
};

// Calls in group order, each group's in map order.
std::vector<MapErrorCall> map_error_calls(const MapFile& map, PopulationType population,
                                          const std::vector<GroupMap>& estimates, double min_lod,
                                          int threads);

// Tab-separated with a header: group, marker, individual (its number in the
// first loc file, from 1), name (from the ;individuals line, else empty),
// observed, likely, error_lod.
void write_error_table(std::ostream& out, const MapFile& map, const std::vector<MapErrorCall>& calls);

// The map with the genotype of every call replaced by `code` (missing, to
// drop the errors from an export).
MapFile with_calls_recoded(const MapFile& map, const std::vector<MapErrorCall>& calls, int code);

}  // namespace tarvek::interop
