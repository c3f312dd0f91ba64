#include "imaging/logo_bitmap.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "imaging/picture_decoder.h"
#include "imaging/tests/picture_files.h"

namespace kelo::imaging {
namespace {

using testing::Bytes;

const Rgb kGrey200{200, 200, 200};
const Rgb kWhite255{255, 255, 255};

// Every row of a loaded bitmap, top first.
std::vector<Bytes> Rows(const LogoBitmap& bmp) {
  int32_t w = 0, h = 0;
  bmp.GetSize(&w, &h);
  std::vector<Bytes> rows;
  for (int32_t r = 0; r < h; ++r) {
    Bytes row(static_cast<size_t>(bmp.GetRowBytes()), 0xEE);
    EXPECT_EQ(bmp.GetRow(r, row.data(), row.size()), w);
    rows.push_back(row);
  }
  return rows;
}

std::vector<Bytes> Load(const Bytes& file) {
  LogoBitmap bmp;
  EXPECT_EQ(bmp.LoadFromMemory(file), 0) << bmp.last_error();
  return Rows(bmp);
}

TEST(LogoBitmapTest, OneBitPictureKeepsItsPaletteAndNineWideRowsTakeTwoBytes) {
  // Index 0 is grey 200: dark by the 240 threshold (dithering would have made it white).
  Bytes file = testing::Bmp(9, 2, 1, {kGrey200, kWhite255},
                            {{0, 0, 0, 0, 0, 0, 0, 0, 0}, {1, 1, 1, 1, 1, 1, 1, 1, 0}});
  LogoBitmap bmp;
  ASSERT_EQ(bmp.LoadFromMemory(file), 0) << bmp.last_error();
  int32_t w = 0, h = 0;
  bmp.GetSize(&w, &h);
  EXPECT_EQ(w, 9);
  EXPECT_EQ(h, 2);
  EXPECT_EQ(bmp.GetRowBytes(), 2);
  EXPECT_EQ(Rows(bmp), (std::vector<Bytes>{{0xFF, 0x01}, {0x00, 0x01}}));
}

TEST(LogoBitmapTest, FourBitPictureWithTwoColoursIsDithered) {
  // The same two colours, but 4 bits per pixel: grey 200 dithers to white.
  Bytes file = testing::Bmp(3, 1, 4, {kGrey200, kWhite255}, {{0, 0, 0}}, 2);
  EXPECT_EQ(Load(file), (std::vector<Bytes>{{0x00}}));
}

TEST(LogoBitmapTest, ThresholdIsAbove240InEveryComponent) {
  EXPECT_EQ(Load(testing::Bmp(2, 1, 1, {{255, 255, 255}, {241, 241, 241}}, {{0, 1}})),
            (std::vector<Bytes>{{0x00}}));
  EXPECT_EQ(Load(testing::Bmp(3, 1, 1, {{240, 255, 255}, {255, 240, 255}}, {{0, 1, 0}})),
            (std::vector<Bytes>{{0x07}}));
}

TEST(LogoBitmapTest, TwentyFourAndEightBitPicturesAreGreyedAndDithered) {
  // Red (grey 76) -> black, error 76; green 149 + 33 -> white.
  EXPECT_EQ(Load(testing::Bmp(2, 1, 24, {{255, 0, 0}, {0, 255, 0}}, {{0, 1}})),
            (std::vector<Bytes>{{0x01}}));
  // The 2x2 grey 128 worked by hand in the dithering test: stored (bottom) row B W, top W B.
  const std::vector<Bytes> expected = {{0x02}, {0x01}};
  EXPECT_EQ(Load(testing::Bmp(2, 2, 24, {{128, 128, 128}}, {{0, 0}, {0, 0}})), expected);
  std::vector<Rgb> greys(256);
  for (int i = 0; i < 256; ++i) greys[i] = Rgb{uint8_t(i), uint8_t(i), uint8_t(i)};
  EXPECT_EQ(Load(testing::Bmp(2, 2, 8, greys, {{128, 128}, {128, 128}})), expected);
}

TEST(LogoBitmapTest, GifIsDecodedTopDownLikeTheBitmaps) {
  const std::vector<Bytes> expected = {{0x02}, {0x01}};
  EXPECT_EQ(Load(testing::Gif(2, 2, 2, {{128, 128, 128}}, {{0, 0}, {0, 0}})), expected);
  // A two-colour GIF is one bit per pixel: taken as it is.
  EXPECT_EQ(Load(testing::Gif(9, 1, 1, {kGrey200, kWhite255}, {{0, 1, 0, 1, 1, 1, 1, 1, 0}})),
            (std::vector<Bytes>{{0x05, 0x01}}));
}

TEST(LogoBitmapTest, FormatsWithoutSignatureAreRecognisedFromTheirContent) {
  Bytes wbmp = testing::Wbmp(9, 1, {{0, 1, 1, 1, 1, 1, 1, 1, 0}});  // 1 = white
  EXPECT_EQ(DetectPictureFormat(wbmp), PictureFormat::Wbmp);
  EXPECT_EQ(Load(wbmp), (std::vector<Bytes>{{0x01, 0x01}}));
  Bytes tga = testing::Tga(2, 2, {{{255, 255, 255}, {0, 0, 0}}, {{0, 0, 0}, {255, 255, 255}}});
  EXPECT_EQ(DetectPictureFormat(tga), PictureFormat::Tga);
  EXPECT_EQ(Load(tga), (std::vector<Bytes>{{0x02}, {0x01}}));
}

TEST(LogoBitmapTest, GetRowClearsTheBufferAndStaysInsideIt) {
  LogoBitmap bmp;
  ASSERT_EQ(bmp.LoadFromMemory(
                testing::Bmp(9, 1, 1, {kGrey200, kWhite255}, {{0, 0, 0, 0, 0, 0, 0, 0, 0}})),
            0);
  Bytes buf(4, 0xEE);
  EXPECT_EQ(bmp.GetRow(-1, buf.data(), buf.size()), 0);
  EXPECT_EQ(buf, Bytes(4, 0));
  buf.assign(4, 0xEE);
  EXPECT_EQ(bmp.GetRow(1, buf.data(), buf.size()), -1);
  EXPECT_EQ(buf, Bytes(4, 0));
  EXPECT_EQ(bmp.GetRow(-2, buf.data(), buf.size()), -1);
  Bytes one(1, 0);
  EXPECT_EQ(bmp.GetRow(0, one.data(), one.size()), 9);  // the ninth pixel has no room
  EXPECT_EQ(one[0], 0xFF);
  EXPECT_EQ(bmp.GetRow(0, buf.data(), buf.size()), 9);
  EXPECT_EQ(buf, (Bytes{0xFF, 0x01, 0x00, 0x00}));
}

TEST(LogoBitmapTest, DamagedOrForeignFilesFailAndLeaveTheBitmapEmpty) {
  Bytes good = testing::Bmp(16, 16, 24, {{10, 20, 30}},
                            std::vector<std::vector<int>>(16, std::vector<int>(16, 0)));
  Bytes truncated(good.begin(), good.end() - 200);
  Bytes gif = testing::Gif(16, 16, 2, {{128, 128, 128}},
                           std::vector<std::vector<int>>(16, std::vector<int>(16, 0)));
  Bytes gif_cut(gif.begin(), gif.begin() + static_cast<long>(gif.size() / 2));
  Bytes huge = testing::Bmp(1, 1, 24, {{0, 0, 0}}, {{0}});
  huge[18] = 0xA0, huge[19] = 0x86, huge[20] = 0x01;  // width 100000
  huge[22] = 0xA0, huge[23] = 0x86, huge[24] = 0x01;  // height 100000
  const std::string text = "Windows Registry Editor Version 5.00\n";
  struct Case {
    const char* what;
    Bytes data;
  } cases[] = {
      {"empty", {}},
      {"text", Bytes(text.begin(), text.end())},
      {"truncated bitmap", truncated},
      {"truncated gif", gif_cut},
      {"oversized bitmap", huge},
      {"bitmap signature only", Bytes{'B', 'M', 0, 0}},
  };
  for (const Case& c : cases) {
    LogoBitmap bmp;
    ASSERT_EQ(bmp.LoadFromMemory(good), 0);
    EXPECT_EQ(bmp.LoadFromMemory(c.data), -1) << c.what;
    EXPECT_FALSE(bmp.last_error().empty()) << c.what;
    int32_t w = -1, h = -1;
    bmp.GetSize(&w, &h);
    EXPECT_EQ(w, 0) << c.what;
    EXPECT_EQ(h, 0) << c.what;
  }
}

TEST(LogoBitmapTest, LoadReadsTheFileWhateverItsName) {
  std::string path = (std::filesystem::temp_directory_path() /
                      ("kelo-logo-" + std::to_string(::getpid()) + ".txt"))
                         .string();
  Bytes gif = testing::Gif(2, 2, 2, {{128, 128, 128}}, {{0, 0}, {0, 0}});
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(gif.data()), static_cast<std::streamsize>(gif.size()));
  LogoBitmap bmp;
  EXPECT_EQ(bmp.Load(path), 0) << bmp.last_error();
  EXPECT_EQ(Rows(bmp), (std::vector<Bytes>{{0x02}, {0x01}}));
  std::filesystem::remove(path);
  EXPECT_EQ(bmp.Load(path), -1);
  EXPECT_NE(bmp.last_error().find(path), std::string::npos) << bmp.last_error();
}

}  // namespace
}  // namespace kelo::imaging
