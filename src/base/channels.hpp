#pragma once
// Where a run's messages go: standard output (short progress lines), standard
// error (warnings and errors) and the log file (the detailed account). One
// Channels object is made by the program's entry point and handed to every
// stage; nothing writes to the process's streams behind its back, so a run
// can be captured (the tests) or silenced (the benchmark), and two runs in
// one process do not share anything.

#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

namespace tarvek {

struct Channels {
  std::ostream* console = nullptr;  // standard output
  std::ostream* errors = nullptr;   // standard error
  // The log. Until a log file is opened (or when it cannot be opened) it is a
  // file stream that is not open, which drops whatever is written to it.
  std::unique_ptr<std::ofstream> log_file = std::make_unique<std::ofstream>();
  std::ostream* log = log_file.get();
  std::string log_path;  // of the log file opened, for messages
  // Progress lines are drawn on standard error only when it is a terminal.
  bool errors_on_terminal = false;
  // Standard output is a terminal: the run's last console line is ended.
  bool console_on_terminal = false;
  // Prefix of the lines added to standard error: "<program>: ".
  std::string program = "tarvek";
};

// Channels over the process's standard output and standard error.
Channels standard_channels(const std::string& program);

// Channels over caller-owned streams (the log included), never a terminal.
Channels stream_channels(std::ostream& console, std::ostream& errors, std::ostream& log);

// Opens the log file for writing, replacing old content; false when it could
// not be opened (the run goes on without a log).
bool open_log_file(Channels& channels, const std::string& path);
// Closes the log file. With `warn_if_cut`, a warning on standard error when
// any of it could not be written (a full disk, /dev/full): the map is whole,
// the log is not. A run that ends on a fatal error says nothing more.
void close_log_file(Channels& channels, bool warn_if_cut = false);

inline std::ostream& log_of(Channels& channels) { return *channels.log; }
inline std::ostream& console_of(Channels& channels) { return *channels.console; }
inline std::ostream& errors_of(Channels& channels) { return *channels.errors; }

// The same text to the console and to the log, with no line end.
void to_console_and_log(Channels& channels, std::string_view text);
// The same text to the console and to the log, each followed by a line end
// (a line feed and a flush).
void line_to_console_and_log(Channels& channels, std::string_view text);
// The same text to the log and to standard error, each followed by a line end.
void line_to_log_and_errors(Channels& channels, std::string_view text);

// "<program>: warning: " + text + line end, on standard error only.
void warn(Channels& channels, std::string_view text);
// "<program>: " + text + line end, on standard error only.
void note(Channels& channels, std::string_view text);

// Thrown to end the run once its messages are written; the entry point
// catches it, closes the log and returns `status` as the exit status. A
// library caller finds the message (without the "Fatal error!" banner) in
// `message`, so that it need not read the captured streams.
struct RunAbort {
  int status = 1;
  std::string message;
};

// The one fatal-error path: "\n\nFatal error!: " + message + line end to
// standard error, then to the log (dropped when no log is open), then the
// run ends with exit status 1.
[[noreturn]] void report_fatal(Channels& channels, const std::string& message);

// Ends the run with exit status 1 after writing `message` and a line end to
// the log, then to standard error, as they stand (no "Fatal error!" banner).
[[noreturn]] void stop_run(Channels& channels, const std::string& message);

// Like report_fatal, for errors of the program's own additions: the message
// goes to standard error as "<program>: " + message, and to the log as a
// fatal error; exit status 1.
[[noreturn]] void report_fatal_addition(Channels& channels, const std::string& message);

}  // namespace tarvek
