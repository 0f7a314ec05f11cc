// Round trips that lose nothing: phenotypes through the loc file and the map
// file back into R/qtl csv, a backcross in R/qtl's and JoinMap's codes, the
// Lep-MAP table, MAPMAKER raw files, and the check of a --genotypes mapping.

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>

#include "genotype/genotype_codes.hpp"
#include "interop/exporters.hpp"
#include "interop/input_error.hpp"
#include "interop/loc_writer.hpp"
#include "interop/map_reader.hpp"
#include "interop/mapmaker_reader.hpp"
#include "interop/peer_exporters.hpp"
#include "interop/rqtl_reader.hpp"

namespace tarvek::interop {
namespace {

MapFile read(const std::string& text) {
  std::istringstream in(text);
  return read_map_file(in, "map.loc");
}

// A backcross map, columns holding individuals 1, 0, 2; M2 scored B/H and
// holding a stray A (in column 2); a ";phenotypes" line of two traits, as tarvek copies the
// importer's comment lines into slots 5 and 6.
const std::string kBackcross =
    "name = bc\npopt = BC1\nnloc = 3\nnind = 3\n"
    ";individuals\tp\tq\tr\n"
    ";phenotypes\tbp\tsex\t;\t101.5\tmale\tNA\tfemale\t99\tmale\n\n"
    ";grouping threshold LOD=8\n\n;newscore=3\n;switched alleles\tM2\n"
    ";indOrdr\t1\t0\t2\t;\tr\tLOD\tdist\n"
    "M1\tA\tH\tH\t;\t0.1\t5.2\t4.4\n"
    "M2\tB\tB\tA\n;\n"
    "M 3\tH\tA\t*\n;\n";

TEST(RoundTrip, RqtlCsvWithPhenotypesInTheBackcrossCoding) {
  const MapFile map = read(kBackcross);
  ASSERT_EQ(map.phenotype_names, (std::vector<std::string>{"bp", "sex"}));
  std::ostringstream csv;
  write_rqtl_csv(csv, map, place_markers(map, MapFunction::kKosambi), PopulationType::BC1);
  // Individual p is in column 1, q in column 0, r in column 2.
  EXPECT_EQ(csv.str(),
            "id,bp,sex,M1,M2,M 3\n"
            ",,,1,1,2\n"
            ",,,0.0000,10.1366,0.0000\n"
            "p,101.5,male,H,A,A\n"
            "q,NA,female,A,A,H\n"
            "r,99,male,H,-,-\n");
  const std::vector<std::string> notes = recoding_notes(map, PopulationType::BC1);
  ASSERT_EQ(notes.size(), 3u);
  EXPECT_EQ(notes[0], "1 backcross marker scored B/H written as A/H, the coding of read.cross(crosstype = \"bc\"): M2");
  EXPECT_EQ(notes[1], "1 genotype that its marker cannot have in BC1 written as missing");
  EXPECT_EQ(notes[2], "1 marker has A and B exchanged relative to the loc file (tarvek -a): M2");

  // Phenotypes that do not cover every individual are refused.
  std::string short_line = kBackcross;
  short_line.erase(short_line.find("\tmale\n"), 5);
  EXPECT_THROW(write_rqtl_csv(csv, read(short_line), place_markers(read(short_line), MapFunction::kKosambi)),
               InputError);
}

TEST(RoundTrip, JoinMapLocAndLepMapTable) {
  const MapFile map = read(kBackcross);
  std::ostringstream loc;
  std::size_t renamed = 0;
  write_joinmap_loc(loc, map, PopulationType::BC1, renamed);
  EXPECT_EQ(loc.str(),
            "name = bc\npopt = BC1\nnloc = 3\nnind = 3\n\n"
            "M1 h a h\n"
            "M2 a a -\n"
            "M_3 a h -\n"
            "\nindividual names:\np\nq\nr\n");
  EXPECT_EQ(renamed, 1u);
  EXPECT_EQ(joinmap_population(PopulationType::RILsib), "RI8");

  std::ostringstream table;
  MapErrorCall call;
  call.group = 0;
  call.call.marker = 1;
  write_lepmap_table(table, map, place_markers(map, MapFunction::kKosambi), {call}, MapFunction::kKosambi);
  EXPECT_EQ(table.str(),
            "#tarvek-export lepmap: map.loc, Kosambi cM, the same (sex-averaged) position for both sexes\n"
            "#markers: number, name\n#1\tM1\n#2\tM2\n#3\tM 3\n"
            "#*** LG = 1 likelihood = NA\n#marker_number\tmale_position\tfemale_position\t( error_estimate )\n"
            "1\t0.0000\t0.0000\t( 0.0000 )\n2\t10.1366\t10.1366\t( 0.3333 )\n"
            "#*** LG = 2 likelihood = NA\n#marker_number\tmale_position\tfemale_position\t( error_estimate )\n"
            "3\t0.0000\t0.0000\t( 0.0000 )\n");
}

TEST(RoundTrip, MapmakerRawWithSymbolsWrappedMarkersAndTraits) {
  std::istringstream in(
      "# a comment\n"
      "data type f2 backcross\n"
      "4 2 1 symbols x=A y=H\n"
      "*m1 xy\n"
      "     -h\n"
      "*m2 x y a y\n"
      "*weight 1.5 - 3\n"
      "  4e2\n");
  const LocData loc = read_mapmaker_raw(in, "x.raw");
  EXPECT_EQ(loc.population, "BC1");
  ASSERT_EQ(loc.markers.size(), 2u);
  EXPECT_EQ(loc.markers[0].codes, (GenotypeRow{kCodeA, kCodeH, kMissing, kCodeH}));
  EXPECT_EQ(loc.markers[1].codes, (GenotypeRow{kCodeA, kCodeH, kCodeA, kCodeH}));
  EXPECT_EQ(loc.phenotype_names, (std::vector<std::string>{"weight"}));
  ASSERT_EQ(loc.phenotype_values.size(), 4u);
  EXPECT_EQ(loc.phenotype_values[1], (std::vector<std::string>{"-"}));
  EXPECT_EQ(loc.phenotype_values[3], (std::vector<std::string>{"4e2"}));

  const auto error = [](const std::string& text) {
    std::istringstream bad(text);
    try {
      read_mapmaker_raw(bad, "x.raw");
    } catch (const InputError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(error("data type outcross\n"),
            "x.raw: line 1: \"data type outcross\": not \"data type\" f2 intercross, f2 backcross, ri self or ri sib");
  EXPECT_EQ(error("data type f2 intercross\n3 1 0\n*m1 ABHA\n"), "x.raw: line 3: marker m1 has 4 genotypes, not 3");
  EXPECT_EQ(error("data type f2 intercross\n3 1 0\n*m1 ABX\n"),
            "x.raw: line 3: marker m1: genotype \"X\" is not A, B, H, C, D, - or a symbol of the second line");
  EXPECT_EQ(error("data type f2 intercross\n3 2 0\n*m1 ABH\n"),
            "x.raw: the second line counts 2 markers and 0 traits, the file holds 1 entries (truncated?)");
}

TEST(RoundTrip, AGenotypeMappingThatFailsSegregationIsRefusedNamingTheOneThatFits) {
  // 30 F2 markers of 200 individuals in 1:2:1, read with AB and BB swapped.
  LocData loc;
  std::mt19937 random(5);
  for (int m = 0; m < 30; ++m) {
    LocMarker marker;
    marker.name = std::string(1, 'm').append(std::to_string(m));
    for (int i = 0; i < 200; ++i) {
      const auto u = random() % 4;
      marker.codes.push_back(u == 0 ? kCodeA : u == 3 ? kCodeH : kCodeB);  // BB read as AB: 1:1:2
    }
    loc.markers.push_back(marker);
  }
  EXPECT_EQ(check_genotype_mapping(loc, {"1", "2", "3"}),
            "--genotypes 1,2,3 makes 30 of the 30 markers tested fail their segregation test (P < 0.0001 among "
            "the typed individuals); --genotypes 1,3,2 makes 0 fail: the codes are likely that "
            "(--no-segregation-check imports as given)");
  // Read right, nothing to say.
  for (LocMarker& m : loc.markers)
    for (int& c : m.codes) c = c == kCodeH ? kCodeB : c == kCodeB ? kCodeH : c;
  EXPECT_EQ(check_genotype_mapping(loc, {"1", "3", "2"}), "");
}

}  // namespace
}  // namespace tarvek::interop
