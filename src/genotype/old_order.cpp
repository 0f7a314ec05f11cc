#include "genotype/old_order.hpp"

#include <ostream>
#include <unordered_set>

#include "genotype/text_input.hpp"

namespace tarvek {

std::vector<int> parse_individual_order(const std::string& line) {
  std::vector<int> entries;
  const auto tab = line.find('\t');
  if (tab == std::string::npos) return entries;
  const auto start = line.find_first_not_of('\t', tab);
  if (start == std::string::npos) return entries;
  const std::string text = line.substr(start);
  std::size_t p = 0;
  while (p < text.size()) {
    if (text[p] == '\t' || text[p] == ';') break;
    const auto next_tab = text.find('\t', p);
    const std::size_t end = next_tab == std::string::npos ? text.size() : next_tab;
    entries.push_back(to_int_lenient(text.substr(p, end - p)));
    if (next_tab == std::string::npos) break;
    p = next_tab + 1;
  }
  return entries;
}

int first_suspicious_entry(const std::vector<int>& entries) {
  std::unordered_set<int> seen;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i] < 0 || !seen.insert(entries[i]).second) return static_cast<int>(i);
  }
  return -1;
}

namespace {

void warn_suspicious(const std::vector<int>& entries, const std::string& where, Channels& channels) {
  const int bad = first_suspicious_entry(entries);
  if (bad < 0) return;
  const int value = entries.at(static_cast<std::size_t>(bad));
  const std::string what = value < 0 ? "a negative entry " : "a repeated entry ";
  warn(channels, "the individual order on " + where + " holds " + what + std::to_string(value) +
                     " (entry " + std::to_string(bad + 1) +
                     "); its columns cannot be traced back to individuals");
}

}  // namespace

void scan_comment_lines(const std::vector<std::string>& comment_lines, int n_individuals,
                        OldOrderState& state, Channels& channels,
                        const std::vector<std::size_t>& line_numbers) {
  std::ostream& log = log_of(channels);
  for (std::size_t k = 0; k < comment_lines.size(); ++k) {
    const std::string& line = comment_lines[k];
    if (line.size() >= 8 && line.compare(0, 8, ";indOrdr") == 0) {
      log << "loading old inidividual order...\n";
      std::vector<int> entries = parse_individual_order(line);
      if (static_cast<long long>(entries.size()) == n_individuals) {
        const std::string where = k < line_numbers.size()
                                      ? "line " + std::to_string(line_numbers[k]) + " of the loc file"
                                      : "comment line " + std::to_string(k + 1) + " of the loc file";
        warn_suspicious(entries, where, channels);
        state.old_individual_order = std::move(entries);
        state.old_order_loaded = true;
        log << "loaded individual order successfull\n";
      }
    }
    if (line.size() >= 10 && line.compare(0, 10, ";newscore=") == 0) {
      state.old_score_line = ";oldscore=" + line.substr(line.find('=') + 1);
    }
  }
}

}  // namespace tarvek
