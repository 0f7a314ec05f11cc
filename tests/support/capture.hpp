#pragma once
// Captures what a function writes to the log, the console and standard error.

#include <iostream>
#include <sstream>
#include <string>

namespace tarvek::testing {

// Sends the log to a string for the lifetime of the object.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;
  std::string text() const { return buffer_.str(); }

 private:
  std::ostringstream buffer_;
};

// Swaps a standard stream's buffer for a string for the lifetime of the object.
class StreamCapture {
 public:
  explicit StreamCapture(std::ostream& stream);
  ~StreamCapture();
  StreamCapture(const StreamCapture&) = delete;
  StreamCapture& operator=(const StreamCapture&) = delete;
  std::string text() const { return buffer_.str(); }

 private:
  std::ostream& stream_;
  std::streambuf* saved_;
  std::ostringstream buffer_;
};

}  // namespace tarvek::testing
