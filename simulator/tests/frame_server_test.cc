// Exchange rules of the simulated printer: frames, check codes, resends, sequence numbers,
// busy and in-progress answers, and faults that must never execute a command twice.
#include <gtest/gtest.h>

#include <optional>

#include "simulator/frame_server.h"
#include "simulator/tests/sim_test_util.h"

namespace kelo::sim {
namespace {

struct Answer {
  uint8_t kind = 0;
  uint8_t sequence = 0;
  std::vector<uint8_t> data;
  uint8_t job() const { return data.at(0); }
  uint8_t opcode() const { return data.at(1); }
  uint8_t fatal() const { return data.at(2); }
  uint32_t status() const {
    return static_cast<uint32_t>(data.at(3)) << 24 | data.at(4) << 16 | data.at(5) << 8 |
           data.at(6);
  }
  uint8_t reply() const { return data.at(7); }
  std::vector<std::string> fields() const {
    return link::SplitFields(
        std::string_view(reinterpret_cast<const char*>(data.data() + 8), data.size() - 8));
  }
};

std::vector<uint8_t> CommandFrame(uint8_t sequence, uint8_t job, uint8_t opcode,
                                  const std::vector<std::string>& fields = {}) {
  std::vector<uint8_t> data = {link::kCommandMarker, job, opcode};
  const std::string payload = link::JoinFields(fields);
  data.insert(data.end(), payload.begin(), payload.end());
  return link::EncodeFrame(link::kCommandKind, sequence, data);
}

class FrameServerTest : public ::testing::Test {
 protected:
  platform::FakeClock ticks{5000};
  Printer printer{ticks};
  FaultInjector faults;
  FrameServer server{printer, faults, ticks};

  // Sends raw bytes; answers every complete, valid frame that came back.
  std::vector<Answer> Send(const std::vector<uint8_t>& bytes,
                           std::vector<uint8_t>* raw_out = nullptr) {
    std::vector<uint8_t> out;
    server.OnBytes(bytes.data(), bytes.size(), &out);
    if (raw_out) *raw_out = out;
    std::vector<Answer> answers;
    link::FrameReceiver rx(link::FrameDirection::kResponse);
    size_t pos = 0;
    while (pos < out.size()) {
      pos += rx.Feed(out.data() + pos, out.size() - pos);
      if (rx.done()) {
        link::FrameView view;
        if (link::DecodeFrame(rx.frame(), &view) == link::LINK_OK) {
          answers.push_back({view.kind, view.sequence, {view.data.begin(), view.data.end()}});
        }
        rx.Reset();
      }
    }
    return answers;
  }
  std::optional<Answer> One(uint8_t seq, uint8_t job, uint8_t opcode,
                            const std::vector<std::string>& fields = {}) {
    auto a = Send(CommandFrame(seq, job, opcode, fields));
    if (a.size() != 1) return std::nullopt;
    return a[0];
  }
  size_t Items() { return printer.model().receipt().entries.size(); }
};

TEST_F(FrameServerTest, GoldenStatusQueryFrameAndItsAnswer) {
  const std::vector<uint8_t> golden = {0x01, 0x41, 0x00, 0x00, 0x03, 0x31, 0xFF, 0x3F, 0x43, 0xF9};
  EXPECT_EQ(CommandFrame(0, 0xFF, 0x3F), golden);
  auto a = Send(golden);
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(a[0].kind, 0x61);
  EXPECT_EQ(a[0].sequence, 0);
  EXPECT_EQ(a[0].job(), 0xFF);
  EXPECT_EQ(a[0].opcode(), 0x3F);
  EXPECT_EQ(a[0].fatal(), 0x80);
  EXPECT_EQ(a[0].reply(), 0x80);
  EXPECT_EQ(a[0].status(), 0u);
  EXPECT_EQ(a[0].fields().size(), 4u);
}

TEST_F(FrameServerTest, ResentSequenceGetsTheStoredAnswerWithoutRunningAgain) {
  ASSERT_TRUE(One(0, 0xFF, 0x3F));
  ASSERT_EQ(One(1, '0', 0x4B).value().reply(), 0x80);
  const auto sell = CommandFrame(2, '1', 0x4D, {"!", "Tea", "150", "1000", "1", "0", "0"});
  auto first = Send(sell);
  ASSERT_EQ(first.size(), 1u);
  const uint64_t executed = printer.executed();
  auto again = Send(sell);  // the answer was lost: the driver sends the same frame
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again[0].data, first[0].data);
  EXPECT_EQ(again[0].sequence, 2);
  EXPECT_EQ(printer.executed(), executed);
  EXPECT_EQ(Items(), 1u);
  EXPECT_EQ(server.counters().replays, 1u);
  // Same sequence number but other bytes: a new command after a link restart.
  ASSERT_EQ(One(2, '2', 0x4D, {"!", "Tea", "150", "1000", "1", "0", "0"}).value().reply(), 0x80);
  EXPECT_EQ(Items(), 2u);
  // The next sequence number with the same bytes is a new sale too.
  ASSERT_EQ(One(3, '2', 0x4D, {"!", "Tea", "150", "1000", "1", "0", "0"}).value().reply(), 0x80);
  EXPECT_EQ(Items(), 3u);
}

TEST_F(FrameServerTest, BadCheckCodeIsAnsweredWithKindBAndNotExecuted) {
  auto frame = CommandFrame(0, '0', 0x4B);
  frame.back() ^= 1;
  auto a = Send(frame);
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(a[0].kind, 0x62);
  EXPECT_EQ(a[0].sequence, 0);
  EXPECT_EQ(a[0].data.size(), 8u);
  EXPECT_EQ(printer.executed(), 0u);
  EXPECT_FALSE(printer.model().receipt_open());
  EXPECT_EQ(server.counters().bad_check, 1u);
}

TEST_F(FrameServerTest, OutOfStepSequenceIsAnsweredWithKindC) {
  ASSERT_TRUE(One(0, 0xFF, 0x3F));
  ASSERT_TRUE(One(1, 0xFF, 0x3F));
  Answer a = One(5, '0', 0x4B).value();
  EXPECT_EQ(a.kind, 0x63);
  EXPECT_FALSE(printer.model().receipt_open());
  ASSERT_EQ(One(0, '0', 0x4B).value().kind, 0x61);  // the driver starts over at 0
  EXPECT_TRUE(printer.model().receipt_open());
  // 127 is followed by 1.
  for (uint8_t s = 1; s <= 127; ++s) ASSERT_EQ(One(s, 0xFF, 0x3F).value().kind, 0x61) << int(s);
  EXPECT_EQ(One(1, 0xFF, 0x3F).value().kind, 0x61);
}

TEST_F(FrameServerTest, NoiseAndBrokenFramesBeforeACommandAreSkipped) {
  std::vector<uint8_t> bytes = {0x00, 0x55, 0x01, 0x20, 0xFE};
  const auto frame = CommandFrame(0, 0xFF, 0x3F);
  bytes.insert(bytes.end(), frame.begin(), frame.end());
  EXPECT_EQ(Send(bytes).size(), 1u);
  // A frame cut short and resumed after a long pause is thrown away.
  const auto next = CommandFrame(1, 0xFF, 0x3F);
  std::vector<uint8_t> head(next.begin(), next.begin() + 4);
  EXPECT_TRUE(Send(head).empty());
  ticks.Advance(FrameServer::kInterByteGapMs + 1);
  EXPECT_EQ(Send(next).size(), 1u);
  EXPECT_EQ(server.counters().discarded, 1u);
}

TEST_F(FrameServerTest, BusyAnswerMeansNotExecuted) {
  ASSERT_TRUE(One(0, 0xFF, 0x3F));
  faults.BusyNext(1);
  auto busy = One(1, '0', 0x4B);
  ASSERT_TRUE(busy);
  EXPECT_EQ(busy->reply(), 0x81);
  EXPECT_FALSE(printer.model().receipt_open());
  // The driver waits and sends the same command again with the next sequence number.
  EXPECT_EQ(One(2, '0', 0x4B).value().reply(), 0x80);
  EXPECT_TRUE(printer.model().receipt_open());
  EXPECT_EQ(faults.counters().busy, 1u);
}

TEST_F(FrameServerTest, OnDemandFaultsCanWaitForTheirCommand) {
  faults.BusyNext(1, 0x4B);
  ASSERT_EQ(One(0, 0xFF, 0x3F).value().reply(), 0x80);  // a background poll is left alone
  ASSERT_EQ(One(1, '0', 0x4B).value().reply(), 0x81);
  faults.DropNext(1, 0x4B);
  ASSERT_EQ(One(2, 0xFF, 0x3F).value().reply(), 0x80);
  EXPECT_TRUE(Send(CommandFrame(3, '0', 0x4B)).empty());  // dropped, but executed
  EXPECT_TRUE(printer.model().receipt_open());
  const uint64_t executed = printer.executed();
  ASSERT_EQ(One(3, '0', 0x4B).value().reply(), 0x80);  // the resend gets the stored answer
  EXPECT_EQ(printer.executed(), executed);
}

TEST_F(FrameServerTest, InProgressCommandRunsOnceAndAnswersWhenItsTimeIsUp) {
  ASSERT_TRUE(One(0, 0xFF, 0x3F));
  faults.InProgressNext(300);
  Answer a = One(1, '4', 0x45, {"", "1"}).value();  // X report
  EXPECT_EQ(a.reply(), 0x82);
  const size_t journal = printer.model().state().journal.size();
  EXPECT_EQ(journal, 1u);
  // Poll mode: status queries carry the running command's job number until it is done.
  EXPECT_EQ(One(2, 0xFF, 0x3F).value().job(), '4');
  // Another command meanwhile is refused as busy.
  EXPECT_EQ(One(3, '5', 0x4B).value().reply(), 0x81);
  // Resending the command itself (next sequence number) keeps answering in progress...
  EXPECT_EQ(One(4, '4', 0x45, {"", "1"}).value().reply(), 0x82);
  ticks.Advance(300);
  // ...until the time is up: then the real answer, still executed once.
  EXPECT_EQ(One(5, '4', 0x45, {"", "1"}).value().reply(), 0x80);
  EXPECT_EQ(printer.model().state().journal.size(), journal);
  EXPECT_EQ(One(6, 0xFF, 0x3F).value().job(), 0xFF);
  EXPECT_FALSE(printer.model().receipt_open());
}

TEST_F(FrameServerTest, StatusQueryDuringInProgressEndsTheWaitWithJobFF) {
  ASSERT_TRUE(One(0, 0xFF, 0x3F));
  faults.InProgressNext(250);
  ASSERT_EQ(One(1, '0', 0x4B).value().reply(), 0x82);
  ticks.Advance(250);
  EXPECT_EQ(One(2, 0xFF, 0x3F).value().job(), 0xFF);
  EXPECT_EQ(One(3, '1', 0x4D, {"!", "A", "1", "1", "1", "0", "0"}).value().reply(), 0x80);
}

TEST_F(FrameServerTest, CommandsWithReplyFieldsNeverStayInProgress) {
  faults.InProgressNext(300);
  Answer a = One(0, '0', 0x59, {"2"}).value();
  EXPECT_EQ(a.reply(), 0x80);
  EXPECT_EQ(a.fields().size(), 1u);
}

TEST_F(FrameServerTest, LostAnswersAreReplayedNotReExecuted) {
  ASSERT_TRUE(One(0, '0', 0x4B));
  const auto sell = CommandFrame(1, '1', 0x4D, {"!", "Tea", "150", "1000", "1", "0", "0"});
  faults.DropNext(1);
  EXPECT_TRUE(Send(sell).empty());
  faults.TruncateNext(1);
  std::vector<uint8_t> raw;
  EXPECT_TRUE(Send(sell, &raw).empty());
  EXPECT_FALSE(raw.empty());
  faults.CorruptNext(1);
  EXPECT_TRUE(Send(sell, &raw).empty());
  EXPECT_FALSE(raw.empty());
  faults.NoiseNext(1);
  EXPECT_EQ(Send(sell).size(), 1u);
  EXPECT_EQ(Items(), 1u);
  EXPECT_EQ(server.counters().replays, 3u);
  EXPECT_EQ(faults.counters().dropped, 1u);
  EXPECT_EQ(faults.counters().truncated, 1u);
  EXPECT_EQ(faults.counters().corrupted, 1u);
  EXPECT_EQ(faults.counters().noise, 1u);
}

TEST_F(FrameServerTest, PrinterOffDoesNotAnswerAndPowerOnVoidsTheOpenReceipt) {
  ASSERT_TRUE(One(0, '0', 0x4B));
  server.SetPowered(false);
  EXPECT_TRUE(Send(CommandFrame(1, 0xFF, 0x3F)).empty());
  EXPECT_EQ(server.counters().ignored_off, 1u);
  server.SetPowered(true);
  EXPECT_FALSE(printer.model().receipt_open());
  int64_t restarts = 0;
  printer.model().DataItem(11, &restarts);
  EXPECT_EQ(restarts, 1);
  EXPECT_EQ(One(0, 0xFF, 0x3F).value().reply(), 0x80);
}

TEST_F(FrameServerTest, SensorsShowInTheStatusWordAndStopPrinting) {
  printer.SetCoverOpen(true);
  Answer a = One(0, '0', 0x4B).value();
  EXPECT_EQ(a.reply(), 0x83);
  EXPECT_EQ(a.status() & 1u, 1u);
  printer.SetCoverOpen(false);
  printer.SetPaperNearEnd(true);
  a = One(1, '1', 0x4B).value();
  EXPECT_EQ(a.reply(), 0x80);
  EXPECT_EQ(a.status(), kStatusPaperNearEnd);
  printer.set_fatal_code(131);
  a = One(2, '2', 0x4D, {"!", "A", "1", "1", "1", "0", "0"}).value();
  EXPECT_EQ(a.fatal(), 131);
  EXPECT_EQ(a.reply(), 0x83);
  printer.set_fatal_code(kFatalNone);
  // The drawer reports open until its time is up.
  EXPECT_EQ(One(3, '3', 0x5D).value().status() & kStatusDrawerOpen, kStatusDrawerOpen);
  ticks.Advance(printer.profile().drawer_close_ms);
  EXPECT_EQ(One(4, 0xFF, 0x3F).value().status() & kStatusDrawerOpen, 0u);
}

// A driver that retries as the link does, against random faults: every sale is on the
// receipt exactly once, whatever went wrong on the way.
TEST_F(FrameServerTest, RandomFaultsNeverLoseOrRepeatACommand) {
  FaultRates rates;
  std::string error;
  ASSERT_TRUE(ParseFaultSpec(
      "corrupt=0.1,drop=0.1,truncate=0.1,noise=0.1,busy=0.1,inprogress=0.1,inprogress_ms=50",
      &rates, &error))
      << error;
  faults.SetRates(rates);
  uint8_t seq = 0;
  uint8_t job = '0';
  auto exchange = [&](uint8_t opcode, const std::vector<std::string>& fields) {
    const uint8_t my_job = job;
    job = job == '9' ? '0' : job + 1;
    for (int attempt = 0; attempt < 200; ++attempt) {
      auto answers = Send(CommandFrame(seq, my_job, opcode, fields));
      ticks.Advance(1);
      if (answers.size() != 1 || answers[0].kind != 0x61) continue;  // resend, same sequence
      seq = seq >= 127 ? 1 : seq + 1;
      const uint8_t reply = answers[0].reply();
      if (reply == 0x81 || reply == 0x82) {
        ticks.Advance(60);
        continue;  // busy or in progress: send the same command again
      }
      return reply;
    }
    return uint8_t{0};
  };
  ASSERT_EQ(exchange(0x4B, {}), 0x80);
  for (int i = 0; i < 200; ++i) {
    ASSERT_EQ(exchange(0x4D, {"!", "Item", "100", "1000", "1", "0", "0"}), 0x80) << i;
  }
  EXPECT_EQ(Items(), 200u);
  EXPECT_EQ(printer.model().receipt().Total(), 20000);
  const FaultCounters& c = faults.counters();
  EXPECT_GT(c.corrupted + c.dropped + c.truncated + c.busy + c.inprogress, 50u);
}

}  // namespace
}  // namespace kelo::sim
