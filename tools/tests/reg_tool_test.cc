#include "tools/reg_tool.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <sstream>

namespace kelo::tools {
namespace {

using platform::RegValue;

bool Parse(std::vector<std::string> args, RegToolArgs* out, std::string* error) {
  return ParseRegToolArgs(args, out, error);
}

TEST(RegToolArgsTest, DeviceOptionsGetTheTypesTheServiceReads) {
  RegToolArgs a;
  std::string error;
  ASSERT_TRUE(Parse(
      {"device", "KeloFPU", "--port", "/dev/pts/3", "--baud=9600", "--polling-time", "0",
       "--polling-after-sync", "50", "--polling-after-async", "4294967295", "--log-enabled", "1",
       "--log-path", "/var/log/kelofpu/", "--registry", "/tmp/r.reg", "--baud", "115200"},
      &a, &error))
      << error;
  EXPECT_EQ(a.command, RegToolArgs::Command::Device);
  EXPECT_EQ(a.target, "KeloFPU");
  EXPECT_EQ(a.registry, "/tmp/r.reg");
  std::vector<std::pair<std::string, RegValue>> want = {
      {"Port", RegValue::String("/dev/pts/3")},
      {"PollingTime", RegValue::Dword(0)},
      {"PollingTimeAfterSyncCmd", RegValue::Dword(50)},
      {"PollingTimeAfterAsyncQueue", RegValue::Dword(4294967295u)},
      {"LogEnabled", RegValue::Dword(1)},
      {"LogPath", RegValue::String("/var/log/kelofpu/")},
      {"BaudRate", RegValue::Dword(115200)},  // the repeated option wins
  };
  EXPECT_EQ(a.values, want);
}

TEST(RegToolArgsTest, OtherCommands) {
  RegToolArgs a;
  std::string error;
  ASSERT_TRUE(Parse({"register", "./libsoKeloFpu.so", "--registry", "x.reg"}, &a, &error));
  EXPECT_EQ(a.command, RegToolArgs::Command::Register);
  EXPECT_EQ(a.target, "./libsoKeloFpu.so");
  EXPECT_EQ(a.registry, "x.reg");
  ASSERT_TRUE(Parse({"show", "--registry=y.reg", "KeloFPU"}, &a, &error));
  EXPECT_EQ(a.command, RegToolArgs::Command::Show);
  EXPECT_EQ(a.target, "KeloFPU");
  EXPECT_EQ(a.registry, "y.reg");
  ASSERT_TRUE(Parse({"--help"}, &a, &error));
  EXPECT_EQ(a.command, RegToolArgs::Command::Help);
}

TEST(RegToolArgsTest, BadArgumentsAreRefusedWithAReason) {
  struct Case {
    std::vector<std::string> args;
    std::string error;
  } cases[] = {
      {{}, "no command given"},
      {{"install"}, "unknown command \"install\""},
      {{"device"}, "no device name given"},
      {{"register"}, "no library given"},
      {{"device", "A", "B"}, "unexpected argument \"B\""},
      {{"device", "A", "--baud"}, "--baud needs a value"},
      {{"device", "A", "--baud", "fast"},
       "--baud needs a decimal number from 0 to 4294967295, not \"fast\""},
      {{"device", "A", "--baud", "4294967296"},
       "--baud needs a decimal number from 0 to 4294967295, not \"4294967296\""},
      {{"device", "A", "--baud", "-1"},
       "--baud needs a decimal number from 0 to 4294967295, not \"-1\""},
      {{"device", "A", "--baud", "0"}, "--baud must not be 0"},
      {{"device", "A", "--log-enabled", "2"}, "--log-enabled must be 0 or 1"},
      {{"device", "A", "--port", ""}, "--port needs a port name"},
      {{"device", "A", "--log-path", std::string(260, 'x')},
       "--log-path must be one line of at most 259 characters"},
      {{"device", "A", "--speed", "1"}, "unknown option \"--speed\" for device"},
      {{"show", "A", "--port", "COM1"}, "unknown option \"--port\" for show"},
      {{"device", "A\\B"}, "invalid device name \"A\\B\""},
      {{"device", "A", "--registry", ""}, "--registry needs a file name"},
  };
  for (const Case& c : cases) {
    RegToolArgs a;
    std::string error;
    EXPECT_FALSE(ParseRegToolArgs(c.args, &a, &error)) << c.error;
    EXPECT_EQ(error, c.error);
  }
}

TEST(RegToolTest, DeviceCreatesThenEditsTheKeyAndShowPrintsIt) {
  std::string tmpl = (std::filesystem::temp_directory_path() / "kelo-regtool-XXXXXX").string();
  std::string dir = ::mkdtemp(tmpl.data());
  std::string file = dir + "/registry.reg";
  RegToolArgs a;
  std::string error;
  ASSERT_TRUE(ParseRegToolArgs({"device", "KeloFPU", "--port", "/dev/pts/3", "--registry", file},
                               &a, &error));
  std::ostringstream out, err;
  EXPECT_EQ(RunDevice(a, out, err), kExitOk) << err.str();
  ASSERT_TRUE(
      ParseRegToolArgs({"device", "kelofpu", "--baud", "9600", "--registry", file}, &a, &error));
  EXPECT_EQ(RunDevice(a, out, err), kExitOk) << err.str();
  EXPECT_NE(out.str().find("updated "), std::string::npos);

  ASSERT_TRUE(ParseRegToolArgs({"show", "KELOFPU", "--registry", file}, &a, &error));
  std::ostringstream shown;
  EXPECT_EQ(RunShow(a, shown, err), kExitOk);
  EXPECT_EQ(shown.str(),
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\FiscalPrinter\\KeloFPU]\n"
            "@=\"soKeloFPU.KeloFPU\"\n"
            "\"Port\"=\"/dev/pts/3\"\n"
            "\"BaudRate\"=dword:00002580\n\n");

  ASSERT_TRUE(ParseRegToolArgs({"show", "Other", "--registry", file}, &a, &error));
  std::ostringstream none, none_err;
  EXPECT_EQ(RunShow(a, none, none_err), kExitFailed);
  EXPECT_EQ(none.str(), "");
  EXPECT_NE(none_err.str().find("no key "), std::string::npos);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kelo::tools
