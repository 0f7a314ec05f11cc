#include "run/marker_steps.hpp"

#include <ostream>
#include <utility>

#include "base/echo.hpp"
#include "genotype/genotype_codes.hpp"
#include "linkage/independence_lod.hpp"
#include "linkage/lod_planes.hpp"
#include "linkage/switched_alleles.hpp"
#include "run/option_table.hpp"

namespace tarvek {

void check_header_population(const RunParameters& params, const GenotypeTable& table,
                             Channels& channels) {
  if (table.header_lines.size() < 2) return;
  const auto named = population_in_header(table.header_lines[1]);
  if (!named || *named == params.population) return;
  const std::string type(population_name(*named));
  warn(channels, "the loc file's header says \"" + escaped_for_message(table.header_lines[1]) +
                     "\", but the markers are read as " +
                     std::string(population_name(params.population)) + "; give -p " + type +
                     " (or population=" + type + " in " + kParametersFileName +
                     ") to map them as " + type);
}

std::vector<std::string> flip_switched_alleles(const RunParameters& params, GenotypeTable& table,
                                               Kernels kernels, Channels& channels) {
  std::ostream& log = log_of(channels);
  std::vector<GenotypeRow>& rows = table.loci.rows;
  line_to_console_and_log(channels, "\nfinding switched alleles...");
  std::vector<int> flipped;
  if (kernels == Kernels::plain) {
    flipped = switched_loci(rows.size(), [&](std::size_t i, std::size_t j) {
      return plain_phase_link(rows, params.population, i, j, params.core_LOD);
    }, params.threads);
  } else {
    flipped = switched_loci_by_parts(build_lod_planes(rows, params.population), params.core_LOD,
                                     channels, {.threads = params.threads, .kernels = kernels});
  }
  std::vector<std::string> names;
  for (const int x : flipped) {
    const auto locus = static_cast<std::size_t>(x);
    exchange_alleles(rows.at(locus));
    names.push_back(table.loci.names.at(locus));
    log << "switched alleles: " << escaped_for_message(names.back()) << std::endl;
  }
  line_to_console_and_log(channels, std::to_string(flipped.size()) +
                                        " markers with switched alleles flipped");
  return names;
}

void hint_typed_segregation(const RunParameters& params, const GenotypeTable& table,
                            Channels& channels) {
  if (params.typed_only || params.choose) return;
  std::size_t count = 0;
  for (const GenotypeRow& row : table.bad_segregation.rows)
    if (segregates_among_typed(row, params.screening_thresholds, params.population)) ++count;
  if (count == 0) return;
  note(channels, std::to_string(count) + " of the " +
                     std::to_string(table.bad_segregation.rows.size()) +
                     " markers rejected for segregation pass their test among the individuals "
                     "typed at them; -u (or typed only=1 in " + kParametersFileName +
                     ") tests them so and keeps them");
}

std::size_t keep_distorted_markers(const RunParameters& params, GenotypeTable& table,
                                   LinkageGroups& groups, Channels& channels) {
  const std::size_t first_kept = table.loci.rows.size();
  LocusList& rejected = table.bad_segregation;
  line_to_console_and_log(channels, "\nplacing markers rejected for segregation...");
  std::vector<float> strength;
  const std::vector<int> home =
      associated_groups(params.population, table.loci.rows, groups, rejected.rows,
                        params.core_LOD, &strength, params.threads);
  LocusList still_rejected;
  std::ostream& log = log_of(channels);
  for (std::size_t k = 0; k < home.size(); ++k) {
    if (home[k] < 0) {
      append_locus(still_rejected, rejected.names[k], rejected.rows[k], locus_note(rejected, k));
      continue;
    }
    const auto g = static_cast<std::size_t>(home[k]);
    log << "kept distorted marker " << rejected.names[k] << " in group " << g + 1
        << ", LOD of association " << strength[k] << std::endl;
    groups.at(g).push_back(static_cast<int>(table.loci.rows.size()));
    append_locus(table.loci, rejected.names[k], rejected.rows[k], locus_note(rejected, k));
  }
  rejected = std::move(still_rejected);
  line_to_console_and_log(channels, std::to_string(table.loci.rows.size() - first_kept) +
                                        " markers rejected for segregation kept in their groups");
  return first_kept;
}

}  // namespace tarvek
