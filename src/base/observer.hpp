#pragma once
// An optional observer of a run's stages: told when each one starts and ends.
// The benchmark times the stages through it; the program passes none.

#include <functional>
#include <string_view>

namespace tarvek {

enum class Stage {
  read,               // reading and screening the loc file
  grouping,           // pair statistics, core grouping, satellites, sorting
  score_matrix,       // a group's pair score matrix (once per ordered group)
  linksort,           // the first LINKSORT of a group
  errsweep,           // the singleton scan of a group
  rerun,              // second LINKSORT, rescoring and hammering-in of a group
  order_individuals,  // the ordering of the individuals
  write_map,          // writing the map file
};

std::string_view stage_name(Stage stage);

struct StageObserver {
  std::function<void(Stage)> started;
  std::function<void(Stage)> finished;
};

inline void stage_started(const StageObserver& observer, Stage stage) {
  if (observer.started) observer.started(stage);
}
inline void stage_finished(const StageObserver& observer, Stage stage) {
  if (observer.finished) observer.finished(stage);
}

inline std::string_view stage_name(Stage stage) {
  switch (stage) {
    case Stage::read: return "read";
    case Stage::grouping: return "grouping";
    case Stage::score_matrix: return "score_matrix";
    case Stage::linksort: return "linksort";
    case Stage::errsweep: return "errsweep";
    case Stage::rerun: return "rerun";
    case Stage::order_individuals: return "order_individuals";
    case Stage::write_map: return "write_map";
  }
  return "unknown";
}

}  // namespace tarvek
