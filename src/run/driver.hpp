#pragma once
// The program's fixed pipeline: parameters, loc file, grouping, ordering,
// map file.

namespace tarvek {

// Runs tarvek on the command line; returns the exit status (0 after a
// complete run, 1 after a fatal error).
int run_tarvek(int argc, const char* const* argv);

}  // namespace tarvek
