#pragma once
// The log lines of the reversal passes, shared by the plain and the fast
// versions.

#include <cstdint>
#include <ostream>

namespace tarvek {

inline void write_pass_start(std::ostream& log, int pass) { log << "pass " << pass; }
inline void write_pass_end(std::ostream& log, int reversals, std::int32_t score) {
  log << ", " << reversals << " reverses made, score is " << score << std::endl;
}

}  // namespace tarvek
