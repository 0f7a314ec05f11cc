// Fuzz target: tarvek-import mapmaker, in-process, on a fuzzed MAPMAKER raw
// file (data type line, counts and symbols, "*" entries over several lines,
// traits):
//
//   tarvek-import mapmaker in.raw -o out.loc
//
// Properties: those of every companion run (fuzz_companion.hpp); a failed
// run leaves the earlier out.loc; a complete one leaves a loc file that
// tarvek reads back whole, with as many locus lines as its header counts.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_companion.hpp"
#include "loc_read_back.hpp"
#include "programs.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvek::fuzz;
  if (size > kLargestInput) return -1;
  const ScratchDir& dir = ScratchDir::instance();
  const InScratchDir inside(dir);
  const std::string text = write_input(dir, "in.raw", data, size);
  const std::vector<Output> outputs = {{"out.loc", "an earlier loc file\n", true}};
  prepare_outputs(dir, outputs);
  const CompanionRun run =
      run_companion(tarvek::apps::import_main, {"tarvek-import", "mapmaker", "in.raw", "-o", "out.loc"});
  check_common(dir, "tarvek-import", run, "in.raw", text, outputs);
  if (run.status == 0) check_loc_reads_back(read_file(dir.file("out.loc")));
  return 0;
}
