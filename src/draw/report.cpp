#include "draw/report.hpp"

#include <sstream>

#include "draw/drawn_map.hpp"
#include "draw/genotype_graph.hpp"
#include "draw/compare_drawing.hpp"
#include "draw/heat_map.hpp"
#include "draw/map_drawing.hpp"
#include "draw/marey_plot.hpp"
#include "draw/pair_statistic.hpp"
#include "draw/quality_section.hpp"
#include "draw/colours.hpp"
#include "draw/text.hpp"
#include "genotype/genotype_codes.hpp"

namespace tarvek::draw {
namespace {

std::string picture(const std::string& bytes, const std::string& type, const std::string& alt) {
  return "<img src=\"data:" + type + ";base64," + base64(bytes) + "\" alt=\"" + html_text(alt) + "\">";
}

std::string row(std::initializer_list<std::string> cells, const char* tag = "td") {
  std::string out = "<tr>";
  for (const auto& c : cells) out += std::string("<") + tag + ">" + c + "</" + tag + ">";
  return out + "</tr>\n";
}

std::string count_of(const std::vector<interop::MapMarker>& markers) { return std::to_string(markers.size()); }

const char* const kStyle =
    "body{font-family:sans-serif;margin:2em;color:#222;max-width:100%}"
    "table{border-collapse:collapse;margin:0.5em 0 1.5em}"
    "td,th{border:1px solid #ccc;padding:0.2em 0.6em;text-align:right}"
    "td:first-child,th:first-child{text-align:left}"
    "th{background:#f0f0f0}"
    "img{max-width:100%;height:auto;display:block;margin:0.5em 0 1.5em}"
    "p.note{color:#555}";

void rejected_rows(std::ostringstream& out, const std::vector<interop::MapMarker>& markers, const char* reason) {
  for (const auto& m : markers) {
    std::size_t by_code[kCodeCount] = {};
    for (const int code : m.codes)
      if (code >= 0 && code < kCodeCount) ++by_code[code];
    const double missing = m.codes.empty() ? 0.0 : static_cast<double>(by_code[kMissing]) / m.codes.size();
    out << row({html_text(m.name), reason, std::to_string(by_code[kCodeA]), std::to_string(by_code[kCodeH]),
                std::to_string(by_code[kCodeB]), std::to_string(by_code[kCodeC]), std::to_string(by_code[kCodeD]),
                std::to_string(by_code[kMissing]), fixed(missing, 3)});
  }
}

// The Marey plot and the map beside the physical one, when any mapped marker
// has a position.
void physical_section(std::ostringstream& out, const interop::MapFile& map,
                      const std::vector<interop::PlacedGroup>& placed, const ReportOptions& options,
                      const std::string& title) {
  const Track genetic = map_track(map, placed, title);
  std::vector<std::string> markers;
  for (const TrackGroup& g : genetic.groups) markers.insert(markers.end(), g.markers.begin(), g.markers.end());
  const Track physical = physical_track(options.positions, markers);
  if (physical.groups.empty()) return;
  out << "<h2>Map against physical positions</h2>\n"
      << "<p class=\"note\">Each chromosome's mapped markers at their physical position (across) and map "
         "position (up), one colour per linkage segment, turned where its order runs against the positions; "
         "then each group beside its chromosome, shared markers joined.</p>\n"
      << picture(render_marey(layout_marey(map, placed, options.positions, options.function), Format::kSvg),
                 "image/svg+xml", "map position against physical position, " + title)
      << "\n"
      << picture(render_comparison(layout_comparison(genetic, physical, 842.0, 595.0, true), Format::kSvg),
                 "image/svg+xml", "groups beside their chromosomes, " + title)
      << "\n";
}

}  // namespace

std::string base64(const std::string& bytes) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t k = 0;
  const auto byte = [&bytes](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[i])); };
  for (; k + 2 < bytes.size(); k += 3) {
    const unsigned v = byte(k) << 16 | byte(k + 1) << 8 | byte(k + 2);
    out += kDigits[v >> 18 & 63];
    out += kDigits[v >> 12 & 63];
    out += kDigits[v >> 6 & 63];
    out += kDigits[v & 63];
  }
  if (k + 1 == bytes.size()) {
    const unsigned v = byte(k) << 16;
    out += kDigits[v >> 18 & 63];
    out += kDigits[v >> 12 & 63];
    out += "==";
  } else if (k + 2 == bytes.size()) {
    const unsigned v = byte(k) << 16 | byte(k + 1) << 8;
    out += kDigits[v >> 18 & 63];
    out += kDigits[v >> 12 & 63];
    out += kDigits[v >> 6 & 63];
    out += '=';
  }
  return out;
}

std::string html_report(const interop::MapFile& map, const ReportOptions& options,
                        const std::vector<GroupMap>& estimates) {
  const std::vector<interop::PlacedGroup> two_point = interop::place_markers(map, options.function);
  const std::vector<interop::PlacedGroup> multipoint = interop::place_estimated(map, estimates, options.function);
  const std::vector<interop::PlacedGroup>& placed = options.multipoint ? multipoint : two_point;
  const std::vector<MapSegment> segments = map_segments(map, placed);
  const std::vector<interop::MapErrorCall> calls =
      interop::map_error_calls(map, options.population, estimates, options.min_lod, options.threads);
  std::vector<std::size_t> calls_in(map.groups.size(), 0);
  for (const auto& c : calls) ++calls_in.at(c.group);
  const interop::MapFile marked = interop::with_calls_recoded(map, calls, kCalledError);
  std::size_t mapped = 0;
  std::size_t flagged = 0;
  for (const auto& g : map.groups)
    for (const auto& m : g) {
      ++mapped;
      flagged += flagged_count(m);
    }
  const std::size_t read = mapped + map.bad_segregation.size() + map.excess_missing.size();
  const std::string title = map_title(map);
  const std::string cm = interop::map_function_name(options.function) + " cM";

  std::ostringstream out;
  out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Map report: " << html_text(title)
      << "</title>\n<style>" << kStyle << "</style>\n</head>\n<body>\n";
  out << "<h1>Map report: " << html_text(title) << "</h1>\n";
  out << "<p class=\"note\">Map file " << html_text(map.file) << ". Positions in " << cm
      << (options.multipoint ? " from the multipoint model (each group's r estimated in map order with an "
                               "error rate of its own)"
                             : " from the r printed between neighbours")
      << "; the heat maps' pair statistics from the genotypes with the " << population_name(options.population)
      << " estimator. Called errors: genotypes whose error LOD is at least " << fixed(options.min_lod, 1)
      << ".</p>\n";

  out << "<h2>Summary</h2>\n<table>\n";
  out << row({"markers read", std::to_string(read)});
  out << row({"mapped", std::to_string(mapped)});
  out << row({"rejected for segregation", count_of(map.bad_segregation)});
  out << row({"rejected for missing values", count_of(map.excess_missing)});
  out << row({"individuals", std::to_string(map.individual_count())});
  out << row({"groups", std::to_string(map.groups.size())});
  out << row({"genotypes flagged \"*\"", std::to_string(flagged)});
  out << row({"genotypes called errors", std::to_string(calls.size())});
  out << "</table>\n";

  if (map.groups.empty()) {
    out << "<p><strong>No marker was mapped: there is no map to draw.</strong></p>\n";
  } else {
    out << "<table>\n"
        << row({"group", "markers", "two-point length (" + cm + ")", "multipoint length (" + cm + ")",
                "error rate", "called errors"},
               "th");
    for (std::size_t g = 0; g < map.groups.size(); ++g)
      out << row({std::to_string(g + 1), std::to_string(map.groups[g].size()),
                  fixed(interop::group_length(two_point[g]), 1), fixed(interop::group_length(multipoint[g]), 1),
                  map.groups[g].size() < 2 ? std::string("-") : fixed(estimates.at(g).error_rate, 4),
                  std::to_string(calls_in[g])});
    out << "</table>\n";
    out << "<table>\n" << row({"segment", "markers", "length (" + cm + ")"}, "th");
    for (const MapSegment& s : segments) out << row({html_text(s.name), std::to_string(s.count), fixed(s.length_cm, 1)});
    out << "</table>\n";
    out << "<p class=\"note\">A pair of neighbours with r = 0.5 has no finite distance: the group is split "
           "there into segments (3, 3.2, ...), each measured from its own top.</p>\n";

    out << "<h2>Map</h2>\n"
        << picture(render_map(layout_map(map, placed, options.function), Format::kSvg), "image/svg+xml",
                   "map drawing of " + title)
        << "\n";
    if (!options.positions.empty()) physical_section(out, map, placed, options, title);
    for (std::size_t g = 0; g < map.groups.size(); ++g) {
      const std::string number = std::to_string(g + 1);
      out << "<h2>Group " << number << "</h2>\n";
      out << "<h3>Recombination fraction (above the diagonal) and LOD (below)</h3>\n";
      HeatOptions heat;
      heat.group = g + 1;
      heat.size = options.heat_map_size;
      heat.population = options.population;
      heat.threads = options.threads;
      out << picture(draw_heat_map(map, heat, Format::kPng), "image/png", "heat map of group " + number) << "\n";
      out << "<h3>Genotypes</h3>\n";
      GenotypeOptions genotypes;
      genotypes.group = g + 1;
      genotypes.width = options.genotype_width;
      out << picture(draw_genotypes(marked, genotypes, Format::kPng), "image/png", "genotypes of group " + number)
          << "\n";
    }
  }

  write_quality_sections(out, map, placed, options.population, calls, title);
  out << "<h2>Rejected markers</h2>\n";
  if (map.bad_segregation.empty() && map.excess_missing.empty()) {
    out << "<p>None.</p>\n";
  } else {
    out << "<table>\n"
        << row({"marker", "rejected for", "A", "H", "B", "C", "D", "missing", "missing share"}, "th");
    rejected_rows(out, map.bad_segregation, "segregation");
    rejected_rows(out, map.excess_missing, "missing values");
    out << "</table>\n";
  }
  out << "</body>\n</html>\n";
  return out.str();
}

}  // namespace tarvek::draw
