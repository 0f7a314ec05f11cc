#include "run/driver.hpp"

#include <algorithm>
#include <exception>
#include <iterator>
#include <sstream>
#include <utility>
#include <new>
#include <ostream>
#include <string>
#include <vector>

#include "base/kernels.hpp"
#include "genotype/loc_reader.hpp"
#include "genotype/screening.hpp"
#include "genotype/text_input.hpp"
#include "linkage/grouping.hpp"
#include "linkage/lod_planes.hpp"
#include "linkage/lod_table.hpp"
#include "ordering/linksort.hpp"
#include "ordering/order_random.hpp"
#include "output/map_file.hpp"
#include "refine/refine_group.hpp"
#include "run/marker_steps.hpp"
#include "run/option_table.hpp"
#include "run/order_individuals.hpp"
#include "run/settings_choice.hpp"

#ifndef TARVEK_VERSION
#define TARVEK_VERSION "unknown"
#endif

namespace tarvek {
namespace {

const std::string kSeparator(61, '-');

// Core grouping, then the satellites placed when there are more groups than
// chromosomes: `core(groups)` and `satellites(groups)`.
template <class Core, class Satellites>
void group_with(const RunParameters& params, LinkageGroups& groups, Channels& channels,
                const Core& core, const Satellites& satellites) {
  core(groups);
  log_of(channels) << std::endl;
  if (static_cast<long long>(groups.size()) > params.chromosomes) {
    satellites(groups);
    log_of(channels) << std::endl;
  }
  sort_and_prune_groups(groups, channels);
}

LinkageGroups group_loci(const RunParameters& params, const GenotypeTable& table,
                         Kernels kernels, Channels& channels) {
  LinkageGroups groups;
  const std::size_t n = table.loci.rows.size();
  if (params.skip_grouping) {
    console_of(channels) << "\nskipping grouping";
    log_of(channels) << "\nSKIPPING GROUPING\n";
    LinkageGroup all(n);
    for (std::size_t i = 0; i < n; ++i) all[i] = static_cast<int>(i);
    groups.push_back(std::move(all));
    return groups;
  }
  log_of(channels) << "\nCORE GROUPING MARKERS...";
  line_to_console_and_log(channels, "\ncreating LOD matrix...");
  if (kernels == Kernels::plain) {
    const LodTable lods = build_lod_table(table.loci.rows, params.population);
    group_with(
        params, groups, channels,
        [&](LinkageGroups& g) { plain_core_grouping(lods, g, params.core_LOD, channels); },
        [&](LinkageGroups& g) {
          plain_place_satellites(lods, g, params.min_LOD, params.chromosomes, channels);
        });
  } else {
    const LodPlanes lods = build_lod_planes(table.loci.rows, params.population);
    const ScreenOptions options{.threads = params.threads, .kernels = kernels};
    group_with(
        params, groups, channels,
        [&](LinkageGroups& g) { core_grouping(lods, g, params.core_LOD, channels, options); },
        [&](LinkageGroups& g) {
          place_satellites(lods, g, params.min_LOD, params.chromosomes, channels, params.threads);
        });
  }
  return groups;
}

// Which loci of a group are set aside from its framework, and the words
// that name them in the log ("dominant" when they are all dominant).
void choose_set_aside(const RunParameters& params, const GenotypeTable& table,
                      const LinkageGroup& group, std::size_t first_kept, float sparse_share,
                      RefineSettings& settings) {
  const std::size_t m = group.size();
  settings.set_aside.assign(m, false);
  bool dominant = false, sparse = false, distorted = false;
  for (std::size_t k = 0; k < m; ++k) {
    const auto locus = static_cast<std::size_t>(group[k]);
    const GenotypeRow& row = table.loci.rows.at(locus);
    if (locus >= first_kept) {
      distorted = true;
    } else if (params.framework && screened_as_dominant(row, params.population)) {
      dominant = true;
    } else if (params.framework && missing_share(row) > static_cast<double>(sparse_share)) {
      sparse = true;
    } else {
      continue;
    }
    settings.set_aside[k] = true;
  }
  std::string words;
  for (const auto& [present, word] : {std::pair{dominant, "dominant"}, std::pair{sparse, "sparse"},
                                      std::pair{distorted, "distorted"}}) {
    if (!present) continue;
    if (!words.empty()) words += '/';
    words += word;
  }
  if (!words.empty()) settings.set_aside_words = words;
  settings.order_within_places = sparse || distorted;
}

// Scores wrap around in 32 bits; when a group's true score does not fit,
// its order was chosen on wrapped scores, which says nothing about the map.
// Returns the true score.
std::int64_t warn_if_wrapped(const ScoringMatrix& matrix, const std::vector<GenotypeRow>& rows,
                             const LinkageGroup& group, std::int32_t score, std::size_t g,
                             Channels& channels) {
  const std::int64_t exact = exact_order_score(matrix, rows, group);
  if (exact != score)
    warn(channels, "the score " + std::to_string(exact) + " of group " + std::to_string(g + 1) +
                       " does not fit in 32 bits: it wrapped around to " + std::to_string(score) +
                       ", so the order was chosen on wrapped scores (the scoring matrix's entries are too large)");
  return exact;
}

std::int32_t order_groups(const RunParameters& params, const ScoringMatrix& matrix,
                          GenotypeTable& table, LinkageGroups& groups, std::size_t first_kept,
                          std::vector<std::vector<int>>& removed_lists, OrderRandom& random,
                          Kernels kernels, Channels& channels, const StageObserver& observer) {
  std::ostream& log = log_of(channels);
  console_of(channels) << "\nOrdering markers..." << std::endl;
  log << "\nORDERING MARKERS...\n\n";
  seed_order_random(random, 6);
  removed_lists.assign(groups.size(), std::vector<int>());
  std::int32_t total_score = 0;
  const float sparse_share =
      params.framework ? sparse_share_of(params, table.loci.rows) : params.sparse_share;
  std::int64_t exact_total = 0;
  bool group_wrapped = false;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const std::size_t m = groups[g].size();
    if (m < 2) continue;
    log << kSeparator << "\n";
    log << "Running LINKSORT on group " << g + 1 << std::endl;
    RefineSettings settings;
    settings.errsweep_on =
        params.errsweep && static_cast<long long>(m) > params.errsweep_group_threshold;
    settings.singleton_threshold = params.singleton_threshold;
    settings.population = params.population;
    // The dominant loci (and with the framework the sparse ones, and the
    // kept distorted ones) are set aside and placed into the order of the
    // others.
    if (params.framework || first_kept < table.loci.rows.size())
      choose_set_aside(params, table, groups[g], first_kept, sparse_share, settings);
    settings.threads = params.threads;
    settings.kernels = kernels;
    const std::int32_t s = refine_group(matrix, table.loci.rows, groups[g], removed_lists[g],
                                        settings, random, channels, observer);
    total_score = wrap_add(total_score, s);
    const std::int64_t exact = warn_if_wrapped(matrix, table.loci.rows, groups[g], s, g, channels);
    group_wrapped = group_wrapped || exact != s;
    exact_total += exact;
  }
  log << kSeparator << "\n";
  if (!group_wrapped && exact_total != total_score)
    warn(channels, "the total score " + std::to_string(exact_total) +
                       " does not fit in 32 bits: the map's ;newscore= line shows it wrapped around as " +
                       std::to_string(total_score));
  return total_score;
}

}  // namespace

RunResult run_pipeline(RunSetup& setup, Channels& channels, const StageObserver& observer) {
  RunResult result = run_pipeline_on(*setup.loc, setup.params, setup.matrix, channels, observer,
                                     [&setup] { setup.loc.reset(); });
  setup.params = result.params;
  return result;
}

RunResult run_pipeline_on(std::istream& loc_in, const RunParameters& given, const ScoringMatrix& matrix,
                          Channels& channels, const StageObserver& observer,
                          const std::function<void()>& after_read) {
  const Kernels kernels = run_kernels();
  RunResult result;
  result.params = given;
  RunParameters& params = result.params;
  log_of(channels) << "\nRUNNING TARVEK ON " << map_file_stem(params.loc_file) << std::endl;

  stage_started(observer, Stage::read);
  std::istringstream loc_text;
  std::istream* loc = &loc_in;
  try {
    if (params.choose) {
      // The settings are chosen from the file before it is read for the run.
      loc_text.str(std::string(std::istreambuf_iterator<char>(loc_in), {}));
      choose_settings(loc_text.str(), params, channels, kernels);
      loc = &loc_text;
    }
    result.table = read_loc_file(*loc, params.screening_thresholds, channels, params.population,
                                 params.typed_only);
  } catch (const LineTooLong& e) {
    note(channels, (params.loc_file.empty() ? std::string("the loc text") : params.loc_file) + ": " +
                       line_too_long_text(e));
    report_fatal(channels, "bad loc file!");
  }
  if (after_read) after_read();
  stage_finished(observer, Stage::read);
  GenotypeTable& table = result.table;
  check_header_population(params, table, channels);
  hint_typed_segregation(params, table, channels);
  if (table.n_individuals < 0) {
    warn(channels, "no locus read from " + (params.loc_file.empty() ? std::string("the loc text") : params.loc_file));
    table.n_individuals = 0;
  }

  result.individual_order.resize(static_cast<std::size_t>(table.n_individuals));
  for (std::size_t i = 0; i < result.individual_order.size(); ++i)
    result.individual_order[i] = static_cast<int>(i);
  scan_comment_lines(table.comment_lines, table.n_individuals, result.old_order, channels,
                     table.comment_line_numbers);

  stage_started(observer, Stage::grouping);
  if (params.switched_alleles)
    result.switched = flip_switched_alleles(params, table, kernels, channels);
  result.groups = group_loci(params, table, kernels, channels);
  std::size_t first_kept = table.loci.rows.size();
  if (params.keep_distorted) first_kept = keep_distorted_markers(params, table, result.groups, channels);
  stage_finished(observer, Stage::grouping);
  write_group_listing(result.groups, channels);

  OrderRandom random;
  result.total_score = order_groups(params, matrix, table, result.groups, first_kept,
                                    result.removed_lists, random, kernels, channels, observer);

  if (params.order_plants) {
    stage_started(observer, Stage::order_individuals);
    // The random stream goes on from the last group.
    order_individuals(matrix, table.loci.rows, result.individual_order, random, channels,
                      kernels, params.threads);
    stage_finished(observer, Stage::order_individuals);
  }
  return result;
}

std::string version_text() { return std::string("tarvek ") + TARVEK_VERSION + "\n"; }

namespace {

int run_program(int argc, const char* const* argv, Channels& channels,
                const StageObserver& observer) {
  if (argc >= 2) {
    const std::string first = argv[1];
    if (first == "--help" || first == "-h") {
      console_of(channels) << usage_text() << std::flush;
      return 0;
    }
    if (first == "--version") {
      console_of(channels) << version_text() << std::flush;
      return 0;
    }
  }
  console_of(channels) << "Running tarvek..." << std::endl;
  RunSetup setup = read_run_parameters(argc, argv, channels);
  const RunResult result = run_pipeline(setup, channels, observer);

  stage_started(observer, Stage::write_map);
  write_map_file(setup.map_file_name,
                 MapContents{result.table, result.groups, result.removed_lists,
                             result.individual_order, result.old_order, setup.params.core_LOD,
                             result.total_score, setup.params.population, result.switched},
                 channels);
  stage_finished(observer, Stage::write_map);

  log_of(channels) << "\nTARVEK IS DONE\n";
  console_of(channels) << "\nDONE";
  // On a terminal the prompt comes back on a line of its own; a file or a
  // pipe gets the console's bytes as they always were.
  if (channels.console_on_terminal) console_of(channels) << '\n';
  close_log_file(channels, true);
  console_of(channels).flush();
  return 0;
}

}  // namespace

int run_tarvek(int argc, const char* const* argv, Channels& channels,
               const StageObserver& observer) {
  // A run that cannot go on (out of memory, or an internal fault caught by a
  // checked access) still ends through the fatal-error path, never a crash.
  std::string fault;
  try {
    return run_program(argc, argv, channels, observer);
  } catch (const RunAbort& abort) {
    close_log_file(channels);
    return abort.status;
  } catch (const std::bad_alloc&) {
    fault = "out of memory";
  } catch (const std::exception& error) {
    fault = std::string("internal error: ") + error.what();
  }
  try {
    report_fatal(channels, fault);
  } catch (const RunAbort& abort) {
    close_log_file(channels);
    return abort.status;
  }
}

}  // namespace tarvek
