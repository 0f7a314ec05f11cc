// Builds a backcross of two chromosomes in memory, maps it with the
// installed library and checks what comes back: two groups of six markers
// each in chromosome order (or reversed), the intervals estimated, the log
// written to a string. Exit status 0 when all holds.

#include <tarvek/tarvek.hpp>

#include <cstdint>
#include <iostream>
#include <sstream>

int main() {
  tarvek::GenotypeTable table;
  std::uint32_t state = 12345;
  const auto draw = [&state] {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % 1000;
  };
  const int individuals = 120;
  for (int chromosome = 0; chromosome < 2; ++chromosome) {
    std::vector<tarvek::GenotypeRow> rows(6, tarvek::GenotypeRow(individuals));
    for (int i = 0; i < individuals; ++i) {
      int code = draw() < 500 ? tarvek::kCodeA : tarvek::kCodeH;
      for (int m = 0; m < 6; ++m) {
        if (m > 0 && draw() < 80) code = code == tarvek::kCodeA ? tarvek::kCodeH : tarvek::kCodeA;
        rows[m][i] = code;
      }
    }
    for (int m = 0; m < 6; ++m)
      tarvek::append_locus(table.loci, "c" + std::to_string(chromosome + 1) + "m" + std::to_string(m + 1), rows[m]);
  }

  tarvek::RunParameters params;
  params.population = tarvek::PopulationType::BC1;
  params.chromosomes = 2;
  params.core_LOD = 8;
  params.min_LOD = 3;
  params.threads = 1;
  if (const auto problem = tarvek::check_parameters(params)) {
    std::cerr << "consumer: " << problem->message << "\n";
    return 1;
  }
  std::ostringstream console, errors, log;
  tarvek::Channels channels = tarvek::stream_channels(console, errors, log);
  try {
    const tarvek::RunResult result =
        tarvek::map_genotype_table(table, params, tarvek::standard_scoring_matrix(), channels);
    if (result.groups.size() != 2 || result.intervals.size() != 2) {
      std::cerr << "consumer: " << result.groups.size() << " groups\n";
      return 1;
    }
    for (std::size_t g = 0; g < 2; ++g) {
      const auto& group = result.groups[g];
      const auto& names = result.table.loci.names;
      std::string order;
      for (const int locus : group) order += names.at(static_cast<std::size_t>(locus)) + " ";
      std::cout << "group " << g + 1 << ": " << order << "r:";
      for (const double r : result.intervals[g].r) std::cout << " " << r;
      std::cout << "\n";
      if (group.size() != 6 || result.intervals[g].r.size() != 5) return 1;
    }
    if (log.str().find("ORDERING MARKERS") == std::string::npos) return 1;
  } catch (const tarvek::RunAbort& abort) {
    std::cerr << "consumer: " << abort.message << "\n";
    return 1;
  }
  // A problem comes back as a RunAbort carrying the program's message.
  params.core_LOD = 0;
  try {
    tarvek::map_genotype_table(table, params, tarvek::standard_scoring_matrix(), channels);
    return 1;
  } catch (const tarvek::RunAbort& abort) {
    if (abort.message != "bad input paramaters -g!\ncore_LOD must be > 0") return 1;
  }
  std::cout << "consumer: ok\n";
  return 0;
}
