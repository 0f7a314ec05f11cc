#include "run/library.hpp"

#include <sstream>

#include "base/echo.hpp"
#include "base/parallel.hpp"
#include "genotype/genotype_codes.hpp"
#include "output/map_file.hpp"
#include "run/parse_options.hpp"
#include "run/run_map.hpp"

namespace tarvek {
namespace {

bool one_field(const std::string& name) {
  return !name.empty() && name.front() != ';' && name.find_first_of("\t\r\n") == std::string::npos;
}

}  // namespace

RunResult map_loc_stream(std::istream& loc, RunParameters params, const ScoringMatrix& matrix,
                         Channels& channels, const MapOptions& options) {
  if (const auto problem = check_parameters(params)) report_problem(channels, *problem);
  if (params.threads == 0) params.threads = available_cores();
  RunResult result = run_pipeline_on(loc, params, matrix, channels, options.observer);
  if (options.multipoint) {
    MapEstimateOptions estimate = options.estimate;
    if (estimate.threads == 0) estimate.threads = result.params.threads;
    result.intervals = estimate_run_map(result, result.params.population, estimate);
  }
  return result;
}

std::string loc_text(const GenotypeTable& table, PopulationType population) {
  std::ostringstream out;
  const std::size_t n = table.loci.rows.empty() ? 0 : table.loci.rows.front().size();
  if (table.header_lines.size() == 4) {
    for (const std::string& line : table.header_lines) out << line << '\n';
  } else {
    out << "name = tarvek\npopt = " << population_name(population) << "\nnloc = " << table.loci.rows.size()
        << "\nnind = " << n << '\n';
  }
  for (const std::string& line : table.comment_lines) out << line << '\n';
  for (std::size_t k = 0; k < table.loci.rows.size(); ++k) {
    const std::string& name = k < table.loci.names.size() ? table.loci.names[k] : std::string();
    if (!one_field(name))
      throw RunAbort{1, "locus " + std::to_string(k + 1) + " has the name \"" + echo(name) +
                            "\", which cannot be one field of a loc file"};
    out << name;
    for (const int code : table.loci.rows[k]) out << '\t' << code_to_letter(code);
    out << '\n';
  }
  return out.str();
}

RunResult map_genotype_table(const GenotypeTable& table, const RunParameters& params,
                             const ScoringMatrix& matrix, Channels& channels, const MapOptions& options) {
  std::istringstream in;
  try {
    in.str(loc_text(table, params.population));
  } catch (const RunAbort& abort) {
    report_fatal_addition(channels, abort.message);
  }
  return map_loc_stream(in, params, matrix, channels, options);
}

void write_run_map(const std::string& path, const RunResult& result, Channels& channels) {
  write_map_file(path,
                 MapContents{result.table, result.groups, result.removed_lists, result.individual_order,
                             result.old_order, result.params.core_LOD, result.total_score,
                             result.params.population, result.switched},
                 channels);
}

std::vector<GroupMap> estimate_order(const std::vector<std::vector<GenotypeRow>>& chromosomes,
                                     PopulationType population, const MapEstimateOptions& options) {
  std::vector<GroupObservations> groups;
  groups.reserve(chromosomes.size());
  for (const auto& rows : chromosomes) {
    std::vector<const GenotypeRow*> pointers;
    pointers.reserve(rows.size());
    for (const GenotypeRow& row : rows) pointers.push_back(&row);
    groups.push_back(observe_group(population, pointers, rows.empty() ? std::vector<std::size_t>{}
                                                                      : std::vector<std::size_t>{0}));
  }
  MapEstimateOptions settled = options;
  if (settled.threads <= 0) settled.threads = available_cores();
  return estimate_groups(groups, settled, std::vector<std::vector<double>>(groups.size()));
}

}  // namespace tarvek
