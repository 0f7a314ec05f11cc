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
// `note_out`, when given, receives the text after the ";" that ends the
// genotypes (empty when no ";" ends them).
int parse_locus_line(const std::string& line, std::string& name_out,
                     std::vector<int>& codes_out, const ScreeningThresholds& thresholds,
                     Channels& channels, PopulationType population = PopulationType::F2,
                     bool typed_only = false, std::string* note_out = nullptr);

// The text a locus line carries, from what follows its ";": blanks and tabs
// trimmed at both ends. In a map file (`pair_columns`) the first three
// fields are the r, LOD and dist columns tarvek wrote, not carried text.
std::string carried_note(const std::string& after_semicolon, bool pair_columns);

// True for the ";indOrdr" line of a map file, whose tail names the pair
// columns written after a ";" on the locus lines.
bool is_pair_column_header(const std::string& comment_line);

// True for the lines that are kept as comments instead of parsed.
bool is_comment_line(const std::string& line);

}  // namespace tarvek
