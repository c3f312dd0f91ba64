#include "platform/text/cp1252.h"

#include <gtest/gtest.h>

namespace kelo::platform {
namespace {

TEST(Cp1252Test, RightSingleQuotationMarkAndEuro) {
  // "dell’operazione" with U+2019, and the euro sign.
  EXPECT_EQ(Utf8ToCp1252("dell\xE2\x80\x99operazione \xE2\x82\xAC"), "dell\x92operazione \x80");
  EXPECT_EQ(Cp1252ToUtf8("dell\x92operazione \x80"), "dell\xE2\x80\x99operazione \xE2\x82\xAC");
}

TEST(Cp1252Test, AccentedItalianLetters) {
  const std::string utf8 = "\xC3\xA0\xC3\xA8\xC3\xA9\xC3\xAC\xC3\xB2\xC3\xB9 \xC3\x80\xC3\x88";
  const std::string cp = "\xE0\xE8\xE9\xEC\xF2\xF9 \xC0\xC8";
  EXPECT_EQ(Utf8ToCp1252(utf8), cp);
  EXPECT_EQ(Cp1252ToUtf8(cp), utf8);
}

TEST(Cp1252Test, EveryByteRoundTrips) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
  // The unassigned bytes come out as the C1 control of their value.
  EXPECT_EQ(Cp1252ToUtf8("\x81\x9D"), "\xC2\x81\xC2\x9D");
  EXPECT_EQ(Cp1252ToUtf8("\x8A\x9F"), "\xC5\xA0\xC5\xB8");  // Š Ÿ
}

TEST(Cp1252Test, CharactersWithoutAWindows1252FormBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1252("a\xE2\x82\xB9z"), "a?z");   // Indian rupee sign
  EXPECT_EQ(Utf8ToCp1252("\xF0\x9F\x98\x80"), "?");   // emoji: one '?' per character
  EXPECT_EQ(Utf8ToCp1252("\xC2\x80\xC2\x9F"), "??");  // C1 controls other than the five
  EXPECT_EQ(Utf8ToCp1252(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Cp1252Test, MalformedUtf8BytesBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1252("\x80"), "?");  // lone continuation
  EXPECT_EQ(Utf8ToCp1252("\xC3"), "?");  // truncated at the end
  EXPECT_EQ(Utf8ToCp1252("\xE2\x80"
                         "A"),
            "??A");                                     // truncated in the middle
  EXPECT_EQ(Utf8ToCp1252("\xC0\xAF"), "??");            // overlong '/'
  EXPECT_EQ(Utf8ToCp1252("\xE0\x80\xA0"), "???");       // overlong
  EXPECT_EQ(Utf8ToCp1252("\xED\xA0\x80"), "???");       // surrogate
  EXPECT_EQ(Utf8ToCp1252("\xF4\x90\x80\x80"), "????");  // above U+10FFFF
  EXPECT_EQ(Utf8ToCp1252("\xFF\xFE"
                         "ok"),
            "??ok");
}

TEST(Cp1252Test, LatinLettersWithoutAWindows1252FormFoldToTheirBaseLetterAndAreNamed) {
  // ł ő ș Ğ: Polish, Hungarian, Romanian, Turkish; then a rupee sign that has no base letter.
  const Cp1252Text t =
      ConvertUtf8ToCp1252("\xC5\x82\xC5\x91\xC8\x99\xC4\x9E \xE2\x82\xB9 \xC3\xA9");
  ASSERT_TRUE(t.valid_utf8);
  EXPECT_EQ(t.text, "losG ? \xE9");  // é exists in Windows-1252 and is kept
  EXPECT_EQ(DescribeReplacements(t.replaced),
            "U+0142 'l', U+0151 'o', U+0219 's', U+011E 'G', U+20B9 '?'");
  EXPECT_EQ(Utf8ToCp1252("\xC5\x81\xC3\xB3"
                         "d\xC5\xBA"),
            "L\xF3"
            "dz");  // Łódź
  EXPECT_TRUE(ConvertUtf8ToCp1252("plain \xE2\x82\xAC").replaced.empty());
}

TEST(Cp1252Test, StrictConversionRefusesMalformedUtf8AndSaysWhere) {
  const Cp1252Text t = ConvertUtf8ToCp1252("ab\xC3(");
  EXPECT_FALSE(t.valid_utf8);
  EXPECT_EQ(t.invalid_offset, 2u);
  EXPECT_TRUE(t.text.empty());
}

}  // namespace
}  // namespace kelo::platform
