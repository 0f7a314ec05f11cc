// Nothing lost: over simulated populations and option sets, and over odd but
// valid loc files, the map file accounts for every input locus line and its
// score can be recomputed from what it prints.
//
// For each case the program runs on x.loc, again on x.loc (the same bytes),
// and on the map file it wrote (a map file is a loc file). Every map must:
// - hold every input locus line exactly once, in a group or in a rejected
//   section, under its name, with its genotypes in the column order its
//   ";indOrdr" line states (the individuals in the numbering of the input,
//   carried over from an input's own ";indOrdr" line), "*" allowed in the
//   groups only;
// - print as ";newscore=" the sum over the groups of the neighbours' pair
//   scores recomputed from the printed genotypes with the scoring matrix.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/process.hpp"
#include "support/simulator.hpp"

namespace tarvek::testing {
namespace {

// A locus line: its name and one letter per individual, "-" for anything
// that reads as missing ("*" included, as the reader takes it).
struct Locus {
  std::string name;
  std::string letters;
};

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool is_comment(const std::string& line) {
  return line.size() < 2 || line[0] == '\t' || line[0] == ';';
}

char as_read(char c) {
  const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return std::string("ABCDH").find(u) != std::string::npos ? u : '-';
}

// Name and single-letter fields of a tab-separated locus line, up to a "\t;"
// (the pair statistics of a map's group line) or a trailing tab (a map's
// rejected line). `keep_flags` leaves "*" as it is.
Locus parse_locus(const std::string& line, bool keep_flags) {
  Locus locus;
  const auto tab = line.find('\t');
  locus.name = line.substr(0, tab);
  if (tab == std::string::npos) return locus;
  std::string rest = line.substr(tab + 1);
  if (const auto pair = rest.find("\t;"); pair != std::string::npos) rest.erase(pair);
  if (!rest.empty() && rest.back() == '\t') rest.pop_back();
  std::istringstream fields(rest);
  std::string field;
  while (std::getline(fields, field, '\t')) {
    EXPECT_EQ(field.size(), 1u) << "a genotype field of more than one character in: " << line;
    const char c = field.empty() ? '?' : field[0];
    locus.letters += keep_flags && c == '*' ? '*' : as_read(c);
  }
  return locus;
}

// The entries of a ";indOrdr" line, up to its ";" field.
std::vector<int> parse_order(const std::string& line) {
  std::vector<int> order;
  std::istringstream fields(line.substr(line.find('\t') + 1));
  std::string field;
  while (std::getline(fields, field, '\t') && field != ";") order.push_back(std::stoi(field));
  return order;
}

// An input loc file: its locus lines and the individual each column holds
// (the identity, or the input's own ";indOrdr" when it names one for every
// column, as a map file read back does).
struct Input {
  std::vector<Locus> loci;
  std::vector<int> individual_of_column;
};

Input read_input(const std::string& text) {
  Input input;
  const auto lines = lines_of(text);
  std::vector<std::vector<int>> stated;
  for (std::size_t k = 4; k < lines.size(); ++k) {
    if (lines[k].rfind(";indOrdr\t", 0) == 0) stated.push_back(parse_order(lines[k]));
    if (!is_comment(lines[k])) input.loci.push_back(parse_locus(lines[k], false));
  }
  const std::size_t n = input.loci.empty() ? 0 : input.loci[0].letters.size();
  for (const Locus& l : input.loci) EXPECT_EQ(l.letters.size(), n) << "test input " << l.name;
  // The last order that names every column is the one taken.
  for (std::size_t i = 0; i < n; ++i) input.individual_of_column.push_back(static_cast<int>(i));
  for (const auto& order : stated)
    if (order.size() == n) input.individual_of_column = order;
  return input;
}

struct MapFile {
  bool has_score = false;
  std::int64_t score = 0;
  std::vector<int> individual_at;  // the ";indOrdr" line
  std::vector<std::vector<Locus>> groups;
  std::vector<Locus> rejected;
};

MapFile read_map(const std::string& text) {
  MapFile map;
  const auto lines = lines_of(text);
  bool in_group = false;
  bool rejected = false;
  for (std::size_t k = 4; k < lines.size(); ++k) {
    const std::string& line = lines[k];
    if (line.rfind(";newscore=", 0) == 0) {
      map.has_score = true;
      map.score = std::stoll(line.substr(10));
    } else if (line.rfind(";indOrdr\t", 0) == 0) {
      map.individual_at = parse_order(line);
    } else if (line == ";bad segregation ratio markers" || line == ";excessive missing value markers") {
      rejected = true;
    } else if (line == ";") {
      EXPECT_TRUE(in_group) << "a group's closing line without a group, line " << k + 1;
      in_group = false;
    } else if (!is_comment(line)) {
      if (rejected) {
        map.rejected.push_back(parse_locus(line, true));
        continue;
      }
      if (!in_group) map.groups.emplace_back();
      in_group = true;
      map.groups.back().push_back(parse_locus(line, true));
    }
  }
  EXPECT_FALSE(in_group) << "the last group has no closing line";
  return map;
}

int code_of(char letter) {
  switch (letter) {
    case 'A': return 1;
    case 'B': return 2;
    case 'C': return 3;
    case 'D': return 4;
    case 'H': return 5;
    default: return 0;
  }
}

using Matrix = std::vector<std::vector<std::int32_t>>;

Matrix parse_matrix(const std::string& text) {
  Matrix m(6, std::vector<std::int32_t>(6, 0));
  std::size_t row = 0;
  for (const std::string& line : lines_of(text)) {
    if (line.empty() || line[0] == ';' || row == 6) continue;
    std::istringstream fields(line);
    for (auto& v : m[row]) fields >> v;
    ++row;
  }
  return m;
}

// From the definition: for neighbours p, q of a group, the sum over the
// individuals of matrix[code at p][code at q]; a flagged genotype scores 0.
// 32-bit arithmetic that wraps, as the program's scores do.
std::int32_t recomputed_score(const MapFile& map, const Matrix& matrix) {
  std::uint32_t sum = 0;
  for (const auto& group : map.groups) {
    for (std::size_t k = 0; k + 1 < group.size(); ++k) {
      const std::string& p = group[k].letters;
      const std::string& q = group[k + 1].letters;
      for (std::size_t i = 0; i < p.size() && i < q.size(); ++i) {
        if (p[i] == '*' || q[i] == '*') continue;
        sum += static_cast<std::uint32_t>(
            matrix[static_cast<std::size_t>(code_of(p[i]))][static_cast<std::size_t>(code_of(q[i]))]);
      }
    }
  }
  return static_cast<std::int32_t>(sum);
}

// Whether `out` (a map line) can be the input line `in`: the same name, and
// at every position the genotype of the individual the map states there.
bool carries(const Locus& in, const Locus& out, const std::vector<int>& column_at, bool in_group) {
  if (in.name != out.name || out.letters.size() != column_at.size()) return false;
  for (std::size_t i = 0; i < column_at.size(); ++i) {
    const char expected = in.letters.at(static_cast<std::size_t>(column_at[i]));
    if (out.letters[i] != expected && !(in_group && out.letters[i] == '*')) return false;
  }
  return true;
}

// Every input line matched with exactly one map line (a bipartite matching
// per name, since names may repeat).
void expect_every_locus_once(const Input& input, const MapFile& map, const std::string& what) {
  const std::size_t n = input.individual_of_column.size();
  ASSERT_EQ(map.individual_at.size(), n) << what << ": the ;indOrdr line";
  std::map<int, int> column_of_individual;
  for (std::size_t c = 0; c < n; ++c) column_of_individual[input.individual_of_column[c]] = static_cast<int>(c);
  std::vector<int> column_at;
  for (const int individual : map.individual_at) {
    ASSERT_TRUE(column_of_individual.count(individual))
        << what << ": the ;indOrdr line names individual " << individual << ", not in the input";
    column_at.push_back(column_of_individual[individual]);
  }
  std::vector<int> sorted = column_at;
  std::sort(sorted.begin(), sorted.end());
  for (std::size_t c = 0; c < n; ++c) ASSERT_EQ(sorted[c], static_cast<int>(c)) << what << ": ;indOrdr is no permutation";

  struct Written {
    const Locus* locus;
    bool in_group;
  };
  std::vector<Written> written;
  for (const auto& group : map.groups)
    for (const Locus& l : group) written.push_back({&l, true});
  for (const Locus& l : map.rejected) written.push_back({&l, false});
  ASSERT_EQ(written.size(), input.loci.size()) << what << ": locus lines in the map and in the input";

  std::map<std::string, std::vector<std::size_t>> inputs_named, outputs_named;
  for (std::size_t i = 0; i < input.loci.size(); ++i) inputs_named[input.loci[i].name].push_back(i);
  for (std::size_t o = 0; o < written.size(); ++o) outputs_named[written[o].locus->name].push_back(o);
  for (const auto& named : inputs_named) {
    const std::string& name = named.first;
    const std::vector<std::size_t>& ins = named.second;  // a lambda below captures it
    const auto& outs = outputs_named[name];
    ASSERT_EQ(outs.size(), ins.size()) << what << ": lines named " << name;
    // Kuhn's augmenting paths: match[o] is the input matched to output o.
    std::vector<int> match(outs.size(), -1);
    std::function<bool(std::size_t, std::vector<bool>&)> place = [&](std::size_t i, std::vector<bool>& seen) {
      for (std::size_t o = 0; o < outs.size(); ++o) {
        const Written& w = written[outs[o]];
        if (seen[o] || !carries(input.loci[ins[i]], *w.locus, column_at, w.in_group)) continue;
        seen[o] = true;
        if (match[o] < 0 || place(static_cast<std::size_t>(match[o]), seen)) {
          match[o] = static_cast<int>(i);
          return true;
        }
      }
      return false;
    };
    for (std::size_t i = 0; i < ins.size(); ++i) {
      std::vector<bool> seen(outs.size(), false);
      ASSERT_TRUE(place(i, seen)) << what << ": input line " << name << " "
                                  << input.loci[ins[i]].letters << " is not in the map as it was";
    }
  }
}

void expect_map_sound(const Input& input, const std::string& map_text, const Matrix& matrix,
                      const std::string& what) {
  const MapFile map = read_map(map_text);
  ASSERT_TRUE(map.has_score) << what << ": no ;newscore= line";
  EXPECT_EQ(map.score, recomputed_score(map, matrix)) << what << ": the printed score";
  for (const Locus& l : map.rejected)
    EXPECT_EQ(l.letters.find('*'), std::string::npos) << what << ": a rejected locus with a flag: " << l.name;
  expect_every_locus_once(input, map, what);
}

// One case: the loc file, the files beside it, the options before its name.
struct Case {
  std::string label;
  std::string simulator;             // f2sim options; empty for a given loc file
  std::string loc;                   // the loc file when no simulator options
  std::vector<std::string> options;  // empty: the parameters file
  std::string parameters;            // mapping_parameters.txt for the parameters-file mode
  std::string matrix = kRecombinationMatrix;
  bool expect_flags = false;         // error detection must flag genotypes
  bool expect_rejected = false;      // screening must reject loci
};

std::ostream& operator<<(std::ostream& out, const Case& c) { return out << c.label; }

std::vector<std::string> with_loc(std::vector<std::string> options, const std::string& loc) {
  options.push_back(loc);
  return options;
}

void run_case(const Case& c) {
  TempDir dir;
  if (!c.simulator.empty()) {
    if (kSimulator == nullptr) GTEST_SKIP() << "the population simulator is not built";
    const std::string command =
        std::string(kSimulator) + " " + c.simulator + " > '" + (dir.path() / "x.loc").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  } else {
    dir.write("x.loc", c.loc);
  }
  dir.write("matrix.txt", c.matrix);
  if (c.options.empty()) dir.write("mapping_parameters.txt", c.parameters);
  const Matrix matrix = parse_matrix(c.matrix);
  const Input input = read_input(dir.read("x.loc"));

  const RunResult first = run_tarvek_in(dir, with_loc(c.options, "x.loc"));
  ASSERT_EQ(first.status, 0) << first.err;
  const std::string map = dir.read("x_map.loc");
  const std::string log = dir.read("tarvek_log.txt");
  expect_map_sound(input, map, matrix, "first run");
  if (c.expect_flags) {
    EXPECT_NE(map.find('*'), std::string::npos) << "no genotype was flagged";
    EXPECT_NE(log.find("singletons in group"), std::string::npos) << "no locus was taken out";
  }
  if (c.expect_rejected) {
    EXPECT_NE(map.find(";bad segregation ratio markers"), std::string::npos);
    EXPECT_NE(map.find(";excessive missing value markers"), std::string::npos);
  }

  const RunResult again = run_tarvek_in(dir, with_loc(c.options, "x.loc"));
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_TRUE(dir.read("x_map.loc") == map) << "a repeated run wrote another map file";
  EXPECT_TRUE(dir.read("tarvek_log.txt") == log) << "a repeated run wrote another log";
  EXPECT_EQ(again.out, first.out);

  const RunResult back = run_tarvek_in(dir, with_loc(c.options, "x_map.loc"));
  ASSERT_EQ(back.status, 0) << back.err;
  expect_map_sound(read_input(map), dir.read("x_map_map.loc"), matrix, "run on the map file");
}

class NothingLost : public ::testing::TestWithParam<Case> {};

TEST_P(NothingLost, EveryLocusOnceAndTheScoreRecomputed) { run_case(GetParam()); }

const std::vector<std::string> kGrouped = {"-g", "2", "3", "2", "-s", "2", "0.1", "-o"};

std::string parameters_file(const std::string& chromosomes, const std::string& core,
                            const std::string& missing, const std::string& order,
                            const std::string& matrix_line = "matrix=matrix.txt") {
  return matrix_line + "\nchromosomes=" + chromosomes + "\ncore_LOD=" + core +
         "\nmin_LOD=3\nmissing=" + missing + "\nchi_1to1=50\nchi_1to2to1=50\nchi_1to3=50\norder=" +
         order + "\n";
}

// Asymmetric, so that the direction of each neighbour pair counts.
const char* const kAsymmetricMatrix =
    "0\t0\t0\t0\t0\t0\n"
    "0\t0\t3\t1\t0\t1\n"
    "0\t1\t0\t0\t2\t2\n"
    "0\t2\t0\t0\t0\t0\n"
    "0\t0\t1\t0\t0\t1\n"
    "0\t1\t2\t0\t0\t0\n";

Case sim(std::string label, std::string simulator, std::vector<std::string> options,
         bool flags = false, bool rejected = false) {
  Case c;
  c.label = std::move(label);
  c.simulator = std::move(simulator);
  c.options = std::move(options);
  c.expect_flags = flags;
  c.expect_rejected = rejected;
  return c;
}

Case sim_parameters(std::string label, std::string simulator, std::string parameters) {
  Case c = sim(std::move(label), std::move(simulator), {});
  c.parameters = std::move(parameters);
  return c;
}

std::vector<Case> simulated_cases() {
  std::vector<Case> cases = {
      sim("Tiny", "--markers 20 --individuals 10 --chromosomes 1 --seed 1", {"-s", "2", "0.05"}),
      sim("SmallGroupedOrdered", "--markers 50 --individuals 30 --chromosomes 2 --seed 2", kGrouped),
      sim("ErrorsFlagged", "--markers 100 --individuals 60 --chromosomes 3 --error-rate 0.05 --seed 3",
          {"-g", "3", "5", "3", "-s", "10", "0.02"}, true),
      sim("RejectedLoci",
          "--markers 200 --individuals 100 --chromosomes 4 --missing-rate 0.1 --distorted 5 "
          "--missing-heavy 5 --seed 4",
          {"-g", "4", "8", "4"}, false, true),
      sim("FiveHundredIndividualsOrdered", "--markers 150 --individuals 500 --chromosomes 2 --seed 5",
          {"-g", "2", "10", "4", "-o"}),
      sim("ThreeThousandMarkers", "--markers 3000 --individuals 40 --chromosomes 12 --seed 6",
          {"-g", "12", "8", "4", "-s", "20", "0.02"}, true),
      sim("OneLargeGroupFlagged",
          "--markers 600 --individuals 50 --chromosomes 1 --error-rate 0.05 --seed 7",
          {"-s", "50", "0.03"}, true),
      sim("Dominant", "--markers 400 --individuals 80 --chromosomes 5 --dominant-share 0.3 --seed 8",
          {"-g", "5", "6", "3"}),
      sim("HeavyFlaggingOrdered", "--markers 80 --individuals 12 --chromosomes 1 --error-rate 0.1 --seed 11",
          {"-s", "2", "0.01", "-o"}, true),
      sim("EverythingAtOnce",
          "--markers 600 --individuals 100 --chromosomes 6 --error-rate 0.02 --missing-rate 0.02 "
          "--distorted 10 --missing-heavy 10 --seed 12",
          {"-g", "6", "10", "4", "-s", "30", "0.02", "-o"}, true, true),
      sim("Backcross", "--population BC1 --markers 200 --individuals 60 --chromosomes 2 --seed 13",
          {"-g", "2", "5", "3"}),
      sim("DoubledHaploidOrdered", "--population DH --markers 200 --individuals 60 --chromosomes 2 --seed 14",
          {"-g", "2", "5", "3", "-o"}),
      sim("RecombinantInbred", "--population RIL --markers 150 --individuals 80 --chromosomes 3 --seed 15",
          {"-s", "20", "0.03"}),
      sim("MostlyRejected",
          "--markers 100 --individuals 50 --chromosomes 2 --distorted 30 --missing-heavy 30 --seed 16",
          {"-g", "2", "4", "2"}, false, true),
      sim("FewLociManyIndividuals", "--markers 40 --individuals 200 --chromosomes 2 --seed 17", {"-o"}),
      sim("ManySmallGroups", "--markers 2000 --individuals 25 --chromosomes 10 --seed 18",
          {"-g", "10", "6", "3"}),
      sim("SwitchedRuns", "--markers 120 --individuals 60 --chromosomes 2 --switched 3 --seed 20",
          {"-g", "2", "5", "3", "-s", "5", "0.05"}),
      sim("SibMatedOrdered", "--population RILsib --markers 100 --individuals 100 --chromosomes 2 --seed 21",
          {"-g", "2", "6", "3", "-o"}),
      sim("ManyMissingLenientScreening",
          "--markers 150 --individuals 40 --chromosomes 2 --missing-rate 0.3 --seed 22",
          {"-q", "0.5", "50", "50", "50", "-g", "2", "4", "2", "-s", "5", "0.05"}),
      sim("ManyErrorsSmallGroups", "--markers 60 --individuals 20 --chromosomes 3 --error-rate 0.2 --seed 23",
          kGrouped, true),
      sim_parameters("ParametersFile", "--markers 150 --individuals 150 --chromosomes 3 --seed 9",
                     parameters_file("3", "6", "0.2", "1")),
      sim_parameters("ParametersFileLenientMissing",
                     "--markers 150 --individuals 20 --chromosomes 2 --missing-rate 0.2 --seed 10",
                     parameters_file("2", "3", "0.5", "0")),
      sim_parameters("ParametersFileQuotedMatrix",
                     "--markers 500 --individuals 30 --chromosomes 4 --distorted 3 --seed 24",
                     parameters_file("4", "5", "0.2", "1", "matrix=  \"matrix.txt\"")),
  };
  Case asymmetric = sim("AsymmetricMatrix", "--markers 120 --individuals 40 --chromosomes 2 --error-rate 0.05 --seed 19",
                        {"-g", "2", "4", "2", "-s", "5", "0.03", "-o"}, true);
  asymmetric.matrix = kAsymmetricMatrix;
  cases.push_back(asymmetric);
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Simulated, NothingLost, ::testing::ValuesIn(simulated_cases()),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.label; });

// Odd but valid loc files.
const std::string kHeader = "; odd but valid\nname = x\nnloc = 0\nnind = 0\n";

Case given(std::string label, std::string loc, std::vector<std::string> options = kGrouped) {
  Case c;
  c.label = std::move(label);
  c.loc = std::move(loc);
  c.options = std::move(options);
  return c;
}

std::vector<Case> odd_cases() {
  const std::string duplicates = kHeader +
                                 "M1\tA\tA\tB\tB\tH\tA\n"
                                 "M1\tA\tA\tB\tB\tH\tB\n"
                                 "M1\tA\tA\tB\tB\tH\tA\n"
                                 "M2\tA\tH\tB\tB\tH\tA\n"
                                 "M2\tB\tB\tA\tA\tH\tB\n"
                                 "M3\tA\tA\tB\tH\tH\tA\n";
  std::string identical = kHeader;
  for (int k = 0; k < 12; ++k) identical += "S" + std::to_string(k) + "\tA\tH\tB\tB\tH\tA\tA\tB\n";
  identical += "T1\tB\tH\tA\tA\tH\tB\tB\tA\nT2\tB\tH\tA\tA\tH\tB\tB\tA\n";
  std::string crlf = kHeader +
                     "M1\tA\tA\tB\tB\tH\tA\tb\th\n"
                     "M2\tA\tA\tB\tH\tH\tA\tB\tH\n"
                     "M3\tA\ta\tB\tH\tH\t-\tB\tB\n"
                     "M4\tC\tC\tB\tB\tC\tC\tB\tC\n"
                     "M5\tA\tD\tB\tD\tD\tA\tD\tD\n";
  std::string crlf_text;
  for (const char ch : crlf) crlf_text += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  std::string one = kHeader;
  std::string two = kHeader;
  const char* letters = "ABHABHHAAB";
  for (int k = 0; k < 10; ++k) {
    one += "M" + std::to_string(k) + "\t" + letters[k] + "\n";
    two += "M" + std::to_string(k) + "\t" + letters[k] + "\t" + letters[9 - k] + "\n";
  }
  const std::string old_order = kHeader +
                                ";indOrdr\t40\t7\t12\t3\t9\t;\tr\tLOD\tdist\n;newscore=17\n"
                                "M1\tA\tA\tB\tB\tH\nM2\tA\tH\tB\tB\tH\nM3\tB\tH\tA\tA\tH\n";
  return {
      given("DuplicateNames", duplicates),
      given("DuplicateNamesOneGroup", duplicates, {"-s", "2", "0.1"}),
      given("IdenticalMarkers", identical),
      given("IdenticalMarkersFlagged", identical, {"-s", "2", "0.01", "-o"}),
      given("OneIndividual", one),
      given("OneIndividualOneGroup", one, {"-s", "2", "0.1", "-o"}),
      given("TwoIndividuals", two),
      given("TwoIndividualsOneGroup", two, {"-s", "3", "0.5", "-o"}),
      given("CrlfLineEnds", crlf_text),
      given("CrlfLineEndsOneGroup", crlf_text, {"-s", "2", "0.1"}),
      given("OldIndividualOrder", old_order),
      given("OldIndividualOrderOneGroup", old_order, {"-s", "2", "0.1"}),
  };
}

INSTANTIATE_TEST_SUITE_P(OddButValid, NothingLost, ::testing::ValuesIn(odd_cases()),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.label; });

}  // namespace
}  // namespace tarvek::testing
