#pragma once
// The program's fixed pipeline: parameters, loc file, grouping, ordering,
// map file. The program's main, the benchmark and the tests all run it
// through these calls.

#include <cstdint>
#include <functional>
#include <istream>
#include <string>
#include <vector>

#include "base/channels.hpp"
#include "base/observer.hpp"
#include "genotype/genotype_table.hpp"
#include "genotype/old_order.hpp"
#include "linkage/linkage_groups.hpp"
#include "multipoint/map_estimate.hpp"
#include "run/run_parameters.hpp"

namespace tarvek {

// Everything a run yields, in memory: the map file is written from it.
struct RunResult {
  GenotypeTable table;                          // accepted loci as ordered and flagged
  LinkageGroups groups;                         // in group order, each in map order
  std::vector<std::vector<int>> removed_lists;  // per group, loci ERRSWEEP took out
  std::vector<int> individual_order;            // column written at each position
  OldOrderState old_order;                      // carried by the loc file
  std::int32_t total_score = 0;
  std::vector<std::string> switched;            // markers flipped by -a, in file order
  RunParameters params;                         // as the run used them (-A: as chosen)
  // The multipoint map of each group, in group order, when the caller asked
  // for it (map_loc_stream); empty from run_pipeline.
  std::vector<GroupMap> intervals;
};

// Reads and screens the loc file (closing it), groups, orders and refines
// each group and orders the individuals when asked: everything between the
// parameters and the map file. Writes the run's messages to `channels`.
RunResult run_pipeline(RunSetup& setup, Channels& channels, const StageObserver& observer = {});

// The same on any stream of loc file text, with the parameters as given
// (their threads settled); `after_read` is called once the text is read.
RunResult run_pipeline_on(std::istream& loc, const RunParameters& params, const ScoringMatrix& matrix,
                          Channels& channels, const StageObserver& observer = {},
                          const std::function<void()>& after_read = {});

// The whole program on a command line (argv[0] is the program name): returns
// the exit status (0 after a complete run, 1 after a fatal error). Prints
// usage or version for a first argument --help or --version.
int run_tarvek(int argc, const char* const* argv, Channels& channels,
               const StageObserver& observer = {});

// The version `tarvek --version` prints.
std::string version_text();

}  // namespace tarvek
