// The control object against the real service object (libsoKeloFpu.so) through the loader.
// Only the steps that need no printer: open, properties, an idle status event, close.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>

#include "control/fiscal_printer.h"
#include "platform/automation/loader.h"
#include "platform/registry/config_store.h"

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
    EXPECT_EQ(fp.Close(), opos::OPOS_SUCCESS);
    EXPECT_EQ(fp.State(), opos::OPOS_S_CLOSED);
  }
  unsetenv("OPOS_REGISTRY");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kelo::control
