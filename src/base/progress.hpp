#pragma once
// A one-line progress indicator on standard error for long stages. It is
// shown only when standard error is a terminal, and erased when the stage
// ends, so logs, pipes and redirected output see nothing of it.

#include <cstddef>
#include <ostream>
#include <string>

#include "base/channels.hpp"

namespace tarvek {

struct Progress {
  std::ostream* out = nullptr;  // standard error while active
  std::string label;
  std::size_t total = 0;
  int shown = -1;          // last percentage written
  std::size_t width = 0;   // characters on the line now
  bool active = false;     // writing at all
};

// Starts an indicator for `total` steps; it stays silent unless `worth_showing`
// and the channels' standard error is a terminal.
Progress start_progress(Channels& channels, const std::string& label, std::size_t total,
                        bool worth_showing);

// Records that `done` of the steps are done.
void advance_progress(Progress& progress, std::size_t done);

// Shows `status` after the label instead of a percentage.
void show_status(Progress& progress, const std::string& status);

// Erases the indicator.
void finish_progress(Progress& progress);

}  // namespace tarvek
