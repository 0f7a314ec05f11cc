// tarvek_bench: runs tarvek on one command line, through the program's own
// pipeline, and times its stages. It takes tarvek's arguments as they are
// (options and loc file), writes the map file and the log as tarvek does,
// discards tarvek's console output, and prints one line per stage with its
// wall seconds (summed over the groups for the per-group stages) and the
// process's peak resident memory at the end of the stage.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/channels.hpp"
#include "base/observer.hpp"
#include "run/driver.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double peak_mb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KB on Linux
}

struct StageTimes {
  std::map<tarvek::Stage, double> seconds;
  std::map<tarvek::Stage, double> peak;
  std::map<tarvek::Stage, Clock::time_point> started;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) == "--help") {
    std::fputs("usage: tarvek_bench [tarvek options] file.loc\n"
               "Runs tarvek on the arguments and prints the seconds and peak memory of each\n"
               "stage. The map file and the log are written as tarvek writes them.\n",
               argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  StageTimes times;
  tarvek::StageObserver observer;
  observer.started = [&](tarvek::Stage s) { times.started[s] = Clock::now(); };
  observer.finished = [&](tarvek::Stage s) {
    times.seconds[s] += std::chrono::duration<double>(Clock::now() - times.started[s]).count();
    times.peak[s] = peak_mb();
  };

  std::ostringstream console;  // tarvek's progress lines, not shown
  tarvek::Channels channels = tarvek::standard_channels("tarvek");
  channels.console = &console;
  const auto start = Clock::now();
  const int status = tarvek::run_tarvek(argc, argv, channels, observer);
  const double total = std::chrono::duration<double>(Clock::now() - start).count();

  std::printf("%-18s %10s %10s\n", "stage", "seconds", "peak_MB");
  const tarvek::Stage order[] = {tarvek::Stage::read,     tarvek::Stage::grouping,
                                 tarvek::Stage::score_matrix, tarvek::Stage::linksort,
                                 tarvek::Stage::errsweep, tarvek::Stage::rerun,
                                 tarvek::Stage::order_individuals, tarvek::Stage::write_map};
  for (const tarvek::Stage s : order) {
    if (times.seconds.count(s) == 0) continue;
    std::printf("%-18s %10.3f %10.1f\n", std::string(tarvek::stage_name(s)).c_str(),
                times.seconds[s], times.peak[s]);
  }
  std::printf("%-18s %10.3f %10.1f\n", "total", total, peak_mb());
  if (status != 0) std::fprintf(stderr, "tarvek_bench: the run ended with status %d\n", status);
  return status;
}
