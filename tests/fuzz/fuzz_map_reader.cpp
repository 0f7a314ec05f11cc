// Fuzz target: tarvek-export, in-process, on a fuzzed map file. The first
// byte (a character of the first header line, which only names the map)
// picks the command:
//
//   0: positions in_map.loc -o out.tsv
//   1: rqtl      in_map.loc -o out.tsv
//   2: mapchart  in_map.loc -o out.tsv
//   3: compare --truth truth.tsv in_map.loc -o out.tsv
//
// Properties: those of every companion run (fuzz_companion.hpp); a failed
// run leaves the earlier out.tsv; a complete one writes a table whose first
// line is the command's header, and for positions one line per marker of
// the map's groups as the reader sees them, each of seven fields (nine when
// markers carry chromosomes).

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz_companion.hpp"
#include "interop/carried_positions.hpp"
#include "interop/map_reader.hpp"
#include "programs.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvek::fuzz;
  if (size > kLargestInput) return -1;
  const ScratchDir& dir = ScratchDir::instance();
  const InScratchDir inside(dir);
  const std::string text = write_input(dir, "in_map.loc", data, size);
  dir.write("truth.tsv", "marker\tchromosome\tposition\nM1\t1\t0\nM2\t1\t5\nM3\t2\t1\n");
  const std::vector<Output> outputs = {{"out.tsv", "an earlier table\n", true}};
  prepare_outputs(dir, outputs);
  std::vector<std::string> args = {"tarvek-export"};
  const int command = size == 0 ? 0 : data[0] % 4;
  switch (command) {
    case 0: args.emplace_back("positions"); break;
    case 1: args.emplace_back("rqtl"); break;
    case 2: args.emplace_back("mapchart"); break;
    default: args.insert(args.end(), {"compare", "--truth", "truth.tsv"}); break;
  }
  args.insert(args.end(), {"in_map.loc", "-o", "out.tsv"});
  const CompanionRun run = run_companion(tarvek::apps::export_main, args);
  check_common(dir, "tarvek-export", run, "in_map.loc", text, outputs);
  if (run.status != 0) return 0;
  const std::string table = read_file(dir.file("out.tsv"));
  if (command == 0) {
    std::istringstream in(text);
    const tarvek::interop::MapFile map = tarvek::interop::read_map_file(in, "in_map.loc");
    const bool carried = tarvek::interop::carries_chromosomes(map);
    check(table.rfind(std::string("group\tsegment\tmarker\tposition_cM\tr\tLOD\tflagged") +
                          (carried ? "\tchromosome\tposition_bp\n" : "\n"),
                      0) == 0,
          "no header line");
    std::size_t markers = 0;
    for (const auto& g : map.groups) markers += g.size();
    std::size_t lines = 0;
    std::istringstream rows(table);
    std::string row;
    while (std::getline(rows, row)) {
      ++lines;
      std::size_t tabs = 0;
      for (const char c : row) tabs += c == '\t' ? 1 : 0;
      check(tabs == (carried ? 8u : 6u), "a positions line of other than seven (nine) fields: " + row);
    }
    check(lines == markers + 1, "the positions table does not hold every mapped marker");
  } else if (command == 1) {
    check(table.rfind("id", 0) == 0, "the R/qtl table does not start with its id column");
  } else if (command == 3) {
    check(table.rfind("group\tmarkers\t", 0) == 0, "the comparison has no header line");
  }
  return 0;
}
