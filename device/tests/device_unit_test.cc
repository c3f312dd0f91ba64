// The execution layer: connect, worker thread, synchronous slot, asynchronous queue with its
// events, polling and the status model, against a scripted device.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "device/device_command.h"
#include "device/device_unit.h"
#include "opos/opos_constants.h"
#include "testing/device_fakes.h"
#include "testing/wait.h"

namespace kelo::device {
namespace {

using namespace opos;
using testing::FakeDevice;
using testing::FakeHost;
using testing::HostEvent;
using testing::YieldingClock;

const std::string kItem =
    "A\x1f"
    "100\x1f"
    "1000\x1f"
    "1\x1f"
    "0\x1f\x1f";

class DeviceUnitTest : public ::testing::Test {
 protected:
  DeviceUnitTest() {
    auto device = std::make_unique<FakeDevice>();
    device_ = device.get();
    unit_ = std::make_unique<DeviceUnit>(host_, std::move(device), clock_);
    unit_->SetWaitSlice(1);
    unit_->SetPollingTimes(0, 0, 0);  // no periodic polls unless a test asks
  }
  ~DeviceUnitTest() override {
    if (unit_) {
      device_->Release();
      unit_.reset();
    }
  }

  // The printer reports an open receipt, so polls and the state read before an error event
  // keep PrinterState in the receipt.
  void ConnectInReceipt() {
    device_->SetFlags(0x01 | 0x02, 0);
    ASSERT_TRUE(unit_->Connect(OPOS_FOREVER).ok());
    host_.SetNumberProperty(PIDX_PrinterState, FPTR_PS_FISCAL_RECEIPT);
  }

  YieldingClock clock_;
  FakeHost host_;
  FakeDevice* device_;
  std::unique_ptr<DeviceUnit> unit_;
};

TEST_F(DeviceUnitTest, ConnectsToAnAnsweringPrinter) {
  EXPECT_TRUE(unit_->Connect(3000).ok());
  EXPECT_TRUE(unit_->connected());
  EXPECT_TRUE(device_->opened());
  // Nothing needs attention, so the device flag is cleared.
  EXPECT_EQ(device_->Log(), std::vector<std::string>{"SetDeviceFlag|0"});
  unit_->Disconnect();
  EXPECT_FALSE(unit_->connected());
  EXPECT_FALSE(device_->opened());
}

TEST_F(DeviceUnitTest, DeviceFlagUntouchedWhenThePrinterNeedsAttention) {
  device_->SetLastStatus(0, 1u << 10);  // receipt paper out: word 26
  EXPECT_TRUE(unit_->Connect(3000).ok());
  EXPECT_TRUE(device_->Log().empty());
}

TEST_F(DeviceUnitTest, SilentPrinterIsNotFoundAndLeavesNoWorker) {
  device_->SetOnline(false);
  const uint32_t start = clock_.TickMs();
  EXPECT_EQ(unit_->Connect(3000), (DeviceResult{107, 0, "Device not found"}));
  EXPECT_GE(clock_.TickMs() - start, 3000u);
  EXPECT_FALSE(unit_->connected());
  EXPECT_FALSE(device_->opened());  // the worker closed the device on its way out
  std::string out;
  EXPECT_EQ(unit_->RunDeviceOpSync(&DeviceOperations::DoPrintXReport, "", out),
            (DeviceResult{111, 0, kNoWorkerText}));
  EXPECT_EQ(unit_->QueueDeviceOp(&DeviceOperations::DoPrintXReport, "", 1).code, 111);
}

TEST_F(DeviceUnitTest, ModelChecks) {
  device_->SetModel("", false);
  EXPECT_EQ(unit_->Connect(OPOS_FOREVER), (DeviceResult{107, 0, "Unsupported or older device"}));
  EXPECT_FALSE(unit_->connected());
  device_->SetModel("Vantrix EJ");
  EXPECT_EQ(unit_->Connect(OPOS_FOREVER), (DeviceResult{107, 0, "Unsupported device"}));
  device_->SetModel("vantrix EJ");
  EXPECT_TRUE(unit_->Connect(OPOS_FOREVER).ok());
}

TEST_F(DeviceUnitTest, SyncCallRunsOnTheWorkerAndReturnsItsResult) {
  ConnectInReceipt();
  std::string out;
  EXPECT_TRUE(unit_->RunDeviceOpSync(&DeviceOperations::DoPrintRecItem, kItem, out, 1).ok());
  EXPECT_NE(device_->last_thread(), std::this_thread::get_id());
  device_->FailOnce("SellItem", 104);
  EXPECT_EQ(
      unit_->RunDeviceOpSync(&DeviceOperations::DoPrintRecItem, kItem, out, 2),
      (DeviceResult{106, 0, "The printer refused the command in its present state (reply 83h)"}));
  // A failing synchronous call raises no error event.
  EXPECT_TRUE(host_.EventsOf('E').empty());
  host_.SetNumberProperty(PIDX_PrinterState, FPTR_PS_MONITOR);
  device_->SetVatRate(1, 2200);
  EXPECT_TRUE(unit_->RunDeviceOpSync(&DeviceOperations::DoGetVatEntry, "1\x1f", out).ok());
  EXPECT_EQ(out, "2200\x1f");
}

TEST_F(DeviceUnitTest, FirstStatusUpdatesReportEverySensorOnceInOrder) {
  ASSERT_TRUE(unit_->Connect(OPOS_FOREVER).ok());
  std::string out;
  unit_->RunDeviceOpSync(&DeviceOperations::DoPrintXReport, "", out);
  unit_->RunDeviceOpSync(&DeviceOperations::DoPrintXReport, "", out);
  EXPECT_EQ(host_.EventsOf('S'), (std::vector<int32_t>{12, 23, 61, 26}));
  // Paper runs out: only the receipt sensor changes.
  device_->SetLastStatus(0, (1u << 10) | (1u << 11));
  unit_->RunDeviceOpSync(&DeviceOperations::DoPrintXReport, "", out);
  EXPECT_EQ(host_.EventsOf('S'), (std::vector<int32_t>{12, 23, 61, 26, 24}));
  EXPECT_EQ(host_.GetNumberProperty(PIDX_RecEmpty), 1);
  EXPECT_EQ(host_.GetNumberProperty(PIDX_RecNearEnd), 0);
  // A new connection reports all four again.
  unit_->Disconnect();
  device_->SetLastStatus(0, 1u << 0);
  host_.ClearEvents();
  ASSERT_TRUE(unit_->Connect(OPOS_FOREVER).ok());
  unit_->RunDeviceOpSync(&DeviceOperations::DoPrintXReport, "", out);
  EXPECT_EQ(host_.EventsOf('S'), (std::vector<int32_t>{11, 23, 61, 26}));
  EXPECT_EQ(host_.GetNumberProperty(PIDX_CoverOpen), 1);
}

TEST_F(DeviceUnitTest, AsyncOutputCompletesInOrderAndReturnsToIdle) {
  ConnectInReceipt();
  host_.SetNumberProperty(PIDX_AsyncMode, 1);
  std::string out;
  for (int id = 1; id <= 3; ++id) {
    EXPECT_TRUE(unit_->RunDeviceOp(&DeviceOperations::DoPrintRecItem, kItem, out, id).ok());
  }
  ASSERT_TRUE(host_.WaitEvents('O', 3));
  EXPECT_EQ(host_.EventsOf('O'), (std::vector<int32_t>{1, 2, 3}));
  for (int i = 0; i < 1000 && host_.GetState() != OPOS_S_IDLE; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(host_.GetState(), OPOS_S_IDLE);
  EXPECT_TRUE(unit_->QueueEmpty());
}

TEST_F(DeviceUnitTest, SyncCallWhileOutputIsQueuedIsBusy) {
  ConnectInReceipt();
  device_->Hold("SellItem");
  ASSERT_TRUE(unit_->QueueDeviceOp(&DeviceOperations::DoPrintRecItem, kItem, 1).ok());
  ASSERT_TRUE(device_->WaitHeld("SellItem"));
  EXPECT_EQ(host_.GetState(), OPOS_S_BUSY);
  std::string out;
  EXPECT_EQ(unit_->RunDeviceOpSync(&DeviceOperations::DoBeginFiscalReceipt, "0\x1f", out),
            (DeviceResult{113, 0, "Asynchronous output is in progress"}));
  device_->Release();
  ASSERT_TRUE(host_.WaitEvents('O', 1));
}

TEST_F(DeviceUnitTest, StateIsBusyFromTheMomentOutputIsQueuedUntilNothingIsLeft) {
  ConnectInReceipt();
  host_.SetNumberProperty(PIDX_FlagWhenIdle, 1);
  // The worker is kept inside a synchronous report, so it has not looked at the queue yet.
  device_->Hold("PrintDailyReport");
  std::thread report([this] {
    std::string out;
    unit_->RunDeviceOpSync(&DeviceOperations::DoPrintXReport, "", out);
  });
  ASSERT_TRUE(device_->WaitHeld("PrintDailyReport"));
  ASSERT_TRUE(unit_->QueueDeviceOp(&DeviceOperations::DoPrintRecItem, kItem, 1).ok());
  EXPECT_EQ(host_.GetState(), OPOS_S_BUSY);
  // Cleared while nothing runs: idle at once, with the one idle event.
  unit_->ClearQueue();
  EXPECT_EQ(host_.GetState(), OPOS_S_IDLE);
  EXPECT_EQ(host_.GetNumberProperty(PIDX_FlagWhenIdle), 0);
  ASSERT_TRUE(unit_->QueueDeviceOp(&DeviceOperations::DoPrintRecItem, kItem, 2).ok());
  EXPECT_EQ(host_.GetState(), OPOS_S_BUSY);
  device_->Release();
  report.join();
  ASSERT_TRUE(host_.WaitEvents('O', 1));
  for (int i = 0; i < 1000 && host_.GetState() != OPOS_S_IDLE; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(host_.GetState(), OPOS_S_IDLE);
  auto updates = host_.EventsOf('S');
  EXPECT_EQ(std::count(updates.begin(), updates.end(), FPTR_SUE_IDLE), 1);
}

TEST_F(DeviceUnitTest, FlagWhenIdleGivesExactlyOneIdleEvent) {
  ConnectInReceipt();
  host_.SetNumberProperty(PIDX_FlagWhenIdle, 1);
  device_->Hold("SellItem");
  for (int id = 1; id <= 3; ++id) {
    unit_->QueueDeviceOp(&DeviceOperations::DoPrintRecItem, kItem, id);
  }
  ASSERT_TRUE(device_->WaitHeld("SellItem"));
  device_->Release();
  ASSERT_TRUE(host_.WaitEvents('O', 3));
  ASSERT_TRUE(host_.WaitEvents('S', 5));
  // The flag is cleared right after the event is raised.
  for (int i = 0; i < 1000 && host_.GetNumberProperty(PIDX_FlagWhenIdle) != 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  auto updates = host_.EventsOf('S');
  EXPECT_EQ(std::count(updates.begin(), updates.end(), FPTR_SUE_IDLE), 1);
  EXPECT_EQ(updates.back(), FPTR_SUE_IDLE);
  EXPECT_EQ(host_.GetNumberProperty(PIDX_FlagWhenIdle), 0);
}

TEST_F(DeviceUnitTest, FailedQueuedCommandRaisesErrorAndRetryRunsItAgain) {
  ConnectInReceipt();
  device_->Hold("SellItem");
  device_->FailOnce("SellItem", 104);
  host_.QueueErrorResponse(OPOS_ER_RETRY);
  unit_->QueueDeviceOp(&DeviceOperations::DoPrintRecItem, kItem, 7);
  unit_->QueueDeviceOp(&DeviceOperations::DoPrintRecItem, kItem, 8);
  ASSERT_TRUE(device_->WaitHeld("SellItem"));
  device_->Release();
  ASSERT_TRUE(host_.WaitEvents('O', 2));
  EXPECT_EQ(host_.EventsOf('O'), (std::vector<int32_t>{7, 8}));
  auto events = host_.Events();
  auto error = std::find_if(events.begin(), events.end(), [](auto& e) { return e.kind == 'E'; });
  ASSERT_NE(error, events.end());
  EXPECT_EQ(*error, (HostEvent{'E', 106, 0, OPOS_EL_OUTPUT}));
  EXPECT_EQ(host_.state_at_error(), OPOS_S_ERROR);
  EXPECT_EQ(host_.GetNumberProperty(PIDX_ErrorOutID), 7);
  EXPECT_EQ(host_.GetNumberProperty(PIDX_ErrorStation), FPTR_S_RECEIPT);
  EXPECT_EQ(host_.GetNumberProperty(PIDX_ErrorLevel), FPTR_EL_RECOVERABLE);
  EXPECT_EQ(device_->Log().size(), 4u);  // flag, failed sale, retried sale, next sale
}

TEST_F(DeviceUnitTest, ClearResponseDiscardsTheRestAndContinueGoesOn) {
  ConnectInReceipt();
  device_->Hold("SellItem");
  device_->FailOnce("SellItem", 104);
  device_->SetLastStatus(131, 0);  // a printer error word makes the error level blocked
  host_.QueueErrorResponse(OPOS_ER_CLEAR);
  for (int id = 1; id <= 3; ++id)
    unit_->QueueDeviceOp(&DeviceOperations::DoPrintRecItem, kItem, id);
  ASSERT_TRUE(device_->WaitHeld("SellItem"));
  device_->Release();
  ASSERT_TRUE(host_.WaitEvents('E', 1));
  for (int i = 0; i < 500 && !unit_->QueueEmpty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  EXPECT_TRUE(unit_->QueueEmpty());
  EXPECT_EQ(host_.GetNumberProperty(PIDX_ErrorLevel), FPTR_EL_BLOCKED);
  EXPECT_TRUE(host_.EventsOf('O').empty());

  // Any other answer continues with the next command.
  device_->SetLastStatus(0, 0);
  host_.SetNumberProperty(PIDX_PrinterState, FPTR_PS_FISCAL_RECEIPT);
  host_.ClearEvents();
  device_->Hold("SellItem");
  device_->FailOnce("SellItem", 104);
  host_.QueueErrorResponse(13);
  for (int id = 4; id <= 5; ++id)
    unit_->QueueDeviceOp(&DeviceOperations::DoPrintRecItem, kItem, id);
  ASSERT_TRUE(device_->WaitHeld("SellItem"));
  device_->Release();
  ASSERT_TRUE(host_.WaitEvents('O', 1));
  EXPECT_EQ(host_.EventsOf('O'), std::vector<int32_t>{5});
  EXPECT_EQ(host_.EventsOf('E'), std::vector<int32_t>{106});
}

TEST_F(DeviceUnitTest, ClearOutputWhileACommandRunsKeepsLaterWork) {
  ConnectInReceipt();
  device_->Hold("SellItem");
  unit_->QueueDeviceOp(&DeviceOperations::DoPrintRecItem, kItem, 1);
  unit_->QueueDeviceOp(&DeviceOperations::DoPrintRecItem, kItem, 2);
  ASSERT_TRUE(device_->WaitHeld("SellItem"));
  unit_->ClearQueue();
  unit_->QueueDeviceOp(&DeviceOperations::DoPrintRecItem, kItem, 3);
  device_->Release();
  ASSERT_TRUE(host_.WaitEvents('O', 2));
  EXPECT_EQ(host_.EventsOf('O'), (std::vector<int32_t>{1, 3}));
}

TEST_F(DeviceUnitTest, PollingPeriodsFollowTheLastWake) {
  ASSERT_TRUE(unit_->Connect(OPOS_FOREVER).ok());
  // Waits until the worker has seen what came before and waits again (see idle_waits).
  auto settle = [this] {
    const uint64_t seen = unit_->idle_waits();
    EXPECT_TRUE(kelo::testing::WaitFor([&] { return unit_->idle_waits() >= seen + 2; }));
  };
  // Moves virtual time once the worker waits, and counts the polls that causes.
  auto probes_after = [&](uint32_t advance_ms) {
    settle();
    const int before = device_->probes();
    clock_.Advance(advance_ms);
    settle();
    return device_->probes() - before;
  };
  // All periods 0: the worker never polls.
  EXPECT_EQ(probes_after(100000), 0);
  unit_->SetPollingTimes(1000, 100, 0);
  EXPECT_EQ(probes_after(999), 0);
  EXPECT_GE(probes_after(1), 1);
  // After a synchronous command the short period applies once.
  std::string out;
  unit_->RunDeviceOpSync(&DeviceOperations::DoPrintXReport, "", out);
  EXPECT_GE(probes_after(100), 1);
  EXPECT_EQ(probes_after(500), 0);
  EXPECT_GE(probes_after(500), 1);
}

TEST_F(DeviceUnitTest, PollsTrackThePrinterAndAnOfflinePrinterLocks) {
  ASSERT_TRUE(unit_->Connect(OPOS_FOREVER).ok());
  device_->SetFlags(0x01 | 0x02 | 0x08 | 0x10, 6);
  EXPECT_TRUE(unit_->ReadPrinterState().ok());
  EXPECT_EQ(host_.GetNumberProperty(PIDX_PrinterState), FPTR_PS_FISCAL_RECEIPT_TOTAL);
  EXPECT_EQ(host_.GetNumberProperty(PIDX_DayOpened), 1);
  EXPECT_EQ(host_.GetNumberProperty(PIDX_TrainingModeActive), 1);
  device_->SetFlags(0x01 | 0x04, 0);
  unit_->ReadPrinterState();
  EXPECT_EQ(host_.GetNumberProperty(PIDX_PrinterState), FPTR_PS_NONFISCAL);
  device_->SetFlags(0x01 | 0x08, 9);
  unit_->ReadPrinterState();
  EXPECT_EQ(host_.GetNumberProperty(PIDX_PrinterState), FPTR_PS_FISCAL_RECEIPT_ENDING);
  device_->SetLastStatus(135, 0);  // "no error" code
  unit_->ReadPrinterState();
  EXPECT_EQ(host_.GetNumberProperty(PIDX_PrinterState), FPTR_PS_FISCAL_RECEIPT_ENDING);
  device_->SetLastStatus(133, 0);
  unit_->ReadPrinterState();
  EXPECT_EQ(host_.GetNumberProperty(PIDX_PrinterState), FPTR_PS_LOCKED);

  device_->SetLastStatus(0, 0);
  device_->SetOnline(false);
  unit_->SetPollingTimes(1000, 0, 0);
  clock_.Advance(1000);
  for (int i = 0; i < 500 && host_.GetNumberProperty(PIDX_PrinterState) != FPTR_PS_LOCKED; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_EQ(host_.GetNumberProperty(PIDX_PrinterState), FPTR_PS_LOCKED);
  EXPECT_EQ(host_.GetNumberProperty(PIDX_DayOpened), 1);
  EXPECT_EQ(host_.GetNumberProperty(PIDX_TrainingModeActive), 0);
}

TEST_F(DeviceUnitTest, VatTableReadStopsAtTheFirstFailure) {
  ASSERT_TRUE(unit_->Connect(OPOS_FOREVER).ok());
  device_->SetVatRate(1, 400);
  device_->SetVatRate(2, 1000);
  EXPECT_TRUE(unit_->ReadVatTable().ok());
  EXPECT_EQ(host_.vat_table().size(), 4u);
  EXPECT_EQ(host_.vat_table()[2], 1000);
  device_->SetVatRate(1, 500);
  device_->Fail("ReadVatRate", 105);
  EXPECT_EQ(unit_->ReadVatTable().code, 106);
  EXPECT_EQ(host_.vat_table()[1], 400);
  ConfigRecord rec;
  EXPECT_TRUE(unit_->ReadConfiguration(&rec));
  EXPECT_EQ(rec.num_vat_rates, 4);
  device_->Fail("ReadConfiguration", 106);
  EXPECT_FALSE(unit_->ReadConfiguration(&rec));
}

TEST_F(DeviceUnitTest, DisconnectWaitIsBoundedWhenTheWorkerIsStuck) {
  ConnectInReceipt();
  device_->Hold("SellItem");
  unit_->QueueDeviceOp(&DeviceOperations::DoPrintRecItem, kItem, 1);
  ASSERT_TRUE(device_->WaitHeld("SellItem"));
  std::atomic<bool> done{false};
  std::thread advancer([&] {
    while (!done) {
      clock_.Advance(1000);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  unit_->Disconnect();  // returns after 10000 ms of the unit's clock
  done = true;
  advancer.join();
  auto trace = host_.TraceLines();
  ASSERT_EQ(trace.size(), 1u);
  EXPECT_NE(trace[0].find("10000 ms"), std::string::npos);
  // Calls cannot be served any more and say so instead of waiting.
  EXPECT_EQ(unit_->QueueDeviceOp(&DeviceOperations::DoPrintRecItem, kItem, 2).code, 111);
  unit_->ClearQueue();
  std::string out;
  EXPECT_EQ(unit_->RunDeviceOpSync(&DeviceOperations::DoPrintXReport, "", out).code, 111);
  device_->Release();
  unit_.reset();  // joins the worker once its command ends
}

TEST_F(DeviceUnitTest, SyncCallersAreReleasedWhenTheWorkerStops) {
  ConnectInReceipt();
  device_->Hold("Total");
  std::atomic<bool> finished{false};
  DeviceResult result;
  std::thread caller([&] {
    std::string out;
    result = unit_->RunDeviceOpSync(&DeviceOperations::DoPrintRecTotal,
                                    "10\x1f"
                                    "0\x1f\x1f",
                                    out);
    finished = true;
  });
  ASSERT_TRUE(device_->WaitHeld("Total"));
  // A second synchronous caller queues behind the first on the slot, then finds no worker.
  std::thread second([&] {
    std::string out;
    EXPECT_EQ(unit_->RunDeviceOpSync(&DeviceOperations::DoPrintXReport, "", out).code, 111);
  });
  // The running command ends only once the stop has been asked for.
  std::thread releaser([&] {
    EXPECT_TRUE(kelo::testing::WaitFor([&] { return !unit_->connected(); }));
    device_->Release();
  });
  unit_->Disconnect();
  caller.join();
  second.join();
  releaser.join();
  EXPECT_TRUE(finished);
  EXPECT_TRUE(result.ok());  // the running command finished normally
}

}  // namespace
}  // namespace kelo::device

namespace kelo::device {
namespace {

TEST(DeviceUnitWithoutPort, ConnectFindsNoDevice) {
  testing::YieldingClock clock;
  testing::FakeHost host;
  DeviceUnit unit(host, clock);  // the serial-line device, but no port attached
  unit.SetWaitSlice(1);
  EXPECT_EQ(unit.Connect(200), (DeviceResult{107, 0, "Device not found"}));
  EXPECT_FALSE(unit.connected());
}

}  // namespace
}  // namespace kelo::device
