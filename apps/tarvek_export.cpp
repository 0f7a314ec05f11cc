// tarvek-export: a map file written by tarvek, turned into positions in cM,
// an R/qtl csv file, a MapChart file, or a comparison with a reference map.

#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "base/atomic_file.hpp"
#include "command_line.hpp"
#include "programs.hpp"
#include "interop/exporters.hpp"
#include "interop/input_error.hpp"
#include "interop/map_positions.hpp"
#include "interop/map_reader.hpp"
#include "interop/reference_map.hpp"
#include "interop/text_lines.hpp"

namespace {

using namespace tarvek;
using namespace tarvek::apps;
using namespace tarvek::interop;

constexpr const char* kProgram = "tarvek-export";

const char* const kUsage =
    "Usage:\n"
    "  tarvek-export positions [--map-function kosambi|haldane] x_map.loc -o positions.tsv\n"
    "  tarvek-export rqtl [--map-function kosambi|haldane] x_map.loc -o cross.csv\n"
    "  tarvek-export mapchart [--map-function kosambi|haldane] x_map.loc -o map.mct\n"
    "  tarvek-export compare --truth truth.tsv x_map.loc -o comparison.tsv\n"
    "  tarvek-export --help | --version\n"
    "\n"
    "Reads a map file written by tarvek.\n"
    "  positions  group, segment, marker, position in cM, r, LOD, number of \"*\"\n"
    "  rqtl       R/qtl csv: one row per individual in the original order, one\n"
    "             column per mapped marker; read.cross(\"csv\", file = ...) reads it\n"
    "  mapchart   MapChart input: one group per block, marker and position\n"
    "  compare    per group: markers, the reference chromosome most come from, and\n"
    "             Spearman's correlation of map order with reference position\n"
    "\n"
    "Positions are cM from the top of each linkage segment, computed from the\n"
    "printed r of each neighbour pair with Kosambi's (default) or Haldane's map\n"
    "function. An r of 0.5 (no linkage) has no finite distance: it starts a new\n"
    "segment, named <group>.<n> (3.2, 3.3, ...) in the chromosome column.\n"
    "  --map-function F  kosambi (default) or haldane\n"
    "  --truth FILE      tab-separated with a header: marker, chromosome, position\n"
    "  -o FILE           the file to write (required; - for standard output)\n"
    "\n"
    "Exit status: 0 done, 1 bad input (nothing written), 2 bad command line.\n";

int usage_error(const std::string& message) { return apps::usage_error(kProgram, message); }

void write_output(const std::string& path, const std::function<void(std::ostream&)>& write) {
  apps::write_output(path, write, true);
}

int run(int argc, char** argv) {
  if (argc < 2) return usage_error("no command (positions, rqtl, mapchart or compare)");
  const std::string command = argv[1];
  if (const auto done = help_or_version(command, kProgram, kUsage)) return *done;
  std::set<std::string> with_value = {"-o"};
  if (command == "positions" || command == "rqtl" || command == "mapchart")
    with_value.insert("--map-function");
  else if (command == "compare")
    with_value.insert("--truth");
  else
    return usage_error("unknown command \"" + command + "\" (positions, rqtl, mapchart or compare)");

  Arguments args;
  MapFunction function = MapFunction::kKosambi;
  try {
    args = scan_arguments(argc, argv, 2, with_value, {"--help"});
    if (args.has("--help")) {
      std::cout << kUsage;
      return kExitOk;
    }
    if (args.operands.size() != 1) throw UsageError("give exactly one map file");
    if (args.value("-o").empty()) throw UsageError("-o FILE is required");
    if (args.has("--map-function")) {
      const auto f = parse_map_function(args.value("--map-function"));
      if (!f) throw UsageError("--map-function must be kosambi or haldane");
      function = *f;
    }
    if (command == "compare" && args.value("--truth").empty()) throw UsageError("compare needs --truth FILE");
    refuse_output_over_input({{"-o", args.value("-o")}},
                             {{"the map file", args.operands[0]}, {"--truth", args.value("--truth")}});
  } catch (const UsageError& e) {
    return usage_error(e.what());
  }
  const std::string output = args.value("-o");

  const MapFile map = read_map_file(args.operands[0]);
  const std::vector<PlacedGroup> placed = place_markers(map, function);
  if (command == "positions") {
    write_output(output, [&](std::ostream& out) { write_positions_table(out, map, placed); });
  } else if (command == "rqtl") {
    // Checked before anything is written, so that a bad order leaves no file.
    columns_by_individual(map);
    individual_labels(map);
    write_output(output, [&](std::ostream& out) { write_rqtl_csv(out, map, placed); });
  } else if (command == "mapchart") {
    write_output(output, [&](std::ostream& out) { write_mapchart(out, map, placed, function); });
  } else {
    const std::string truth_file = args.value("--truth");
    std::ifstream in = open_input_file(truth_file);
    const std::vector<ReferencePosition> truth = read_reference_map(in, truth_file);
    const std::vector<GroupComparison> rows = compare_with_reference(map, truth);
    write_output(output, [&](std::ostream& out) { write_comparison(out, rows); });
  }
  return kExitOk;
}

}  // namespace

int tarvek::apps::export_main(int argc, char** argv) {
  return run_guarded(kProgram, [&] { return run(argc, argv); });
}

#ifndef TARVEK_NO_MAIN
int main(int argc, char** argv) { return tarvek::apps::export_main(argc, argv); }
#endif
