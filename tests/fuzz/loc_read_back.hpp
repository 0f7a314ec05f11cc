#pragma once
// A loc file an importer wrote, read back the way tarvek reads it: every
// locus line whole, as many of them as the header's nloc line counts.

#include <cfloat>
#include <sstream>
#include <string>

#include "fuzz_support.hpp"
#include "genotype/loc_reader.hpp"
#include "genotype/text_input.hpp"

namespace tarvek::fuzz {

inline std::size_t count_lines(const std::string& text) {
  std::size_t n = 0;
  for (const char c : text) n += c == '\n' ? 1 : 0;
  return n;
}

// Returns the number of markers.
inline std::size_t check_loc_reads_back(const std::string& loc) {
  Captured reading;
  std::istringstream in(loc);
  GenotypeTable table;
  try {
    table = read_loc_file(in, {1.0f, FLT_MAX, FLT_MAX, FLT_MAX}, reading.channels);
  } catch (const RunAbort&) {
    finding("tarvek cannot read the loc file written:\n" + reading.errors.str());
  }
  check(reading.errors.str().find("Error reading loc") == std::string::npos,
        "a malformed locus line in the loc file written:\n" + reading.errors.str());
  const std::size_t lines = table.loci.names.size() + table.bad_segregation.names.size() +
                            table.excess_missing.names.size();
  check(table.header_lines.at(2) == "nloc = " + std::to_string(lines),
        "the header's count (" + table.header_lines.at(2) + ") is not the " + std::to_string(lines) + " locus lines");
  check(lines > 0 && table.n_individuals > 0, "a loc file without markers or individuals was written");
  return lines;
}

}  // namespace tarvek::fuzz
