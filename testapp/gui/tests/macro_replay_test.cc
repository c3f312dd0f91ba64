// A macro recorded by clicking through a receipt in the windows plays back without windows
// (the headless runner) against the printer simulator and gives the same log. Runs the real
// service object library and the in-process simulator, so it exercises the whole recording
// and playback path: buttons -> wrapper -> macro lines -> file -> engine -> wrapper.
#include <unistd.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/automation/loader.h"
#include "platform/registry/config_store.h"
#include "simulator/simulator.h"
#include "testapp/gui/gui_event_dispatcher.h"
#include "testapp/gui/tests/gui_test_support.h"
#include "testapp/headless/headless_runner.h"

namespace kelo::testapp::testing {
namespace {

constexpr const char* kDeviceKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\FiscalPrinter\\KeloFPU";

// The lines that come from calls, "Name(args)     -> Result(code)" and "Name := value     ->
// Result(code)": exactly what a macro records and plays back, so both logs must agree on them
// byte for byte. Left out: event lines (StatusUpdateEvent and the like are raised by the
// service object's polling, so how many arrive and where they fall differs from run to run),
// and the property reads "Name = value" that the window's status refresh and panel timers
// make on their own pace; neither is recorded in a macro.
bool IsCallLine(const std::string& line) {
  return line.find("     -> ") != std::string::npos && line.find("Event") == std::string::npos;
}

std::vector<std::string> CallLines(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  std::copy_if(lines.begin(), lines.end(), std::back_inserter(out), IsCallLine);
  return out;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& l : lines) text += l + "\n";
  return text;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class MacroReplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("kelo_gui_replay_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    std::string error;
    ASSERT_TRUE(sim_.Start(&error)) << error;

    registry_ = (dir_ / "registry.reg").string();
    setenv("OPOS_REGISTRY", registry_.c_str(), 1);
    const auto registered = automation::RegisterServer(KELO_SO_KELO_FPU_PATH);
    ASSERT_EQ(registered.hr, automation::S_OK) << registered.error;
    ASSERT_TRUE(platform::ConfigStore(registry_).Update(
        [&](platform::RegistryData& data) {
          auto& key = data.CreateKey(kDeviceKey);
          key.Set("", platform::RegValue::String("soKeloFPU.KeloFPU"));
          key.Set("Port", platform::RegValue::String(sim_.slave_path()));
        },
        &error))
        << error;

    dispatcher_ = MakeGuiEventDispatcher();
    control::FiscalPrinterOptions options;
    options.registry_file = registry_;
    options.dispatcher = dispatcher_;
    control_ = std::make_unique<control::FiscalPrinter>(options);
    window_ = std::make_unique<MDITestFPOPOS>(*control_, boxes_, dialogs_);
    window_->show();
  }

  void TearDown() override {
    window_.reset();
    if (dispatcher_) dispatcher_->Shutdown();
    control_.reset();
    sim_.Stop();
    unsetenv("OPOS_REGISTRY");
    std::filesystem::remove_all(dir_);
  }

  void Click(const QString& name, QWidget* root = nullptr) {
    auto* b = (root ? root : window_.get())->findChild<QAbstractButton*>(name);
    ASSERT_NE(b, nullptr) << name.toStdString();
    // A real click (press and release on the button), as a user gives it.
    QTest::mouseClick(b, Qt::LeftButton);
  }

  std::filesystem::path dir_;
  std::string registry_;
  sim::Simulator sim_;
  RecordingBoxes boxes_;
  ScriptedDialogs dialogs_;
  std::shared_ptr<control::QueuedDispatcher> dispatcher_;
  std::unique_ptr<control::FiscalPrinter> control_;
  std::unique_ptr<MDITestFPOPOS> window_;
};

TEST_F(MacroReplayTest, RecordedReceiptPlaysBackHeadlessWithTheSameLog) {
  QWidget* macro = window_->Panel(QStringLiteral("frmMacro"));
  QWidget* fiscal = window_->Panel(QStringLiteral("frmFiscalTicket"));
  ASSERT_NE(macro, nullptr);
  ASSERT_NE(fiscal, nullptr);

  // Recording starts from an empty macro. The whole session is recorded, Open to Close, so
  // the file plays back on its own without windows.
  Click(QStringLiteral("optMacro"));
  Click(QStringLiteral("cmdClear"), macro);
  const size_t log_mark = LogLines(window_->Log()).size();
  const size_t paper_mark = sim_.PaperMark();

  Click(QStringLiteral("cmdOpen"));
  Click(QStringLiteral("cmdClaim"));
  Click(QStringLiteral("cmdEnable"));
  ASSERT_TRUE(boxes_.shown.empty()) << boxes_.shown[0] << "\n" << window_->Log().Text();

  Click(QStringLiteral("optFiscal"));
  fiscal->findChild<QLineEdit*>(QStringLiteral("txtItemQty"))->setText(QStringLiteral("1"));
  Click(QStringLiteral("cmdBeginFiscalReceipt"), fiscal);
  Click(QStringLiteral("cmdPrintRecItem"), fiscal);
  Click(QStringLiteral("cmdPrintRecItem"), fiscal);
  auto* total = fiscal->findChild<QLineEdit*>(QStringLiteral("txtTicketTotal"));
  ASSERT_TRUE(WaitFor([&] { return total->text() != QStringLiteral("0"); }, 5000))
      << window_->Log().Text();
  Click(QStringLiteral("cmdPrintRecTotal"), fiscal);
  Click(QStringLiteral("cmdEndFiscalReceipt"), fiscal);
  EXPECT_TRUE(boxes_.shown.empty()) << boxes_.shown[0] << "\n" << window_->Log().Text();

  Click(QStringLiteral("cmdDisable"));
  Click(QStringLiteral("cmdRelease"));
  Click(QStringLiteral("cmdClose"));
  ASSERT_EQ(control_->State(), 1) << window_->Log().Text();

  const std::string macro_file = (dir_ / "receipt.oposcmd").string();
  dialogs_.save_path = macro_file;
  Click(QStringLiteral("optMacro"));
  Click(QStringLiteral("cmdSaveMacro"), macro);
  ASSERT_TRUE(std::filesystem::exists(macro_file));

  const std::vector<std::string> all = LogLines(window_->Log());
  const std::vector<std::string> window_lines =
      CallLines({all.begin() + static_cast<std::ptrdiff_t>(log_mark), all.end()});
  ASSERT_FALSE(window_lines.empty());
  const std::vector<std::string> window_paper = sim_.PaperSince(paper_mark);

  // Playback on the same printer, now that the window's session has closed the port.
  HeadlessOptions options;
  options.mode = HeadlessOptions::Mode::Play;
  options.file = macro_file;
  options.log_file = (dir_ / "headless.log").string();
  options.registry_file = registry_;
  const size_t replay_mark = sim_.PaperMark();
  std::ostringstream out, err;
  const int status = RunHeadless(options, out, err);
  std::ifstream in(options.log_file);
  std::vector<std::string> headless;
  for (std::string line; std::getline(in, line);) headless.push_back(line);

  EXPECT_EQ(status, 0) << err.str() << Joined(headless);
  EXPECT_EQ(Joined(CallLines(headless)), Joined(window_lines));

  // The paper shows two receipts with the same items: equal line for line except the
  // receipt number (the printer's clock stands still, so the date line matches too).
  auto without_number = [](std::vector<std::string> lines) {
    std::erase_if(lines,
                  [](const std::string& l) { return l.find(" No. 0") != std::string::npos; });
    return Joined(lines);
  };
  const std::vector<std::string> replay_paper = sim_.PaperSince(replay_mark);
  const std::string first = Joined(window_paper);
  EXPECT_EQ(Count(first, "Articolo test1"), 1u) << first;
  EXPECT_EQ(Count(first, "Articolo test2"), 1u) << first;
  EXPECT_EQ(Count(first, "TOTAL EUR"), 1u) << first;
  ASSERT_FALSE(replay_paper.empty());
  EXPECT_EQ(without_number(replay_paper), without_number(window_paper));
  // ... and the number did move on: the second is a receipt of its own.
  EXPECT_NE(Joined(replay_paper), first);
}

}  // namespace
}  // namespace kelo::testapp::testing
