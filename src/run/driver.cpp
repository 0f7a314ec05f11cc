#include "run/driver.hpp"

#include <exception>
#include <fstream>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "genotype/loc_reader.hpp"
#include "genotype/scoring_matrix.hpp"
#include "linkage/grouping.hpp"
#include "linkage/lod_matrix.hpp"
#include "ordering/order_random.hpp"
#include "output/map_file.hpp"
#include "refine/errsweep.hpp"
#include "refine/refine_group.hpp"
#include "run/old_order.hpp"
#include "run/order_individuals.hpp"
#include "run/report.hpp"
#include "run/run_parameters.hpp"
#include "run/text_input.hpp"

namespace tarvek {
namespace {

const std::string kSeparator(61, '-');

LinkageGroups group_loci(const RunParameters& params, const GenotypeTable& table) {
  LinkageGroups groups;
  const std::size_t n = table.loci.rows.size();
  if (params.skip_grouping) {
    std::cout << "\nskipping grouping";
    log_stream() << "\nSKIPPING GROUPING\n";
    LinkageGroup all(n);
    for (std::size_t i = 0; i < n; ++i) all[i] = static_cast<int>(i);
    groups.push_back(std::move(all));
    return groups;
  }
  log_stream() << "\nCORE GROUPING MARKERS...";
  std::cout << "\ncreating LOD matrix..." << std::endl;
  log_stream() << "\ncreating LOD matrix..." << std::endl;
  const LodMatrix lods = build_lod_matrix(table.loci.rows);
  core_grouping(lods, groups, params.core_LOD);
  log_stream() << std::endl;
  if (static_cast<long long>(groups.size()) > params.chromosomes) {
    place_satellites(lods, groups, params.min_LOD, params.chromosomes);
    log_stream() << std::endl;
  }
  sort_and_prune_groups(groups);
  return groups;
}

std::int32_t order_groups(const RunParameters& params, GenotypeTable& table,
                          LinkageGroups& groups, std::vector<std::vector<int>>& removed_lists) {
  std::cout << "\nOrdering markers..." << std::endl;
  log_stream() << "\nORDERING MARKERS...\n\n";
  seed_order_random(6);
  removed_lists.assign(groups.size(), std::vector<int>());
  std::int32_t total_score = 0;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const std::size_t m = groups[g].size();
    if (m < 2) continue;
    log_stream() << kSeparator << "\n";
    log_stream() << "Running LINKSORT on group " << g + 1 << std::endl;
    const bool errsweep_on =
        params.errsweep && static_cast<long long>(m) > params.errsweep_group_threshold;
    const std::int32_t s = refine_group(scoring_matrix(), table.loci.rows, groups[g],
                                        removed_lists[g], errsweep_on, params.singleton_threshold);
    total_score = wrap_add(total_score, s);
  }
  log_stream() << kSeparator << "\n";
  return total_score;
}

void run(int argc, const char* const* argv) {
  std::cout << "Running tarvek..." << std::endl;
  normalise_kernel();
  RunParameters params;
  read_run_parameters(argc, argv, params, scoring_matrix());

  std::ifstream loc;
  if (!open_input_file(params.loc_file, loc)) report_fatal("bad loc file!");
  const std::string stem = map_file_stem(params.loc_file);
  log_stream() << "\nRUNNING TARVEK ON " << stem << std::endl;
  const std::string map_file_name = stem + "_map.loc";

  GenotypeTable table = read_loc_file(loc, params.screening_thresholds);
  loc.close();
  if (table.n_individuals < 0) table.n_individuals = 0;

  std::vector<int> individual_order(static_cast<std::size_t>(table.n_individuals));
  for (std::size_t i = 0; i < individual_order.size(); ++i) individual_order[i] = static_cast<int>(i);
  OldOrderState old_order;
  scan_comment_lines(table.comment_lines, table.n_individuals, old_order);

  LinkageGroups groups = group_loci(params, table);
  write_group_listing(groups);

  std::vector<std::vector<int>> removed_lists;
  const std::int32_t total_score = order_groups(params, table, groups, removed_lists);

  if (params.order_plants) order_individuals(scoring_matrix(), table.loci.rows, individual_order);

  write_map_file(map_file_name, MapContents{table, groups, removed_lists, individual_order,
                                            old_order, params.core_LOD, total_score});

  log_stream() << "\nTARVEK IS DONE\n";
  std::cout << "\nDONE";
  close_log();
}

}  // namespace

int run_tarvek(int argc, const char* const* argv) {
  // A run that cannot go on (out of memory, or an internal fault caught by a
  // checked access) still ends through the fatal-error path, never a crash.
  std::string fault;
  try {
    run(argc, argv);
    std::cout.flush();
    return 0;
  } catch (const RunAbort& abort) {
    close_log();
    return abort.status;
  } catch (const std::bad_alloc&) {
    fault = "out of memory";
  } catch (const std::exception& error) {
    fault = std::string("internal error: ") + error.what();
  }
  try {
    report_fatal(fault);
  } catch (const RunAbort& abort) {
    close_log();
    return abort.status;
  }
}

}  // namespace tarvek
