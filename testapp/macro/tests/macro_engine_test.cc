#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "testapp/macro/macro_engine.h"
#include "testapp/tests/fake_printer.h"

namespace kelo::macro {
namespace {

class RecordingList : public MacroListView {
 public:
  void Clear() override { items.clear(); }
  void Add(const std::string& line) override { items.push_back(line); }
  void Select(int index) override { selected = index; }
  std::vector<std::string> items;
  int selected = -2;
};

class MacroEngineTest : public ::testing::Test {
 protected:
  MacroEngineTest() : wrapper(*fake.printer, log), engine(wrapper, log, boxes, clock) {
    wrapper.SetRecorder(&engine);
    engine.SetListView(&list);
    engine.Construct();
  }

  void Record(std::initializer_list<std::string> lines) {
    for (const auto& l : lines) ASSERT_EQ(engine.AddCommand(l), 0);
  }
  // Plays the whole macro; returns the results line by line.
  std::vector<int32_t> PlayAll() {
    std::vector<int32_t> results;
    engine.StartSavedMacro();
    while (engine.IsRunningMacro()) results.push_back(engine.PlayLineMacro());
    return results;
  }
  void Open() {
    ASSERT_EQ(fake.printer->Open("KeloFPU"), 0);
    fake.state->TakeCalls();
  }
  std::string LastLogLine() {
    const std::string text = log.Text();
    if (text.size() < 2) return "";
    const size_t start = text.rfind("\r\n", text.size() - 3);
    return text.substr(start == std::string::npos ? 0 : start + 2,
                       text.size() - 2 - (start == std::string::npos ? 0 : start + 2));
  }

  testapp::testing::FakePrinter fake;
  testapp::LogModel log;
  testapp::SilentMessageBoxes boxes;
  platform::FakeClock clock;
  testapp::clsFprtWrapper wrapper;
  clsMacroEngine engine;
  RecordingList list;
};

TEST_F(MacroEngineTest, EmptyMacroShowsOneUnknownCommandAndEnds) {
  EXPECT_EQ(PlayAll(), std::vector<int32_t>{0});
  EXPECT_EQ(boxes.shown, std::vector<std::string>{"Unknown command "});
  EXPECT_FALSE(engine.IsRunningMacro());
  EXPECT_EQ(engine.PlayLineMacro(), 111);  // idle
}

TEST_F(MacroEngineTest, UnknownKeywordsIncludingSetTrailerLine) {
  Record({"F_Bogus$1", "F_SetTrailerLine$1$Bye$False", "f_close"});
  EXPECT_EQ(PlayAll(), (std::vector<int32_t>{0, 0, 0}));
  EXPECT_EQ(boxes.shown, (std::vector<std::string>{"Unknown command F_Bogus$1",
                                                   "Unknown command F_SetTrailerLine$1$Bye$False",
                                                   "Unknown command f_close"}));
  EXPECT_TRUE(fake.MethodCalls().empty());
}

TEST_F(MacroEngineTest, OpenOnlyTheAcceptedDeviceNames) {
  Record({"F_Open$Other", "F_Open$VantrixEj"});
  EXPECT_EQ(PlayAll(), (std::vector<int32_t>{111, 0}));
  auto calls = fake.MethodCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0], "OpenService(FiscalPrinter, VantrixEj, <dispatch>)");
  EXPECT_NE(log.Text().find("F_Open of device \"Other\" not done"), std::string::npos);

  engine.SetAcceptedDeviceNames({"Other"});
  engine.Construct();
  Record({"F_Close", "F_Open$Other"});
  EXPECT_EQ(fake.printer->Close(), 0);
  EXPECT_EQ(PlayAll(), (std::vector<int32_t>{101, 109}));  // Other has no device key
}

TEST_F(MacroEngineTest, DeviceEnabledTakesWordsAndNumbers) {
  Open();
  Record({"P_DeviceEnabled$True", "P_DeviceEnabled$1", "P_DeviceEnabled$false",
          "P_DeviceEnabled$maybe"});
  EXPECT_EQ(PlayAll(), (std::vector<int32_t>{0, 0, 0, 111}));
  EXPECT_EQ(fake.MethodCalls(),
            (std::vector<std::string>{"SetPropertyNumber(3, 1)", "SetPropertyNumber(3, 1)",
                                      "SetPropertyNumber(3, 0)"}));
  EXPECT_EQ(LastLogLine(),
            "Macro: line not executed, \"maybe\" is neither True, False nor a number: "
            "P_DeviceEnabled$maybe");
}

TEST_F(MacroEngineTest, RecordedLinesPlayBackAsTheyWereCalled) {
  Open();
  wrapper.PrintRecItem("Articolo test", control::Currency(10000), 1, 0, control::Currency(0), "");
  wrapper.BeginFiscalReceipt(true);
  wrapper.PrintRecMessage("\x1b|2CBig\r\n");
  wrapper.SetAsyncMode(true);
  wrapper.SetHeaderLine(1, "Head", true);
  int32_t command = 1000, data = 0;
  (void)data;
  std::array<int32_t, 11> dio{};
  dio[3] = 4;
  std::string text = "x";
  wrapper.DirectIO(command, dio, text);
  ASSERT_EQ(engine.lines(),
            (std::vector<std::string>{
                "F_PrintRecItem$Articolo test$1.00$1$0$0.00$", "F_BeginFiscalReceipt$True",
                "F_PrintRecMessage$[ESC]|2CBig[CR][LF]", "P_AsyncMode$True",
                "F_SetHeaderLine$1$Head$True", "F_DirectIO$1000$0$0$0$4$0$0$0$0$0$0$0$x"}));
  EXPECT_EQ(list.items, engine.lines());
  const auto recorded = fake.MethodCalls();

  const size_t before = engine.lines().size();
  EXPECT_EQ(PlayAll(), (std::vector<int32_t>{0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(engine.lines().size(), before);  // playback is not recorded again
  EXPECT_EQ(fake.MethodCalls(), recorded);   // the same calls with the same arguments
  EXPECT_EQ(recorded[0], "printRecItem(Articolo test, 10000, 1, 0, 0, )");
  EXPECT_EQ(recorded[2], "printRecMessage(\x1b|2CBig\r\n)");
}

TEST_F(MacroEngineTest, AddCommandWhileRunningIsRefused) {
  Record({"F_GetDate", "F_GetTotalizer$1$2"});
  engine.StartSavedMacro();
  EXPECT_EQ(engine.AddCommand("F_Close"), 1);
  EXPECT_EQ(list.items.size(), 2u);
  EXPECT_EQ(engine.PlayLineMacro(), 0);
  EXPECT_EQ(list.selected, 1);
  EXPECT_EQ(engine.PlayLineMacro(), 0);
  EXPECT_EQ(list.selected, -1);
  EXPECT_TRUE(fake.MethodCalls().empty());  // F_GetDate and F_GetTotalizer do nothing
  EXPECT_EQ(engine.AddCommand("F_Close"), 0);
}

TEST_F(MacroEngineTest, FlagsNumbersAndBadFields) {
  Open();
  Record({"F_BeginFiscalReceipt$false", "F_EndFiscalReceipt$2", "F_ClaimDevice$ 1 500ms",
          "F_ClaimDevice$99999999999", "P_ContractorId$12", "P_ContractorId$1x",
          "P_ChangeDue$1.5abc", "F_PrintRecTotal$1,50$abc$cash"});
  std::string many = "F_Close";
  for (int i = 0; i < 101; ++i) many += "$";
  Record({many});
  EXPECT_EQ(PlayAll(), (std::vector<int32_t>{0, 0, 0, 111, 0, 111, 0, 0, 111}));
  EXPECT_EQ(fake.MethodCalls(),
            (std::vector<std::string>{"beginFiscalReceipt(False)", "endFiscalReceipt(True)",
                                      "ClaimDevice(1500)", "SetPropertyNumber(16031, 12)",
                                      "SetPropertyString(1016006, 1.5)",
                                      "printRecTotal(15000, 0, cash)"}));
  EXPECT_EQ(boxes.shown, std::vector<std::string>{"Bad Format for abc...returning 0"});
  EXPECT_NE(log.Text().find("it has 102 fields (at most 101)"), std::string::npos);
}

TEST_F(MacroEngineTest, DelayWaitsOnTheClockWhileThePumpRuns) {
  uint32_t pumped = 0;
  engine.SetEventPump([&](uint32_t max_ms) {
    pumped += max_ms;
    clock.Advance(max_ms);
  });
  Record({"F_Delay$1500", "F_Delay$0", "F_Delay$-5", "F_Delay$70000", "F_Delay$abc"});
  const uint32_t start = clock.TickMs();
  EXPECT_EQ(PlayAll(), (std::vector<int32_t>{0, 0, 111, 111, 0}));
  EXPECT_EQ(clock.TickMs() - start, 1500u);
  EXPECT_EQ(pumped, 1500u);
  EXPECT_NE(log.Text().find("F_Delay of 70000 ms not done (1 to 65535 ms)"), std::string::npos);
}

TEST_F(MacroEngineTest, StopDuringADelayReallyStops) {
  Record({"F_Delay$1000", "F_Close"});
  engine.SetEventPump([&](uint32_t max_ms) {
    clock.Advance(max_ms);
    // The window's buttons stay usable: a nested step is refused, Stop ends the wait.
    EXPECT_EQ(engine.PlayLineMacro(), 113);
    engine.StopMacro();
  });
  engine.StartSavedMacro();
  EXPECT_EQ(engine.PlayLineMacro(), 0);
  EXPECT_FALSE(engine.IsRunningMacro());
  EXPECT_LT(clock.TickMs(), 1000u);
  EXPECT_TRUE(fake.MethodCalls().empty());
}

TEST_F(MacroEngineTest, SetLineMacroChoosesTheNextLine) {
  Open();
  Record({"F_PrintXReport", "F_PrintZReport", "F_ResetPrinter"});
  engine.SetLineMacro(1);
  EXPECT_TRUE(engine.IsRunningMacro());
  EXPECT_EQ(engine.PlayLineMacro(), 0);
  EXPECT_EQ(engine.current_line(), 2);
  EXPECT_EQ(fake.MethodCalls(), std::vector<std::string>{"printZReport()"});
  engine.SetLineMacro(500);  // past the end: plays as an empty line, then idle
  EXPECT_EQ(engine.PlayLineMacro(), 0);
  EXPECT_FALSE(engine.IsRunningMacro());
}

std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST_F(MacroEngineTest, SaveAndLoadRoundTrip) {
  const auto file = fake.dir / "macro.oposcmd";
  EXPECT_EQ(engine.SaveToFile(file.string()), 0);
  EXPECT_EQ(ReadFile(file), "");  // an empty macro saves an empty file
  Record({"F_Open$KeloFPU", "", "F_PrintRecMessage$[ESC]|2Cx", "P_AsyncMode$True"});
  EXPECT_EQ(engine.SaveToFile(file.string()), 0);
  EXPECT_EQ(ReadFile(file),
            "F_Open$KeloFPU\r\n\r\nF_PrintRecMessage$[ESC]|2Cx\r\nP_AsyncMode$True\r\n");
  const auto saved = engine.lines();
  engine.Construct();
  EXPECT_EQ(engine.LoadFromFile(file.string()), 0);
  EXPECT_EQ(engine.lines(), saved);
  EXPECT_EQ(list.items, saved);
  EXPECT_EQ(list.selected, 0);
  EXPECT_EQ(engine.SaveToFile(""), 111);
  EXPECT_EQ(engine.SaveToFile((fake.dir / "no" / "x").string()), 111);

  // Unreadable and oversized files keep the current macro.
  EXPECT_EQ(engine.LoadFromFile((fake.dir / "missing.oposcmd").string()), 111);
  EXPECT_EQ(engine.lines(), saved);
  EXPECT_EQ(engine.LoadFromFile(fake.dir.string()), 111);
  EXPECT_EQ(engine.lines(), saved);
  {
    std::ofstream big(fake.dir / "big.oposcmd", std::ios::binary);
    for (int i = 0; i < 10002; ++i) big << "F_Close\r\n";
  }
  EXPECT_EQ(engine.LoadFromFile((fake.dir / "big.oposcmd").string()), 111);
  EXPECT_EQ(engine.lines(), saved);
  EXPECT_NE(log.Text().find("was not loaded: more than 10001 lines"), std::string::npos);
  // A device without end and a file beyond the longest macro are refused before reading.
  EXPECT_EQ(engine.LoadFromFile("/dev/zero"), 111);
  EXPECT_NE(log.Text().find("/dev/zero: it is not a regular file"), std::string::npos);
  {
    std::ofstream huge(fake.dir / "huge.oposcmd", std::ios::binary);
    huge.seekp(static_cast<std::streamoff>(kMaxMacroFileBytes));
    huge << 'x';  // sparse: nothing of that size is written or read
  }
  EXPECT_EQ(engine.LoadFromFile((fake.dir / "huge.oposcmd").string()), 111);
  EXPECT_NE(log.Text().find("larger than the longest macro"), std::string::npos);
  EXPECT_EQ(engine.lines(), saved);

  EXPECT_EQ(engine.LoadFromFile(""), 111);
  EXPECT_EQ(engine.count(), 0);
}

TEST_F(MacroEngineTest, RecordingStopsAtTheLineLimit) {
  for (int i = 0; i < 10001; ++i) ASSERT_EQ(engine.AddCommand("F_Close"), 0);
  EXPECT_EQ(engine.AddCommand("F_Close"), 2);
  EXPECT_EQ(engine.count(), 10001);
  EXPECT_NE(LastLogLine().find("the macro is full (10001 lines)"), std::string::npos);
}

}  // namespace
}  // namespace kelo::macro
