#include "interop/carried_positions.hpp"

#include <algorithm>
#include <cmath>
#include <map>

#include "interop/exporters.hpp"
#include "interop/text_lines.hpp"

namespace tarvek::interop {
namespace {

// A whole number of base pairs: digits only, at most 18 of them.
std::optional<std::int64_t> base_pairs(const std::string& text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

void reverse_group(MapGroup& group) {
  const std::size_t m = group.size();
  if (m < 2) return;
  std::vector<std::optional<NeighbourPair>> pairs;
  pairs.reserve(m);
  for (const MapMarker& marker : group) pairs.push_back(marker.next);
  std::reverse(group.begin(), group.end());
  for (std::size_t j = 0; j < m; ++j) group[j].next = j + 1 < m ? pairs[m - 2 - j] : std::nullopt;
}

}  // namespace

CarriedPosition carried_position(const MapMarker& marker) {
  CarriedPosition p;
  if (marker.note.empty()) return p;
  const std::vector<std::string> fields = split_fields(marker.note, '\t');
  p.chromosome = trim_blanks(fields.front());
  if (fields.size() > 1 && !p.chromosome.empty()) p.bp = base_pairs(trim_blanks(fields[1]));
  return p;
}

bool carries_chromosomes(const MapFile& map) {
  const auto any = [](const std::vector<MapMarker>& markers) {
    return std::any_of(markers.begin(), markers.end(),
                       [](const MapMarker& m) { return !carried_position(m).chromosome.empty(); });
  };
  return std::any_of(map.groups.begin(), map.groups.end(), any) || any(map.bad_segregation) ||
         any(map.excess_missing);
}

bool carries_physical_positions(const MapFile& map) {
  for (const MapGroup& group : map.groups)
    for (const MapMarker& m : group)
      if (carried_position(m).bp) return true;
  return false;
}

std::string majority_chromosome(const MapGroup& group) {
  std::vector<std::pair<std::string, std::size_t>> counts;  // in order of first appearance
  for (const MapMarker& m : group) {
    const std::string chromosome = carried_position(m).chromosome;
    if (chromosome.empty()) continue;
    auto it = std::find_if(counts.begin(), counts.end(), [&](const auto& c) { return c.first == chromosome; });
    if (it == counts.end())
      counts.emplace_back(chromosome, 1);
    else
      ++it->second;
  }
  std::string best;
  std::size_t most = 0;
  for (const auto& [chromosome, count] : counts) {
    if (count > most) {
      best = chromosome;
      most = count;
    }
  }
  return best;
}

std::vector<std::string> group_names(const MapFile& map) {
  std::vector<std::string> names;
  std::map<std::string, std::size_t> uses;
  for (std::size_t g = 0; g < map.groups.size(); ++g) {
    std::string name = majority_chromosome(map.groups[g]);
    if (name.empty()) name = std::to_string(g + 1);
    ++uses[name];
    names.push_back(std::move(name));
  }
  std::map<std::string, std::size_t> seen;
  for (std::string& name : names) {
    if (uses[name] > 1) {
      const std::string number = std::to_string(++seen[name]);
      name.append(1, '_').append(number);
    }
  }
  return names;
}

std::string segment_label(const std::string& group_name, int segment) {
  return segment > 1 ? group_name + "." + std::to_string(segment) : group_name;
}

double physical_correlation(const MapGroup& group) {
  const std::string chromosome = majority_chromosome(group);
  std::vector<double> order;
  std::vector<double> position;
  for (std::size_t k = 0; k < group.size(); ++k) {
    const CarriedPosition p = carried_position(group[k]);
    if (p.chromosome != chromosome || !p.bp) continue;
    order.push_back(static_cast<double>(k));
    position.push_back(static_cast<double>(*p.bp));
  }
  return spearman(order, position);
}

MapFile oriented_physically(const MapFile& map, std::vector<bool>* reversed) {
  MapFile out = map;
  if (reversed != nullptr) reversed->assign(map.groups.size(), false);
  for (std::size_t g = 0; g < out.groups.size(); ++g) {
    if (!(physical_correlation(out.groups[g]) < 0.0)) continue;
    reverse_group(out.groups[g]);
    if (reversed != nullptr) reversed->at(g) = true;
  }
  return out;
}

std::string orientation_summary(const MapFile& map, const std::vector<bool>& reversed) {
  if (!carries_physical_positions(map))
    return "warning: --orient physical: no mapped marker carries a physical position; the groups stay as "
           "they are";
  const std::vector<std::string> names = group_names(map);
  std::string turned;
  for (std::size_t g = 0; g < reversed.size() && g < names.size(); ++g) {
    if (!reversed[g]) continue;
    turned += (turned.empty() ? "" : ", ") + names[g];
  }
  if (turned.empty()) return "every group already runs in physical order";
  return "turned to physical order: " + turned;
}

std::vector<ReferencePosition> carried_reference(const MapFile& map) {
  std::vector<ReferencePosition> positions;
  for (const MapGroup& group : map.groups) {
    for (const MapMarker& m : group) {
      const CarriedPosition p = carried_position(m);
      if (p.chromosome.empty() || !p.bp) continue;
      positions.push_back({m.name, p.chromosome, static_cast<double>(*p.bp), std::to_string(*p.bp)});
    }
  }
  return positions;
}

}  // namespace tarvek::interop
