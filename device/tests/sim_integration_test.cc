// DeviceUnit against the in-process printer simulator over a real pseudo-terminal: the whole
// path from device operation through the protocol engine and the serial port.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "device/device_unit.h"
#include "link/serial_port.h"
#include "opos/opos_constants.h"
#include "simulator/simulator.h"
#include "testing/device_fakes.h"
#include "testing/fields.h"
#include "testing/recording_port.h"
#include "testing/scaled_clock.h"
#include "testing/wait.h"

namespace kelo::device {
namespace {

using namespace opos;
using kelo::testing::Fields;
using kelo::testing::RecordingPort;
using kelo::testing::ScaledClock;
using kelo::testing::WaitFor;
using testing::FakeHost;

constexpr char S = '\x1f';

class SimulatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(sim_.Start(&error)) << error;
    ASSERT_EQ(port_.Open(sim_.slave_path()), 0);
    port_.SetLine(38400, 8, link::kParityNone, link::kStopBitsOne);
    port_.SetReadTimeouts(30);
    unit_.SetPollingTimes(1000, 100, 100);
    unit_.AttachPort(&port_);
  }
  void TearDown() override {
    unit_.Disconnect();
    port_.Close();
    sim_.Stop();
  }

  // What ClaimDevice does after the port is open.
  void Claim() {
    ASSERT_TRUE(unit_.Connect(3000).ok());
    ConfigRecord rec;
    ASSERT_TRUE(unit_.ReadConfiguration(&rec));
    host_.SetNumberProperty(PIDX_NumVatRates, rec.num_vat_rates);
    host_.SetNumberProperty(PIDX_MessageLength, rec.message_length);
    unit_.ReadPrinterState();
  }
  DeviceResult Sync(DeviceOp op, const std::string& input) {
    out_.clear();
    return unit_.RunDeviceOpSync(op, input, out_, ++output_id_);
  }
  int32_t PrinterState() { return host_.GetNumberProperty(PIDX_PrinterState); }

  ScaledClock clock_{10};
  sim::Simulator sim_;
  RecordingPort port_{clock_};
  FakeHost host_;
  DeviceUnit unit_{host_, clock_};
  std::string out_;
  int32_t output_id_ = 0;
};

TEST_F(SimulatorTest, ConnectsReadsTheConfigurationAndReportsTheFirstStatus) {
  Claim();
  EXPECT_TRUE(unit_.connected());
  ConfigRecord rec;
  ASSERT_TRUE(unit_.ReadConfiguration(&rec));
  EXPECT_EQ(rec.num_vat_rates, 4);
  EXPECT_EQ(rec.default_vat_index, 5);
  EXPECT_EQ(rec.message_length, 42);
  EXPECT_EQ(rec.num_header_lines, 6);
  EXPECT_EQ(rec.num_trailer_lines, 4);
  EXPECT_EQ(rec.payment_line_names.size(), 11u);
  EXPECT_EQ(PrinterState(), FPTR_PS_MONITOR);
  ASSERT_TRUE(host_.WaitEvents('S', 4));
  EXPECT_EQ(host_.EventsOf('S'), (std::vector<int32_t>{12, 23, 61, 26}));
  std::string model;
  EXPECT_TRUE(unit_.ReadModelName(&model).ok());
  EXPECT_EQ(model, "KELO FPU-80");
  EXPECT_EQ(sim_.printer([](sim::Printer& p) { return p.device_flag(); }), 0);
}

// The one test that waits for protocol time-outs.
TEST_F(SimulatorTest, SilentPrinterIsNotFoundAndNoWorkerStaysBehind) {
  sim_.SetPowered(false);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(unit_.Connect(2000), (DeviceResult{107, 0, "Device not found"}));
  EXPECT_FALSE(unit_.connected());
  EXPECT_EQ(Sync(&DeviceOperations::DoPrintXReport, "").code, 111);
  // Stopping the worker ends its probe at once instead of waiting out the probe's three
  // receive time-outs (about 9 s).
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
  // The same unit connects once the printer is back.
  sim_.SetPowered(true);
  EXPECT_TRUE(unit_.Connect(3000).ok());
}

TEST_F(SimulatorTest, SalesReceiptSynchronous) {
  Claim();
  ASSERT_TRUE(Sync(&DeviceOperations::DoBeginFiscalReceipt, Fields({"0"})).ok());
  EXPECT_EQ(PrinterState(), FPTR_PS_FISCAL_RECEIPT);
  ASSERT_TRUE(
      Sync(&DeviceOperations::DoPrintRecItem, Fields({"Espresso", "120", "1000", "0", "0", ""}))
          .ok());
  ASSERT_TRUE(
      Sync(&DeviceOperations::DoPrintRecItem, Fields({"Cake", "380", "1000", "10003", "0", ""}))
          .ok());
  EXPECT_EQ(port_.Sent(0x4D, '!'),
            (std::vector<std::string>{Fields({"Espresso", "120", "1000", "5", "0"}) + "0",
                                      Fields({"Cake", "380", "1000", "0", "3"}) + "0"}));
  ASSERT_TRUE(Sync(&DeviceOperations::DoPrintRecTotal, Fields({"500", "100", "2>Card"})).ok());
  EXPECT_EQ(PrinterState(), FPTR_PS_FISCAL_RECEIPT_TOTAL);
  ASSERT_TRUE(Sync(&DeviceOperations::DoPrintRecTotal, Fields({"500", "100", "3"})).ok());
  ASSERT_TRUE(Sync(&DeviceOperations::DoPrintRecTotal, Fields({"500", "100", "0"})).ok());
  ASSERT_TRUE(Sync(&DeviceOperations::DoPrintRecTotal, Fields({"500", "200", "Cash"})).ok());
  EXPECT_EQ(port_.Sent(0x4D, '('),
            (std::vector<std::string>{
                std::string("Card") + S + "100" + S + "2", std::string() + S + "100" + S + "3",
                std::string() + S + "100" + S + "0", std::string("Cash") + S + "200" + S + "0"}));
  EXPECT_EQ(port_.Sent(0x4D, '*'), std::vector<std::string>{"0"});
  EXPECT_EQ(PrinterState(), FPTR_PS_FISCAL_RECEIPT_ENDING);
  ASSERT_TRUE(Sync(&DeviceOperations::DoEndFiscalReceipt, Fields({"0"})).ok());
  EXPECT_EQ(PrinterState(), FPTR_PS_MONITOR);
  ASSERT_TRUE(unit_.ReadPrinterState().ok());
  EXPECT_EQ(PrinterState(), FPTR_PS_MONITOR);
  EXPECT_EQ(host_.GetNumberProperty(PIDX_DayOpened), 1);
}

TEST_F(SimulatorTest, RefundReceiptSynchronous) {
  Claim();
  ASSERT_TRUE(Sync(&DeviceOperations::DoBeginRefundReceipt, Fields({"0", "Return 17"})).ok());
  ASSERT_TRUE(Sync(&DeviceOperations::DoPrintRecRefund, Fields({"Cup", "250", "1"})).ok());
  ASSERT_TRUE(Sync(&DeviceOperations::DoPrintRecTotal, Fields({"250", "250", "Cash"})).ok());
  EXPECT_EQ(PrinterState(), FPTR_PS_FISCAL_RECEIPT_ENDING);
  ASSERT_TRUE(Sync(&DeviceOperations::DoEndRefundReceipt, "").ok());
  EXPECT_EQ(PrinterState(), FPTR_PS_MONITOR);
  EXPECT_EQ(port_.Sent(0x4E), std::vector<std::string>{"Return 17"});
  EXPECT_EQ(port_.Sent(0x4F).size(), 1u);
}

TEST_F(SimulatorTest, SalesAndRefundReceiptsAsynchronous) {
  Claim();
  host_.SetNumberProperty(PIDX_AsyncMode, 1);
  ASSERT_TRUE(Sync(&DeviceOperations::DoBeginFiscalReceipt, Fields({"0"})).ok());
  int32_t first = output_id_ + 1;
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(unit_
                    .RunDeviceOp(&DeviceOperations::DoPrintRecItem,
                                 Fields({"Item", "100", "1000", "1", "0", ""}), out_, ++output_id_)
                    .ok());
  }
  // Queued output blocks synchronous calls until it is done.
  std::string scratch;
  EXPECT_EQ(unit_.RunDeviceOpSync(&DeviceOperations::DoPrintXReport, "", scratch, 0),
            (DeviceResult{113, 0, "Asynchronous output is in progress"}));
  ASSERT_TRUE(unit_
                  .RunDeviceOp(&DeviceOperations::DoPrintRecTotal, Fields({"2000", "2000", "Cash"}),
                               out_, ++output_id_)
                  .ok());
  ASSERT_TRUE(host_.WaitEvents('O', 21));
  std::vector<int32_t> expected;
  for (int32_t id = first; id <= output_id_; ++id) expected.push_back(id);
  EXPECT_EQ(host_.EventsOf('O'), expected);
  ASSERT_TRUE(WaitFor([&] { return unit_.QueueEmpty() && host_.GetState() == OPOS_S_IDLE; }));
  ASSERT_TRUE(Sync(&DeviceOperations::DoEndFiscalReceipt, Fields({"0"})).ok());

  host_.ClearEvents();
  ASSERT_TRUE(Sync(&DeviceOperations::DoBeginRefundReceipt, Fields({"0", "Return 18"})).ok());
  first = output_id_ + 1;
  unit_.RunDeviceOp(&DeviceOperations::DoPrintRecRefund, Fields({"Cup", "250", "1"}), out_,
                    ++output_id_);
  unit_.RunDeviceOp(&DeviceOperations::DoPrintRecTotal, Fields({"250", "250", "Cash"}), out_,
                    ++output_id_);
  ASSERT_TRUE(host_.WaitEvents('O', 2));
  EXPECT_EQ(host_.EventsOf('O'), (std::vector<int32_t>{first, first + 1}));
  ASSERT_TRUE(WaitFor([&] { return unit_.QueueEmpty(); }));
  ASSERT_TRUE(Sync(&DeviceOperations::DoEndRefundReceipt, "").ok());
  EXPECT_TRUE(host_.EventsOf('E').empty());
}

TEST_F(SimulatorTest, FailingQueuedCommandThenRetryClearAndContinue) {
  Claim();
  ASSERT_TRUE(Sync(&DeviceOperations::DoBeginFiscalReceipt, Fields({"0"})).ok());
  const std::string item = Fields({"Item", "100", "1000", "1", "0", ""});
  auto queue = [&](int n) {
    for (int i = 0; i < n; ++i)
      unit_.QueueDeviceOp(&DeviceOperations::DoPrintRecItem, item, ++output_id_);
  };

  // Paper out: the sale is refused; the application refills and retries.
  sim_.printer([](sim::Printer& p) { p.SetPaperOut(true); });
  host_.OnError([&] { sim_.printer([](sim::Printer& p) { p.SetPaperOut(false); }); });
  host_.QueueErrorResponse(OPOS_ER_RETRY);
  queue(3);
  ASSERT_TRUE(host_.WaitEvents('O', 3));
  EXPECT_EQ(host_.EventsOf('E'), std::vector<int32_t>{114});  // 114/203: receipt paper out
  EXPECT_EQ(host_.GetNumberProperty(PIDX_ErrorOutID), output_id_ - 2);
  EXPECT_EQ(host_.GetNumberProperty(PIDX_ErrorLevel), FPTR_EL_RECOVERABLE);
  EXPECT_EQ(host_.state_at_error(), OPOS_S_ERROR);

  // Clear: the rest of the queue goes without events.
  host_.ClearEvents();
  host_.OnError(nullptr);
  ASSERT_TRUE(WaitFor([&] { return unit_.QueueEmpty(); }));
  sim_.printer([](sim::Printer& p) { p.SetPaperOut(true); });
  host_.QueueErrorResponse(OPOS_ER_CLEAR);
  queue(3);
  ASSERT_TRUE(host_.WaitEvents('E', 1));
  ASSERT_TRUE(WaitFor([&] { return unit_.QueueEmpty() && host_.GetState() == OPOS_S_IDLE; }));
  EXPECT_TRUE(host_.EventsOf('O').empty());
  EXPECT_EQ(host_.EventsOf('E').size(), 1u);

  // Any other answer: the next command runs.
  host_.ClearEvents();
  host_.OnError([&] { sim_.printer([](sim::Printer& p) { p.SetPaperOut(false); }); });
  host_.QueueErrorResponse(13);
  queue(2);
  ASSERT_TRUE(host_.WaitEvents('O', 1));
  EXPECT_EQ(host_.EventsOf('O'), std::vector<int32_t>{output_id_});
}

TEST_F(SimulatorTest, FlagWhenIdleRaisesOneIdleEvent) {
  Claim();
  ASSERT_TRUE(Sync(&DeviceOperations::DoBeginFiscalReceipt, Fields({"0"})).ok());
  ASSERT_TRUE(host_.WaitEvents('S', 4));
  host_.SetNumberProperty(PIDX_FlagWhenIdle, 1);
  for (int i = 0; i < 5; ++i) {
    unit_.QueueDeviceOp(&DeviceOperations::DoPrintRecItem,
                        Fields({"Item", "100", "1000", "1", "0", ""}), ++output_id_);
  }
  ASSERT_TRUE(host_.WaitEvents('O', 5));
  ASSERT_TRUE(WaitFor([&] { return host_.GetNumberProperty(PIDX_FlagWhenIdle) == 0; }));
  auto s = host_.EventsOf('S');
  EXPECT_EQ(std::count(s.begin(), s.end(), FPTR_SUE_IDLE), 1);
}

TEST_F(SimulatorTest, NormalPrintingSplitsLines) {
  Claim();
  ASSERT_TRUE(Sync(&DeviceOperations::DoBeginNonFiscal, "").ok());
  std::string text;
  for (int i = 0; i < 150; ++i) text += "Line " + std::to_string(i) + "\n";
  ASSERT_TRUE(Sync(&DeviceOperations::DoPrintNormal, Fields({"2", text})).ok());
  auto lines = port_.Sent(0x52);
  ASSERT_EQ(lines.size(), 100u);
  EXPECT_EQ(lines.back(), std::string("2") + S + "Line 99");
  port_.Clear();
  ASSERT_TRUE(Sync(&DeviceOperations::DoPrintNormal, Fields({"2", "A\r\nB"})).ok());
  EXPECT_EQ(port_.Sent(0x52),
            (std::vector<std::string>{std::string("2") + S + "A", std::string("2") + S,
                                      std::string("2") + S + "B"}));
  ASSERT_TRUE(Sync(&DeviceOperations::DoEndNonFiscal, "").ok());
  EXPECT_EQ(PrinterState(), FPTR_PS_MONITOR);
}

TEST_F(SimulatorTest, DoubleWidthHeaderLineCarriesItsEscapeSequence) {
  Claim();
  ASSERT_TRUE(Sync(&DeviceOperations::DoSetHeaderLine, Fields({"1", "Kelo Bar", "1"})).ok());
  ASSERT_TRUE(Sync(&DeviceOperations::DoSetHeaderLine, Fields({"2", "Main St", "0"})).ok());
  EXPECT_EQ(port_.Sent(0x49),
            (std::vector<std::string>{std::string("1") + S + "\x1b|2CKelo Bar" + S + "0",
                                      std::string("2") + S + "Main St" + S + "0"}));
}

TEST_F(SimulatorTest, LinkTraceShowsEveryFrame) {
  std::mutex mu;
  std::vector<std::string> lines;
  unit_.SetLinkTrace([&](std::string_view line) {
    std::lock_guard<std::mutex> l(mu);
    lines.emplace_back(line);
  });
  Claim();
  unit_.SetLinkTrace(nullptr);
  std::lock_guard<std::mutex> l(mu);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("CMD  * OPCODE:", 0), 0u);
  EXPECT_EQ(lines[1].rfind("RESP * OPCODE:", 0), 0u);
}

TEST_F(SimulatorTest, PrinterSwitchedOffLocksAndComesBack) {
  Claim();
  unit_.SetPollingTimes(200, 100, 100);
  sim_.SetPowered(false);
  ASSERT_TRUE(WaitFor([&] { return PrinterState() == FPTR_PS_LOCKED; }, std::chrono::seconds(20)));
  sim_.SetPowered(true);
  ASSERT_TRUE(WaitFor([&] { return PrinterState() == FPTR_PS_MONITOR; }, std::chrono::seconds(20)));
  EXPECT_TRUE(Sync(&DeviceOperations::DoPrintXReport, "").ok());
}

}  // namespace
}  // namespace kelo::device
