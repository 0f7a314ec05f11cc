#include "interop/reference_map.hpp"

#include <unordered_set>

#include "base/echo.hpp"
#include "interop/input_error.hpp"
#include "interop/text_lines.hpp"

namespace tarvek::interop {

std::vector<ReferencePosition> read_reference_map(std::istream& in, const std::string& file) {
  LineReader reader{in, file};
  std::string line;
  if (!reader.next(line)) throw error_in_file(file, "empty file (a header line is expected)");
  std::vector<ReferencePosition> positions;
  std::unordered_set<std::string> seen;
  while (reader.next(line)) {
    if (trim_blanks(line).empty()) continue;
    const std::vector<std::string> fields = split_fields(line, '\t');
    if (fields.size() < 3)
      throw error_at_line(file, reader.number, "expected marker, chromosome and position separated by tabs");
    ReferencePosition p;
    p.marker = fields.at(0);
    p.chromosome = trim_blanks(fields.at(1));
    p.position_text = trim_blanks(fields.at(2));
    if (p.marker.empty()) throw error_at_line(file, reader.number, "empty marker name");
    if (!parse_real(p.position_text, p.position))
      throw error_at_line(file, reader.number, "position \"" + echo(fields.at(2)) + "\" is not a number");
    if (!seen.insert(p.marker).second)
      throw error_at_line(file, reader.number, "marker " + echo(p.marker) + " is listed twice");
    positions.push_back(std::move(p));
  }
  return positions;
}

void write_reference_map(std::ostream& out, const std::vector<ReferencePosition>& positions) {
  out << "marker\tchromosome\tposition\n";
  for (const ReferencePosition& p : positions)
    out << p.marker << '\t' << p.chromosome << '\t' << p.position_text << '\n';
}

}  // namespace tarvek::interop
