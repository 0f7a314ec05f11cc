#include "interop/wrapped_loc_reader.hpp"

#include <algorithm>
#include <cctype>
#include <optional>

#include "base/echo.hpp"
#include "genotype/genotype_codes.hpp"
#include "interop/input_error.hpp"
#include "interop/text_lines.hpp"

namespace tarvek::interop {
namespace {

// The line without comments: text in braces (which may span lines; `in_brace`
// carries the state) and everything from a ";" outside braces.
std::string strip_comments(const std::string& line, bool& in_brace) {
  std::string kept;
  for (const char c : line) {
    if (in_brace) {
      if (c == '}') in_brace = false;
      continue;
    }
    if (c == '{') {
      in_brace = true;
      continue;
    }
    if (c == ';') break;
    kept += c;
  }
  return kept;
}

std::optional<int> genotype_code(char c) {
  switch (std::tolower(static_cast<unsigned char>(c))) {
    case 'a': return kCodeA;
    case 'b': return kCodeB;
    case 'c': return kCodeC;
    case 'd': return kCodeD;
    case 'h': return kCodeH;
    case '-':
    case 'u':
    case '.': return kMissing;
    default: return std::nullopt;
  }
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

struct Reader {
  explicit Reader(const std::string& f) : file(f) {}
  const std::string& file;
  LocData loc;
  std::optional<int> nind;
  std::optional<int> nloc;
  bool in_header = true;
  bool in_names = false;
  bool names_from_section = false;
  LocMarker* open = nullptr;   // the marker still taking genotypes
  std::size_t open_line = 0;   // where it started
  std::size_t expected = 0;    // genotypes per marker, once known

  void header_line(const std::string& text, std::size_t line) {
    const auto eq = text.find('=');
    const std::string key = lower(trim_blanks(std::string_view(text).substr(0, eq)));
    const std::string value = trim_blanks(std::string_view(text).substr(eq + 1));
    if (key == "name") {
      loc.name = value;
    } else if (key == "popt") {
      loc.population = value;
    } else if (key == "nloc" || key == "nind") {
      int number = 0;
      if (!parse_int(value, number) || number < 0)
        throw error_at_line(file, line, key + " \"" + echo(value) + "\" is not a count");
      (key == "nloc" ? nloc : nind) = number;
      if (key == "nind") expected = static_cast<std::size_t>(number);
    }
  }

  void genotypes(const std::string& text, std::size_t line) {
    for (const char c : text) {
      if (is_blank(c)) continue;
      const std::optional<int> code = genotype_code(c);
      if (!code) {
        throw error_at_line(file, line,
                            "unknown genotype \"" + echo(std::string(1, c)) + "\" in marker " + echo(open->name) +
                                (nind ? " (after " + std::to_string(open->codes.size()) + " of its " +
                                            std::to_string(*nind) + " genotypes)"
                                      : ""));
      }
      if (nind && open->codes.size() == expected)
        throw error_at_line(file, line, "marker " + echo(open->name) + " has more than nind = " +
                                            std::to_string(*nind) + " genotypes");
      open->codes.push_back(*code);
    }
    if (nind && open->codes.size() == expected) open = nullptr;
  }

  // Without nind: a marker ends where the next line starts without a blank.
  void close_unsized() {
    if (open == nullptr) return;
    if (loc.markers.size() == 1) expected = open->codes.size();
    if (open->codes.size() != expected)
      throw error_at_line(file, open_line, "marker " + echo(open->name) + " has " + std::to_string(open->codes.size()) +
                                               " genotypes, the first marker " + std::to_string(expected));
    open = nullptr;
  }

  void data_line(const std::string& text, std::size_t line) {
    if (!nind && open != nullptr && !is_blank(text.front())) close_unsized();
    if (open != nullptr) {
      genotypes(text, line);
      return;
    }
    const std::size_t start = text.find_first_not_of(" \t");
    const std::size_t tab = text.find('\t', start);
    const std::size_t end = tab != std::string::npos ? tab : std::min(text.find(' ', start), text.size());
    loc.markers.push_back(LocMarker{text.substr(start, end - start), {}, {}});
    open = &loc.markers.back();
    open_line = line;
    if (nind && expected == 0) {
      open = nullptr;
      return;
    }
    genotypes(text.substr(end), line);
  }

  void finish_markers(std::size_t line) {
    if (!nind) {
      close_unsized();
    } else if (open != nullptr) {
      throw error_at_line(file, line, "marker " + echo(open->name) + " (from line " + std::to_string(open_line) +
                                          ") has only " + std::to_string(open->codes.size()) + " of nind = " +
                                          std::to_string(*nind) + " genotypes");
    }
  }
};

}  // namespace

LocData read_wrapped_loc(std::istream& in, const std::string& file) {
  Reader r(file);
  LineReader lines{in, file};
  std::string raw;
  bool in_brace = false;
  while (lines.next(raw)) {
    if (lines.number == 1) refuse_carriage_return_lines(raw, file);
    // The names line that tarvek-import writes, when such a file is read again.
    if (!in_brace && raw.rfind(std::string(kIndividualsKey) + "\t", 0) == 0) {
      const std::vector<std::string> names = split_fields(raw, '\t');
      r.loc.individuals.assign(names.begin() + 1, names.end());
      continue;
    }
    const std::string text = strip_comments(raw, in_brace);
    if (trim_blanks(text).empty()) continue;
    if (r.in_names) {
      if (!r.names_from_section) r.loc.individuals.clear();
      r.names_from_section = true;
      r.loc.individuals.push_back(trim_blanks(text));
      continue;
    }
    if (lower(trim_blanks(text)).rfind("individual names:", 0) == 0) {
      r.finish_markers(lines.number);
      r.in_names = true;
      continue;
    }
    if (r.in_header && text.find('=') != std::string::npos) {
      r.header_line(text, lines.number);
      continue;
    }
    r.in_header = false;
    r.data_line(text, lines.number);
  }
  if (in_brace) throw error_at_line(file, lines.number, "a \"{\" comment is not closed");
  if (!r.in_names) r.finish_markers(lines.number);

  if (r.nloc && static_cast<std::size_t>(*r.nloc) != r.loc.markers.size())
    throw error_in_file(file, "nloc = " + std::to_string(*r.nloc) + " but " + std::to_string(r.loc.markers.size()) +
                                  " markers were read");
  const std::size_t n = r.loc.markers.empty() ? (r.nind ? static_cast<std::size_t>(*r.nind) : 0)
                                              : r.loc.markers.front().codes.size();
  if (!r.loc.individuals.empty() && r.loc.individuals.size() != n)
    throw error_in_file(file, "the individual names section lists " + std::to_string(r.loc.individuals.size()) +
                                  " names for " + std::to_string(n) + " individuals");
  return r.loc;
}

}  // namespace tarvek::interop
