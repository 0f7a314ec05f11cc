#include "genotype/loc_reader.hpp"

#include <array>
#include <string_view>

#include "base/echo.hpp"
#include "genotype/genotype_codes.hpp"
#include "genotype/text_input.hpp"

namespace tarvek {
namespace {

// The number after the last "=" of a header line (the whole line without one).
int header_number(const std::string& line) {
  const auto eq = line.rfind('=');
  return to_int_lenient(eq == std::string::npos ? line : line.substr(eq + 1));
}

// A carriage return too: one that the line's end did not remove would
// otherwise be lost when the map file is read back.
constexpr const char* kBlanks = " \t\r";

std::string trimmed(const std::string& text) {
  const auto start = text.find_first_not_of(kBlanks);
  if (start == std::string::npos) return std::string();
  return text.substr(start, text.find_last_not_of(kBlanks) - start + 1);
}

}  // namespace

std::string carried_note(const std::string& after_semicolon, bool pair_columns) {
  if (!pair_columns) return trimmed(after_semicolon);
  // "\tr\tLOD\tdist\tnote": the tab after ";", then three fields.
  std::size_t p = after_semicolon.empty() || after_semicolon[0] != '\t' ? 0 : 1;
  for (int field = 0; field < 3; ++field) {
    p = after_semicolon.find('\t', p);
    if (p == std::string::npos) return std::string();
    ++p;
  }
  return trimmed(after_semicolon.substr(p));
}

bool is_pair_column_header(const std::string& line) {
  static constexpr std::string_view kKey = ";indOrdr";
  static constexpr std::string_view kTail = ";\tr\tLOD\tdist";
  return line.starts_with(kKey) && line.ends_with(kTail);
}

bool is_comment_line(const std::string& line) {
  return line.size() < 2 || line[0] == '\t' || line[0] == ';';
}

int parse_locus_line(const std::string& line, std::string& name_out,
                     std::vector<int>& codes_out, const ScreeningThresholds& thresholds,
                     Channels& channels, PopulationType population, bool typed_only,
                     std::string* note_out) {
  if (note_out != nullptr) note_out->clear();
  const auto first_tab = line.find('\t');
  if (first_tab == std::string::npos) {
    name_out = line;
    return kMalformedLine;
  }
  name_out = line.substr(0, first_tab);
  std::size_t p = first_tab;
  while (p + 1 < line.size() && line[p + 1] == '\t') ++p;

  std::array<float, kCodeCount> counts{};
  for (std::size_t k = p + 1; k < line.size(); k += 2) {
    const char ch = line[k];
    if (ch == ';') {
      if (note_out != nullptr) *note_out = line.substr(k + 1);
      break;
    }
    if (ch == '\t') return kMalformedLine;
    const int code = letter_to_code(ch);
    codes_out.push_back(code);
    counts.at(static_cast<std::size_t>(code)) += 1.0f;
  }
  if (codes_out.empty()) return kMalformedLine;

  const float t = static_cast<float>(codes_out.size());
  // The name as messages show it: control bytes escaped.
  return screen_locus(escaped_for_message(name_out), t, counts[kMissing], counts[kCodeA], counts[kCodeB],
                      counts[kCodeC], counts[kCodeD], counts[kCodeH], thresholds, channels,
                      population, typed_only);
}

GenotypeTable read_loc_file(std::istream& in, const ScreeningThresholds& thresholds,
                            Channels& channels, PopulationType population, bool typed_only) {
  GenotypeTable table;
  table.header_lines.assign(4, std::string());
  std::size_t line_number = 0;
  // The line number goes with a line too long to read.
  const auto next_line = [&](std::string& text) {
    try {
      return read_line(in, text);
    } catch (LineTooLong& e) {
      e.line = line_number + 1;
      throw;
    }
  };
  for (auto& header : table.header_lines) {
    if (!next_line(header)) break;
    ++line_number;
  }
  table.stated_loci = header_number(table.header_lines[2]);
  table.stated_individuals = header_number(table.header_lines[3]);

  std::string line;
  std::string name;
  std::string note;
  std::vector<int> codes;
  // Each locus's text after ";" as read, and where it went; made into the
  // carried notes at the end, when it is known whether this is a map file.
  struct RawNote {
    LocusList* list;
    std::size_t index;
    std::string text;
  };
  std::vector<RawNote> raw_notes;
  bool pair_columns = false;
  line_number = 4;
  while (next_line(line)) {
    ++line_number;
    if (is_comment_line(line)) {
      table.comment_lines.push_back(line);
      table.comment_line_numbers.push_back(line_number);
      pair_columns = pair_columns || is_pair_column_header(line);
      continue;
    }
    codes.clear();
    const int result = parse_locus_line(line, name, codes, thresholds, channels, population,
                                        typed_only, &note);
    const int length = static_cast<int>(codes.size());
    if (result == kMalformedLine) {
      line_to_log_and_errors(channels, "Error reading loc" + escaped_for_message(name));
    } else if (table.n_individuals == -1) {
      table.n_individuals = length;
    } else if (length != table.n_individuals) {
      stop_run(channels, "Terminating program! At marker " + escaped_for_message(name) + ", number of individuals " +
                             std::to_string(length) + " different previous loci at " +
                             std::to_string(table.n_individuals));
    }
    if (result != kMalformedLine && table.stated_individuals > 0 &&
        table.n_individuals != table.stated_individuals) {
      line_to_log_and_errors(channels, "Warning!: At marker " + escaped_for_message(name) + ", number of individuals " +
                 std::to_string(length) + " different than stated value " +
                 std::to_string(table.stated_individuals));
    }
    LocusList& target = result == kAccepted         ? table.loci
                        : result == kBadSegregation ? table.bad_segregation
                                                    : table.excess_missing;
    if (result != kMalformedLine && !note.empty()) raw_notes.push_back({&target, target.names.size(), note});
    append_locus(target, name, codes);
  }
  for (const RawNote& raw : raw_notes) {
    std::string text = carried_note(raw.text, pair_columns);
    if (text.empty()) continue;
    raw.list->notes.resize(raw.list->names.size());
    raw.list->notes.at(raw.index) = std::move(text);
  }
  table.stated_loci = static_cast<int>(table.loci.names.size());
  return table;
}

}  // namespace tarvek
