// Recovery without a restart of the point-of-sale program, on the device layer over a real
// pseudo-terminal: the printer program killed mid-receipt and started again, the USB adapter
// pulled and plugged in again (the line's device node goes away and comes back) for ten
// seconds, and the cable behind the adapter cut for thirty seconds under an asynchronous
// queue. In each the unit stays claimed, calls fail at once while the port is gone, the same
// unit finishes the receipt once the printer is back, and every sale is in fiscal memory
// exactly once. Time runs ten times faster than real time (a ScaledClock), so the scenarios
// take seconds; the times printed are on that clock.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "device/device_unit.h"
#include "link/serial_port.h"
#include "simulator/simulator.h"
#include "testing/scaled_clock.h"
#include "tests/faults/fault_fixture.h"

namespace kelo::faults {
namespace {

using device::DeviceOperations;
using device::DeviceResult;
using namespace kelo::opos;

constexpr uint32_t kPollingMs = 1000;  // PollingTime on the unit's clock

// Records what the fault host drops: status updates and trace lines.
class RecordingHost : public FaultHost {
 public:
  void RaiseStatusUpdate(int32_t value) override {
    std::lock_guard<std::mutex> l(mu_);
    statuses_.push_back(value);
  }
  void Trace(int, const std::string& text) override {
    std::lock_guard<std::mutex> l(mu_);
    trace_ += text;
  }
  std::vector<int32_t> statuses() {
    std::lock_guard<std::mutex> l(mu_);
    return statuses_;
  }
  std::string trace() {
    std::lock_guard<std::mutex> l(mu_);
    return trace_;
  }

 private:
  std::mutex mu_;  // guards both below (worker and test thread)
  std::vector<int32_t> statuses_;
  std::string trace_;
};

class Rig {
 public:
  explicit Rig(const std::string& name) {
    base_ = "/tmp/kelofpu-recovery-" + std::to_string(getpid()) + "-" + name;
    std::remove((base_ + ".state").c_str());
  }
  ~Rig() {
    unit_.Disconnect();
    port_.Close();
    if (sim_) sim_->Stop();
    std::remove((base_ + ".state").c_str());
  }

  // A printer program on the link path; its fiscal memory survives in the state file, an
  // open receipt does not (the program is started afresh, as after a kill).
  void StartPrinter() {
    sim::SimulatorOptions o;
    o.ticks = &clock_;
    o.state_file = base_ + ".state";
    sim_ = std::make_unique<sim::Simulator>(o);
    std::string error;
    ASSERT_TRUE(sim_->Start(&error)) << error;
    ASSERT_TRUE(sim_->LinkAt(link(), &error)) << error;
  }
  void KillPrinter() { sim_->Stop(); }
  // The same printer on a new device node (a USB adapter plugged in again).
  void PlugIn() {
    std::string error;
    ASSERT_TRUE(sim_->Start(&error)) << error;
    ASSERT_TRUE(sim_->LinkAt(link(), &error)) << error;
  }

  void Claim() {
    ASSERT_EQ(port_.Open(link()), link::kPortOk);
    port_.SetLine(38400, 8, link::kParityNone, link::kStopBitsOne);
    unit_.SetWaitSlice(5);
    unit_.SetPollingTimes(kPollingMs, 100, 100);
    unit_.AttachPort(&port_);
    ASSERT_TRUE(unit_.Connect(3000).ok());
    device::ConfigRecord rec;
    ASSERT_TRUE(unit_.ReadConfiguration(&rec));
    host_.SetNumberProperty(opos::PIDX_NumVatRates, rec.num_vat_rates);
    host_.SetNumberProperty(opos::PIDX_MessageLength, rec.message_length);
    unit_.ReadPrinterState();
  }

  DeviceResult Sync(device::DeviceOp op, const std::string& input) {
    std::string out;
    return unit_.RunDeviceOpSync(op, input, out, ++output_id_);
  }
  int32_t Queue(device::DeviceOp op, const std::string& input) {
    std::string out;
    const int32_t id = ++output_id_;
    EXPECT_TRUE(unit_.RunDeviceOp(op, input, out, id).ok());
    return id;
  }
  DeviceResult Sell(const std::string& description, int64_t price) {
    return Sync(&DeviceOperations::DoPrintRecItem,
                Fields({description, std::to_string(price), "1000", "1", "0", ""}));
  }
  bool Finish(int64_t total) {
    const std::string t = std::to_string(total);
    return Sync(&DeviceOperations::DoPrintRecTotal, Fields({t, t, "0"})).ok() &&
           Sync(&DeviceOperations::DoEndFiscalReceipt, Fields({"0"})).ok();
  }
  void SetAsync(bool on) { host_.SetNumberProperty(opos::PIDX_AsyncMode, on ? 1 : 0); }
  int32_t PrinterState() { return host_.GetNumberProperty(opos::PIDX_PrinterState); }
  bool Idle() { return unit_.QueueEmpty() && host_.GetState() == opos::OPOS_S_IDLE; }
  // Time on the unit's clock until the worker has found the printer again (PrinterState
  // no longer LOCKED), in ms; fails the test after 20 s of real time.
  uint32_t TimeUntilBack() {
    const uint32_t start = clock_.TickMs();
    EXPECT_TRUE(WaitFor([&] { return PrinterState() != opos::FPTR_PS_LOCKED; }));
    return platform::TicksSince(start, clock_.TickMs());
  }
  // The four sensor updates of a first report.
  bool FreshSensorReport(size_t from) {
    const std::vector<int32_t> s = host_.statuses();
    return s.size() >= from + 4 &&
           std::vector<int32_t>(s.begin() + static_cast<std::ptrdiff_t>(from),
                                s.begin() + static_cast<std::ptrdiff_t>(from) + 4) ==
               std::vector<int32_t>{opos::FPTR_SUE_COVER_OK, opos::FPTR_SUE_JRN_PAPEROK,
                                    opos::FPTR_SUE_JRN_NOT_EMPTY, opos::FPTR_SUE_REC_PAPEROK};
  }

  std::string link() const { return base_ + ".tty"; }
  sim::Simulator& sim() { return *sim_; }
  RecordingHost& host() { return host_; }
  kelo::testing::ScaledClock& clock() { return clock_; }

 private:
  std::string base_;
  kelo::testing::ScaledClock clock_{kTimeScale};
  std::unique_ptr<sim::Simulator> sim_;
  link::SerialPort port_{link::LinuxSerialOs(), clock_};
  RecordingHost host_;
  device::DeviceUnit unit_{host_, clock_};
  int32_t output_id_ = 0;
};

// Lines of closed sales (not voided documents) in fiscal memory that start with text.
int SoldLines(sim::Simulator& sim, const std::string& text) {
  int n = 0;
  for (const sim::JournalDoc& doc : sim.Journal()) {
    if (doc.kind != sim::DocKind::kSale) continue;
    for (const std::string& line : doc.lines) n += line.compare(0, text.size(), text) == 0;
  }
  return n;
}

void Report(const char* scenario, uint32_t back_ms) {
  std::printf("[ recovery ] %s: printer found again %u ms (unit clock) after it came back\n",
              scenario, back_ms);
}

TEST(Recovery, PrinterKilledMidReceiptAndStartedAgain) {
  Rig rig("killed");
  rig.StartPrinter();
  rig.Claim();
  ASSERT_TRUE(rig.Sync(&DeviceOperations::DoBeginFiscalReceipt, Fields({"0"})).ok());
  ASSERT_TRUE(rig.Sell("ITEM-A", 250).ok());

  rig.KillPrinter();
  // While the port is gone every call fails at once: no nine seconds of time-outs.
  for (int i = 0; i < 3; ++i) {
    const uint32_t start = rig.clock().TickMs();
    EXPECT_FALSE(rig.Sell("ITEM-B", 300).ok());
    EXPECT_LT(platform::TicksSince(start, rig.clock().TickMs()), 1000u);
  }
  EXPECT_EQ(rig.PrinterState(), opos::FPTR_PS_LOCKED);
  EXPECT_NE(rig.host().trace().find("reopening"), std::string::npos);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // three seconds, unit clock

  const size_t reported = rig.host().statuses().size();
  rig.StartPrinter();
  const uint32_t back = rig.TimeUntilBack();
  Report("printer killed and restarted", back);
  EXPECT_LE(back, kPollingMs);
  // The restarted printer holds no receipt, and neither does the unit now.
  EXPECT_EQ(rig.PrinterState(), opos::FPTR_PS_MONITOR);
  EXPECT_TRUE(WaitFor([&] { return rig.FreshSensorReport(reported); }));

  // The same unit sells the receipt again, and it is in fiscal memory once.
  ASSERT_TRUE(rig.Sync(&DeviceOperations::DoBeginFiscalReceipt, Fields({"0"})).ok());
  ASSERT_TRUE(rig.Sell("ITEM-A", 250).ok());
  ASSERT_TRUE(rig.Sell("ITEM-B", 300).ok());
  ASSERT_TRUE(rig.Finish(550));
  EXPECT_EQ(SoldLines(rig.sim(), "ITEM-A"), 1);
  EXPECT_EQ(SoldLines(rig.sim(), "ITEM-B"), 1);
  EXPECT_EQ(rig.sim().DataItem(20), 1);
}

TEST(Recovery, AdapterPulledForTenSecondsUnderTheQueueAndTheRetrySucceeds) {
  Rig rig("unplug");
  rig.StartPrinter();
  rig.Claim();
  rig.SetAsync(true);
  rig.Queue(&DeviceOperations::DoBeginFiscalReceipt, Fields({"0"}));
  rig.Queue(&DeviceOperations::DoPrintRecItem, Fields({"ITEM-A", "250", "1000", "1", "0", ""}));
  ASSERT_TRUE(WaitFor([&] { return rig.host().completed().size() == 2; }));

  rig.sim().Stop();  // the adapter is pulled: the printer stays on with its receipt
  // The application answers every ErrorEvent with retry; retries wait for the port.
  for (int i = 0; i < 100; ++i) rig.host().QueueErrorResponse(opos::OPOS_ER_RETRY);
  const int32_t b =
      rig.Queue(&DeviceOperations::DoPrintRecItem, Fields({"ITEM-B", "300", "1000", "1", "0", ""}));
  ASSERT_TRUE(WaitFor([&] { return !rig.host().errors().empty(); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));  // ten seconds, unit clock
  const size_t errors_while_away = rig.host().errors().size();
  EXPECT_LE(errors_while_away, 40u) << "retries must wait for the port, not spin";

  rig.PlugIn();
  const uint32_t back = rig.TimeUntilBack();
  Report("adapter pulled for 10 s", back);
  EXPECT_LE(back, kPollingMs);
  ASSERT_TRUE(WaitFor([&] { return rig.Idle(); }));
  EXPECT_EQ(rig.host().completed().back(), b);  // the retry after the return succeeded
  EXPECT_EQ(rig.PrinterState(), opos::FPTR_PS_FISCAL_RECEIPT);  // the printer's receipt, kept
  rig.SetAsync(false);
  ASSERT_TRUE(rig.Finish(550));
  EXPECT_EQ(SoldLines(rig.sim(), "ITEM-A"), 1);
  EXPECT_EQ(SoldLines(rig.sim(), "ITEM-B"), 1);
}

TEST(Recovery, PrinterSilentForThirtySecondsMidQueue) {
  Rig rig("silent");
  rig.StartPrinter();
  rig.Claim();
  rig.SetAsync(true);
  rig.Queue(&DeviceOperations::DoBeginFiscalReceipt, Fields({"0"}));
  rig.Queue(&DeviceOperations::DoPrintRecItem, Fields({"ITEM-A", "250", "1000", "1", "0", ""}));
  ASSERT_TRUE(WaitFor([&] { return rig.host().completed().size() == 2; }));

  rig.sim().SetLineCut(true);
  for (int i = 0; i < 20; ++i) rig.host().QueueErrorResponse(opos::OPOS_ER_RETRY);
  const int32_t b =
      rig.Queue(&DeviceOperations::DoPrintRecItem, Fields({"ITEM-B", "300", "1000", "1", "0", ""}));
  const int32_t c =
      rig.Queue(&DeviceOperations::DoPrintRecItem, Fields({"ITEM-C", "350", "1000", "1", "0", ""}));
  std::this_thread::sleep_for(std::chrono::milliseconds(3000));  // thirty seconds, unit clock
  EXPECT_FALSE(rig.host().errors().empty());

  rig.sim().SetLineCut(false);
  const uint32_t start = rig.clock().TickMs();
  ASSERT_TRUE(WaitFor([&] { return rig.Idle(); }));
  const uint32_t drained = platform::TicksSince(start, rig.clock().TickMs());
  Report("printer silent for 30 s mid-queue (queue drained)", drained);
  const std::vector<int32_t> done = rig.host().completed();
  EXPECT_EQ(std::vector<int32_t>(done.end() - 2, done.end()), (std::vector<int32_t>{b, c}));
  EXPECT_EQ(rig.PrinterState(), opos::FPTR_PS_FISCAL_RECEIPT);
  rig.SetAsync(false);
  ASSERT_TRUE(rig.Finish(900));
  EXPECT_EQ(SoldLines(rig.sim(), "ITEM-A"), 1);
  EXPECT_EQ(SoldLines(rig.sim(), "ITEM-B"), 1);
  EXPECT_EQ(SoldLines(rig.sim(), "ITEM-C"), 1);
}

}  // namespace
}  // namespace kelo::faults
