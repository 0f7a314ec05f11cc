// Population types and switched alleles through the whole program: the -p and
// -a options and their parameters-file settings, the warning about the loc
// header's population type, and simulated backcross, inbred and F2
// populations mapped and compared with their true maps.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/process.hpp"
#include "support/simulator.hpp"

namespace tarvek::testing {
namespace {

const std::string kMatrixEcho = "000000\n002101\n020011\n010000\n001000\n011000\n";
const std::string kDefaultEcho =
    "\n\nchromosomes = 12\nLOD for core grouping = 16\nminimum LOD for grouping = 4\n"
    "missing value screening ratio = 0.2\n1 : 1 segregation chi_square screening ratio = 50\n"
    "1 : 2 : 1 segregation chi_square screening ratio = 50\n"
    "1 : 3 segregation chi_square screening ratio = 50\norder plants = 0\nerrsweep = 1\n"
    "ERRSWEEP group threshold = 100\nsingleton threshold = 0.05\n";
const std::string kHeaderOnly = "h1\nh2\nh3\nh4\n";
const std::string kParameters =
    "matrix=matrix.txt\nc=12\ncore=16\nmin=4\nm=0.2\nab=50\nabh=50\nac=50\norder=0\n";

bool starts_with(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

RunResult run_header_only(const TempDir& dir, std::vector<std::string> args) {
  dir.write("x.loc", kHeaderOnly);
  dir.write("matrix.txt", kRecombinationMatrix);
  args.push_back("x.loc");
  return run_tarvek_in(dir, args);
}

TEST(PopulationOptions, NonDefaultSettingsAreEchoedAfterTheClassicOnes) {
  {
    TempDir dir;
    const RunResult r = run_header_only(dir, {"-p", "RILsib", "-a"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(starts_with(dir.read("tarvek_log.txt"),
                            kDefaultEcho + "population type = RILsib\nswitched alleles = 1\n" +
                                kMatrixEcho));
  }
  {
    // F2 is the default: nothing more is echoed.
    TempDir dir;
    const RunResult r = run_header_only(dir, {"-p", "F2"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(starts_with(dir.read("tarvek_log.txt"), kDefaultEcho + kMatrixEcho));
  }
  // Names are read in any case.
  for (const char* name : {"bc1", "rilSIB", "f2"}) {
    TempDir dir;
    const RunResult r = run_header_only(dir, {"-p", name});
    EXPECT_EQ(r.status, 0) << name;
    const std::string echo = std::string(name) == "f2" ? "" : std::string(name) == "bc1" ? "population type = BC1\n"
                                                                                         : "population type = RILsib\n";
    EXPECT_TRUE(starts_with(dir.read("tarvek_log.txt"), kDefaultEcho + echo + kMatrixEcho)) << name;
  }
}

TEST(PopulationOptions, AnUnknownTypeOrAMissingOneEndsTheRun) {
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"-p", "BC2"}, "unknown population type \"BC2\" for -p (F2, BC1, DH, RIL or RILsib)"},
      {{"-p", " DH"}, "unknown population type \" DH\" for -p (F2, BC1, DH, RIL or RILsib)"},
      {{"-p", "RI8"}, "unknown population type \"RI8\" for -p (F2, BC1, DH, RIL or RILsib)"},
      {{"-p"}, "-p needs a population type before the loc file"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const RunResult r = run_header_only(dir, c.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tarvek: " + c.message + "\n");
    EXPECT_EQ(dir.read("tarvek_log.txt"), "\n\nFatal error!: " + c.message + "\n");
    EXPECT_FALSE(dir.exists("x_map.loc"));
  }
}

TEST(PopulationParametersFile, SettingsAfterTheNinthLine) {
  {
    TempDir dir;
    dir.write("x.loc", kHeaderOnly);
    dir.write("matrix.txt", kRecombinationMatrix);
    dir.write("mapping_parameters.txt",
              kParameters + "a note\npopulation = dh\nSwitched_Alleles=1\nother=7\n");
    const RunResult r = run_tarvek_in(dir, {"x.loc"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(starts_with(dir.read("tarvek_log.txt"),
                            "getting parameters from mapping_parameters.txt" + kDefaultEcho +
                                "population type = DH\nswitched alleles = 1\n" + kMatrixEcho));
  }
  const struct {
    std::string lines;
    std::string message;
  } bad[] = {
      {"population=dh2\n",
       "unknown population type \"dh2\" for population= in the parameters file (F2, BC1, DH, RIL "
       "or RILsib)"},
      {"switched alleles=2\n",
       "switched alleles= in the parameters file takes 0 or 1, not \"2\""},
  };
  for (const auto& c : bad) {
    TempDir dir;
    dir.write("x.loc", kHeaderOnly);
    dir.write("matrix.txt", kRecombinationMatrix);
    dir.write("mapping_parameters.txt", kParameters + c.lines);
    const RunResult r = run_tarvek_in(dir, {"x.loc"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tarvek: " + c.message + "\n");
  }
}

// A small backcross: M1 and M2 linked, M3 unlinked.
const std::string kBackcrossLines =
    "M1\tA\tA\tH\tH\tA\tH\tA\tH\nM2\tA\tA\tH\tH\tA\tH\tA\tA\nM3\tA\tH\tA\tH\tH\tA\tH\tA\n";

TEST(PopulationHeader, APoptLineNamingAnotherTypeIsWarnedAboutOnStandardError) {
  TempDir dir;
  dir.write("matrix.txt", kRecombinationMatrix);
  dir.write("x.loc", "name = x\npopt = F2\nnloc = 3\nnind = 8\n" + kBackcrossLines);
  const RunResult quiet = run_tarvek_in(dir, {"-s", "100", "0.05", "x.loc"});
  const std::string log = dir.read("tarvek_log.txt");
  dir.write("x.loc", "name = x\npopt = BC1\nnloc = 3\nnind = 8\n" + kBackcrossLines);
  const RunResult warned = run_tarvek_in(dir, {"-s", "100", "0.05", "x.loc"});
  EXPECT_EQ(warned.status, 0);
  EXPECT_EQ(warned.err,
            "tarvek: warning: the loc file's header says \"popt = BC1\", but the markers are read "
            "as F2; give -p BC1 (or population=BC1 in mapping_parameters.txt) to map them as "
            "BC1\n");
  EXPECT_EQ(quiet.err, "");
  // Nothing else changes: standard output, the log, and the map file but
  // for the header line it copies.
  EXPECT_EQ(warned.out, quiet.out);
  EXPECT_EQ(log, dir.read("tarvek_log.txt"));
  EXPECT_NE(dir.read("x_map.loc").find("popt = BC1\nnloc = 3\n"), std::string::npos);
  // With the type in force, no warning; "RI8" means selfed inbred lines.
  EXPECT_EQ(run_tarvek_in(dir, {"-p", "BC1", "x.loc"}).err, "");
  dir.write("x.loc", "name = x\npopt = RI8\nnloc = 3\nnind = 8\n" + kBackcrossLines);
  EXPECT_EQ(run_tarvek_in(dir, {"-p", "RIL", "x.loc"}).err, "");
}

// --- Simulated populations against their true maps ---------------------------

struct TrueMarker {
  int chromosome = 0;
  double position = 0.0;
  bool switched = false;
};

std::map<std::string, TrueMarker> read_truth(const std::string& text) {
  std::map<std::string, TrueMarker> truth;
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string name;
    TrueMarker m;
    int switched = 0;
    if (fields >> name >> m.chromosome >> m.position >> switched) {
      m.switched = switched == 1;
      truth[name] = m;
    }
  }
  return truth;
}

struct MapFile {
  std::vector<std::vector<std::string>> groups;  // marker names in map order
  std::vector<std::string> switched;             // the ";switched alleles" line
  bool has_rejects = false;
};

MapFile read_map(const std::string& text) {
  MapFile map;
  std::istringstream in(text);
  std::string line;
  for (int k = 0; k < 4; ++k) std::getline(in, line);
  std::vector<std::string> group;
  while (std::getline(in, line)) {
    if (line.rfind(";bad segregation", 0) == 0 || line.rfind(";excessive missing", 0) == 0) {
      map.has_rejects = true;
      break;
    }
    if (line.rfind(";switched alleles", 0) == 0) {
      std::istringstream names(line.substr(line.find('\t') + 1));
      for (std::string name; std::getline(names, name, '\t');) map.switched.push_back(name);
    } else if (line == ";") {
      map.groups.push_back(group);
      group.clear();
    } else if (line.size() >= 2 && line[0] != ';' && line[0] != '\t') {
      group.push_back(line.substr(0, line.find('\t')));
    }
  }
  return map;
}

// The pairs of markers of a group whose map order differs from their true
// order, in the group's better orientation: their number (the swaps of
// neighbours that would put the group in true order) and the largest true
// distance between the two markers of such a pair.
struct Misordered {
  std::size_t pairs = 0;
  double widest = 0.0;
};

Misordered misordered(const std::vector<std::string>& group,
                      const std::map<std::string, TrueMarker>& truth) {
  Misordered rising, falling;
  for (std::size_t a = 0; a < group.size(); ++a)
    for (std::size_t b = a + 1; b < group.size(); ++b) {
      const double pa = truth.at(group[a]).position, pb = truth.at(group[b]).position;
      Misordered& wrong = pa > pb ? rising : falling;
      ++wrong.pairs;
      wrong.widest = std::max(wrong.widest, pa > pb ? pa - pb : pb - pa);
    }
  return rising.pairs <= falling.pairs ? rising : falling;
}

// Every group holds the markers of one chromosome, each chromosome is one
// group, and each group is in true order but for markers less than
// `close_cM` apart, which a few recombinations (or errors) may swap.
void expect_true_map(const MapFile& map, const std::map<std::string, TrueMarker>& truth,
                     int chromosomes, double close_cM) {
  ASSERT_EQ(map.groups.size(), static_cast<std::size_t>(chromosomes));
  std::set<int> seen;
  std::size_t placed = 0;
  for (const auto& group : map.groups) {
    const int chromosome = truth.at(group.front()).chromosome;
    EXPECT_TRUE(seen.insert(chromosome).second) << "chromosome " << chromosome << " split";
    placed += group.size();
    for (const std::string& name : group)
      EXPECT_EQ(truth.at(name).chromosome, chromosome) << name;
    const Misordered wrong = misordered(group, truth);
    EXPECT_LT(wrong.widest, close_cM) << wrong.pairs << " pairs misordered on chromosome "
                                      << chromosome;
    EXPECT_LE(wrong.pairs, group.size() / 10) << "chromosome " << chromosome;
  }
  EXPECT_EQ(placed, truth.size());
}

struct Simulated {
  RunResult run;
  MapFile map;
  std::map<std::string, TrueMarker> truth;
};

Simulated simulate_and_map(const TempDir& dir, const std::string& simulator_options,
                           std::vector<std::string> args) {
  Simulated s;
  const std::string command = std::string(kSimulator) + " " + simulator_options + " --truth '" +
                              (dir.path() / "truth.tsv").string() + "' > '" +
                              (dir.path() / "cross.loc").string() + "'";
  if (std::system(command.c_str()) != 0) {
    ADD_FAILURE() << command;
    return s;
  }
  dir.write("matrix.txt", kRecombinationMatrix);
  args.push_back("cross.loc");
  s.run = run_tarvek_in(dir, args);
  s.map = read_map(dir.read("cross_map.loc"));
  s.truth = read_truth(dir.read("truth.tsv"));
  return s;
}

const char* const kSmall =
    "--chromosomes 3 --markers 90 --individuals 150 --length 120 --error-rate 0.005 "
    "--missing-rate 0.02 --seed 11";

TEST(SimulatedPopulations, BackcrossGroupsAndOrdersAsItsTrueMap) {
  if (kSimulator == nullptr) GTEST_SKIP() << "the population simulator is not built";
  TempDir dir;
  const Simulated s =
      simulate_and_map(dir, std::string(kSmall) + " --population BC1", {"-g", "3", "16", "4", "-p", "BC1"});
  ASSERT_EQ(s.run.status, 0) << s.run.err;
  EXPECT_EQ(s.run.err, "");
  EXPECT_FALSE(s.map.has_rejects);
  expect_true_map(s.map, s.truth, 3, 3.0);

  // As an F2 the same file is rejected whole for its 1:2:1 segregation, and
  // the header's population type is pointed out.
  TempDir f2;
  const Simulated as_f2 =
      simulate_and_map(f2, std::string(kSmall) + " --population BC1", {"-g", "3", "16", "4"});
  EXPECT_TRUE(as_f2.map.groups.empty());
  EXPECT_TRUE(starts_with(as_f2.run.err, "tarvek: warning: the loc file's header says"));
}

TEST(SimulatedPopulations, InbredLinesGroupAndOrderAsTheirTrueMap) {
  if (kSimulator == nullptr) GTEST_SKIP() << "the population simulator is not built";
  for (const char* type : {"RIL", "RILsib"}) {
    SCOPED_TRACE(type);
    TempDir dir;
    const Simulated s = simulate_and_map(dir, std::string(kSmall) + " --population " + type,
                                         {"-g", "3", "10", "4", "-p", type});
    ASSERT_EQ(s.run.status, 0) << s.run.err;
    EXPECT_EQ(s.run.err, "");
    expect_true_map(s.map, s.truth, 3, 3.0);
  }
}

TEST(SimulatedPopulations, SwitchedAllelesAreFlippedAndListed) {
  if (kSimulator == nullptr) GTEST_SKIP() << "the population simulator is not built";
  const std::string options = std::string(kSmall) + " --switched 3 --switched-run 2";
  TempDir dir;
  const Simulated s = simulate_and_map(dir, options, {"-g", "3", "16", "4", "-a"});
  ASSERT_EQ(s.run.status, 0) << s.run.err;
  std::vector<std::string> planted;
  for (const auto& [name, marker] : s.truth)
    if (marker.switched) planted.push_back(name);
  EXPECT_EQ(planted.size(), 6u);
  std::vector<std::string> flipped = s.map.switched;  // in the loc file's order
  std::sort(flipped.begin(), flipped.end());
  EXPECT_EQ(flipped, planted);
  expect_true_map(s.map, s.truth, 3, 3.0);
  const std::string log = dir.read("tarvek_log.txt");
  for (const std::string& name : planted)
    EXPECT_NE(log.find("switched alleles: " + name + "\n"), std::string::npos) << name;

  // Without -a the switched runs do not join their chromosomes' groups.
  TempDir plain;
  const Simulated without = simulate_and_map(plain, options, {"-g", "3", "16", "4"});
  EXPECT_TRUE(without.map.switched.empty());
  EXPECT_EQ(plain.read("cross_map.loc").find(";switched alleles"), std::string::npos);
  EXPECT_GT(without.map.groups.size(), 3u);
}

}  // namespace
}  // namespace tarvek::testing
