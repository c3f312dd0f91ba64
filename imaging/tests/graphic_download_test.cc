#include "imaging/graphic_download.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "imaging/tests/picture_files.h"

namespace kelo::imaging {
namespace {

using testing::Bytes;

// Records every exchange; answers from a script (0 once the script runs out).
class RecordingSender : public GraphicSender {
 public:
  int Begin(int32_t number, int32_t rows) override {
    calls.push_back("begin " + std::to_string(number) + " " + std::to_string(rows));
    return Next();
  }
  int Row(std::span<const uint8_t> bytes) override {
    rows.emplace_back(bytes.begin(), bytes.end());
    buffers.push_back(bytes.data());
    calls.push_back("row");
    return Next();
  }
  int Next() {
    if (answers.empty()) return 0;
    int a = answers.front();
    answers.erase(answers.begin());
    return a;
  }

  std::vector<int> answers;
  std::vector<std::string> calls;
  std::vector<Bytes> rows;
  std::vector<const uint8_t*> buffers;
};

class GraphicDownloadTest : public ::testing::Test {
 protected:
  void TearDown() override { std::filesystem::remove(path_); }

  // A one-bit picture, width x height, dark except a white last column.
  const std::string& Write(int width, int height) {
    std::vector<std::vector<int>> rows(height, std::vector<int>(width, 0));
    for (auto& r : rows) r.back() = 1;
    Bytes file = testing::Bmp(width, height, 1, {{0, 0, 0}, {255, 255, 255}}, rows);
    std::ofstream(path_, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
    return path_;
  }

  std::string path_ = (std::filesystem::temp_directory_path() /
                       ("kelo-graphic-" + std::to_string(::getpid()) + ".bmp"))
                          .string();
  GraphicLimits limits_{.width1 = 10, .width2 = 9, .height1 = 3, .height2 = 4};
};

TEST_F(GraphicDownloadTest, SendsBeginThenEveryRowFromOneBuffer) {
  RecordingSender s;
  std::string why;
  EXPECT_EQ(DownloadGraphic(s, 7, Write(9, 3), limits_, &why), 0) << why;
  EXPECT_EQ(s.calls, (std::vector<std::string>{"begin 7 3", "row", "row", "row"}));
  EXPECT_EQ(s.rows, std::vector<Bytes>(3, Bytes{0xFF, 0x00}));
  EXPECT_EQ(s.buffers[0], s.buffers[1]);
  EXPECT_EQ(s.buffers[1], s.buffers[2]);
}

TEST_F(GraphicDownloadTest, AnyLimitExceededGives109AndSendsNothing) {
  for (auto [w, h] : {std::pair{10, 3}, std::pair{9, 4}}) {
    RecordingSender s;
    std::string why;
    EXPECT_EQ(DownloadGraphic(s, 1, Write(w, h), limits_, &why), kPictureUnusable);
    EXPECT_TRUE(s.calls.empty());
    EXPECT_NE(why.find("outside the limits"), std::string::npos) << why;
  }
}

TEST_F(GraphicDownloadTest, UnloadableFileGives109AndSendsNothing) {
  RecordingSender s;
  std::ofstream(path_) << "not a picture";
  std::string why;
  EXPECT_EQ(DownloadGraphic(s, 1, path_, limits_, &why), kPictureUnusable);
  EXPECT_TRUE(s.calls.empty());
  EXPECT_FALSE(why.empty());
}

TEST_F(GraphicDownloadTest, FailedBeginSendsNoRow) {
  RecordingSender s;
  s.answers = {104};
  EXPECT_EQ(DownloadGraphic(s, 1, Write(2, 3), limits_), 104);
  EXPECT_EQ(s.calls, (std::vector<std::string>{"begin 1 3"}));
}

TEST_F(GraphicDownloadTest, FailedRowStopsTheRest) {
  RecordingSender s;
  s.answers = {0, 0, 102};
  EXPECT_EQ(DownloadGraphic(s, 1, Write(2, 3), limits_), 102);
  EXPECT_EQ(s.calls, (std::vector<std::string>{"begin 1 3", "row", "row"}));
}

// A white row is one zero byte; the sender escapes it for the wire (as "%00").
TEST_F(GraphicDownloadTest, WhiteRowIsAZeroByte) {
  RecordingSender s;
  EXPECT_EQ(DownloadGraphic(s, 2, Write(1, 1), limits_), 0);
  EXPECT_EQ(s.rows, (std::vector<Bytes>{{0x00}}));
}

}  // namespace
}  // namespace kelo::imaging
