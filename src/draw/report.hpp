#pragma once
// The report: one HTML file that holds everything (a summary of the map,
// the map drawing, each group's heat map and genotype graph, the rejected
// markers) with every picture embedded as a data: URI, so that it opens
// from disk in a browser without any network access and can be mailed as
// one file.

#include <string>

#include "interop/map_positions.hpp"
#include "interop/map_reader.hpp"
#include "interop/population.hpp"

namespace tarvek::draw {

struct ReportOptions {
  interop::MapFunction function = interop::MapFunction::kKosambi;
  PopulationType population = PopulationType::F2;
  int heat_map_size = 600;      // of each group's heat map
  int genotype_width = 1200;    // of each group's genotype graph, at most
  int threads = 1;              // for the heat maps' pair statistics
};

std::string html_report(const interop::MapFile& map, const ReportOptions& options);

// Standard base64 with padding.
std::string base64(const std::string& bytes);

}  // namespace tarvek::draw
