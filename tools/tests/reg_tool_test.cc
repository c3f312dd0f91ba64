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
      {{"device", "A", "--port", "tcp:"},
       "--port \"tcp:\" is not tcp:HOST:PORT: no port number (HOST:PORT)"},
      {{"device", "A", "--port", "tcp:printer"},
       "--port \"tcp:printer\" is not tcp:HOST:PORT: no port number (HOST:PORT)"},
      {{"device", "A", "--port", "tcp::9100"},
       "--port \"tcp::9100\" is not tcp:HOST:PORT: no host"},
      {{"device", "A", "--port", "tcp:printer:0"},
       "--port \"tcp:printer:0\" is not tcp:HOST:PORT: the port \"0\" is not a number from 1 to "
       "65535"},
      {{"device", "A", "--port", "tcp:printer:65536"},
       "--port \"tcp:printer:65536\" is not tcp:HOST:PORT: the port \"65536\" is not a number "
       "from 1 to 65535"},
      {{"device", "A", "--port", "tcp:printer:91x"},
       "--port \"tcp:printer:91x\" is not tcp:HOST:PORT: the port \"91x\" is not a number from 1 "
       "to 65535"},
      {{"device", "A", "--port", "tcp:fe80::1:9100"},
       "--port \"tcp:fe80::1:9100\" is not tcp:HOST:PORT: an IPv6 address must be written in "
       "brackets ([ADDRESS]:PORT)"},
      {{"device", "A", "--port", "tcp:[::1]9100"},
       "--port \"tcp:[::1]9100\" is not tcp:HOST:PORT: a ':' and the port number must follow the "
       "IPv6 address"},
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

TEST(RegToolArgsTest, NetworkPortsNeedAHostAndAPort) {
  for (const std::string port :
       {"tcp:10.0.0.5:9100", "tcp:printer.shop.lan:4001", "tcp:[fe80::1]:1", "tcp:[::1]:65535"}) {
    RegToolArgs a;
    std::string error;
    ASSERT_TRUE(Parse({"device", "A", "--port", port}, &a, &error)) << port << ": " << error;
    ASSERT_EQ(a.values.size(), 1u);
    EXPECT_EQ(a.values[0].second, RegValue::String(port));
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

TEST(RegToolTest, DeviceKeyWarningsNameAMissingPortAndALineSpeedThePortCannotTake) {
  platform::RegKey key;
  key.Set("", RegValue::String("soKeloFPU.KeloFPU"));
  key.Set("BaudRate", RegValue::Dword(12345));
  std::vector<std::string> w = DeviceKeyWarnings(key);
  ASSERT_EQ(w.size(), 2u);
  EXPECT_NE(w[0].find("no port"), std::string::npos);
  EXPECT_NE(w[1].find("12345"), std::string::npos);
  key.Set("Port", RegValue::String("/dev/ttyUSB0"));
  key.Set("BaudRate", RegValue::Dword(19200));
  EXPECT_TRUE(DeviceKeyWarnings(key).empty());
  // A serial device server has no line speed of its own to set.
  key.Set("Port", RegValue::String("tcp:10.0.0.5:9100"));
  key.Set("BaudRate", RegValue::Dword(12345));
  EXPECT_TRUE(DeviceKeyWarnings(key).empty());
}

// What a package adds and takes back: unregister removes the classes served by its library
// (and their program identifiers), nothing registered to another library, no device key.
TEST(RegToolTest, UnregisterTakesBackOnlyTheClassesOfThatLibrary) {
  std::string tmpl = (std::filesystem::temp_directory_path() / "kelo-regtool-XXXXXX").string();
  std::string dir = ::mkdtemp(tmpl.data());
  platform::ConfigStore store(dir + "/registry.reg");
  std::string error;
  auto add_class = [](platform::RegistryData& d, const std::string& progid,
                      const std::string& clsid, const std::string& lib) {
    d.CreateKey("HKEY_CLASSES_ROOT\\" + progid + "\\CLSID").Set("", RegValue::String(clsid));
    d.CreateKey("HKEY_CLASSES_ROOT\\CLSID\\" + clsid + "\\InprocServer32")
        .Set("", RegValue::String(lib));
    d.CreateKey("HKEY_CLASSES_ROOT\\CLSID\\" + clsid + "\\ProgID")
        .Set("", RegValue::String(progid));
  };
  ASSERT_TRUE(store.Update(
      [&](platform::RegistryData& d) {
        add_class(d, "soKeloFPU.KeloFPU", "{1}", "/loaded/from/root/libsoKeloFpu.so");
        add_class(d, "Other.Thing", "{2}", "/opt/other/libother.so");
        d.CreateKey(DeviceKeyPath("KeloFPU")).Set("Port", RegValue::String("/dev/ttyUSB0"));
      },
      &error))
      << error;
  // --root: the path the library was loaded from is recorded as its installed path.
  ASSERT_TRUE(RecordServerPath(store, "/loaded/from/root/libsoKeloFpu.so",
                               "/usr/lib/kelofpu/libsoKeloFpu.so", &error));
  RegToolArgs a;
  ASSERT_TRUE(
      ParseRegToolArgs({"class", "sokelofpu.kelofpu", "--registry", store.file()}, &a, &error));
  std::ostringstream out, err;
  EXPECT_EQ(RunClass(a, out, err), kExitOk) << err.str();
  EXPECT_EQ(out.str(), "/usr/lib/kelofpu/libsoKeloFpu.so\n");

  ASSERT_TRUE(ParseRegToolArgs(
      {"unregister", "/usr/lib/kelofpu/libsoKeloFpu.so", "--registry", store.file()}, &a, &error));
  EXPECT_EQ(RunUnregister(a, out, err), kExitOk) << err.str();
  platform::RegistryData d;
  ASSERT_TRUE(store.Load(&d, &error));
  EXPECT_EQ(d.FindKey("HKEY_CLASSES_ROOT\\soKeloFPU.KeloFPU\\CLSID"), nullptr);
  EXPECT_EQ(d.FindKey("HKEY_CLASSES_ROOT\\CLSID\\{1}\\InprocServer32"), nullptr);
  EXPECT_EQ(d.FindKey("HKEY_CLASSES_ROOT\\CLSID\\{1}\\ProgID"), nullptr);
  EXPECT_NE(d.FindKey("HKEY_CLASSES_ROOT\\Other.Thing\\CLSID"), nullptr);
  EXPECT_NE(d.FindKey("HKEY_CLASSES_ROOT\\CLSID\\{2}\\InprocServer32"), nullptr);
  EXPECT_NE(d.FindKey(DeviceKeyPath("KeloFPU")), nullptr);
  std::ostringstream none;
  EXPECT_EQ(
      RunClass({RegToolArgs::Command::Class, "soKeloFPU.KeloFPU", store.file(), ""}, none, err),
      kExitFailed);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kelo::tools
