#pragma once
// The run as a library call: a loc file's text from any stream, or a table
// of genotypes built in memory, mapped with parameters and a scoring matrix
// the caller gives, without a command line, a parameters file or a log file
// of its own (the log goes wherever the channels' log stream points).

#include <istream>
#include <string>
#include <vector>

#include "base/channels.hpp"
#include "base/observer.hpp"
#include "genotype/genotype_table.hpp"
#include "multipoint/map_estimate.hpp"
#include "run/driver.hpp"
#include "run/run_parameters.hpp"

namespace tarvek {

struct MapOptions {
  // Estimate the multipoint map of every group once the run is done
  // (RunResult::intervals).
  bool multipoint = true;
  MapEstimateOptions estimate;  // its threads: 0 for the run's
  StageObserver observer;       // told of each stage (a caller may stop the run from it)
};

// Maps the loc file text read from `loc` as tarvek maps a loc file: checks
// the parameters (check_parameters; a problem ends with RunAbort carrying its
// message), reads and screens the loci, groups, orders and refines them, and
// with `options.multipoint` estimates each group's multipoint map. Threads 0
// in `params` means the cores available. The run's messages go to `channels`.
RunResult map_loc_stream(std::istream& loc, RunParameters params, const ScoringMatrix& matrix,
                         Channels& channels, const MapOptions& options = {});

// The same for a table built in memory: its `loci` (names and rows of codes,
// every row one code per individual), its header lines (the usual four made
// up when there are not four) and comment lines are taken as the loc file
// loc_text writes, so a run of the program on that file gives the same map.
// Names must be one field (no tab, line break, or leading ";"): RunAbort
// otherwise.
RunResult map_genotype_table(const GenotypeTable& table, const RunParameters& params,
                             const ScoringMatrix& matrix, Channels& channels,
                             const MapOptions& options = {});

// The table as a loc file: header lines, comment lines, then one line per
// locus of `loci` (the rejected lists are not written). RunAbort for a name
// that cannot be one field.
std::string loc_text(const GenotypeTable& table, PopulationType population);

// Writes the map file of a finished run to `path`, as the program writes it
// (whole or not at all; RunAbort with "bad map file " + path when it cannot).
void write_run_map(const std::string& path, const RunResult& result, Channels& channels);

// The multipoint map of markers in a given order: each entry of
// `chromosomes` one chain of rows (one code per individual, the same
// individuals in the same columns), estimated as the map of a group is.
std::vector<GroupMap> estimate_order(const std::vector<std::vector<GenotypeRow>>& chromosomes,
                                     PopulationType population, const MapEstimateOptions& options);

}  // namespace tarvek
