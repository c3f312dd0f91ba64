#include "link/fpu_frame.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace kelo::link {
namespace {

std::vector<uint8_t> Bytes(std::string_view s) {
  return {s.begin(), s.end()};
}

// The textbook bit-by-bit form of the same CRC, to hold the table-free step against.
uint16_t BitwiseGenibus(const std::vector<uint8_t>& data) {
  uint16_t crc = 0xFFFF;
  for (uint8_t b : data) {
    crc ^= static_cast<uint16_t>(b << 8);
    for (int i = 0; i < 8; ++i) {
      crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021)
                           : static_cast<uint16_t>(crc << 1);
    }
  }
  return crc ^ 0xFFFF;
}

TEST(CheckCode, PublishedCheckValues) {
  EXPECT_EQ(Crc16Genibus(Bytes("123456789")), 0xD64E);
  EXPECT_EQ(Crc16Genibus(Bytes("abc")), 0xAEB5);
  EXPECT_EQ(Crc16Genibus(nullptr, 0), 0x0000);  // 0xFFFF xor 0xFFFF
}

TEST(CheckCode, TableFreeStepMatchesBitwiseForm) {
  std::mt19937 rng(42);
  for (int round = 0; round < 200; ++round) {
    std::vector<uint8_t> data(rng() % 64);
    for (auto& b : data) b = static_cast<uint8_t>(rng());
    ASSERT_EQ(Crc16Genibus(data), BitwiseGenibus(data)) << "round " << round;
  }
}

TEST(Frame, StatusQueryIsTheGoldenFrame) {
  FpuCommand c;
  c.SetOpcode(kOpQueryStatus);
  c.SetJob(kStatusJob);
  c.SetSequence(0);
  ASSERT_EQ(c.Build(), LINK_OK);
  std::vector<uint8_t> raw(c.raw_frame().begin(), c.raw_frame().end());
  EXPECT_EQ(raw,
            (std::vector<uint8_t>{0x01, 0x41, 0x00, 0x00, 0x03, 0x31, 0xFF, 0x3F, 0x43, 0xF9}));
}

TEST(Frame, DirectionRules) {
  FpuCommand c;
  FpuResponse r;
  EXPECT_EQ(c.Parse(), LINK_E_UNSUPPORTED);
  EXPECT_EQ(r.Build(), LINK_E_UNSUPPORTED);
}

TEST(Frame, ResponseParseFillsEveryField) {
  std::vector<uint8_t> data = {'3', 'M', 0x02, 0x12, 0x34, 0x56, 0x78, 0x80, 'x', 0x1F, 'y'};
  auto raw = EncodeFrame(0x61, 9, data);
  FpuResponse r;
  ASSERT_EQ(r.SetRawFrame(raw.data(), raw.size()), LINK_OK);
  ASSERT_EQ(r.Parse(), LINK_OK);
  EXPECT_EQ(r.GetFrameKind(), 0x61);
  EXPECT_EQ(r.GetSequence(), 9);
  EXPECT_EQ(r.GetJob(), '3');
  EXPECT_EQ(r.GetOpcode(), 'M');
  EXPECT_EQ(r.GetFatal(), 2);
  EXPECT_EQ(r.GetStatus(), 0x12345678u);
  EXPECT_EQ(r.GetReply(), 0x80);
  EXPECT_EQ(r.SplitPayload(), (std::vector<std::string>{"x", "y"}));
}

TEST(Frame, BadCheckCodeLeavesMessageFieldsAlone) {
  FpuResponse r;
  auto good = EncodeFrame(0x61, 1, std::vector<uint8_t>{'1', 'J', 0, 0, 0, 0, 0, 0x80, 'a'});
  r.SetRawFrame(good.data(), good.size());
  ASSERT_EQ(r.Parse(), LINK_OK);
  auto bad = EncodeFrame(0x61, 2, std::vector<uint8_t>{'2', 'K', 1, 0, 0, 0, 3, 0x83});
  bad.back() ^= 1;
  r.SetRawFrame(bad.data(), bad.size());
  EXPECT_EQ(r.Parse(), LINK_E_CHECK);
  EXPECT_EQ(r.GetJob(), '1');
  EXPECT_EQ(r.GetReply(), 0x80);
  EXPECT_EQ(r.PayloadText(), "a");
}

TEST(Frame, DataPartShorterThanFixedBytesIsRefused) {
  FpuResponse r;
  auto raw = EncodeFrame(0x61, 0, std::vector<uint8_t>{'1', 'J', 0, 0, 0});
  r.SetRawFrame(raw.data(), raw.size());
  EXPECT_EQ(r.Parse(), LINK_E_PROTOCOL);
  // A declared length longer than the bytes present is refused, not read past the end.
  std::vector<uint8_t> truncated = {0x01, 0x61, 0x00, 0x00, 0x40, 0x00, 0x00};
  r.SetRawFrame(truncated.data(), truncated.size());
  EXPECT_EQ(r.Parse(), LINK_E_PROTOCOL);
}

TEST(Payload, FieldsAreJoinedWithoutTrailingSeparator) {
  FpuCommand c;
  c.AppendChar(' ');
  c.AppendText("");
  EXPECT_EQ(c.PayloadText(), " \x1F");
  c.ClearPayload();
  c.AppendChar('!');
  c.AppendText("A");
  c.AppendDecimal(-100);
  c.AppendHexByte(0x0B);
  EXPECT_EQ(c.PayloadText(),
            "!\x1F"
            "A\x1F-100\x1F"
            "0B");
}

TEST(Payload, Formatters) {
  FpuDateTime dt{2026, 3, 2, 7, 9, 5, 4, 999};
  EXPECT_EQ(FormatDate(dt), "20260307");
  EXPECT_EQ(FormatTime(dt), "090504");
  EXPECT_EQ(FormatHexByte(0x1F), "1F");
  EXPECT_EQ(FormatHexByte(0x123), "123");
  EXPECT_EQ(FormatDecimal(0), "0");
  EXPECT_EQ(FormatDecimal(-7), "-7");
  const uint8_t row[] = {0x00, 0x25, 0x2F, 0x30, 0xFF, 'A'};
  EXPECT_EQ(EscapeBytes(row, sizeof row),
            "%00%25%2F0\xFF"
            "A");
}

TEST(Payload, AppendThatDoesNotFitIsRefusedWhole) {
  FpuCommand c;
  std::string big(kMaxPayload - 2, 'x');
  ASSERT_EQ(c.AppendText(big), LINK_OK);
  EXPECT_EQ(c.AppendText("abc"), LINK_E_PROTOCOL);
  EXPECT_EQ(c.payload_length(), big.size());
  EXPECT_EQ(c.AppendText("a"), LINK_OK);  // separator plus one byte fills it exactly
  EXPECT_EQ(c.payload_length(), kMaxPayload);
}

TEST(Payload, ATextHoldingTheSeparatorIsRefusedNotSplit) {
  FpuCommand c;
  ASSERT_EQ(c.AppendText("Apple"), LINK_OK);
  EXPECT_EQ(c.AppendText("x\x1F"
                         "99900"),
            LINK_E_PROTOCOL);
  EXPECT_EQ(c.AppendChar('\x1F'), LINK_E_PROTOCOL);
  EXPECT_EQ(c.payload_length(), 5u);
  EXPECT_EQ(c.SplitPayload().size(), 1u);
}

TEST(Payload, SplitKeepsEmptyFieldsAndCapsTheCount) {
  EXPECT_TRUE(SplitFields("").empty());
  EXPECT_EQ(SplitFields("a\x1F\x1F"
                        "b\x1F"),
            (std::vector<std::string>{"a", "", "b", ""}));
  std::string many;
  for (int i = 0; i < 600; ++i) many += std::to_string(i) + "\x1F";
  auto f = SplitFields(many);
  ASSERT_EQ(f.size(), kMaxFields);
  EXPECT_EQ(f.back(), "511");
}

TEST(Payload, FieldConversions) {
  EXPECT_EQ(DecimalField("-42"), -42);
  EXPECT_EQ(DecimalField("12ab"), 12);
  EXPECT_EQ(DecimalField("abc"), 0);
  EXPECT_EQ(HexField("1a2B"), 0x1A2Bu);
  EXPECT_DOUBLE_EQ(RealField("1234.56"), 1234.56);
  EXPECT_DOUBLE_EQ(RealField("-0.5"), -0.5);
  FpuDateTime d;
  DateField("2025123", &d);  // one digit short: the missing one counts as 0
  EXPECT_EQ(d.year, 2025);
  EXPECT_EQ(d.month, 12);
  EXPECT_EQ(d.day, 30);
}

TEST(Receiver, SkipsNoiseAndForeignKindThenTakesTheFrame) {
  FrameReceiver rx(FrameDirection::kResponse, 500);
  auto frame = EncodeFrame(0x61, 5, std::vector<uint8_t>{'0', '?', 0, 0, 0, 0, 0, 0x80});
  std::vector<uint8_t> stream = {0x55, 0x00, 0x01, 0x41, 0x7E};
  stream.insert(stream.end(), frame.begin(), frame.end());
  stream.push_back(0xEE);  // past the frame: not consumed
  size_t used = rx.Feed(stream.data(), stream.size());
  ASSERT_TRUE(rx.done());
  EXPECT_EQ(used, stream.size() - 1);
  EXPECT_EQ(std::vector<uint8_t>(rx.frame().begin(), rx.frame().end()), frame);
}

TEST(Receiver, ByteByByteMatchesBlockFeed) {
  FrameReceiver rx(FrameDirection::kCommand);
  auto frame = EncodeFrame(0x41, 3, std::vector<uint8_t>{0x31, '0', 'K'});
  for (size_t i = 0; i < frame.size(); ++i) {
    EXPECT_FALSE(rx.done());
    EXPECT_EQ(rx.Feed(&frame[i], 1), 1u);
  }
  EXPECT_TRUE(rx.done());
}

TEST(Receiver, DeclaredLengthBeyondCapacityStopsAtOnce) {
  FrameReceiver rx(FrameDirection::kResponse, 500);
  std::vector<uint8_t> head = {0x01, 0x61, 0x00, 0x01, 0xEE};  // 494 data bytes: 501 in all
  rx.Feed(head.data(), head.size());
  EXPECT_TRUE(rx.oversize());
  rx.Reset();
  head[4] = 0xED;  // 493: exactly 500
  rx.Feed(head.data(), head.size());
  EXPECT_EQ(rx.state(), FrameReceiver::State::kData);
  EXPECT_EQ(rx.Missing(), 495u);
}

}  // namespace
}  // namespace kelo::link
