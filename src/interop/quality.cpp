#include "interop/quality.hpp"

#include <algorithm>
#include <cmath>
#include <map>

#include "genotype/screening.hpp"
#include "interop/carried_positions.hpp"
#include "interop/exporters.hpp"

namespace tarvek::interop {
namespace {

// Pearson's statistic of observed counts against expected shares.
double pearson(const std::vector<double>& observed, const std::vector<double>& shares) {
  double n = 0.0;
  for (const double o : observed) n += o;
  double chi2 = 0.0;
  for (std::size_t k = 0; k < observed.size(); ++k) {
    const double e = n * shares[k];
    chi2 += (observed[k] - e) * (observed[k] - e) / e;
  }
  return chi2;
}

std::array<std::size_t, kCodeCount> code_counts(const GenotypeRow& codes) {
  std::array<std::size_t, kCodeCount> counts{};
  for (const int c : codes)
    if (c >= 0 && c < kCodeCount) ++counts[static_cast<std::size_t>(c)];
  return counts;
}

// The F2 dosage of B alleles of a code: 0, 1, 2; -1 for no codominant score.
int dosage(int code) {
  return code == kCodeA ? 0 : code == kCodeH ? 1 : code == kCodeB ? 2 : -1;
}

std::string na_or(const std::optional<std::size_t>& v) { return v ? std::to_string(*v) : std::string("NA"); }

std::string number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", v);
  return text;
}

}  // namespace

double chi2_upper_tail(double chi2, int df) {
  if (!(chi2 > 0.0)) return 1.0;
  return df == 2 ? std::exp(-chi2 / 2.0) : std::erfc(std::sqrt(chi2 / 2.0));
}

Segregation segregation_test(const GenotypeRow& codes, PopulationType population) {
  const auto n = code_counts(codes);
  const auto at = [&](int code) { return static_cast<double>(n[static_cast<std::size_t>(code)]); };
  Segregation s;
  std::vector<double> observed, shares;
  if (population_model(population).segregation == SegregationTest::kClassesOneToOne) {
    const MarkerClasses classes = marker_classes(population, codes);
    observed = {at(classes.first), at(classes.second)};
    shares = {0.5, 0.5};
    s.ratio = "1:1";
  } else {
    const double a = at(kCodeA), b = at(kCodeB), c = at(kCodeC), d = at(kCodeD), h = at(kCodeH);
    const double typed = a + b + c + d + h;
    switch (intercross_test(static_cast<float>(typed), static_cast<float>(c), static_cast<float>(d),
                            static_cast<float>(h))) {
      case IntercrossTest::k1to1:
        observed = {a, b};
        shares = {0.5, 0.5};
        s.ratio = "1:1";
        break;
      case IntercrossTest::k1to2to1:
        observed = {a, h, b};
        shares = {0.25, 0.5, 0.25};
        s.ratio = "1:2:1";
        break;
      case IntercrossTest::kAC:
        observed = {a, c};
        shares = {0.25, 0.75};
        s.ratio = "1:3";
        break;
      case IntercrossTest::kBD:
        observed = {b, d};
        shares = {0.25, 0.75};
        s.ratio = "1:3";
        break;
      case IntercrossTest::kNone:
        break;
    }
  }
  double total = 0.0;
  for (const double o : observed) total += o;
  if (observed.empty() || total == 0.0) return Segregation{};
  s.typed = static_cast<std::size_t>(total);
  s.df = static_cast<int>(observed.size()) - 1;
  s.chi2 = pearson(observed, shares);
  s.p = chi2_upper_tail(s.chi2, s.df);
  return s;
}

std::vector<MarkerQuality> marker_quality(const MapFile& map, const std::vector<PlacedGroup>& placed,
                                          PopulationType population, const std::vector<MapErrorCall>& calls) {
  std::map<std::pair<std::size_t, std::size_t>, std::size_t> called;
  for (const MapErrorCall& c : calls) ++called[{c.group, c.call.marker}];
  const std::vector<std::string> names = group_names(map);
  std::map<const MapMarker*, std::size_t> bin_of;
  const auto bins = marker_bins(map);
  for (std::size_t b = 0; b < bins.size(); ++b)
    for (const MapMarker* m : bins[b]) bin_of[m] = b + 1;

  std::vector<MarkerQuality> rows;
  const auto add = [&](const MapMarker& m, const std::string& status) {
    MarkerQuality q;
    q.marker = &m;
    q.status = status;
    q.counts = code_counts(m.codes);
    const std::size_t n = m.codes.size();
    q.missing_share = n == 0 ? 0.0
                             : static_cast<double>(q.counts[kMissing] + q.counts[kFlagged]) / static_cast<double>(n);
    q.segregation = segregation_test(m.codes, population);
    if (const auto it = bin_of.find(&m); it != bin_of.end()) q.bin = it->second;
    rows.push_back(std::move(q));
    return &rows.back();
  };
  for (std::size_t g = 0; g < map.groups.size(); ++g) {
    for (std::size_t k = 0; k < map.groups[g].size(); ++k) {
      MarkerQuality* q = add(map.groups[g][k], "mapped");
      const PlacedMarker& p = placed.at(g).markers.at(k);
      q->group = g;
      q->segment = segment_label(names.at(g), p.segment);
      q->position_cm = p.position_cm;
      if (const auto it = called.find({g, k}); it != called.end()) q->errors_called = it->second;
    }
  }
  for (const MapMarker& m : map.bad_segregation) add(m, "segregation");
  for (const MapMarker& m : map.excess_missing) add(m, "missing values");
  return rows;
}

void write_marker_table(std::ostream& out, const MapFile& map, const std::vector<MarkerQuality>& rows) {
  const bool carried = carries_chromosomes(map);
  out << "marker\tgroup\tsegment\tposition_cM\tA\tH\tB\tC\tD\tmissing\tflagged\tratio\ttyped\tchi2\tP\t"
         "missing_share\terrors_called\tbin\trejected"
      << (carried ? "\tchromosome\tposition_bp" : "") << '\n';
  for (const MarkerQuality& q : rows) {
    const auto& n = q.counts;
    out << q.marker->name << '\t' << (q.group ? std::to_string(*q.group + 1) : "NA") << '\t'
        << (q.group ? q.segment : "NA") << '\t' << (q.position_cm ? format_cm(*q.position_cm) : "NA") << '\t'
        << n[kCodeA] << '\t' << n[kCodeH] << '\t' << n[kCodeB] << '\t' << n[kCodeC] << '\t' << n[kCodeD] << '\t'
        << n[kMissing] << '\t' << n[kFlagged] << '\t';
    if (q.segregation.df == 0)
      out << "NA\t" << q.segregation.typed << "\tNA\tNA";
    else
      out << q.segregation.ratio << '\t' << q.segregation.typed << '\t' << number(q.segregation.chi2) << '\t'
          << number(q.segregation.p);
    char share[16];
    std::snprintf(share, sizeof share, "%.4f", q.missing_share);
    out << '\t' << share << '\t' << (q.group ? std::to_string(q.errors_called) : "NA") << '\t' << na_or(q.bin)
        << '\t' << (q.status == "mapped" ? "NA" : q.status);
    if (carried) {
      const CarriedPosition c = carried_position(*q.marker);
      out << '\t' << (c.chromosome.empty() ? "NA" : c.chromosome) << '\t'
          << (c.bp ? std::to_string(*c.bp) : std::string("NA"));
    }
    out << '\n';
  }
}

std::vector<IndividualQuality> individual_quality(const MapFile& map, PopulationType population,
                                                  const std::vector<MapErrorCall>& calls) {
  const std::vector<std::size_t> column = columns_by_individual(map);
  const std::vector<std::string> labels = individual_labels(map);
  const std::size_t n = column.size();
  std::vector<IndividualQuality> rows(n);
  std::vector<std::size_t> row_of_column(n);
  for (std::size_t i = 0; i < n; ++i) {
    rows[i].individual = i;
    rows[i].name = labels.at(i);
    rows[i].column = column[i];
    row_of_column.at(column[i]) = i;
  }
  std::size_t mapped = 0;
  const bool in_classes = two_class(population);
  for (const MapGroup& group : map.groups) {
    mapped += group.size();
    std::vector<MarkerClasses> classes;
    for (const MapMarker& m : group) classes.push_back(marker_classes(population, m.codes));
    for (std::size_t c = 0; c < n; ++c) {
      IndividualQuality& q = rows[row_of_column[c]];
      int last = -1;           // the last informative class or dosage
      int segment = 0, last_segment = -1;
      for (std::size_t k = 0; k < group.size(); ++k) {
        const int code = group[k].codes.at(c);
        if (code == kMissing) ++q.missing;
        else if (code == kFlagged) ++q.flagged;
        else ++q.typed;
        const int value = in_classes ? class_of(classes[k], code) : dosage(code);
        if (value >= 0) {
          if (last >= 0 && last_segment == segment) q.crossovers += static_cast<std::size_t>(std::abs(value - last));
          last = value;
          last_segment = segment;
        }
        if (group[k].next && !(group[k].next->r < 0.5)) ++segment;
      }
    }
  }
  for (IndividualQuality& q : rows)
    q.missing_share = mapped == 0 ? 0.0 : static_cast<double>(q.missing + q.flagged) / static_cast<double>(mapped);
  for (const MapErrorCall& call : calls) ++rows.at(row_of_column.at(call.call.column)).errors_called;
  for (const ClonePair& pair : clone_pairs(map)) {
    rows.at(pair.a).clones.push_back(pair.b);
    rows.at(pair.b).clones.push_back(pair.a);
  }
  return rows;
}

void write_individual_table(std::ostream& out, const std::vector<IndividualQuality>& rows) {
  out << "individual\tname\tcolumn\ttyped\tmissing\tflagged\tmissing_share\tcrossovers\terrors_called\tclone_of\n";
  for (const IndividualQuality& q : rows) {
    char share[16];
    std::snprintf(share, sizeof share, "%.4f", q.missing_share);
    out << q.individual + 1 << '\t' << q.name << '\t' << q.column + 1 << '\t' << q.typed << '\t' << q.missing << '\t'
        << q.flagged << '\t' << share << '\t' << q.crossovers << '\t' << q.errors_called << '\t';
    if (q.clones.empty()) out << "NA";
    for (std::size_t k = 0; k < q.clones.size(); ++k) out << (k > 0 ? "," : "") << rows.at(q.clones[k]).name;
    out << '\n';
  }
}

std::vector<std::vector<const MapMarker*>> marker_bins(const MapFile& map) {
  std::map<GenotypeRow, std::vector<const MapMarker*>> by_row;
  for (const MapGroup& group : map.groups) {
    for (const MapMarker& m : group) {
      GenotypeRow row = m.codes;
      for (int& c : row)
        if (c == kFlagged) c = kMissing;
      by_row[row].push_back(&m);
    }
  }
  std::vector<std::vector<const MapMarker*>> bins;
  for (auto& [row, list] : by_row)
    if (list.size() > 1) bins.push_back(std::move(list));
  // In map order of their first markers.
  std::map<const MapMarker*, std::size_t> order;
  std::size_t k = 0;
  for (const MapGroup& group : map.groups)
    for (const MapMarker& m : group) order[&m] = k++;
  std::sort(bins.begin(), bins.end(),
            [&](const auto& x, const auto& y) { return order.at(x.front()) < order.at(y.front()); });
  return bins;
}

std::vector<ClonePair> clone_pairs(const MapFile& map, double share) {
  std::vector<const GenotypeRow*> rows;
  for (const MapGroup& group : map.groups)
    for (const MapMarker& m : group) rows.push_back(&m.codes);
  constexpr std::size_t kMostMarkers = 2000;
  if (rows.size() > kMostMarkers) {
    std::vector<const GenotypeRow*> spread;
    for (std::size_t k = 0; k < kMostMarkers; ++k) spread.push_back(rows[k * rows.size() / kMostMarkers]);
    rows = std::move(spread);
  }
  const std::size_t n = map.individual_count();
  std::vector<std::size_t> individual(n);
  for (std::size_t c = 0; c < n; ++c) individual[c] = static_cast<std::size_t>(std::max(0, map.individual_order.at(c)));
  std::vector<ClonePair> pairs;
  const auto typed = [](int code) { return code != kMissing && code != kFlagged; };
  for (std::size_t x = 0; x < n; ++x) {
    for (std::size_t y = x + 1; y < n; ++y) {
      std::size_t compared = 0, agreeing = 0;
      for (const GenotypeRow* row : rows) {
        const int u = row->at(x), v = row->at(y);
        if (!typed(u) || !typed(v)) continue;
        ++compared;
        agreeing += u == v ? 1 : 0;
      }
      if (compared < 20 || static_cast<double>(agreeing) < share * static_cast<double>(compared)) continue;
      ClonePair p{std::min(individual[x], individual[y]), std::max(individual[x], individual[y]), compared, agreeing};
      pairs.push_back(p);
    }
  }
  std::sort(pairs.begin(), pairs.end(), [](const ClonePair& p, const ClonePair& q) {
    return p.a != q.a ? p.a < q.a : p.b < q.b;
  });
  return pairs;
}

}  // namespace tarvek::interop
