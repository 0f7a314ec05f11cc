#include "run/run_map.hpp"

#include <cstdlib>
#include <sstream>
#include <string>

#include "genotype/genotype_codes.hpp"
#include "linkage/population_lod.hpp"

namespace tarvek {

std::vector<GroupMap> estimate_run_map(const RunResult& result, PopulationType population,
                                       const MapEstimateOptions& options) {
  const auto& rows = result.table.loci.rows;
  std::vector<GroupObservations> groups;
  std::vector<std::vector<double>> starts;
  for (const LinkageGroup& group : result.groups) {
    std::vector<GenotypeRow> written;  // as the map file shows them
    written.reserve(group.size());
    std::vector<double> start;
    std::vector<std::size_t> segments;
    for (std::size_t k = 0; k < group.size(); ++k) {
      const GenotypeRow& row = rows.at(static_cast<std::size_t>(group[k]));
      GenotypeRow out(result.individual_order.size(), kMissing);
      for (std::size_t i = 0; i < out.size(); ++i) {
        const int column = result.individual_order[i];
        if (column >= 0 && static_cast<std::size_t>(column) < row.size()) out[i] = row[static_cast<std::size_t>(column)];
      }
      written.push_back(std::move(out));
      if (k + 1 == group.size()) continue;
      const PairLod p = neighbour_pair_lod(population, rows, static_cast<std::size_t>(group[k]),
                                           static_cast<std::size_t>(group[k + 1]));
      // The r as the map file prints it, read back.
      std::ostringstream text;
      text << p.r;
      start.push_back(std::strtod(text.str().c_str(), nullptr));
      if (!(p.r < 0.5f)) segments.push_back(k + 1);
    }
    std::vector<const GenotypeRow*> pointers;
    for (const GenotypeRow& row : written) pointers.push_back(&row);
    groups.push_back(observe_group(population, pointers, segments));
    starts.push_back(std::move(start));
  }
  return estimate_groups(groups, options, starts);
}

}  // namespace tarvek
