// How the windows behave for a technician: a long error does not widen the main window, the
// "Log Window" button toggles the log, which opens at its newest line beside the command bar,
// the file dialogs name their filters once and save with the macro suffix, nothing is
// recorded before the device is used, and a macro's Open starts the refresh timer.
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <fstream>

#include "testapp/gui/log_window.h"
#include "testapp/gui/qt_ui_seams.h"
#include "testapp/gui/tests/gui_test_support.h"
#include "testapp/macro/macro_engine.h"

namespace kelo::testapp::testing {
namespace {

class WindowsTest : public GuiTest {
 protected:
  // The main window on the (offscreen) screen, laid out.
  void ShowMain() {
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }
  QRect GlobalRect(QWidget* w) { return {w->mapToGlobal(QPoint(0, 0)), w->size()}; }
};

TEST_F(WindowsTest, LongStatusErrorIsElidedAndDoesNotWidenTheWindow) {
  ShowMain();
  QApplication::processEvents();
  const int width = window_->width();
  Click(QStringLiteral("cmdOpen"));
  const std::string error =
      "Cannot read the picture /home/technician/" + std::string(400, 'p') + "/nftest.bmp";
  FailNextCall(114, 222, error);
  Click(QStringLiteral("cmdClaim"));
  QApplication::processEvents();
  auto* description = Find<QLabel>(QStringLiteral("lblErrorCodeDescription"));
  EXPECT_EQ(description->text().toStdString(), error);  // the whole text is kept
  EXPECT_EQ(description->toolTip().toStdString(), error);
  EXPECT_EQ(window_->width(), width);
  EXPECT_LT(window_->minimumSizeHint().width(), 1400);
}

TEST_F(WindowsTest, LogWindowButtonTogglesEvenWhenTheLogHidItselfOnThePress) {
  ShowMain();
  frmLog* log = window_->LogWindow();
  Click(QStringLiteral("cmdLogWindow"));
  EXPECT_TRUE(log->isVisible());
  Click(QStringLiteral("cmdLogWindow"));
  EXPECT_TRUE(log->isHidden());

  Click(QStringLiteral("cmdLogWindow"));
  ASSERT_TRUE(log->isVisible());
  // Pressing the button takes the focus from the log first, which then hides itself: the
  // click that follows must leave it hidden, not show it again.
  QEvent deactivated(QEvent::ActivationChange);
  QApplication::sendEvent(log, &deactivated);
  ASSERT_TRUE(log->isHidden());
  Click(QStringLiteral("cmdLogWindow"));
  EXPECT_TRUE(log->isHidden());
  Click(QStringLiteral("cmdLogWindow"));
  EXPECT_TRUE(log->isVisible());
}

TEST_F(WindowsTest, LogOpensAtItsNewestLineBesideTheCommandBar) {
  ShowMain();
  for (int i = 0; i < 300; ++i) window_->Log().AddToLog("line " + std::to_string(i));
  Click(QStringLiteral("cmdLogWindow"));
  frmLog* log = window_->LogWindow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(log));
  QScrollBar* bar = log->txtOposLog()->verticalScrollBar();
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_FALSE(
      log->frameGeometry().intersects(GlobalRect(Find<QWidget>(QStringLiteral("frmToolbar")))));
  EXPECT_FALSE(
      log->frameGeometry().intersects(GlobalRect(Find<QWidget>(QStringLiteral("frmApp")))));
}

TEST_F(WindowsTest, DialogFiltersNameTheirPatternsOnceAndAllFilesMeansEveryName) {
  EXPECT_EQ(QtNameFilter("Opos Test Macro Commands (*.oposcmd)|*.oposcmd|All files|*.*"),
            QStringLiteral("Opos Test Macro Commands (*.oposcmd);;All files (*)"));
  EXPECT_EQ(QtNameFilter("Pictures|*.gif;*.bmp|Log files|*.log"),
            QStringLiteral("Pictures (*.gif *.bmp);;Log files (*.log)"));
}

TEST_F(WindowsTest, SavingAMacroAddsTheSuffixOfTheChosenFilter) {
  QtFileDialogs dialogs;
  const QString folder = QString::fromStdString(dir_.string());
  auto answer = [folder](const QString& typed, bool all_files) {
    QTimer::singleShot(0, [=] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      dialog->setDirectory(folder);
      if (all_files) {  // chosen in the "Files of type" list, as a user does
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(types, nullptr);
        QTest::keyClick(types, Qt::Key_Down);
        ASSERT_EQ(types->currentIndex(), 1);
      }
      auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      ASSERT_NE(name, nullptr);
      name->setText(typed);
      QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
    });
  };
  const std::string filter = "Opos Test Macro Commands (*.oposcmd)|*.oposcmd|All files|*.*";
  answer(QStringLiteral("session"), false);
  EXPECT_EQ(dialogs.SaveFileDialog("Select the macro command file", filter, ""),
            (dir_ / "session.oposcmd").string());
  answer(QStringLiteral("session.txt"), false);
  EXPECT_EQ(dialogs.SaveFileDialog("Select the macro command file", filter, ""),
            (dir_ / "session.txt").string());
  // "All files" names no suffix: the name stays as typed.
  answer(QStringLiteral("README"), true);
  EXPECT_EQ(dialogs.SaveFileDialog("Select the macro command file", filter, ""),
            (dir_ / "README").string());
}

TEST_F(WindowsTest, NothingIsRecordedBeforeTheDeviceIsUsed) {
  // The fiscal panel's start-up total refresh, on the closed device.
  auto* refresh = Find<QTimer>(QStringLiteral("tmrUpdateReceiptTotal"));
  refresh->start(1);
  ASSERT_TRUE(WaitFor([&] { return !refresh->isActive(); }));
  EXPECT_EQ(window_->MacroEngine().count(), 0);
  for (const std::string& line : LogLines(window_->Log())) {
    EXPECT_EQ(line.find("     -> "), std::string::npos) << line;  // no call, failing or not
  }
}

TEST_F(WindowsTest, MacroOpenStartsTheRefreshTimerAndCloseStopsIt) {
  macro::clsMacroEngine& engine = window_->MacroEngine();
  engine.Construct();
  ASSERT_EQ(engine.AddCommand("F_Open$KeloFPU"), 0);
  ASSERT_EQ(engine.AddCommand("F_Close"), 0);
  engine.StartSavedMacro();
  ASSERT_EQ(engine.PlayLineMacro(), 0);
  EXPECT_TRUE(window_->tmrUpdateControls()->isActive());
  ASSERT_EQ(engine.PlayLineMacro(), 0);
  EXPECT_FALSE(window_->tmrUpdateControls()->isActive());
}

}  // namespace
}  // namespace kelo::testapp::testing
