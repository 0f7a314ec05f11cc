// The companion programs end to end, in fresh folders: their command lines,
// the round trips R/qtl csv → loc → map → R/qtl csv and VCF → loc, a wrapped
// loc file against its one-line form, positions that add up, and broken
// inputs that leave nothing behind.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/process.hpp"
#include "support/text.hpp"

namespace tarvek::testing {
namespace {

const std::string kImport = TARVEK_IMPORT_PATH;
const std::string kExport = TARVEK_EXPORT_PATH;

#if defined(TARVEK_F2SIM_PATH) && defined(TARVEK_LOC2VCF_PATH)
#define TARVEK_HAVE_SIMULATOR 1
const std::string kSimulator = TARVEK_F2SIM_PATH;
const std::string kLoc2Vcf = TARVEK_LOC2VCF_PATH;
#endif

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// --- Command lines -----------------------------------------------------------

TEST(CompanionCommandLines, HelpVersionAndBadCommandLines) {
  TempDir dir;
  for (const std::string& program : {kImport, kExport}) {
    const std::string name = std::filesystem::path(program).filename().string();
    const RunResult help = run_program_in(program, dir, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(contains(help.out, "Usage:")) << help.out;
    EXPECT_EQ(help.err, "");
    const RunResult version = run_program_in(program, dir, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind(name + " ", 0), 0u) << version.out;
    const RunResult none = run_program_in(program, dir, {});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.err.rfind(name + ": ", 0), 0u) << none.err;
    EXPECT_EQ(run_program_in(program, dir, {"frobnicate", "x", "-o", "y"}).status, 2);
  }
  dir.write("in.vcf", "x");
  const std::vector<std::vector<std::string>> bad_imports = {
      {"vcf", "--parents", "P1,P2", "in.vcf"},                       // no -o
      {"vcf", "in.vcf", "-o", "out.loc"},                            // no parents
      {"vcf", "--parents", "P1", "in.vcf", "-o", "out.loc"},         // one parent
      {"vcf", "--parents", "P1,P1", "in.vcf", "-o", "out.loc"},      // the same twice
      {"vcf", "--parents", "P1,P2", "--min-gq", "x", "in.vcf", "-o", "out.loc"},
      {"vcf", "--parents", "P1,P2", "--population", "F3", "in.vcf", "-o", "out.loc"},
      {"vcf", "--parents", "P1,P2", "in.vcf", "-o", "in.vcf"},       // output over input
      {"rqtl", "--parents", "P1,P2", "in.vcf", "-o", "out.loc"},     // not an rqtl option
      {"rqtl", "--genotypes", "a,b,c,d,e,f", "in.vcf", "-o", "out.loc"},
      {"loc", "in.vcf", "other.loc", "-o", "out.loc"},               // two inputs
      {"loc", "--positions", "p.tsv", "in.vcf", "-o", "out.loc"},
  };
  for (const auto& args : bad_imports) {
    const RunResult r = run_program_in(kImport, dir, args);
    EXPECT_EQ(r.status, 2) << args.at(0) << " " << args.at(1) << ": " << r.err;
    EXPECT_FALSE(dir.exists("out.loc"));
  }
  const std::vector<std::vector<std::string>> bad_exports = {
      {"positions", "map.loc"},
      {"positions", "--map-function", "morgan", "map.loc", "-o", "p.tsv"},
      {"compare", "--truth", "", "map.loc", "-o", "c.tsv"},
      {"mapchart", "--truth", "t.tsv", "map.loc", "-o", "m.mct"},
  };
  for (const auto& args : bad_exports) EXPECT_EQ(run_program_in(kExport, dir, args).status, 2) << args.at(1);
  EXPECT_EQ(run_program_in(kImport, dir, {"vcf", "--help"}).status, 0);
}

#ifdef TARVEK_HAVE_SIMULATOR

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(text);
  while (std::getline(in, field, separator)) fields.push_back(field);
  if (!text.empty() && text.back() == separator) fields.emplace_back();
  return fields;
}

// Marker name -> genotype letters of a loc file (tarvek's layout; header,
// comment lines and anything after a ";" field left out), in file order.
struct Loc {
  std::vector<std::string> names;
  std::map<std::string, std::vector<std::string>> letters;
};

Loc parse_loc(const std::string& text) {
  Loc loc;
  const std::vector<std::string> lines = lines_of(text);
  for (std::size_t i = 4; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.size() < 2 || line[0] == ';' || line[0] == '\t') continue;
    std::vector<std::string> f = split(line, '\t');
    std::vector<std::string> g;
    for (std::size_t k = 1; k < f.size() && f[k] != ";" && !f[k].empty(); ++k) g.push_back(f[k]);
    loc.names.push_back(f[0]);
    loc.letters[f[0]] = g;
  }
  return loc;
}

// The groups of a map file: marker names with their letters and the printed
// r (empty for a group's last marker), and the rejected marker names.
struct MapMarkerLine {
  std::string name;
  std::vector<std::string> letters;
  std::string r;
  std::string dist;
};
struct Map {
  std::vector<std::vector<MapMarkerLine>> groups;
  std::vector<std::string> rejected;
};

Map parse_map(const std::string& text) {
  Map map;
  bool in_groups = false;
  bool rejected = false;
  std::vector<MapMarkerLine> open;
  for (const std::string& line : lines_of(text)) {
    if (line.rfind(";indOrdr", 0) == 0) {
      in_groups = true;
      continue;
    }
    if (!in_groups || line.empty()) continue;
    if (line == ";") {
      map.groups.push_back(open);
      open.clear();
    } else if (line.rfind(";bad", 0) == 0 || line.rfind(";excessive", 0) == 0) {
      rejected = true;
    } else if (line[0] != ';') {
      const std::vector<std::string> f = split(line, '\t');
      if (rejected) {
        map.rejected.push_back(f[0]);
        continue;
      }
      MapMarkerLine m;
      m.name = f[0];
      std::size_t k = 1;
      for (; k < f.size() && f[k] != ";"; ++k) m.letters.push_back(f[k]);
      if (k + 2 < f.size()) m.r = f[k + 1];
      if (k + 3 < f.size()) m.dist = f[k + 3];
      open.push_back(m);
    }
  }
  return map;
}

std::size_t count_of(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// Files in `dir` whose names start with a dot: what a half-done write leaves.
std::vector<std::string> hidden_files(const TempDir& dir) {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    if (!name.empty() && name[0] == '.' && name != ".stdout" && name != ".stderr") found.push_back(name);
  }
  return found;
}

std::string simulate(const TempDir& dir, const std::vector<std::string>& options) {
  const RunResult r = run_program_in(kSimulator, dir, options);
  EXPECT_EQ(r.status, 0) << r.err;
  return r.out;
}

// The chromosome f2sim's name carries: c02m0017 lies on 2, others on 9.
std::string chromosome_of(const std::string& name) {
  return name.size() == 8 && name[0] == 'c' && name[3] == 'm' ? std::to_string(std::stoi(name.substr(1, 2))) : "9";
}

// R/qtl's codes for tarvek's letters, mixing the two missing codes.
std::string rqtl_code(const std::string& letter, std::size_t salt) {
  if (letter == "A") return "AA";
  if (letter == "H") return "AB";
  if (letter == "B") return "BB";
  if (letter == "C") return "not AA";
  if (letter == "D") return "not BB";
  return salt % 2 == 0 ? "-" : "NA";
}

// What tarvek-export writes for a letter of the original population.
std::string exported_letter(const std::string& letter) {
  return letter == "A" || letter == "B" || letter == "C" || letter == "D" || letter == "H" ? letter : "-";
}

// --- R/qtl csv → loc → tarvek → R/qtl csv -----------------------------------

TEST(CompanionRoundTrip, RqtlCsvThroughTarvekKeepsEveryGenotype) {
  TempDir dir;
  const Loc population = parse_loc(simulate(
      dir, {"--chromosomes", "3", "--markers", "90", "--individuals", "80", "--error-rate", "0.03",
            "--distorted", "2", "--missing-heavy", "1", "--seed", "7"}));
  const std::size_t n = population.letters.at(population.names.front()).size();
  std::vector<std::string> ids;
  for (std::size_t i = 0; i < n; ++i) ids.push_back("plant_" + std::to_string(1000 - 7 * i));

  // Markers in columns, phenotypes first, positions on the third line.
  std::ostringstream csv;
  csv << "height,id";
  for (const auto& name : population.names) csv << ',' << name;
  csv << "\n,";
  for (const auto& name : population.names) csv << ',' << chromosome_of(name);
  csv << "\n,";
  for (std::size_t m = 0; m < population.names.size(); ++m) csv << ',' << m;
  csv << '\n';
  for (std::size_t i = 0; i < n; ++i) {
    csv << (i % 5 == 0 ? std::string("NA") : std::to_string(100 + i)) << ',' << ids[i];
    for (const auto& name : population.names) csv << ',' << rqtl_code(population.letters.at(name)[i], i + name.size());
    csv << '\n';
  }
  dir.write("cross.csv", csv.str());
  // The same file with markers in rows.
  std::vector<std::vector<std::string>> cells;
  for (const std::string& line : lines_of(csv.str())) cells.push_back(split(line, ','));
  std::ostringstream rows;
  for (std::size_t c = 0; c < cells.front().size(); ++c) {
    for (std::size_t r = 0; r < cells.size(); ++r) rows << (r > 0 ? "," : "") << cells[r][c];
    rows << '\n';
  }
  dir.write("cross_rows.csv", rows.str());

  const RunResult imported = run_program_in(kImport, dir, {"rqtl", "cross.csv", "-o", "cross.loc"});
  ASSERT_EQ(imported.status, 0) << imported.err;
  EXPECT_TRUE(contains(imported.err, "markers in columns, 1 phenotype column kept besides the id")) << imported.err;
  const RunResult rotated =
      run_program_in(kImport, dir, {"rqtl", "--name", "cross", "cross_rows.csv", "-o", "cross_rows.loc"});
  ASSERT_EQ(rotated.status, 0) << rotated.err;
  EXPECT_TRUE(contains(rotated.err, "markers in rows")) << rotated.err;
  EXPECT_EQ(dir.read("cross_rows.loc"), dir.read("cross.loc"));

  // Group, order the individuals too (so the map's columns are permuted),
  // and flag errors in groups above 20 markers.
  dir.write("matrix.txt", kRecombinationMatrix);
  const RunResult run = run_tarvek_in(dir, {"-g", "3", "8", "3", "-o", "-s", "20", "0.03", "cross.loc"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string map_text = dir.read("cross_map.loc");
  const Map map = parse_map(map_text);
  ASSERT_EQ(map.groups.size(), 3u);
  std::size_t flagged = 0;
  std::vector<std::string> mapped;
  for (const auto& group : map.groups) {
    for (const auto& m : group) {
      mapped.push_back(m.name);
      flagged += static_cast<std::size_t>(std::count(m.letters.begin(), m.letters.end(), "*"));
    }
  }
  ASSERT_GT(flagged, 0u) << "the run flagged no genotype: the test would not see \"*\" written as missing";
  ASSERT_FALSE(map.rejected.empty());

  const RunResult exported = run_program_in(kExport, dir, {"rqtl", "cross_map.loc", "-o", "out.csv"});
  ASSERT_EQ(exported.status, 0) << exported.err;
  const std::vector<std::string> out = lines_of(dir.read("out.csv"));
  ASSERT_EQ(out.size(), 3 + n);
  const std::vector<std::string> header = split(out[0], ',');
  const std::vector<std::string> chromosomes = split(out[1], ',');
  const std::vector<std::string> positions = split(out[2], ',');
  // The phenotype comes back after the id, with empty chromosome and position cells.
  ASSERT_EQ(header.size(), mapped.size() + 2);
  EXPECT_EQ(header[1], "height");
  EXPECT_EQ(chromosomes[1], "");
  EXPECT_EQ(positions[1], "");
  EXPECT_EQ(std::vector<std::string>(header.begin() + 2, header.end()), mapped);
  // Each group is named after the R/qtl chromosome its markers came from
  // (one name per group, the three chromosomes), positions rise within them.
  std::size_t column = 2;
  std::set<std::string> names;
  for (std::size_t g = 0; g < map.groups.size(); ++g) {
    double previous = 0.0;
    const std::string name = chromosomes[column];
    names.insert(name);
    for (std::size_t k = 0; k < map.groups[g].size(); ++k, ++column) {
      EXPECT_EQ(chromosomes[column], name);
      const double position = std::stod(positions[column]);
      EXPECT_GE(position, previous);
      previous = position;
    }
  }
  EXPECT_EQ(names, (std::set<std::string>{"1", "2", "3"}));
  // Every genotype of every mapped marker, for every individual by name in
  // the original order; the cells that differ are exactly the flagged ones,
  // written as missing.
  std::size_t differing = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::vector<std::string> row = split(out[3 + i], ',');
    ASSERT_EQ(row.size(), header.size());
    EXPECT_EQ(row[0], ids[i]);
    EXPECT_EQ(row[1], i % 5 == 0 ? std::string("NA") : std::to_string(100 + i));
    for (std::size_t c = 2; c < header.size(); ++c) {
      const std::string expected = exported_letter(population.letters.at(header[c])[i]);
      if (row[c] == expected) continue;
      ++differing;
      EXPECT_EQ(row[c], "-") << header[c] << " " << ids[i];
      EXPECT_NE(expected, "-");
    }
  }
  EXPECT_EQ(differing, flagged);
}

// --- VCF → loc --------------------------------------------------------------

TEST(CompanionVcfImport, SimulatedPopulationImportsToItsOwnGenotypes) {
  TempDir dir;
  const std::string loc_text =
      simulate(dir, {"--chromosomes", "3", "--markers", "60", "--individuals", "50", "--dominant-share", "0",
                     "--distorted", "1", "--missing-heavy", "1", "--seed", "3"});
  dir.write("pop.loc", loc_text);
  const Loc population = parse_loc(loc_text);
  const RunResult made = run_program_in(
      kLoc2Vcf, dir,
      {"pop.loc", "--monomorphic", "3", "--multiallelic", "2", "--non-snp", "4", "--missing-parent", "5",
       "--het-parent", "1", "--filtered", "2", "-o", "pop.vcf.gz"});
  ASSERT_EQ(made.status, 0) << made.err;

  const RunResult r =
      run_program_in(kImport, dir, {"vcf", "--parents", "P1,P2", "pop.vcf.gz", "-o", "imported.loc", "--positions",
                                    "positions.tsv"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.err, "tarvek-import: read 79 records: 62 markers, 17 skipped; 50 individuals\n")) << r.err;
  EXPECT_TRUE(contains(r.err, "tarvek-import: skipped 3 records: monomorphic (parents homozygous for the same allele)\n"));
  EXPECT_TRUE(contains(r.err, "tarvek-import: skipped 2 records: multiallelic\n"));
  EXPECT_TRUE(contains(r.err, "tarvek-import: skipped 4 records: not a SNP\n"));
  EXPECT_TRUE(contains(r.err, "tarvek-import: skipped 5 records: parent call missing\n"));
  EXPECT_TRUE(contains(r.err, "tarvek-import: skipped 1 records: parent heterozygous\n"));
  EXPECT_TRUE(contains(r.err, "tarvek-import: skipped 2 records: FILTER not PASS\n"));

  const std::string imported_text = dir.read("imported.loc");
  const Loc imported = parse_loc(imported_text);
  EXPECT_EQ(imported.letters, population.letters);
  EXPECT_EQ(imported_text.rfind("name = imported\npopt = F2\nnloc = 62\nnind = 50\n;individuals\tind001\t", 0), 0u);
  const std::vector<std::string> positions = lines_of(dir.read("positions.tsv"));
  ASSERT_EQ(positions.size(), 63u);
  EXPECT_EQ(positions[0], "marker\tchromosome\tposition");
  EXPECT_TRUE(std::find(positions.begin(), positions.end(), "c02m0005\tchr2\t5000") != positions.end());

  // A BCF file without IDs, other parent names, and missing genotypes written
  // as low-quality calls: the threshold brings the same genotypes back.
  ASSERT_EQ(run_program_in(kLoc2Vcf, dir,
                           {"pop.loc", "--no-ids", "--parents", "mother,father", "--call-missing", "-o", "pop.bcf"})
                .status,
            0);
  const RunResult bcf = run_program_in(
      kImport, dir, {"vcf", "--parents", "mother,father", "--min-gq", "20", "pop.bcf", "-o", "from_bcf.loc"});
  ASSERT_EQ(bcf.status, 0) << bcf.err;
  const Loc from_bcf = parse_loc(dir.read("from_bcf.loc"));
  ASSERT_EQ(from_bcf.names.size(), population.names.size());
  std::size_t missing = 0;
  for (const auto& name : population.names) {
    const auto& letters = population.letters.at(name);
    missing += static_cast<std::size_t>(std::count(letters.begin(), letters.end(), "-"));
    if (chromosome_of(name) == "9") continue;
    const std::string position = name.substr(0, 3) + "_" + std::to_string(std::stoi(name.substr(4)) * 1000);
    EXPECT_EQ(from_bcf.letters.at("chr" + std::to_string(std::stoi(name.substr(1, 2))) + "_" +
                                  std::to_string(std::stoi(name.substr(4)) * 1000)),
              letters)
        << name << " " << position;
  }
  EXPECT_TRUE(contains(bcf.err, std::to_string(missing) + " calls below the quality thresholds written as missing"))
      << bcf.err;
}

// --- Wrapped loc ------------------------------------------------------------

TEST(CompanionLocImport, WrappedLocGivesTheSameMapAsItsOneLineForm) {
  TempDir dir;
  const std::string loc_text = simulate(
      dir, {"--chromosomes", "3", "--markers", "60", "--individuals", "60", "--distorted", "1", "--seed", "11"});
  const Loc population = parse_loc(loc_text);
  const std::size_t n = population.letters.at(population.names.front()).size();

  // Another program's layout: header keys in another order with a comment,
  // lower-case genotypes in blocks of ten, wrapped at thirty, "u" for
  // missing, a phase comment in braces, and the individual names at the end.
  std::ostringstream wrapped;
  wrapped << "; exported by another program\nnind = " << n << "\npopt = F2\nname = cross\nnloc = "
          << population.names.size() << "\n\n";
  for (const auto& name : population.names) {
    wrapped << name << " {0-}\n";
    const auto& letters = population.letters.at(name);
    for (std::size_t i = 0; i < n; ++i) {
      if (i % 30 == 0) wrapped << (i > 0 ? "\n" : "") << "   ";
      else if (i % 10 == 0) wrapped << ' ';
      char c = static_cast<char>(std::tolower(static_cast<unsigned char>(letters[i][0])));
      wrapped << (c == '-' ? 'u' : c);
    }
    wrapped << "\n";
  }
  wrapped << "\nindividual names:\n";
  for (std::size_t i = 0; i < n; ++i) wrapped << "F2-" << i + 1 << "\n";
  dir.write("wrapped.loc", wrapped.str());
  dir.write("one_line.loc", loc_text);
  dir.write("matrix.txt", kRecombinationMatrix);

  const RunResult imported = run_program_in(kImport, dir, {"loc", "wrapped.loc", "-o", "imported.loc"});
  ASSERT_EQ(imported.status, 0) << imported.err;
  const std::string imported_text = dir.read("imported.loc");
  EXPECT_EQ(parse_loc(imported_text).letters, population.letters);
  EXPECT_TRUE(contains(imported_text, "\n;individuals\tF2-1\tF2-2\t")) << imported_text.substr(0, 200);

  ASSERT_EQ(run_tarvek_in(dir, {"-g", "3", "8", "3", "one_line.loc"}).status, 0);
  ASSERT_EQ(run_tarvek_in(dir, {"-g", "3", "8", "3", "imported.loc"}).status, 0);
  const std::string a = dir.read("one_line_map.loc");
  const std::string b = dir.read("imported_map.loc");
  const std::string from = ";grouping threshold LOD=";
  ASSERT_NE(a.find(from), std::string::npos);
  EXPECT_EQ(a.substr(a.find(from)), b.substr(b.find(from)));
  EXPECT_EQ(parse_map(a).groups.size(), 3u);
}

// --- Positions, MapChart and the comparison ---------------------------------

TEST(CompanionExport, PositionsAddUpAndAgreeWithTheMapFile) {
  TempDir dir;
  dir.write("cross.loc", simulate(dir, {"--chromosomes", "3", "--markers", "60", "--individuals", "100",
                                        "--seed", "5"}));
  dir.write("matrix.txt", kRecombinationMatrix);
  ASSERT_EQ(run_tarvek_in(dir, {"-g", "3", "8", "3", "cross.loc"}).status, 0);
  const Map map = parse_map(dir.read("cross_map.loc"));
  ASSERT_EQ(run_program_in(kExport, dir, {"positions", "--distances", "two-point", "cross_map.loc", "-o", "kosambi.tsv"})
                .status,
            0);
  ASSERT_EQ(run_program_in(kExport, dir,
                           {"positions", "--distances", "two-point", "--map-function", "haldane", "cross_map.loc",
                            "-o", "haldane.tsv"})
                .status,
            0);
  const std::vector<std::string> kosambi = lines_of(dir.read("kosambi.tsv"));
  const std::vector<std::string> haldane = lines_of(dir.read("haldane.tsv"));
  ASSERT_EQ(kosambi.front(), "group\tsegment\tmarker\tposition_cM\tr\tLOD\tflagged");
  std::size_t line = 1;
  for (std::size_t g = 0; g < map.groups.size(); ++g) {
    double kosambi_sum = 0.0;
    double haldane_sum = 0.0;
    double dist_sum = 0.0;
    for (std::size_t k = 0; k < map.groups[g].size(); ++k, ++line) {
      const std::vector<std::string> f = split(kosambi.at(line), '\t');
      const std::vector<std::string> h = split(haldane.at(line), '\t');
      ASSERT_EQ(f.size(), 7u);
      EXPECT_EQ(f[0], std::to_string(g + 1));
      EXPECT_EQ(f[1], "1") << "these groups have no unlinked neighbours";
      EXPECT_EQ(f[2], map.groups[g][k].name);
      EXPECT_NEAR(std::stod(f[3]), kosambi_sum, 1e-3 * static_cast<double>(k + 1));
      EXPECT_NEAR(std::stod(h[3]), haldane_sum, 1e-3 * static_cast<double>(k + 1));
      if (k + 1 == map.groups[g].size()) {
        EXPECT_EQ(f[4], "NA");
        continue;
      }
      const double r = std::stod(map.groups[g][k].r);
      EXPECT_EQ(f[4], map.groups[g][k].r);
      kosambi_sum += 25.0 * std::log((1 + 2 * r) / (1 - 2 * r));
      haldane_sum += -50.0 * std::log(1 - 2 * r);
      dist_sum += std::stod(map.groups[g][k].dist);
    }
    // The map file's dist column adds up to 0.434 (log10 e) of Kosambi's cM.
    EXPECT_NEAR(dist_sum, kosambi_sum * std::log10(std::exp(1.0)), 1e-3);
    EXPECT_GT(haldane_sum, kosambi_sum);
  }
  EXPECT_EQ(line, kosambi.size());

  // The multipoint positions add up from the r they print, with one line
  // per group on standard error.
  const RunResult multipoint = run_program_in(kExport, dir, {"positions", "cross_map.loc", "-o", "multipoint.tsv"});
  ASSERT_EQ(multipoint.status, 0) << multipoint.err;
  const std::vector<std::string> summary = lines_of(multipoint.err);
  ASSERT_EQ(summary.size(), map.groups.size()) << multipoint.err;
  const std::vector<std::string> estimated = lines_of(dir.read("multipoint.tsv"));
  ASSERT_EQ(estimated.size(), kosambi.size());
  line = 1;
  for (std::size_t g = 0; g < map.groups.size(); ++g) {
    EXPECT_EQ(summary[g].rfind("tarvek-export: group " + std::to_string(g + 1) + ": " +
                                   std::to_string(map.groups[g].size()) + " markers, error rate 0.0",
                               0),
              0u)
        << summary[g];
    double sum = 0.0;
    for (std::size_t k = 0; k < map.groups[g].size(); ++k, ++line) {
      const std::vector<std::string> f = split(estimated.at(line), '\t');
      EXPECT_EQ(f[2], map.groups[g][k].name);
      EXPECT_NEAR(std::stod(f[3]), sum, 1e-3 * static_cast<double>(k + 1));
      if (k + 1 == map.groups[g].size()) continue;
      const double r = std::stod(f[4]);
      ASSERT_TRUE(r > 0.0 && r < 0.5) << f[4];
      sum += 25.0 * std::log((1 + 2 * r) / (1 - 2 * r));
    }
  }

  ASSERT_EQ(run_program_in(kExport, dir, {"mapchart", "--distances", "two-point", "cross_map.loc", "-o", "map.mct"})
                .status,
            0);
  const std::string mct = dir.read("map.mct");
  EXPECT_EQ(count_of(mct, "\ngroup "), map.groups.size());
  EXPECT_EQ(count_of(mct, "\t0.0000\n"), map.groups.size());

  // The truth of the simulation: f2sim's names give chromosome and rank.
  std::ostringstream truth;
  truth << "marker\tchromosome\tposition\tcomment\n";
  for (const auto& group : map.groups) {
    for (const auto& m : group) {
      if (chromosome_of(m.name) != "9")
        truth << m.name << '\t' << chromosome_of(m.name) << '\t' << std::stoi(m.name.substr(4)) << "\tx\n";
    }
  }
  dir.write("truth.tsv", truth.str());
  const RunResult compared =
      run_program_in(kExport, dir, {"compare", "--truth", "truth.tsv", "cross_map.loc", "-o", "comparison.tsv"});
  ASSERT_EQ(compared.status, 0) << compared.err;
  const std::vector<std::string> rows = lines_of(dir.read("comparison.tsv"));
  ASSERT_EQ(rows.size(), map.groups.size() + 1);
  std::set<std::string> chromosomes;
  for (std::size_t i = 1; i < rows.size(); ++i) {
    const std::vector<std::string> f = split(rows[i], '\t');
    ASSERT_EQ(f.size(), 6u);
    EXPECT_EQ(f[1], f[2]);  // every mapped marker is in the truth
    EXPECT_EQ(f[2], f[4]);  // and all of a group's markers on one chromosome
    EXPECT_GT(std::fabs(std::stod(f[5])), 0.95) << rows[i];
    chromosomes.insert(f[3]);
  }
  EXPECT_EQ(chromosomes, (std::set<std::string>{"1", "2", "3"}));
}

// --- Broken input -------------------------------------------------------------

TEST(CompanionBadInput, TruncatedAndMalformedFilesGiveAClearErrorAndNoOutput) {
  TempDir dir;
  dir.write("pop.loc", simulate(dir, {"--chromosomes", "2", "--markers", "20", "--individuals", "30",
                                      "--dominant-share", "0", "--seed", "2"}));
  ASSERT_EQ(run_program_in(kLoc2Vcf, dir, {"pop.loc", "-o", "pop.vcf"}).status, 0);
  ASSERT_EQ(run_program_in(kLoc2Vcf, dir, {"pop.loc", "-o", "pop.vcf.gz"}).status, 0);
  dir.write("out.loc", "an earlier file\n");

  // A plain VCF cut inside a record, a bgzipped one cut at its end.
  const std::string vcf = dir.read("pop.vcf");
  dir.write("cut.vcf", vcf.substr(0, vcf.size() - 40));
  const std::string gz = dir.read("pop.vcf.gz");
  dir.write("cut.vcf.gz", gz.substr(0, gz.size() - 100));
  const std::size_t header_lines = count_of(vcf.substr(0, vcf.find("\n#CHROM") + 1), "\n") + 1;
  const RunResult cut = run_program_in(kImport, dir, {"vcf", "--parents", "P1,P2", "cut.vcf", "-o", "out.loc"});
  EXPECT_EQ(cut.status, 1);
  EXPECT_EQ(cut.err, "tarvek-import: cut.vcf: record 20 (line " + std::to_string(header_lines + 20) +
                         "): cannot be read (malformed or truncated)\n");
  const RunResult cut_gz = run_program_in(kImport, dir, {"vcf", "--parents", "P1,P2", "cut.vcf.gz", "-o", "out.loc"});
  EXPECT_EQ(cut_gz.status, 1);
  EXPECT_EQ(cut_gz.err.rfind("tarvek-import: cut.vcf.gz: ", 0), 0u) << cut_gz.err;
  EXPECT_TRUE(contains(cut_gz.err, "truncated")) << cut_gz.err;

  // A csv whose last line is cut, and one with a genotype R/qtl does not know.
  dir.write("cut.csv", "id,m1,m2,m3\n,1,1,1\na,AA,AB,BB\nb,AA,A");
  const RunResult cut_csv = run_program_in(kImport, dir, {"rqtl", "cut.csv", "-o", "out.loc"});
  EXPECT_EQ(cut_csv.status, 1);
  EXPECT_EQ(cut_csv.err, "tarvek-import: cut.csv: line 4: 3 fields where line 1 has 4\n");
  dir.write("odd.csv", "id,m1\n,1\na,AX\n");
  const RunResult odd = run_program_in(kImport, dir, {"rqtl", "odd.csv", "-o", "out.loc"});
  EXPECT_EQ(odd.status, 1);
  EXPECT_EQ(odd.err.rfind("tarvek-import: odd.csv: line 3, column 2: unknown genotype \"AX\"", 0), 0u) << odd.err;
  const RunResult absent = run_program_in(kImport, dir, {"loc", "absent.loc", "-o", "out.loc"});
  EXPECT_EQ(absent.status, 1);
  EXPECT_EQ(absent.err.rfind("tarvek-import: absent.loc: cannot open", 0), 0u) << absent.err;
  const RunResult no_parent = run_program_in(kImport, dir, {"vcf", "--parents", "P1,P3", "pop.vcf", "-o", "out.loc"});
  EXPECT_EQ(no_parent.status, 1);
  EXPECT_EQ(no_parent.err, "tarvek-import: pop.vcf: no sample named P3\n");
  EXPECT_EQ(dir.read("out.loc"), "an earlier file\n");

  // A map file cut inside a group.
  dir.write("matrix.txt", kRecombinationMatrix);
  ASSERT_EQ(run_tarvek_in(dir, {"-g", "2", "8", "3", "pop.loc"}).status, 0);
  const std::string map = dir.read("pop_map.loc");
  const std::size_t end_of_group = map.find("\n;\n");
  dir.write("cut_map.loc", map.substr(0, end_of_group + 1));
  const std::size_t last_line = count_of(map.substr(0, end_of_group + 1), "\n");
  for (const char* command : {"positions", "rqtl", "mapchart"}) {
    const RunResult r = run_program_in(kExport, dir, {command, "cut_map.loc", "-o", "out.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tarvek-export: cut_map.loc: line " + std::to_string(last_line) +
                         ": the file ends inside group 1 (no closing \";\" line): truncated?\n");
  }
  EXPECT_FALSE(dir.exists("out.txt"));
  EXPECT_TRUE(hidden_files(dir).empty());
}

// --- The shipped example, as the README runs it -----------------------------

TEST(CompanionExample, ShippedVcfToRqtlAndMapChart) {
  TempDir dir;
  for (const std::string name : {"cross.vcf", "matrix.txt", "mapping_parameters.txt"}) {
    std::ifstream in(source_dir() / "examples" / name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    dir.write("examples/" + name, text.str());
  }
  const RunResult imported = run_program_in(
      kImport, dir, {"vcf", "--parents", "P1,P2", "examples/cross.vcf", "-o", "examples/cross_vcf.loc"});
  ASSERT_EQ(imported.status, 0) << imported.err;
  EXPECT_TRUE(contains(imported.err, "64 markers, 12 skipped; 100 individuals")) << imported.err;
  ASSERT_EQ(run_tarvek_in(dir, {"examples/cross_vcf.loc"}).status, 0);
  ASSERT_EQ(run_program_in(kExport, dir, {"rqtl", "examples/cross_vcf_map.loc", "-o", "cross.csv"}).status, 0);
  ASSERT_EQ(run_program_in(kExport, dir, {"mapchart", "examples/cross_vcf_map.loc", "-o", "cross.mct"}).status, 0);
  const std::vector<std::string> csv = lines_of(dir.read("cross.csv"));
  ASSERT_EQ(csv.size(), 103u);
  EXPECT_EQ(csv[3].rfind("ind001,", 0), 0u);
  EXPECT_EQ(count_of(dir.read("cross.mct"), "\ngroup "), 3u);
}

#endif  // TARVEK_HAVE_SIMULATOR

}  // namespace
}  // namespace tarvek::testing
