// tarvek-import: genotypes from VCF/BCF, R/qtl csv or free-layout loc files,
// written as a loc file for tarvek.

#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "base/atomic_file.hpp"
#include "command_line.hpp"
#include "programs.hpp"
#include "interop/input_error.hpp"
#include "interop/loc_writer.hpp"
#include "interop/mapmaker_reader.hpp"
#include "interop/population.hpp"
#include "interop/reference_map.hpp"
#include "interop/rqtl_reader.hpp"
#include "interop/text_lines.hpp"
#include "interop/vcf_reader.hpp"
#include "interop/wrapped_loc_reader.hpp"

namespace {

using namespace tarvek;
using namespace tarvek::apps;
using namespace tarvek::interop;

constexpr const char* kProgram = "tarvek-import";

const char* const kUsage =
    "Usage:\n"
    "  tarvek-import vcf (--parents P1,P2 | --parent-alleles FILE) [options] in.vcf[.gz]|in.bcf -o out.loc\n"
    "  tarvek-import rqtl [--genotypes AA,AB,BB,notBB,notAA] [--missing CODES] [options] in.csv -o out.loc\n"
    "  tarvek-import mapmaker [options] in.raw -o out.loc\n"
    "  tarvek-import loc [options] in.loc -o out.loc\n"
    "  tarvek-import --help | --version\n"
    "\n"
    "Writes a loc file for tarvek: four header lines, the individual names as a\n"
    "\";individuals\" comment line, one tab-separated line per marker (A = first\n"
    "parent's homozygote, B = second's, H = heterozygote, C = not A, D = not B,\n"
    "- = missing).\n"
    "\n"
    "vcf: a biallelic SNP becomes a marker where the parents are homozygous for\n"
    "different alleles; other records are skipped and counted on standard error.\n"
    "  --parents P1,P2        the samples of the first and second parent (not\n"
    "                         written as individuals)\n"
    "  --parent-alleles FILE  instead: lines \"chrom<TAB>pos<TAB>allele1<TAB>allele2\"\n"
    "  --min-gq N             calls with GQ below N are missing (parents: site skipped)\n"
    "  --min-dp N             calls with DP below N are missing (parents: site skipped)\n"
    "  --keep-filtered        also use records whose FILTER is not PASS\n"
    "rqtl: markers in columns or in rows (detected); the id column gives the names,\n"
    "the other phenotypes are kept on a \";phenotypes\" comment line (tarvek-export\n"
    "rqtl writes them back), chromosome and position follow each marker as a comment.\n"
    "  --genotypes CODES      codes of AA,AB,BB,not BB,not AA (default A,H,B,D,C and\n"
    "                         AA,AB,BB,\"not BB\",\"not AA\")\n"
    "  --missing CODES        codes read as missing besides an empty field (default -,NA)\n"
    "  --no-segregation-check import an F2 even when the --genotypes codes make most\n"
    "                         markers fail their segregation test (refused otherwise,\n"
    "                         naming the codes that fit)\n"
    "mapmaker: a MAPMAKER/OneMap raw file (\"data type f2 intercross\", counts and\n"
    "symbols, \"*marker\" genotypes over several lines, traits kept as phenotypes).\n"
    "loc: blank-separated, wrapped genotypes, {} and ; comments, an \"individual\n"
    "names:\" section; rewritten one marker per line.\n"
    "\n"
    "Options for all:\n"
    "  -o FILE                the loc file to write (required)\n"
    "  --population TYPE      F2 (default; mapmaker: the file's data type), BC1, DH, RIL\n"
    "                         or RILsib: the popt line\n"
    "  --name TEXT            the name line (default: the output file's stem)\n"
    "  --positions FILE       also write marker, chromosome, position (tab-separated),\n"
    "                         for tarvek-export compare --truth (vcf, rqtl)\n"
    "\n"
    "Exit status: 0 done, 1 bad input (nothing written), 2 bad command line.\n";

int usage_error(Channels& channels, const std::string& message) { return apps::usage_error(channels, message); }

std::ifstream open_input(const std::string& path) { return open_input_file(path); }

// A loc file tarvek can map has markers and individuals; anything else is
// refused rather than written.
void require_markers(const LocData& loc, const std::string& input, const std::vector<std::string>& summary,
                     Channels& channels) {
  const std::size_t individuals = loc.markers.empty() ? loc.individuals.size() : loc.markers.front().codes.size();
  if (!loc.markers.empty() && individuals > 0) return;
  for (const std::string& line : summary) note(channels, line);
  throw error_in_file(input, loc.markers.empty()
                                 ? "no marker read (an empty file, or lines that end in carriage returns alone?): "
                                   "nothing written"
                                 : "no individuals read: nothing written");
}

int run(int argc, char** argv, Channels& channels) {
  if (argc < 2) return usage_error(channels, "no command (vcf, rqtl, mapmaker or loc)");
  const std::string command = argv[1];
  if (const auto done = help_or_version(command, channels, kUsage)) return *done;
  std::set<std::string> with_value = {"-o", "--population", "--name", "--positions"};
  std::set<std::string> flags = {"--help"};
  if (command == "vcf") {
    with_value.insert({"--parents", "--parent-alleles", "--min-gq", "--min-dp"});
    flags.insert("--keep-filtered");
  } else if (command == "rqtl") {
    with_value.insert({"--genotypes", "--missing"});
    flags.insert("--no-segregation-check");
  } else if (command != "loc" && command != "mapmaker") {
    return usage_error(channels, "unknown command \"" + command + "\" (vcf, rqtl, mapmaker or loc)");
  }

  Arguments args;
  PopulationType population = PopulationType::F2;
  try {
    args = scan_arguments(argc, argv, 2, with_value, flags);
    if (args.has("--help")) {
      console_of(channels) << kUsage;
      return kExitOk;
    }
    if (args.operands.size() != 1) throw UsageError("give exactly one input file");
    if (args.value("-o").empty()) throw UsageError("-o FILE is required");
    std::vector<FileRole> inputs = {{"the input file", args.operands[0]}};
    if (args.has("--parent-alleles")) inputs.push_back({"--parent-alleles", args.value("--parent-alleles")});
    std::vector<FileRole> outputs = {{"-o", args.value("-o")}};
    if (args.has("--positions")) outputs.push_back({"--positions", args.value("--positions")});
    refuse_output_over_input(outputs, inputs);
    if (args.has("--name")) require_one_line("--name", args.value("--name"));
    if (args.has("--population")) {
      const auto p = parse_population(args.value("--population"));
      if (!p) throw UsageError("--population must be " + population_names_listed());
      population = *p;
    }
    if (args.has("--positions") && (command == "loc" || command == "mapmaker"))
      throw UsageError("--positions is for vcf and rqtl");
  } catch (const UsageError& e) {
    return usage_error(channels, e.what());
  }
  const std::string input = args.operands[0];
  const std::string output = args.value("-o");

  LocData loc;
  std::vector<ReferencePosition> positions;
  std::vector<std::string> summary;
  if (command == "vcf") {
    VcfOptions options;
    ParentAlleleTable parent_alleles;
    try {
      if (args.has("--parents") == args.has("--parent-alleles"))
        throw UsageError("give either --parents P1,P2 or --parent-alleles FILE");
      if (args.has("--parents")) {
        const std::vector<std::string> parents = list_option(args.value("--parents"));
        if (parents.size() != 2 || parents[0].empty() || parents[1].empty() || parents[0] == parents[1])
          throw UsageError("--parents needs two different sample names: P1,P2");
        options.first_parent = parents[0];
        options.second_parent = parents[1];
      }
      options.min_gq = count_option(args, "--min-gq", 0);
      options.min_dp = count_option(args, "--min-dp", 0);
    } catch (const UsageError& e) {
      return usage_error(channels, e.what());
    }
    options.population = population;
    options.keep_filtered = args.has("--keep-filtered");
    if (args.has("--parent-alleles")) {
      std::ifstream in = open_input(args.value("--parent-alleles"));
      parent_alleles = read_parent_alleles(in, args.value("--parent-alleles"));
      options.parent_alleles = &parent_alleles;
    }
    VcfImport result = import_vcf(input, options);
    summary = vcf_summary(result, options);
    loc = std::move(result.loc);
    positions = std::move(result.positions);
  } else if (command == "rqtl") {
    RqtlOptions options;
    if (args.has("--genotypes")) {
      options.genotype_codes = list_option(args.value("--genotypes"));
      if (options.genotype_codes.size() > 5)
        return usage_error(channels, "--genotypes takes at most five codes: AA,AB,BB,notBB,notAA");
    }
    if (args.has("--missing")) options.missing_codes = list_option(args.value("--missing"));
    options.population = population_name(population);
    std::ifstream in = open_input(input);
    RqtlImport result = read_rqtl_csv(in, input, options);
    if (args.has("--genotypes") && population == PopulationType::F2 && !args.has("--no-segregation-check"))
      if (const std::string refusal = check_genotype_mapping(result.loc, options.genotype_codes); !refusal.empty())
        throw error_in_file(input, refusal + ": nothing written");
    const std::size_t kept = result.loc.phenotype_names.size();
    const std::string unit = result.rotated ? " row" : " column";
    summary.push_back(std::string("markers in ") + (result.rotated ? "rows" : "columns") + ", " +
                      std::to_string(kept) + " phenotype" + unit + (kept == 1 ? "" : "s") + " kept" +
                      (result.phenotypes > kept ? " besides the id" : ""));
    loc = std::move(result.loc);
    positions = std::move(result.positions);
  } else if (command == "mapmaker") {
    std::ifstream in = open_input(input);
    loc = read_mapmaker_raw(in, input);
    if (args.has("--population")) loc.population = population_name(population);
    summary.push_back("a MAPMAKER raw file of a" + std::string(loc.population == "F2" ? "n " : " ") + loc.population +
                      " cross, " + std::to_string(loc.phenotype_names.size()) +
                      (loc.phenotype_names.size() == 1 ? " trait" : " traits") + " kept");
  } else {
    std::ifstream in = open_input(input);
    loc = read_wrapped_loc(in, input);
    if (args.has("--population")) loc.population = population_name(population);
  }

  require_markers(loc, input, summary, channels);
  if (command != "vcf") {
    // The VCF reader counts its own repeated marker names.
    if (const std::size_t n = repeated_marker_names(loc); n > 0)
      summary.push_back("warning: " + std::to_string(n) + " markers share a name with an earlier marker");
  }
  if (const std::size_t n = repeated_individual_names(loc); n > 0)
    summary.push_back("warning: " + std::to_string(n) + " individuals share a name with an earlier individual");
  loc.name = args.has("--name") ? args.value("--name") : file_stem(output);
  if (const std::string problem = check_loc(loc); !problem.empty()) throw error_in_file(input, problem);
  if (args.has("--positions")) {
    if (positions.empty()) throw error_in_file(input, "no positions to write for --positions");
    write_output(args.value("--positions"), [&](std::ostream& out) { write_reference_map(out, positions); },
                 channels);
  }
  write_output(output, [&](std::ostream& out) { write_loc(out, loc); }, channels);
  for (const std::string& line : summary) note(channels, line);
  note(channels, "wrote " + output + ": " + std::to_string(loc.markers.size()) + " markers, " +
                     std::to_string(loc.markers.empty() ? loc.individuals.size() : loc.markers.front().codes.size()) +
                     " individuals");
  return kExitOk;
}

}  // namespace

int tarvek::apps::import_main(int argc, char** argv) {
  Channels channels = standard_channels(kProgram);
  return run_guarded(channels, [&] { return run(argc, argv, channels); });
}

#ifndef TARVEK_NO_MAIN
int main(int argc, char** argv) { return tarvek::apps::import_main(argc, argv); }
#endif
