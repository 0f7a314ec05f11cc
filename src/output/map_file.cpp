#include "output/map_file.hpp"

#include <sstream>

#include "base/atomic_file.hpp"
#include "base/echo.hpp"
#include "genotype/genotype_codes.hpp"
#include "linkage/pair_lod.hpp"
#include "linkage/population_lod.hpp"

namespace tarvek {
namespace {

// The genotype shown at output position i: the row's entry at the column the
// individual order puts there, "-" where a malformed row has no such entry.
char letter_at(const GenotypeRow& row, const std::vector<int>& order, std::size_t i) {
  const int column = order.at(i);
  if (column < 0 || static_cast<std::size_t>(column) >= row.size()) return '-';
  return code_to_letter(row[static_cast<std::size_t>(column)]);
}

// A locus's carried text stands after the r, LOD and dist columns, which
// are written empty where the locus has none, so that it is always the
// fourth field after the ";".
constexpr const char* kNoPairColumns = ";\t\t\t\t";

void write_rejected(std::ostream& out, const LocusList& list, const std::vector<int>& order) {
  for (std::size_t l = 0; l < list.names.size(); ++l) {
    out << list.names[l] << '\t';
    const GenotypeRow& row = list.rows.at(l);
    for (std::size_t i = 0; i < order.size(); ++i) out << letter_at(row, order, i) << '\t';
    if (const std::string& note = locus_note(list, l); !note.empty()) out << kNoPairColumns << note;
    out << '\n';
  }
}

void write_group(std::ostream& out, const MapContents& c, std::size_t g, std::ostream& log) {
  const LinkageGroup& group = c.groups.at(g);
  const auto& rows = c.table.loci.rows;
  for (std::size_t k = 0; k < group.size(); ++k) {
    const auto x = static_cast<std::size_t>(group[k]);
    out << c.table.loci.names.at(x);
    const GenotypeRow& row = rows.at(x);
    for (std::size_t i = 0; i < c.individual_order.size(); ++i)
      out << '\t' << letter_at(row, c.individual_order, i);
    const std::string& note = locus_note(c.table.loci, x);
    if (k + 1 < group.size()) {
      const PairLod p =
          neighbour_pair_lod(c.population, rows, x, static_cast<std::size_t>(group[k + 1]));
      out << "\t;\t" << p.r << '\t' << p.lod;
      if (p.r < 0.5f) out << '\t' << map_distance(p.r);
      if (!note.empty()) out << (p.r < 0.5f ? "\t" : "\t\t") << note;
    } else if (!note.empty()) {
      out << '\t' << kNoPairColumns << note;
    }
    out << '\n';
  }
  out << ";\n";
  const std::vector<int>& removed = c.removed_lists.at(g);
  if (!removed.empty()) {
    log << "singletons in group " << g + 1 << ":";
    for (const int e : removed)
      log << escaped_for_message(c.table.loci.names.at(static_cast<std::size_t>(e))) << ", ";
    log << "\n";
  }
}

}  // namespace

std::string map_file_stem(const std::string& loc_file) {
  const auto slash = loc_file.find_last_of("/\\");
  const auto dot = loc_file.rfind('.');
  const bool dot_in_name = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return dot_in_name ? loc_file.substr(0, dot) : loc_file;
}

void write_map(std::ostream& out, const MapContents& c, std::ostream& log) {
  const GenotypeTable& t = c.table;
  for (std::size_t k = 0; k < 4; ++k)
    out << (k < t.header_lines.size() ? t.header_lines[k] : std::string()) << '\n';
  for (std::size_t k = 0; k < 3; ++k)
    out << (k < t.comment_lines.size() ? t.comment_lines[k] : std::string()) << '\n';
  out << ";grouping threshold LOD=" << c.core_LOD << '\n';
  out << c.old_order.old_score_line << '\n';
  out << ";newscore=" << c.total_score << '\n';
  if (!c.switched.empty()) {
    out << ";switched alleles";
    for (const std::string& name : c.switched) out << '\t' << name;
    out << '\n';
  }

  const bool old = c.old_order.old_order_loaded &&
                   c.old_order.old_individual_order.size() == c.individual_order.size();
  out << ";indOrdr";
  for (const int column : c.individual_order) {
    out << '\t'
        << (old ? c.old_order.old_individual_order.at(static_cast<std::size_t>(column)) : column);
  }
  out << "\t;\tr\tLOD\tdist\n";

  for (std::size_t g = 0; g < c.groups.size(); ++g) write_group(out, c, g, log);

  if (!t.bad_segregation.names.empty()) {
    out << ";bad segregation ratio markers\n";
    write_rejected(out, t.bad_segregation, c.individual_order);
  }
  if (!t.excess_missing.names.empty()) {
    out << "\n;excessive missing value markers\n";
    write_rejected(out, t.excess_missing, c.individual_order);
  }
}

void write_map_file(const std::string& map_file_name, const MapContents& contents,
                    Channels& channels) {
  // The singletons lines go to the log once the map is safely written.
  std::ostringstream singletons;
  const std::string reason = write_file_atomically(
      map_file_name, [&](std::ostream& out) { write_map(out, contents, singletons); });
  if (!reason.empty()) {
    note(channels, "cannot write " + map_file_name + ": " + reason);
    report_fatal(channels, "bad map file " + map_file_name);
  }
  log_of(channels) << singletons.str();
}

void write_group_listing(const LinkageGroups& groups, Channels& channels) {
  std::ostream& log = log_of(channels);
  for (std::size_t g = 0; g < groups.size(); ++g) {
    log << "group (" << g + 1 << "):";
    for (const int x : groups[g]) log << x + 1 << " ";
    log << std::endl << std::endl;
  }
}

}  // namespace tarvek
