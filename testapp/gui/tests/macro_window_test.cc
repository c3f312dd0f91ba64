// The macro window's playback state machine: timed playback, step, pause/continue, stop,
// clear, stop-on-error and double-click to choose the next line.
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cctype>

#include "opos/opos_constants.h"
#include "testapp/gui/macro_window.h"
#include "testapp/gui/tests/gui_test_support.h"
#include "testapp/macro/macro_engine.h"

namespace kelo::testapp::testing {
namespace {

class MacroWindowTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    Click(QStringLiteral("optMacro"));
    macro_ = Find<frmMacro>(QStringLiteral("frmMacro"));
    ASSERT_NE(macro_, nullptr);
  }

  macro::clsMacroEngine& Engine() { return window_->MacroEngine(); }

  // Opens the fake device (recorded as a macro line like any wrapper call), then replaces the
  // macro with `lines`.
  void OpenAndLoad(const std::vector<std::string>& lines) {
    Click(QStringLiteral("cmdOpen"));
    Engine().Construct();
    for (const auto& line : lines) ASSERT_EQ(Engine().AddCommand(line), 0);
    window_->Log().Clear();
    TakeServiceCalls();
  }

  // The service methods the playback called, without the property traffic.
  std::vector<std::string> MethodCalls() {
    std::vector<std::string> methods;
    for (const auto& call : TakeServiceCalls()) {
      if (call.rfind("GetProperty", 0) != 0 && call.rfind("SetProperty", 0) != 0) {
        std::string name = call.substr(0, call.find('('));
        // Service method names start in lower case ("printXReport"); the test names the
        // FiscalPrinter methods.
        if (!name.empty()) name[0] = static_cast<char>(std::toupper(name[0]));
        methods.push_back(name);
      }
    }
    return methods;
  }

  frmMacro* macro_ = nullptr;
};

TEST_F(MacroWindowTest, RecordsWrapperCallsIntoTheList) {
  Click(QStringLiteral("cmdOpen"));
  Click(QStringLiteral("cmdClaim"));
  QListWidget* list = macro_->lstMacroCode();
  ASSERT_EQ(list->count(), 3);
  EXPECT_EQ(list->item(0)->text(), QStringLiteral("F_Open$KeloFPU"));
  EXPECT_EQ(list->item(1)->text(), QStringLiteral("P_FreezeEvents$False"));
  EXPECT_EQ(list->item(2)->text(), QStringLiteral("F_ClaimDevice$2000"));
  Click(QStringLiteral("cmdClear"), macro_);
  EXPECT_EQ(list->count(), 0);
  EXPECT_EQ(Engine().count(), 0);
}

TEST_F(MacroWindowTest, SpeedZeroPlaysEveryLineOneMillisecondApart) {
  OpenAndLoad({"F_ClearError", "F_PrintXReport", "F_ClearOutput"});
  ASSERT_EQ(macro_->cbSpeed()->currentText(), QStringLiteral("0"));
  Click(QStringLiteral("cmdExecuteMacro"), macro_);
  EXPECT_EQ(macro_->tmrMacroExecution()->interval(), 1);
  EXPECT_TRUE(macro_->tmrMacroExecution()->isActive());
  EXPECT_TRUE(macro_->cmdPause()->isEnabled());
  ASSERT_TRUE(WaitFor([&] { return !Engine().IsRunningMacro(); }));
  EXPECT_FALSE(macro_->tmrMacroExecution()->isActive());
  EXPECT_EQ(MethodCalls(), (std::vector<std::string>{"ClearError", "PrintXReport", "ClearOutput"}));
  // The end of the macro leaves Pause as it was.
  EXPECT_EQ(macro_->cmdPause()->text(), QStringLiteral("Pause"));
  EXPECT_TRUE(macro_->cmdPause()->isEnabled());
  // Playback is not recorded again.
  EXPECT_EQ(Engine().count(), 3);

  macro_->cbSpeed()->setCurrentText(QStringLiteral("500"));
  EXPECT_EQ(macro_->PlaybackInterval(), 500);
}

TEST_F(MacroWindowTest, StopOnErrorPausesAndContinuePlaysTheNextLine) {
  // The second line fails (a device name the program does not open gives 111).
  OpenAndLoad({"F_ClearError", "F_Open$Nobody", "F_PrintZReport", "F_ClearOutput"});
  macro_->chkStopOnError()->setChecked(true);
  Click(QStringLiteral("cmdExecuteMacro"), macro_);
  ASSERT_TRUE(WaitFor([&] { return !boxes_.shown.empty(); }));
  EXPECT_EQ(boxes_.shown, (std::vector<std::string>{"Error ... execution paused"}));
  EXPECT_EQ(macro_->cmdPause()->text(), QStringLiteral("Continue"));
  EXPECT_FALSE(macro_->tmrMacroExecution()->isActive());
  EXPECT_EQ(Engine().current_line(), 2);  // the failing line was played; the next waits
  QTest::qWait(30);
  EXPECT_EQ(Engine().current_line(), 2);  // paused means paused

  Click(QStringLiteral("cmdPause"), macro_);  // Continue
  EXPECT_EQ(macro_->cmdPause()->text(), QStringLiteral("Pause"));
  ASSERT_TRUE(WaitFor([&] { return !Engine().IsRunningMacro(); }));
  EXPECT_EQ(MethodCalls(), (std::vector<std::string>{"ClearError", "PrintZReport", "ClearOutput"}));
  EXPECT_EQ(boxes_.shown.size(), 1u);
}

TEST_F(MacroWindowTest, StopLeavesTheEngineIdleAndStepThenFails) {
  OpenAndLoad({"F_ClearError", "F_Delay$200", "F_PrintXReport"});
  macro_->cbSpeed()->setCurrentText(QStringLiteral("10"));
  Click(QStringLiteral("cmdExecuteMacro"), macro_);
  ASSERT_TRUE(WaitFor([&] { return Engine().current_line() >= 1; }));
  Click(QStringLiteral("cmdStop"), macro_);
  EXPECT_FALSE(Engine().IsRunningMacro());
  EXPECT_FALSE(macro_->tmrMacroExecution()->isActive());
  EXPECT_FALSE(macro_->cmdPause()->isEnabled());
  QTest::qWait(300);
  EXPECT_EQ(MethodCalls(), (std::vector<std::string>{"ClearError"}));

  // Recording works again after Stop.
  Click(QStringLiteral("cmdClaim"));
  EXPECT_EQ(Engine().count(), 4);

  // Step plays nothing while idle; with "Stop on error" the result 111 is reported.
  TakeServiceCalls();
  Click(QStringLiteral("cmdStep"), macro_);
  EXPECT_TRUE(MethodCalls().empty());
  EXPECT_TRUE(boxes_.shown.empty());
  macro_->chkStopOnError()->setChecked(true);
  Click(QStringLiteral("cmdStep"), macro_);
  EXPECT_EQ(boxes_.shown, (std::vector<std::string>{"Error ... execution paused"}));
}

TEST_F(MacroWindowTest, DoubleClickedLineIsTheNextStep) {
  OpenAndLoad({"F_ClearError", "F_PrintXReport", "F_ClearOutput"});
  window_->show();
  QListWidget* list = macro_->lstMacroCode();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  const QRect rect = list->visualItemRect(list->item(2));
  ASSERT_TRUE(rect.isValid());
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
  EXPECT_TRUE(Engine().IsRunningMacro());
  EXPECT_EQ(Engine().current_line(), 2);
  EXPECT_FALSE(macro_->tmrMacroExecution()->isActive());  // stepping, not playing

  Click(QStringLiteral("cmdStep"), macro_);
  EXPECT_EQ(MethodCalls(), (std::vector<std::string>{"ClearOutput"}));
  EXPECT_FALSE(Engine().IsRunningMacro());  // that was the last line
  EXPECT_EQ(list->currentRow(), -1);
}

TEST_F(MacroWindowTest, PauseDuringADelayHolds) {
  OpenAndLoad({"F_Delay$150", "F_PrintXReport"});
  // Pressed while the first line waits in its delay: the window must stay usable, and the
  // pause must still hold when the delay ends.
  QTimer::singleShot(50, macro_, [this] { macro_->cmdPause()->click(); });
  Click(QStringLiteral("cmdExecuteMacro"), macro_);
  ASSERT_TRUE(WaitFor([&] {
    return macro_->cmdPause()->text() == QStringLiteral("Continue") && Engine().current_line() == 1;
  }));
  QTest::qWait(100);
  EXPECT_TRUE(MethodCalls().empty());
  EXPECT_TRUE(Engine().IsRunningMacro());
  EXPECT_FALSE(macro_->tmrMacroExecution()->isActive());
  Click(QStringLiteral("cmdPause"), macro_);
  ASSERT_TRUE(WaitFor([&] { return !Engine().IsRunningMacro(); }));
  EXPECT_EQ(MethodCalls(), (std::vector<std::string>{"PrintXReport"}));
}

TEST_F(MacroWindowTest, LoadAndSaveGoThroughTheDialogs) {
  OpenAndLoad({"F_ClearError", "F_PrintXReport"});
  dialogs_.save_path = (dir_ / "m.oposcmd").string();
  Click(QStringLiteral("cmdSaveMacro"), macro_);
  Click(QStringLiteral("cmdClear"), macro_);
  EXPECT_EQ(macro_->lstMacroCode()->count(), 0);
  dialogs_.open_path = dialogs_.save_path;
  Click(QStringLiteral("cmdLoadMacro"), macro_);
  ASSERT_EQ(macro_->lstMacroCode()->count(), 2);
  EXPECT_EQ(macro_->lstMacroCode()->item(1)->text(), QStringLiteral("F_PrintXReport"));
  EXPECT_EQ(dialogs_.titles, (std::vector<std::string>(2, "Select the macro command file")));
}

}  // namespace
}  // namespace kelo::testapp::testing
