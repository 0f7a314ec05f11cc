// The benchmark's smaller inputs, run through the whole program, give the
// same bytes as the first, straightforward version of the program gave. The
// inputs are simulated at test time; the outputs are compared through their
// FNV-1a digests and lengths, recorded once from that version.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/process.hpp"
#include "support/simulator.hpp"

namespace tarvek::testing {
namespace {

std::uint64_t fnv1a(const std::string& bytes) {
  std::uint64_t h = 0xcbf29ce484222325u;
  for (const unsigned char c : bytes) {
    h ^= c;
    h *= 0x100000001b3u;
  }
  return h;
}

struct Recorded {
  std::uint64_t digest;
  std::size_t length;
};

struct BenchCase {
  std::string simulator_options;
  std::vector<std::string> tarvek_options;
  Recorded out, log, map;
};

void expect_same(const std::string& what, const std::string& bytes, const Recorded& recorded) {
  EXPECT_EQ(bytes.size(), recorded.length) << what;
  EXPECT_EQ(fnv1a(bytes), recorded.digest) << what;
}

void run_case(const BenchCase& c) {
  if (kSimulator == nullptr) GTEST_SKIP() << "the population simulator is not built";
  TempDir dir;
  const std::string command = std::string(kSimulator) + " " + c.simulator_options +
                              " > '" + (dir.path() / "cross.loc").string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  dir.write("matrix.txt", kRecombinationMatrix);
  std::vector<std::string> args = c.tarvek_options;
  args.push_back("cross.loc");
  const RunResult r = run_tarvek_in(dir, args);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  expect_same("standard output", r.out, c.out);
  expect_same("log", dir.read("tarvek_log.txt"), c.log);
  expect_same("map file", dir.read("cross_map.loc"), c.map);
}

// The header's first line names the case, so these digests belong to the
// exact simulator options below.
TEST(BenchSameness, ThousandMarkersOnTwelveChromosomes) {
  run_case({"--chromosomes 12 --markers 1000 --individuals 200 --error-rate 0.01 "
            "--missing-rate 0.05 --seed 1 --name 1k",
            {"-g", "12", "16", "4"},
            {0x8c0f60f5ce7c12a9u, 1043},
            {0x4d5b6fbd55421fa7u, 13337},
            {0x5eb3555085716a76u, 437670}});
}

TEST(BenchSameness, OneGroupOfThreeThousandMarkers) {
  run_case({"--chromosomes 1 --markers 3000 --individuals 300 --error-rate 0.01 "
            "--missing-rate 0.05 --seed 1 --name group3k",
            {"-s", "100", "0.05"},
            {0xc45afa96250c48d3u, 226},
            {0xcabe2011ef590c2du, 15506},
            {0x57a832efb476f0d9u, 1914783}});
}

TEST(BenchSameness, OneGroupWithManySingletonsAndOrderedIndividuals) {
  // A low singleton threshold makes error detection take out and hammer back
  // hundreds of loci; -o orders the individuals as well.
  run_case({"--chromosomes 1 --markers 3000 --individuals 300 --error-rate 0.01 "
            "--missing-rate 0.05 --seed 1 --name group3k",
            {"-s", "100", "0.01", "-o"},
            {0x2627e3a9ed0f7765u, 343},
            {0xf3601825c06f1adfu, 111872},
            {0x6dd83a1c84d95b3bu, 1914099}});
}

}  // namespace
}  // namespace tarvek::testing
