#pragma once
// Screening of one locus for distorted segregation and missing values.

#include <array>
#include <string>

#include "base/channels.hpp"
#include "genotype/genotype_table.hpp"
#include "genotype/population.hpp"

namespace tarvek {

// Index 0: highest accepted share of missing genotypes; 1: 1:1 chi-square
// threshold; 2: 1:2:1 threshold; 3: 1:3 threshold.
using ScreeningThresholds = std::array<float, 4>;

inline constexpr int kAccepted = 0;
inline constexpr int kBadSegregation = 1;
inline constexpr int kExcessMissing = 2;

// Chooses the segregation test from the classes present, applies it, then the
// missing-value test. t is the row length; m, a, b, c, d, h the class counts.
// Writes the rejection line into the log. Returns kAccepted, kBadSegregation
// or kExcessMissing.
//
// In a two-class population the test is always the 1:1 test of the marker's
// two classes (see marker_classes), and the codes the marker cannot have
// count as missing; they are listed in a log line of their own first.
//
// With `typed_only`, the segregation tests (and the class shares that choose
// among them) count only the typed genotypes: the expected counts are
// fractions of t − m (of the two classes' total in a two-class population)
// instead of t, so missing genotypes no longer inflate the statistic. A
// locus without a typed genotype then has no segregation test. The
// missing-value test is the same either way.
int screen_locus(const std::string& name, float t, float m, float a, float b, float c,
                 float d, float h, const ScreeningThresholds& thresholds, Channels& channels,
                 PopulationType population = PopulationType::F2, bool typed_only = false);

// The segregation test an intercross marker's counts call for, from t
// genotypes of which c are C, d are D and h are H: 1:1 of A and B when there
// is no C, D or H; 1:2:1 when C and D are each under a tenth of t; 1:3 of A
// and C when C is over three tenths, else of B and D when D is over a tenth;
// none otherwise. The shares are compared as exact multiples of tenths of t.
enum class IntercrossTest { k1to1, k1to2to1, kAC, kBD, kNone };
IntercrossTest intercross_test(float t, float c, float d, float h);

// True when the row passes its segregation test counted among its typed
// genotypes (as screen_locus with typed_only tests it). Writes nothing.
bool segregates_among_typed(const GenotypeRow& row, const ScreeningThresholds& thresholds,
                            PopulationType population);

// True for an accepted locus that screening tested 1:3: one scored A/C or
// B/D, a dominant marker of an F2. Never for the two-class types.
bool screened_as_dominant(const GenotypeRow& row, PopulationType population);

// The chi-square statistics, single precision, evaluated left to right.
float chi2_1to1(float t, float a, float b);
float chi2_1to2to1(float t, float a, float b, float h);
float chi2_1to3(float t, float single, float dominant);

}  // namespace tarvek
