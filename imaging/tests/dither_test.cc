#include "imaging/dither.h"

#include <gtest/gtest.h>

namespace kelo::imaging {
namespace {

// A grey picture from levels given in storage order (stored row 0 = bottom row first).
Picture Grey(int32_t w, int32_t h, const std::vector<int>& stored_levels) {
  Picture p;
  p.width = w;
  p.height = h;
  for (int v : stored_levels) {
    auto c = static_cast<uint8_t>(v);
    p.pixels.push_back(Rgb{c, c, c});
  }
  return p;
}

// 'B' for black, 'W' for white, stored rows separated by '/'.
std::string Pattern(const Picture& p) {
  std::string s;
  for (int32_t y = 0; y < p.height; ++y) {
    if (y) s += '/';
    for (int32_t x = 0; x < p.width; ++x) {
      const Rgb& c = p.At(x, y);
      EXPECT_TRUE(c == kBlack || c == kWhite);
      s += c == kBlack ? 'B' : 'W';
    }
  }
  return s;
}

TEST(GreyLevelTest, WeightsAndShift) {
  EXPECT_EQ(GreyLevel({255, 0, 0}), 76);   // 306 * 255 >> 10
  EXPECT_EQ(GreyLevel({0, 255, 0}), 149);  // 601 * 255 >> 10
  EXPECT_EQ(GreyLevel({0, 0, 255}), 29);   // 117 * 255 >> 10
  EXPECT_EQ(GreyLevel({255, 255, 255}), 255);
  EXPECT_EQ(GreyLevel({128, 128, 128}), 128);
  EXPECT_EQ(GreyLevel({240, 255, 255}), 250);
}

// Worked by hand. Stored row 0 first:
//  (0,0)=128 -> B, e=128: (1,0)+=56 -> 184, (0,1)+=40 -> 168, (1,1)+=8 -> 136
//  (1,0)=184 -> W, e=-71: (0,1)+=-13 -> 155, (1,1)+=-22 -> 114   (-213/16, -355/16 truncated)
//  (0,1)=155 -> W, e=-100: (1,1)+=-43 -> 71
//  (1,1)=71 -> B
TEST(DitherTest, UniformGreyWorkedByHandInStorageOrder) {
  EXPECT_EQ(Pattern(DitherToOneBit(Grey(2, 2, {128, 128, 128, 128}))), "BW/WB");
}

TEST(DitherTest, ThresholdIs129) {
  EXPECT_EQ(Pattern(DitherToOneBit(Grey(2, 1, {128, 0}))), "BB");
  EXPECT_EQ(Pattern(DitherToOneBit(Grey(1, 1, {129}))), "W");
}

// 200 -> W, e=-55: next += -385/16 = -24 (truncated toward zero; flooring would give -25),
// so 153 becomes 129 and stays white.
// Each share on its own: a rounding or flooring share would leave 128, black.
TEST(DitherTest, SharesTruncateTowardZero) {
  EXPECT_EQ(Pattern(DitherToOneBit(Grey(2, 1, {200, 153}))), "WW");
  // 5/16 below: 200 -> W, e=-55, -275/16 = -17: 146 -> 129.
  EXPECT_EQ(Pattern(DitherToOneBit(Grey(1, 2, {200, 146}))), "W/W");
  // 3/16 left-below: (1,0)=200 -> W, e=-55, -165/16 = -10: (0,1) 139 -> 129; then
  // (1,1) = 255 - 17 - 55 = 183.
  EXPECT_EQ(Pattern(DitherToOneBit(Grey(2, 2, {255, 200, 139, 255}))), "WW/WW");
  // 1/16 right-below: 160 -> W, e=-95: (1,0) 200-41=159, (0,1) 128-29=99, (1,1) 129-5=124;
  // 159 -> W, e=-96: (0,1) 99-18=81, (1,1) 124-30=94; 81 -> B, e=81: (1,1) 94+35=129 -> W.
  EXPECT_EQ(Pattern(DitherToOneBit(Grey(2, 2, {160, 200, 128, 129}))), "WW/BW");
}

// 100 -> B, e=100: 250 + 43 is clamped to 255 -> W with e=0, so 120 stays black (without the
// clamp the error 38 would lift it to 136, white).
TEST(DitherTest, UpdatedValuesAreClamped) {
  EXPECT_EQ(Pattern(DitherToOneBit(Grey(3, 1, {100, 250, 120}))), "BWB");
}

TEST(DitherTest, ColoursGoThroughTheGreyLevel) {
  Picture p;
  p.width = 2;
  p.height = 1;
  p.pixels = {Rgb{255, 0, 0}, Rgb{0, 255, 0}};  // 76 -> B, e=76; 149 + 33 -> W
  Picture out = DitherToOneBit(p);
  EXPECT_TRUE(out.one_bit);
  EXPECT_EQ(Pattern(out), "BW");
}

}  // namespace
}  // namespace kelo::imaging
