#pragma once
// The loci of one loc file as held in memory.

#include <string>
#include <vector>

namespace tarvek {

// Genotype codes of one locus, one per individual in file column order.
using GenotypeRow = std::vector<int>;

// Parallel lists of locus names and genotype rows, and the text each locus
// line carried after its genotypes (after the ";" that ends them): empty
// until some locus has one, then as long as the names.
struct LocusList {
  std::vector<std::string> names;
  std::vector<GenotypeRow> rows;
  std::vector<std::string> notes;
};

inline void append_locus(LocusList& list, std::string name, GenotypeRow row,
                         std::string note = std::string()) {
  if (!note.empty() || !list.notes.empty()) {
    list.notes.resize(list.names.size());
    list.notes.push_back(std::move(note));
  }
  list.names.push_back(std::move(name));
  list.rows.push_back(std::move(row));
}

// The text locus `index` carried, empty when it carried none.
inline const std::string& locus_note(const LocusList& list, std::size_t index) {
  static const std::string none;
  return index < list.notes.size() ? list.notes[index] : none;
}

inline bool has_notes(const LocusList& list) { return !list.notes.empty(); }

struct GenotypeTable {
  LocusList loci;             // accepted; index = locus number
  LocusList bad_segregation;  // rejected for distorted segregation
  LocusList excess_missing;   // rejected for missing values, and malformed lines
  int n_individuals = -1;     // fixed by the first parsed locus line
  int stated_loci = 0;        // header line 3; the accepted count after reading
  int stated_individuals = 0; // header line 4
  std::vector<std::string> header_lines;   // the four header lines, verbatim
  std::vector<std::string> comment_lines;  // every non-data line after them
  std::vector<std::size_t> comment_line_numbers;  // their line numbers in the file, from 1
};

}  // namespace tarvek
