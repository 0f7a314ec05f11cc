#pragma once
// The individual order and score carried by a loc file's comment lines (a map
// file read back as input).

#include <string>
#include <vector>

#include "base/channels.hpp"

namespace tarvek {

struct OldOrderState {
  std::vector<int> old_individual_order;  // entry c: individual held in column c
  bool old_order_loaded = false;          // set only beside an order of n_individuals entries
  std::string old_score_line;             // ";oldscore=..." or empty
};

// The entries of a ";indOrdr" line: from its first tab on, leading tabs
// skipped, fields up to an empty field or one starting with ";". A line
// without a tab has no entries.
std::vector<int> parse_individual_order(const std::string& line);

// The first entry that is negative or repeats an earlier one, as its index;
// -1 when every entry is a distinct non-negative number.
int first_suspicious_entry(const std::vector<int>& entries);

// Takes the old order and old score from the comment lines, in file order.
// An order is taken only when it has exactly `n_individuals` entries; a line
// of another length leaves the order taken before it in place. An order that
// is taken although it repeats an entry or holds a negative one is warned
// about on standard error: the columns can no longer be traced back.
// `line_numbers` gives each comment line's line number in the file, for the
// warning (when it is shorter, the line's place among the comments is named).
void scan_comment_lines(const std::vector<std::string>& comment_lines, int n_individuals,
                        OldOrderState& state, Channels& channels,
                        const std::vector<std::size_t>& line_numbers = {});

}  // namespace tarvek
