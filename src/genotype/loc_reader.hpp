#pragma once
// Reading a loc file: four header lines, then locus lines and comment lines.

#include <istream>
#include <string>
#include <vector>

#include "base/channels.hpp"
#include "genotype/genotype_table.hpp"
#include "genotype/population.hpp"
#include "genotype/screening.hpp"

namespace tarvek {

inline constexpr int kMalformedLine = -1;

// Reads the whole stream into a table, screening every locus line as a
// marker of the population type (its segregation among the typed genotypes
// only with `typed_only`, see screen_locus). Writes the reader's and the screening's
// messages. A locus whose number of individuals differs from the first locus
// line ends the run (RunAbort, status 1).
GenotypeTable read_loc_file(std::istream& in, const ScreeningThresholds& thresholds,
                            Channels& channels,
                            PopulationType population = PopulationType::F2,
                            bool typed_only = false);

// Parses and screens one data line. Returns kMalformedLine, or the screening
// result. `codes_out` must be empty on entry and holds the codes read, also
// those read before an error. The name is the text before the first tab; a
// line without any tab is malformed and its whole text becomes the name.
int parse_locus_line(const std::string& line, std::string& name_out,
                     std::vector<int>& codes_out, const ScreeningThresholds& thresholds,
                     Channels& channels, PopulationType population = PopulationType::F2,
                     bool typed_only = false);

// True for the lines that are kept as comments instead of parsed.
bool is_comment_line(const std::string& line);

}  // namespace tarvek
