#pragma once
// The run parameters, from the command line or the parameters file.

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "base/channels.hpp"
#include "genotype/population.hpp"
#include "genotype/scoring_matrix.hpp"
#include "genotype/screening.hpp"

namespace tarvek {

inline constexpr float kDefaultSparseShare = -1.0f;
// The least sparse share chosen from the data (see sparse_share_of).
inline constexpr float kSparseShareFloor = 0.5f;

struct RunParameters {
  std::string loc_file;
  bool skip_grouping = false;
  int chromosomes = 12;
  float core_LOD = 16.0f;
  float min_LOD = 4.0f;
  ScreeningThresholds screening_thresholds{0.2f, 50.0f, 50.0f, 50.0f};
  bool order_plants = false;
  bool errsweep = true;
  int errsweep_group_threshold = 100;
  float singleton_threshold = 0.05f;
  std::string matrix_file = "matrix.txt";
  // Where the log goes: set by -l; empty for the usual tarvek_log.txt.
  std::string log_file;
  // The mapping population: -p, or "population=" in the parameters file.
  PopulationType population = PopulationType::F2;
  // Find and flip markers with switched alleles before grouping: -a, or
  // "switched alleles=1" in the parameters file.
  bool switched_alleles = false;
  // Order each group's codominant loci first and put the dominant ones into
  // that order: -f, or "framework=1" in the parameters file.
  bool framework = false;
  // Segregation tests among the typed genotypes only: -u, or "typed
  // only=1" in the parameters file.
  bool typed_only = false;
  // Markers rejected for segregation but associated with a group above
  // core_LOD are placed into it: -k, or "keep distorted=1".
  bool keep_distorted = false;
  // With the framework, markers missing in more than this share of the
  // individuals are set aside with the dominant ones: -y, or "sparse
  // share=". Below 0 (the default), the share is chosen from the data (see
  // sparse_share_of).
  float sparse_share = kDefaultSparseShare;
  // -A: the population type, the screening, -f, -a, -k and the core LOD are
  // chosen from the data for this many chromosomes (see choose_settings).
  bool choose = false;
  // The arguments after the program name, as given.
  std::vector<std::string> arguments;
  // Threads for the stages that share their work (-t); 0 until the command
  // line is read, then the cores the process may use unless -t says else.
  // The output is the same for every number.
  int threads = 0;
};

inline constexpr const char* kParametersFileName = "mapping_parameters.txt";
inline constexpr const char* kLogFileName = "tarvek_log.txt";

// What the start of a run yields: the parameters, the scoring matrix, the loc
// file open for reading (opened once, here) and the name of the map file.
struct RunSetup {
  RunParameters params;
  ScoringMatrix matrix{};
  std::unique_ptr<std::ifstream> loc;
  std::string map_file_name;
};

// Folder of the loc file, ending in "/", or empty when the path names no
// folder. A loc file in the root folder gives "/".
std::string base_dir_of(const std::string& loc_file);

struct ParsedOptions;

// The files of a run whose command line has been parsed: checks the
// arguments, opens the loc file, refuses a loc file that is the log or the
// map file to be written (before anything is opened for writing), opens the
// log, reports what the options said (their console texts, warnings and
// first problem) or reads the parameters file, settles the number of
// threads, echoes the parameters into the log and loads the scoring matrix.
// Every failure ends the run through the fatal path (RunAbort).
RunSetup open_run(const ParsedOptions& parsed, Channels& channels);

// open_run(parse_options(argc, argv), channels).
RunSetup read_run_parameters(int argc, const char* const* argv, Channels& channels);

// Reads the scoring matrix file `path` as a run does ("bad matrix file " +
// path when it cannot be read, "matrix entries should be integers!" for a
// bad entry; RunAbort either way), its rows echoed into the log.
ScoringMatrix load_scoring_matrix(const std::string& path, Channels& channels);

// The standard scoring matrix, as the shipped matrix.txt holds it: a
// recombination between neighbours costs 2 between opposite homozygotes
// and 1 between a homozygote and the heterozygote or a dominant score.
ScoringMatrix standard_scoring_matrix();

// The matrix file name with leading blanks removed and, when it then starts
// with a double quote, its first and last characters dropped.
std::string matrix_file_name(const std::string& matrix_file);

// The value of -t: a whole number of threads from 1 to kMaxThreads, written
// in decimal digits alone; 0 when the text is anything else.
int parse_thread_count(const std::string& text);

}  // namespace tarvek
