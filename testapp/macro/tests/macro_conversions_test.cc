#include <gtest/gtest.h>

#include "testapp/macro/macro_conversions.h"
#include "testapp/macro/macro_file.h"
#include "testapp/tests/comma_locale.h"

namespace kelo::macro {
namespace {

void ExpectNumbers() {
  EXPECT_EQ(LeadingNumber(" 12abc"), 12.0);
  EXPECT_EQ(LeadingNumber("1 2 3"), 123.0);  // blanks are skipped anywhere
  EXPECT_EQ(LeadingNumber("-3.5x"), -3.5);
  EXPECT_EQ(LeadingNumber("- 4"), -4.0);
  EXPECT_EQ(LeadingNumber("1.5.6"), 1.5);
  EXPECT_EQ(LeadingNumber("1e3"), 1000.0);
  EXPECT_EQ(LeadingNumber("2D2"), 200.0);
  EXPECT_EQ(LeadingNumber("7e"), 7.0);
  EXPECT_EQ(LeadingNumber("1,5"), 1.0);  // "," is no decimal point for numbers
  bool digits = true;
  EXPECT_EQ(LeadingNumber("abc", &digits), 0.0);
  EXPECT_FALSE(digits);
  EXPECT_EQ(LeadingNumber(".", &digits), 0.0);
  EXPECT_FALSE(digits);

  EXPECT_EQ(WholeNumber("2.5"), 2);  // halves to even
  EXPECT_EQ(WholeNumber("3.5"), 4);
  EXPECT_EQ(WholeNumber("-2.5"), -2);
  EXPECT_EQ(WholeNumber(""), 0);
  EXPECT_EQ(WholeNumber("2147483647"), 2147483647);
  EXPECT_EQ(WholeNumber("2147483648"), std::nullopt);
  EXPECT_EQ(WholeNumber("1e400"), std::nullopt);

  EXPECT_EQ(StrictWholeNumber(" 12 "), 12);
  EXPECT_EQ(StrictWholeNumber("1,5"), 2);
  EXPECT_EQ(StrictWholeNumber("-7.5"), -8);
  EXPECT_EQ(StrictWholeNumber("12x"), std::nullopt);
  EXPECT_EQ(StrictWholeNumber("1."), std::nullopt);
  EXPECT_EQ(StrictWholeNumber(""), std::nullopt);
  EXPECT_EQ(StrictWholeNumber("99999999999"), std::nullopt);

  EXPECT_EQ(NumberText(1.5), "1.5");
  EXPECT_EQ(NumberText(2), "2");
}

TEST(MacroConversionsTest, NumbersInTheCLocale) {
  ExpectNumbers();
}

TEST(MacroConversionsTest, NumbersUnderACommaDecimalLocale) {
  std::string why;
  if (!testapp::testing::SwitchToCommaLocale(&why)) GTEST_SKIP() << why;
  ExpectNumbers();
  testapp::testing::RestoreCLocale();
}

TEST(MacroConversionsTest, Flags) {
  EXPECT_TRUE(Flag("True"));
  EXPECT_TRUE(Flag(" tRUE "));
  EXPECT_FALSE(Flag("FALSE"));
  EXPECT_TRUE(Flag("1"));
  EXPECT_TRUE(Flag("-2"));
  EXPECT_FALSE(Flag("0"));
  EXPECT_FALSE(Flag("yes"));  // the number rule reads 0
  EXPECT_EQ(StrictFlag("true"), true);
  EXPECT_EQ(StrictFlag("0"), false);
  EXPECT_EQ(StrictFlag("5abc"), true);
  EXPECT_EQ(StrictFlag("yes"), std::nullopt);
  EXPECT_EQ(StrictFlag(""), std::nullopt);
}

TEST(MacroFileTest, LinesSplitAtCrLfLoneCrAndLoneLf) {
  std::vector<std::string> lines;
  std::string error;
  ASSERT_TRUE(ParseMacroText("a\r\n\r\nb\rc\nd", &lines, &error));
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "", "b", "c", "d"}));
  ASSERT_TRUE(ParseMacroText("x\r\n", &lines, &error));
  EXPECT_EQ(lines, (std::vector<std::string>{"x"}));
  ASSERT_TRUE(ParseMacroText("", &lines, &error));
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(SerializeMacro({"a", "", "b"}), "a\r\n\r\nb\r\n");
  EXPECT_EQ(SerializeMacro({}), "");

  // Windows-1252 text (not UTF-8) is converted.
  ASSERT_TRUE(ParseMacroText("F_PrintRecMessage$Caff\xE8\r\n", &lines, &error));
  EXPECT_EQ(lines[0], "F_PrintRecMessage$Caff\xC3\xA8");

  lines = {"keep"};
  EXPECT_FALSE(ParseMacroText("1\n2\n3\n", &lines, &error, 2));
  EXPECT_EQ(error, "more than 2 lines");
  EXPECT_EQ(lines, (std::vector<std::string>{"keep"}));
  EXPECT_TRUE(ParseMacroText("1\n2\n", &lines, &error, 2));
}

TEST(MacroFileTest, FieldsSplitAtEveryDollar) {
  EXPECT_EQ(SplitFields("F_Open$KeloFPU"), (std::vector<std::string>{"F_Open", "KeloFPU"}));
  EXPECT_EQ(SplitFields("F_SetVatTable$"), (std::vector<std::string>{"F_SetVatTable", ""}));
  EXPECT_EQ(SplitFields(""), (std::vector<std::string>{""}));
  EXPECT_EQ(SplitFields("$$").size(), 3u);
}

}  // namespace
}  // namespace kelo::macro
