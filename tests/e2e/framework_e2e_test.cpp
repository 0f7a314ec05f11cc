// -f: the codominant markers of a group are ordered first, and the dominant
// ones are placed into that framework afterwards, so that a dominant marker
// cannot glue unrelated stretches together.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/process.hpp"

namespace tarvek::testing {
namespace {

// Two stretches of three identical markers, X and Y, unlinked (8 crossovers
// between them over the eight individuals), and a dominant marker D scored
// C everywhere. With the recombination-count matrix D scores against a
// marker the number of its A genotypes: 2 against X, 6 against Y.
//   X  A A B B B B B B
//   Y  A A A B A A A B
//   D  C C C C C C C C
// Without -f the best order puts D between the stretches: X X X D Y Y Y
// costs 2 + 6 = 8, less than X X X Y Y Y D (8 + 6 = 14). With -f the six
// codominant markers are ordered first (the stretches meet: 8), then D goes
// to its cheapest place: next to an end X (2) rather than between the
// stretches (2 + 6) or next to an end Y (6); the order scores 8 + 2 = 10.
const std::string kBridge =
    "name = fw\npopt = F2\nnloc = 7\nnind = 8\n"
    "X1\tA\tA\tB\tB\tB\tB\tB\tB\n"
    "Y1\tA\tA\tA\tB\tA\tA\tA\tB\n"
    "X2\tA\tA\tB\tB\tB\tB\tB\tB\n"
    "D1\tC\tC\tC\tC\tC\tC\tC\tC\n"
    "Y2\tA\tA\tA\tB\tA\tA\tA\tB\n"
    "X3\tA\tA\tB\tB\tB\tB\tB\tB\n"
    "Y3\tA\tA\tA\tB\tA\tA\tA\tB\n";

// The names of the map file's first group, in map order.
std::vector<std::string> first_group(const std::string& map) {
  std::vector<std::string> names;
  std::size_t at = map.find("\tr\tLOD\tdist\n");
  at = map.find('\n', at) + 1;
  while (at < map.size() && map[at] != ';') {
    const std::size_t tab = map.find('\t', at);
    names.push_back(map.substr(at, tab - at));
    at = map.find('\n', at) + 1;
  }
  return names;
}

// The stretch of each name: 'X', 'Y' or 'D'.
std::string stretches(const std::vector<std::string>& names) {
  std::string s;
  for (const std::string& n : names) s += n[0];
  return s;
}

TEST(Framework, DominantMarkerNoLongerBridgesUnlinkedStretches) {
  TempDir plain, framed;
  for (const TempDir* dir : {&plain, &framed}) {
    dir->write("fw.loc", kBridge);
    dir->write("matrix.txt", kRecombinationMatrix);
  }
  ASSERT_EQ(run_tarvek_in(plain, {"fw.loc", "-m", "matrix.txt"}).status, 1);  // loc file last
  const RunResult without = run_tarvek_in(plain, {"-m", "matrix.txt", "fw.loc"});
  const RunResult with = run_tarvek_in(framed, {"-f", "-m", "matrix.txt", "fw.loc"});
  ASSERT_EQ(without.status, 0);
  ASSERT_EQ(with.status, 0);
  EXPECT_NE(with.out.find("Running LINKSORT on group of size=6\n"), std::string::npos);
  EXPECT_EQ(with.err, "");

  const std::string joined = stretches(first_group(plain.read("fw_map.loc")));
  EXPECT_TRUE(joined == "XXXDYYY" || joined == "YYYDXXX") << joined;
  EXPECT_NE(plain.read("fw_map.loc").find(";newscore=8\n"), std::string::npos);

  const std::string framed_order = stretches(first_group(framed.read("fw_map.loc")));
  EXPECT_TRUE(framed_order == "DXXXYYY" || framed_order == "YYYXXXD") << framed_order;
  EXPECT_NE(framed.read("fw_map.loc").find(";newscore=10\n"), std::string::npos);
  const std::string log = framed.read("tarvek_log.txt");
  EXPECT_NE(log.find("framework = 1\n"), std::string::npos);
  EXPECT_NE(log.find("Ordering a framework of 6 codominant markers, 1 dominant markers set aside\n"),
            std::string::npos);
  EXPECT_NE(log.find("Placed 1 dominant markers into the framework, group of size 7\n"),
            std::string::npos);
}

TEST(Framework, WithoutDominantMarkersTheMapIsByteIdentical) {
  // The shipped example without its dominant markers, grouped, with ERRSWEEP
  // on its groups and the individuals ordered.
  const std::string cross = TempDir::slurp(source_dir() / "examples" / "cross.loc");
  std::string codominant;
  std::size_t at = 0;
  while (at < cross.size()) {
    const std::size_t end = cross.find('\n', at);
    const std::string line = cross.substr(at, end - at + 1);
    if (line.find("\tC") == std::string::npos && line.find("\tD") == std::string::npos)
      codominant += line;
    at = end + 1;
  }
  TempDir plain, framed;
  for (const TempDir* dir : {&plain, &framed}) {
    dir->write("x.loc", codominant);
    dir->write("matrix.txt", kRecombinationMatrix);
  }
  const std::vector<std::string> options = {"-g", "3", "8", "3", "-s", "10", "0.03", "-o"};
  std::vector<std::string> with_f = options;
  with_f.insert(with_f.begin(), "-f");
  std::vector<std::string> args = options;
  args.push_back("x.loc");
  with_f.push_back("x.loc");
  const RunResult r1 = run_tarvek_in(plain, args);
  const RunResult r2 = run_tarvek_in(framed, with_f);
  ASSERT_EQ(r1.status, 0);
  EXPECT_EQ(r2.status, 0);
  EXPECT_EQ(r2.out, r1.out);
  EXPECT_EQ(framed.read("x_map.loc"), plain.read("x_map.loc"));
  // The log differs only by the echo of the setting.
  std::string log = framed.read("tarvek_log.txt");
  const std::size_t echo = log.find("framework = 1\n");
  ASSERT_NE(echo, std::string::npos);
  EXPECT_EQ(log.erase(echo, 14), plain.read("tarvek_log.txt"));
}

TEST(Framework, ParametersFileSetting) {
  TempDir dir;
  dir.write("fw.loc", kBridge);
  dir.write("matrix.txt", kRecombinationMatrix);
  dir.write("mapping_parameters.txt",
            "matrix=matrix.txt\nchromosomes=1\ncore_LOD=0.1\nmin_LOD=0.1\nmissing=0.2\n"
            "chi=50\nchi=50\nchi=50\norder=0\nframework=1\n");
  const RunResult r = run_tarvek_in(dir, {"fw.loc"});
  ASSERT_EQ(r.status, 0);
  EXPECT_NE(dir.read("tarvek_log.txt").find("order plants = 0\nerrsweep = 1\n"
                                            "ERRSWEEP group threshold = 100\n"
                                            "singleton threshold = 0.05\nframework = 1\n"),
            std::string::npos);
  dir.write("mapping_parameters.txt", "matrix=matrix.txt\n\n\n\n\n\n\n\n\nframework=yes\n");
  const RunResult bad = run_tarvek_in(dir, {"fw.loc"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err, "tarvek: framework= in the parameters file takes 0 or 1, not \"yes\"\n");
}

}  // namespace
}  // namespace tarvek::testing
