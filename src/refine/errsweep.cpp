#include "refine/errsweep.hpp"

#include <array>
#include <ostream>
#include <stdexcept>

#include "base/parallel.hpp"
#include "genotype/genotype_codes.hpp"
#include "genotype/population.hpp"

namespace tarvek {
namespace {

// A genotype is a singleton when the weighted conflicts with its neighbours
// in the order add up to more than this.
constexpr float kSingletonCut = 0.95f;

// The weights of the neighbours at distance 1, 2, ... on each side; the
// first kHalfWidth of them are used.
constexpr int kMaxHalfWidth = 15;
constexpr std::array<float, kMaxHalfWidth> kRawWeights{
    0.998f, 0.981f, 0.934f, 0.857f, 0.758f, 0.647f, 0.537f, 0.433f,
    0.342f, 0.265f, 0.202f, 0.151f, 0.112f, 0.082f, 0.059f};

constexpr int kConfiguredHalfWidth = 1;

constexpr int kHalfWidth =
    kConfiguredHalfWidth > kMaxHalfWidth ? kMaxHalfWidth : kConfiguredHalfWidth;

// The raw weights of the half width, scaled so that both sides add up to 1:
// the sum of twice each weight in single precision, then each weight divided
// by it.
constexpr std::array<float, kMaxHalfWidth> normalised_weights() {
  std::array<float, kMaxHalfWidth> w = kRawWeights;
  float sum = 0.0f;
  for (int d = 0; d < kHalfWidth; ++d) sum += 2.0f * w[static_cast<std::size_t>(d)];
  for (int d = 0; d < kHalfWidth; ++d) w[static_cast<std::size_t>(d)] /= sum;
  return w;
}

constexpr std::array<float, kMaxHalfWidth> kWeights = normalised_weights();
static_assert(kWeights[0] == 0.5f, "one neighbour per side weighs one half");

// Rows: neighbour's code; columns: code under test. Codes - A B C D H *.
constexpr float kConflict[kCodeCount][kCodeCount] = {
    {0, 0, 0, 0, 0, 0, 0},  // -
    {0, 0, 1, 1, 0, 1, 0},  // A
    {0, 1, 0, 0, 1, 1, 0},  // B
    {0, 1, 0, 0, 0, 0, 0},  // C
    {0, 0, 1, 0, 0, 0, 0},  // D
    {0, 1, 1, 0, 0, 0, 0},  // H
    {0, 0, 0, 0, 0, 0, 0},  // *
};

struct Removal {
  std::size_t position;
  std::vector<std::size_t> singletons;
};

// Normalised weight of the neighbour at distance 1..kHalfWidth.
float neighbour_weight(int distance) { return kWeights.at(static_cast<std::size_t>(distance - 1)); }

}  // namespace

float conflict(int neighbour_code, int code) {
  if (neighbour_code < 0 || neighbour_code >= kCodeCount || code < 0 || code >= kCodeCount)
    throw std::out_of_range("genotype code");
  return kConflict[neighbour_code][code];
}

namespace {

// Positions of the order per block of the singleton scan.
constexpr std::size_t kPositionsPerBlock = 64;

// Calls visit(k) for every singleton k of order position i (individuals in
// increasing order), judged against the neighbours in the full order;
// conflict_at(q, i, k) says whether individual k at position q conflicts
// with it at position i.
template <class Conflict, class Visit>
void scan_position(std::size_t n, std::size_t i, std::size_t individuals,
                   const Conflict& conflict_at, const Visit& visit) {
  const long long width = kHalfWidth;
  for (std::size_t k = 0; k < individuals; ++k) {
    float yhat = 0.0f;
    for (long long j = -width; j <= width; ++j) {
      if (j == 0) continue;
      const long long q = static_cast<long long>(i) + j;
      if (q < 0 || q >= static_cast<long long>(n)) continue;
      const int distance = static_cast<int>(j < 0 ? -j : j);
      yhat += neighbour_weight(distance) * conflict_at(static_cast<std::size_t>(q), i, k);
    }
    if (yhat > kSingletonCut) visit(k);
  }
}

}  // namespace

int find_singletons(std::vector<GenotypeRow>& rows, MarkerOrder& order,
                    const std::vector<int>& members, std::vector<int>& removed,
                    float singleton_threshold, Channels& channels, PopulationType population,
                    int threads) {
  std::ostream& log = log_of(channels);
  const std::size_t n = order.size();
  if (n == 0) return 0;
  // The row of the locus at each order position.
  std::vector<const GenotypeRow*> at_position(n);
  for (std::size_t p = 0; p < n; ++p) {
    const int member = members.at(static_cast<std::size_t>(order[p]));
    at_position[p] = &rows.at(static_cast<std::size_t>(member));
  }
  const std::size_t individuals = at_position[0]->size();
  log << individuals << " individuals";
  const bool classes = population_model(population).conflict == ConflictRule::kDifferentClasses;
  std::vector<MarkerClasses> classes_at(classes ? n : 0);
  for (std::size_t p = 0; p < classes_at.size(); ++p)
    classes_at[p] = marker_classes(population, *at_position[p]);
  // 1 where the genotype of individual k at position q conflicts with that
  // of the locus under test at position i.
  const auto conflict_at = [&](std::size_t q, std::size_t i, std::size_t k) -> float {
    const int neighbour = at_position[q]->at(k);
    const int code = at_position[i]->at(k);
    if (!classes) return conflict(neighbour, code);
    const int u = class_of(classes_at[q], neighbour);
    const int v = class_of(classes_at[i], code);
    return u >= 0 && v >= 0 && u != v ? 1.0f : 0.0f;
  };

  // Every position is judged against the unreduced order, so the counts are
  // independent of each other: blocks of positions are counted on the
  // threads, each into its own entries. A position whose scan fails (a row
  // too short, a code out of range) is marked and scanned again below, in
  // order, so that the failure comes at the same point of the log.
  constexpr long long kScanAgain = -1;
  std::vector<long long> counts(n, 0);
  threads = threads_for_work(threads, n * individuals, std::size_t{1} << 16);
  for_each_block(threads, Blocks{n, kPositionsPerBlock},
                 [&](std::size_t, std::size_t first, std::size_t last) {
                   for (std::size_t i = first; i < last; ++i) {
                     long long c = 0;
                     try {
                       scan_position(n, i, individuals, conflict_at, [&](std::size_t) { ++c; });
                     } catch (const std::exception&) {
                       c = kScanAgain;
                     }
                     counts[i] = c;
                   }
                 });

  std::vector<Removal> removals;
  for (std::size_t i = 0; i < n; ++i) {
    if (counts[i] == kScanAgain) {
      long long c = 0;
      scan_position(n, i, individuals, conflict_at, [&](std::size_t) { ++c; });
      counts[i] = c;
    }
    const auto c = static_cast<std::size_t>(counts[i]);
    const double share = static_cast<double>(c) / static_cast<double>(individuals);
    if (individuals > 0 && share > static_cast<double>(singleton_threshold)) {
      const int entry = order[i];
      removed.push_back(entry);
      log << "removing marker=" << members.at(static_cast<std::size_t>(entry)) << " at " << i
          << " for " << c << " singletons with score " << static_cast<float>(share) << std::endl;
      Removal removal{i, {}};
      removal.singletons.reserve(c);
      scan_position(n, i, individuals, conflict_at,
                    [&](std::size_t k) { removal.singletons.push_back(k); });
      removals.push_back(std::move(removal));
    }
  }

  std::size_t erased = 0;
  for (const Removal& removal : removals) {
    const std::size_t pos = removal.position - erased;
    const int member = members.at(static_cast<std::size_t>(order.at(pos)));
    GenotypeRow& row = rows.at(static_cast<std::size_t>(member));
    for (const std::size_t k : removal.singletons) row.at(k) = kFlagged;
    order.erase(order.begin() + static_cast<std::ptrdiff_t>(pos));
    ++erased;
  }
  return static_cast<int>(removals.size());
}

}  // namespace tarvek
