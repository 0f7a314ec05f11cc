// The table of population types: the share and r conversions, the names and
// aliases every reader accepts, and the agreement of a type's expected codes
// with its markers' classes.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "genotype/genotype_codes.hpp"
#include "genotype/population.hpp"
#include "genotype/population_model.hpp"
#include "linkage/population_lod.hpp"

namespace tarvek {
namespace {

using P = PopulationType;

TEST(PopulationModel, ShareAndRInvertEachOtherAndMeetAtNoLinkage) {
  for (const PopulationModel& model : population_models()) {
    SCOPED_TRACE(std::string(model.name));
    EXPECT_EQ(model.share_of_r(0.0), 0.0);
    // Unlinked loci recombine in half the individuals, whatever the mating.
    EXPECT_NEAR(model.share_of_r(0.5), 0.5, 1e-15);
    double previous = 0.0;
    for (int k = 1; k <= 50; ++k) {
      const double r = k / 100.0;
      const double share = model.share_of_r(r);
      EXPECT_NEAR(model.r_of_share(share), r, 1e-14) << r;
      // Inbreeding only adds meioses: the share is never below r, and it
      // grows with r.
      EXPECT_GE(share, r - 1e-15) << r;
      EXPECT_GT(share, previous) << r;
      previous = share;
    }
  }
  // The inbred lines' shares at r = 0.1: 2r/(1+2r) and 4r/(1+6r).
  EXPECT_NEAR(population_model(P::RIL).share_of_r(0.1), 1.0 / 6.0, 1e-15);
  EXPECT_NEAR(population_model(P::RILsib).share_of_r(0.1), 0.25, 1e-15);
  // The estimator's float r is the table's conversion of the float share.
  for (const PopulationModel& model : population_models())
    EXPECT_EQ(recombination_of_share(model.type, 0.2f),
              static_cast<float>(model.r_of_share(static_cast<double>(0.2f))))
        << model.name;
}

TEST(PopulationModel, TableIsInTypeOrderAndNamesParseBack) {
  for (const P type : {P::F2, P::BC1, P::DH, P::RIL, P::RILsib}) {
    EXPECT_EQ(population_model(type).type, type);
    EXPECT_EQ(parse_population(population_name(type)), type);
    EXPECT_EQ(parse_population_any_case(population_name(type)), type);
  }
  EXPECT_EQ(population_names_listed(), "F2, BC1, DH, RIL or RILsib");
}

TEST(PopulationModel, HeaderAcceptsWhatItAcceptedBefore) {
  // Every alias the popt line has always taken, and near misses it never has.
  const struct {
    const char* value;
    std::optional<P> type;
  } cases[] = {
      {"F2", P::F2},          {"f2", P::F2},          {"BC", P::BC1},        {"BC1", P::BC1},
      {"bc1", P::BC1},        {"DH", P::DH},          {"DH1", P::DH},        {"dh2", P::DH},
      {"RIL", P::RIL},        {"RIL8", P::RIL},       {"RIL10", P::RIL},     {"RI", P::RIL},
      {"RI8", P::RIL},        {"ri12", P::RIL},       {"RILSIB", P::RILsib}, {"RILsib", P::RILsib},
      {"RILSIB6", P::RILsib}, {"RISIB", P::RILsib},   {"risib", P::RILsib},  {"F3", std::nullopt},
      {"F21", std::nullopt},  {"BC2", std::nullopt},  {"BC12", std::nullopt}, {"DH3", std::nullopt},
      {"DH12", std::nullopt}, {"RI8x", std::nullopt}, {"RISIB2", std::nullopt},
      {"RILSIBX", std::nullopt}, {"R", std::nullopt}, {"RIX", std::nullopt},
      {"RIL 6", std::nullopt}, {"CP", std::nullopt},  {"", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(population_in_header(std::string("popt = ") + c.value), c.type) << c.value;
  // Every alias of the table, with the digits its '#' allows, names its type.
  for (const PopulationModel& model : population_models())
    for (const std::string_view alias : model.header_aliases) {
      if (alias.empty()) continue;
      std::string stem(alias);
      if (stem.back() != '#') {
        EXPECT_EQ(population_in_header("popt = " + stem), model.type) << stem;
        continue;
      }
      stem.pop_back();
      for (const char* digits : {"", "1", "42"})
        EXPECT_EQ(population_in_header("popt = " + stem + digits), model.type) << stem << digits;
    }
}

TEST(PopulationModel, ExpectedCodesAreTheClassesAMarkerCanHave) {
  for (const PopulationModel& model : population_models()) {
    SCOPED_TRACE(std::string(model.name));
    unsigned codes = 0;
    if (model.classes == 3) {
      codes = 1u << kCodeA | 1u << kCodeB | 1u << kCodeH;
    } else {
      // The classes of a marker that holds more A than B.
      const MarkerClasses c = marker_classes(model.type, GenotypeRow{kCodeA, kCodeA, kCodeB});
      codes = 1u << c.first | 1u << c.second;
      if (!model.class_letters.empty()) {
        EXPECT_EQ(model.class_letters.size(), 2u);
      }
    }
    EXPECT_EQ(model.expected_codes, codes);
    // Two classes go with the share estimator, the 1:1 test and the
    // class conflict rule; three with the intercross ones.
    const bool two = model.classes == 2;
    EXPECT_EQ(two, two_class(model.type));
    EXPECT_EQ(model.estimator == PairEstimator::kRecombinantShare, two);
    EXPECT_EQ(model.segregation == SegregationTest::kClassesOneToOne, two);
    EXPECT_EQ(model.conflict == ConflictRule::kDifferentClasses, two);
  }
}

}  // namespace
}  // namespace tarvek
