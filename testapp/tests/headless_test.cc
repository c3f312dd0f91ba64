#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "control/tests/fake_so/fake_service.h"
#include "platform/automation/loader.h"
#include "platform/registry/config_store.h"
#include "testapp/headless/headless_runner.h"

namespace kelo::testapp {
namespace {

TEST(HeadlessArgsTest, ParsesTheCommandLines) {
  std::string error;
  EXPECT_FALSE(ParseHeadlessArgs({}, &error));
  EXPECT_TRUE(error.empty());  // not a headless run: the window program starts
  auto o = ParseHeadlessArgs({"--play", "m.oposcmd", "--log", "out.log", "--stop-on-error",
                              "--delay", "50", "--error-response", "retry", "--device", "Dev"},
                             &error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->mode, HeadlessOptions::Mode::Play);
  EXPECT_EQ(o->file, "m.oposcmd");
  EXPECT_EQ(o->log_file, "out.log");
  EXPECT_TRUE(o->stop_on_error);
  EXPECT_EQ(o->delay_ms, 50u);
  EXPECT_TRUE(o->retry_on_error);
  EXPECT_EQ(o->device, "Dev");
  o = ParseHeadlessArgs({"--autotest", "fullfiscalticket"}, &error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->autotest, "FullFiscalTicket");
  EXPECT_EQ(o->device, "KeloFPU");
  EXPECT_FALSE(o->async_mode);
  o = ParseHeadlessArgs({"--autotest", "PrintTicketA", "--async", "--lines", "3"}, &error);
  ASSERT_TRUE(o) << error;
  EXPECT_TRUE(o->async_mode);
  EXPECT_EQ(o->lines, 3);

  EXPECT_FALSE(ParseHeadlessArgs({"--play"}, &error));
  EXPECT_EQ(error, "--play needs a value");
  EXPECT_FALSE(ParseHeadlessArgs({"--play", "a", "--delay", "70000"}, &error));
  EXPECT_FALSE(ParseHeadlessArgs({"--play", "a", "--error-response", "maybe"}, &error));
  EXPECT_FALSE(ParseHeadlessArgs({"--autotest", "Nothing"}, &error));
  EXPECT_EQ(error, "unknown automatic test \"Nothing\"");
  EXPECT_FALSE(ParseHeadlessArgs({"--play", "a", "--autotest", "FullCreditNote"}, &error));
  EXPECT_FALSE(ParseHeadlessArgs({"--play", "a", "--bogus"}, &error));
}

// The runner with the real control object and loader, on the fake component library.
class HeadlessRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("kelo_headless_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    registry_ = (dir_ / "registry.reg").string();
    setenv("OPOS_REGISTRY", registry_.c_str(), 1);
    auto reg = automation::RegisterServer(KELO_FAKE_SO_PATH);
    ASSERT_EQ(reg.hr, automation::S_OK) << reg.error;
    std::string error;
    ASSERT_TRUE(platform::ConfigStore(registry_).Update(
        [](platform::RegistryData& d) {
          for (const char* name : {"KeloFPU", "Lab"}) {
            d.CreateKey(std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\"
                                    "FiscalPrinter\\") +
                        name)
                .Set("", platform::RegValue::String("KeloFake.Service"));
          }
        },
        &error));
    void* lib = dlopen(KELO_FAKE_SO_PATH, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(lib, nullptr);
    auto get = reinterpret_cast<control::testing::FakeServiceState* (*)()>(
        dlsym(lib, "KeloFakeServiceState"));
    dlclose(lib);
    ASSERT_NE(get, nullptr);
    fake_ = get();
    fake_->Reset();
  }
  void TearDown() override {
    unsetenv("OPOS_REGISTRY");
    std::filesystem::remove_all(dir_);
  }

  std::string WriteMacro(const std::string& text) {
    const auto path = dir_ / "test.oposcmd";
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }
  int Play(const std::string& macro, std::vector<std::string> extra = {}) {
    std::vector<std::string> args{"--play", WriteMacro(macro)};
    args.insert(args.end(), extra.begin(), extra.end());
    return Run(args);
  }
  int Run(const std::vector<std::string>& args) {
    std::string error;
    auto o = ParseHeadlessArgs(args, &error);
    EXPECT_TRUE(o) << error;
    if (!o) return -1;
    o->registry_file = registry_;
    out_.str("");
    err_.str("");
    return RunHeadless(*o, out_, err_);
  }
  std::vector<std::string> Calls() {
    std::vector<std::string> out;
    for (auto& c : fake_->TakeCalls()) {
      if (c.rfind("GetProperty", 0) != 0) out.push_back(c);
    }
    return out;
  }

  std::filesystem::path dir_;
  std::string registry_;
  control::testing::FakeServiceState* fake_ = nullptr;
  std::ostringstream out_, err_;
};

constexpr const char* kSession =
    "F_Open$KeloFPU\r\nF_ClaimDevice$1000\r\nP_DeviceEnabled$True\r\nF_PrintXReport\r\n"
    "F_Close\r\n";

TEST_F(HeadlessRunTest, SuccessfulMacroExitsZeroWithTheLogOnStandardOutput) {
  EXPECT_EQ(Play(kSession), 0);
  EXPECT_EQ(out_.str(),
            "Open(KeloFPU)     -> OposSuccess(0)\n"
            "ClaimDevice(1000)     -> OposSuccess(0)\n"
            "DeviceEnabled := True     -> OposSuccess(0)\n"
            "PrintXReport()     -> OposSuccess(0)\n"
            "Close()     -> OposSuccess(0)\n");
  EXPECT_EQ(err_.str(), "");
  EXPECT_EQ(Calls().back(), "CloseService()");
}

TEST_F(HeadlessRunTest, FirstFailureIsTheExitStatusAndStopOnErrorStops) {
  fake_->results_by_method["printXReport"] = 114;
  fake_->results_by_method["CloseService"] = 111;
  EXPECT_EQ(Play(kSession), 114);
  EXPECT_EQ(Calls().back(), "CloseService()");  // playback went on

  EXPECT_EQ(Play(kSession, {"--stop-on-error"}), 114);
  const auto calls = Calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "printXReport()"), 1);
  EXPECT_EQ(calls.back(), "CloseService()");  // the runner closes what the macro left open
  EXPECT_EQ(err_.str(), "Error ... execution paused\n");

  fake_->results_by_method["printXReport"] = 4000;
  EXPECT_EQ(Play(kSession), 255);
  fake_->results_by_method["printXReport"] = -7;
  EXPECT_EQ(Play(kSession), 1);
}

TEST_F(HeadlessRunTest, MessageBoxesGoToStandardErrorAndTheLogToItsFile) {
  const std::string log_path = (dir_ / "out.log").string();
  EXPECT_EQ(Play("F_Nothing$1\r\nF_Open$Lab\r\n", {"--log", log_path, "--device", "Lab"}), 0);
  EXPECT_EQ(err_.str(), "Unknown command F_Nothing$1\n");
  EXPECT_EQ(out_.str(), "");
  std::ifstream in(log_path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  EXPECT_EQ(s.str(), "Open(Lab)     -> OposSuccess(0)\n");

  EXPECT_EQ(Play("F_Open$Lab\r\n"), 111);  // without --device, Lab is not an accepted name
  EXPECT_EQ(Run({"--play", (dir_ / "missing.oposcmd").string()}), 111);
  EXPECT_NE(out_.str().find("cannot read the macro file"), std::string::npos);
}

TEST_F(HeadlessRunTest, ALogThatCannotBeWrittenAndAnEndlessMacroFailClearly) {
  EXPECT_NE(Play(kSession, {"--log", "/dev/full"}), 0);
  EXPECT_NE(err_.str().find("Cannot write the log file /dev/full"), std::string::npos)
      << err_.str();
  EXPECT_EQ(Run({"--play", "/dev/zero"}), 111);
  EXPECT_NE(out_.str().find("/dev/zero: it is not a regular file"), std::string::npos);
}

TEST_F(HeadlessRunTest, AutotestRunsBetweenOpenClaimEnableAndDisableReleaseClose) {
  EXPECT_EQ(Run({"--autotest", "NonFiscalTicket"}), 0);
  const auto calls = Calls();
  ASSERT_GE(calls.size(), 6u);
  EXPECT_EQ(calls[0], "OpenService(FiscalPrinter, KeloFPU, <dispatch>)");
  EXPECT_EQ(calls[2], "ClaimDevice(2000)");
  EXPECT_NE(std::find(calls.begin(), calls.end(), "endNonFiscal()"), calls.end());
  EXPECT_EQ(calls[calls.size() - 3], "SetPropertyNumber(3, 0)");
  EXPECT_EQ(calls[calls.size() - 2], "ReleaseDevice()");
  EXPECT_EQ(calls.back(), "CloseService()");
  EXPECT_NE(out_.str().find("State = "), std::string::npos);  // UpdateStatus reads are logged

  fake_->results_by_method["printNormal"] = 114;
  EXPECT_EQ(Run({"--autotest", "NonFiscalTicket"}), 114);
  // UpdateStatus shows its "ERRORS: " box after the failing calls.
  EXPECT_EQ(err_.str().rfind("ERRORS: OposEExtended(114)", 0), 0u);

  Calls();
  fake_->open_service_result = 111;
  EXPECT_EQ(Run({"--autotest", "FullFiscalTicket"}), 111);
  // Only the failed open: neither claim nor the test ran.
  EXPECT_EQ(Calls(), (std::vector<std::string>{"OpenService(FiscalPrinter, KeloFPU, <dispatch>)",
                                               "GetOpenResult()"}));
}

}  // namespace
}  // namespace kelo::testapp
