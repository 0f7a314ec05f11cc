// tarvek_bench: times the stages of a tarvek run on one loc file by calling
// the library directly, and prints one line per stage with its wall seconds
// and the process's peak resident memory so far.
//
// The stages follow the pipeline of the tarvek program: reading the loc file;
// the pairwise LOD matrix; core grouping, satellites and sorting; then, group
// by group as the program does it (so that one group score matrix is alive at
// a time), the group score matrix, LINKSORT, the ERRSWEEP scan, and the
// second LINKSORT with the hammering-in of the removed loci. The per-group
// stages are summed over the groups.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <streambuf>
#include <string>
#include <vector>

#include "genotype/loc_reader.hpp"
#include "genotype/scoring_matrix.hpp"
#include "linkage/grouping.hpp"
#include "linkage/lod_matrix.hpp"
#include "ordering/linksort.hpp"
#include "ordering/order_random.hpp"
#include "refine/errsweep.hpp"
#include "refine/refine_group.hpp"
#include "run/report.hpp"

namespace {

using Clock = std::chrono::steady_clock;

// A stream buffer that swallows everything written to it.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

NullBuffer null_buffer;
std::ostream null_stream(&null_buffer);

// Sends the library's console output to the null buffer for its lifetime.
class QuietConsole {
 public:
  QuietConsole() : saved_(std::cout.rdbuf(&null_buffer)) {}
  ~QuietConsole() { std::cout.rdbuf(saved_); }
  QuietConsole(const QuietConsole&) = delete;
  QuietConsole& operator=(const QuietConsole&) = delete;

 private:
  std::streambuf* saved_;
};

double peak_mb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KB on Linux
}

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void print_row(const char* stage, double seconds) {
  std::printf("%-12s %10.3f %10.1f\n", stage, seconds, peak_mb());
  std::fflush(stdout);
}

struct Options {
  std::string loc_file;
  std::string matrix_file;  // empty: the recombination-count matrix below
  bool skip_grouping = false;
  int chromosomes = 12;
  float core_LOD = 16.0f;
  float min_LOD = 4.0f;
  tarvek::ScreeningThresholds thresholds{0.2f, 50.0f, 50.0f, 50.0f};
  int errsweep_threshold = 100;
  float singleton_threshold = 0.05f;
};

const char* const kUsage =
    "usage: tarvek_bench [options] file.loc\n"
    "  --skip-grouping          one group of all accepted loci, as tarvek with options but no -g\n"
    "  --chromosomes N          chromosomes wanted (12)\n"
    "  --core-lod X             core grouping LOD (16)\n"
    "  --min-lod X              satellite LOD (4)\n"
    "  --errsweep-threshold N   ERRSWEEP runs on groups larger than N (100)\n"
    "  --singleton S            singleton threshold (0.05)\n"
    "  --matrix FILE            scoring matrix file (default: recombination counts)\n";

[[noreturn]] void usage_error(const std::string& message) {
  std::fprintf(stderr, "tarvek_bench: %s\n%s", message.c_str(), kUsage);
  std::exit(2);
}

double number(const std::string& flag, const char* text) {
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (end == text || *end != '\0') usage_error("bad value for " + flag + ": '" + text + "'");
  return value;
}

Options parse_options(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) usage_error("missing value for " + flag);
      return argv[++i];
    };
    if (flag == "--skip-grouping") o.skip_grouping = true;
    else if (flag == "--chromosomes") o.chromosomes = static_cast<int>(number(flag, value()));
    else if (flag == "--core-lod") o.core_LOD = static_cast<float>(number(flag, value()));
    else if (flag == "--min-lod") o.min_LOD = static_cast<float>(number(flag, value()));
    else if (flag == "--errsweep-threshold")
      o.errsweep_threshold = static_cast<int>(number(flag, value()));
    else if (flag == "--singleton") o.singleton_threshold = static_cast<float>(number(flag, value()));
    else if (flag == "--matrix") o.matrix_file = value();
    else if (flag == "--help" || flag == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (!flag.empty() && flag[0] == '-') usage_error("unknown option '" + flag + "'");
    else if (o.loc_file.empty()) o.loc_file = flag;
    else usage_error("more than one loc file");
  }
  if (o.loc_file.empty()) usage_error("no loc file");
  return o;
}

// Rows and columns: missing, A, B, C, D, H; entries count the recombinations
// that the two scores imply at least.
tarvek::ScoringMatrix recombination_count_matrix() {
  const int counts[6][6] = {{0, 0, 0, 0, 0, 0}, {0, 0, 2, 1, 0, 1}, {0, 2, 0, 0, 1, 1},
                            {0, 1, 0, 0, 0, 0}, {0, 0, 1, 0, 0, 0}, {0, 1, 1, 0, 0, 0}};
  tarvek::ScoringMatrix m{};
  for (std::size_t i = 0; i < 6; ++i)
    for (std::size_t j = 0; j < 6; ++j) m[i][j] = counts[i][j];
  return m;
}

int run(const Options& o) {
  using namespace tarvek;
  redirect_log(&null_stream);
  normalise_kernel();

  ScoringMatrix score = recombination_count_matrix();
  if (!o.matrix_file.empty()) {
    std::ifstream in(o.matrix_file);
    if (!in) usage_error("cannot open " + o.matrix_file);
    score = ScoringMatrix{};
    read_scoring_matrix(in, score);
  }

  std::printf("%-12s %10s %10s\n", "stage", "seconds", "peak_MB");
  const auto run_start = Clock::now();

  // Reading and screening.
  GenotypeTable table;
  {
    std::ifstream in(o.loc_file);
    if (!in) usage_error("cannot open " + o.loc_file);
    double read_seconds = 0.0;
    {
      const QuietConsole quiet;
      const auto start = Clock::now();
      table = read_loc_file(in, o.thresholds);
      read_seconds = seconds_since(start);
    }
    print_row("read", read_seconds);
  }
  std::vector<GenotypeRow>& rows = table.loci.rows;
  const std::size_t n = rows.size();

  // Grouping.
  LinkageGroups groups;
  if (o.skip_grouping) {
    LinkageGroup all(n);
    for (std::size_t i = 0; i < n; ++i) all[i] = static_cast<int>(i);
    groups.push_back(std::move(all));
  } else {
    double lod_seconds = 0.0;
    double group_seconds = 0.0;
    {
      const QuietConsole quiet;
      auto start = Clock::now();
      const LodMatrix lods = build_lod_matrix(rows);
      lod_seconds = seconds_since(start);
      start = Clock::now();
      core_grouping(lods, groups, o.core_LOD);
      if (static_cast<long long>(groups.size()) > o.chromosomes)
        place_satellites(lods, groups, o.min_LOD, o.chromosomes);
      sort_and_prune_groups(groups);
      group_seconds = seconds_since(start);
    }
    print_row("lod_matrix", lod_seconds);
    print_row("grouping", group_seconds);
  }

  // Ordering and refinement, group by group.
  double matrix_seconds = 0.0;
  double linksort_seconds = 0.0;
  double errsweep_seconds = 0.0;
  double rerun_seconds = 0.0;
  std::size_t removed_total = 0;
  {
    const QuietConsole quiet;
    seed_order_random(6);
    for (LinkageGroup& members : groups) {
      const std::size_t m = members.size();
      if (m < 2) continue;
      auto start = Clock::now();
      PairScoreMatrix matrix = build_group_score_matrix(score, rows, members);
      matrix_seconds += seconds_since(start);

      MarkerOrder order(m);
      for (std::size_t i = 0; i < m; ++i) order[i] = static_cast<std::int32_t>(i);
      start = Clock::now();
      linksort(matrix, order);
      linksort_seconds += seconds_since(start);

      if (static_cast<long long>(m) <= o.errsweep_threshold) continue;
      std::vector<int> removed;
      start = Clock::now();
      const int c = find_singletons(rows, order, members, removed, o.singleton_threshold);
      errsweep_seconds += seconds_since(start);
      removed_total += removed.size();

      // What the refinement loop does next: a second LINKSORT, the removed
      // loci's scores recomputed from their recoded rows, the hammering-in.
      start = Clock::now();
      if (c > 0) linksort(matrix, order);
      for (const int r : removed) {
        const auto ri = static_cast<std::size_t>(r);
        for (std::size_t i = 0; i < m; ++i) {
          score_at(matrix, ri, i) = scorepair(score, rows, members.at(ri), members[i]);
          score_at(matrix, i, ri) = scorepair(score, rows, members[i], members.at(ri));
        }
      }
      hammer_in(matrix, order, members, removed);
      rerun_seconds += seconds_since(start);
    }
  }
  print_row("score_matrix", matrix_seconds);
  print_row("linksort", linksort_seconds);
  print_row("errsweep", errsweep_seconds);
  print_row("rerun", rerun_seconds);
  print_row("total", seconds_since(run_start));

  std::size_t ordered = 0;
  std::size_t largest = 0;
  for (const LinkageGroup& g : groups) {
    if (g.size() >= 2) ++ordered;
    largest = std::max(largest, g.size());
  }
  std::fprintf(stderr,
               "%zu accepted loci of %zu, %zu individuals; %zu groups (%zu ordered, largest %zu); "
               "%zu loci taken out by ERRSWEEP\n",
               n,
               n + table.bad_segregation.names.size() + table.excess_missing.names.size(),
               static_cast<std::size_t>(table.n_individuals < 0 ? 0 : table.n_individuals),
               groups.size(), ordered, largest, removed_total);
  redirect_log(nullptr);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = parse_options(argc, argv);
  try {
    return run(options);
  } catch (const tarvek::RunAbort& abort) {
    std::fprintf(stderr, "tarvek_bench: the run stopped with status %d\n", abort.status);
    return abort.status;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tarvek_bench: %s\n", error.what());
    return 1;
  }
}
