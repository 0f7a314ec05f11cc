// Fuzz target: tarvek-import vcf, in-process, on a fuzzed VCF (text, or any
// bytes htslib may take for gzip or BCF), with positions written too:
//
//   tarvek-import vcf --parents P1,P2 --min-gq 10 --positions pos.tsv in.vcf -o out.loc
//
// Properties: those of every companion run (fuzz_companion.hpp); a failed
// run leaves the earlier out.loc and no pos.tsv; a complete one leaves a
// loc file that tarvek reads back with as many locus lines as its header
// counts, every one of them whole, and a positions table of one line per
// marker.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz_companion.hpp"
#include "programs.hpp"
#include "loc_read_back.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvek::fuzz;
  if (size > kLargestInput) return -1;
  const ScratchDir& dir = ScratchDir::instance();
  const InScratchDir inside(dir);
  const std::string text = write_input(dir, "in.vcf", data, size);
  const std::vector<Output> outputs = {{"out.loc", "an earlier loc file\n", true}, {"pos.tsv", "", false}};
  prepare_outputs(dir, outputs);
  const CompanionRun run =
      run_companion(tarvek::apps::import_main, {"tarvek-import", "vcf", "--parents", "P1,P2", "--min-gq", "10",
                                                "--positions", "pos.tsv", "in.vcf", "-o", "out.loc"});
  check_common(dir, "tarvek-import", run, "in.vcf", text, outputs);
  if (run.status != 0) return 0;
  const std::size_t markers = check_loc_reads_back(read_file(dir.file("out.loc")));
  check(count_lines(read_file(dir.file("pos.tsv"))) == markers + 1, "the positions table misses markers");
  return 0;
}
