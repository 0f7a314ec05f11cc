#include "interop/map_reader.hpp"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <utility>
#include <vector>

#include "base/echo.hpp"
#include "genotype/genotype_codes.hpp"
#include "interop/input_error.hpp"
#include "interop/text_lines.hpp"

namespace tarvek::interop {
namespace {

constexpr std::string_view kGroupingLod = ";grouping threshold LOD=";
constexpr std::string_view kOldScore = ";oldscore=";
constexpr std::string_view kNewScore = ";newscore=";
constexpr std::string_view kIndividualOrder = ";indOrdr";
constexpr std::string_view kIndividuals = ";individuals";
constexpr std::string_view kSwitchedAlleles = ";switched alleles";
constexpr std::string_view kPhenotypes = ";phenotypes";
constexpr std::string_view kBadSegregation = ";bad segregation ratio markers";
constexpr std::string_view kExcessMissing = ";excessive missing value markers";

bool starts_with(const std::string& text, std::string_view prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// A keyed list line: the key, then tab-separated entries.
bool is_list_line(const std::string& line, std::string_view key) {
  return starts_with(line, key) && (line.size() == key.size() || line.at(key.size()) == '\t');
}

std::vector<std::string> list_entries(const std::string& line, std::string_view key) {
  if (line.size() <= key.size()) return {};
  return split_fields(std::string_view(line).substr(key.size() + 1), '\t');
}

// The lines that tarvek's reader passes over as comments.
bool is_comment(const std::string& line) { return line.size() < 2 || line.at(0) == ';' || line.at(0) == '\t'; }

class Parser {
 public:
  explicit Parser(const std::string& file) { map_.file = file; }

  void header(const std::string& line) { map_.header_lines.push_back(line); }

  void line(const std::string& text, std::size_t number) {
    number_ = number;
    if (is_list_line(text, kIndividuals)) {
      map_.individual_names = list_entries(text, kIndividuals);
      map_.individual_names_line = number;
    } else if (is_list_line(text, kSwitchedAlleles)) {
      map_.switched_alleles = list_entries(text, kSwitchedAlleles);
    } else if (is_list_line(text, kPhenotypes)) {
      phenotypes(text);
    } else if (!seen_order_) {
      preamble(text);
    } else if (text == ";") {
      close_group();
    } else if (starts_with(text, kBadSegregation)) {
      enter_section(Section::kBadSegregation);
    } else if (starts_with(text, kExcessMissing)) {
      enter_section(Section::kExcessMissing);
    } else if (!is_comment(text)) {
      marker(text);
    }
  }

  // A comment line that tarvek copied from the loc file into one of the
  // three slots after the header: never one of the run's own lines, even
  // when it reads like one (a ";indOrdr" line of an earlier run). Only the
  // individual names, which the importers put there, are taken from it.
  void copied_comment(const std::string& text, std::size_t number) {
    number_ = number;
    if (is_list_line(text, kIndividuals)) {
      map_.individual_names = list_entries(text, kIndividuals);
      map_.individual_names_line = number;
    } else if (is_list_line(text, kPhenotypes)) {
      phenotypes(text);
    } else if (!text.empty()) {
      map_.comment_lines.push_back(text);
    }
  }

  MapFile finish(std::size_t last_line, bool last_line_feed) {
    if (map_.header_lines.size() < 4)
      throw error_in_file(map_.file, "fewer than four lines: not a map file");
    if (!seen_order_) throw error_in_file(map_.file, "no ;indOrdr line: not a map file");
    if (!open_.empty())
      throw error_at_line(map_.file, last_line,
                          "the file ends inside group " + std::to_string(map_.groups.size() + 1) +
                              " (no closing \";\" line): truncated?");
    if (!last_line_feed)
      throw error_at_line(map_.file, last_line,
                          "the last line has no line feed: the file is cut (truncated?)");
    // A map cut between two lines still reads; the loc file's count of
    // markers, which the header keeps, tells that some are missing.
    const std::size_t stated = stated_markers();
    const std::size_t found = markers_read();
    if (found < stated)
      throw error_at_line(map_.file, last_line,
                          "the file ends after " + std::to_string(found) + " of the " + std::to_string(stated) +
                              " markers its header line 3 counts (nloc): truncated?");
    return std::move(map_);
  }

 private:
  enum class Section { kGroups, kBadSegregation, kExcessMissing };

  [[noreturn]] void fail(const std::string& what) const { throw error_at_line(map_.file, number_, what); }

  void preamble(const std::string& text) {
    if (starts_with(text, kGroupingLod)) {
      double lod = 0.0;
      if (!parse_real(text.substr(kGroupingLod.size()), lod)) fail("the grouping LOD is not a number");
      map_.grouping_lod = lod;
    } else if (starts_with(text, kOldScore)) {
      map_.old_score = text.substr(kOldScore.size());
    } else if (starts_with(text, kNewScore)) {
      map_.new_score = text.substr(kNewScore.size());
    } else if (starts_with(text, kIndividualOrder)) {
      individual_order(text);
    } else if (!is_comment(text)) {
      fail("a marker line before the ;indOrdr line");
    } else if (!text.empty()) {
      map_.comment_lines.push_back(text);
    }
  }

  // ";phenotypes", the names up to a ";" field, then the values.
  void phenotypes(const std::string& text) {
    const std::vector<std::string> entries = list_entries(text, kPhenotypes);
    const auto end = std::find(entries.begin(), entries.end(), ";");
    if (end == entries.end() || end == entries.begin()) fail("a ;phenotypes line without names and \";\"");
    map_.phenotype_names.assign(entries.begin(), end);
    map_.phenotype_values.assign(end + 1, entries.end());
    map_.phenotypes_line = number_;
  }

  // ";indOrdr", a tab, the column entries up to a ";" field (the header of
  // the pair columns).
  void individual_order(const std::string& text) {
    seen_order_ = true;
    map_.individual_order_line = number_;
    const auto tab = text.find('\t');
    if (tab == std::string::npos) return;
    for (const std::string& field : split_fields(std::string_view(text).substr(tab + 1), '\t')) {
      if (field == ";") break;
      int value = 0;
      if (!parse_int(field, value)) fail("individual order entry \"" + echo(field) + "\" is not a number");
      map_.individual_order.push_back(value);
    }
  }

  void close_group() {
    if (section_ != Section::kGroups) fail("a group closing line \";\" among the rejected markers");
    if (open_.empty()) {
      // The one empty group of a run without grouping whose markers were
      // all rejected: no marker was mapped.
      if (map_.groups.empty() && !empty_group_) {
        empty_group_ = true;
        return;
      }
      fail("a group closing line \";\" without markers");
    }
    for (std::size_t k = 0; k + 1 < open_.size(); ++k) {
      if (!open_.at(k).next)
        throw error_at_line(map_.file, open_.at(k).line,
                            "marker " + echo(open_.at(k).name) + " has no r and LOD to the next marker");
    }
    map_.groups.push_back(std::move(open_));
    open_.clear();
  }

  void enter_section(Section section) {
    if (!open_.empty()) fail("group " + std::to_string(map_.groups.size() + 1) + " is not closed by a \";\" line");
    section_ = section;
  }

  double number(const std::string& text, const char* what) const {
    double value = 0.0;
    if (!parse_real(text, value)) fail(std::string(what) + " \"" + echo(text) + "\" is not a number");
    return value;
  }

  // The r, LOD and optional distance after the ";" at field k.
  NeighbourPair pair(const std::vector<std::string>& fields, std::size_t k, std::size_t rest) const {
    NeighbourPair p;
    p.r_text = fields.at(k + 1);
    p.lod_text = fields.at(k + 2);
    p.r = number(p.r_text, "r");
    p.lod = number(p.lod_text, "LOD");
    if (p.r < 0.0 || p.r > 0.5) fail("r = " + echo(p.r_text) + " is outside 0 to 0.5");
    if (rest == 3 || (rest > 3 && !fields.at(k + 3).empty())) {
      p.dist_text = fields.at(k + 3);
      p.dist = number(p.dist_text, "distance");
    }
    return p;
  }

  void marker(const std::string& text) {
    const std::vector<std::string> fields = split_fields(text, '\t');
    MapMarker m;
    m.name = fields.front();
    m.line = number_;
    std::size_t end = fields.size();
    // Rejected markers' lines end with a tab: an empty last field.
    if (section_ != Section::kGroups && end > 1 && fields.back().empty()) --end;
    std::size_t k = 1;
    for (; k < end && fields.at(k) != ";"; ++k) {
      const std::string& f = fields.at(k);
      if (f.size() != 1) fail("genotype \"" + echo(f) + "\" of marker " + echo(m.name) + " is not one character");
      m.codes.push_back(map_letter_code(f.at(0)));
    }
    if (m.codes.size() != map_.individual_count())
      fail("marker " + echo(m.name) + " has " + std::to_string(m.codes.size()) + " genotypes, the ;indOrdr line " +
           std::to_string(map_.individual_count()));
    if (k < end) {
      const std::size_t rest = end - k - 1;
      // More than three fields: r, LOD and dist (each possibly empty), then
      // the carried text.
      if (rest > 3) {
        for (std::size_t f = k + 4; f < end; ++f) m.note += (f > k + 4 ? "\t" : "") + fields.at(f);
      } else if (rest < 2) {
        fail("marker " + echo(m.name) + ": expected r, LOD and an optional distance after \";\"");
      }
      if (rest <= 3 || !fields.at(k + 1).empty() || !fields.at(k + 2).empty()) m.next = pair(fields, k, rest);
    }
    if (section_ == Section::kGroups && empty_group_)
      fail("a group after the empty group of a map without mapped markers");
    switch (section_) {
      case Section::kGroups: open_.push_back(std::move(m)); break;
      case Section::kBadSegregation: map_.bad_segregation.push_back(std::move(m)); break;
      case Section::kExcessMissing: map_.excess_missing.push_back(std::move(m)); break;
    }
  }

  // nloc from header line 3 ("nloc = N"), or 0 when the line is not that.
  std::size_t stated_markers() const {
    const std::string& line = map_.header_lines.at(2);
    const auto eq = line.find('=');
    if (eq == std::string::npos) return 0;
    std::string key = trim_blanks(std::string_view(line).substr(0, eq));
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    int count = 0;
    if (key != "nloc" || !parse_int(std::string_view(line).substr(eq + 1), count) || count < 0) return 0;
    return static_cast<std::size_t>(count);
  }

  std::size_t markers_read() const {
    std::size_t n = map_.bad_segregation.size() + map_.excess_missing.size();
    for (const MapGroup& g : map_.groups) n += g.size();
    return n;
  }

  MapFile map_;
  MapGroup open_;
  bool empty_group_ = false;
  Section section_ = Section::kGroups;
  bool seen_order_ = false;
  std::size_t number_ = 0;
};

}  // namespace

int map_letter_code(char letter) { return letter == '*' ? kFlagged : letter_to_code(letter); }

MapFile read_map_file(std::istream& in, const std::string& file) {
  Parser parser(file);
  LineReader reader{in, file};
  std::string line;
  bool line_feed = true;
  const auto next = [&] {
    if (!reader.next(line)) return false;
    line_feed = !in.eof();
    return true;
  };
  while (reader.number < 4 && next()) parser.header(line);
  // Lines 5 to 7 are the loc file's first comment lines, copied, when line
  // 8 is tarvek's grouping threshold line.
  std::vector<std::pair<std::string, std::size_t>> slots;
  while (slots.size() < 4 && next()) slots.emplace_back(line, reader.number);
  const bool copied = slots.size() == 4 && starts_with(slots.back().first, kGroupingLod);
  for (std::size_t k = 0; k < slots.size(); ++k) {
    if (copied && k < 3) {
      parser.copied_comment(slots[k].first, slots[k].second);
    } else {
      parser.line(slots[k].first, slots[k].second);
    }
  }
  while (next()) parser.line(line, reader.number);
  if (in.bad()) throw error_in_file(file, "read error");
  return parser.finish(reader.number, line_feed);
}

MapFile read_map_file(const std::string& path) {
  std::ifstream in = open_input_file(path);
  return read_map_file(in, path);
}

}  // namespace tarvek::interop
