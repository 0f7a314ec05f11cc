#include "support/capture.hpp"

#include "run/report.hpp"

namespace tarvek::testing {

LogCapture::LogCapture() { redirect_log(&buffer_); }
LogCapture::~LogCapture() { redirect_log(nullptr); }

StreamCapture::StreamCapture(std::ostream& stream) : stream_(stream), saved_(stream.rdbuf()) {
  stream_.rdbuf(buffer_.rdbuf());
}
StreamCapture::~StreamCapture() { stream_.rdbuf(saved_); }

}  // namespace tarvek::testing
