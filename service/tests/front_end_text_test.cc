#include "service/front_end_text.h"

#include <gtest/gtest.h>

#include <climits>

namespace kelo::service {
namespace {

TEST(FrontEndTextTest, CurrencyBecomesHundredthsTruncatedTowardZero) {
  EXPECT_EQ(CurrencyToHundredths(123456), 1234);  // 12.3456
  EXPECT_EQ(CurrencyToHundredths(9999), 99);      // 0.9999
  EXPECT_EQ(CurrencyToHundredths(-9999), -99);
  EXPECT_EQ(CurrencyToHundredths(0), 0);
  // Beyond 32 bits only the low 32 bits of the hundredths remain.
  EXPECT_EQ(CurrencyToHundredths(int64_t{0x100000001} * 100), 1);
}

TEST(FrontEndTextTest, FieldsAreFollowedByTheSeparatorExceptALastOne) {
  ParamText t;
  t.Text("Caf\xE9").Amount(150000).Number(-3).LastNumber(22);
  EXPECT_EQ(t.str(),
            "Caf\xE9\x1F"
            "1500\x1F-3\x1F"
            "22");
  ParamText u;
  u.Number(1).LastText("end");
  EXPECT_EQ(u.str(),
            "1\x1F"
            "end");
}

TEST(FrontEndTextTest, DatesSplitByPositionIntoSevenNumbers) {
  EXPECT_EQ(ParamText().Date("150120261030").str(),
            "2026\x1F"
            "1\x1F"
            "15\x1F"
            "10\x1F"
            "30\x1F"
            "0\x1F"
            "0\x1F");
  // A short or malformed text gives 0 for what is missing; nothing is validated.
  EXPECT_EQ(ParamText().Date("0702").str(),
            "0\x1F"
            "2\x1F"
            "7\x1F"
            "0\x1F"
            "0\x1F"
            "0\x1F"
            "0\x1F");
  // Year "x", month "12", day "ab".
  EXPECT_EQ(ParamText().Date("ab12x").str().substr(0, 7),
            "0\x1F"
            "12\x1F"
            "0\x1F");
}

TEST(FrontEndTextTest, ReturnedDatesAndFirstFields) {
  EXPECT_EQ(OposDateFromFields("2026\x1F"
                               "1\x1F"
                               "5\x1F"
                               "9\x1F"
                               "7\x1F"
                               "0\x1F"
                               "0\x1F"),
            "050120260907");
  EXPECT_EQ(OposDateFromFields(""), "000000000000");
  EXPECT_EQ(FirstField("42\x1Frest"), "42");
  EXPECT_EQ(FirstField("42"), "42");
  EXPECT_EQ(LeadingInt64("  -123abc"), -123);
  EXPECT_EQ(LeadingInt64("12345678901"), 12345678901);
  EXPECT_EQ(LeadingInt64("99999999999999999999999"), INT64_MAX);
  EXPECT_EQ(LeadingInt64("-99999999999999999999999"), INT64_MIN);
  EXPECT_EQ(LeadingInt64("x1"), 0);
}

TEST(FrontEndTextTest, VatValuesTimesHundredReadExactly) {
  EXPECT_EQ(DecimalTimes100("22"), 2200);
  EXPECT_EQ(DecimalTimes100("22.00"), 2200);
  EXPECT_EQ(DecimalTimes100("4.5"), 450);
  // Binary floating point would give 455 here.
  EXPECT_EQ(DecimalTimes100("4.56"), 456);
  EXPECT_EQ(DecimalTimes100("4.569"), 456);  // truncated
  EXPECT_EQ(DecimalTimes100("-4.569"), -456);
  EXPECT_EQ(DecimalTimes100("10%"), 1000);
  EXPECT_EQ(DecimalTimes100("."), 0);
  EXPECT_EQ(DecimalTimes100(""), 0);
  EXPECT_EQ(DecimalTimes100("99999999999"), INT32_MAX);
  EXPECT_EQ(DecimalTimes100("-99999999999999999999999"), INT32_MIN);
}

}  // namespace
}  // namespace kelo::service
