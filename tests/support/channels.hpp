#pragma once
// Channels whose console, standard error and log are strings, for reading
// what a function writes.

#include <sstream>
#include <string>

#include "base/channels.hpp"

namespace tarvek::testing {

struct CapturedChannels {
  std::ostringstream console;
  std::ostringstream errors;
  std::ostringstream log;
  Channels channels = stream_channels(console, errors, log);

  std::string console_text() const { return console.str(); }
  std::string errors_text() const { return errors.str(); }
  std::string log_text() const { return log.str(); }
};

}  // namespace tarvek::testing
