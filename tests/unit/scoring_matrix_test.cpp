#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <iostream>
#include <sstream>
#include <string>

#include "genotype/scoring_matrix.hpp"
#include "base/channels.hpp"
#include "support/channels.hpp"

namespace tarvek {
namespace {

using Row = std::array<std::int32_t, 6>;

struct ParsedRow {
  bool data;
  Row row;
};

ParsedRow parse(const std::string& line) {
  ParsedRow p{false, {}};
  testing::CapturedChannels io;
  p.data = parse_matrix_line(line, p.row, io.channels);
  return p;
}

// Parses a line expected to end the run; returns the abort status (0 when
// none) and what reached the log and standard error.
struct Fatal {
  int status = 0;
  std::string log;
  std::string err;
};

Fatal parse_fatal(const std::string& line) {
  Fatal f;
  testing::CapturedChannels io;
  Row row{};
  try {
    parse_matrix_line(line, row, io.channels);
  } catch (const RunAbort& abort) {
    f.status = abort.status;
  }
  f.log = io.log_text();
  f.err = io.errors_text();
  return f;
}

TEST(ScoringMatrix, SixTabSeparatedFieldsFillTheRow) {
  const Row full{1, 2, 3, 4, 5, 6};
  EXPECT_EQ(parse("1\t2\t3\t4\t5\t6").row, full);
  EXPECT_TRUE(parse("1\t2\t3\t4\t5\t6").data);
  EXPECT_EQ(parse("1\t2\t3\t4\t5\t6\t").row, full);     // trailing tab
  EXPECT_EQ(parse("1\t2\t3\t4\t5\t6\t7").row, full);    // seventh field dropped
  EXPECT_EQ(parse("1\t2\t3\t4\t5\t6\tjunk").row, full); // and never converted
  EXPECT_EQ(parse(" 1\t-2\t+3\t 4 \t5  \t  -6").row, (Row{1, -2, 3, 4, 5, -6}));
  EXPECT_EQ(parse("2147483647\t-2147483648\t0\t0\t0\t0").row,
            (Row{2147483647, -2147483647 - 1, 0, 0, 0, 0}));
}

TEST(ScoringMatrix, ShortRowsLeaveTheirLastFieldUnread) {
  // Only a sixth field may stand without a tab after it.
  ParsedRow p = parse("1\t2\t3");
  EXPECT_TRUE(p.data);
  EXPECT_EQ(p.row, (Row{1, 2, 0, 0, 0, 0}));
  EXPECT_EQ(parse("1\t2\t3\t4\t5").row, (Row{1, 2, 3, 4, 0, 0}));
  EXPECT_EQ(parse("1\t2\tx").row, (Row{1, 2, 0, 0, 0, 0}));  // the "x" is never converted
  p = parse("7");
  EXPECT_TRUE(p.data);
  EXPECT_EQ(p.row, (Row{}));
}

TEST(ScoringMatrix, CommentAndEmptyLinesAreNotRows) {
  EXPECT_FALSE(parse(";0\t1\t1\t1\t1\t1").data);
  EXPECT_FALSE(parse(";").data);
  EXPECT_FALSE(parse("").data);
}

TEST(ScoringMatrix, FieldThatIsNotAnIntegerEndsTheRun) {
  const char* bad[] = {
      "1\t2x\t3\t4\t5\t6",  "1\t\t3\t4\t5\t6",    // empty field between two tabs
      "1\t2\t3\t4\t5\tx",   "1\t2\t3\t4\t5\t-",   // sign without digits
      "1\t2\t3\t4\t5\t1 2", "1\t2\t3\t4\t5\t1.5", "1\t2\t3\t4\t5\t ",
      "\t1\t2\t3\t4\t5",    "1\t2\t3\t4\t5\t2147483648", "-2147483649\t0\t0\t0\t0\t0",
      " ;1\t2\t3\t4\t5\t6",
  };
  for (const char* line : bad) {
    const Fatal f = parse_fatal(line);
    EXPECT_EQ(f.status, 1) << line;
    EXPECT_EQ(f.err, "\n\nFatal error!: matrix entries should be integers!\n") << line;
    EXPECT_EQ(f.log, "\n\nFatal error!: matrix entries should be integers!\n") << line;
  }
}

TEST(ScoringMatrix, FileFillsRowsInOrderAndEchoesThemIntoTheLog) {
  std::istringstream in(
      "; scores for the pairs\n"
      "0\t1\t1\t2\t2\t1\n"
      "\n"
      "1\t0\t2\t1\t2\t1\r\n"
      "; between rows\n"
      "1\t2\t0\t2\t1\t1\n"
      "2\t1\t2\t0\t1\t1\t\n"
      "2\t2\t1\t1\t0\t1\n"
      "-1\t1\t1\t1\t1\t-10\n"
      "not\ta\trow\n");  // after the sixth data row: never read
  ScoringMatrix m;
  for (auto& row : m) row.fill(9);
  testing::CapturedChannels io;
  read_scoring_matrix(in, m, io.channels);
  EXPECT_EQ(io.log_text(), "011221\n102121\n120211\n212011\n221101\n-11111-10\n");
  EXPECT_EQ(io.errors_text(), "");
  const ScoringMatrix expected{{{0, 1, 1, 2, 2, 1, 0},
                                {1, 0, 2, 1, 2, 1, 0},
                                {1, 2, 0, 2, 1, 1, 0},
                                {2, 1, 2, 0, 1, 1, 0},
                                {2, 2, 1, 1, 0, 1, 0},
                                {-1, 1, 1, 1, 1, -10, 0},
                                {0, 0, 0, 0, 0, 0, 0}}};
  EXPECT_EQ(m, expected);
}

TEST(ScoringMatrix, RowsTheFileDoesNotSupplyStayZero) {
  std::istringstream in("3\t4\t5\t6\t7\t8\n1\t2\t3\n");
  ScoringMatrix m;
  for (auto& row : m) row.fill(9);
  testing::CapturedChannels io;
  read_scoring_matrix(in, m, io.channels);
  EXPECT_EQ(io.log_text(), "345678\n120000\n");
  ScoringMatrix expected{};
  expected[0] = {3, 4, 5, 6, 7, 8, 0};
  expected[1] = {1, 2, 0, 0, 0, 0, 0};
  EXPECT_EQ(m, expected);
}

}  // namespace
}  // namespace tarvek
