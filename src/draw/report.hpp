#pragma once
// The report: one HTML file that holds everything (a summary of the map,
// the map drawing, each group's heat map and genotype graph, the rejected
// markers) with every picture embedded as a data: URI, so that it opens
// from disk in a browser without any network access and can be mailed as
// one file.

#include <string>

#include <vector>

#include "interop/map_model.hpp"
#include "interop/map_positions.hpp"
#include "interop/map_reader.hpp"
#include "interop/population.hpp"
#include "interop/reference_map.hpp"
#include "multipoint/map_estimate.hpp"

namespace tarvek::draw {

struct ReportOptions {
  interop::MapFunction function = interop::MapFunction::kKosambi;
  PopulationType population = PopulationType::F2;
  int heat_map_size = 600;      // of each group's heat map
  int genotype_width = 1200;    // of each group's genotype graph, at most
  int threads = 1;              // for the heat maps' pair statistics and the error calls
  bool multipoint = true;       // the map drawn at the multipoint positions (else two-point)
  double min_lod = interop::kDefaultErrorLod;  // error LOD of the calls shown
  // Physical positions of the markers (--positions, or those they carry):
  // when there are any, the report shows the Marey plot and the map beside
  // the physical one.
  std::vector<interop::ReferencePosition> positions;
};

// `estimates` are the multipoint estimates of every group (interop::estimate_map):
// the report shows each group's two-point and multipoint length, error rate
// and called errors, and marks the calls in the genotype graphs.
std::string html_report(const interop::MapFile& map, const ReportOptions& options,
                        const std::vector<GroupMap>& estimates);

// Standard base64 with padding.
std::string base64(const std::string& bytes);

}  // namespace tarvek::draw
