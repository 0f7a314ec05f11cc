#include "base/progress.hpp"

namespace tarvek {

Progress start_progress(Channels& channels, const std::string& label, std::size_t total,
                        bool worth_showing) {
  Progress p;
  p.out = channels.errors;
  p.label = label;
  p.total = total;
  p.active = worth_showing && total > 0 && channels.errors_on_terminal;
  advance_progress(p, 0);
  return p;
}

namespace {

void write_line(Progress& p, const std::string& text) {
  const std::string line = p.label + ' ' + text;
  const std::size_t pad = p.width > line.size() ? p.width - line.size() : 0;
  *p.out << '\r' << line << std::string(pad, ' ') << std::flush;
  p.width = line.size();
}

}  // namespace

void advance_progress(Progress& p, std::size_t done) {
  if (!p.active) return;
  const int percent = static_cast<int>(done >= p.total ? 100 : done * 100 / p.total);
  if (percent == p.shown) return;
  p.shown = percent;
  write_line(p, std::to_string(percent) + "%");
}

void show_status(Progress& p, const std::string& status) {
  if (p.active) write_line(p, status);
}

void finish_progress(Progress& p) {
  if (!p.active) return;
  *p.out << '\r' << std::string(p.width, ' ') << '\r' << std::flush;
  p.active = false;
}

}  // namespace tarvek
