#include "run/old_order.hpp"

#include <ostream>

#include "run/report.hpp"
#include "run/text_input.hpp"

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

void scan_comment_lines(const std::vector<std::string>& comment_lines, int n_individuals,
                        OldOrderState& state) {
  for (const std::string& line : comment_lines) {
    if (line.compare(0, 8, ";indOrdr") == 0 && line.size() >= 8) {
      log_stream() << "loading old inidividual order...\n";
      std::vector<int> entries = parse_individual_order(line);
      if (static_cast<long long>(entries.size()) == n_individuals) {
        state.old_individual_order = std::move(entries);
        state.old_order_loaded = true;
        log_stream() << "loaded individual order successfull\n";
      }
    }
    if (line.size() >= 10 && line.compare(0, 10, ";newscore=") == 0) {
      state.old_score_line = ";oldscore=" + line.substr(line.find('=') + 1);
    }
  }
}

}  // namespace tarvek
