#include "platform/registry/config_store.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace kelo::platform {
namespace {

namespace fs = std::filesystem;

constexpr char kDeviceKey[] =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\FiscalPrinter\\KeloFPU";

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "kelo-reg-XXXXXX").string();
    path_ = ::mkdtemp(tmpl.data());
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string File(const std::string& name) const { return (fs::path(path_) / name).string(); }

 private:
  std::string path_;
};

std::string ReadAll(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteAll(const std::string& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

bool ParseError(std::string_view text, std::string* error) {
  RegistryData d;
  bool ok = d.Parse(text, error);
  if (!ok) {
    EXPECT_TRUE(d.keys().empty()) << "a failed parse must leave nothing behind";
  }
  return !ok;
}

TEST(RegistryDataTest, ParsesTheExportFormatWithTypesEscapesAndComments) {
  std::string text =
      "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
      "\r\n"
      "; installed by the setup\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\FiscalPrinter\\KeloFPU]\r\n"
      "@=\"soKeloFPU.KeloFPU\"\r\n"
      "\"Port\"=\"/dev/ttyUSB0\"\r\n"
      "\"BaudRate\"=dword:00004b00\r\n"
      "\"LogPath\"=\"C:\\\\Logs\\\\ \\\"x\\\"\"\r\n"
      "\"Short\"=dword:1F\r\n"
      "\r\n"
      "[HKEY_CLASSES_ROOT\\soKeloFPU.KeloFPU\\CLSID]\n"
      "@=\"{1234}\"\n";
  RegistryData d;
  std::string error;
  ASSERT_TRUE(d.Parse(text, &error)) << error;
  ASSERT_EQ(d.keys().size(), 2u);
  const RegKey* k = d.FindKey(kDeviceKey);
  ASSERT_NE(k, nullptr);
  EXPECT_EQ(*k->Find(""), RegValue::String("soKeloFPU.KeloFPU"));
  EXPECT_EQ(*k->Find("Port"), RegValue::String("/dev/ttyUSB0"));
  EXPECT_EQ(*k->Find("BaudRate"), RegValue::Dword(19200));
  EXPECT_EQ(*k->Find("LogPath"), RegValue::String("C:\\Logs\\ \"x\""));
  EXPECT_EQ(*k->Find("Short"), RegValue::Dword(0x1F));
  EXPECT_EQ(d.FindKey("hkey_classes_root\\SOKELOFPU.kelofpu\\clsid")->Find("")->text, "{1234}");
}

TEST(RegistryDataTest, LookupsIgnoreAsciiCaseAndSetKeepsTheFirstSpelling) {
  RegistryData d;
  RegKey& k = d.CreateKey("HKEY_LOCAL_MACHINE\\Software\\X");
  EXPECT_EQ(&d.CreateKey("hkey_local_machine\\SOFTWARE\\x"), &k);
  k.Set("BaudRate", RegValue::Dword(9600));
  k.Set("BAUDRATE", RegValue::String("fast"));
  ASSERT_EQ(k.values.size(), 1u);
  EXPECT_EQ(k.values[0].first, "BaudRate");
  EXPECT_EQ(*k.Find("baudrate"), RegValue::String("fast"));
  EXPECT_TRUE(k.Erase("BAUDrate"));
  EXPECT_FALSE(k.Erase("BaudRate"));
  EXPECT_TRUE(d.DeleteKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\X"));
  EXPECT_EQ(d.FindKey("HKEY_LOCAL_MACHINE\\Software\\X"), nullptr);
}

TEST(RegistryDataTest, SerializeRoundTripsEveryValue) {
  RegistryData d;
  RegKey& k = d.CreateKey(kDeviceKey);
  k.Set("", RegValue::String("soKeloFPU.KeloFPU"));
  k.Set("Quote\"And\\Slash", RegValue::String("a \"b\" \\c\\ \xC3\xA8"));
  k.Set("Max", RegValue::Dword(0xFFFFFFFF));
  k.Set("Zero", RegValue::Dword(0));
  k.Set("Empty", RegValue::String(""));
  const auto values = k.values;  // k dangles once the next key is added
  d.CreateKey("HKEY_CLASSES_ROOT\\Empty");
  std::string text = d.Serialize();
  EXPECT_NE(text.find("\"Max\"=dword:ffffffff\n"), std::string::npos) << text;
  EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n\n", 0), 0u);
  RegistryData back;
  std::string error;
  ASSERT_TRUE(back.Parse(text, &error)) << error;
  ASSERT_EQ(back.keys().size(), 2u);
  EXPECT_EQ(back.keys()[0].path, kDeviceKey);
  EXPECT_EQ(back.keys()[0].values, values);
  EXPECT_TRUE(back.keys()[1].values.empty());
  EXPECT_EQ(back.Serialize(), text);
}

TEST(RegistryDataTest, RepeatedSectionsMerge) {
  RegistryData d;
  std::string error;
  ASSERT_TRUE(
      d.Parse("Windows Registry Editor Version 5.00\n[A]\n\"x\"=dword:1\n[B]\n[a]\n"
              "\"X\"=dword:2\n\"y\"=\"t\"\n",
              &error))
      << error;
  ASSERT_EQ(d.keys().size(), 2u);
  EXPECT_EQ(d.keys()[0].path, "A");
  EXPECT_EQ(*d.keys()[0].Find("x"), RegValue::Dword(2));
  EXPECT_EQ(d.keys()[0].values.size(), 2u);
}

TEST(RegistryDataTest, EmptyTextIsAnEmptyStore) {
  RegistryData d;
  std::string error;
  EXPECT_TRUE(d.Parse("", &error));
  EXPECT_TRUE(d.Parse("\xEF\xBB\xBF\r\n", &error));
  EXPECT_TRUE(d.keys().empty());
}

TEST(RegistryDataTest, MalformedLinesNameTheLine) {
  const char* h = "Windows Registry Editor Version 5.00\n";
  struct Case {
    std::string text;
    std::string message;
  } cases[] = {
      {"REGEDIT4\n[A]\n", "line 1: expected \"Windows Registry Editor Version 5.00\""},
      {std::string(h) + "\"x\"=\"y\"\n", "line 2: value before the first [key] line"},
      {std::string(h) + "[A]\n\"x\"=dword:123456789\n",
       "line 3: dword value has more than 8 hex digits"},
      {std::string(h) + "[A]\n\"x\"=dword:\n", "line 3: dword value without hex digits"},
      {std::string(h) + "[A]\n\"x\"=dword:12g\n",
       "line 3: dword value has a character that is not a hex digit"},
      {std::string(h) + "[A]\n\n\"x\"=\"abc\n", "line 4: missing closing '\"'"},
      {std::string(h) + "[A]\n\"x\"=\"a\\nb\"\n", "line 3: unknown escape '\\n'"},
      {std::string(h) + "[A]\n\"x\"=\"ab\" junk\n",
       "line 3: unexpected text after the closing '\"'"},
      {std::string(h) + "[A]\n\"x\"\n", "line 3: expected '=' after the value name"},
      {std::string(h) + "[A]\nx=\"1\"\n", "line 3: expected [key], \"name\"=value or @=value"},
      {std::string(h) + "[A\n", "line 2: key line without closing ']'"},
      {std::string(h) + "[]\n", "line 2: empty key path"},
      {std::string(h) + "[-A]\n", "line 2: key deletion entries are not supported"},
      {std::string(h) + "[A]\n\"x\"=hex:01,02\n",
       "line 3: unsupported value type (only strings and dwords are stored)"},
      {std::string(h) + "[A]\n\"x\"=-\n", "line 3: value deletion entries are not supported"},
      {std::string(h) + "[A]\n\"x\"=12\n", "line 3: expected a quoted text or dword:XXXXXXXX"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_TRUE(ParseError(c.text, &error)) << c.text;
    EXPECT_EQ(error, c.message) << c.text;
  }
}

TEST(ConfigStoreTest, DefaultFileFollowsTheEnvironment) {
  const char* old = std::getenv("OPOS_REGISTRY");
  std::string saved = old ? old : "";
  ::setenv("OPOS_REGISTRY", "/tmp/x.reg", 1);
  EXPECT_EQ(ConfigStore::DefaultFile(), "/tmp/x.reg");
  EXPECT_EQ(ConfigStore().file(), "/tmp/x.reg");
  ::setenv("OPOS_REGISTRY", "", 1);
  EXPECT_EQ(ConfigStore::DefaultFile(), "/etc/opos/registry.reg");
  ::unsetenv("OPOS_REGISTRY");
  EXPECT_EQ(ConfigStore::DefaultFile(), "/etc/opos/registry.reg");
  EXPECT_EQ(ConfigStore("/a/b.reg").file(), "/a/b.reg");
  if (old) ::setenv("OPOS_REGISTRY", saved.c_str(), 1);
}

TEST(ConfigStoreTest, MissingFileIsAnEmptyStore) {
  TempDir dir;
  ConfigStore store(dir.File("none/registry.reg"));
  RegistryData d;
  std::string error;
  EXPECT_TRUE(store.Load(&d, &error)) << error;
  EXPECT_TRUE(d.keys().empty());
  EXPECT_FALSE(store.KeyExists(kDeviceKey, &error));
  EXPECT_EQ(error, "");
  EXPECT_FALSE(store.Read(kDeviceKey, "Port").has_value());
  EXPECT_FALSE(fs::exists(dir.File("none"))) << "reading must not create anything";
}

TEST(ConfigStoreTest, UpdateCreatesTheFileAndReadsSeeIt) {
  TempDir dir;
  ConfigStore store(dir.File("etc/opos/registry.reg"));
  std::string error;
  ASSERT_TRUE(store.Update(
      [](RegistryData& d) {
        RegKey& k = d.CreateKey(kDeviceKey);
        k.Set("", RegValue::String("soKeloFPU.KeloFPU"));
        k.Set("BaudRate", RegValue::Dword(19200));
      },
      &error))
      << error;
  EXPECT_EQ(ReadAll(store.file()),
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\FiscalPrinter\\KeloFPU]\n"
            "@=\"soKeloFPU.KeloFPU\"\n"
            "\"BaudRate\"=dword:00004b00\n\n");
  EXPECT_TRUE(
      store.KeyExists("hkey_local_machine\\software\\oleforretail\\serviceopos\\"
                      "fiscalprinter\\kelofpu"));
  EXPECT_EQ(store.Read(kDeviceKey, "baudrate"), RegValue::Dword(19200));
  EXPECT_FALSE(store.Read(kDeviceKey, "Port").has_value());
  for (const auto& e : fs::directory_iterator(dir.File("etc/opos"))) {
    std::string name = e.path().filename().string();
    EXPECT_TRUE(name == "registry.reg" || name == "registry.reg.lock") << "left behind: " << name;
  }
}

TEST(ConfigStoreTest, MalformedFileIsReportedAndNeverOverwritten) {
  TempDir dir;
  std::string file = dir.File("r.reg");
  std::string bad = "Windows Registry Editor Version 5.00\n[A]\n\"x\"=dword:zz\n";
  WriteAll(file, bad);
  ConfigStore store(file);
  std::string error;
  EXPECT_FALSE(store.Read("A", "x", &error).has_value());
  EXPECT_EQ(error, file + ": line 3: dword value has a character that is not a hex digit");
  bool edited = false;
  EXPECT_FALSE(store.Update([&](RegistryData&) { edited = true; }, &error));
  EXPECT_FALSE(edited);
  EXPECT_EQ(ReadAll(file), bad);
}

TEST(ConfigStoreTest, UpdateRefusesWhatTheFormatCannotCarry) {
  TempDir dir;
  ConfigStore store(dir.File("r.reg"));
  std::string error;
  ASSERT_TRUE(
      store.Update([](RegistryData& d) { d.CreateKey("A").Set("x", RegValue::Dword(1)); }, &error));
  std::string before = ReadAll(store.file());
  EXPECT_FALSE(store.Update(
      [](RegistryData& d) { d.CreateKey("A").Set("Port", RegValue::String("a\nb")); }, &error));
  EXPECT_NE(error.find("cannot store the change"), std::string::npos) << error;
  EXPECT_FALSE(store.Update([](RegistryData& d) { d.CreateKey(""); }, &error));
  EXPECT_EQ(ReadAll(store.file()), before);
}

// Writers of different values must not lose each other's changes, whether they are threads
// of one process or separate processes.
TEST(ConfigStoreTest, ConcurrentWritersLoseNothing) {
  TempDir dir;
  std::string file = dir.File("r.reg");
  constexpr int kRounds = 40;
  auto writer = [&](const std::string& name) {
    ConfigStore store(file);
    for (int i = 1; i <= kRounds; ++i) {
      std::string error;
      bool ok = store.Update(
          [&](RegistryData& d) {
            RegKey& k = d.CreateKey(kDeviceKey);
            const RegValue* v = k.Find(name);
            uint32_t n = v ? v->dword : 0;
            k.Set(name, RegValue::Dword(n + 1));
          },
          &error);
      if (!ok) return false;
    }
    return true;
  };
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(writer("Child") ? 0 : 1);
  bool a = false, b = false;
  std::thread t1([&] { a = writer("ThreadA"); });
  std::thread t2([&] { b = writer("ThreadB"); });
  // A reader running meanwhile always sees a whole file.
  for (int i = 0; i < 50; ++i) {
    std::string error;
    RegistryData d;
    EXPECT_TRUE(ConfigStore(file).Load(&d, &error)) << error;
  }
  t1.join();
  t2.join();
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(a && b);
  ConfigStore store(file);
  EXPECT_EQ(store.Read(kDeviceKey, "ThreadA"), RegValue::Dword(kRounds));
  EXPECT_EQ(store.Read(kDeviceKey, "ThreadB"), RegValue::Dword(kRounds));
  EXPECT_EQ(store.Read(kDeviceKey, "Child"), RegValue::Dword(kRounds));
}

}  // namespace
}  // namespace kelo::platform
