#pragma once
// What a map is judged by, marker by marker and individual by individual:
// each marker's classes, its segregation among the individuals typed at it,
// its missing share, the errors the multipoint model calls in it and why it
// was rejected; each individual's missing share, crossovers and called
// errors (an individual of another cross, or badly genotyped, stands out by
// its crossovers); markers with identical genotypes (bins) and individuals
// with nearly identical ones (clones, or samples genotyped twice).

#include <array>
#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "genotype/genotype_codes.hpp"
#include "genotype/population.hpp"
#include "interop/map_model.hpp"
#include "interop/map_positions.hpp"
#include "interop/map_reader.hpp"

namespace tarvek::interop {

// A Pearson chi-square test of a marker's typed classes against the ratio
// its classes call for: 1:1 (two classes), 1:2:1 (A, H, B) or 1:3 (A or B
// against its dominant score); none ("-") when the scores fit no ratio.
struct Segregation {
  std::string ratio = "-";
  double chi2 = 0.0;
  int df = 0;
  double p = 1.0;
  std::size_t typed = 0;  // the individuals counted
};
Segregation segregation_test(const GenotypeRow& codes, PopulationType population);

// The upper tail of the chi-square distribution with 1 or 2 degrees of freedom.
double chi2_upper_tail(double chi2, int df);

struct MarkerQuality {
  const MapMarker* marker = nullptr;
  std::string status;                    // "mapped", "segregation", "missing values"
  std::optional<std::size_t> group;      // from 0, mapped markers only
  std::string segment;                   // "3", "chr1.2"
  std::optional<double> position_cm;
  std::array<std::size_t, kCodeCount> counts{};  // by genotype code, "*" (kFlagged) included
  double missing_share = 0.0;            // missing and "*" of all individuals
  Segregation segregation;
  std::size_t errors_called = 0;
  std::optional<std::size_t> bin;        // from 1, when another mapped marker has the same genotypes
};

// Mapped markers in map order, then the rejected ones.
std::vector<MarkerQuality> marker_quality(const MapFile& map, const std::vector<PlacedGroup>& placed,
                                          PopulationType population, const std::vector<MapErrorCall>& calls);

// Tab-separated with a header line; "NA" where a value does not apply.
void write_marker_table(std::ostream& out, const MapFile& map, const std::vector<MarkerQuality>& rows);

struct IndividualQuality {
  std::size_t individual = 0;  // its number in the first loc file, from 0
  std::string name;
  std::size_t column = 0;      // in the map file
  std::size_t typed = 0, missing = 0, flagged = 0;  // over the mapped markers
  double missing_share = 0.0;
  std::size_t crossovers = 0;  // along the groups' orders, within linkage segments
  std::size_t errors_called = 0;
  std::vector<std::size_t> clones;  // individuals (numbers) with nearly the same genotypes
};

// In the individuals' original order. Throws InputError when the ;indOrdr
// line is not an order of the individuals.
std::vector<IndividualQuality> individual_quality(const MapFile& map, PopulationType population,
                                                  const std::vector<MapErrorCall>& calls);

void write_individual_table(std::ostream& out, const std::vector<IndividualQuality>& rows);

// The mapped markers grouped by identical genotypes ("*" read as missing),
// only groups of two or more, in map order of their first marker.
std::vector<std::vector<const MapMarker*>> marker_bins(const MapFile& map);

// Pairs of individuals (numbers, a < b) whose genotypes agree at no less
// than `share` of the mapped markers typed in both (at least 20 of them;
// at most 2,000 markers, spread evenly, are compared).
struct ClonePair {
  std::size_t a = 0, b = 0;
  std::size_t compared = 0, agreeing = 0;
};
inline constexpr double kCloneShare = 0.95;
std::vector<ClonePair> clone_pairs(const MapFile& map, double share = kCloneShare);

}  // namespace tarvek::interop
