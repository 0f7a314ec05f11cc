#include "interop/loc_writer.hpp"

#include <unordered_set>

#include "base/echo.hpp"
#include "genotype/genotype_codes.hpp"

namespace tarvek::interop {
namespace {

bool one_field(const std::string& text) { return text.find_first_of("\t\r\n") == std::string::npos; }

std::size_t individual_count(const LocData& loc) {
  return loc.markers.empty() ? loc.individuals.size() : loc.markers.front().codes.size();
}

std::size_t repeated(const std::vector<std::string>& names) {
  std::unordered_set<std::string> seen;
  std::size_t n = 0;
  for (const std::string& name : names) n += seen.insert(name).second ? 0 : 1;
  return n;
}

}  // namespace

std::size_t repeated_marker_names(const LocData& loc) {
  std::vector<std::string> names;
  names.reserve(loc.markers.size());
  for (const LocMarker& m : loc.markers) names.push_back(m.name);
  return repeated(names);
}

std::size_t repeated_individual_names(const LocData& loc) { return repeated(loc.individuals); }

std::string check_loc(const LocData& loc) {
  const std::size_t n = individual_count(loc);
  if (loc.name.find_first_of("\r\n") != std::string::npos) return "the name must be one line";
  if (loc.population.find_first_of("\r\n") != std::string::npos) return "the population type must be one line";
  if (!loc.individuals.empty() && loc.individuals.size() != n)
    return std::to_string(loc.individuals.size()) + " individual names for " + std::to_string(n) +
           " individuals";
  for (const std::string& name : loc.individuals) {
    if (name.empty() || !one_field(name)) return "individual name \"" + echo(name) + "\" cannot be written";
  }
  if (!loc.phenotype_names.empty()) {
    if (loc.phenotype_values.size() != n)
      return std::to_string(loc.phenotype_values.size()) + " individuals with phenotypes for " + std::to_string(n) +
             " individuals";
    for (const std::string& name : loc.phenotype_names)
      if (name.empty() || !one_field(name) || name == ";") return "phenotype name \"" + echo(name) + "\" cannot be written";
    for (const auto& values : loc.phenotype_values) {
      if (values.size() != loc.phenotype_names.size()) return "an individual without a value of every phenotype";
      for (const std::string& v : values)
        if (!one_field(v)) return "phenotype value \"" + echo(v) + "\" holds a tab or a line break";
    }
  }
  for (const LocMarker& m : loc.markers) {
    if (m.name.empty() || !one_field(m.name) || m.name.front() == ';')
      return "marker name \"" + echo(m.name) + "\" cannot be written";
    if (m.codes.size() != n)
      return "marker " + echo(m.name) + " has " + std::to_string(m.codes.size()) + " genotypes, not " +
             std::to_string(n);
  }
  return std::string();
}

void write_loc(std::ostream& out, const LocData& loc) {
  out << "name = " << loc.name << '\n'
      << "popt = " << loc.population << '\n'
      << "nloc = " << loc.markers.size() << '\n'
      << "nind = " << individual_count(loc) << '\n';
  if (!loc.individuals.empty()) {
    out << kIndividualsKey;
    for (const std::string& name : loc.individuals) out << '\t' << name;
    out << '\n';
  }
  if (!loc.phenotype_names.empty()) {
    out << kPhenotypesKey;
    for (const std::string& name : loc.phenotype_names) out << '\t' << name;
    out << "\t;";
    for (const auto& values : loc.phenotype_values)
      for (const std::string& v : values) out << '\t' << v;
    out << '\n';
  }
  for (const LocMarker& m : loc.markers) {
    out << m.name;
    for (const int code : m.codes) out << '\t' << (code == kFlagged ? '-' : code_to_letter(code));
    if (!m.note.empty()) out << "\t;\t" << m.note;
    out << '\n';
  }
}

}  // namespace tarvek::interop
