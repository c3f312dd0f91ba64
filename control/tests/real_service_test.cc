// The control object against the real service object (libsoKeloFpu.so) through the loader.
// Only the steps that need no printer: open, properties, an idle status event, the wait for
// output, close.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

#include "control/fiscal_printer.h"
#include "platform/automation/loader.h"
#include "platform/registry/config_store.h"
#include "simulator/simulator.h"

namespace kelo::control {
namespace {

TEST(RealServiceTest, OpenReadPropertiesReceiveAnEventAndClose) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("kelo_control_real_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string registry = (dir / "registry.reg").string();
  setenv("OPOS_REGISTRY", registry.c_str(), 1);
  auto reg = automation::RegisterServer(KELO_SERVICE_SO_PATH);
  ASSERT_EQ(reg.hr, automation::S_OK) << reg.error;
  std::string error;
  ASSERT_TRUE(platform::ConfigStore(registry).Update(
      [&](platform::RegistryData& d) {
        auto& key = d.CreateKey(
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\FiscalPrinter\\KeloFPU");
        key.Set("", platform::RegValue::String("soKeloFPU.KeloFPU"));
        key.Set("Port", platform::RegValue::String((dir / "no-port").string()));
        key.Set("LogEnabled", platform::RegValue::Dword(0));
      },
      &error))
      << error;

  {
    FiscalPrinterOptions options;
    options.registry_file = registry;
    FiscalPrinter fp(std::move(options));
    // Guards `events`, filled on the service object's delivery thread.
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<int32_t> events;
    fp.SetStatusUpdateHandler([&](int32_t data) {
      std::lock_guard<std::mutex> lock(mutex);
      events.push_back(data);
      arrived.notify_all();
    });

    ASSERT_EQ(fp.Open("KeloFPU"), opos::OPOS_SUCCESS) << fp.ErrorString();
    EXPECT_EQ(fp.State(), opos::OPOS_S_IDLE);
    EXPECT_EQ(fp.DeviceDescription(), "KeloFPU Fiscal Printer");
    EXPECT_EQ(fp.ServiceObjectVersion(), 1011000);
    EXPECT_TRUE(fp.CapXReport());
    EXPECT_FALSE(fp.Claimed());
    EXPECT_EQ(fp.ResultCode(), opos::OPOS_SUCCESS);
    // Enabling before a claim is refused by the service object.
    fp.SetDeviceEnabled(true);
    EXPECT_EQ(fp.ResultCode(), opos::OPOS_E_FAILURE);

    fp.SetFlagWhenIdle(true);  // idle: the service queues one FPTR_SUE_IDLE status update
    {
      std::unique_lock<std::mutex> lock(mutex);
      ASSERT_TRUE(
          arrived.wait_for(lock, std::chrono::seconds(10), [&] { return !events.empty(); }));
      EXPECT_EQ(events.front(), opos::FPTR_SUE_IDLE);
    }
    EXPECT_FALSE(fp.FlagWhenIdle());
    // Nothing queued: the wait for output ends with the idle event the service raises.
    int32_t last = -1;
    EXPECT_EQ(fp.WaitForOutput(10000, &last), opos::OPOS_SUCCESS);
    EXPECT_EQ(last, 0);
    EXPECT_EQ(fp.Close(), opos::OPOS_SUCCESS);
    EXPECT_EQ(fp.State(), opos::OPOS_S_CLOSED);
  }
  unsetenv("OPOS_REGISTRY");
  std::filesystem::remove_all(dir);
}

// The application's error handler, run by a QueuedDispatcher on the application's thread,
// freezes events, releases the device or closes. The service object's delivery thread waits
// for that handler (it reads the response back), so none of these calls may wait for the
// delivery in progress.
enum class InHandler { Freeze, Release, Close };

class HandlerCallsTest : public ::testing::TestWithParam<InHandler> {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("kelo_control_handler_" + std::to_string(getpid()) + "_" +
            std::to_string(static_cast<int>(GetParam())));
    std::filesystem::create_directories(dir_);
    registry_ = (dir_ / "registry.reg").string();
    setenv("OPOS_REGISTRY", registry_.c_str(), 1);
    std::string error;
    ASSERT_TRUE(sim_.Start(&error)) << error;
    auto reg = automation::RegisterServer(KELO_SERVICE_SO_PATH);
    ASSERT_EQ(reg.hr, automation::S_OK) << reg.error;
    ASSERT_TRUE(platform::ConfigStore(registry_).Update(
        [&](platform::RegistryData& d) {
          auto& key = d.CreateKey(
              "HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\FiscalPrinter\\"
              "KeloFPU");
          key.Set("", platform::RegValue::String("soKeloFPU.KeloFPU"));
          key.Set("Port", platform::RegValue::String(sim_.slave_path()));
          key.Set("LogEnabled", platform::RegValue::Dword(0));
        },
        &error))
        << error;
  }
  void TearDown() override {
    sim_.Stop();
    unsetenv("OPOS_REGISTRY");
    std::filesystem::remove_all(dir_);
  }

  std::filesystem::path dir_;
  std::string registry_;
  sim::Simulator sim_;
};

TEST_P(HandlerCallsTest, ReturnsWithoutWaitingForItsOwnDelivery) {
  auto dispatcher = std::make_shared<QueuedDispatcher>();
  FiscalPrinterOptions options;
  options.registry_file = registry_;
  options.dispatcher = dispatcher;
  FiscalPrinter fp(std::move(options));
  ASSERT_EQ(fp.Open("KeloFPU"), opos::OPOS_SUCCESS) << fp.ErrorString();
  ASSERT_EQ(fp.ClaimDevice(3000), opos::OPOS_SUCCESS) << fp.ErrorString();
  fp.SetDeviceEnabled(true);
  ASSERT_EQ(fp.ResultCode(), opos::OPOS_SUCCESS) << fp.ErrorString();

  // Guards `call_result` and `returned`; set on the application's thread below.
  std::mutex mutex;
  std::condition_variable changed;
  int32_t call_result = -1;
  bool returned = false;
  fp.SetErrorHandler([&](int32_t, int32_t, int32_t, int32_t& response) {
    int32_t rc = 0;
    switch (GetParam()) {
      case InHandler::Freeze:
        fp.SetFreezeEvents(true);
        rc = fp.ResultCode();
        break;
      case InHandler::Release:
        rc = fp.ReleaseDevice();
        break;
      case InHandler::Close:
        rc = fp.Close();
        break;
    }
    response = opos::OPOS_ER_CLEAR;
    std::lock_guard<std::mutex> lock(mutex);
    call_result = rc;
    returned = true;
    changed.notify_all();
  });

  // A queued line that the printer refuses (no paper) raises the error event.
  ASSERT_EQ(fp.BeginFiscalReceipt(false), opos::OPOS_SUCCESS) << fp.ErrorString();
  fp.SetAsyncMode(true);
  sim_.printer([](sim::Printer& p) { p.SetPaperOut(true); });
  ASSERT_EQ(fp.PrintRecMessage("Thank you"), opos::OPOS_SUCCESS) << fp.ErrorString();

  // The application's thread: drains the dispatcher until the handler has come back.
  std::atomic<bool> stop{false};
  std::thread application([&] {
    while (!stop) {
      if (dispatcher->RunPending() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  bool done = false;
  {
    std::unique_lock<std::mutex> lock(mutex);
    done = changed.wait_for(lock, std::chrono::seconds(8), [&] { return returned; });
  }
  if (!done) {
    // The threads are deadlocked and cannot be joined: report and leave.
    ADD_FAILURE() << "the call from inside the handler did not return";
    std::fflush(nullptr);
    std::_Exit(1);
  }
  stop = true;
  application.join();
  EXPECT_EQ(call_result, opos::OPOS_SUCCESS);
  switch (GetParam()) {
    case InHandler::Freeze:
      fp.SetFreezeEvents(false);
      EXPECT_EQ(fp.ResultCode(), opos::OPOS_SUCCESS);
      break;
    case InHandler::Release:
      EXPECT_FALSE(fp.Claimed());
      break;
    case InHandler::Close:
      EXPECT_EQ(fp.State(), opos::OPOS_S_CLOSED);
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(FromTheErrorHandler, HandlerCallsTest,
                         ::testing::Values(InHandler::Freeze, InHandler::Release,
                                           InHandler::Close));

}  // namespace
}  // namespace kelo::control
