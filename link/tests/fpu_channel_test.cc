// Exchange rules: framing on the wire, sequence and job numbers, resends, time-outs.
#include "link/fpu_channel.h"

#include <gtest/gtest.h>

#include "link/tests/link_fixture.h"

namespace kelo::link::testing {
namespace {

using ChannelTest = LinkTest;

TEST_F(ChannelTest, StatusQueryGoesOutAsTheGoldenFrameAndIsDecoded) {
  printer_.Then(
      Answer("20260307\x1F"
             "093015\x1F"
             "1a\x1F"
             "2"));
  FpuDateTime dt;
  uint32_t flags = 0;
  int32_t phase = 0;
  ASSERT_EQ(proto_.QueryStatus(&dt, &flags, &phase), LINK_OK);
  ASSERT_EQ(os_.writes.size(), 1u);
  EXPECT_EQ(os_.writes[0],
            (std::vector<uint8_t>{0x01, 0x41, 0x00, 0x00, 0x03, 0x31, 0xFF, 0x3F, 0x43, 0xF9}));
  EXPECT_EQ(dt.year, 2026);
  EXPECT_EQ(dt.month, 3);
  EXPECT_EQ(dt.day, 7);
  EXPECT_EQ(dt.hour, 9);
  EXPECT_EQ(dt.minute, 30);
  EXPECT_EQ(dt.second, 15);
  EXPECT_EQ(flags, 0x1Au);
  EXPECT_EQ(phase, 2);
}

TEST_F(ChannelTest, NoiseAndAForeignKindBeforeTheAnswerAreSkipped) {
  auto answer = ResponseFrame(0x61, 0, '0', 'K', kReplyDone);
  std::vector<uint8_t> stream = {0x33, 0xFF, 0x01, 0x41, 0x01, 0x20};
  stream.insert(stream.end(), answer.begin(), answer.end());
  printer_.Then(Raw(stream));
  EXPECT_EQ(proto_.BeginFiscalReceipt(), LINK_OK);
  EXPECT_EQ(Sent(), 1u);
  EXPECT_EQ(proto_.sequence(), 1);
}

TEST_F(ChannelTest, AnswerWithEightDataBytesHasNoFields) {
  FpuCommand c;
  FpuResponse r;
  c.SetOpcode('W');
  c.SetJob(proto_.NextJob());
  ASSERT_EQ(proto_.Execute(c, &r), LINK_OK);
  EXPECT_EQ(r.payload_length(), 0u);
  EXPECT_TRUE(r.SplitPayload().empty());
}

TEST_F(ChannelTest, SequenceGoesTo127ThenWrapsToOne) {
  for (int i = 0; i < 127; ++i) ASSERT_EQ(proto_.HealthCheck(), LINK_OK);
  EXPECT_EQ(printer_.received.front().sequence, 0);
  EXPECT_EQ(printer_.received.back().sequence, 126);
  EXPECT_EQ(proto_.sequence(), 127);
  ASSERT_EQ(proto_.HealthCheck(), LINK_OK);
  EXPECT_EQ(Last().sequence, 127);
  EXPECT_EQ(proto_.sequence(), 1);
  ASSERT_EQ(proto_.HealthCheck(), LINK_OK);
  EXPECT_EQ(Last().sequence, 1);
}

TEST_F(ChannelTest, JobNumbersCycleDigitsAndStatusQueryTakesNone) {
  printer_.Payload(kOpQueryStatus,
                   "20260101\x1F"
                   "000000\x1F"
                   "0\x1F"
                   "0");
  std::string jobs;
  for (int i = 0; i < 11; ++i) {
    ASSERT_EQ(proto_.HealthCheck(), LINK_OK);
    jobs.push_back(static_cast<char>(Last().job));
    if (i == 4) {
      ASSERT_EQ(proto_.QueryStatus(nullptr, nullptr, nullptr), LINK_OK);
      EXPECT_EQ(Last().job, 0xFF);
    }
  }
  EXPECT_EQ(jobs, "01234567890");
  // Start begins again at '0'.
  proto_.Stop();
  proto_.Start();
  EXPECT_EQ(proto_.NextJob(), '0');
  EXPECT_EQ(proto_.sequence(), 0);
}

TEST_F(ChannelTest, ResendAfterKindBAndBadCheckKeepsSequenceAndJob) {
  proto_.HealthCheck();  // sequence 1
  printer_.Then(OfKind(kResponseKindResend));
  printer_.Then(BadCheck());
  ASSERT_EQ(proto_.OpenDrawer(), LINK_OK);
  ASSERT_EQ(Sent(), 4u);
  for (size_t i = 1; i < 4; ++i) {
    EXPECT_EQ(printer_.received[i].sequence, 1) << i;
    EXPECT_EQ(printer_.received[i].job, '1') << i;
  }
  EXPECT_EQ(proto_.sequence(), 2);
}

TEST_F(ChannelTest, ThreeBadCheckCodesAnswer102) {
  printer_.Then(3, BadCheck());
  EXPECT_EQ(proto_.OpenDrawer(), LINK_E_CHECK);
  EXPECT_EQ(Sent(), 3u);
}

TEST_F(ChannelTest, KindCResetsSequenceAndTheResendCarriesZero) {
  proto_.HealthCheck();
  proto_.HealthCheck();
  printer_.Then(OfKind(kResponseKindReset));
  ASSERT_EQ(proto_.OpenDrawer(), LINK_OK);
  ASSERT_EQ(Sent(), 4u);
  EXPECT_EQ(printer_.received[2].sequence, 2);
  EXPECT_EQ(printer_.received[3].sequence, 0);
  EXPECT_EQ(printer_.received[3].job, printer_.received[2].job);
  EXPECT_EQ(proto_.sequence(), 1);
}

TEST_F(ChannelTest, SequenceMismatchResetsAndResends) {
  proto_.HealthCheck();
  Action stale;  // an answer out of step that belongs to another command
  stale.sequence = 40;
  stale.job = '7';
  printer_.Then(stale);
  ASSERT_EQ(proto_.HealthCheck(), LINK_OK);
  ASSERT_EQ(Sent(), 3u);
  EXPECT_EQ(printer_.received[2].sequence, 0);
}

TEST_F(ChannelTest, OwnAnswerWithDamagedSequenceIsTakenNotResent) {
  // The sequence byte is outside the check code: a line error there must not make the
  // printer do the command a second time.
  proto_.HealthCheck();
  Action damaged;
  damaged.sequence = 40;
  printer_.Then(damaged);
  ASSERT_EQ(proto_.OpenDrawer(), LINK_OK);
  EXPECT_EQ(Sent(), 2u);
  EXPECT_EQ(proto_.sequence(), 0);
  ASSERT_EQ(proto_.HealthCheck(), LINK_OK);
  EXPECT_EQ(printer_.received[2].sequence, 0);
}

TEST_F(ChannelTest, JobAndOpcodeMustMatchExceptJobOfStatusQuery) {
  Action wrong_job;
  wrong_job.job = '7';
  printer_.Then(3, wrong_job);
  EXPECT_EQ(proto_.HealthCheck(), LINK_E_PROTOCOL);
  EXPECT_EQ(Sent(), 3u);

  printer_.received.clear();
  Action any_job = Answer(
      "20260101\x1F"
      "000000\x1F"
      "0\x1F"
      "0");
  any_job.job = '3';
  printer_.Then(any_job);
  EXPECT_EQ(proto_.QueryStatus(nullptr, nullptr, nullptr), LINK_OK);
  EXPECT_EQ(Sent(), 1u);

  Action wrong_opcode;
  wrong_opcode.opcode = 'X';
  printer_.Then(3, wrong_opcode);
  EXPECT_EQ(proto_.QueryStatus(nullptr, nullptr, nullptr), LINK_E_PROTOCOL);
}

TEST_F(ChannelTest, OtherKindsOfTheFamilyAreTakenUnchecked) {
  Action odd = OfKind(0x6E);
  odd.job = 'z';
  odd.sequence = 99;
  printer_.Then(odd);
  EXPECT_EQ(proto_.HealthCheck(), LINK_OK);
  EXPECT_EQ(proto_.sequence(), 0);  // not advanced
}

TEST_F(ChannelTest, SilenceThreeTimesGives106AndResetsSequence) {
  proto_.HealthCheck();
  printer_.Then(3, Silence());
  uint32_t start = clock_.TickMs();
  EXPECT_EQ(proto_.OpenDrawer(), LINK_E_TIMEOUT);
  uint32_t spent = clock_.TickMs() - start;
  EXPECT_GE(spent, 3 * kReceiveDeadlineMs);
  EXPECT_LT(spent, 3 * (kReceiveDeadlineMs + 60));
  EXPECT_EQ(Sent(), 4u);
  EXPECT_EQ(proto_.sequence(), 0);
  for (size_t i = 1; i < 4; ++i) EXPECT_EQ(printer_.received[i].sequence, 1);
}

TEST_F(ChannelTest, AbortedExchangesEndAtOnceUntilResumed) {
  proto_.HealthCheck();
  const size_t sent_before = Sent();
  proto_.AbortExchanges();
  const uint32_t start = clock_.TickMs();
  EXPECT_EQ(proto_.OpenDrawer(), LINK_E_TIMEOUT);
  EXPECT_EQ(clock_.TickMs(), start);  // no receive time-out waited out
  EXPECT_EQ(Sent(), sent_before);
  EXPECT_EQ(proto_.sequence(), 0);  // as after any exchange that ends in 106
  proto_.ResumeExchanges();
  EXPECT_EQ(proto_.OpenDrawer(), LINK_OK);
  EXPECT_EQ(Sent(), sent_before + 1);
}

TEST_F(ChannelTest, DeadlineSpanningTheTickWrapStillLasts3000ms) {
  clock_.Set(0xFFFFFFFFu - 1000);
  printer_.Then(Silence());
  uint32_t start = clock_.TickMs();
  FpuResponse r;
  ASSERT_EQ(proto_.SendCommand(FpuCommand()), LINK_OK);
  EXPECT_EQ(proto_.ReadResponse(&r), LINK_E_TIMEOUT);
  uint32_t spent = platform::TicksSince(start, clock_.TickMs());
  EXPECT_GE(spent, kReceiveDeadlineMs);
  EXPECT_LT(spent, kReceiveDeadlineMs + 60);
}

TEST_F(ChannelTest, NoiseThatNeverStopsEndsByTheDeadline) {
  std::vector<uint8_t> one = {0x55};
  for (uint32_t t = 1; t < 12000; t += 2) os_.Deliver(one, t);
  printer_.Then(Silence());
  uint32_t start = clock_.TickMs();
  FpuResponse r;
  ASSERT_EQ(proto_.SendCommand(FpuCommand()), LINK_OK);
  EXPECT_EQ(proto_.ReadResponse(&r), LINK_E_TIMEOUT);
  EXPECT_LT(clock_.TickMs() - start, kReceiveDeadlineMs + 60);
}

TEST_F(ChannelTest, FrameThatStopsHalfWayEndsByTheDeadline) {
  // 256 data bytes announced, one sent: the data read alone could wait 20 + 30 x 255 ms.
  printer_.Then(3, Raw({0x01, 0x61, 0x00, 0x01, 0x00, 0x30}));
  uint32_t start = clock_.TickMs();
  EXPECT_EQ(proto_.ResetPrinter(), LINK_E_TIMEOUT);
  EXPECT_EQ(Sent(), 3u);
  EXPECT_LE(clock_.TickMs() - start, 3 * kReceiveDeadlineMs);
  EXPECT_EQ(proto_.sequence(), 0);
}

TEST_F(ChannelTest, DeclaredLengthBeyondTheReceiveBufferAnswers105AtOnce) {
  // 494 data bytes make a 501-byte frame; the rest never comes.
  printer_.Then(3, Raw({0x01, 0x61, 0x00, 0x01, 0xEE, 0x30, 0x57}));
  uint32_t start = clock_.TickMs();
  EXPECT_EQ(proto_.ResetPrinter(), LINK_E_PROTOCOL);
  EXPECT_EQ(Sent(), 3u);
  EXPECT_LT(clock_.TickMs() - start, 100u);
}

TEST_F(ChannelTest, LargestFrameThatFitsIsTaken) {
  printer_.Then(Answer(std::string(485, 'p')));  // 8 + 485 = 493 data bytes, 500 in all
  FpuCommand c;
  FpuResponse r;
  c.SetOpcode('X');
  c.SetJob(proto_.NextJob());
  ASSERT_EQ(proto_.Execute(c, &r), LINK_OK);
  EXPECT_EQ(r.payload_length(), 485u);
}

TEST_F(ChannelTest, DataPartShorterThanEightBytesAnswers105) {
  printer_.Then(3, Raw(EncodeFrame(0x61, 0, std::vector<uint8_t>{'0', 'X', 0})));
  EXPECT_EQ(proto_.HealthCheck(), LINK_E_PROTOCOL);
  EXPECT_EQ(Sent(), 3u);
}

TEST_F(ChannelTest, LastStatusComesFromTheLastValidAnswer) {
  Action a = Answer("", kReplyDone, 0x00A0B0C0);
  a.fatal = 3;
  printer_.Then(a);
  ASSERT_EQ(proto_.HealthCheck(), LINK_OK);
  printer_.Then(3, Silence());
  ASSERT_EQ(proto_.HealthCheck(), LINK_E_TIMEOUT);
  int32_t fatal = 0, reply = 0;
  uint32_t status = 0;
  proto_.GetLastStatus(&fatal, &status, &reply);
  EXPECT_EQ(fatal, 3);
  EXPECT_EQ(status, 0x00A0B0C0u);
  EXPECT_EQ(reply, kReplyDone);
}

TEST_F(ChannelTest, TraceLinesCanBeSwitchedAtRunTime) {
  std::vector<std::string> lines;
  proto_.SetTraceSink([&](std::string_view l) { lines.emplace_back(l); });
  printer_.Then(Answer("", kReplyDone, 0x12));
  ASSERT_EQ(proto_.OpenDrawer(), LINK_OK);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "CMD  * OPCODE:5D  -  SEQ#:00  -  JOB:30\r\n");
  EXPECT_EQ(lines[1],
            "RESP * OPCODE:5D  -  SEQ#:00  -  JOB:30  -  FATAL=0000  -  STATUS=0012  -  "
            "REPLYCODE=80\r\n");
  proto_.SetTraceSink(nullptr);
  ASSERT_EQ(proto_.OpenDrawer(), LINK_OK);
  EXPECT_EQ(lines.size(), 2u);
}

TEST_F(ChannelTest, PortCannotChangeWhileRunning) {
  EXPECT_EQ(proto_.SetPort(nullptr), LINK_E_PROTOCOL);
  proto_.Stop();
  EXPECT_FALSE(proto_.running());
  EXPECT_EQ(proto_.SetPort(&port_), LINK_OK);
}

TEST_F(ChannelTest, CommandTooLargeForTheSendBufferIsNotWritten) {
  EXPECT_EQ(proto_.PrintReceiptText(std::string(1100, 'x')), LINK_E_PROTOCOL);
  EXPECT_TRUE(os_.writes.empty());
}

}  // namespace
}  // namespace kelo::link::testing
