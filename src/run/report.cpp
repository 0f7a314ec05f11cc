#include "run/report.hpp"

#include <fstream>
#include <iostream>

namespace tarvek {
namespace {

std::ofstream log_file;
std::ostream* log_sink = nullptr;

}  // namespace

std::ostream& log_stream() {
  if (log_sink != nullptr) return *log_sink;
  return log_file;
}

void open_log(const std::string& path) {
  if (log_file.is_open()) log_file.close();
  log_file.clear();
  log_file.open(path, std::ios::out | std::ios::trunc);
}

void close_log() {
  if (log_file.is_open()) log_file.close();
}

void redirect_log(std::ostream* sink) { log_sink = sink; }

void report_fatal(const std::string& message) {
  std::cerr << "\n\nFatal error!: " << message << std::endl;
  log_stream() << "\n\nFatal error!: " << message << std::endl;
  throw RunAbort{1};
}

}  // namespace tarvek
