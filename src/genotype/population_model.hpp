#pragma once
// What the program knows of each mapping population type, in one table: its
// names, the classes a marker has, the codes it expects, how the recombinant
// share of a pair relates to r, and which estimator, segregation test and
// error-detection rule its markers take. Callers read the table instead of
// testing for a type.
//
// An F2 intercross has three codominant classes (A, H, B) and the dominant
// scores C and D; the other types have two classes per marker: a backcross
// (BC1) the recurrent parent's homozygote and the heterozygote (A and H, or B
// and H), doubled haploids (DH) and recombinant inbred lines, selfed (RIL) or
// sib-mated (RILsib), the two homozygotes A and B.

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "genotype/genotype_codes.hpp"

namespace tarvek {

enum class PopulationType { F2, BC1, DH, RIL, RILsib };

// r and LOD of a pair: the intercross estimators of pair_lod.hpp, or the
// share of recombinant individuals among those informative at both loci.
enum class PairEstimator { kIntercross, kRecombinantShare };

// The segregation test of a marker: the intercross tests (1:1 of A and B,
// 1:2:1 of A, H and B, 1:3 of a dominant score), chosen from its counts, or
// 1:1 of its two classes.
enum class SegregationTest { kIntercrossRatios, kClassesOneToOne };

// What error detection counts as a conflict between two loci of an
// individual: the genotype codes' own conflict table, or classes that differ
// (a code outside the marker's classes conflicts with nothing).
enum class ConflictRule { kGenotypeCodes, kDifferentClasses };

struct PopulationModel {
  PopulationType type = PopulationType::F2;
  // The name as written on the command line, in map files and in the log.
  std::string_view name;
  // What a loc file's "popt = ..." line may say for the type, in capitals;
  // a trailing '#' stands for any run of digits, or none.
  std::array<std::string_view, 3> header_aliases{};
  // The population code of the peer loc format the exporter writes.
  std::string_view peer_code;
  // Classes of a marker: 3 for the codominant intercross, else 2.
  int classes = 3;
  // For two classes: the second class's code (B, or H in a backcross), and
  // whether the first is the homozygote the marker holds more of (A when it
  // holds as many A as B) rather than always A.
  int second_class = 0;
  bool first_follows_majority = false;
  // Exchanging a marker's alleles renames its homozygote and leaves its
  // classes (a backcross): the phase of a pair is in the letters alone.
  bool exchange_keeps_classes = false;
  // The letters an export writes for the first and second class; empty for
  // the codes' own letters.
  std::string_view class_letters;
  // Bit c set when the codominant code c (A, B or H) is expected.
  unsigned expected_codes = 0;
  // The recombinant share of a pair at recombination frequency r, and r at
  // a share: r itself in a backcross or doubled haploids, 2r/(1+2r) in
  // selfed and 4r/(1+6r) in sib-mated inbred lines.
  double (*share_of_r)(double r) = nullptr;
  double (*r_of_share)(double share) = nullptr;
  PairEstimator estimator = PairEstimator::kIntercross;
  SegregationTest segregation = SegregationTest::kIntercrossRatios;
  ConflictRule conflict = ConflictRule::kGenotypeCodes;
};

namespace population_detail {

double share_is_r(double value);
double selfed_share_of_r(double r);
double selfed_r_of_share(double share);
double sib_mated_share_of_r(double r);
double sib_mated_r_of_share(double share);

constexpr unsigned bit(int code) { return 1u << code; }

constexpr PopulationModel two_class_model(PopulationType type, std::string_view name,
                                          std::array<std::string_view, 3> aliases,
                                          std::string_view peer_code, double (*share_of_r)(double),
                                          double (*r_of_share)(double)) {
  PopulationModel m;
  m.type = type;
  m.name = name;
  m.header_aliases = aliases;
  m.peer_code = peer_code;
  m.classes = 2;
  m.second_class = kCodeB;
  m.expected_codes = bit(kCodeA) | bit(kCodeB);
  m.share_of_r = share_of_r;
  m.r_of_share = r_of_share;
  m.estimator = PairEstimator::kRecombinantShare;
  m.segregation = SegregationTest::kClassesOneToOne;
  m.conflict = ConflictRule::kDifferentClasses;
  return m;
}

constexpr PopulationModel intercross() {
  PopulationModel m;
  m.type = PopulationType::F2;
  m.name = "F2";
  m.header_aliases = {"F2"};
  m.peer_code = "F2";
  m.classes = 3;
  m.expected_codes = bit(kCodeA) | bit(kCodeB) | bit(kCodeH);
  m.share_of_r = share_is_r;
  m.r_of_share = share_is_r;
  return m;
}

constexpr PopulationModel backcross() {
  PopulationModel m = two_class_model(PopulationType::BC1, "BC1", {"BC", "BC1"}, "BC1",
                                      share_is_r, share_is_r);
  m.second_class = kCodeH;
  m.first_follows_majority = true;
  m.exchange_keeps_classes = true;
  m.class_letters = "AH";  // the homozygote is the recurrent parent's, A
  m.expected_codes = bit(kCodeA) | bit(kCodeH);
  return m;
}

}  // namespace population_detail

// Every type's model, in the order of PopulationType. A constant table in
// the header, so that reading it in an inner loop costs a load.
inline constexpr std::array<PopulationModel, 5> kPopulationModels{
    population_detail::intercross(),
    population_detail::backcross(),
    population_detail::two_class_model(PopulationType::DH, "DH", {"DH", "DH1", "DH2"}, "DH1",
                                       population_detail::share_is_r,
                                       population_detail::share_is_r),
    population_detail::two_class_model(PopulationType::RIL, "RIL", {"RIL#", "RI#"}, "RI8",
                                       population_detail::selfed_share_of_r,
                                       population_detail::selfed_r_of_share),
    population_detail::two_class_model(PopulationType::RILsib, "RILsib", {"RILSIB#", "RISIB"},
                                       "RI8", population_detail::sib_mated_share_of_r,
                                       population_detail::sib_mated_r_of_share),
};

namespace population_detail {
constexpr bool in_type_order() {
  for (std::size_t k = 0; k < kPopulationModels.size(); ++k)
    if (static_cast<std::size_t>(kPopulationModels[k].type) != k) return false;
  return true;
}
static_assert(in_type_order(), "population_model indexes the table by type");
}  // namespace population_detail

inline std::span<const PopulationModel> population_models() { return kPopulationModels; }
inline const PopulationModel& population_model(PopulationType type) {
  return kPopulationModels.at(static_cast<std::size_t>(type));
}

// The types' names as a sentence lists them: "F2, BC1, DH, RIL or RILsib".
std::string population_names_listed();

}  // namespace tarvek
