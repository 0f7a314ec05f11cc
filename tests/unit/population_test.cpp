// Population types: names, the header's popt line, the classes of a marker
// and the exchange of alleles.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "genotype/genotype_codes.hpp"
#include "genotype/population.hpp"

namespace tarvek {
namespace {

constexpr int M = kMissing, A = kCodeA, B = kCodeB, C = kCodeC, D = kCodeD, H = kCodeH,
              F = kFlagged;
using P = PopulationType;

TEST(PopulationType, NamesAreExactAndRoundTrip) {
  for (const P type : {P::F2, P::BC1, P::DH, P::RIL, P::RILsib})
    EXPECT_EQ(parse_population(population_name(type)), type);
  EXPECT_EQ(population_name(P::RILsib), "RILsib");
  for (const char* wrong : {"", "f2", "bc1", "RILSIB", "RI8", " BC1", "BC1 ", "BC", "DH1"})
    EXPECT_EQ(parse_population(wrong), std::nullopt) << wrong;
}

TEST(PopulationType, HeaderLineIsReadLenientlyWithCommonAliases) {
  const struct {
    const char* line;
    std::optional<P> type;
  } cases[] = {
      {"popt = F2", P::F2},         {"popt = BC1", P::BC1},     {"POPT=bc", P::BC1},
      {"  popt\t=  DH  ", P::DH},   {"popt = DH2", P::DH},      {"popt = RI8", P::RIL},
      {"popt = RIL", P::RIL},       {"popt = ril6", P::RIL},    {"popt = RI", P::RIL},
      {"popt = RILsib", P::RILsib}, {"popt = RISIB", P::RILsib},
      // Not a popt line, or a type tarvek does not map.
      {"name = BC1", std::nullopt}, {"popt BC1", std::nullopt}, {"popt = CP", std::nullopt},
      {"popt = BC2", std::nullopt}, {"popt = RI8x", std::nullopt}, {"popt =", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(population_in_header(c.line), c.type) << c.line;
}

TEST(PopulationType, BackcrossMarkersAreScoredAgainstTheirCommonerHomozygote) {
  EXPECT_EQ(marker_classes(P::BC1, GenotypeRow{A, H, B, H}).first, A);  // tie: A
  EXPECT_EQ(marker_classes(P::BC1, GenotypeRow{B, H, B, A}).first, B);
  EXPECT_EQ(marker_classes(P::BC1, GenotypeRow{B, H}).second, H);
  for (const P type : {P::DH, P::RIL, P::RILsib}) {
    const MarkerClasses k = marker_classes(type, GenotypeRow{B, B, B, H});
    EXPECT_EQ(k.first, A);
    EXPECT_EQ(k.second, B);
  }
  const MarkerClasses ah{A, H};
  EXPECT_EQ(class_of(ah, A), 0);
  EXPECT_EQ(class_of(ah, H), 1);
  for (const int code : {M, B, C, D, F}) EXPECT_EQ(class_of(ah, code), -1) << code;
}

TEST(PopulationType, ExchangingAllelesSwapsAAndBAndCAndD) {
  GenotypeRow row{M, A, B, C, D, H, F};
  exchange_alleles(row);
  EXPECT_EQ(row, (GenotypeRow{M, B, A, D, C, H, F}));
}

}  // namespace
}  // namespace tarvek
