#include "interop/exporters.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>
#include <unordered_map>

#include "base/echo.hpp"
#include "genotype/genotype_codes.hpp"
#include "interop/carried_positions.hpp"
#include "interop/input_error.hpp"

namespace tarvek::interop {
namespace {

std::size_t flagged_count(const MapMarker& m) {
  return static_cast<std::size_t>(std::count(m.codes.begin(), m.codes.end(), kFlagged));
}

// R/qtl's letters for tarvek's codes: tarvek's own letters, with "-" (missing)
// for a flagged genotype too.
char rqtl_letter(int code) { return code == kFlagged ? '-' : code_to_letter(code); }

// A field as read.csv reads it back: quoted when it holds a comma, a quote
// or blanks at either end.
std::string csv_field(const std::string& text) {
  const bool quote = text.find_first_of(",\"") != std::string::npos ||
                     (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) return text;
  std::string q = "\"";
  for (const char c : text) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

std::string mapchart_name(const std::string& name) {
  if (name.find_first_of(" \t\"") == std::string::npos) return name;
  std::string q = "\"";
  for (const char c : name) q += c == '"' ? '\'' : c;
  return q + "\"";
}

std::vector<double> ranks(const std::vector<double>& v) {
  std::vector<std::size_t> order(v.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return v.at(a) < v.at(b); });
  std::vector<double> r(v.size());
  for (std::size_t i = 0; i < order.size();) {
    std::size_t j = i;
    while (j + 1 < order.size() && v.at(order.at(j + 1)) == v.at(order.at(i))) ++j;
    const double mean_rank = (static_cast<double>(i) + static_cast<double>(j)) / 2.0 + 1.0;
    for (std::size_t k = i; k <= j; ++k) r.at(order.at(k)) = mean_rank;
    i = j + 1;
  }
  return r;
}

}  // namespace

void write_positions_table(std::ostream& out, const MapFile& map, const std::vector<PlacedGroup>& placed) {
  const bool carried = carries_chromosomes(map);
  out << "group\tsegment\tmarker\tposition_cM\tr\tLOD\tflagged" << (carried ? "\tchromosome\tposition_bp" : "")
      << '\n';
  for (std::size_t g = 0; g < map.groups.size(); ++g) {
    const MapGroup& group = map.groups.at(g);
    for (std::size_t k = 0; k < group.size(); ++k) {
      const MapMarker& m = group.at(k);
      const PlacedMarker& p = placed.at(g).markers.at(k);
      out << g + 1 << '\t' << p.segment << '\t' << m.name << '\t' << format_cm(p.position_cm) << '\t';
      if (p.estimated_r)
        out << *p.estimated_r << '\t' << m.next->lod_text;
      else if (m.next && k + 1 < group.size())
        out << m.next->r_text << '\t' << m.next->lod_text;
      else
        out << "NA\tNA";
      out << '\t' << flagged_count(m);
      if (carried) {
        const CarriedPosition c = carried_position(m);
        out << '\t' << (c.chromosome.empty() ? "NA" : c.chromosome) << '\t'
            << (c.bp ? std::to_string(*c.bp) : std::string("NA"));
      }
      out << '\n';
    }
  }
}

std::vector<std::size_t> columns_by_individual(const MapFile& map) {
  const std::size_t n = map.individual_count();
  std::vector<std::size_t> column(n, n);
  for (std::size_t c = 0; c < n; ++c) {
    const int individual = map.individual_order.at(c);
    if (individual < 0 || static_cast<std::size_t>(individual) >= n || column.at(static_cast<std::size_t>(individual)) != n)
      throw error_at_line(map.file, map.individual_order_line,
                          "the ;indOrdr line is not an order of the individuals 0 to " + std::to_string(n) +
                              " - 1 (entry " + std::to_string(individual) + ")");
    column.at(static_cast<std::size_t>(individual)) = c;
  }
  return column;
}

std::vector<std::string> individual_labels(const MapFile& map) {
  const std::size_t n = map.individual_count();
  if (map.individual_names) {
    if (map.individual_names->size() != n)
      throw error_at_line(map.file, map.individual_names_line,
                          "the ;individuals line names " + std::to_string(map.individual_names->size()) +
                              " individuals, the map has " + std::to_string(n));
    return *map.individual_names;
  }
  std::vector<std::string> labels;
  labels.reserve(n);
  for (std::size_t i = 0; i < n; ++i) labels.push_back(std::to_string(i + 1));
  return labels;
}

char two_class_letter(const MapMarker& marker, int code, PopulationType population) {
  if (!two_class(population)) return rqtl_letter(code);
  const MarkerClasses classes = marker_classes(population, marker.codes);
  const int k = class_of(classes, code);
  if (k < 0) return '-';
  const std::string_view letters = population_model(population).class_letters;
  if (!letters.empty()) return letters.at(static_cast<std::size_t>(k));
  return code_to_letter(code);
}

std::string name_list(const std::vector<std::string>& names, std::size_t most) {
  std::string list;
  for (std::size_t k = 0; k < names.size() && k < most; ++k) list += (k > 0 ? ", " : "") + escaped_for_message(names[k]);
  if (names.size() > most) list += " and " + std::to_string(names.size() - most) + " more";
  return list;
}

std::vector<std::string> recoding_notes(const MapFile& map, PopulationType population) {
  std::vector<std::string> notes;
  if (two_class(population)) {
    std::vector<std::string> turned;
    std::size_t impossible = 0;
    for (const MapGroup& group : map.groups) {
      for (const MapMarker& m : group) {
        const MarkerClasses classes = marker_classes(population, m.codes);
        if (classes.first != kCodeA) turned.push_back(m.name);  // scored against its B homozygote
        for (const int code : m.codes)
          if (code != kMissing && code != kFlagged && class_of(classes, code) < 0) ++impossible;
      }
    }
    if (!turned.empty())
      notes.push_back(std::to_string(turned.size()) + (turned.size() == 1 ? " backcross marker" : " backcross markers") +
                      " scored B/H written as A/H, the coding of read.cross(crosstype = \"bc\"): " +
                      name_list(turned));
    if (impossible > 0)
      notes.push_back(std::to_string(impossible) + (impossible == 1 ? " genotype" : " genotypes") +
                      " that its marker cannot have in " + std::string(population_name(population)) +
                      " written as missing");
  }
  if (map.switched_alleles && !map.switched_alleles->empty())
    notes.push_back(std::to_string(map.switched_alleles->size()) +
                    (map.switched_alleles->size() == 1 ? " marker has" : " markers have") +
                    " A and B exchanged relative to the loc file (tarvek -a): " + name_list(*map.switched_alleles));
  return notes;
}

void write_rqtl_csv(std::ostream& out, const MapFile& map, const std::vector<PlacedGroup>& placed,
                    PopulationType population) {
  const std::vector<std::size_t> column = columns_by_individual(map);
  const std::vector<std::string> labels = individual_labels(map);
  const std::size_t traits = map.phenotype_names.size();
  if (traits > 0 && map.phenotype_values.size() != traits * labels.size())
    throw error_at_line(map.file, map.phenotypes_line,
                        "the ;phenotypes line holds " + std::to_string(map.phenotype_values.size()) + " values, not " +
                            std::to_string(traits) + " for each of the " + std::to_string(labels.size()) +
                            " individuals");
  std::vector<const MapMarker*> markers;
  std::vector<const PlacedMarker*> places;
  std::vector<std::size_t> groups;
  for (std::size_t g = 0; g < map.groups.size(); ++g) {
    for (std::size_t k = 0; k < map.groups.at(g).size(); ++k) {
      markers.push_back(&map.groups.at(g).at(k));
      places.push_back(&placed.at(g).markers.at(k));
      groups.push_back(g + 1);
    }
  }
  out << "id";
  for (const std::string& name : map.phenotype_names) out << ',' << csv_field(name);
  for (const MapMarker* m : markers) out << ',' << csv_field(m->name);
  out << '\n';
  const std::string empty_phenotypes(traits, ',');
  const std::vector<std::string> names = group_names(map);
  out << empty_phenotypes;
  for (std::size_t k = 0; k < markers.size(); ++k)
    out << ',' << csv_field(segment_label(names.at(groups.at(k) - 1), places.at(k)->segment));
  out << '\n' << empty_phenotypes;
  for (const PlacedMarker* p : places) out << ',' << format_cm(p->position_cm);
  out << '\n';
  for (std::size_t i = 0; i < labels.size(); ++i) {
    out << csv_field(labels.at(i));
    for (std::size_t t = 0; t < traits; ++t) out << ',' << csv_field(map.phenotype_values.at(i * traits + t));
    for (const MapMarker* m : markers) out << ',' << two_class_letter(*m, m->codes.at(column.at(i)), population);
    out << '\n';
  }
}

void write_mapchart(std::ostream& out, const MapFile& map, const std::vector<PlacedGroup>& placed,
                    MapFunction f) {
  out << "; " << escaped_for_message(map.file) << ", positions in " << map_function_name(f) << " cM\n";
  const std::vector<std::string> names = group_names(map);
  for (std::size_t g = 0; g < map.groups.size(); ++g) {
    const MapGroup& group = map.groups.at(g);
    int segment = 0;
    for (std::size_t k = 0; k < group.size(); ++k) {
      const PlacedMarker& p = placed.at(g).markers.at(k);
      if (p.segment != segment) {
        segment = p.segment;
        out << "\ngroup " << mapchart_name(segment_label(names.at(g), segment)) << '\n';
      }
      out << mapchart_name(group.at(k).name) << '\t' << format_cm(p.position_cm) << '\n';
    }
  }
}

std::vector<GroupComparison> compare_with_reference(const MapFile& map,
                                                    const std::vector<ReferencePosition>& reference) {
  std::unordered_map<std::string, const ReferencePosition*> by_name;
  for (const ReferencePosition& p : reference) by_name.emplace(p.marker, &p);
  std::vector<GroupComparison> rows;
  for (std::size_t g = 0; g < map.groups.size(); ++g) {
    GroupComparison row;
    row.group = g + 1;
    row.markers = map.groups.at(g).size();
    // Markers found, in map order; the chromosome counts in order of first
    // appearance, so that a tie goes to the chromosome met first.
    std::vector<std::pair<std::size_t, const ReferencePosition*>> found;
    std::vector<std::pair<std::string, std::size_t>> counts;
    for (std::size_t k = 0; k < map.groups.at(g).size(); ++k) {
      const auto it = by_name.find(map.groups.at(g).at(k).name);
      if (it == by_name.end()) continue;
      found.emplace_back(k, it->second);
      auto c = std::find_if(counts.begin(), counts.end(),
                            [&](const auto& e) { return e.first == it->second->chromosome; });
      if (c == counts.end())
        counts.emplace_back(it->second->chromosome, 1);
      else
        ++c->second;
    }
    row.in_reference = found.size();
    for (const auto& [chromosome, count] : counts) {
      if (count > row.on_chromosome) {
        row.chromosome = chromosome;
        row.on_chromosome = count;
      }
    }
    std::vector<double> order;
    std::vector<double> position;
    for (const auto& [k, p] : found) {
      if (p->chromosome != row.chromosome) continue;
      order.push_back(static_cast<double>(k));
      position.push_back(p->position);
    }
    row.spearman = spearman(order, position);
    rows.push_back(row);
  }
  return rows;
}

void write_comparison(std::ostream& out, const std::vector<GroupComparison>& rows) {
  out << "group\tmarkers\tin_reference\tchromosome\ton_chromosome\tspearman\n";
  for (const GroupComparison& r : rows) {
    char rho[32] = "NA";
    if (!std::isnan(r.spearman)) std::snprintf(rho, sizeof rho, "%.4f", r.spearman);
    out << r.group << '\t' << r.markers << '\t' << r.in_reference << '\t'
        << (r.chromosome.empty() ? "NA" : r.chromosome) << '\t' << r.on_chromosome << '\t' << rho << '\n';
  }
}

double spearman(const std::vector<double>& x, const std::vector<double>& y) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  if (x.size() != y.size() || x.size() < 2) return nan;
  const std::vector<double> rx = ranks(x);
  const std::vector<double> ry = ranks(y);
  const double n = static_cast<double>(x.size());
  const double mean = (n + 1.0) / 2.0;
  double sxy = 0.0;
  double sxx = 0.0;
  double syy = 0.0;
  for (std::size_t i = 0; i < rx.size(); ++i) {
    sxy += (rx.at(i) - mean) * (ry.at(i) - mean);
    sxx += (rx.at(i) - mean) * (rx.at(i) - mean);
    syy += (ry.at(i) - mean) * (ry.at(i) - mean);
  }
  if (sxx == 0.0 || syy == 0.0) return nan;
  return sxy / std::sqrt(sxx * syy);
}

}  // namespace tarvek::interop
