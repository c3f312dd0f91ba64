#include "service/front_end_text.h"

#include <gtest/gtest.h>

#include <climits>

#include "service/opos_exception.h"

namespace kelo::service {
namespace {

TEST(FrontEndTextTest, CurrencyBecomesHundredthsRoundedHalfAwayFromZero) {
  EXPECT_EQ(CurrencyToHundredths(123456), 1235);  // 12.3456
  EXPECT_EQ(CurrencyToHundredths(10050), 101);    // 1.005
  EXPECT_EQ(CurrencyToHundredths(10049), 100);
  EXPECT_EQ(CurrencyToHundredths(-10050), -101);
  EXPECT_EQ(CurrencyToHundredths(-10049), -100);
  EXPECT_EQ(CurrencyToHundredths(0), 0);
  EXPECT_EQ(CurrencyToHundredths(INT64_MAX), INT64_MAX / 100);  // no overflow at the edge
}

TEST(FrontEndTextTest, AnAmountThePrinterCannotHoldIsRefusedWithItsLimit) {
  // 42949673.01 wrapped to 0.05 and 99999999999.99 to 13161349.11 when only 32 bits were kept.
  for (int64_t raw :
       {int64_t{429496730100}, int64_t{999999999999900}, INT64_MIN, int64_t{214748364800}}) {
    try {
      ParamText().Text("x").Amount(raw);
      ADD_FAILURE() << raw << " was accepted";
    } catch (const COposException& e) {
      EXPECT_EQ(e.code(), 114);
      EXPECT_EQ(e.extended(), 214);
      EXPECT_NE(e.text().find("21474836.47"), std::string::npos) << e.text();
    }
  }
  EXPECT_EQ(ParamText().LastAmount(214748364700).str(), "2147483647");
  EXPECT_EQ(ParamText().LastAmount(-214748364800).str(), "-2147483648");
}

TEST(FrontEndTextTest, ATextArgumentIsAlwaysExactlyOneField) {
  // "Apple" 0x1F "99900" 0x1F "1" would otherwise become price 999.00 and quantity 1.
  EXPECT_EQ(ParamText()
                .Text("Apple\x1F"
                      "99900\x1F"
                      "1")
                .LastText("\x1F"
                          "2")
                .str(),
            "Apple?99900?1\x1F?2");
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
  EXPECT_EQ(DecimalTimes100("4.569"), 457);  // rounded half away from zero, as amounts are
  EXPECT_EQ(DecimalTimes100("4.564"), 456);
  EXPECT_EQ(DecimalTimes100("-4.565"), -457);
  EXPECT_EQ(DecimalTimes100("10%"), 1000);
  EXPECT_EQ(DecimalTimes100("."), 0);
  EXPECT_EQ(DecimalTimes100(""), 0);
  EXPECT_EQ(DecimalTimes100("21474836.47"), INT32_MAX);
  // Beyond 32 bits there is no value (the method refuses it rather than store a clamped one).
  EXPECT_EQ(DecimalTimes100("21474836.48"), std::nullopt);
  EXPECT_EQ(DecimalTimes100("99999999999"), std::nullopt);
  EXPECT_EQ(DecimalTimes100("-99999999999999999999999"), std::nullopt);
}

}  // namespace
}  // namespace kelo::service
