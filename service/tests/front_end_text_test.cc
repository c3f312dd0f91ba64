#include "service/front_end_text.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kelo::service
