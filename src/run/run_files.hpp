#pragma once
// The files of one run, checked before anything is opened for writing: each
// input must be something that can be read to its end, no output (the log,
// the map file) may be an input or the other output, and the map is never
// written among the system's devices.

#include <string>

#include "base/channels.hpp"

namespace tarvek {

struct RunFiles {
  std::string loc;
  std::string parameters;  // the parameters file; empty in options mode
  std::string matrix;      // the scoring matrix; empty when not known yet
  std::string log;
  std::string map;
};

// Writes "<program>: <path> is <why>" and returns true when `path` cannot be
// read as an input file (a folder, a device that never ends); false, and
// nothing written, otherwise.
bool note_unreadable_input(const std::string& path, Channels& channels);

// "<program>: <path>: <the system's reason>" for a file that could not be
// opened for reading; returns the error number (0 when it now opens).
int note_open_failure(const std::string& path, Channels& channels);

// Where the installed copy of a file shipped with the programs is
// (matrix.txt, mapping_parameters.txt): beside the running program as
// <prefix>/bin/../share/tarvek/<name>, else in the folder the build was
// configured to install into. Empty when neither holds it.
std::string installed_data_file(const std::string& name);

// The loc file: readable (see above), not a device, and not in a folder of
// devices, since the map is written beside it. Fatal "bad loc file!" after
// a note that says why.
void check_loc_file(const std::string& loc_file, const std::string& map_file, Channels& channels);

// Every output against every input and the other output; the first match
// ends the run with a note and the input's fatal message ("bad loc file!",
// "bad parameters file!<path>", "bad matrix file <path>"), or, for the log
// and the map, "<program>: the log file ... is the map file ...".
void check_outputs_against_inputs(const RunFiles& files, Channels& channels);

}  // namespace tarvek
