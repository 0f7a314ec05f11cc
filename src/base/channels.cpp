#include "base/channels.hpp"

#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <system_error>

namespace tarvek {

// Left out where the process's streams belong to someone else (R, whose
// console is not standard output).
#ifndef TARVEK_NO_STANDARD_STREAMS
Channels standard_channels(const std::string& program) {
  Channels c;
  c.console = &std::cout;
  c.errors = &std::cerr;
  c.errors_on_terminal = ::isatty(STDERR_FILENO) == 1;
  c.console_on_terminal = ::isatty(STDOUT_FILENO) == 1;
  c.program = program;
  return c;
}
#endif

Channels stream_channels(std::ostream& console, std::ostream& errors, std::ostream& log) {
  Channels c;
  c.console = &console;
  c.errors = &errors;
  c.log = &log;
  return c;
}

bool open_log_file(Channels& channels, const std::string& path) {
  std::ofstream& file = *channels.log_file;
  if (file.is_open()) file.close();
  file.clear();
  file.open(path, std::ios::out | std::ios::trunc);
  channels.log = &file;
  channels.log_path = path;
  return file.is_open();
}

void close_log_file(Channels& channels, bool warn_if_cut) {
  std::ofstream& file = *channels.log_file;
  if (!file.is_open()) return;
  errno = 0;
  file.flush();
  int error = errno;
  const bool written = static_cast<bool>(file);
  file.close();
  if (error == 0) error = errno;
  if (!warn_if_cut || (written && !file.fail())) return;
  warn(channels, "the log file " + channels.log_path + " could not be written whole" +
                     (error != 0 ? " (" + std::error_code(error, std::generic_category()).message() + ")"
                                 : std::string()) +
                     "; the log is incomplete");
}

void to_console_and_log(Channels& channels, std::string_view text) {
  *channels.console << text;
  *channels.log << text;
}

void line_to_console_and_log(Channels& channels, std::string_view text) {
  *channels.console << text << std::endl;
  *channels.log << text << std::endl;
}

void line_to_log_and_errors(Channels& channels, std::string_view text) {
  *channels.log << text << std::endl;
  *channels.errors << text << std::endl;
}

void warn(Channels& channels, std::string_view text) {
  *channels.errors << channels.program << ": warning: " << text << std::endl;
}

void note(Channels& channels, std::string_view text) {
  *channels.errors << channels.program << ": " << text << std::endl;
}

void report_fatal(Channels& channels, const std::string& message) {
  *channels.errors << "\n\nFatal error!: " << message << std::endl;
  *channels.log << "\n\nFatal error!: " << message << std::endl;
  throw RunAbort{1, message};
}

void stop_run(Channels& channels, const std::string& message) {
  line_to_log_and_errors(channels, message);
  throw RunAbort{1, message};
}

void report_fatal_addition(Channels& channels, const std::string& message) {
  *channels.errors << channels.program << ": " << message << std::endl;
  *channels.log << "\n\nFatal error!: " << message << std::endl;
  throw RunAbort{1, message};
}

}  // namespace tarvek
