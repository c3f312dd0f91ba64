// Two threads on one unit, as a point-of-sale program with a background thread makes them:
// a close or release while a claim still waits for a silent printer, a close while enabling
// or while queued output drains, and a close from inside an event handler. Each pair must end
// promptly, report an error for the call that was cut short, and never touch a destroyed
// object (these run under the thread and address sanitizers).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "service/tests/service_test_support.h"
#include "simulator/simulator.h"

namespace kelo::service::testing {
namespace {

using Clock = std::chrono::steady_clock;

// A claim that is cut short ends within this; a silent printer alone would hold it 30 s.
constexpr auto kPrompt = std::chrono::seconds(5);

bool WaitForCloseWithin(const std::atomic<int32_t>& result, std::chrono::seconds limit) {
  const auto end = Clock::now() + limit;
  while (result.load() == -1) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

class ConcurrentCalls : public ::testing::Test {
 protected:
  void SetUp() override {
    trace::ResetForTesting();
    registry_ = dir_.File("registry.reg");
    // Nobody answers on the pseudo-terminal: a claim waits for its whole time-out.
    WriteDeviceKey(registry_,
                   {{"Port", RegValue::String(pty_.path())}, {"LogEnabled", RegValue::Dword(0)}});
    unit_ = ComPtr<CFiscalPrinterUnit>(new CFiscalPrinterUnit(registry_));
    control_ = FakeControl::Make();
    ASSERT_EQ(unit_->OpenService("FiscalPrinter", kDeviceName, control_.Get()), 0);
  }
  void TearDown() override {
    unit_.Reset();
    trace::ResetForTesting();
  }

  // Starts ClaimDevice(30000) on another thread through a plain pointer (as the control
  // object calls it) and returns once the claim waits for the printer.
  std::thread StartClaim(std::atomic<int32_t>* result) {
    CFiscalPrinterUnit* unit = unit_.Get();
    std::thread t([unit, result] { result->store(unit->ClaimDevice(30000)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return t;
  }

  TempDir dir_;
  Pty pty_;
  std::string registry_;
  ComPtr<CFiscalPrinterUnit> unit_;
  ComPtr<FakeControl> control_;
};

TEST_F(ConcurrentCalls, CloseDuringClaimEndsTheClaimThenCloses) {
  std::atomic<int32_t> claim{-1};
  std::thread claimer = StartClaim(&claim);
  const auto start = Clock::now();
  EXPECT_EQ(unit_->CloseService(), opos::OPOS_SUCCESS);
  // The last reference goes as soon as Close returns, as the control object lets it go.
  unit_.Reset();
  claimer.join();
  EXPECT_LT(Clock::now() - start, kPrompt);
  EXPECT_NE(claim.load(), opos::OPOS_SUCCESS) << "a claim cut short by Close must not succeed";
}

TEST_F(ConcurrentCalls, ReleaseDuringClaimEndsTheClaimAndLeavesTheUnitUsable) {
  std::atomic<int32_t> claim{-1};
  std::thread claimer = StartClaim(&claim);
  const auto start = Clock::now();
  EXPECT_EQ(unit_->ReleaseDevice(), opos::OPOS_SUCCESS);
  claimer.join();
  EXPECT_LT(Clock::now() - start, kPrompt);
  EXPECT_NE(claim.load(), opos::OPOS_SUCCESS);
  EXPECT_FALSE(unit_->claimed());
  EXPECT_NE(unit_->GetState(), opos::OPOS_S_ERROR) << "a cancelled claim is no failed claim";
  // The claim lock was given back: a new claim gets as far as the printer again.
  EXPECT_EQ(unit_->ClaimDevice(100), opos::OPOS_E_NOHARDWARE);
  EXPECT_EQ(unit_->CloseService(), opos::OPOS_SUCCESS);
}

// The same unit claimed and enabled on a simulated printer whose line is then cut, so that
// every exchange would wait out its time-outs (about 9 s).
class ConcurrentCallsOnAPrinter : public ::testing::Test {
 protected:
  void SetUp() override {
    trace::ResetForTesting();
    std::string error;
    ASSERT_TRUE(sim_.Start(&error)) << error;
    registry_ = dir_.File("registry.reg");
    WriteDeviceKey(registry_, {{"Port", RegValue::String(sim_.slave_path())},
                               {"LogEnabled", RegValue::Dword(0)}});
    unit_ = ComPtr<CFiscalPrinterUnit>(new CFiscalPrinterUnit(registry_));
    control_ = FakeControl::Make();
    // Set before any callback can come; a test installs its handler through SetHandler.
    control_->on_call = [this](const FakeControl::Call& call) {
      std::function<void(const FakeControl::Call&)> handler;
      {
        std::lock_guard<std::mutex> lock(handler_mu_);
        handler = handler_;
      }
      if (handler) handler(call);
    };
    ASSERT_EQ(unit_->OpenService("FiscalPrinter", kDeviceName, control_.Get()), 0);
    ASSERT_EQ(unit_->ClaimDevice(5000), 0) << unit_->error_string();
    unit_->SetPropertyNumber(opos::PIDX_DeviceEnabled, 1);
    ASSERT_EQ(unit_->result_code(), 0);
  }
  void TearDown() override {
    unit_.Reset();
    sim_.Stop();
    trace::ResetForTesting();
  }
  // Closes on this thread and lets the last reference go; true when that took less than
  // kPrompt.
  bool CloseAndLetGo() {
    const auto start = Clock::now();
    EXPECT_EQ(unit_->CloseService(), opos::OPOS_SUCCESS);
    unit_.Reset();
    return Clock::now() - start < kPrompt;
  }

  void SetHandler(std::function<void(const FakeControl::Call&)> handler) {
    std::lock_guard<std::mutex> lock(handler_mu_);
    handler_ = std::move(handler);
  }

  std::mutex handler_mu_;  // guards handler_ (the delivery thread reads it)
  std::function<void(const FakeControl::Call&)> handler_;
  sim::Simulator sim_;
  TempDir dir_;
  std::string registry_;
  ComPtr<CFiscalPrinterUnit> unit_;
  ComPtr<FakeControl> control_;
};

TEST_F(ConcurrentCallsOnAPrinter, CloseWhileEnablingWaitsForASilentPrinter) {
  sim_.SetLineCut(true);
  CFiscalPrinterUnit* unit = unit_.Get();
  std::thread enabler([unit] { unit->SetPropertyNumber(opos::PIDX_DeviceEnabled, 1); });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(CloseAndLetGo());
  enabler.join();
}

TEST_F(ConcurrentCallsOnAPrinter, CloseWhileTheQueueDrainsOnASilentPrinter) {
  ASSERT_EQ(unit_->beginFiscalReceipt(false), opos::OPOS_SUCCESS);
  unit_->SetPropertyNumber(opos::PIDX_AsyncMode, 1);
  sim_.SetLineCut(true);
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(unit_->printRecItem("ITEM", 10000, 1000, 1, 0, ""), opos::OPOS_SUCCESS);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(CloseAndLetGo());
  for (const FakeControl::Call& call : control_->calls()) {
    EXPECT_NE(call.name, "SOOutputComplete") << "nothing reached the printer";
  }
}

TEST_F(ConcurrentCallsOnAPrinter, CloseFromInsideTheErrorEventHandler) {
  ASSERT_EQ(unit_->beginFiscalReceipt(false), opos::OPOS_SUCCESS);
  unit_->SetPropertyNumber(opos::PIDX_AsyncMode, 1);
  std::atomic<int32_t> closed{-1};
  std::atomic<bool> handled{false};
  CFiscalPrinterUnit* unit = unit_.Get();
  SetHandler([&closed, &handled, unit](const FakeControl::Call& call) {
    if (call.name != "SOError" || handled.exchange(true)) return;
    closed = unit->CloseService();
  });
  sim_.Stop();  // the line is gone: the queued sale fails at once and raises its ErrorEvent
  const auto start = Clock::now();
  ASSERT_EQ(unit_->printRecItem("ITEM", 10000, 1000, 1, 0, ""), opos::OPOS_SUCCESS);
  // The close inside the handler must not wait for the worker, which waits for the handler.
  ASSERT_TRUE(WaitForCloseWithin(closed, std::chrono::seconds(20)));
  EXPECT_LT(Clock::now() - start, kPrompt);
  EXPECT_EQ(closed.load(), opos::OPOS_SUCCESS);
  EXPECT_EQ(unit_->GetState(), opos::OPOS_S_CLOSED);
}

}  // namespace
}  // namespace kelo::service::testing
