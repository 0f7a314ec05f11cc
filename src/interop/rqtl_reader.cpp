#include "interop/rqtl_reader.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>

#include "base/echo.hpp"
#include "genotype/genotype_codes.hpp"
#include "interop/input_error.hpp"
#include "interop/quality.hpp"
#include "interop/text_lines.hpp"

namespace tarvek::interop {
namespace {

struct CsvRow {
  std::size_t line = 0;
  std::vector<std::string> fields;
};

// The cells of the file seen with markers in columns, whichever form it has:
// in the rotated form, logical row i and column j are field i of line j.
struct Layout {
  const std::vector<CsvRow>& rows;
  bool rotated = false;

  std::size_t row_count() const { return rotated ? rows.front().fields.size() : rows.size(); }
  std::size_t column_count() const { return rotated ? rows.size() : rows.front().fields.size(); }
  const std::string& at(std::size_t i, std::size_t j) const {
    return rotated ? rows.at(j).fields.at(i) : rows.at(i).fields.at(j);
  }
  std::string where(std::size_t i, std::size_t j) const {
    const std::size_t r = rotated ? j : i;
    const std::size_t c = rotated ? i : j;
    return "line " + std::to_string(rows.at(r).line) + ", column " + std::to_string(c + 1);
  }
};

std::map<std::string, int> genotype_table(const RqtlOptions& options) {
  std::map<std::string, int> codes;
  if (options.genotype_codes.empty()) {
    codes = {{"A", kCodeA},      {"AA", kCodeA}, {"H", kCodeH},      {"AB", kCodeH},
             {"BA", kCodeH},     {"B", kCodeB},  {"BB", kCodeB},     {"D", kCodeD},
             {"not BB", kCodeD}, {"C", kCodeC},  {"not AA", kCodeC}};
  } else {
    const std::array<int, 5> order = {kCodeA, kCodeH, kCodeB, kCodeD, kCodeC};
    for (std::size_t k = 0; k < options.genotype_codes.size() && k < 5; ++k)
      codes[options.genotype_codes.at(k)] = order.at(k);
  }
  for (const std::string& m : options.missing_codes) codes[m] = kMissing;
  codes[""] = kMissing;
  return codes;
}

std::string known_codes(const std::map<std::string, int>& codes) {
  std::string list;
  for (const auto& [text, code] : codes) {
    if (text.empty()) continue;
    if (!list.empty()) list += ", ";
    list += "\"" + text + "\"";
  }
  return list;
}

std::vector<CsvRow> read_rows(std::istream& in, const std::string& file) {
  std::vector<CsvRow> rows;
  LineReader reader{in, file};
  std::string line;
  while (reader.next(line)) {
    if (reader.number == 1) refuse_carriage_return_lines(line, file);
    if (trim_blanks(line).empty()) continue;
    CsvRow row;
    row.line = reader.number;
    if (!split_csv_line(line, row.fields)) throw error_at_line(file, reader.number, "unterminated quote");
    rows.push_back(std::move(row));
  }
  return rows;
}

// Every line as wide as the first without its trailing empty fields; empty
// fields beyond that width (trailing separators) are dropped. A shorter line
// is what a truncated file leaves.
void check_widths(std::vector<CsvRow>& rows, const std::string& file) {
  std::vector<std::string>& names = rows.front().fields;
  while (names.size() > 1 && names.back().empty()) names.pop_back();
  const std::size_t width = names.size();
  for (CsvRow& row : rows) {
    while (row.fields.size() > width && row.fields.back().empty()) row.fields.pop_back();
    if (row.fields.size() != width)
      throw error_at_line(file, row.line,
                          std::to_string(row.fields.size()) + " fields where line " +
                              std::to_string(rows.front().line) + " has " + std::to_string(width));
  }
}

bool is_id_name(const std::string& name) {
  std::string lower = name;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower == "id";
}

}  // namespace

bool split_csv_line(const std::string& line, std::vector<std::string>& fields) {
  fields.clear();
  std::size_t k = 0;
  for (;;) {
    std::string field;
    while (k < line.size() && (line.at(k) == ' ' || line.at(k) == '\t')) ++k;
    if (k < line.size() && line.at(k) == '"') {
      ++k;
      for (;;) {
        if (k >= line.size()) return false;
        if (line.at(k) == '"') {
          if (k + 1 < line.size() && line.at(k + 1) == '"') {
            field += '"';
            k += 2;
            continue;
          }
          ++k;
          break;
        }
        field += line.at(k++);
      }
      while (k < line.size() && line.at(k) != ',') ++k;  // blanks after the closing quote
    } else {
      const std::size_t end = std::min(line.find(',', k), line.size());
      field = trim_blanks(std::string_view(line).substr(k, end - k));
      k = end;
    }
    fields.push_back(std::move(field));
    if (k >= line.size()) return true;
    ++k;  // the comma
  }
}

RqtlImport read_rqtl_csv(std::istream& in, const std::string& file, const RqtlOptions& options) {
  std::vector<CsvRow> rows = read_rows(in, file);
  if (rows.size() < 2) throw error_in_file(file, "fewer than two lines: not an R/qtl csv file");
  check_widths(rows, file);

  RqtlImport result;
  if (rows.size() >= 2 && rows.at(1).fields.front().empty()) {
    result.rotated = false;
  } else if (rows.at(0).fields.size() >= 2 && rows.at(0).fields.at(1).empty()) {
    result.rotated = true;
  } else {
    throw error_in_file(file,
                        "neither markers in columns (the second line starts with an empty field) nor "
                        "markers in rows (the first line's second field is empty)");
  }
  const Layout layout{rows, result.rotated};
  if (layout.row_count() < 2) throw error_in_file(file, "no chromosome row or column");

  std::vector<std::size_t> markers;
  std::vector<std::size_t> phenotypes;
  for (std::size_t j = 0; j < layout.column_count(); ++j)
    (layout.at(1, j).empty() ? phenotypes : markers).push_back(j);
  if (markers.empty()) throw error_in_file(file, "no markers: no column has a chromosome");
  result.phenotypes = phenotypes.size();

  // A third row (column) of positions is empty under every phenotype.
  std::size_t first_individual = 2;
  bool has_positions = layout.row_count() > 2;
  for (const std::size_t j : phenotypes) has_positions = has_positions && layout.at(2, j).empty();
  if (has_positions) first_individual = 3;

  std::size_t id_column = layout.column_count();
  for (const std::size_t j : phenotypes) {
    if (is_id_name(layout.at(0, j))) {
      id_column = j;
      break;
    }
  }

  const std::map<std::string, int> codes = genotype_table(options);
  const std::size_t n = layout.row_count() - first_individual;
  result.loc.population = options.population;
  for (const std::size_t j : markers) {
    LocMarker marker;
    marker.name = layout.at(0, j);
    if (marker.name.empty()) throw error_in_file(file, layout.where(0, j) + ": marker without a name");
    const std::string& chromosome = layout.at(1, j);
    // The chromosome goes into tab-separated lines (the marker's note, the
    // positions table): one field.
    if (chromosome.find_first_of("\t\r\n") != std::string::npos)
      throw error_in_file(file, layout.where(1, j) + ": chromosome \"" + echo(chromosome) +
                                    "\" holds a tab or a line break");
    marker.note = chromosome;
    if (has_positions) {
      const std::string& text = layout.at(2, j);
      double position = 0.0;
      if (!parse_real(text, position))
        throw error_in_file(file, layout.where(2, j) + ": position \"" + echo(text) + "\" is not a number");
      marker.note += "\t" + text + " cM";  // genetic, not a physical position
      result.positions.push_back(ReferencePosition{marker.name, chromosome, position, text});
    }
    marker.codes.reserve(n);
    for (std::size_t i = first_individual; i < layout.row_count(); ++i) {
      const std::string& cell = layout.at(i, j);
      const auto found = codes.find(cell);
      if (found == codes.end())
        throw error_in_file(file, layout.where(i, j) + ": unknown genotype \"" + echo(cell) + "\" (known: " +
                                      known_codes(codes) + "; --genotypes and --missing name others)");
      marker.codes.push_back(found->second);
    }
    result.loc.markers.push_back(std::move(marker));
  }
  // The phenotypes but the id, kept for the export back to R/qtl.
  for (const std::size_t j : phenotypes) {
    if (j == id_column) continue;
    const std::string& name = layout.at(0, j);
    if (name.empty() || name.find_first_of("\t\r\n") != std::string::npos || name == ";")
      throw error_in_file(file, layout.where(0, j) + ": phenotype name \"" + echo(name) + "\" cannot be kept");
    result.loc.phenotype_names.push_back(name);
  }
  if (!result.loc.phenotype_names.empty()) {
    for (std::size_t i = first_individual; i < layout.row_count(); ++i) {
      std::vector<std::string> values;
      for (const std::size_t j : phenotypes) {
        if (j == id_column) continue;
        const std::string& value = layout.at(i, j);
        if (value.find_first_of("\t\r\n") != std::string::npos)
          throw error_in_file(file, layout.where(i, j) + ": phenotype value \"" + echo(value) +
                                        "\" holds a tab or a line break");
        values.push_back(value);
      }
      result.loc.phenotype_values.push_back(std::move(values));
    }
  }
  if (id_column < layout.column_count()) {
    for (std::size_t i = first_individual; i < layout.row_count(); ++i) {
      const std::string& id = layout.at(i, id_column);
      if (id.empty()) throw error_in_file(file, layout.where(i, id_column) + ": empty id");
      result.loc.individuals.push_back(id);
    }
  }
  return result;
}

std::string check_genotype_mapping(const LocData& loc, const std::vector<std::string>& codes) {
  if (codes.size() < 3) return std::string();
  constexpr double kFailing = 1e-4;
  // class_of_code[i]: the class (A, H, B) the i-th code is read as.
  std::array<int, 3> assignment = {kCodeA, kCodeH, kCodeB};
  std::sort(assignment.begin(), assignment.end());
  std::vector<const LocMarker*> tested;
  for (const LocMarker& m : loc.markers) {
    std::size_t typed = 0;
    bool dominant = false;
    for (const int c : m.codes) {
      typed += c == kCodeA || c == kCodeH || c == kCodeB ? 1 : 0;
      dominant = dominant || c == kCodeC || c == kCodeD;
    }
    if (typed >= 20 && !dominant) tested.push_back(&m);
  }
  if (tested.empty()) return std::string();
  const std::array<int, 3> given = {kCodeA, kCodeH, kCodeB};  // as read: codes 1, 2, 3
  const auto failing = [&](const std::array<int, 3>& as) {
    std::size_t n = 0;
    for (const LocMarker* m : tested) {
      GenotypeRow row = m->codes;
      for (int& c : row)
        for (std::size_t k = 0; k < 3; ++k)
          if (c == given[k]) {
            c = as[k] + 100;  // marked, so that a later k does not take it again
            break;
          }
      for (int& c : row)
        if (c >= 100) c -= 100;
      n += segregation_test(row, PopulationType::F2).p < kFailing ? 1 : 0;
    }
    return n;
  };
  const std::size_t as_given = failing(given);
  if (2 * as_given <= tested.size()) return std::string();
  std::array<int, 3> best = given;
  std::size_t best_failing = as_given;
  do {
    const std::size_t n = failing(assignment);
    if (n < best_failing) {
      best_failing = n;
      best = assignment;
    }
  } while (std::next_permutation(assignment.begin(), assignment.end()));
  if (4 * best_failing >= tested.size() || 2 * best_failing >= as_given) return std::string();
  // The codes in the order AA, AB, BB under the better assignment, then the dominant ones as given.
  std::vector<std::string> suggested(3);
  for (std::size_t k = 0; k < 3; ++k) {
    const std::size_t slot = best[k] == kCodeA ? 0 : best[k] == kCodeH ? 1 : 2;
    suggested[slot] = codes[k];
  }
  for (std::size_t k = 3; k < codes.size(); ++k) suggested.push_back(codes[k]);
  std::string given_text, suggested_text;
  for (std::size_t k = 0; k < codes.size(); ++k) {
    given_text += (k > 0 ? "," : "") + codes[k];
    suggested_text += (k > 0 ? "," : "") + suggested[k];
  }
  return "--genotypes " + echo(given_text) + " makes " + std::to_string(as_given) + " of the " +
         std::to_string(tested.size()) + " markers tested fail their segregation test (P < 0.0001 among the "
         "typed individuals); --genotypes " + echo(suggested_text) + " makes " + std::to_string(best_failing) +
         " fail: the codes are likely that (--no-segregation-check imports as given)";
}

}  // namespace tarvek::interop
