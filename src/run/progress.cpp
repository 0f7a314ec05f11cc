#include "run/progress.hpp"

#include <unistd.h>

#include <iostream>

namespace tarvek {

Progress start_progress(const std::string& label, std::size_t total, bool worth_showing) {
  Progress p;
  p.label = label;
  p.total = total;
  p.active = worth_showing && total > 0 && ::isatty(STDERR_FILENO) == 1;
  advance_progress(p, 0);
  return p;
}

void advance_progress(Progress& p, std::size_t done) {
  if (!p.active) return;
  const int percent = static_cast<int>(done >= p.total ? 100 : done * 100 / p.total);
  if (percent == p.shown) return;
  p.shown = percent;
  std::cerr << '\r' << p.label << ' ' << percent << '%' << std::flush;
}

void finish_progress(Progress& p) {
  if (!p.active) return;
  std::cerr << '\r' << std::string(p.label.size() + 6, ' ') << '\r' << std::flush;
  p.active = false;
}

}  // namespace tarvek
