#pragma once
// The multipoint map of a finished run, for callers of the library that want
// centimorgans without writing and reading back the map file: the same
// numbers tarvek-export computes from that file.

#include <vector>

#include "genotype/population.hpp"
#include "multipoint/map_estimate.hpp"
#include "run/driver.hpp"

namespace tarvek {

// The estimate of every group of `result`, in group order: each group's
// rows in map order and in the order the map file writes the individuals,
// a new segment wherever the map file's r between neighbours is 0.5, and EM
// started from those printed r.
std::vector<GroupMap> estimate_run_map(const RunResult& result, PopulationType population,
                                       const MapEstimateOptions& options);

}  // namespace tarvek
