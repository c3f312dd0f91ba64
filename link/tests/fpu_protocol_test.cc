// Execute (busy, in progress, reply codes) and the wire form of the command set.
#include "link/fpu_protocol.h"

#include <gtest/gtest.h>

#include <thread>

#include "link/tests/link_fixture.h"

namespace kelo::link::testing {
namespace {

using ExecuteTest = LinkTest;
using CommandSetTest = LinkTest;

std::string Fields(std::initializer_list<std::string> fields) {
  return JoinFields(std::vector<std::string>(fields));
}

TEST_F(ExecuteTest, BusyThreeTimesAnswers105AfterThreeSendsAndPauses) {
  printer_.Then(3, Busy());
  EXPECT_EQ(proto_.OpenDrawer(), LINK_E_PROTOCOL);
  ASSERT_EQ(Sent(), 3u);
  EXPECT_EQ(clock_.total_slept(), 3 * kBusyPauseMs);
  for (size_t i = 1; i < 3; ++i) {
    EXPECT_EQ(printer_.received[i].job, printer_.received[0].job);
    // answer 1 ms after the write, then the pause
    EXPECT_EQ(printer_.received[i].tick - printer_.received[i - 1].tick, 1 + kBusyPauseMs);
  }
}

TEST_F(ExecuteTest, BusyThenDoneSucceeds) {
  printer_.Then(2, Busy());
  EXPECT_EQ(proto_.OpenDrawer(), LINK_OK);
  EXPECT_EQ(Sent(), 3u);
}

TEST_F(ExecuteTest, ReplyCodesMapToLinkResults) {
  printer_.Then(Answer("", kReplyRefused83));
  EXPECT_EQ(proto_.OpenDrawer(), LINK_E_REPLY83);
  printer_.Then(Answer("", kReplyRefused84));
  EXPECT_EQ(proto_.OpenDrawer(), LINK_E_REPLY84);
  printer_.Then(Answer("", 0x90));
  EXPECT_EQ(proto_.OpenDrawer(), LINK_E_PROTOCOL);
  EXPECT_EQ(Sent(), 3u);  // refusals are not resent
}

TEST_F(ExecuteTest, InProgressWithoutPollModeResendsTheSameCommand) {
  printer_.Then(2, InProgress());
  EXPECT_EQ(proto_.PrintDailyReport("", 1), LINK_OK);
  ASSERT_EQ(Sent(), 3u);
  for (const auto& c : printer_.received) {
    EXPECT_EQ(c.opcode, kOpPrintDailyReport);
    EXPECT_EQ(c.job, '0');
  }
  EXPECT_EQ(clock_.total_slept(), 2 * kProgressPauseMs);
}

TEST_F(ExecuteTest, InProgressWaitEndsOnStatusBits) {
  for (uint32_t bits : {0x0001u, 0x0002u, 0x0100u, 0x0400u}) {
    printer_.Then(InProgress());
    printer_.Then(InProgress(bits));
    printer_.received.clear();
    EXPECT_EQ(proto_.PrintDailyReport("", 1), LINK_E_PROTOCOL) << bits;
    EXPECT_EQ(Sent(), 2u);
  }
  // Bits outside the mask do not end it.
  printer_.Then(InProgress(0x0200));
  EXPECT_EQ(proto_.PrintDailyReport("", 1), LINK_OK);
}

TEST_F(ExecuteTest, InProgressWithPollModeAsksForStatus) {
  proto_.SetPollMode(true);
  printer_.Then(InProgress());
  Action foreign_job = Answer("x");
  foreign_job.job = '4';
  printer_.Then(foreign_job);  // not the answer to the query itself: one more round
  EXPECT_EQ(proto_.PrintDailyReport("", 1), LINK_OK);
  ASSERT_EQ(Sent(), 3u);
  EXPECT_EQ(printer_.received[1].opcode, kOpQueryStatus);
  EXPECT_EQ(printer_.received[1].job, kStatusJob);
  EXPECT_TRUE(printer_.received[1].payload.empty());
  EXPECT_EQ(printer_.received[2].opcode, kOpQueryStatus);
  EXPECT_EQ(clock_.total_slept(), 2 * kProgressPauseMs);
}

TEST_F(ExecuteTest, PollModeWaitEndsOnStatusBits) {
  proto_.SetPollMode(true);
  printer_.Then(InProgress());
  printer_.Then(Answer("", kReplyDone, 0x0002));
  EXPECT_EQ(proto_.PrintDailyReport("", 1), LINK_E_PROTOCOL);
  EXPECT_EQ(Sent(), 2u);
}

TEST_F(ExecuteTest, TimeoutPassesThrough) {
  printer_.Then(3, Silence());
  EXPECT_EQ(proto_.OpenDrawer(), LINK_E_TIMEOUT);
  EXPECT_EQ(clock_.total_slept(), 0u);
}

TEST_F(ExecuteTest, CommandsFromSeveralThreadsAreServedOneAtATime) {
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 25; ++i) {
        if (proto_.OpenDrawer() != LINK_OK) ++failures;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures.load(), 0);
  ASSERT_EQ(Sent(), 100u);
  for (size_t i = 0; i < 100; ++i)
    EXPECT_EQ(printer_.received[i].sequence, i == 0 ? 0 : (i - 1) % 127 + 1);
}

TEST_F(CommandSetTest, ReceiptTextEmpty) {
  ASSERT_EQ(proto_.PrintReceiptText(""), LINK_OK);
  EXPECT_EQ(Last().opcode, 0x4D);
  EXPECT_EQ(Last().payload, " \x1F");
}

TEST_F(CommandSetTest, SellItemPayload) {
  ASSERT_EQ(proto_.SellItem("A", 100, 1, 1, 0, 0), LINK_OK);
  EXPECT_EQ(Last().payload, Fields({"!", "A", "100", "1", "1", "0", "0"}));
  ASSERT_EQ(proto_.VoidItem("B", 5, 2, 3, 4), LINK_OK);
  EXPECT_EQ(Last().payload, Fields({"\"", "B", "5", "2", "3", "4", "0"}));
  ASSERT_EQ(proto_.Refund("C", 7, 2, 9), LINK_OK);
  EXPECT_EQ(Last().payload, Fields({"+", "C", "7", "0", "2", "9", "0"}));
  ASSERT_EQ(proto_.Payment("Cash", 1500, 0), LINK_OK);
  EXPECT_EQ(Last().payload, Fields({"(", "Cash", "1500", "0"}));
}

TEST_F(CommandSetTest, DatesTimesAndSelectors) {
  FpuDateTime dt{2026, 12, 2, 8, 7, 6, 5, 0};
  ASSERT_EQ(proto_.SetDateTime(dt), LINK_OK);
  EXPECT_EQ(Last().opcode, kOpSetDateTime);
  EXPECT_EQ(Last().payload, Fields({"20261208", "070605"}));
  ASSERT_EQ(proto_.PrintFiscalMemoryReportByNumber(1, 1, 10, 20), LINK_OK);
  EXPECT_EQ(Last().payload, Fields({"1", "2", "1", "10", "20"}));
  ASSERT_EQ(proto_.PrintFiscalMemoryReportByDate(1, 2, dt, dt), LINK_OK);
  EXPECT_EQ(Last().payload, Fields({"1", "1", "2", "20261208", "20261208"}));
  const uint8_t row[] = {0x00, 0xFF, 0x25};
  ASSERT_EQ(proto_.DisplayGraphicRow(row), LINK_OK);
  EXPECT_EQ(Last().payload, Fields({"$", "%00\xFF%25"}));
  ASSERT_EQ(proto_.WriteDeviceFlag(0x1FF), LINK_OK);
  EXPECT_EQ(Last().payload, "255");
  const int32_t rates[] = {2200, 1000, 400};
  ASSERT_EQ(proto_.SetVatRates(rates), LINK_OK);
  EXPECT_EQ(Last().payload, Fields({"2200", "1000", "400"}));
}

TEST_F(CommandSetTest, CutPaperThreshold) {
  ASSERT_EQ(proto_.CutPaper(90), LINK_OK);
  EXPECT_EQ(Last().opcode, 0x5C);
  EXPECT_EQ(Last().payload, "2");
  ASSERT_EQ(proto_.CutPaper(91), LINK_OK);
  EXPECT_EQ(Last().payload, "1");
}

TEST_F(CommandSetTest, ReadParametersInGroupsOfThree) {
  printer_.Payload(kOpReadParameters,
                   Fields({"B00", "1", "v1", "B00", "2", "v2", "B00", "3", "v3"}));
  std::vector<FpuParameterQuery> q;
  for (int i = 1; i <= 7; ++i) q.push_back({2944, std::to_string(i)});
  std::vector<std::string> values = {"old"};
  ASSERT_EQ(proto_.ReadParameters(q, &values), LINK_OK);
  ASSERT_EQ(Sent(), 3u);
  EXPECT_EQ(printer_.received[0].payload, Fields({"B80", "1", "B80", "2", "B80", "3"}));
  EXPECT_EQ(printer_.received[2].payload, Fields({"B80", "7"}));
  EXPECT_EQ(values.size(), 9u);
  EXPECT_EQ(values[0], "v1");
  EXPECT_EQ(values[5], "v3");
}

TEST_F(CommandSetTest, ReadParametersStopsAtFirstFailure) {
  printer_.Then(Answer(Fields({"a", "b", "c"})));
  printer_.Then(Answer("", kReplyRefused84));
  std::vector<FpuParameterQuery> q(7, {1, "x"});
  std::vector<std::string> values;
  EXPECT_EQ(proto_.ReadParameters(q, &values), LINK_E_REPLY84);
  EXPECT_EQ(Sent(), 2u);
  EXPECT_TRUE(proto_.ReadParameters({}, &values) == LINK_OK && values.empty());
}

TEST_F(CommandSetTest, PendingParametersAllGroupsSentLastResultAnswered) {
  proto_.ClearPendingParameters();
  for (int i = 0; i < 4; ++i) proto_.AddPendingParameter(2944, std::to_string(i), "r");
  printer_.Then(Answer("", kReplyRefused83));
  EXPECT_EQ(proto_.FlushPendingParameters(), LINK_OK);
  ASSERT_EQ(Sent(), 2u);
  EXPECT_EQ(printer_.received[0].opcode, kOpWriteParameters);
  EXPECT_EQ(printer_.received[1].payload, Fields({"B80", "3", "r"}));
  EXPECT_EQ(proto_.pending_parameters().size(), 4u);
  proto_.ClearPendingParameters();
  EXPECT_EQ(proto_.FlushPendingParameters(), LINK_OK);
  EXPECT_EQ(Sent(), 2u);
}

TEST_F(CommandSetTest, RawCommandSendsOneByteWithANewJob) {
  printer_.Then(Answer(Fields({"a", "b"})));
  std::string reply;
  ASSERT_EQ(proto_.SendRawCommand("3f01ZZ", &reply), LINK_OK);
  EXPECT_EQ(Last().opcode, 0x3F);
  EXPECT_EQ(Last().job, '0');
  EXPECT_EQ(Last().payload, std::string("\x01", 1));
  EXPECT_EQ(reply, Fields({"a", "b"}));
}

TEST_F(CommandSetTest, RawCommandRefusesShortOrNonHexText) {
  std::string reply = "keep";
  for (const char* bad : {"", "3f0", "3g01", "-101", " 3f01"}) {
    EXPECT_EQ(proto_.SendRawCommand(bad, &reply), LINK_E_PROTOCOL) << bad;
  }
  EXPECT_EQ(Sent(), 0u);
  EXPECT_EQ(reply, "keep");
}

TEST_F(CommandSetTest, SimulateKeySendsEveryKeyAndAnswersTheLast) {
  EXPECT_EQ(proto_.SimulateKey({}), LINK_E_PROTOCOL);
  EXPECT_EQ(Sent(), 0u);
  printer_.Then(Answer("", kReplyRefused83));
  const int32_t keys[] = {11, 12, 13};
  EXPECT_EQ(proto_.SimulateKey(keys), LINK_OK);
  ASSERT_EQ(Sent(), 3u);
  EXPECT_EQ(printer_.received[1].payload, "12");
  EXPECT_NE(printer_.received[1].job, printer_.received[0].job);
}

TEST_F(CommandSetTest, DeviceInfoNeedsEightFields) {
  FpuDeviceInfo info;
  info.field1 = "untouched";
  printer_.Then(Answer(Fields({"1", "a", "b", "5035000", "c", "d", "7"})));
  EXPECT_EQ(proto_.GetDeviceInfo(&info), LINK_E_PROTOCOL);
  EXPECT_EQ(info.field1, "untouched");
  EXPECT_EQ(Last().payload, "0");
  printer_.Then(Answer(Fields({"1", "a", "b", "5035000", "c", "kelo-x1", "7", "z"})));
  ASSERT_EQ(proto_.GetDeviceInfo(&info), LINK_OK);
  EXPECT_EQ(info.field0, 1);
  EXPECT_EQ(info.field3, "5035000");
  EXPECT_EQ(info.field5, "KELO-X1");
  EXPECT_EQ(info.field6, 7);
  EXPECT_EQ(info.field7, "z");
}

TEST_F(CommandSetTest, DeviceInfoRecords) {
  std::vector<std::string> sixteen;
  for (int i = 1; i <= 16; ++i) sixteen.push_back(std::to_string(i * 10));
  printer_.Then(Answer(JoinFields(sixteen)));
  std::array<int32_t, 16> v{};
  ASSERT_EQ(proto_.GetDeviceInfo1(&v), LINK_OK);
  EXPECT_EQ(Last().payload, "1");
  EXPECT_EQ(v[0], 10);
  EXPECT_EQ(v[15], 160);
  sixteen.pop_back();
  printer_.Then(Answer(JoinFields(sixteen)));
  v.fill(-1);
  EXPECT_EQ(proto_.GetDeviceInfo1(&v), LINK_E_PROTOCOL);
  EXPECT_EQ(v[0], -1);

  std::string text = "keep";
  std::array<int32_t, 4> four{};
  printer_.Then(Answer(Fields({"disp", "1", "2", "3"})));
  EXPECT_EQ(proto_.GetDeviceInfo2(&text, &four), LINK_E_PROTOCOL);
  EXPECT_EQ(text, "keep");
  printer_.Then(Answer(Fields({"disp", "1", "2", "3", "4"})));
  ASSERT_EQ(proto_.GetDeviceInfo2(&text, &four), LINK_OK);
  EXPECT_EQ(Last().payload, "2");
  EXPECT_EQ(text, "disp");
  EXPECT_EQ(four[3], 4);
}

TEST_F(CommandSetTest, RepliesWithTooFewFieldsLeaveOutputsUntouched) {
  FpuDateTime dt{1, 1, 1, 1, 1, 1, 1, 1};
  uint32_t flags = 5;
  int32_t phase = 6;
  printer_.Then(Answer(Fields({"20260101", "101010", "1"})));
  EXPECT_EQ(proto_.QueryStatus(&dt, &flags, &phase), LINK_E_PROTOCOL);
  EXPECT_EQ(dt.year, 1);
  EXPECT_EQ(flags, 5u);
  EXPECT_EQ(phase, 6);

  int32_t value = 9;
  std::string text = "keep";
  printer_.Then(Answer("1"));
  EXPECT_EQ(proto_.ReadReportLine(0, &value, &text), LINK_E_PROTOCOL);
  EXPECT_EQ(value, 9);

  FpuZReportData z;
  z.number = 42;
  printer_.Then(Answer(Fields({"1", "20260101", "1", "2", "3", "4", "5"})));
  EXPECT_EQ(proto_.ReadZReportData(&z), LINK_E_PROTOCOL);
  EXPECT_EQ(z.number, 42);

  int64_t number = 3;
  double amount = 1.5;
  printer_.Then(Answer(Fields({"1", "t"})));
  EXPECT_EQ(proto_.ReadZReportAmount(&number, &text, &amount), LINK_E_PROTOCOL);
  EXPECT_EQ(number, 3);
  EXPECT_EQ(text, "keep");

  int64_t item = 8;
  printer_.Then(Answer(""));
  EXPECT_EQ(proto_.GetDataItem(1, &item), LINK_E_PROTOCOL);
  EXPECT_EQ(item, 8);
  printer_.Then(Answer(""));
  EXPECT_EQ(proto_.GetTotalizer(1, 2, 0, &item), LINK_E_PROTOCOL);
  EXPECT_EQ(item, 8);
}

TEST_F(CommandSetTest, ZReportReads) {
  FpuZReportData z;
  z.date = FpuDateTime{1999, 9, 9, 9, 9, 9, 9, 9};
  printer_.Then(Answer(Fields({"0", "20260101", "1", "2", "3", "4", "5", "6"})));
  ASSERT_EQ(proto_.ReadZReportData(&z), LINK_OK);
  EXPECT_EQ(z.date, FpuDateTime{});  // number 0: no date
  EXPECT_EQ(z.values[5], 6);
  printer_.Then(Answer(Fields({"17", "20260305", "1", "2", "3", "4", "5", "6"})));
  ASSERT_EQ(proto_.ReadZReportData(&z), LINK_OK);
  EXPECT_EQ(z.date.year, 2026);
  EXPECT_EQ(z.date.day, 5);

  int64_t number = 0;
  std::string text;
  double amount = 0;
  printer_.Then(Answer(Fields({"12", "Z", "1234.56"})));
  ASSERT_EQ(proto_.ReadZReportAmount(&number, &text, &amount), LINK_OK);
  EXPECT_EQ(number, 12);
  EXPECT_EQ(text, "Z");
  EXPECT_DOUBLE_EQ(amount, 1234.56);
  EXPECT_EQ(static_cast<int64_t>(amount * 1000 + 0.5), 1234560);
}

TEST_F(CommandSetTest, GraphicsAndDisplayLeadWithTheirSelector) {
  ASSERT_EQ(proto_.PrinterGraphicBegin(3, 100), LINK_OK);
  EXPECT_EQ(Last().opcode, 0x41);
  EXPECT_EQ(Last().payload, Fields({"0", "3", "100"}));
  ASSERT_EQ(proto_.DisplayClear(), LINK_OK);
  EXPECT_EQ(Last().opcode, 0x54);
  EXPECT_EQ(Last().payload, "!");
  ASSERT_EQ(proto_.DisplayStandbyGraphic(1, 2, "t", 4), LINK_OK);
  EXPECT_EQ(Last().payload, Fields({"(", "1", "2", "t", "4"}));
}

}  // namespace
}  // namespace kelo::link::testing
