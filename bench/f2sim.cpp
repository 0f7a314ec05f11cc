// f2sim: a deterministic simulator of mapping populations (F2 by default,
// also backcross, doubled haploid and recombinant inbred lines), writing a
// loc file to standard output.
//
// Every individual carries two gametes per chromosome. In an F2 both are
// recombinants of the parental chromosomes A and B; the other population
// types are made from such recombinant gametes by backcrossing, doubling or
// generations of inbreeding. In every meiosis the strand a gamete copies
// switches between neighbouring markers with the Haldane probability
// r = (1 - exp(-2d/100)) / 2 for a distance of d cM. A marker's genotype is A
// when both gametes come from parent A, B when both come from parent B, H
// otherwise. Scoring then adds dominant scores, errors and missing values.
//
// The output depends on the options alone: the random streams, the integer to
// real conversions and the exponential are computed here with integer and
// correctly rounded IEEE arithmetic only, so the same options give the same
// bytes with every compiler and standard library.

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "splitmix64.hpp"

namespace {

// ---------------------------------------------------------------- random --

// splitmix64: small, fast and defined by its integer arithmetic alone.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}

  std::uint64_t next() { return bench::splitmix64_next(state_); }

  // Uniform in [0, 1) with 53 random bits: an exact integer times 2^-53.
  double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

  // Uniform integer in [0, n), without modulo bias (n > 0).
  std::uint64_t below(std::uint64_t n) {
    const std::uint64_t limit = (0 - n) % n;  // 2^64 mod n
    for (;;) {
      const std::uint64_t x = next();
      if (x >= limit) return x % n;
    }
  }

 private:
  std::uint64_t state_;
};

// One independent stream per purpose, so that changing, say, the error rate
// leaves the simulated meioses as they were.
enum class Stream : std::uint64_t {
  kLayout = 1,
  kMeiosis = 2,
  kScoring = 3,
  kExtra = 4,
  kShuffle = 5,
  kSwitched = 6,
  kViability = 7,
};

Random make_stream(std::uint64_t seed, Stream stream) {
  Random mix(seed ^ (static_cast<std::uint64_t>(stream) * 0xD1B54A32D192ED03ULL));
  return Random(mix.next());
}

// exp(x) for x <= 0 from + - * / alone: halve the argument until it is small,
// sum the Taylor series, square back.
double exp_nonpositive(double x) {
  if (x < -700.0) return 0.0;
  int halvings = 0;
  while (x < -0.5) {
    x /= 2.0;
    ++halvings;
  }
  double term = 1.0;
  double sum = 1.0;
  for (int k = 1; k <= 20; ++k) {
    term = term * x / static_cast<double>(k);
    sum += term;
  }
  for (int i = 0; i < halvings; ++i) sum *= sum;
  return sum;
}

double haldane_r(double distance_cm) {
  return (1.0 - exp_nonpositive(-2.0 * distance_cm / 100.0)) / 2.0;
}

// --------------------------------------------------------------- options --

enum class Population { kF2, kBC1, kDH, kRIL, kRILsib };

struct PopulationName {
  const char* name;
  Population type;
};

// The names are also what the header's popt line says.
constexpr PopulationName kPopulations[] = {{"F2", Population::kF2},
                                           {"BC1", Population::kBC1},
                                           {"DH", Population::kDH},
                                           {"RIL", Population::kRIL},
                                           {"RILsib", Population::kRILsib}};

const char* population_name(Population type) {
  for (const PopulationName& p : kPopulations)
    if (p.type == type) return p.name;
  return "F2";
}

struct Options {
  Population population = Population::kF2;
  long long chromosomes = 12;
  long long markers = 1000;
  long long individuals = 200;
  double length = 150.0;
  double error_rate = 0.01;
  double missing_rate = 0.05;
  double dominant_share = 0.05;
  bool dominant_share_given = false;
  long long distorted = 0;
  long long missing_heavy = 0;
  long long switched = 0;
  long long switched_run = 1;
  long long viability = 0;  // chromosome under viability selection, 0 for none
  std::uint64_t seed = 1;
  std::string name = "f2sim";
  std::string truth_path;
  std::string errors_path;
};

// How many regular markers chromosome c (counted from 0) carries.
long long markers_on(const Options& o, long long c) {
  return o.markers / o.chromosomes + (c < o.markers % o.chromosomes ? 1 : 0);
}

// Switched runs stand apart by at least one marker, so a chromosome of n
// markers holds at most (n + 1) / (run + 1) of them.
long long switched_runs_on(const Options& o, long long c) {
  return (markers_on(o, c) + 1) / (o.switched_run + 1);
}

const char* const kUsage =
    "usage: f2sim [options] > file.loc\n"
    "  --population TYPE    F2, BC1, DH, RIL (selfed) or RILsib (sib-mated) (F2)\n"
    "  --chromosomes N      chromosomes (12)\n"
    "  --markers N          markers in total, spread evenly over the chromosomes (1000)\n"
    "  --individuals N      individuals, one per line for RIL and RILsib (200)\n"
    "  --length CM          length of every chromosome in cM (150)\n"
    "  --error-rate P       share of scores replaced by another class (0.01)\n"
    "  --missing-rate P     share of scores left missing (0.05)\n"
    "  --dominant-share P   share of the markers scored dominant, A/C or B/D; F2 only (0.05)\n"
    "  --distorted N        extra unlinked markers with distorted segregation (0)\n"
    "  --missing-heavy N    extra markers with about half their scores missing (0)\n"
    "  --switched N         runs of regular markers written with A and B (C and D) exchanged (0)\n"
    "  --switched-run L     markers in each switched run, neighbours in map order (1)\n"
    "  --viability C        selection against parent B's allele at the first marker of\n"
    "                       chromosome C: A survives, H with 1/4, B with 1/50 (none)\n"
    "  --truth FILE         write each regular marker's chromosome, position in cM,\n"
    "                       switch and dominance, tab-separated, in map order\n"
    "  --errors FILE        write every planted scoring error: marker, individual\n"
    "                       (from 1), the true and the written letter\n"
    "  --seed N             seed of the random streams (1)\n"
    "  --name TEXT          name in the first header line (f2sim)\n";

[[noreturn]] void fail(const std::string& message) {
  std::fprintf(stderr, "f2sim: %s\n%s", message.c_str(), kUsage);
  std::exit(2);
}

long long parse_integer(const std::string& flag, const std::string& text, long long low,
                        long long high) {
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE || value < low || value > high)
    fail("bad value for " + flag + ": '" + text + "' (an integer from " + std::to_string(low) +
         " to " + std::to_string(high) + ")");
  return value;
}

double parse_real(const std::string& flag, const std::string& text, double low, double high) {
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno == ERANGE || !(value >= low && value <= high))
    fail("bad value for " + flag + ": '" + text + "'");
  return value;
}

std::uint64_t parse_seed(const std::string& text) {
  errno = 0;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
  if (text.empty() || text[0] == '-' || *end != '\0' || errno == ERANGE)
    fail("bad value for --seed: '" + text + "'");
  return value;
}

Options parse_options(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string flag = argv[i];
    std::string value;
    bool has_value = false;
    if (flag == "--help" || flag == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    const std::size_t eq = flag.find('=');
    if (flag.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = flag.substr(eq + 1);
      flag = flag.substr(0, eq);
      has_value = true;
    }
    auto take = [&]() -> std::string {
      if (has_value) return value;
      if (i + 1 >= argc) fail("missing value for " + flag);
      return argv[++i];
    };
    const long long kMax = 100000000;
    if (flag == "--population") {
      const std::string type = take();
      bool known = false;
      for (const PopulationName& p : kPopulations) {
        if (type == p.name) {
          o.population = p.type;
          known = true;
        }
      }
      if (!known) fail("bad value for --population: '" + type + "' (F2, BC1, DH, RIL or RILsib)");
    } else if (flag == "--chromosomes") o.chromosomes = parse_integer(flag, take(), 1, 9999);
    else if (flag == "--markers") o.markers = parse_integer(flag, take(), 1, kMax);
    else if (flag == "--individuals") o.individuals = parse_integer(flag, take(), 1, kMax);
    else if (flag == "--length") o.length = parse_real(flag, take(), 0.0, 1e6);
    else if (flag == "--error-rate") o.error_rate = parse_real(flag, take(), 0.0, 1.0);
    else if (flag == "--missing-rate") o.missing_rate = parse_real(flag, take(), 0.0, 1.0);
    else if (flag == "--dominant-share") {
      o.dominant_share = parse_real(flag, take(), 0.0, 1.0);
      o.dominant_share_given = true;
    }
    else if (flag == "--distorted") o.distorted = parse_integer(flag, take(), 0, kMax);
    else if (flag == "--missing-heavy") o.missing_heavy = parse_integer(flag, take(), 0, kMax);
    else if (flag == "--switched") o.switched = parse_integer(flag, take(), 0, kMax);
    else if (flag == "--switched-run") o.switched_run = parse_integer(flag, take(), 1, kMax);
    else if (flag == "--viability") o.viability = parse_integer(flag, take(), 1, 9999);
    else if (flag == "--truth") {
      o.truth_path = take();
      if (o.truth_path.empty()) fail("--truth needs a file name");
    }
    else if (flag == "--errors") {
      o.errors_path = take();
      if (o.errors_path.empty()) fail("--errors needs a file name");
    }
    else if (flag == "--seed") o.seed = parse_seed(take());
    else if (flag == "--name") {
      o.name = take();
      if (o.name.find_first_of("\r\n") != std::string::npos) fail("the name must be one line");
    } else {
      fail("unknown option '" + std::string(argv[i]) + "'");
    }
  }
  if (o.markers < o.chromosomes) fail("--markers must be at least --chromosomes");
  if (o.viability > o.chromosomes) fail("--viability names a chromosome beyond --chromosomes");
  if (o.switched > 0) {
    long long room = 0;
    for (long long c = 0; c < o.chromosomes; ++c) room += switched_runs_on(o, c);
    if (o.switched > room)
      fail("--switched " + std::to_string(o.switched) + " runs of " +
           std::to_string(o.switched_run) + " markers do not fit: at most " +
           std::to_string(room) + ", as runs are kept one marker apart on their chromosome");
  }
  // Only an F2 has a heterozygote that a dominant score hides; the other
  // types are scored codominant, so their default share is none.
  if (o.population != Population::kF2) {
    if (o.dominant_share_given && o.dominant_share > 0.0)
      fail(std::string("--dominant-share applies to F2 only; ") + population_name(o.population) +
           " markers are scored codominant");
    o.dominant_share = 0.0;
  }
  if (static_cast<double>(o.markers + o.distorted + o.missing_heavy) *
          static_cast<double>(o.individuals) >
      2e9)
    fail("the data set would be too large");
  return o;
}

// ------------------------------------------------------------ simulation --

constexpr char kA = 'A';
constexpr char kB = 'B';
constexpr char kH = 'H';

// How a marker is scored: codominant, or dominant A against C (= B or H), or
// dominant B against D (= A or H).
enum class Scoring { kCodominant, kAAgainstC, kBAgainstD };

struct Marker {
  std::string name;
  std::vector<char> truth;  // A, B or H per individual
  Scoring scoring = Scoring::kCodominant;
  double missing_rate = 0.0;
  bool switched = false;  // written with A and B, and C and D, exchanged
  long long chromosome = 0;  // counted from 1; 0 for the extra markers
  double position = 0.0;  // cM
};

std::string zero_padded(long long value, int width) {
  std::string digits = std::to_string(value);
  if (static_cast<int>(digits.size()) < width)
    digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
  return digits;
}

int digits_of(long long value) { return static_cast<int>(std::to_string(value).size()); }

// The parental origin of one chromosome at each marker: 0 for A, 1 for B.
using Strand = std::vector<std::uint8_t>;

char genotype(std::uint8_t x, std::uint8_t y) { return x != y ? kH : x == 0 ? kA : kB; }

// Inbreeding stops when the line is fixed at every marker of the chromosome,
// or at these caps. Heterozygosity falls by half per generation of selfing
// and by about a fifth per generation of sib mating, so a chromosome still
// segregating at the cap is a 2^-60 or 10^-18 event per marker: practically
// never.
constexpr int kSelfingGenerations = 60;
constexpr int kSibMatingGenerations = 200;

// Meioses along one chromosome, whose markers cross over with switch_p[k]
// before marker k.
class Meioses {
 public:
  Meioses(const std::vector<double>& switch_p, Random& random)
      : switch_p_(switch_p),
        random_(random),
        parent_a_(switch_p.size(), 0),
        parent_b_(switch_p.size(), 1) {}

  // One gamete of a parent carrying the chromosomes x and y: it starts on
  // either with equal chance and changes strand at each crossover.
  void gamete(const Strand& x, const Strand& y, Strand& out) {
    int on_y = static_cast<int>(random_.next() >> 63);
    for (std::size_t k = 0; k < out.size(); ++k) {
      if (k > 0 && random_.uniform() < switch_p_[k]) on_y ^= 1;
      out[k] = on_y ? y[k] : x[k];
    }
  }

  void f1_gamete(Strand& out) { gamete(parent_a_, parent_b_, out); }

  // The two chromosomes of one individual of the population. (The F2s that
  // simulate_chromosomes writes are drawn in an older order of their own.)
  void individual(Population type, Strand& x, Strand& y) {
    switch (type) {
      case Population::kF2:
        f1_gamete(x);
        f1_gamete(y);
        return;
      case Population::kBC1:
        f1_gamete(x);
        y = parent_a_;
        return;
      case Population::kDH:
        f1_gamete(x);
        y = x;
        return;
      case Population::kRIL:
        selfed_line(x, y);
        return;
      case Population::kRILsib:
        sib_mated_line(x, y);
        return;
    }
  }

 private:
  // Single-seed descent from an F2 individual: each generation's individual
  // grows from two gametes of the one before.
  void selfed_line(Strand& x, Strand& y) {
    f1_gamete(x);
    f1_gamete(y);
    Strand next_x(x.size());
    Strand next_y(x.size());
    for (int g = 0; g < kSelfingGenerations && x != y; ++g) {
      gamete(x, y, next_x);
      gamete(x, y, next_y);
      x.swap(next_x);
      y.swap(next_y);
    }
    if (x != y) fix_by_doubling(x, y);
  }

  // Full-sib mating from two F2 siblings: each generation two offspring of
  // the pair, each with a gamete of both, become the next pair, until all
  // four chromosomes agree. The line is the first of the pair.
  void sib_mated_line(Strand& x, Strand& y) {
    Strand u(x.size());
    Strand v(x.size());
    f1_gamete(x);
    f1_gamete(y);
    f1_gamete(u);
    f1_gamete(v);
    Strand next_x(x.size());
    Strand next_y(x.size());
    Strand next_u(x.size());
    Strand next_v(x.size());
    auto fixed = [&] { return x == y && u == v && x == u; };
    for (int g = 0; g < kSibMatingGenerations && !fixed(); ++g) {
      gamete(x, y, next_x);
      gamete(u, v, next_y);
      gamete(x, y, next_u);
      gamete(u, v, next_v);
      x.swap(next_x);
      y.swap(next_y);
      u.swap(next_u);
      v.swap(next_v);
    }
    if (x != y) fix_by_doubling(x, y);
  }

  // A line still segregating at the cap is made homozygous in one step: one
  // gamete of its last individual, doubled.
  void fix_by_doubling(Strand& x, Strand& y) {
    Strand doubled(x.size());
    gamete(x, y, doubled);
    x = doubled;
    y = doubled;
  }

  const std::vector<double>& switch_p_;
  Random& random_;
  const Strand parent_a_;
  const Strand parent_b_;
};

// Viability selection at the first marker of chromosome o.viability: each
// conceived individual survives with chance 1 (A), 1/4 (H) or 1/50 (B, the
// second class of a two-class type), drawn in order from a stream of its own,
// until o.individuals have survived. The survivors' genotypes replace all.
void select_survivors(const Options& o, std::vector<Marker>& markers) {
  Random random = make_stream(o.seed, Stream::kViability);
  std::size_t first = 0;
  for (long long c = 0; c + 1 < o.viability; ++c) first += static_cast<std::size_t>(markers_on(o, c));
  const std::vector<char> at = markers[first].truth;
  std::vector<std::size_t> kept;
  for (std::size_t ind = 0; ind < at.size() && kept.size() < static_cast<std::size_t>(o.individuals);
       ++ind) {
    const double fitness = at[ind] == kA ? 1.0 : at[ind] == kH && o.population == Population::kF2 ? 0.25 : 0.02;
    if (random.uniform() < fitness) kept.push_back(ind);
  }
  if (kept.size() < static_cast<std::size_t>(o.individuals)) fail("too few survivors of --viability");
  for (Marker& m : markers) {
    std::vector<char> truth(kept.size());
    for (std::size_t k = 0; k < kept.size(); ++k) truth[k] = m.truth[kept[k]];
    m.truth = std::move(truth);
  }
}

// The true genotypes of all regular markers: chromosome by chromosome,
// markers at sorted uniform positions, named c<chromosome>m<rank>, both
// counted from 1 so that the names sort in map order.
std::vector<Marker> simulate_chromosomes(const Options& o) {
  Random layout = make_stream(o.seed, Stream::kLayout);
  Random meiosis = make_stream(o.seed, Stream::kMeiosis);
  const int chromosome_width = std::max(2, digits_of(o.chromosomes));
  const int marker_width = std::max(4, digits_of(markers_on(o, 0)));
  // Under viability selection four times the individuals are conceived and
  // the survivors kept (the others' draws are made all the same).
  const auto n_ind = static_cast<std::size_t>(o.individuals) * (o.viability > 0 ? 4 : 1);

  std::vector<Marker> markers;
  markers.reserve(static_cast<std::size_t>(o.markers));
  for (long long c = 0; c < o.chromosomes; ++c) {
    const auto count = static_cast<std::size_t>(markers_on(o, c));
    std::vector<double> positions(count);
    for (double& p : positions) p = layout.uniform() * o.length;
    std::sort(positions.begin(), positions.end());
    std::vector<double> switch_p(count, 0.0);  // switch chance before marker k
    for (std::size_t k = 1; k < count; ++k) switch_p[k] = haldane_r(positions[k] - positions[k - 1]);

    const std::size_t first = markers.size();
    for (std::size_t k = 0; k < count; ++k) {
      Marker m;
      m.name = "c";
      m.name += zero_padded(c + 1, chromosome_width);
      m.name += 'm';
      m.name += zero_padded(static_cast<long long>(k) + 1, marker_width);
      m.truth.assign(n_ind, kH);
      m.missing_rate = o.missing_rate;
      m.chromosome = c + 1;
      m.position = positions[k];
      markers.push_back(std::move(m));
    }
    if (o.population == Population::kF2) {
      // The F2's two gametes are drawn side by side, marker by marker; this
      // order of draws fixes the bytes of every F2 written so far.
      for (std::size_t ind = 0; ind < n_ind; ++ind) {
        int g0 = static_cast<int>(meiosis.next() >> 63);
        int g1 = static_cast<int>(meiosis.next() >> 63);
        for (std::size_t k = 0; k < count; ++k) {
          if (k > 0) {
            if (meiosis.uniform() < switch_p[k]) g0 ^= 1;
            if (meiosis.uniform() < switch_p[k]) g1 ^= 1;
          }
          markers[first + k].truth[ind] =
              genotype(static_cast<std::uint8_t>(g0), static_cast<std::uint8_t>(g1));
        }
      }
    } else {
      Meioses meioses(switch_p, meiosis);
      Strand x(count);
      Strand y(count);
      for (std::size_t ind = 0; ind < n_ind; ++ind) {
        meioses.individual(o.population, x, y);
        for (std::size_t k = 0; k < count; ++k)
          markers[first + k].truth[ind] = genotype(x[k], y[k]);
      }
    }
  }

  if (o.viability > 0) select_survivors(o, markers);

  // Exactly round(share × markers) regular markers are scored dominant.
  const auto n_dominant = static_cast<std::size_t>(
      std::llround(o.dominant_share * static_cast<double>(o.markers)));
  std::vector<std::size_t> pool(markers.size());
  for (std::size_t i = 0; i < pool.size(); ++i) pool[i] = i;
  for (std::size_t i = 0; i < n_dominant && i < pool.size(); ++i) {
    const std::size_t j = i + static_cast<std::size_t>(layout.below(pool.size() - i));
    std::swap(pool[i], pool[j]);
    markers[pool[i]].scoring = (layout.next() >> 63) ? Scoring::kBAgainstD : Scoring::kAAgainstC;
  }
  return markers;
}

// Chooses the --switched runs of --switched-run neighbouring regular markers,
// each run on one chromosome and at least one marker away from the next.
// Every arrangement of the runs is reachable: first each run's chromosome is
// drawn without replacement from all the runs the chromosomes have room for,
// then the runs are placed on each chromosome uniformly among the ways they
// fit. The draws come from a stream of their own, so switching leaves the
// genotypes and all other scores as they were.
void choose_switched(const Options& o, std::vector<Marker>& markers) {
  if (o.switched == 0) return;
  Random random = make_stream(o.seed, Stream::kSwitched);
  std::vector<std::uint32_t> room;  // the chromosome of each run that fits
  for (long long c = 0; c < o.chromosomes; ++c)
    room.insert(room.end(), static_cast<std::size_t>(switched_runs_on(o, c)),
                static_cast<std::uint32_t>(c));
  std::vector<std::size_t> runs_on(static_cast<std::size_t>(o.chromosomes), 0);
  for (std::size_t i = 0; i < static_cast<std::size_t>(o.switched); ++i) {
    const std::size_t j = i + static_cast<std::size_t>(random.below(room.size() - i));
    std::swap(room[i], room[j]);
    ++runs_on[room[i]];
  }

  const auto run = static_cast<std::size_t>(o.switched_run);
  std::size_t first = 0;  // the chromosome's first marker
  for (long long c = 0; c < o.chromosomes; ++c) {
    const auto n = static_cast<std::size_t>(markers_on(o, c));
    const std::size_t k = runs_on[static_cast<std::size_t>(c)];
    if (k > 0) {
      // A run and the marker after it make a block of run + 1 cells among
      // n + 1 (the last one past the chromosome's end). The k blocks and the
      // n + 1 - k (run + 1) free cells form a sequence of `places` items;
      // choosing which k of them are blocks places the runs.
      const std::size_t places = n + 1 - k * (run + 1) + k;
      std::vector<std::size_t> pick(places);
      for (std::size_t i = 0; i < places; ++i) pick[i] = i;
      for (std::size_t i = 0; i < k; ++i) {
        const std::size_t j = i + static_cast<std::size_t>(random.below(places - i));
        std::swap(pick[i], pick[j]);
      }
      std::sort(pick.begin(), pick.begin() + static_cast<std::ptrdiff_t>(k));
      for (std::size_t i = 0; i < k; ++i) {
        // Each block before this one is run cells longer than a free cell.
        const std::size_t start = first + pick[i] + i * run;
        for (std::size_t m = start; m < start + run; ++m) markers[m].switched = true;
      }
    }
    first += n;
  }
}

// The class other than A that a population of the given type has at a
// marker: H in a backcross, B in doubled haploid and inbred lines. (An F2 has
// both.)
char second_class(Population type) { return type == Population::kBC1 ? kH : kB; }

// Extra markers: distorted ones, unlinked, with about 80% A, 15% H and 5% B
// in an F2 and about 85% A otherwise; missing-heavy ones, copies of the true
// genotypes of a random regular marker (named after it) scored with half of
// their values missing.
void add_extra_markers(const Options& o, std::vector<Marker>& markers) {
  Random extra = make_stream(o.seed, Stream::kExtra);
  const auto n_ind = static_cast<std::size_t>(o.individuals);
  const int width = std::max(2, digits_of(std::max(o.distorted, o.missing_heavy)));
  const std::size_t regular = markers.size();
  for (long long i = 0; i < o.distorted; ++i) {
    Marker m;
    m.name = "dist";
    m.name += zero_padded(i + 1, width);
    m.truth.resize(n_ind);
    for (char& g : m.truth) {
      const double u = extra.uniform();
      if (o.population == Population::kF2)
        g = u < 0.80 ? kA : u < 0.95 ? kH : kB;
      else
        g = u < 0.85 ? kA : second_class(o.population);
    }
    m.missing_rate = o.missing_rate;
    markers.push_back(std::move(m));
  }
  for (long long i = 0; i < o.missing_heavy; ++i) {
    const Marker& source = markers[static_cast<std::size_t>(extra.below(regular))];
    Marker m;
    m.name = "miss";
    m.name += zero_padded(i + 1, width);
    m.name += '_';
    m.name += source.name;
    m.truth = source.truth;
    m.missing_rate = 0.5;
    markers.push_back(std::move(m));
  }
}

// The letter written for one individual: the scored class, possibly replaced
// by an error, possibly missing. Three draws per call, whatever the outcome.
// An error turns a codominant score into another class the population has.
// `planted` tells whether an error was written.
char score(const Marker& m, char truth, double error_rate, Population type, Random& r,
           bool& planted) {
  const double u_error = r.uniform();
  const double u_missing = r.uniform();
  const std::uint64_t pick = r.next() >> 63;
  planted = false;
  if (u_missing < m.missing_rate) return '-';
  planted = u_error < error_rate;
  switch (m.scoring) {
    case Scoring::kCodominant: {
      if (u_error < error_rate && type != Population::kF2)
        return truth == kA ? second_class(type) : kA;
      if (u_error < error_rate) {
        // A different class, one of the other two with equal chance.
        const char others[3][2] = {{kB, kH}, {kA, kH}, {kA, kB}};
        const int row = truth == kA ? 0 : truth == kB ? 1 : 2;
        return others[row][pick];
      }
      return truth;
    }
    case Scoring::kAAgainstC: {
      const char scored = truth == kA ? 'A' : 'C';
      if (u_error < error_rate) return scored == 'A' ? 'C' : 'A';
      return scored;
    }
    case Scoring::kBAgainstD: {
      const char scored = truth == kB ? 'B' : 'D';
      if (u_error < error_rate) return scored == 'B' ? 'D' : 'B';
      return scored;
    }
  }
  return '-';
}

// The letter a switched marker shows for a score: parents A and B exchanged.
char exchanged(char letter) {
  switch (letter) {
    case 'A': return 'B';
    case 'B': return 'A';
    case 'C': return 'D';
    case 'D': return 'C';
    default: return letter;
  }
}

struct PlantedError {
  std::size_t marker = 0;
  std::size_t individual = 0;
  char truth = 0;
  char written = 0;
};

// The planted errors, marker by marker in simulation order (regular
// markers first), written to a temporary file and renamed into place.
void write_errors(const Options& o, const std::vector<Marker>& markers,
                  const std::vector<PlantedError>& errors) {
  const std::string temporary = o.errors_path + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "w");
  if (file == nullptr) {
    std::fprintf(stderr, "f2sim: cannot write %s: %s\n", o.errors_path.c_str(), std::strerror(errno));
    std::exit(1);
  }
  std::fputs("marker\tindividual\ttruth\twritten\n", file);
  for (const PlantedError& e : errors)
    std::fprintf(file, "%s\t%zu\t%c\t%c\n", markers[e.marker].name.c_str(), e.individual + 1,
                 e.truth, e.written);
  const bool written = !std::ferror(file);
  if (std::fclose(file) != 0 || !written ||
      std::rename(temporary.c_str(), o.errors_path.c_str()) != 0) {
    std::fprintf(stderr, "f2sim: cannot write %s\n", o.errors_path.c_str());
    std::remove(temporary.c_str());
    std::exit(1);
  }
}

void write_loc(const Options& o, const std::vector<Marker>& markers) {
  Random shuffle = make_stream(o.seed, Stream::kShuffle);
  std::vector<std::size_t> order(markers.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  for (std::size_t i = order.size(); i > 1; --i) {
    const auto j = static_cast<std::size_t>(shuffle.below(i));
    std::swap(order[i - 1], order[j]);
  }

  std::string header = "name = " + o.name + "\npopt = " + population_name(o.population) +
                       "\nnloc = " + std::to_string(markers.size()) +
                       "\nnind = " + std::to_string(o.individuals) + "\n";
  std::fwrite(header.data(), 1, header.size(), stdout);

  // Scores are drawn marker by marker in simulation order, so the shuffle
  // changes the file's line order only.
  Random scoring = make_stream(o.seed, Stream::kScoring);
  std::vector<std::string> lines(markers.size());
  std::vector<PlantedError> errors;
  for (std::size_t i = 0; i < markers.size(); ++i) {
    const Marker& m = markers[i];
    std::string& line = lines[i];
    line.reserve(m.name.size() + 2 * m.truth.size() + 1);
    line = m.name;
    for (std::size_t ind = 0; ind < m.truth.size(); ++ind) {
      line.push_back('\t');
      bool planted = false;
      const char letter = score(m, m.truth[ind], o.error_rate, o.population, scoring, planted);
      const char written = m.switched ? exchanged(letter) : letter;
      line.push_back(written);
      if (planted) {
        const char scored = m.scoring == Scoring::kCodominant ? m.truth[ind]
                            : m.scoring == Scoring::kAAgainstC ? (m.truth[ind] == kA ? 'A' : 'C')
                                                              : (m.truth[ind] == kB ? 'B' : 'D');
        errors.push_back(PlantedError{i, ind, m.switched ? exchanged(scored) : scored, written});
      }
    }
    line.push_back('\n');
  }
  if (!o.errors_path.empty()) write_errors(o, markers, errors);
  for (const std::size_t i : order) std::fwrite(lines[i].data(), 1, lines[i].size(), stdout);
}

// The true map of the regular markers, in map order, to measure a built map
// against. It is written to a temporary file beside the target and renamed,
// so a failed run leaves no partial table.
void write_truth(const Options& o, const std::vector<Marker>& markers) {
  const std::string temporary = o.truth_path + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "w");
  if (file == nullptr) {
    std::fprintf(stderr, "f2sim: cannot write %s: %s\n", o.truth_path.c_str(),
                 std::strerror(errno));
    std::exit(1);
  }
  std::fputs("marker\tchromosome\tposition\tswitched\tdominant\n", file);
  for (std::size_t i = 0; i < static_cast<std::size_t>(o.markers); ++i) {
    const Marker& m = markers[i];
    // Nine decimals keep neighbours apart even on densely filled chromosomes.
    std::fprintf(file, "%s\t%lld\t%.9f\t%d\t%d\n", m.name.c_str(), m.chromosome, m.position,
                 m.switched ? 1 : 0, m.scoring == Scoring::kCodominant ? 0 : 1);
  }
  const bool written = !std::ferror(file);
  if (std::fclose(file) != 0 || !written ||
      std::rename(temporary.c_str(), o.truth_path.c_str()) != 0) {
    std::fprintf(stderr, "f2sim: cannot write %s\n", o.truth_path.c_str());
    std::remove(temporary.c_str());
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = parse_options(argc, argv);
  std::vector<Marker> markers = simulate_chromosomes(options);
  choose_switched(options, markers);
  add_extra_markers(options, markers);
  if (!options.truth_path.empty()) write_truth(options, markers);
  write_loc(options, markers);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "f2sim: cannot write the output\n");
    return 1;
  }
  return 0;
}
