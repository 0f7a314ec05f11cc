#pragma once
// A reference map: where each marker is known to lie (a physical map, an
// earlier genetic map, or the truth of a simulation). Tab-separated, one
// header line, then marker, chromosome, position; further columns ignored.

#include <cstddef>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace tarvek::interop {

struct ReferencePosition {
  std::string marker;
  std::string chromosome;
  double position = 0.0;     // cM, bp or any unit: only the order is used
  std::string position_text; // as read or as it is to be written
};

// Reads the table. Empty lines are skipped. A line with fewer than three
// fields, an empty marker name, a position that is not a number, or a marker
// listed twice is an error with the line number.
std::vector<ReferencePosition> read_reference_map(std::istream& in, const std::string& file);

// Writes "marker\tchromosome\tposition" and one line per entry, the position
// as its text.
void write_reference_map(std::ostream& out, const std::vector<ReferencePosition>& positions);

}  // namespace tarvek::interop
