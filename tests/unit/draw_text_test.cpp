// Text made safe for cairo and XML, base64 for the report, and the output
// format from a file name.

#include <gtest/gtest.h>

#include <string>

#include "draw/canvas.hpp"
#include "draw/report.hpp"
#include "draw/text.hpp"

namespace tarvek::draw {
namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

TEST(PrintableText, KeepsWellFormedUtf8AndReplacesEverythingElse) {
  EXPECT_EQ(printable_text("M001 x_2"), "M001 x_2");
  EXPECT_EQ(printable_text("Kn\xC3\xB6llchen \xE2\x80\x93 \xF0\x9F\x8C\xBD"), "Kn\xC3\xB6llchen \xE2\x80\x93 \xF0\x9F\x8C\xBD");
  // A Latin-1 byte, a lone continuation byte, a truncated sequence at the end.
  EXPECT_EQ(printable_text("M\xF6"), "M" + kReplacement);
  EXPECT_EQ(printable_text("\x80" "a"), kReplacement + "a");
  EXPECT_EQ(printable_text("a\xE2\x80"), "a" + kReplacement + kReplacement);
  // Overlong forms, UTF-16 surrogates and code points past U+10FFFF.
  EXPECT_EQ(printable_text("\xC0\xAF"), kReplacement + kReplacement);
  EXPECT_EQ(printable_text("\xE0\x80\xAF"), kReplacement + kReplacement + kReplacement);
  EXPECT_EQ(printable_text("\xED\xA0\x80"), kReplacement + kReplacement + kReplacement);
  EXPECT_EQ(printable_text("\xF4\x90\x80\x80"), kReplacement + kReplacement + kReplacement + kReplacement);
  // Control characters, which XML 1.0 does not allow.
  EXPECT_EQ(printable_text(std::string("a\x01" "b\x7F", 4)), "a" + kReplacement + "b" + kReplacement);
  EXPECT_EQ(printable_text(std::string("a\0b", 3)), "a" + kReplacement + "b");
}

TEST(PictureLabel, LongNamesEndInAnEllipsisAfterFortyCharacters) {
  const std::string forty(40, 'n');
  EXPECT_EQ(picture_label(forty), forty);
  EXPECT_EQ(picture_label(forty + "x"), forty + "\xE2\x80\xA6");
  // Characters, not bytes: forty "é" are eighty bytes.
  std::string accents;
  for (int k = 0; k < 41; ++k) accents += "\xC3\xA9";
  EXPECT_EQ(picture_label(accents), accents.substr(0, 80) + "\xE2\x80\xA6");
  EXPECT_EQ(picture_label(std::string("a\x01", 2)), "a" + kReplacement);
}

TEST(XmlEscaped, EscapesTheFiveSpecialCharacters) {
  EXPECT_EQ(xml_escaped("a<b & \"c\" 'd'>"), "a&lt;b &amp; &quot;c&quot; &#39;d&#39;&gt;");
  EXPECT_EQ(xml_escaped("plain"), "plain");
}

TEST(Base64, KnownVectors) {
  EXPECT_EQ(base64(""), "");
  EXPECT_EQ(base64("f"), "Zg==");
  EXPECT_EQ(base64("fo"), "Zm8=");
  EXPECT_EQ(base64("foo"), "Zm9v");
  EXPECT_EQ(base64("foob"), "Zm9vYg==");
  EXPECT_EQ(base64("fooba"), "Zm9vYmE=");
  EXPECT_EQ(base64("foobar"), "Zm9vYmFy");
  EXPECT_EQ(base64(std::string("\x00\xFF\xFE", 3)), "AP/+");
}

TEST(OutputFormat, ChosenByTheExtensionInAnyCase) {
  EXPECT_EQ(format_for_path("map.svg"), Format::kSvg);
  EXPECT_EQ(format_for_path("out/Map.PDF"), Format::kPdf);
  EXPECT_EQ(format_for_path("a.b/heat.png"), Format::kPng);
  EXPECT_FALSE(format_for_path("map.jpg"));
  EXPECT_FALSE(format_for_path("map"));
  EXPECT_FALSE(format_for_path("a.svg/map"));  // the dot belongs to a folder
  EXPECT_FALSE(format_for_path("map.svg.gz"));
}

}  // namespace
}  // namespace tarvek::draw
