#include "interop/peer_exporters.hpp"

#include <cctype>
#include <cstdio>
#include <map>

#include "base/echo.hpp"
#include "genotype/genotype_codes.hpp"
#include "interop/carried_positions.hpp"
#include "interop/exporters.hpp"
#include "interop/text_lines.hpp"

namespace tarvek::interop {
namespace {

// A name as one word: blanks and tabs become "_".
std::string one_word(const std::string& name, std::size_t& renamed) {
  std::string out = name;
  bool changed = false;
  for (char& c : out)
    if (std::isspace(static_cast<unsigned char>(c))) {
      c = '_';
      changed = true;
    }
  renamed += changed ? 1 : 0;
  return out;
}

}  // namespace

std::string joinmap_population(PopulationType population) {
  return std::string(population_model(population).peer_code);
}

void write_joinmap_loc(std::ostream& out, const MapFile& map, PopulationType population, std::size_t& renamed) {
  const std::vector<std::size_t> column = columns_by_individual(map);
  const std::vector<std::string> labels = individual_labels(map);
  std::size_t mapped = 0;
  for (const MapGroup& g : map.groups) mapped += g.size();
  std::string name = map.header_lines.empty() ? std::string() : map.header_lines.front();
  const auto eq = name.rfind('=');
  name = eq == std::string::npos ? file_stem(map.file) : trim_blanks(std::string_view(name).substr(eq + 1));
  renamed = 0;
  out << "name = " << one_word(name.empty() ? file_stem(map.file) : name, renamed) << '\n'
      << "popt = " << joinmap_population(population) << '\n'
      << "nloc = " << mapped << '\n'
      << "nind = " << labels.size() << "\n\n";
  renamed = 0;
  for (const MapGroup& group : map.groups) {
    for (const MapMarker& m : group) {
      out << one_word(m.name, renamed);
      for (std::size_t i = 0; i < labels.size(); ++i) {
        const char letter = two_class_letter(m, m.codes.at(column.at(i)), population);
        out << ' ' << (letter == '-' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(letter))));
      }
      out << '\n';
    }
  }
  out << "\nindividual names:\n";
  for (const std::string& label : labels) out << one_word(label, renamed) << '\n';
}

void write_lepmap_table(std::ostream& out, const MapFile& map, const std::vector<PlacedGroup>& placed,
                        const std::vector<MapErrorCall>& calls, MapFunction function) {
  std::map<std::pair<std::size_t, std::size_t>, std::size_t> called;
  for (const MapErrorCall& c : calls) ++called[{c.group, c.call.marker}];
  const std::vector<std::string> names = group_names(map);
  out << "#tarvek-export lepmap: " << escaped_for_message(map.file) << ", " << map_function_name(function)
      << " cM, the same (sex-averaged) position for both sexes\n"
      << "#markers: number, name" << (carries_chromosomes(map) ? ", chromosome, position" : "") << '\n';
  std::size_t number = 0;
  for (const MapGroup& group : map.groups) {
    for (const MapMarker& m : group) {
      out << '#' << ++number << '\t' << escaped_for_message(m.name);
      const CarriedPosition c = carried_position(m);
      if (!c.chromosome.empty()) out << '\t' << c.chromosome << '\t' << (c.bp ? std::to_string(*c.bp) : "NA");
      out << '\n';
    }
  }
  number = 0;
  for (std::size_t g = 0; g < map.groups.size(); ++g) {
    int segment = 0;
    for (std::size_t k = 0; k < map.groups[g].size(); ++k) {
      const PlacedMarker& p = placed.at(g).markers.at(k);
      if (p.segment != segment) {
        segment = p.segment;
        out << "#*** LG = " << segment_label(names.at(g), segment) << " likelihood = NA\n"
            << "#marker_number\tmale_position\tfemale_position\t( error_estimate )\n";
      }
      std::size_t typed = 0;
      for (const int code : map.groups[g][k].codes) typed += code != kMissing && code != kFlagged ? 1 : 0;
      const auto it = called.find({g, k});
      const double share =
          typed == 0 || it == called.end() ? 0.0 : static_cast<double>(it->second) / static_cast<double>(typed);
      char error[32];
      std::snprintf(error, sizeof error, "%.4f", share);
      out << ++number << '\t' << format_cm(p.position_cm) << '\t' << format_cm(p.position_cm) << "\t( " << error
          << " )\n";
    }
  }
}

}  // namespace tarvek::interop
