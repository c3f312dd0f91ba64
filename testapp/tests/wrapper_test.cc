#include <gtest/gtest.h>

#include <algorithm>

#include "testapp/core/auto_tests.h"
#include "testapp/core/device_session.h"
#include "testapp/core/fprt_wrapper.h"
#include "testapp/core/log_model.h"
#include "testapp/core/property_list.h"
#include "testapp/tests/fake_printer.h"

namespace kelo::testapp {
namespace {

using testing::FakePrinter;
using testing::VectorRecorder;

class WrapperTest : public ::testing::Test {
 protected:
  WrapperTest() : wrapper(*fake.printer, log, &recorder) {}

  void OpenDevice() {
    ASSERT_EQ(fake.printer->Open("KeloFPU"), 0);
    fake.state->TakeCalls();
  }
  std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    std::string text = log.Text();
    size_t pos = 0;
    while (pos < text.size()) {
      const size_t end = text.find("\r\n", pos);
      lines.push_back(text.substr(pos, end - pos));
      pos = end + 2;
    }
    return lines;
  }
  std::string LastLine() {
    auto lines = Lines();
    return lines.empty() ? "" : lines.back();
  }

  FakePrinter fake;
  LogModel log;
  VectorRecorder recorder;
  clsFprtWrapper wrapper;
};

TEST_F(WrapperTest, FailingCallEndsWithNamedCodesAndErrorString) {
  OpenDevice();
  fake.state->next_result = 114;
  fake.state->next_extended = 201;
  fake.state->next_error = "Cover is open";
  EXPECT_EQ(wrapper.PrintXReport(), 114);
  EXPECT_EQ(LastLine(),
            "PrintXReport()     -> OposEExtended(114)  OposEfptrCoverOpen(201)  Cover is open");

  fake.state->next_result = 114;
  fake.state->next_extended = 300;
  fake.state->next_error = "odd";
  wrapper.PrintZReport();
  EXPECT_EQ(LastLine(), "PrintZReport()     -> OposEExtended(114)  (300)  odd");

  wrapper.BeginNonFiscal();
  EXPECT_EQ(LastLine(), "BeginNonFiscal()     -> OposSuccess(0)");
}

TEST_F(WrapperTest, OpenOfAnUnknownDeviceLogsTheClosedControlsReason) {
  EXPECT_EQ(wrapper.WOpen("Nope"), 109);
  EXPECT_EQ(recorder.lines.back(), "F_Open$Nope");
  EXPECT_EQ(LastLine().rfind("Open(Nope)     -> OposENoexist(109)  (0)  Device \"Nope\"", 0), 0u);
  EXPECT_EQ(wrapper.WClose(), 101);
  EXPECT_EQ(LastLine(), "Close()     -> OposEClosed(101)  (0)  ");
}

TEST_F(WrapperTest, OpenOfAnOpenDeviceLogsTheCallsOwnResult) {
  ASSERT_EQ(wrapper.WOpen("KeloFPU"), 0);
  // The control object refuses it; the service object's fields still read success.
  EXPECT_EQ(wrapper.WOpen("KeloFPU"), 106);
  EXPECT_EQ(LastLine(), "Open(KeloFPU)     -> OposEIllegal(106)  (0)  ");
}

TEST_F(WrapperTest, MacroAndLogLinesOfTheMethods) {
  OpenDevice();
  wrapper.PrintRecItem("Articolo test", Currency(10000), 1, 0, Currency(0), "");
  EXPECT_EQ(recorder.lines.back(), "F_PrintRecItem$Articolo test$1.00$1$0$0.00$");
  EXPECT_EQ(LastLine(),
            "PrintRecItem(\"Articolo test\", 1.00, 1, 0, 0.00, \"\")     -> OposSuccess(0)");
  EXPECT_EQ(fake.MethodCalls().back(), "printRecItem(Articolo test, 10000, 1, 0, 0, )");

  wrapper.PrintRecItemVoid("TEST ITEM 5", Currency(50000), 0, 1, Currency(0), " pz ");
  EXPECT_EQ(LastLine(),
            "PrintRecItemVoid(\"TEST ITEM 5\", 5.00, 0, 1, 0.00, pz)     -> OposSuccess(0)");
  wrapper.PrintRecItemAdjustment(3, "Perc Discount", Currency(250000), 1);
  EXPECT_EQ(recorder.lines.back(), "F_PrintRecItemAdjustment$3$Perc Discount$25.00$1");
  EXPECT_EQ(LastLine(),
            "PrintRecItemAdjustment(FPTR_AT_PERCENTAGE_DISCOUNT, \"Perc Discount\", 25.00, 1)"
            "     -> OposSuccess(0)");
  wrapper.PrintRecSubtotalAdjustVoid(9, Currency(10000));
  EXPECT_EQ(LastLine().substr(0, 55), "PrintRecSubtotalAdjustVoid(INVALID AdjutmentType, 1.00)");
  wrapper.BeginFiscalReceipt(true);
  EXPECT_EQ(recorder.lines.back(), "F_BeginFiscalReceipt$True");
  wrapper.SetVatTable();
  EXPECT_EQ(recorder.lines.back(), "F_SetVatTable$");
  wrapper.ClearError();
  EXPECT_EQ(recorder.lines.back(), "F_ClearError");
  wrapper.SetTrailerLine(2, "Bye", false);
  EXPECT_EQ(recorder.lines.back(), "F_SetTrailerLine$2$Bye$False");
  EXPECT_EQ(LastLine(), "SetTrailerLine(2, \"Bye\", False)     -> OposSuccess(0)");
  wrapper.PrintReport(1, "1", "5");
  EXPECT_EQ(LastLine(), "PrintReport(1, \"1\", \"5\")     -> OposSuccess(0)");

  std::string date;
  wrapper.GetDate(date);
  EXPECT_EQ(recorder.lines.back(), "F_GetDate");
  EXPECT_EQ(date, "081220260930");
  int32_t opt = 0;
  std::string data;
  wrapper.GetData(1, opt, data);
  EXPECT_EQ(recorder.lines.back(), "F_GetData$1$0");
  EXPECT_EQ(data, "2500");
  wrapper.GetTotalizer(2, 1, data);
  EXPECT_EQ(recorder.lines.back(), "F_GetTotalizer$2$1");
  EXPECT_EQ(LastLine(), "GetTotalizer(2, 1)     -> OposSuccess(0)");
}

TEST_F(WrapperTest, DirectIORecordsTheArgumentsAndLogsTheAnswer) {
  OpenDevice();
  int32_t command = 1100;
  std::array<int32_t, 11> data{};
  data[0] = 1;
  std::string text = "logo.bmp";
  EXPECT_EQ(wrapper.DirectIO(command, data, text), 0);
  EXPECT_EQ(recorder.lines.back(), "F_DirectIO$1100$1$0$0$0$0$0$0$0$0$0$0$logo.bmp");
  // The fake adds one to every element and appends "-ok": the log shows the values after.
  EXPECT_EQ(LastLine(),
            "DirectIO(DIRECTIO_FPTR_BMPLOAD, {2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, logo.bmp-ok)"
            "     -> OposSuccess(0)");
  command = 4242;
  wrapper.DirectIO(command, data, text);
  EXPECT_EQ(LastLine().substr(0, 36), "DirectIO(UNDEFINED DIRECTIO COMMAND,");
}

TEST_F(WrapperTest, ControlCharactersStayOnOneLogLine) {
  OpenDevice();
  wrapper.PrintRecMessage("\x1b|2CBig\r\nNext");
  EXPECT_EQ(LastLine(), "PrintRecMessage(\"[ESC]|2CBig[CR][LF]Next\")     -> OposSuccess(0)");
  // The recorder receives the raw line; the macro engine escapes what it stores.
  EXPECT_EQ(recorder.lines.back(), "F_PrintRecMessage$\x1b|2CBig\r\nNext");
}

TEST_F(WrapperTest, PropertyReadersAndWriters) {
  OpenDevice();
  fake.state->strings[1000003] = "KeloFPU Fiscal Printer Unit";
  fake.state->numbers[8] = 1011000;
  fake.state->numbers[16004] = 8;
  EXPECT_EQ(wrapper.DeviceName(), "KeloFPU Fiscal Printer Unit");
  EXPECT_EQ(LastLine(), "DeviceName = \"KeloFPU Fiscal Printer Unit\"");
  EXPECT_FALSE(wrapper.AsyncMode());
  EXPECT_EQ(LastLine(), "AsyncMode = False");
  wrapper.ServiceObjectVersion();
  EXPECT_EQ(LastLine(), "ServiceObjectVersion = \"1011000\"");
  wrapper.CountryCode();
  EXPECT_EQ(LastLine(), "CountryCode = \"8\"");
  const size_t recorded = recorder.lines.size();
  wrapper.NumVatRates();
  EXPECT_EQ(recorder.lines.size(), recorded);  // readers record nothing

  wrapper.SetAsyncMode(true);
  EXPECT_EQ(recorder.lines.back(), "P_AsyncMode$True");
  EXPECT_EQ(LastLine(), "AsyncMode := True     -> OposSuccess(0)");
  EXPECT_EQ(fake.MethodCalls().back(), "SetPropertyNumber(16002, 1)");
  wrapper.SetPreLine("  pre  ");
  EXPECT_EQ(recorder.lines.back(), "P_PreLine$pre");
  EXPECT_EQ(LastLine(), "PreLine := \"  pre  \"     -> OposSuccess(0)");
  wrapper.SetFiscalReceiptType(7);
  EXPECT_EQ(recorder.lines.back(), "P_FiscalReceiptType$7");
}

TEST_F(WrapperTest, ReadAllPropertiesLogsEveryReadInNameOrder) {
  OpenDevice();
  fake.state->numbers[16002] = 1;
  fake.state->strings[1016008] = "pre";
  const auto rows = ReadAllProperties(wrapper);
  ASSERT_EQ(rows.size(), 119u);
  EXPECT_EQ(rows.front().name, "ActualCurrency");
  EXPECT_EQ(rows.back().name, "TrainingModeActive");
  for (size_t i = 1; i < rows.size(); ++i) {
    std::string a = rows[i - 1].name, b = rows[i].name;
    for (auto* t : {&a, &b}) {
      for (char& c : *t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    EXPECT_LT(a, b);
  }
  auto find = [&](const std::string& name) {
    return std::find_if(rows.begin(), rows.end(), [&](auto& r) { return r.name == name; })->value;
  };
  EXPECT_EQ(find("AsyncMode"), "True");
  EXPECT_EQ(find("PreLine"), "pre");
  EXPECT_EQ(find("State"), "2");
  EXPECT_EQ(Lines().size(), 119u);
}

TEST_F(WrapperTest, EventTextsAndErrorEventAnswer) {
  SilentMessageBoxes boxes;
  int32_t response = 0;
  HandleErrorEvent(log, boxes, 114, 201, response);
  EXPECT_EQ(response, 12);
  EXPECT_EQ(boxes.shown.back(), "OposErrorEvent(114 OposEExtended, 201 OposEfptrCoverOpen)");
  EXPECT_EQ(LastLine(), "ErrorEvent(114 OposEExtended, 201 OposEfptrCoverOpen)  Resp = 12");
  EXPECT_EQ(StatusUpdateLogText(11), "StatusUpdateEvent(PtrSueCoverOpen)");
  EXPECT_EQ(StatusUpdateLogText(26), "StatusUpdateEvent(PtrSueRecPaperok)");
  EXPECT_EQ(StatusUpdateLogText(1001), "StatusUpdateEvent(PtrSueIdle)");
  EXPECT_EQ(StatusUpdateLogText(0), "StatusUpdateEvent(0)");
  EXPECT_EQ(StatusUpdateLogText(13), std::nullopt);
  EXPECT_EQ(OutputCompleteLogText(7), "OutputCompleteEvent(7)");

  InstallEventLogging(*fake.printer, log, boxes);
  OpenDevice();
  fake.state->RaiseStatusUpdate(24);
  EXPECT_EQ(LastLine(), "StatusUpdateEvent(PtrSueRecEmpty)");
  EXPECT_EQ(fake.state->RaiseError(111, 0, 2, 11), 12);  // the box answered Cancel
}

TEST_F(WrapperTest, SessionCommandsAndUpdateStatus) {
  SilentMessageBoxes boxes;
  DeviceSession session(wrapper, boxes, "KeloFPU");
  int started = 0;
  session.SetHooks({[&] { ++started; }, nullptr, nullptr, nullptr});
  fake.state->numbers[16020] = 1;
  EXPECT_EQ(session.OpenClaimEnable(), 0);
  EXPECT_EQ(started, 1);
  auto calls = fake.MethodCalls();
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ(calls[0], "OpenService(FiscalPrinter, KeloFPU, <dispatch>)");
  EXPECT_EQ(calls[1], "SetPropertyNumber(4, 0)");  // FreezeEvents := False after Open
  EXPECT_EQ(calls[2], "ClaimDevice(2000)");
  EXPECT_EQ(calls[3], "SetPropertyNumber(3, 1)");
  EXPECT_TRUE(boxes.shown.empty());

  fake.state->next_result = 106;
  fake.state->next_error = "Illegal";
  session.ResetPrinter();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0], "ERRORS: OposEIllegal(106)  (0)  Illegal");
  const StatusTexts t = session.RefreshStatus();
  EXPECT_EQ(t.opos_state, "OPOS_S_IDLE   (2)");
  EXPECT_EQ(t.fp_state, "FPTR_PS_MONITOR   (1)");
  EXPECT_EQ(LastLine(), "State = 2");  // State is read through the wrapper

  DeviceSession stranger(wrapper, boxes, "Other");
  EXPECT_EQ(stranger.Open(), 111);  // a name the Open button does not accept: nothing happens
}

class AutoTestsTest : public WrapperTest {
 protected:
  AutoTestsTest() : ctx{wrapper, boxes, nullptr, nullptr, "/opt/kelo", {}} {}
  SilentMessageBoxes boxes;
  AutoTestContext ctx;
};

TEST_F(AutoTestsTest, FullFiscalTicketEndsTheReceiptOrVoidsIt) {
  OpenDevice();
  EXPECT_EQ(FullFiscalTicket(ctx), 0);
  auto calls = fake.MethodCalls();
  EXPECT_EQ(calls.front(), "beginFiscalReceipt(False)");
  EXPECT_EQ(calls.back(), "endFiscalReceipt(False)");
  EXPECT_NE(std::find(calls.begin(), calls.end(), "printRecRefund(REFUND ITEM 10, 40000, 5)"),
            calls.end());
  EXPECT_NE(
      std::find(calls.begin(), calls.end(), "printRecRefundVoid(REFUND VOID ITEM 12, 50000, 3)"),
      calls.end());
  EXPECT_NE(std::find(calls.begin(), calls.end(), "printRecTotal(340000, 200000, 9)"), calls.end());
  EXPECT_NE(std::find(calls.begin(), calls.end(), "printRecMessage(\x1b|6CFramed text)"),
            calls.end());

  // Only the last call decides the ending.
  fake.state->results_by_method["printRecMessage"] = 106;
  EXPECT_EQ(FullFiscalTicket(ctx), 0);
  EXPECT_EQ(fake.MethodCalls().back(), "printRecVoid(PrintRecTotal FAILURE)");
}

TEST_F(AutoTestsTest, FullCreditNoteLeavesOutRefundsAndRestoresTheReceiptType) {
  OpenDevice();
  FullCreditNote(ctx);
  auto calls = fake.MethodCalls();
  EXPECT_EQ(calls[0], "SetPropertyString(1016004, Additional Text)");
  EXPECT_EQ(calls[1], "SetPropertyNumber(16034, 7)");
  EXPECT_EQ(calls.back(), "SetPropertyNumber(16034, 4)");
  for (const auto& c : calls) {
    EXPECT_EQ(c.find("printRecRefund"), std::string::npos) << c;
    EXPECT_EQ(c.find("printRecNotPaid"), std::string::npos) << c;
  }
  EXPECT_NE(std::find(calls.begin(), calls.end(), "printRecItem(TEST ITEM 10, 70000, 0, 3, 0, )"),
            calls.end());
  EXPECT_NE(std::find(calls.begin(), calls.end(), "printRecSubtotal(430000)"), calls.end());
  EXPECT_NE(std::find(calls.begin(), calls.end(), "printRecTotal(380000, 300000, 9)"), calls.end());
}

TEST_F(AutoTestsTest, NonFiscalTicketsPrintTheElevenLines) {
  OpenDevice();
  const auto lines = NonFiscalTestLines();
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[5], "\x1b|14R14007817504598");
  EXPECT_EQ(lines[7], "\x1b|7R2641223");
  EXPECT_EQ(lines[10], "\x1b|1B");
  int updates = 0;
  ctx.update_status = [&] { ++updates; };
  EXPECT_EQ(SimpleNonFiscalTicket(ctx), 0);
  EXPECT_EQ(updates, 13);
  auto calls = fake.MethodCalls();
  EXPECT_EQ(calls.size(), 13u);
  EXPECT_EQ(calls[1], "printNormal(3, THE QUICK BROWN FOX JUMPS OVER\r\nTHE LAZY DOG'S BACK)");

  // An open day is closed first; a logo load that fails all the same never leads to a
  // second Z report (whether the first one went through or not).
  const std::string load = "DirectIO(1100, 1|0|0|0|0|0|0|0|0|0|0, /opt/kelo/nftest.bmp)";
  fake.state->numbers[16006] = 1;  // DayOpened
  fake.state->next_result = 0;
  fake.state->results_by_method["DirectIO"] = 109;
  for (int32_t z_result : {0, 111}) {
    fake.state->results_by_method["printZReport"] = z_result;
    FullNonFiscalTicket(ctx);
    calls = fake.MethodCalls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0], "printZReport()");
    EXPECT_EQ(calls[1], load);
    EXPECT_EQ(calls[2], "beginNonFiscal()");
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "printZReport()"), 1);
  }
  // A closed day: a failed load (no picture file) prints no Z report at all.
  fake.state->numbers[16006] = 0;
  FullNonFiscalTicket(ctx);
  calls = fake.MethodCalls();
  EXPECT_EQ(calls[0], load);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "printZReport()"), 0);
}

TEST_F(AutoTestsTest, EnduranceReceiptComparesTheDeviceTotal) {
  OpenDevice();
  int pumps = 0;
  ctx.pump = [&] { ++pumps; };
  // The fake answers GetData with "2500": 25.00, matching 25 lines.
  EXPECT_EQ(EnduranceReceipt(ctx, 25, false), 0);
  EXPECT_EQ(pumps, 25);
  auto calls = fake.MethodCalls();
  EXPECT_EQ(calls[calls.size() - 2], "printRecTotal(250000, 250000, CENTO!!)");
  EXPECT_EQ(calls.back(), "endFiscalReceipt(False)");

  EXPECT_EQ(EnduranceReceipt(ctx, 3, false), 0);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0], "TOTAL FAILURE ... FPU SAYS:2500");
  EXPECT_EQ(fake.MethodCalls().back(), "printRecVoid(FPU TOTAL WRONG)");

  // Asynchronous: waits while State reads busy.
  fake.state->numbers[9] = 3;
  int reads = 0;
  ctx.pump = [&] {
    if (++reads == 7000) fake.state->numbers[9] = 2;
  };
  EXPECT_EQ(EnduranceReceipt(ctx, 25, true), 0);
  EXPECT_EQ(reads, 25 + 10000);  // two rounds of 5000 pumps
}

}  // namespace
}  // namespace kelo::testapp
