#pragma once
// The run's log stream and its one fatal-error path.

#include <ostream>
#include <string>

namespace tarvek {

// Thrown to end the run once its messages are written; the entry point
// catches it, closes the log and returns `status` as the exit status.
struct RunAbort {
  int status;
};

// The log stream every stage writes to. Before `open_log` (or when the log
// file could not be opened) writes to it are dropped.
std::ostream& log_stream();

// Opens the log file for writing, replacing old content. A log file that
// cannot be opened is not an error: the run goes on without a log.
void open_log(const std::string& path);
void close_log();

// Sends the log to `sink` instead of the file (nullptr restores the file).
// Used by the tests to read what a stage logs.
void redirect_log(std::ostream* sink);

// Writes "\n\nFatal error!: " + message to standard error and to the log,
// then ends the run with exit status 1.
[[noreturn]] void report_fatal(const std::string& message);

}  // namespace tarvek
