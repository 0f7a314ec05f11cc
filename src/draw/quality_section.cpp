#include "draw/quality_section.hpp"

#include <cstdio>
#include <map>

#include "draw/canvas.hpp"
#include "draw/individual_plot.hpp"
#include "draw/report.hpp"
#include "draw/text.hpp"
#include "interop/exporters.hpp"
#include "interop/quality.hpp"

namespace tarvek::draw {
namespace {

std::string cells(std::initializer_list<std::string> values, const char* tag = "td") {
  std::string out = "<tr>";
  for (const auto& v : values) out += std::string("<") + tag + ">" + v + "</" + tag + ">";
  return out + "</tr>\n";
}

std::string significant(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3g", v);
  return text;
}

std::string count(std::size_t n) { return std::to_string(n); }

}  // namespace

void write_quality_sections(std::ostream& out, const interop::MapFile& map,
                            const std::vector<interop::PlacedGroup>& placed, PopulationType population,
                            const std::vector<interop::MapErrorCall>& calls, const std::string& title) {
  const std::vector<interop::MarkerQuality> markers = interop::marker_quality(map, placed, population, calls);
  out << "<h2>Markers</h2>\n<p class=\"note\">Every marker: its segment and position, its genotypes by class, "
         "the segregation test among the individuals typed at it (P of the chi-square), its share of missing "
         "genotypes (\"*\" included), the genotypes the multipoint model calls errors, its bin of markers with "
         "identical genotypes, and why it was rejected. The map drawing may name only some of them.</p>\n"
      << "<table>\n"
      << cells({"marker", "segment", "cM", "A", "H", "B", "C", "D", "missing", "*", "ratio", "chi-square", "P",
                "missing share", "errors called", "bin", "rejected for"},
               "th");
  for (const interop::MarkerQuality& q : markers) {
    const auto& n = q.counts;
    const bool tested = q.segregation.df > 0;
    out << cells({html_text(q.marker->name), q.group ? html_text(q.segment) : "-", q.position_cm ? fixed(*q.position_cm, 1) : "-",
                  count(n[kCodeA]), count(n[kCodeH]), count(n[kCodeB]), count(n[kCodeC]), count(n[kCodeD]),
                  count(n[kMissing]), count(n[kFlagged]), tested ? q.segregation.ratio : "-",
                  tested ? fixed(q.segregation.chi2, 2) : "-", tested ? significant(q.segregation.p) : "-",
                  fixed(q.missing_share, 3), q.group ? count(q.errors_called) : "-",
                  q.bin ? count(*q.bin) : "-", q.status == "mapped" ? "" : q.status});
  }
  out << "</table>\n";

  if (map.individual_count() > 0 && !map.groups.empty()) {
    const std::vector<interop::IndividualQuality> individuals = interop::individual_quality(map, population, calls);
    const std::vector<std::size_t> outliers = outlying_individuals(individuals);
    out << "<h2>Individuals</h2>\n<p class=\"note\">Crossovers along the groups (within linkage segments; an F2 "
           "change between homozygotes counts two) and missing genotypes of each individual. Red: crossovers "
           "far above the others, or more than half missing ("
        << outliers.size() << (outliers.size() == 1 ? " individual" : " individuals") << ").</p>\n"
        << "<img src=\"data:image/svg+xml;base64,"
        << base64(draw_individuals(individuals, picture_label(title) + ": individuals", Format::kSvg))
        << "\" alt=\"crossovers and missing shares of the individuals\">\n<table>\n"
        << cells({"individual", "name", "typed", "missing", "*", "missing share", "crossovers", "errors called",
                  "clone of"},
                 "th");
    for (const interop::IndividualQuality& q : individuals) {
      std::string clones;
      for (const std::size_t c : q.clones) clones += (clones.empty() ? "" : ", ") + html_text(individuals.at(c).name);
      out << cells({count(q.individual + 1), html_text(q.name), count(q.typed), count(q.missing), count(q.flagged),
                    fixed(q.missing_share, 3), count(q.crossovers), count(q.errors_called), clones});
    }
    out << "</table>\n";
  }

  const auto bins = interop::marker_bins(map);
  out << "<h2>Bins: markers with identical genotypes</h2>\n";
  if (bins.empty()) {
    out << "<p>None.</p>\n";
  } else {
    out << "<table>\n" << cells({"bin", "markers", "names"}, "th");
    for (std::size_t b = 0; b < bins.size(); ++b) {
      std::string names;
      for (const interop::MapMarker* m : bins[b]) names += (names.empty() ? "" : ", ") + html_text(m->name);
      out << cells({count(b + 1), count(bins[b].size()), names});
    }
    out << "</table>\n";
  }
  const auto clones = interop::clone_pairs(map);
  out << "<h2>Clones: individuals with nearly identical genotypes</h2>\n";
  if (clones.empty()) {
    out << "<p>None (no two individuals agree at " << fixed(100.0 * interop::kCloneShare, 0)
        << " % or more of the markers typed in both).</p>\n";
  } else {
    const std::vector<std::string> labels = interop::individual_labels(map);
    out << "<table>\n" << cells({"individual", "individual", "markers compared", "agreeing"}, "th");
    for (const interop::ClonePair& p : clones)
      out << cells({html_text(labels.at(p.a)), html_text(labels.at(p.b)), count(p.compared), count(p.agreeing)});
    out << "</table>\n";
  }
}

}  // namespace tarvek::draw
