// tarvek-export: a map file written by tarvek, turned into positions in cM,
// an R/qtl csv file, a MapChart file, or a comparison with a reference map.

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "base/atomic_file.hpp"
#include "command_line.hpp"
#include "genotype/genotype_codes.hpp"
#include "programs.hpp"
#include "interop/carried_positions.hpp"
#include "interop/exporters.hpp"
#include "interop/input_error.hpp"
#include "base/parallel.hpp"
#include "interop/map_model.hpp"
#include "interop/map_positions.hpp"
#include "interop/peer_exporters.hpp"
#include "interop/population.hpp"
#include "interop/quality.hpp"
#include "interop/text_lines.hpp"
#include "interop/map_reader.hpp"
#include "interop/reference_map.hpp"
#include "interop/text_lines.hpp"

namespace {

using namespace tarvek;
using namespace tarvek::apps;
using namespace tarvek::interop;

constexpr const char* kProgram = "tarvek-export";

// The --help text; the population types are listed from their table.
std::string usage() {
  return std::string(
    "Usage:\n"
    "  tarvek-export positions [MODEL OPTIONS] x_map.loc -o positions.tsv\n"
    "  tarvek-export rqtl [MODEL OPTIONS] [--drop-errors [LOD]] x_map.loc -o cross.csv\n"
    "  tarvek-export mapchart [MODEL OPTIONS] x_map.loc -o map.mct\n"
    "  tarvek-export errors [--min-lod X] [--error-rate P] [--population T] [-t N]\n"
    "                       x_map.loc -o errors.tsv\n"
    "  tarvek-export compare [--truth truth.tsv] x_map.loc -o comparison.tsv\n"
    "  tarvek-export markers [MODEL OPTIONS] [--min-lod X] x_map.loc -o markers.tsv\n"
    "  tarvek-export individuals [--min-lod X] [--error-rate P] [--population T] [-t N]\n"
    "                            x_map.loc -o individuals.tsv\n"
    "  tarvek-export joinmap [--population T] x_map.loc -o joinmap.loc\n"
    "  tarvek-export lepmap [MODEL OPTIONS] [--min-lod X] x_map.loc -o map.txt\n"
    "  tarvek-export --help | --version\n"
    "\n"
    "Reads a map file written by tarvek.\n"
    "  positions  group, segment, marker, position in cM, r, LOD, number of \"*\"\n"
    "  rqtl       R/qtl csv: one row per individual in the original order, the\n"
    "             phenotypes tarvek-import kept, one column per mapped marker;\n"
    "             read.cross(\"csv\", file = ...) reads it (a backcross with\n"
    "             crosstype = \"bc\": markers scored B/H are written A/H)\n"
    "  mapchart   MapChart input: one group per block, marker and position\n"
    "  errors     the genotypes the multipoint model calls likely errors: group,\n"
    "             marker, individual, name, observed, likely, error_lod\n"
    "  compare    per group: markers, the reference chromosome most come from, and\n"
    "             Spearman's correlation of map order with reference position\n"
    "  markers    per marker: group, position, genotype classes, segregation test\n"
    "             among the typed (chi-square, P), missing share, errors called,\n"
    "             bin of identical markers, why rejected\n"
    "  individuals per individual: typed, missing, crossovers along the map,\n"
    "             errors called, near-identical individuals (clones)\n"
    "  joinmap    JoinMap loc file: the mapped markers in map order, the type's\n"
    "             codes (a, h, b, c, d, -), the individual names\n"
    "  lepmap     Lep-MAP's table of marker positions, one block per segment\n"
    "\n"
    "Markers that carry a chromosome and position (tarvek-import writes them\n"
    "behind each marker; tarvek keeps them) name each group after the chromosome\n"
    "most of its markers come from, and give the positions table chromosome and\n"
    "position_bp columns.\n"
    "Positions are cM from the top of each linkage segment. By default the r of\n"
    "each interval is estimated by a multipoint hidden Markov model of each\n"
    "group in map order, with a genotyping error rate estimated per group (one\n"
    "line per group on standard error); --distances two-point takes the r\n"
    "printed between neighbours instead, which counts every undetected error as\n"
    "two crossovers. An r of 0.5 printed between neighbours (no linkage) starts a\n"
    "new segment, named <group>.<n> (3.2, 3.3, ...) in the chromosome column.\n"
    "MODEL OPTIONS:\n"
    "  --map-function F  kosambi (default) or haldane\n"
    "  --distances D     multipoint (default) or two-point\n"
    "  --error-rate P    fix the error rate (0 to 0.25) instead of estimating it\n"
    "  --population T    ") + population_names_listed() + "; by default the map file's\n"
    "                    popt line, else F2\n"
    "  -t N              threads, 1 to 1024 (default: the cores available); the\n"
    "                    output is the same for any number\n"
    "Other options:\n"
    "  --drop-errors [LOD]  write the genotypes called errors as missing (error\n"
    "                    LOD at least LOD, default 2.7)\n"
    "  --min-lod X       the smallest error LOD listed (default 2.7)\n"
    "  --orient O        physical: turn every group whose order runs against the\n"
    "                    positions its markers carry (from tarvek-import vcf); map\n"
    "                    (default): as in the map file\n"
    "  --truth FILE      tab-separated with a header: marker, chromosome, position;\n"
    "                    by default the chromosomes and positions the markers carry\n"
    "  -o FILE           the file to write (required; - for standard output)\n"
    "\n"
    "Exit status: 0 done, 1 bad input (nothing written), 2 bad command line.\n";
}

int usage_error(Channels& channels, const std::string& message) { return apps::usage_error(channels, message); }

std::string format_number(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

void write_output(const std::string& path, const std::function<void(std::ostream&)>& write, Channels& channels) {
  apps::write_output(path, write, channels, true);
}

// "--drop-errors" takes an optional number: the next argument when it is one.
std::vector<std::string> with_optional_values(int argc, char** argv) {
  std::vector<std::string> words(argv, argv + argc);
  std::vector<std::string> out;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (words[i] != "--drop-errors") {
      out.push_back(words[i]);
      continue;
    }
    double value = 0.0;
    if (i + 1 < words.size() && parse_real(words[i + 1], value)) {
      out.push_back("--drop-errors=" + words[i + 1]);
      ++i;
    } else {
      out.push_back("--drop-errors=" + std::to_string(kDefaultErrorLod));
    }
  }
  return out;
}

// Runs the model on every group and writes each group's line to standard error.
std::vector<GroupMap> run_model(const MapFile& map, PopulationType population, const ModelOptions& choice,
                                MapFunction function, Channels& channels) {
  std::vector<GroupMap> estimates = estimate_map(map, population, choice.estimate);
  for (const std::string& line : summary_lines(map, estimates, function, choice.estimate.iteration_cap))
    note(channels, line);
  return estimates;
}

int run(int argc, char** argv, Channels& channels) {
  if (argc < 2)
    return usage_error(channels, "no command (positions, rqtl, mapchart, errors, compare, markers, individuals, joinmap or lepmap)");
  const std::string command = argv[1];
  if (const auto done = help_or_version(command, channels, usage().c_str())) return *done;
  std::set<std::string> with_value = {"-o"};
  const bool quality = command == "markers" || command == "individuals" || command == "lepmap";
  const bool placing = command == "positions" || command == "rqtl" || command == "mapchart" || quality;
  if (placing)
    with_value.insert({"--map-function", "--distances", "--error-rate", "--population", "-t", "--orient"});
  if (command == "rqtl") with_value.insert("--drop-errors");
  if (command == "errors" || quality) with_value.insert({"--min-lod", "--error-rate", "--population", "-t", "--orient"});
  if (command == "compare") with_value.insert({"--truth", "--orient"});
  if (command == "joinmap") with_value.insert({"--population", "--orient"});
  if (!placing && command != "errors" && command != "compare" && command != "joinmap")
    return usage_error(channels, "unknown command \"" + command +
                       "\" (positions, rqtl, mapchart, errors, compare, markers, individuals, joinmap or lepmap)");

  const std::vector<std::string> words = with_optional_values(argc, argv);
  std::vector<char*> word_pointers;
  for (const std::string& w : words) word_pointers.push_back(const_cast<char*>(w.c_str()));

  Arguments args;
  MapFunction function = MapFunction::kKosambi;
  ModelOptions model;
  std::optional<double> drop_lod;
  double min_lod = kDefaultErrorLod;
  try {
    args = scan_arguments(static_cast<int>(word_pointers.size()), word_pointers.data(), 2, with_value,
                          {"--help"});
    if (args.has("--help")) {
      console_of(channels) << usage();
      return kExitOk;
    }
    if (args.operands.size() != 1) throw UsageError("give exactly one map file");
    if (args.value("-o").empty()) throw UsageError("-o FILE is required");
    if (args.has("--map-function")) {
      const auto f = parse_map_function(args.value("--map-function"));
      if (!f) throw UsageError("--map-function must be kosambi or haldane");
      function = *f;
    }
    model = model_options(args);
    if (args.has("--drop-errors")) drop_lod = real_option(args, "--drop-errors", -1000.0, 1000.0, 0.0);
    min_lod = real_option(args, "--min-lod", -1000.0, 1000.0, kDefaultErrorLod);
    if (args.has("--orient") && args.value("--orient") != "physical" && args.value("--orient") != "map")
      throw UsageError("--orient must be physical or map");
    if (command == "compare" && args.has("--truth") && args.value("--truth").empty())
      throw UsageError("--truth needs a file");
    refuse_output_over_input({{"-o", args.value("-o")}},
                             {{"the map file", args.operands[0]}, {"--truth", args.value("--truth")}});
  } catch (const UsageError& e) {
    return usage_error(channels, e.what());
  }
  const std::string output = args.value("-o");

  MapFile map = read_map_file(args.operands[0]);
  const PopulationType population =
      model.population.value_or(header_population(map).value_or(PopulationType::F2));
  if (args.value("--orient") == "physical") {
    std::vector<bool> reversed;
    map = oriented_physically(map, &reversed);
    note(channels, orientation_summary(map, reversed));
  }
  if (command == "joinmap") {
    std::ostringstream loc;
    std::size_t renamed = 0;
    write_joinmap_loc(loc, map, population, renamed);
    for (const std::string& line : recoding_notes(map, population)) note(channels, line);
    if (renamed > 0)
      note(channels, std::to_string(renamed) + (renamed == 1 ? " name" : " names") +
                         " with blanks written with \"_\" in their place");
    write_output(output, [&](std::ostream& out) { out << loc.str(); }, channels);
    return kExitOk;
  }
  if (command == "compare") {
    std::vector<ReferencePosition> truth;
    if (args.has("--truth")) {
      const std::string truth_file = args.value("--truth");
      std::ifstream in = open_input_file(truth_file);
      truth = read_reference_map(in, truth_file);
    } else {
      truth = carried_reference(map);
      if (truth.empty())
        throw error_in_file(map.file, "no marker carries a chromosome and position: give --truth FILE");
    }
    const std::vector<GroupComparison> rows = compare_with_reference(map, truth);
    write_output(output, [&](std::ostream& out) { write_comparison(out, rows); }, channels);
    return kExitOk;
  }

  std::vector<GroupMap> estimates;
  if (command == "errors" || model.multipoint || drop_lod || quality)
    estimates = run_model(map, population, model, function, channels);
  if (quality) {
    const auto calls = map_error_calls(map, population, estimates, min_lod, model.estimate.threads);
    const auto placed = model.multipoint ? place_estimated(map, estimates, function) : place_markers(map, function);
    if (command == "markers") {
      const auto rows = marker_quality(map, placed, population, calls);
      write_output(output, [&](std::ostream& out) { write_marker_table(out, map, rows); }, channels);
    } else if (command == "lepmap") {
      write_output(output, [&](std::ostream& out) { write_lepmap_table(out, map, placed, calls, function); }, channels);
    } else {
      const auto rows = individual_quality(map, population, calls);
      write_output(output, [&](std::ostream& out) { write_individual_table(out, rows); }, channels);
    }
    return kExitOk;
  }
  if (command == "errors") {
    const auto calls = map_error_calls(map, population, estimates, min_lod, model.estimate.threads);
    write_output(output, [&](std::ostream& out) { write_error_table(out, map, calls); }, channels);
    return kExitOk;
  }
  if (drop_lod) {
    const auto calls = map_error_calls(map, population, estimates, *drop_lod, model.estimate.threads);
    note(channels, std::to_string(calls.size()) + (calls.size() == 1 ? " genotype" : " genotypes") +
                       " called errors (error LOD at least " + format_number(*drop_lod) + ") written as missing");
    map = with_calls_recoded(map, calls, kMissing);
  }
  const std::vector<PlacedGroup> placed =
      model.multipoint ? place_estimated(map, estimates, function) : place_markers(map, function);
  if (command == "positions") {
    write_output(output, [&](std::ostream& out) { write_positions_table(out, map, placed); }, channels);
  } else if (command == "rqtl") {
    // Checked before anything is written, so that a bad order leaves no file.
    columns_by_individual(map);
    individual_labels(map);
    std::ostringstream csv;
    write_rqtl_csv(csv, map, placed, population);
    for (const std::string& line : recoding_notes(map, population)) note(channels, line);
    write_output(output, [&](std::ostream& out) { out << csv.str(); }, channels);
  } else {
    write_output(output, [&](std::ostream& out) { write_mapchart(out, map, placed, function); }, channels);
  }
  return kExitOk;
}

}  // namespace

int tarvek::apps::export_main(int argc, char** argv) {
  Channels channels = standard_channels(kProgram);
  return run_guarded(channels, [&] { return run(argc, argv, channels); });
}

#ifndef TARVEK_NO_MAIN
int main(int argc, char** argv) { return tarvek::apps::export_main(argc, argv); }
#endif
