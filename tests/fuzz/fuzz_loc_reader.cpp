// Fuzz target: the loc reader with the comment scan, and the map writer on
// the table read.
//
// Every input is read twice: with the program's default screening thresholds
// (one group of every accepted locus, individuals in file order) and with
// thresholds that accept every parsed locus (groups of up to three loci in
// reverse, every fourth locus with a flagged genotype and on its group's
// removed list, individuals in reverse). Each table is written as a map into
// memory and read back, and the map must give back what it was written from:
// every locus line once, under its name, with its genotypes in the written
// column order ("*" reading as missing), the header lines, the individual
// order its ";indOrdr" line states and the score its ";newscore=" line
// prints. A run that ends through the fatal path is fine; anything the
// sanitizers see, an exception other than RunAbort, or a broken property is
// a finding.

#include <algorithm>
#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "fuzz_support.hpp"
#include "genotype/genotype_codes.hpp"
#include "genotype/loc_reader.hpp"
#include "genotype/old_order.hpp"
#include "output/map_file.hpp"

namespace {

using namespace tarvek;
using tarvek::fuzz::check;

// Larger inputs find nothing the small ones do not, and slow the search.
constexpr std::size_t kMaxInput = 16 * 1024;

const ScreeningThresholds kDefaultThresholds{0.2f, 50.0f, 50.0f, 50.0f};
const ScreeningThresholds kAcceptAll{1.0f, FLT_MAX, FLT_MAX, FLT_MAX};

struct WrittenLocus {
  std::string name;
  std::vector<int> row;
  std::string note;  // the carried text, which must read back unchanged
  bool operator<(const WrittenLocus& o) const {
    return std::tie(name, row, note) < std::tie(o.name, o.row, o.note);
  }
  bool operator==(const WrittenLocus& o) const { return name == o.name && row == o.row && note == o.note; }
};

struct Layout {
  LinkageGroups groups;
  std::vector<std::vector<int>> removed;
  std::vector<int> order;
  std::int32_t score = 0;
};

Layout lay_out(GenotypeTable& table, bool spread) {
  Layout layout;
  const auto n = static_cast<std::size_t>(table.n_individuals);
  const std::size_t loci = table.loci.names.size();
  layout.order.resize(n);
  for (std::size_t i = 0; i < n; ++i) layout.order[i] = static_cast<int>(spread ? n - 1 - i : i);
  if (!spread) {
    // With grouping skipped the program writes one group, empty or not.
    layout.groups.emplace_back();
    for (std::size_t x = 0; x < loci; ++x) layout.groups[0].push_back(static_cast<int>(x));
    layout.removed.assign(1, {});
    layout.score = static_cast<std::int32_t>(loci);
    return layout;
  }
  for (std::size_t first = 0; first < loci; first += 3) {
    LinkageGroup group;
    std::vector<int> removed;
    for (std::size_t x = std::min(loci, first + 3); x-- > first;) {
      group.push_back(static_cast<int>(x));
      if (x % 4 == 3 && n > 0) {
        table.loci.rows[x].at(x % n) = kFlagged;
        removed.push_back(static_cast<int>(x));
      }
    }
    layout.groups.push_back(group);
    layout.removed.push_back(removed);
  }
  layout.score = -7 * static_cast<std::int32_t>(loci);
  return layout;
}

// What the reader gives back for a row written in `order`: the map writes
// "-" where a malformed row has no entry, and "*" reads as missing.
std::vector<int> as_read_back(const GenotypeRow& row, const std::vector<int>& order) {
  std::vector<int> out;
  out.reserve(order.size());
  for (const int column : order) {
    const auto c = static_cast<std::size_t>(column);
    const int code = c < row.size() ? row[c] : kMissing;
    out.push_back(code >= kCodeA && code <= kCodeH ? code : kMissing);
  }
  return out;
}

void add_written(std::vector<WrittenLocus>& written, const LocusList& list,
                 const std::vector<int>& order) {
  for (std::size_t l = 0; l < list.names.size(); ++l)
    written.push_back({list.names[l], as_read_back(list.rows[l], order), locus_note(list, l)});
}

std::string without_one_cr(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

void check_stem(const std::string& path) {
  const std::string stem = map_file_stem(path);
  check(path.compare(0, stem.size(), stem) == 0, "map_file_stem is not a prefix of the path");
  if (stem.size() == path.size()) return;
  check(path[stem.size()] == '.', "map_file_stem cut the path elsewhere than at a dot");
  check(path.find_first_of("/\\", stem.size()) == std::string::npos,
        "map_file_stem cut the path in a folder name");
}

void read_write_read(const std::string& text, const ScreeningThresholds& thresholds, bool spread) {
  fuzz::Captured run;
  std::istringstream in(text);
  GenotypeTable table;
  try {
    table = read_loc_file(in, thresholds, run.channels);
  } catch (const RunAbort& abort) {
    check(abort.status == 1, "the loc reader ended a run with a status other than 1");
    return;
  }
  check(table.header_lines.size() == 4, "the table does not hold four header lines");
  if (spread) check_stem(table.header_lines[0]);
  if (table.n_individuals < 0) table.n_individuals = 0;  // as the driver does
  const int n = table.n_individuals;
  for (const auto& row : table.loci.rows)
    check(static_cast<int>(row.size()) == n, "an accepted row has the wrong length");
  for (const auto& row : table.bad_segregation.rows)
    check(static_cast<int>(row.size()) == n, "a rejected row has the wrong length");

  OldOrderState old_order;
  scan_comment_lines(table.comment_lines, n, old_order, run.channels, table.comment_line_numbers);
  check(!old_order.old_order_loaded ||
            static_cast<int>(old_order.old_individual_order.size()) == n,
        "an old individual order of the wrong length was taken");

  Layout layout = lay_out(table, spread);
  std::ostringstream map;
  std::ostringstream singletons;
  write_map(map,
            MapContents{table, layout.groups, layout.removed, layout.order, old_order, 16.0f,
                        layout.score},
            singletons);

  std::vector<WrittenLocus> written;
  for (const LinkageGroup& group : layout.groups) {
    for (const int x : group) {
      const auto i = static_cast<std::size_t>(x);
      written.push_back({table.loci.names[i], as_read_back(table.loci.rows[i], layout.order),
                         locus_note(table.loci, i)});
    }
  }
  add_written(written, table.bad_segregation, layout.order);
  add_written(written, table.excess_missing, layout.order);

  // The map read back: every locus parses (malformed only when there are no
  // individuals) and none is lost or added.
  fuzz::Captured again;
  std::istringstream map_in(map.str());
  GenotypeTable back;
  try {
    back = read_loc_file(map_in, kAcceptAll, again.channels);
  } catch (const RunAbort&) {
    fuzz::finding("the map file does not read back as a loc file:\n" + again.errors.str());
  }
  std::vector<WrittenLocus> read;
  const std::vector<int> identity = [&] {
    std::vector<int> v(static_cast<std::size_t>(std::max(n, 0)));
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<int>(i);
    return v;
  }();
  add_written(read, back.loci, identity);
  add_written(read, back.bad_segregation, identity);
  add_written(read, back.excess_missing, identity);
  check(read.size() == written.size(), "the map read back holds " + std::to_string(read.size()) +
                                           " loci, " + std::to_string(written.size()) +
                                           " were written");
  std::sort(written.begin(), written.end());
  std::sort(read.begin(), read.end());
  check(read == written, "a locus of the map reads back with another name or other genotypes");
  if (n > 0) {
    check(back.excess_missing.names.empty(), "a locus line of the map reads back as malformed");
    check(written.empty() || back.n_individuals == n,
          "the map reads back with another number of individuals");
  } else {
    check(back.n_individuals == -1, "a map without individuals reads back with some");
  }
  for (std::size_t k = 0; k < 4; ++k)
    check(back.header_lines[k] == without_one_cr(table.header_lines[k]),
          "header line " + std::to_string(k + 1) + " changed in the map");

  OldOrderState stated;
  scan_comment_lines(back.comment_lines, std::max(back.n_individuals, 0), stated, again.channels,
                     back.comment_line_numbers);
  std::vector<int> expected_order;
  for (const int column : layout.order) {
    expected_order.push_back(
        old_order.old_order_loaded ? old_order.old_individual_order.at(static_cast<std::size_t>(column))
                                   : column);
  }
  if (back.n_individuals == n || n == 0) {
    check(stated.old_order_loaded && stated.old_individual_order == expected_order,
          "the map's ;indOrdr line does not state the order the columns were written in");
  }
  check(stated.old_score_line == ";oldscore=" + std::to_string(layout.score),
        "the map's ;newscore= line does not read back as the score written");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxInput) return -1;
  const std::string text(reinterpret_cast<const char*>(data), size);
  read_write_read(text, kDefaultThresholds, false);
  read_write_read(text, kAcceptAll, true);
  return 0;
}
