#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/map_file.hpp"
#include "genotype/old_order.hpp"
#include "run/run_parameters.hpp"
#include "support/channels.hpp"

namespace tarvek {
namespace {

using Order = std::vector<int>;
using Lines = std::vector<std::string>;

const std::string kLoading = "loading old inidividual order...\n";
const std::string kLoaded = "loaded individual order successfull\n";

struct Scanned {
  OldOrderState state;
  std::string log;
};

Scanned scan(const Lines& lines, int n_individuals) {
  Scanned s;
  testing::CapturedChannels io;
  scan_comment_lines(lines, n_individuals, s.state, io.channels);
  s.log = io.log_text();
  return s;
}

TEST(OldOrder, EntriesRunFromTheFirstTabToAnEmptyOrSemicolonField) {
  EXPECT_EQ(parse_individual_order(";indOrdr\t3\t1\t2\t0\t;\tr\tLOD\tdist"), (Order{3, 1, 2, 0}));
  EXPECT_EQ(parse_individual_order(";indOrdr\t1\t\t2"), (Order{1}));
  EXPECT_EQ(parse_individual_order(";indOrdr junk\t\t\t7\t8"), (Order{7, 8}));
  EXPECT_EQ(parse_individual_order(";indOrdr\t5\t;x\t6"), (Order{5}));
  EXPECT_EQ(parse_individual_order(";indOrdr\t1\t2\t"), (Order{1, 2}));
  // Fields convert leniently: no number gives 0.
  EXPECT_EQ(parse_individual_order(";indOrdr\tx\t-4\t 5\t+6z"), (Order{0, -4, 5, 6}));
  EXPECT_TRUE(parse_individual_order(";indOrdr\t\t").empty());
  EXPECT_TRUE(parse_individual_order(";indOrdr").empty());
  EXPECT_TRUE(parse_individual_order(";indOrdr 1 2 3").empty());
}

TEST(OldOrder, OrderIsTakenOnlyWithExactlyOneEntryPerIndividual) {
  const std::string line = ";indOrdr\t3\t1\t2\t0\t;\tr\tLOD\tdist";
  Scanned s = scan({line}, 4);
  EXPECT_TRUE(s.state.old_order_loaded);
  EXPECT_EQ(s.state.old_individual_order, (Order{3, 1, 2, 0}));
  EXPECT_EQ(s.log, kLoading + kLoaded);

  s = scan({line}, 3);
  EXPECT_FALSE(s.state.old_order_loaded);
  EXPECT_EQ(s.log, kLoading);
  s = scan({line}, 5);
  EXPECT_FALSE(s.state.old_order_loaded);

  // Anything after the eight key characters up to the first tab is ignored.
  s = scan({";indOrdrX\t1"}, 1);
  EXPECT_TRUE(s.state.old_order_loaded);
  EXPECT_EQ(s.state.old_individual_order, (Order{1}));

  // Near misses of the key are not order lines at all.
  s = scan({";indOrd\t1", ";indordr\t1", "indOrdr\t1", ";ind"}, 1);
  EXPECT_FALSE(s.state.old_order_loaded);
  EXPECT_EQ(s.log, "");
}

TEST(OldOrder, LaterLineOfTheWrongLengthKeepsTheOrderTakenBefore) {
  Scanned s = scan({";indOrdr\t2\t0\t1", ";indOrdr\t0\t1", ";indOrdr 0 1 2"}, 3);
  EXPECT_TRUE(s.state.old_order_loaded);
  EXPECT_EQ(s.state.old_individual_order, (Order{2, 0, 1}));
  EXPECT_EQ(s.log, kLoading + kLoaded + kLoading + kLoading);

  // A later line of the right length replaces the earlier one.
  s = scan({";indOrdr\t9", ";indOrdr\t2\t0\t1", ";indOrdr\t1\t2\t0"}, 3);
  EXPECT_TRUE(s.state.old_order_loaded);
  EXPECT_EQ(s.state.old_individual_order, (Order{1, 2, 0}));
  EXPECT_EQ(s.log, kLoading + kLoading + kLoaded + kLoading + kLoaded);
}

TEST(OldOrder, NewScoreLineBecomesTheOldScoreVerbatim) {
  EXPECT_EQ(scan({";newscore=1234"}, 0).state.old_score_line, ";oldscore=1234");
  EXPECT_EQ(scan({";newscore="}, 0).state.old_score_line, ";oldscore=");
  EXPECT_EQ(scan({";newscore=12=3"}, 0).state.old_score_line, ";oldscore=12=3");
  EXPECT_EQ(scan({";newscore= -5 x\t"}, 0).state.old_score_line, ";oldscore= -5 x\t");
  EXPECT_EQ(scan({";newscore=1", "x", ";newscore=2"}, 0).state.old_score_line, ";oldscore=2");
  const Scanned s = scan({";newscore", ";oldscore=7", "newscore=3"}, 0);
  EXPECT_EQ(s.state.old_score_line, "");
  EXPECT_EQ(s.log, "");
}

TEST(RunPaths, BaseDirIsTheLocFileFolderEndingInSlash) {
  EXPECT_EQ(base_dir_of("data/x.loc"), "data/");
  EXPECT_EQ(base_dir_of("a/b/c.loc"), "a/b/");
  EXPECT_EQ(base_dir_of("C:\\data\\x.loc"), "C:\\data/");
  // The last backslash wins over any later slash.
  EXPECT_EQ(base_dir_of("a\\b/x.loc"), "a/");
  EXPECT_EQ(base_dir_of("/x.loc"), "/");
  EXPECT_EQ(base_dir_of("x.loc"), "");
}

TEST(RunPaths, MatrixFileNameLosesLeadingBlanksAndQuotes) {
  EXPECT_EQ(matrix_file_name("matrix.txt"), "matrix.txt");
  EXPECT_EQ(matrix_file_name("  matrix.txt"), "matrix.txt");
  EXPECT_EQ(matrix_file_name("m.txt  "), "m.txt  ");  // trailing blanks stay
  EXPECT_EQ(matrix_file_name("  \"my matrix.txt\""), "my matrix.txt");
  EXPECT_EQ(matrix_file_name("\"m.txt"), "m.tx");  // first and last dropped, whatever they are
  EXPECT_EQ(matrix_file_name("\""), "");
  EXPECT_EQ(matrix_file_name(" \" "), "");  // quote then blank: both dropped
  EXPECT_EQ(matrix_file_name(""), "");
}

TEST(RunPaths, MapFileStemCutsAtTheLastDotOfTheFileName) {
  EXPECT_EQ(map_file_stem("data/cross.loc"), "data/cross");
  EXPECT_EQ(map_file_stem("cross.v2.loc"), "cross.v2");
  EXPECT_EQ(map_file_stem("run.2/cross"), "run.2/cross");
  EXPECT_EQ(map_file_stem("run.2\\cross"), "run.2\\cross");
  EXPECT_EQ(map_file_stem("../cross"), "../cross");
  EXPECT_EQ(map_file_stem("cross"), "cross");
}

}  // namespace
}  // namespace tarvek
