#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "control/fiscal_printer.h"
#include "control/tests/fake_so/fake_service.h"
#include "platform/automation/loader.h"
#include "platform/registry/config_store.h"

namespace kelo::control {
namespace {

using testing::FakeServiceState;

constexpr const char* kKeyPrefix =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\FiscalPrinter\\";

// A temporary configuration file with the fake library registered and a device key
// "KeloFPU" naming it; the fake's state is reached through the library's own export.
class ControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("kelo_control_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    registry_ = (dir_ / "registry.reg").string();
    setenv("OPOS_REGISTRY", registry_.c_str(), 1);
    auto reg = automation::RegisterServer(KELO_FAKE_SO_PATH);
    ASSERT_EQ(reg.hr, automation::S_OK) << reg.error;
    SetDeviceKey("KeloFPU", "KeloFake.Service");
    void* lib = dlopen(KELO_FAKE_SO_PATH, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(lib, nullptr);
    auto get = reinterpret_cast<FakeServiceState* (*)()>(dlsym(lib, "KeloFakeServiceState"));
    dlclose(lib);
    ASSERT_NE(get, nullptr);
    fake_ = get();
    fake_->Reset();
  }
  void TearDown() override {
    unsetenv("OPOS_REGISTRY");
    std::filesystem::remove_all(dir_);
  }

  void SetDeviceKey(const std::string& name, const std::string& prog_id) {
    std::string error;
    ASSERT_TRUE(platform::ConfigStore(registry_).Update(
        [&](platform::RegistryData& d) {
          auto& key = d.CreateKey(std::string(kKeyPrefix) + name);
          if (!prog_id.empty()) key.Set("", platform::RegValue::String(prog_id));
          key.Set("Port", platform::RegValue::String("/dev/null"));
        },
        &error))
        << error;
  }

  FiscalPrinterOptions Options(std::shared_ptr<EventDispatcher> dispatcher = nullptr) {
    FiscalPrinterOptions o;
    o.registry_file = registry_;
    o.dispatcher = std::move(dispatcher);
    return o;
  }

  std::string LastCall() {
    auto calls = fake_->TakeCalls();
    return calls.empty() ? std::string() : calls.back();
  }

  std::filesystem::path dir_;
  std::string registry_;
  FakeServiceState* fake_ = nullptr;
};

TEST_F(ControlTest, ClosedControlRefusesEverything) {
  FiscalPrinter fp(Options());
  EXPECT_FALSE(fp.IsOpen());
  EXPECT_EQ(fp.State(), opos::OPOS_S_CLOSED);
  EXPECT_EQ(fp.ResultCode(), opos::OPOS_E_CLOSED);
  EXPECT_EQ(fp.ClaimDevice(1000), opos::OPOS_E_CLOSED);
  EXPECT_EQ(fp.PrintRecItem("X", Currency(10000), 1, 0, Currency(0), ""), opos::OPOS_E_CLOSED);
  std::string text = "keep";
  std::array<int32_t, 11> data{};
  EXPECT_EQ(fp.DirectIO(1000, data, text), opos::OPOS_E_CLOSED);
  EXPECT_EQ(text, "keep");
  EXPECT_EQ(fp.DeviceName(), "");
  EXPECT_FALSE(fp.CapXReport());
  fp.SetAsyncMode(true);
  EXPECT_EQ(fp.ResultCode(), opos::OPOS_E_CLOSED);
  EXPECT_EQ(fp.Close(), opos::OPOS_E_CLOSED);
  EXPECT_TRUE(fake_->TakeCalls().empty());
}

TEST_F(ControlTest, OpenFailuresNameTheFailingStep) {
  FiscalPrinter fp(Options());
  EXPECT_EQ(fp.Open("NoSuchDevice"), opos::OPOS_E_NOEXIST);
  EXPECT_EQ(fp.OpenResult(), opos::OPOS_OR_REGBADNAME);
  EXPECT_NE(fp.ErrorString().find("NoSuchDevice"), std::string::npos);
  EXPECT_EQ(fp.ResultCode(), opos::OPOS_E_NOEXIST);
  EXPECT_EQ(fp.State(), opos::OPOS_S_CLOSED);

  SetDeviceKey("NoProgId", "");
  EXPECT_EQ(fp.Open("NoProgId"), opos::OPOS_E_NOSERVICE);
  EXPECT_EQ(fp.OpenResult(), opos::OPOS_OR_REGPROGID);

  SetDeviceKey("Unregistered", "Nobody.Service");
  EXPECT_EQ(fp.Open("Unregistered"), opos::OPOS_E_NOSERVICE);
  EXPECT_EQ(fp.OpenResult(), opos::OPOS_OR_CREATE);
  EXPECT_NE(fp.ErrorString().find("Nobody.Service"), std::string::npos);

  EXPECT_EQ(fp.Open("Bad\\Name"), opos::OPOS_E_NOEXIST);
  EXPECT_FALSE(fp.IsOpen());
}

TEST_F(ControlTest, FailedOpenServiceKeepsTheServiceObjectsReasonAndReleasesIt) {
  fake_->open_service_result = opos::OPOS_E_FAILURE;
  {
    FiscalPrinter fp(Options());
    EXPECT_EQ(fp.Open("KeloFPU"), opos::OPOS_E_FAILURE);
    EXPECT_FALSE(fp.IsOpen());
    EXPECT_EQ(fp.OpenResult(), 406);  // the fake's own GetOpenResult
    EXPECT_EQ(fp.ErrorString(), "Configuration errors");
    EXPECT_EQ(fp.ResultCode(), opos::OPOS_E_FAILURE);
    EXPECT_EQ(fp.State(), opos::OPOS_S_CLOSED);
  }
  EXPECT_EQ(fake_->live_instances, 0);
}

TEST_F(ControlTest, OpenCallsOpenServiceThroughTheLoaderAndCloseReleases) {
  {
    FiscalPrinter fp(Options());
    ASSERT_EQ(fp.Open("KeloFPU"), opos::OPOS_SUCCESS) << fp.ErrorString();
    EXPECT_EQ(fp.OpenResult(), 0);
    auto calls = fake_->TakeCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0], "OpenService(FiscalPrinter, KeloFPU, <dispatch>)");
    EXPECT_EQ(fake_->control_object_version, FiscalPrinter::kControlObjectVersion);
    EXPECT_EQ(fp.State(), opos::OPOS_S_IDLE);
    EXPECT_EQ(fp.Open("KeloFPU"), opos::OPOS_E_ILLEGAL);
    EXPECT_EQ(fake_->live_instances, 1);

    EXPECT_EQ(fp.Close(), opos::OPOS_SUCCESS);
    EXPECT_EQ(LastCall(), "CloseService()");
    EXPECT_EQ(fp.State(), opos::OPOS_S_CLOSED);
    EXPECT_EQ(fp.ResultCode(), opos::OPOS_SUCCESS);  // the result of Close itself
    EXPECT_EQ(fake_->live_instances, 0);

    ASSERT_EQ(fp.Open("KeloFPU"), opos::OPOS_SUCCESS);
  }
  // The destructor closed the second session.
  EXPECT_EQ(LastCall(), "CloseService()");
  EXPECT_EQ(fake_->live_instances, 0);
}

// An amount is its own type: no count, no double turns into one by accident.
static_assert(!std::is_convertible_v<int32_t, Currency>);
static_assert(!std::is_convertible_v<int64_t, Currency>);
static_assert(!std::is_constructible_v<Currency, double>);
static_assert(std::is_nothrow_move_constructible_v<FiscalPrinter>);

TEST_F(ControlTest, MovingHandsTheOpenServiceOver) {
  FiscalPrinter first(Options());
  ASSERT_EQ(first.Open("KeloFPU"), 0);
  FiscalPrinter second = std::move(first);
  EXPECT_TRUE(second.IsOpen());
  EXPECT_EQ(second.ClaimDevice(5), 0);
  EXPECT_EQ(LastCall(), "ClaimDevice(5)");
  FiscalPrinter third(Options());
  third = std::move(second);
  EXPECT_EQ(third.Close(), 0);
  EXPECT_EQ(fake_->live_instances, 0);
}

TEST_F(ControlTest, FailuresShowInResultFields) {
  FiscalPrinter fp(Options());
  ASSERT_EQ(fp.Open("KeloFPU"), 0);
  fake_->next_result = 114;
  fake_->next_extended = 201;
  fake_->next_error = "Cover open";
  EXPECT_EQ(fp.PrintXReport(), 114);
  EXPECT_EQ(fp.ResultCode(), 114);
  EXPECT_EQ(fp.ResultCodeExtended(), 201);
  EXPECT_EQ(fp.ErrorString(), "Cover open");
}

TEST_F(ControlTest, DefaultDispatcherRunsHandlersOnTheRaisingThread) {
  FiscalPrinter fp(Options());
  std::thread::id seen;
  int32_t value = 0;
  fp.SetStatusUpdateHandler([&](int32_t data) {
    seen = std::this_thread::get_id();
    value = data;
  });
  ASSERT_EQ(fp.Open("KeloFPU"), 0);
  std::thread raiser([&] { fake_->RaiseStatusUpdate(24); });
  const auto raiser_id = raiser.get_id();
  raiser.join();
  EXPECT_EQ(value, 24);
  EXPECT_EQ(seen, raiser_id);
}

TEST_F(ControlTest, QueuedDispatcherDeliversOnTheDrainingThreadAndAnswersErrors) {
  auto dispatcher = std::make_shared<QueuedDispatcher>();
  FiscalPrinter fp(Options(dispatcher));
  std::vector<std::string> events;
  std::thread::id handler_thread;
  fp.SetStatusUpdateHandler([&](int32_t d) { events.push_back("status " + std::to_string(d)); });
  fp.SetOutputCompleteHandler([&](int32_t id) { events.push_back("oc " + std::to_string(id)); });
  fp.SetErrorHandler([&](int32_t rc, int32_t ext, int32_t, int32_t& response) {
    handler_thread = std::this_thread::get_id();
    events.push_back("error " + std::to_string(rc) + "/" + std::to_string(ext) + " preset " +
                     std::to_string(response));
    response = opos::OPOS_ER_RETRY;
  });
  fp.SetDirectIOHandler([&](int32_t n, int32_t& data, std::string& text) {
    events.push_back("dio " + std::to_string(n));
    data = 77;
    text = "answered";
  });
  ASSERT_EQ(fp.Open("KeloFPU"), 0);

  fake_->RaiseStatusUpdate(11);
  fake_->RaiseOutputComplete(5);
  EXPECT_TRUE(events.empty());  // nothing runs until the host drains the queue
  EXPECT_EQ(dispatcher->RunPending(), 2);
  EXPECT_EQ(events, (std::vector<std::string>{"status 11", "oc 5"}));

  int32_t response = 0;
  int32_t dio_data = 1;
  std::string dio_text = "q";
  std::thread raiser([&] {
    response = fake_->RaiseError(114, 203, 2, opos::OPOS_ER_CLEAR);
    fake_->RaiseDirectIO(9000, &dio_data, &dio_text);
  });
  // Drain until both synchronous events have been answered.
  while (events.size() < 4) dispatcher->RunPending();
  raiser.join();
  EXPECT_EQ(handler_thread, std::this_thread::get_id());
  EXPECT_EQ(events[2], "error 114/203 preset 12");
  EXPECT_EQ(response, opos::OPOS_ER_RETRY);
  EXPECT_EQ(events[3], "dio 9000");
  EXPECT_EQ(dio_data, 77);
  EXPECT_EQ(dio_text, "answered");
}

TEST_F(ControlTest, WaitForOutputEndsWithTheIdleEventAndTellsHowTheQueueEnded) {
  FiscalPrinter fp(Options());
  EXPECT_EQ(fp.WaitForOutput(10), opos::OPOS_E_CLOSED);
  ASSERT_EQ(fp.Open("KeloFPU"), 0);
  fake_->TakeCalls();
  // No idle event: the wait ends with its time-out, having asked for the event.
  EXPECT_EQ(fp.WaitForOutput(30), opos::OPOS_E_TIMEOUT);
  const auto calls = fake_->TakeCalls();
  EXPECT_NE(std::find(calls.begin(), calls.end(), "SetPropertyNumber(16013, 1)"), calls.end());
  // Completions, then the idle event (raised later, from the service object's thread).
  auto raise_later = [&](std::function<void()> raise) {
    return std::thread([raise = std::move(raise)] {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      raise();
    });
  };
  std::thread t = raise_later([&] {
    fake_->RaiseOutputComplete(6);
    fake_->RaiseOutputComplete(7);
    fake_->RaiseStatusUpdate(opos::FPTR_SUE_IDLE);
  });
  int32_t last = 0;
  EXPECT_EQ(fp.WaitForOutput(5000, &last), opos::OPOS_SUCCESS);
  EXPECT_EQ(last, 7);
  t.join();
  // An output error answered with clear stopped the queue: told once, by the next wait.
  t = raise_later([&] {
    fake_->RaiseError(114, 203, opos::OPOS_EL_OUTPUT, opos::OPOS_ER_CLEAR);
    fake_->RaiseStatusUpdate(opos::FPTR_SUE_IDLE);
  });
  EXPECT_EQ(fp.WaitForOutput(-1, &last), 114);
  EXPECT_EQ(last, 7);
  t.join();
  t = raise_later([&] { fake_->RaiseStatusUpdate(opos::FPTR_SUE_IDLE); });
  EXPECT_EQ(fp.WaitForOutput(5000), opos::OPOS_SUCCESS);
  t.join();
}

TEST_F(ControlTest, UnansweredErrorEventIsWithdrawnAndKeepsThePreset) {
  auto dispatcher = std::make_shared<QueuedDispatcher>(nullptr, std::chrono::milliseconds(20));
  FiscalPrinter fp(Options(dispatcher));
  bool ran = false;
  fp.SetErrorHandler([&](int32_t, int32_t, int32_t, int32_t& r) {
    ran = true;
    r = opos::OPOS_ER_RETRY;
  });
  ASSERT_EQ(fp.Open("KeloFPU"), 0);
  EXPECT_EQ(fake_->RaiseError(111, 0, 2, opos::OPOS_ER_CLEAR), opos::OPOS_ER_CLEAR);
  EXPECT_EQ(dispatcher->RunPending(), 0);
  EXPECT_FALSE(ran);
}

TEST_F(ControlTest, HandlersQueuedBeforeDestructionDoNotRunAfterIt) {
  auto dispatcher = std::make_shared<QueuedDispatcher>();
  int calls = 0;
  {
    FiscalPrinter fp(Options(dispatcher));
    fp.SetStatusUpdateHandler([&](int32_t) { ++calls; });
    ASSERT_EQ(fp.Open("KeloFPU"), 0);
    fake_->RaiseStatusUpdate(1001);
  }
  EXPECT_EQ(dispatcher->RunPending(), 1);
  EXPECT_EQ(calls, 0);
}

TEST_F(ControlTest, ServiceFactorySeamCreatesTheServiceInProcess) {
  auto state = std::make_shared<FakeServiceState>();
  state->Reset();
  FiscalPrinterOptions o = Options();
  std::string asked;
  o.service_factory = [&](const std::string& prog_id,
                          automation::ComPtr<automation::IDispatch>* out) {
    asked = prog_id;
    *out = automation::ComPtr<automation::IDispatch>::Attach(testing::NewFakeService(state));
    return automation::CreateResult{automation::S_OK, {}};
  };
  FiscalPrinter fp(std::move(o));
  ASSERT_EQ(fp.Open("KeloFPU"), 0);
  EXPECT_EQ(asked, "KeloFake.Service");
  EXPECT_EQ(state->TakeCalls().at(0), "OpenService(FiscalPrinter, KeloFPU, <dispatch>)");
}

}  // namespace
}  // namespace kelo::control
