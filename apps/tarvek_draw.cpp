// tarvek-draw: pictures of a map file written by tarvek: the map, the heat
// map of pair statistics, the genotype graph, and an HTML report of all.

#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

#include "base/atomic_file.hpp"
#include "base/parallel.hpp"
#include "command_line.hpp"
#include "draw/canvas.hpp"
#include "draw/colours.hpp"
#include "draw/compare_drawing.hpp"
#include "draw/drawn_map.hpp"
#include "draw/genotype_graph.hpp"
#include "draw/heat_map.hpp"
#include "draw/map_drawing.hpp"
#include "draw/marey_plot.hpp"
#include "draw/report.hpp"
#include "interop/carried_positions.hpp"
#include "interop/input_error.hpp"
#include "interop/map_model.hpp"
#include "interop/map_positions.hpp"
#include "interop/map_reader.hpp"
#include "interop/population.hpp"
#include "interop/reference_map.hpp"
#include "interop/text_lines.hpp"

namespace {

using namespace tarvek;
using namespace tarvek::apps;
using namespace tarvek::draw;
using namespace tarvek::interop;

constexpr const char* kProgram = "tarvek-draw";

// The --help text; the population types are listed from their table.
std::string usage() {
  return std::string(
    "Usage:\n"
    "  tarvek-draw map [--map-function kosambi|haldane] [MODEL OPTIONS] [PAGE OPTIONS]\n"
    "                  [--group N]... [--group-names A,B,...] [--names WHICH] [--cm-labels]\n"
    "                  [--orient physical] x_map.loc -o map.svg|map.pdf|map.png\n"
    "  tarvek-draw heatmap [--group N] [--size PIXELS] [--population TYPE] [--lod-max X]\n"
    "                      [-t N] x_map.loc -o heat.png|heat.svg|heat.pdf\n"
    "  tarvek-draw genotypes [--group N] [--width PIXELS] [--mark-errors] [MODEL OPTIONS]\n"
    "                        x_map.loc -o genotypes.png|.svg|.pdf\n"
    "  tarvek-draw marey [--positions FILE] [MODEL OPTIONS] [PAGE OPTIONS] x_map.loc\n"
    "                    -o marey.svg|.pdf|.png\n"
    "  tarvek-draw compare [--positions FILE] [MODEL OPTIONS] [PAGE OPTIONS]\n"
    "                      A_map.loc [B_map.loc] -o compare.svg|.pdf|.png\n"
    "  tarvek-draw report [--map-function kosambi|haldane] [MODEL OPTIONS] [--min-lod X]\n"
    "                     [--positions FILE] [--orient physical] x_map.loc -o report.html\n"
    "  tarvek-draw --help | --version\n"
    "\n"
    "Draws a map file written by tarvek. The output's extension chooses the\n"
    "format: .svg, .pdf or .png.\n"
    "  map        every group (every linkage segment) as a bar with its cM scale,\n"
    "             a tick per marker and the names beside it, in rows that fit a\n"
    "             page; red: markers with genotypes flagged \"*\"\n"
    "  heatmap    r (above the diagonal) and LOD (below) of the pairs of markers\n"
    "             in map order, of one group or of all groups on one sheet\n"
    "  genotypes  individuals (rows, the map file's column order) x markers (map\n"
    "             order), coloured by genotype; with --mark-errors the genotypes\n"
    "             the multipoint model calls errors in a colour of their own\n"
    "  marey      per chromosome, each mapped marker's map position (cM) against\n"
    "             its physical position, one colour per linkage segment\n"
    "  compare    two maps side by side, groups matched by their shared markers,\n"
    "             each shared marker's two places joined by a line; with one map,\n"
    "             the map beside its chromosomes (the physical positions)\n"
    "  report     one HTML file with everything embedded: summary, map, the Marey\n"
    "             plot and the physical comparison (when markers have positions),\n"
    "             each group's heat map and genotypes, the rejected markers\n"
    "\n"
    "Groups are named after the chromosome most of their markers carry (from\n"
    "tarvek-import vcf or rqtl), else numbered.\n"
    "  --map-function F  kosambi (default) or haldane\n"
    "MODEL OPTIONS (the multipoint map model, as in tarvek-export):\n"
    "  --distances D     multipoint (default: each group's r estimated in map order\n"
    "                    with an error rate, one line per group on standard error)\n"
    "                    or two-point (the r printed between neighbours)\n"
    "  --error-rate P    fix the error rate (0 to 0.25) instead of estimating it\n"
    "  --min-lod X       the smallest error LOD of a called error (default 2.7)\n"
    "PAGE OPTIONS (map, marey, compare):\n"
    "  --width POINTS    page width, 100 to 30000 points, or 0 for one row\n"
    "                    (default 842: A4 landscape)\n"
    "  --height POINTS   page height the scale is chosen to fit, or 0 for none\n"
    "                    (default 595: A4 landscape)\n"
    "Map options:\n"
    "  --group N         the groups drawn, in this order (repeat, or N,M,...); all\n"
    "                    by default\n"
    "  --group-names L   names of the groups drawn, comma-separated, in order\n"
    "  --names WHICH     auto (default: every name, or every k-th where a group has\n"
    "                    more than fit), all, marked (markers with flagged genotypes\n"
    "                    and the codominant framework), or K (every K-th)\n"
    "  --cm-labels       each named marker's position in cM beside its tick\n"
    "  --orient O        physical: turn groups that run against the positions\n"
    "                    their markers carry (map, report)\n"
    "  --positions FILE  marker, chromosome, position (tab-separated, a header line),\n"
    "                    as tarvek-import --positions writes; by default the\n"
    "                    positions the markers carry\n"
    "Heat map and genotype options:\n"
    "  --group N         one group (from 1); all groups by default\n"
    "  --size PIXELS     width and height of the heat map, 200 to 10000 (1000)\n"
    "  --population T    ") + population_names_listed() + ": the estimator of r and LOD;\n"
    "                    by default the map file's popt line, else F2\n"
    "  --lod-max X       top of the LOD colour scale (default: the largest LOD)\n"
    "  --width PIXELS    widest genotype graph, 300 to 30000 (1600)\n"
    "  -t N              threads for the heat maps' pair statistics and the map model,\n"
    "                    1 to 1024 (default: the cores available); the picture is the same\n"
    "  -o FILE           the file to write (required)\n"
    "\n"
    "A heat map larger than its pixels shows, per pixel, the mean r and LOD of a\n"
    "sample of the pairs of two blocks of markers (see the man page).\n"
    "\n"
    "Exit status: 0 done, 1 bad input (nothing written), 2 bad command line.\n";
}

int usage_error(Channels& channels, const std::string& message) { return apps::usage_error(channels, message); }

void write_output(const std::string& path, const std::string& bytes, Channels& channels) {
  apps::write_output(path, [&](std::ostream& out) {
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }, channels);
}

std::optional<double> positive_real(const Arguments& args, const std::string& name) {
  if (!args.has(name)) return std::nullopt;
  double value = 0.0;
  if (!parse_real(args.value(name), value) || !(value > 0.0))
    throw UsageError(name + " needs a number above 0, not \"" + args.value(name) + "\"");
  return value;
}

int bounded_count(const Arguments& args, const std::string& name, int lowest, int highest, int fallback) {
  if (!args.has(name)) return fallback;
  const int value = count_option(args, name, lowest);
  if (value > highest) throw UsageError(name + " can be at most " + std::to_string(highest));
  return value;
}

// A page dimension in points: 0 (no limit) or 100 to 30000.
double page_size(const Arguments& args, const std::string& name, double fallback) {
  if (!args.has(name)) return fallback;
  double value = 0.0;
  if (!parse_real(args.value(name), value) || !(value == 0.0 || (value >= 100.0 && value <= 30000.0)))
    throw UsageError(name + " needs 0 (no limit) or a number of points from 100 to 30000, not \"" +
                     args.value(name) + "\"");
  return value;
}

// Every --group value, each a number or a comma-separated list of numbers.
std::vector<std::size_t> group_list(const Arguments& args) {
  std::vector<std::size_t> groups;
  const auto it = args.all_values.find("--group");
  if (it == args.all_values.end()) return groups;
  for (const std::string& value : it->second) {
    for (const std::string& item : list_option(value)) {
      Arguments one;
      one.values["--group"] = item;
      groups.push_back(static_cast<std::size_t>(count_option(one, "--group", 1)));
    }
  }
  return groups;
}

// The options of the map drawing.
MapDrawOptions map_draw_options(const Arguments& args) {
  MapDrawOptions options;
  options.page_width = page_size(args, "--width", kA4LandscapeWidth);
  options.page_height = page_size(args, "--height", kA4LandscapeHeight);
  options.groups = group_list(args);
  if (args.has("--group-names")) options.names = list_option(args.value("--group-names"));
  options.cm_labels = args.has("--cm-labels");
  if (args.has("--names")) {
    const std::string names = args.value("--names");
    if (names == "all") {
      options.name_choice = NameChoice::kAll;
    } else if (names == "auto") {
      options.name_choice = NameChoice::kAuto;
    } else if (names == "marked") {
      options.name_choice = NameChoice::kMarked;
    } else {
      options.name_choice = NameChoice::kEvery;
      try {
        options.every = static_cast<std::size_t>(count_option(args, "--names", 1));
      } catch (const UsageError&) {
        throw UsageError("--names must be auto, all, marked or a whole number K (every K-th name), not \"" +
                         names + "\"");
      }
    }
  }
  return options;
}

// The markers' physical positions: from --positions, else those the map's
// markers carry.
std::vector<ReferencePosition> physical_positions(const Arguments& args, const MapFile& map) {
  if (args.has("--positions")) {
    const std::string file = args.value("--positions");
    std::ifstream in = open_input_file(file);
    return read_reference_map(in, file);
  }
  std::vector<ReferencePosition> carried = carried_reference(map);
  if (carried.empty())
    throw error_in_file(map.file, "no mapped marker carries a physical position: give --positions FILE");
  return carried;
}

// Positions of a map's markers: multipoint (each group's summary line on
// standard error, after `prefix`) or two-point.
std::vector<PlacedGroup> positions_of(const MapFile& map, const ModelOptions& model, MapFunction function,
                                      const std::string& prefix, Channels& channels) {
  if (!model.multipoint) return place_markers(map, function);
  const PopulationType population = model.population.value_or(header_population(map).value_or(PopulationType::F2));
  const std::vector<GroupMap> estimates = estimate_map(map, population, model.estimate);
  for (const std::string& line : summary_lines(map, estimates, function, model.estimate.iteration_cap))
    note(channels, prefix + line);
  return place_estimated(map, estimates, function);
}

// A path's last part, as the pictures name a map file.
std::string file_name(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// marey and compare: the map against physical positions, or two maps.
int draw_against(const std::string& command, const Arguments& args, const ModelOptions& model, MapFunction function,
                 Format format, Channels& channels) {
  const double page_width = page_size(args, "--width", kA4LandscapeWidth);
  const double page_height = page_size(args, "--height", kA4LandscapeHeight);
  const MapFile map = read_map_file(args.operands[0]);
  if (map.groups.empty())
    throw error_in_file(map.file, "no marker was mapped (every marker was rejected): nothing to draw");
  const bool two_maps = args.operands.size() == 2;
  // Positions are looked for before the model runs, so that a map without
  // them is refused at once.
  const std::vector<ReferencePosition> physical = two_maps ? std::vector<ReferencePosition>()
                                                           : physical_positions(args, map);
  const std::vector<PlacedGroup> placed = positions_of(map, model, function, two_maps ? map.file + ": " : "", channels);
  std::string bytes;
  if (command == "marey") {
    bytes = render_marey(layout_marey(map, placed, physical, function, page_width, page_height), format);
  } else if (two_maps) {
    const MapFile other = read_map_file(args.operands[1]);
    if (other.groups.empty())
      throw error_in_file(other.file, "no marker was mapped (every marker was rejected): nothing to draw");
    const std::vector<PlacedGroup> other_placed = positions_of(other, model, function, other.file + ": ", channels);
    bytes = render_comparison(layout_comparison(map_track(map, placed, file_name(map.file)),
                                                map_track(other, other_placed, file_name(other.file)), page_width,
                                                page_height),
                              format);
  } else {
    const Track genetic = map_track(map, placed, file_name(map.file));
    std::vector<std::string> markers;
    for (const TrackGroup& g : genetic.groups) markers.insert(markers.end(), g.markers.begin(), g.markers.end());
    bytes = render_comparison(
        layout_comparison(genetic, physical_track(physical, markers), page_width, page_height, true),
        format);
  }
  write_output(args.value("-o"), bytes, channels);
  return kExitOk;
}

int run(int argc, char** argv, Channels& channels) {
  if (argc < 2) return usage_error(channels, "no command (map, heatmap, genotypes, marey, compare or report)");
  const std::string command = argv[1];
  if (const auto done = help_or_version(command, channels, usage().c_str())) return *done;
  std::set<std::string> with_value = {"-o"};
  const std::set<std::string> model_flags = {"--distances", "--error-rate", "--population", "-t"};
  const std::set<std::string> map_layout = {"--width", "--height", "--group", "--group-names", "--names",
                                            "--orient"};
  if (command == "map") {
    with_value.insert("--map-function");
    with_value.insert(model_flags.begin(), model_flags.end());
    with_value.insert(map_layout.begin(), map_layout.end());
  } else if (command == "heatmap") {
    with_value.insert({"--group", "--size", "--population", "--lod-max", "-t"});
  } else if (command == "genotypes") {
    with_value.insert({"--group", "--width", "--min-lod", "--error-rate", "--population", "-t"});
  } else if (command == "report") {
    with_value.insert({"--map-function", "--min-lod", "--positions", "--orient"});
    with_value.insert(model_flags.begin(), model_flags.end());
  } else if (command == "marey" || command == "compare") {
    with_value.insert({"--map-function", "--positions", "--width", "--height"});
    with_value.insert(model_flags.begin(), model_flags.end());
  } else {
    return usage_error(channels, "unknown command \"" + command + "\" (map, heatmap, genotypes, marey, compare or report)");
  }

  Arguments args;
  MapFunction function = MapFunction::kKosambi;
  std::optional<PopulationType> population;
  std::optional<std::size_t> group;
  std::optional<Format> format;
  int size = 1000;
  int width = 1600;
  int threads = 1;
  std::optional<double> lod_max;
  ModelOptions model;
  MapDrawOptions map_options;
  double min_lod = kDefaultErrorLod;
  try {
    std::set<std::string> flags = {"--help"};
    if (command == "genotypes") flags.insert("--mark-errors");
    if (command == "map") flags.insert("--cm-labels");
    args = scan_arguments(argc, argv, 2, with_value, flags);
    if (args.has("--help")) {
      console_of(channels) << usage();
      return kExitOk;
    }
    if (command == "compare" && (args.operands.empty() || args.operands.size() > 2))
      throw UsageError("give one map file (compared with its physical positions) or two map files");
    if (command != "compare" && args.operands.size() != 1) throw UsageError("give exactly one map file");
    const std::string output = args.value("-o");
    if (output.empty()) throw UsageError("-o FILE is required");
    if (command == "report") {
      if (!output.ends_with(".html") && !output.ends_with(".htm"))
        throw UsageError("the report is HTML: name it FILE.html, not \"" + output + "\"");
    } else {
      format = format_for_path(output);
      if (!format) throw UsageError("-o " + output + ": the name must end in .svg, .pdf or .png");
    }
    std::vector<FileRole> inputs = {{"the map file", args.operands[0]}};
    if (args.operands.size() > 1) inputs.push_back({"the second map file", args.operands[1]});
    if (args.has("--positions")) inputs.push_back({"--positions", args.value("--positions")});
    refuse_output_over_input({{"-o", output}}, inputs);
    if (args.has("--map-function")) {
      const auto f = parse_map_function(args.value("--map-function"));
      if (!f) throw UsageError("--map-function must be kosambi or haldane");
      function = *f;
    }
    if (command == "genotypes" && !args.has("--mark-errors"))
      for (const char* name : {"-t", "--min-lod", "--error-rate", "--population"})
        if (args.has(name))
          throw UsageError(std::string(name) + " is for --mark-errors: the genotype graph alone uses no model");
    model = model_options(args);
    population = model.population;
    min_lod = real_option(args, "--min-lod", -1000.0, 1000.0, kDefaultErrorLod);
    if (command == "map") {
      map_options = map_draw_options(args);
    } else if (args.has("--group")) {
      group = static_cast<std::size_t>(count_option(args, "--group", 1));
    }
    if (args.has("--orient") && args.value("--orient") != "physical" && args.value("--orient") != "map")
      throw UsageError("--orient must be physical or map");
    size = bounded_count(args, "--size", kSmallestHeatMap, kLargestHeatMap, size);
    if (command == "genotypes")
      width = bounded_count(args, "--width", kNarrowestGenotypeGraph, kWidestGenotypeGraph, width);
    lod_max = positive_real(args, "--lod-max");
    threads = model.estimate.threads;
  } catch (const UsageError& e) {
    return usage_error(channels, e.what());
  }
  const std::string output = args.value("-o");
  if (command == "marey" || command == "compare") return draw_against(command, args, model, function, *format, channels);

  MapFile map = read_map_file(args.operands[0]);
  if (args.value("--orient") == "physical") {
    std::vector<bool> reversed;
    map = oriented_physically(map, &reversed);
    note(channels, orientation_summary(map, reversed));
  }
  if (!population) population = header_population(map).value_or(PopulationType::F2);
  // The multipoint model: for the map's positions, the report's figures and
  // the marked errors.
  const bool estimating =
      command == "report" || (command == "map" && model.multipoint) || args.has("--mark-errors");
  std::vector<GroupMap> estimates;
  if (estimating) {
    estimates = estimate_map(map, *population, model.estimate);
    for (const std::string& line : summary_lines(map, estimates, function, model.estimate.iteration_cap))
      note(channels, line);
  }
  if (command == "report") {
    ReportOptions options;
    options.function = function;
    options.population = *population;
    options.threads = threads;
    options.multipoint = model.multipoint;
    options.min_lod = min_lod;
    options.positions = args.has("--positions") ? physical_positions(args, map) : carried_reference(map);
    write_output(output, html_report(map, options, estimates), channels);
    return kExitOk;
  }
  if (map.groups.empty())
    throw error_in_file(map.file, "no marker was mapped (every marker was rejected): nothing to draw");
  std::string bytes;
  if (command == "map") {
    bytes = render_map(model.multipoint ? layout_map(map, place_estimated(map, estimates, function), function,
                                                     map_options)
                                        : layout_map(map, function, map_options),
                       *format);
  } else if (command == "heatmap") {
    HeatOptions options;
    options.group = group;
    options.size = size;
    options.population = *population;
    options.lod_max = lod_max;
    options.threads = threads;
    bytes = draw_heat_map(map, options, *format);
  } else {
    GenotypeOptions options;
    options.group = group;
    options.width = width;
    if (args.has("--mark-errors")) {
      const auto calls = map_error_calls(map, *population, estimates, min_lod, threads);
      bytes = draw_genotypes(with_calls_recoded(map, calls, kCalledError), options, *format);
    } else {
      bytes = draw_genotypes(map, options, *format);
    }
  }
  write_output(output, bytes, channels);
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  Channels channels = standard_channels(kProgram);
  return run_guarded(channels, [&] { return run(argc, argv, channels); });
}
