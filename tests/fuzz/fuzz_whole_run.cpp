// Fuzz target: the whole program (run_tarvek, in-process) on a small loc
// file.
//
// The input is the loc file x.loc in a private scratch folder that also holds
// the recombination-count scoring matrix and a parameters file. The first
// byte of the input (a character of the first header line, which the program
// never reads) picks the command line:
//
//   0: -l log -m matrix.txt -g 2 3 2 -s 2 0.1 -o x.loc   grouped, ERRSWEEP on
//                                                        from three loci on,
//                                                        individuals ordered
//   1: -l log -m matrix.txt -s 2 0.1 x.loc               one group
//   2: x.loc                                             the parameters file
//                                                        (2 chromosomes, core
//                                                        LOD 3, order on)
//
// Properties: the run ends with exit status 0 or 1, never through an
// internal fault; status 1 comes with a message and leaves no map file;
// status 0 leaves a map file that reads back as a loc file holding every
// locus line of the input once; no temporary file is left behind; and the
// input is unchanged.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "genotype/loc_reader.hpp"
#include "run/driver.hpp"
#include "support/fixtures.hpp"

namespace {

using namespace tarvek;
using tarvek::fuzz::check;

// Keeps one run within milliseconds: the pair statistics, LINKSORT and the
// ordering of the individuals grow with the square of the loci and
// individuals.
constexpr std::size_t kMaxInput = 1024;

const char* const kParameters =
    "matrix=matrix.txt\nchromosomes=2\ncore LOD=3\nmin LOD=2\nmissing=0.2\n"
    "1:1=50\n1:2:1=50\n1:3=50\norder=1\n";

// Locus lines in a loc file: every line after the four header lines that the
// reader does not keep as a comment.
std::size_t locus_lines(const GenotypeTable& t) {
  return t.loci.names.size() + t.bad_segregation.names.size() + t.excess_missing.names.size();
}

// The fatal message of a fault (an exception other than the run's own end,
// or memory exhausted) is the last thing on standard error. Loc lines are
// echoed there too, but no echoed line is empty, so "\n\nFatal error!: "
// cannot be forged by the input.
bool ended_by_fault(const std::string& errors) {
  const std::string banner = "\n\nFatal error!: ";
  const auto at = errors.rfind(banner);
  if (at == std::string::npos) return false;
  const std::string message = errors.substr(at + banner.size());
  return message.rfind("internal error", 0) == 0 || message.rfind("out of memory", 0) == 0;
}

void prepare(const fuzz::ScratchDir& dir) {
  static bool prepared = false;
  if (prepared) return;
  dir.write("matrix.txt", testing::kRecombinationMatrix);
  dir.write("mapping_parameters.txt", kParameters);
  prepared = true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxInput) return -1;
  const fuzz::ScratchDir& dir = fuzz::ScratchDir::instance();
  prepare(dir);
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string loc = dir.file("x.loc");
  const std::string map = dir.file("x_map.loc");
  const std::string log = dir.file("log.txt");
  const std::string matrix = dir.file("matrix.txt");
  std::error_code ec;
  std::filesystem::remove(map, ec);
  dir.write("x.loc", text);

  std::vector<std::string> args{"tarvek"};
  switch (size == 0 ? 0 : data[0] % 3) {
    case 0:
      args.insert(args.end(), {"-l", log, "-m", matrix, "-g", "2", "3", "2", "-s", "2", "0.1", "-o"});
      break;
    case 1:
      args.insert(args.end(), {"-l", log, "-m", matrix, "-s", "2", "0.1"});
      break;
    default:
      break;
  }
  args.push_back(loc);
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);

  fuzz::Captured run;
  const int status = run_tarvek(static_cast<int>(args.size()), argv.data(), run.channels);
  const std::string errors = run.errors.str();
  check(!ended_by_fault(errors), "the run ended through an internal fault:\n" + errors);
  check(status == 0 || status == 1, "exit status " + std::to_string(status));
  check(fuzz::read_file(loc) == text, "the loc file was changed");
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    check(entry.path().extension() != ".tmp", "a temporary file was left: " + entry.path().string());
  }

  if (status == 1) {
    check(!errors.empty(), "exit status 1 without a message");
    check(!std::filesystem::exists(map), "a failed run left a map file");
    return 0;
  }
  check(std::filesystem::exists(map), "a complete run left no map file");

  // Nothing lost: the map holds as many locus lines as the input.
  fuzz::Captured reading;
  std::istringstream input(text);
  const GenotypeTable in = read_loc_file(input, {1.0f, 1e30f, 1e30f, 1e30f}, reading.channels);
  std::istringstream output(fuzz::read_file(map));
  GenotypeTable out;
  try {
    out = read_loc_file(output, {1.0f, 1e30f, 1e30f, 1e30f}, reading.channels);
  } catch (const RunAbort&) {
    fuzz::finding("the map file does not read back:\n" + reading.errors.str());
  }
  check(locus_lines(out) == locus_lines(in),
        "the map holds " + std::to_string(locus_lines(out)) + " locus lines, the input " +
            std::to_string(locus_lines(in)));
  return 0;
}
