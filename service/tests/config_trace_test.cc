// Configuration reading (defaults, typed values, the port rule) and the trace log (file
// name, time stamps, level mask, switch, formatting once, debug sink).
#include <gtest/gtest.h>

#include <cctype>

#include "platform/os/debug_output.h"
#include "service/tests/service_test_support.h"
#include "service/unit_config.h"
#include "service/version_info.h"

namespace kelo::service::testing {
namespace {

class ConfigTest : public ::testing::Test {
 protected:
  UnitConfig Read(const std::vector<std::pair<std::string, RegValue>>& values) {
    WriteDeviceKey(file_, values);
    UnitConfig config;
    EXPECT_TRUE(ReadUnitConfig(platform::ConfigStore(file_),
                               ConfigKeyPath("FiscalPrinter", kDeviceName), &config));
    return config;
  }
  TempDir dir_;
  std::string file_ = dir_.File("registry.reg");
};

TEST_F(ConfigTest, DefaultsWhenOnlyTheDefaultValueExists) {
  UnitConfig c = Read({});
  EXPECT_EQ(c.port, "COM1");
  EXPECT_EQ(c.baud_rate, 19200u);
  EXPECT_EQ(c.polling_time, 1000u);
  EXPECT_EQ(c.polling_time_after_sync_cmd, 100u);
  EXPECT_EQ(c.polling_time_after_async_queue, 100u);
  EXPECT_EQ(c.log_enabled, 1u);
  EXPECT_EQ(c.log_path, "");
  EXPECT_EQ(c.level_mask, 0xFFFFFFFFu);
}

TEST_F(ConfigTest, ValuesReplaceDefaults) {
  UnitConfig c = Read({{"Port", RegValue::String("/dev/ttyUSB0")},
                       {"BaudRate", RegValue::Dword(9600)},
                       {"PollingTime", RegValue::Dword(0)},
                       {"PollingTimeAfterSyncCmd", RegValue::Dword(5)},
                       {"PollingTimeAfterAsyncQueue", RegValue::Dword(6)},
                       {"LogEnabled", RegValue::Dword(0)},
                       {"LogPath", RegValue::String("/var/log/kelo/")}});
  EXPECT_EQ(c.port, "/dev/ttyUSB0");
  EXPECT_EQ(c.baud_rate, 9600u);
  EXPECT_EQ(c.polling_time, 0u);
  EXPECT_EQ(c.polling_time_after_sync_cmd, 5u);
  EXPECT_EQ(c.polling_time_after_async_queue, 6u);
  EXPECT_EQ(c.log_enabled, 0u);
  EXPECT_EQ(c.log_path, "/var/log/kelo/");
}

TEST_F(ConfigTest, ValuesOfTheWrongTypeBehaveAsTheRegistryWould) {
  // A string of more than three characters does not fit a 4-byte number.
  EXPECT_EQ(Read({{"BaudRate", RegValue::String("9600")}}).baud_rate, 19200u);
  // A shorter one is read as its bytes (with the terminator) over the default's low bytes.
  // "A" and its terminator replace the two low bytes of 19200 (0x00004B00).
  EXPECT_EQ(Read({{"BaudRate", RegValue::String("A")}}).baud_rate, 0x00000041u);
  EXPECT_EQ(Read({{"BaudRate", RegValue::String("")}}).baud_rate, 0x00004B00u & 0xFFFFFF00u);
  // A number read as text gives its bytes up to the first zero byte.
  EXPECT_EQ(Read({{"LogPath", RegValue::Dword(0x00434241)}}).log_path, "ABC");
  // A string longer than the 260-byte buffer cannot be read.
  EXPECT_EQ(Read({{"Port", RegValue::String(std::string(260, 'x'))}}).port, "COM1");
  EXPECT_EQ(Read({{"Port", RegValue::String(std::string(259, 'x'))}}).port, std::string(259, 'x'));
}

TEST_F(ConfigTest, DefaultValueTooLongFailsTheReading) {
  WriteDeviceKey(file_, {}, /*with_default=*/false);
  std::string error;
  platform::ConfigStore(file_).Update(
      [](platform::RegistryData& d) {
        d.CreateKey(DeviceKey()).Set("", RegValue::String(std::string(300, 'p')));
      },
      &error);
  UnitConfig config;
  EXPECT_FALSE(ReadUnitConfig(platform::ConfigStore(file_),
                              ConfigKeyPath("FiscalPrinter", kDeviceName), &config));
}

TEST(PortRuleTest, NumbersAndComNamesBecomeDevicePaths) {
  EXPECT_EQ(PortNameFromConfig("3"), "\\\\.\\COM3");
  EXPECT_EQ(PortNameFromConfig("COM3"), "\\\\.\\COM3");
  EXPECT_EQ(PortNameFromConfig("COM12"), "\\\\.\\COM12");
  EXPECT_EQ(PortNameFromConfig("COM0"), "COM0");
  EXPECT_EQ(PortNameFromConfig("LPT"), "LPT");
  EXPECT_EQ(PortNameFromConfig("/dev/ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(PortNameFromConfig(""), "");
  EXPECT_EQ(PortNameFromConfig("CO"), "CO");
  EXPECT_EQ(LeadingInt("99999999999"), 2147483647);
  EXPECT_EQ(LeadingInt(" -12x"), -12);
}

TEST(ConfigKeyTest, OnlyTheFiscalPrinterClassHasAKey) {
  EXPECT_EQ(ConfigKeyPath("fiscalPRINTER", "Dev"),
            "SOFTWARE\\OLEforRetail\\ServiceOPOS\\fiscalPRINTER\\Dev");
  EXPECT_EQ(ConfigKeyPath("POSPrinter", "Dev"), "");
}

TEST(VersionRecordTest, LookupFollowsTheTranslationList) {
  EXPECT_EQ(LookupVersionString(nullptr, "FileVersion"), "Unavailable");
  EXPECT_EQ(LookupVersionString(&OwnVersionRecord(), "Missing"), "Unavailable");
  EXPECT_NE(OwnVersionString("FileVersion"), "Unavailable");
  VersionRecord two{{VersionStringTable{0x0409, 0x04B0, {{"CompanyName", "first"}}},
                     VersionStringTable{0x0410, 0x04E4, {{"CompanyName", "second"}}},
                     VersionStringTable{0x0407, 0x04E4, {}}}};
  EXPECT_EQ(LookupVersionString(&two, "CompanyName"), "second");
  const VersionRecord empty;
  EXPECT_EQ(LookupVersionString(&empty, "CompanyName"), "Unavailable");
}

// ---- Trace ----

// Splits "hh:mm:ss.mmm  message" into its message; false when the stamp is malformed.
bool SplitStamp(const std::string& line, std::string* message) {
  static constexpr char kPattern[] = "dd:dd:dd.ddd  ";
  const size_t n = sizeof kPattern - 1;
  if (line.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    const char p = kPattern[i];
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if (p == 'd' ? !std::isdigit(c) : c != static_cast<unsigned char>(p)) return false;
  }
  *message = line.substr(n);
  return true;
}

class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    trace::ResetForTesting();
    platform::SetDebugOutputHook([this](std::string_view text) {
      std::lock_guard<std::mutex> lock(mu_);
      debug_.emplace_back(text);
    });
    registry_ = dir_.File("registry.reg");
  }
  void TearDown() override {
    unit_.Reset();
    platform::SetDebugOutputHook({});
    trace::ResetForTesting();
  }
  void OpenWith(const std::vector<std::pair<std::string, RegValue>>& values) {
    WriteDeviceKey(registry_, values);
    unit_ = ComPtr<TestUnit>(new TestUnit(registry_));
    control_ = FakeControl::Make();
    ASSERT_EQ(unit_->OpenService("FiscalPrinter", kDeviceName, control_.Get()), 0);
  }
  std::vector<std::string> DebugLines() {
    std::lock_guard<std::mutex> lock(mu_);
    return debug_;
  }

  TempDir dir_;
  std::string registry_;
  ComPtr<TestUnit> unit_;
  ComPtr<FakeControl> control_;
  std::mutex mu_;
  std::vector<std::string> debug_;
};

TEST_F(TraceTest, OpenWritesTheBannerAndMethodLinesWithTimeStamps) {
  const std::string folder = dir_.path() + "/";
  OpenWith({{"LogPath", RegValue::String(folder)}});
  unit_->ClaimDevice(0);
  unit_->GetPropertyNumber(opos::PIDX_State);
  const std::string log = ReadFile(folder + "KELOFPU.log");
  std::istringstream lines(log);
  std::string line;
  std::vector<std::string> messages;
  while (std::getline(lines, line)) {
    std::string message;
    ASSERT_TRUE(SplitStamp(line, &message)) << line;
    messages.push_back(message);
  }
  const std::vector<std::string> expected_start = {
      "        *****************************",
      "        ******** NEW SESSION ********",
      "        *****************************",
      "+CFiscalPrinterUnit::OpenService(FiscalPrinter, KeloFPU)",
  };
  ASSERT_GE(messages.size(), 12u);
  for (size_t i = 0; i < expected_start.size(); ++i) EXPECT_EQ(messages[i], expected_start[i]);
  EXPECT_EQ(messages[4].rfind("CFiscalPrinterUnit::CFiscalPrinterUnit build time : ", 0), 0u);
  EXPECT_EQ(messages[5],
            "CFiscalPrinterUnit::CFiscalPrinterUnit Version : " + OwnVersionString("FileVersion"));
  EXPECT_EQ(messages[6],
            "CFiscalPrinterUnit::CFiscalPrinterUnit Company : " + OwnVersionString("CompanyName"));
  EXPECT_EQ(messages[7], "CFiscalPrinterUnit::CFiscalPrinterUnit Creating mutex & events");
  EXPECT_EQ(messages[8],
            "CFiscalPrinterUnit::CFiscalPrinterUnit ControlObject OPOS Version: 1.11.0");
  EXPECT_EQ(messages[9], "-CFiscalPrinterUnit::OpenService => 0");
  EXPECT_EQ(messages[10], "+CFiscalPrinterUnit::ClaimDevice(0)");
  // No Port value: the default is named on a line of its own.
  EXPECT_EQ(messages[11],
            "CFiscalPrinterUnit::ClaimDevice no Port value: using the default COM1 (/dev/ttyS0)");
  EXPECT_EQ(messages[12], "-CFiscalPrinterUnit::ClaimDevice => 0");
  EXPECT_EQ(messages[13], "+CFiscalPrinterUnit::GetPropertyNumber(9(State))");
  EXPECT_EQ(messages[14], "-CFiscalPrinterUnit::GetPropertyNumber ==> 2");
  // The debug sink gets the messages without time stamps.
  auto debug = DebugLines();
  ASSERT_FALSE(debug.empty());
  EXPECT_EQ(debug.back(), "-CFiscalPrinterUnit::GetPropertyNumber ==> 2\n");
}

TEST_F(TraceTest, PercentSignsAndWindows1252TextAreWrittenAsFormattedOnce) {
  const std::string folder = dir_.path() + "/";
  OpenWith({{"LogPath", RegValue::String(folder)}});
  ASSERT_EQ(unit_->ClaimDevice(0), 0);
  unit_->SetPropertyNumber(opos::PIDX_DeviceEnabled, 1);
  unit_->SetPropertyString(opos::PIDX_PreLine, "50%s off %d \xE9");
  const std::string log = ReadFile(folder + "KELOFPU.log");
  EXPECT_NE(
      log.find("+CFiscalPrinterUnit::SetPropertyString(1016008(PreLine), 50%s off %d \xE9)\n"),
      std::string::npos);
  EXPECT_NE(log.find("EnableDevice = 1\n"), std::string::npos);
  // The debug sink speaks UTF-8.
  bool found = false;
  for (const auto& d : DebugLines()) found |= d.find("50%s off %d \xC3\xA9") != std::string::npos;
  EXPECT_TRUE(found);
}

TEST_F(TraceTest, LogPathWithoutSlashIsAPrefixOfTheFileName) {
  const std::string prefix = dir_.path() + "/logs";
  OpenWith({{"LogPath", RegValue::String(prefix)}});
  EXPECT_TRUE(fs::exists(prefix + "KELOFPU.log"));
  EXPECT_FALSE(fs::exists(prefix + "/KELOFPU.log"));
}

TEST_F(TraceTest, LogEnabledZeroWritesNothingAnywhere) {
  const std::string folder = dir_.path() + "/";
  OpenWith({{"LogPath", RegValue::String(folder)}, {"LogEnabled", RegValue::Dword(0)}});
  unit_->ClaimDevice(0);
  EXPECT_FALSE(fs::exists(folder + "KELOFPU.log"));
  EXPECT_TRUE(DebugLines().empty());
}

TEST_F(TraceTest, LevelMaskAndSwitch) {
  trace::SetFileName(dir_.File("direct.log"));
  trace::Printf(2, "off %d\n", 1);
  trace::SwitchOn();
  trace::SetLevelMask(1);
  trace::Printf(2, "masked %d\n", 2);
  trace::Printf(1, "level one %d\n", 3);
  trace::SetLevelMask(0xFFFFFFFF);
  trace::Write(2, "raw %d %s\n");
  const std::string log = ReadFile(dir_.File("direct.log"));
  EXPECT_EQ(log.find("off"), std::string::npos);
  EXPECT_EQ(log.find("masked"), std::string::npos);
  EXPECT_NE(log.find("  level one 3\n"), std::string::npos);
  EXPECT_NE(log.find("  raw %d %s\n"), std::string::npos);
}

TEST_F(TraceTest, DestroyingAUnitSwitchesTracingOff) {
  const std::string folder = dir_.path() + "/";
  OpenWith({{"LogPath", RegValue::String(folder)}});
  EXPECT_TRUE(trace::IsOn());
  unit_.Reset();
  EXPECT_FALSE(trace::IsOn());
}

TEST_F(TraceTest, LinesFromManyThreadsNeverInterleave) {
  trace::SetFileName(dir_.File("threads.log"));
  trace::SwitchOn();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) trace::Printf(2, "thread %d line %d %s\n", t, i, "payload");
    });
  }
  for (auto& th : threads) th.join();
  std::istringstream lines(ReadFile(dir_.File("threads.log")));
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    std::string message;
    int t = -1, i = -1;
    char tail[16] = {};
    EXPECT_TRUE(SplitStamp(line, &message)) << line;
    EXPECT_EQ(std::sscanf(message.c_str(), "thread %d line %d %15s", &t, &i, tail), 3) << line;
    EXPECT_STREQ(tail, "payload") << line;
    ++count;
  }
  EXPECT_EQ(count, 800);
}

}  // namespace
}  // namespace kelo::service::testing
