#include "interop/mapmaker_reader.hpp"

#include <cctype>
#include <map>
#include <sstream>

#include "base/echo.hpp"
#include "genotype/genotype_codes.hpp"
#include "interop/input_error.hpp"
#include "interop/text_lines.hpp"

namespace tarvek::interop {
namespace {

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

// One "*name" entry: its values (the words after the name), and where it starts.
struct Entry {
  std::string name;
  std::vector<std::string> words;
  std::size_t line = 0;
};

int standard_code(char letter) {
  switch (std::toupper(static_cast<unsigned char>(letter))) {
    case 'A': return kCodeA;
    case 'B': return kCodeB;
    case 'H': return kCodeH;
    case 'C': return kCodeC;
    case 'D': return kCodeD;
    case '-': return kMissing;
    default: return -1;
  }
}

}  // namespace

LocData read_mapmaker_raw(std::istream& in, const std::string& file) {
  LineReader reader{in, file};
  std::string line;
  const auto next_content = [&](std::string& text) {
    while (reader.next(text)) {
      if (!trim_blanks(text).empty() && text.front() != '#') return true;
    }
    return false;
  };
  if (!next_content(line)) throw error_in_file(file, "empty: not a MAPMAKER raw file");
  refuse_carriage_return_lines(line, file);
  LocData loc;
  const std::vector<std::string> type = words(lower(line));
  const std::string kind = type.size() >= 4 && type[0] == "data" && type[1] == "type" ? type[2] + " " + type[3] : "";
  if (kind == "f2 intercross") loc.population = "F2";
  else if (kind == "f2 backcross") loc.population = "BC1";
  else if (kind == "ri self" || kind == "ri selfing") loc.population = "RIL";
  else if (kind == "ri sib" || kind == "ri sibling") loc.population = "RILsib";
  else
    throw error_at_line(file, reader.number,
                        "\"" + echo(line) + "\": not \"data type\" f2 intercross, f2 backcross, ri self or ri sib");

  if (!next_content(line)) throw error_in_file(file, "no line with the numbers of individuals, markers and traits");
  const std::vector<std::string> counts = words(line);
  int individuals = 0, markers = 0, traits = 0;
  if (counts.size() < 3 || !parse_int(counts[0], individuals) || !parse_int(counts[1], markers) ||
      !parse_int(counts[2], traits) || individuals < 1 || markers < 0 || traits < 0)
    throw error_at_line(file, reader.number, "expected the numbers of individuals, markers and traits");
  std::map<char, int> symbols;
  for (std::size_t k = 3; k < counts.size(); ++k) {
    if (lower(counts[k]) == "symbols") continue;
    const std::string& pair = counts[k];
    if (pair.size() != 3 || pair[1] != '=' || standard_code(pair[2]) < 0)
      throw error_at_line(file, reader.number, "symbol \"" + echo(pair) + "\" is not x=A, x=B, x=H, x=C, x=D or x=-");
    symbols[pair[0]] = standard_code(pair[2]);
  }

  std::vector<Entry> entries;
  while (next_content(line)) {
    std::vector<std::string> w = words(line);
    if (w.front().front() == '*') {
      Entry e;
      e.name = w.front().substr(1);
      e.line = reader.number;
      if (e.name.empty()) throw error_at_line(file, reader.number, "\"*\" without a name");
      e.words.assign(w.begin() + 1, w.end());
      entries.push_back(std::move(e));
    } else if (entries.empty()) {
      throw error_at_line(file, reader.number, "data before the first \"*\" entry");
    } else {
      entries.back().words.insert(entries.back().words.end(), w.begin(), w.end());
    }
  }
  if (in.bad()) throw error_in_file(file, "read error");
  const auto n = static_cast<std::size_t>(individuals);
  if (entries.size() < static_cast<std::size_t>(markers) + static_cast<std::size_t>(traits))
    throw error_in_file(file, "the second line counts " + std::to_string(markers) + " markers and " +
                                  std::to_string(traits) + " traits, the file holds " +
                                  std::to_string(entries.size()) + " entries (truncated?)");
  for (std::size_t m = 0; m < static_cast<std::size_t>(markers); ++m) {
    const Entry& e = entries[m];
    LocMarker marker;
    marker.name = e.name;
    for (const std::string& w : e.words) {
      for (const char letter : w) {
        const auto symbol = symbols.find(letter);
        const int code = symbol != symbols.end() ? symbol->second : standard_code(letter);
        if (code < 0)
          throw error_at_line(file, e.line, "marker " + echo(e.name) + ": genotype \"" + echo(std::string(1, letter)) +
                                                "\" is not A, B, H, C, D, - or a symbol of the second line");
        marker.codes.push_back(code);
      }
    }
    if (marker.codes.size() != n)
      throw error_at_line(file, e.line, "marker " + echo(e.name) + " has " + std::to_string(marker.codes.size()) +
                                            " genotypes, not " + std::to_string(n));
    loc.markers.push_back(std::move(marker));
  }
  for (std::size_t t = 0; t < static_cast<std::size_t>(traits); ++t) {
    const Entry& e = entries[static_cast<std::size_t>(markers) + t];
    if (e.words.size() != n)
      throw error_at_line(file, e.line, "trait " + echo(e.name) + " has " + std::to_string(e.words.size()) +
                                            " values, not " + std::to_string(n));
    loc.phenotype_names.push_back(e.name);
  }
  if (traits > 0) {
    loc.phenotype_values.assign(n, {});
    for (std::size_t t = 0; t < static_cast<std::size_t>(traits); ++t)
      for (std::size_t i = 0; i < n; ++i)
        loc.phenotype_values[i].push_back(entries[static_cast<std::size_t>(markers) + t].words[i]);
  }
  return loc;
}

}  // namespace tarvek::interop
