#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "genotype/text_input.hpp"

namespace tarvek {
namespace {

// All lines read_line yields for `text`, in order.
std::vector<std::string> lines_of(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> lines;
  std::string line;
  while (read_line(in, line)) lines.push_back(line);
  return lines;
}

using Lines = std::vector<std::string>;

TEST(TextInput, LinesEndAtLineFeedsAndLoseOneCarriageReturn) {
  EXPECT_EQ(lines_of("a\nb\n"), (Lines{"a", "b"}));  // no empty line after the last LF
  EXPECT_EQ(lines_of("a\r\nb\r\n"), (Lines{"a", "b"}));
  EXPECT_EQ(lines_of("a\nlast"), (Lines{"a", "last"}));
  EXPECT_EQ(lines_of("a\nlast\r"), (Lines{"a", "last"}));  // CR at the very end too
  EXPECT_EQ(lines_of("\n\r\n\nx"), (Lines{"", "", "", "x"}));
  // Only one CR directly before the line end goes; others are text.
  EXPECT_EQ(lines_of("y\r\r\nm\rid\n"), (Lines{"y\r", "m\rid"}));
  EXPECT_EQ(lines_of("\ta\t\n"), (Lines{"\ta\t"}));
  EXPECT_TRUE(lines_of("").empty());
  EXPECT_EQ(lines_of("one\n\n"), (Lines{"one", ""}));
}

TEST(TextInput, LongLinesReadWholeAcrossTheReadersChunks) {
  // The reader takes a line in chunks of 65,536 bytes: lines that end at,
  // just before and just after a chunk's end, with and without a line feed
  // or a carriage return after them.
  for (const std::size_t length : {65534u, 65535u, 65536u, 131071u, 131072u}) {
    SCOPED_TRACE(length);
    const std::string line(length, 'x');
    EXPECT_EQ(lines_of(line + "\nnext\n"), (Lines{line, "next"}));
    EXPECT_EQ(lines_of(line), (Lines{line}));
    EXPECT_EQ(lines_of(line + "\r\n\n"), (Lines{line, ""}));
  }
}

TEST(TextInput, LineBeyondTheBoundIsRefusedBeforeItIsRead) {
  std::istringstream in("abcdef\nabcdefg\nnever read\n");
  std::string line;
  ASSERT_TRUE(read_line(in, line, 6));
  EXPECT_EQ(line, "abcdef");
  try {
    read_line(in, line, 6);
    ADD_FAILURE() << "no LineTooLong";
  } catch (const LineTooLong& e) {
    EXPECT_EQ(e.limit, 6u);
    EXPECT_EQ(line_too_long_text(e), "a line is longer than 6 bytes");
  }
  LineTooLong named(kMaxLineBytes);
  named.line = 7;
  EXPECT_EQ(line_too_long_text(named), "line 7 is longer than 256 MB (268435456 bytes)");
}

TEST(TextInput, IntegersConvertLeniently) {
  EXPECT_EQ(to_int_lenient("42"), 42);
  EXPECT_EQ(to_int_lenient("  -17x"), -17);
  EXPECT_EQ(to_int_lenient(" \t+5"), 5);
  EXPECT_EQ(to_int_lenient("12 34"), 12);
  EXPECT_EQ(to_int_lenient("3.9"), 3);
  EXPECT_EQ(to_int_lenient("0x1A"), 0);  // base 10 only: stops at the "x"
  EXPECT_EQ(to_int_lenient("007"), 7);   // not octal
  EXPECT_EQ(to_int_lenient("abc"), 0);
  EXPECT_EQ(to_int_lenient("- 5"), 0);
  EXPECT_EQ(to_int_lenient(""), 0);
  EXPECT_EQ(to_int_lenient("   "), 0);
}

TEST(TextInput, IntegersBeyond32BitsAreTruncatedAfterTheLongConversion) {
  static_assert(sizeof(long) == 8, "the values below assume a 64-bit long");
  EXPECT_EQ(to_int_lenient("2147483647"), 2147483647);
  EXPECT_EQ(to_int_lenient("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(to_int_lenient("2147483648"), -2147483647 - 1);  // 2^31 -> low 32 bits 0x80000000
  EXPECT_EQ(to_int_lenient("4294967297"), 1);                // 2^32 + 1 -> 1
  EXPECT_EQ(to_int_lenient("-4294967296"), 0);               // -2^32 -> 0
  // strtol saturates at LONG_MAX = 2^63 - 1, whose low 32 bits are all ones.
  EXPECT_EQ(to_int_lenient("99999999999999999999"), -1);
}

TEST(TextInput, RealsConvertLeniently) {
  EXPECT_DOUBLE_EQ(to_real_lenient("2.5"), 2.5);
  EXPECT_DOUBLE_EQ(to_real_lenient("  -0.05x"), -0.05);
  EXPECT_DOUBLE_EQ(to_real_lenient("+7"), 7.0);
  EXPECT_DOUBLE_EQ(to_real_lenient(".5"), 0.5);
  EXPECT_DOUBLE_EQ(to_real_lenient("1e3"), 1000.0);
  EXPECT_DOUBLE_EQ(to_real_lenient("1e"), 1.0);  // the exponent has no digits
  EXPECT_DOUBLE_EQ(to_real_lenient("16 LOD"), 16.0);
  EXPECT_DOUBLE_EQ(to_real_lenient("LOD"), 0.0);
  EXPECT_DOUBLE_EQ(to_real_lenient(""), 0.0);
}

}  // namespace
}  // namespace tarvek
