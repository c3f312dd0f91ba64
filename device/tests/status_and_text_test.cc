// The pure rules of the device layer: status block decoding, line splitting and escape
// sequences, parameter texts, payment descriptions and the configuration record.
#include <gtest/gtest.h>

#include "device/device_operations.h"
#include "device/device_status_block.h"
#include "device/fiscal_device.h"
#include "device/line_composer.h"
#include "device/parameter_text.h"

namespace kelo::device {
namespace {

std::vector<int> SetWords(const DeviceStatusBlock& b) {
  std::vector<int> v;
  for (int i = 0; i < DeviceStatusBlock::kWords; ++i) {
    if (b[i] != 0) v.push_back(i);
  }
  return v;
}

TEST(StatusBlock, ProbeAnswerSetsFlagWordsFromLowByteAndPhase) {
  DeviceStatusBlock b;
  b.words[4] = 1;  // stale receipt flag must be cleared
  ApplyProbeAnswer(&b, 0xFF00 | 0x01 | 0x08 | 0x10, 7);
  EXPECT_EQ(b[0], 1);
  EXPECT_EQ(b[1], 7);
  EXPECT_EQ(b[2], 1);  // fiscalized, bit 0
  EXPECT_EQ(b[3], 1);  // training, bit 4
  EXPECT_EQ(b[4], 0);  // receipt open, bit 1
  EXPECT_EQ(b[5], 0);
  EXPECT_EQ(b[6], 1);  // day opened, bit 3
  ApplyProbeAnswer(&b, 0x06, 0);
  EXPECT_EQ(SetWords(b), (std::vector<int>{0, 4, 5}));
  ApplyProbeUnanswered(&b);
  EXPECT_EQ(b[0], 0);
  EXPECT_EQ(b[4], 1);  // everything else keeps its last value
}

TEST(StatusBlock, FatalCodesSetTheirErrorWord) {
  const std::pair<int32_t, int> cases[] = {{129, 13}, {134, 18}, {136, 19}, {137, 20},
                                           {138, 22}, {139, 21}, {127, 12}, {141, 12}};
  for (auto [code, word] : cases) {
    DeviceStatusBlock b;
    ApplyLastStatus(&b, code, 0);
    EXPECT_EQ(SetWords(b), std::vector<int>{word}) << code;
    EXPECT_TRUE(b.AnyErrorWord());
  }
  for (int32_t code : {0, 128, 135, 140}) {
    DeviceStatusBlock b;
    ApplyLastStatus(&b, code, 0);
    EXPECT_FALSE(b.AnyErrorWord()) << code;
  }
}

TEST(StatusBlock, OnlyTheFirstStatusBitOfTheOrderCounts) {
  DeviceStatusBlock b;
  ApplyLastStatus(&b, 0, (1u << 0) | (1u << 11));  // cover open and receipt near end
  EXPECT_EQ(SetWords(b), std::vector<int>{23});
  ApplyLastStatus(&b, 0, (1u << 10) | (1u << 11));  // receipt empty and near end
  EXPECT_EQ(SetWords(b), std::vector<int>{26});
  ApplyLastStatus(&b, 0, 1u << 16);
  EXPECT_EQ(SetWords(b), std::vector<int>{9});
  ApplyLastStatus(&b, 131, 1u << 9);
  EXPECT_EQ(SetWords(b), (std::vector<int>{15, 28}));
  ApplyLastStatus(&b, 0, 0);
  EXPECT_TRUE(SetWords(b).empty());
}

TEST(StatusBlock, AttentionWordsAreTwelveToTwentySixAndThirtyOneToThirtyThree) {
  for (int w = 0; w < DeviceStatusBlock::kWords; ++w) {
    DeviceStatusBlock b;
    b.words[static_cast<size_t>(w)] = 1;
    const bool expected = (w >= 12 && w <= 26) || (w >= 31 && w <= 33);
    EXPECT_EQ(b.AnyAttentionWord(), expected) << w;
  }
}

TEST(LineSplit, EmptyPiecesCountAndNothingIsTrimmed) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitPrintLines("one\r\ntwo", 100), (V{"one", "", "two"}));
  EXPECT_EQ(SplitPrintLines("one\n", 100), (V{"one", ""}));
  EXPECT_EQ(SplitPrintLines("  \tx\ry", 100), (V{"  \tx", "y"}));
  EXPECT_TRUE(SplitPrintLines("", 100).empty());
  EXPECT_EQ(SplitPrintLines("\n", 100), (V{"", ""}));
}

TEST(LineSplit, LimitDropsTheRest) {
  std::string text;
  for (int i = 0; i < 150; ++i) text += "line" + std::to_string(i) + "\n";
  auto lines = SplitPrintLines(text, kMaxNormalLines);
  ASSERT_EQ(lines.size(), 100u);
  EXPECT_EQ(lines.front(), "line0");
  EXPECT_EQ(lines.back(), "line99");
}

TEST(LineSplit, TrailerTextsDropEmptyPieces) {
  EXPECT_EQ(SplitPrintLines("\r\nA\n\nB\n", 500, true), (std::vector<std::string>{"A", "B"}));
  // The limit counts the lines kept.
  EXPECT_EQ(SplitPrintLines("\n\nA\nB\nC", 2, true), (std::vector<std::string>{"A", "B"}));
}

TEST(EscapeSequences, AttributePrefixFirstMatchWins) {
  EXPECT_EQ(HeaderAttributePrefix(0), "");
  EXPECT_EQ(HeaderAttributePrefix(0x08), "\x1b|2C");
  EXPECT_EQ(HeaderAttributePrefix(0x08 | 0x04), "\x1b|3C");
  EXPECT_EQ(HeaderAttributePrefix(0x20 | 0x40), "\x1b|6C");
  EXPECT_EQ(HeaderAttributePrefix(0x40), "\x1b|5C");
  EXPECT_EQ(HeaderAttributePrefix(0x01), "");
}

TEST(EscapeSequences, LogoAndBarcodeLines) {
  EXPECT_EQ(ComposeLogoLine(3, 0x08), "\x1b|2C\x1b|3B");
  EXPECT_EQ(ComposeLogoLine(12, 0), "\x1b|12B");
  EXPECT_EQ(ComposeBarcodeLine("12345", 2), "\x1b|6R212345");
}

TEST(ParameterText, BothEndingsAndSeparatorsInTheLastField) {
  ParamFields a(
      "Item\x1f"
      "100\x1f"
      "2\x1f",
      3);
  ParamFields b(
      "Item\x1f"
      "100\x1f"
      "2",
      3);
  for (const ParamFields* f : {&a, &b}) {
    EXPECT_EQ(f->Text(0), "Item");
    EXPECT_EQ(f->Number(1), 100);
    EXPECT_EQ(f->Number(2), 2);
  }
  ParamFields c(
      "2\x1f"
      "a\x1f"
      "b\x1f",
      2);
  EXPECT_EQ(c.Text(1),
            "a\x1f"
            "b");
  ParamFields d("5", 4);
  EXPECT_EQ(d.Number(0), 5);
  EXPECT_EQ(d.Text(3), "");
  EXPECT_EQ(d.Number(3), 0);
}

TEST(ParameterText, NumbersConvertLikeStrtolAndSaturate) {
  EXPECT_EQ(ParseNumber(" -42x"), -42);
  EXPECT_EQ(ParseNumber("+7"), 7);
  EXPECT_EQ(ParseNumber("abc"), 0);
  EXPECT_EQ(ParseNumber("99999999999999999999"), 2147483647);
  EXPECT_EQ(ParseNumber("-99999999999999999999"), -2147483647 - 1);
  ParamFields f(
      "2026\x1f"
      "12\x1f"
      "8\x1f"
      "9\x1f"
      "30\x1f"
      "0\x1f"
      "0\x1f",
      7);
  link::FpuDateTime dt = f.Date(0);
  EXPECT_EQ(dt, (link::FpuDateTime{2026, 12, 0, 8, 9, 30, 0, 0}));
}

TEST(PaymentDescription, FormAndTextSent) {
  auto check = [](const char* in, int32_t form, const char* text) {
    PaymentChoice c = ParsePaymentDescription(in);
    EXPECT_EQ(c.form, form) << in;
    EXPECT_EQ(c.description, text) << in;
  };
  check("2>Card", 2, "Card");
  check("3", 3, "");
  check("0", 0, "");
  check("Cash", 0, "Cash");
  check("1>Bank>dropped", 1, "Bank");
  check(">x", 0, "x");
  check("-1", -1, "-1");
  check("00", 0, "00");
}

TEST(ConfigRecord, BuiltFromTheInformationRecords) {
  std::array<int32_t, 16> info1{};
  info1[0] = 4;     // value 1
  info1[1] = 20;    // value 2
  info1[2] = 42;    // value 3
  info1[8] = 6;     // value 9
  info1[9] = 3;     // value 10
  info1[11] = 3;    // value 12
  info1[12] = 384;  // value 13
  info1[13] = 200;  // value 14
  info1[14] = 0;    // value 15
  info1[15] = 150;  // value 16
  ConfigRecord r = MakeConfigRecord(info1, {128, 64, 0, 32}, "display");
  EXPECT_TRUE(r.valid);
  EXPECT_EQ(r.num_vat_rates, 4);
  EXPECT_EQ(r.default_vat_index, 5);
  EXPECT_EQ(r.num_departments, 20);
  EXPECT_EQ(r.message_length, 42);
  EXPECT_EQ(r.num_header_lines, 6);
  EXPECT_EQ(r.num_trailer_lines, 3);
  EXPECT_EQ(r.payment_line_names,
            (std::vector<std::string>{"sample pay N00", "sample pay N01", "sample pay N02"}));
  EXPECT_EQ(r.printer_image_width, (std::array<int32_t, 2>{384, 384}));
  EXPECT_EQ(r.printer_image_height, (std::array<int32_t, 2>{200, 150}));
  EXPECT_EQ(r.display_image_width, (std::array<int32_t, 2>{128, 128}));
  EXPECT_EQ(r.display_image_height, (std::array<int32_t, 2>{64, 32}));
  info1[11] = -5;
  EXPECT_TRUE(MakeConfigRecord(info1, {}, "").payment_line_names.empty());
}

TEST(MapDeviceResultTest, RefusalsTakeTheCauseTheStatusBlockShowsAndAlwaysAText) {
  auto with_word = [](int word) {
    DeviceStatusBlock b;
    b.words[static_cast<size_t>(word)] = 1;
    return b;
  };
  const DeviceStatusBlock none;
  EXPECT_EQ(DeviceOperations::MapDeviceResult(0, none), (DeviceResult{}));
  const struct {
    int word;
    int32_t extended;
  } causes[] = {{DeviceStatusBlock::kCoverOpen, 201},
                {DeviceStatusBlock::kJournalEmpty, 202},
                {DeviceStatusBlock::kReceiptEmpty, 203},
                {13, 208}};
  for (const auto& c : causes) {
    for (int32_t refusal : {link::LINK_E_REPLY83, link::LINK_E_REPLY84}) {
      const DeviceResult r = DeviceOperations::MapDeviceResult(refusal, with_word(c.word));
      EXPECT_EQ(r.code, 114);
      EXPECT_EQ(r.extended, c.extended);
      EXPECT_FALSE(r.text.empty());
    }
  }
  // A cover open does not explain a time-out; no known cause gives 106 naming the answer.
  for (int32_t failure : {link::LINK_E_REPLY83, link::LINK_E_REPLY84, link::LINK_E_TIMEOUT,
                          link::LINK_E_CHECK, link::LINK_E_PROTOCOL, 999}) {
    const DeviceResult r = DeviceOperations::MapDeviceResult(
        failure, failure == link::LINK_E_TIMEOUT ? with_word(23) : none);
    EXPECT_EQ(r.code, 106);
    EXPECT_EQ(r.extended, 0);
    EXPECT_FALSE(r.text.empty()) << failure;
  }
}

}  // namespace
}  // namespace kelo::device
