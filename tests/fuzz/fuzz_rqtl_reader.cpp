// Fuzz target: tarvek-import rqtl, in-process, on a fuzzed R/qtl csv file,
// with positions written too:
//
//   tarvek-import rqtl --positions pos.tsv in.csv -o out.loc
//
// Properties: those of every companion run (fuzz_companion.hpp); a failed
// run leaves the earlier out.loc and no pos.tsv; a complete one leaves a
// loc file that tarvek reads back whole, with as many locus lines as its
// header counts, and a positions table (when the file has positions) whose
// every line has three tab-separated fields.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz_companion.hpp"
#include "loc_read_back.hpp"
#include "programs.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvek::fuzz;
  if (size > kLargestInput) return -1;
  const ScratchDir& dir = ScratchDir::instance();
  const InScratchDir inside(dir);
  const std::string text = write_input(dir, "in.csv", data, size);
  const std::vector<Output> outputs = {{"out.loc", "an earlier loc file\n", true}, {"pos.tsv", "", false}};
  prepare_outputs(dir, outputs);
  const CompanionRun run = run_companion(
      tarvek::apps::import_main, {"tarvek-import", "rqtl", "--positions", "pos.tsv", "in.csv", "-o", "out.loc"});
  check_common(dir, "tarvek-import", run, "in.csv", text, outputs);
  if (run.status != 0) return 0;
  const std::size_t markers = check_loc_reads_back(read_file(dir.file("out.loc")));
  const std::string positions = read_file(dir.file("pos.tsv"));
  check(count_lines(positions) == markers + 1, "the positions table misses markers");
  std::istringstream lines(positions);
  std::string line;
  while (std::getline(lines, line)) {
    std::size_t tabs = 0;
    for (const char c : line) tabs += c == '\t' ? 1 : 0;
    check(tabs == 2 && line.find('\r') == std::string::npos, "a positions line of other than three fields: " + line);
  }
  return 0;
}
