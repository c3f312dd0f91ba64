// The main window: device session commands, status display, events, panels and log window.
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <fstream>
#include <thread>

#include <QTest>

#include "opos/opos_constants.h"
#include "testapp/gui/indicator.h"
#include "testapp/gui/log_window.h"
#include "testapp/gui/status_bar.h"
#include "testapp/gui/tests/gui_test_support.h"

namespace kelo::testapp::testing {
namespace {

bool Contains(const std::vector<std::string>& lines, const std::string& wanted) {
  return std::find(lines.begin(), lines.end(), wanted) != lines.end();
}

bool AnyStartsWith(const std::vector<std::string>& lines, const std::string& prefix) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

class MainWindowTest : public GuiTest {};

TEST_F(MainWindowTest, StartsWithTitleSettingsPanelAndGreenIndicators) {
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^KeloFPU OPOS driver Test V\\d+\\.\\d+\\.\\d+$"))
                  .match(window_->windowTitle())
                  .hasMatch())
      << window_->windowTitle().toStdString();
  EXPECT_TRUE(window_->IsPanelShown(QStringLiteral("frmSettings")));
  for (const char* form : {"frmFiscalTicket", "frmNonFiscal", "frmReports", "frmProperties",
                           "frmDirectIO", "frmAutoTests", "frmMacro"}) {
    EXPECT_FALSE(window_->IsPanelShown(QString::fromLatin1(form))) << form;
  }
  for (const char* name : {"shpPaperNearEmpty", "lblPaperNearEmpty", "shpPaperOut", "lblPaperOut",
                           "shpCoverOpen", "lblCoverOpen"}) {
    EXPECT_EQ(IndicatorColour(Find<QWidget>(QString::fromLatin1(name))), kColourGreen) << name;
  }
  EXPECT_TRUE(window_->LogWindow()->isHidden());
  EXPECT_FALSE(window_->tmrUpdateControls()->isActive());
  // Nothing touched the device at start-up.
  EXPECT_TRUE(TakeServiceCalls().empty());
}

TEST_F(MainWindowTest, PanelOptionsShowExactlyOnePanel) {
  Click(QStringLiteral("optMacro"));
  EXPECT_TRUE(window_->IsPanelShown(QStringLiteral("frmMacro")));
  EXPECT_FALSE(window_->IsPanelShown(QStringLiteral("frmSettings")));
  Click(QStringLiteral("optDirectIO"));
  EXPECT_TRUE(window_->IsPanelShown(QStringLiteral("frmDirectIO")));
  EXPECT_FALSE(window_->IsPanelShown(QStringLiteral("frmMacro")));
}

TEST_F(MainWindowTest, OpenClaimEnableStopsWhenOpenFails) {
  {
    std::lock_guard<std::mutex> lock(fake_->mutex);
    fake_->open_service_result = opos::OPOS_E_FAILURE;
  }
  Click(QStringLiteral("cmdOCE"));
  const auto log = LogLines(window_->Log());
  ASSERT_FALSE(log.empty());
  EXPECT_TRUE(AnyStartsWith(log, "Open(KeloFPU)     -> OposEFailure(111)  "));
  // The ResultCode read that decides to stop (its value is the closed control's).
  EXPECT_TRUE(AnyStartsWith(log, "ResultCode = ")) << window_->Log().Text();
  EXPECT_FALSE(Contains(log, "ResultCode = 0"));
  EXPECT_FALSE(AnyStartsWith(log, "ClaimDevice("));
  EXPECT_FALSE(AnyStartsWith(log, "DeviceEnabled :="));
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].rfind("ERRORS: OposEFailure(111)  (0)  ", 0), 0u) << boxes_.shown[0];
  EXPECT_EQ(Find<QLabel>(QStringLiteral("lblErrorCode"))->text(),
            QStringLiteral("OposEFailure(111)"));
  EXPECT_EQ(Find<QLabel>(QStringLiteral("lblOposState"))->text(),
            QStringLiteral("OPOS_S_CLOSED   (1)"));
  EXPECT_FALSE(window_->tmrUpdateControls()->isActive());
}

TEST_F(MainWindowTest, OpenClaimEnableStopsWhenClaimFails) {
  FailNextCall(opos::OPOS_E_EXTENDED, opos::OPOS_EFPTR_COVER_OPEN, "cover");
  Click(QStringLiteral("cmdOCE"));
  const auto log = LogLines(window_->Log());
  EXPECT_TRUE(Contains(log, "Open(KeloFPU)     -> OposSuccess(0)"));
  EXPECT_TRUE(Contains(log, "FreezeEvents := False     -> OposSuccess(0)"));
  EXPECT_TRUE(
      Contains(log, "ClaimDevice(2000)     -> OposEExtended(114)  OposEfptrCoverOpen(201)  cover"));
  EXPECT_TRUE(Contains(log, "ResultCode = 114"));
  EXPECT_FALSE(AnyStartsWith(log, "DeviceEnabled :="));
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0], "ERRORS: OposEExtended(114)  OposEfptrCoverOpen(201)  cover");
  EXPECT_EQ(Find<QLabel>(QStringLiteral("lblErrorCodeExt"))->text(),
            QStringLiteral("OposEfptrCoverOpen(201)"));
  // Open succeeded, so the refresh timer runs.
  EXPECT_TRUE(window_->tmrUpdateControls()->isActive());
}

TEST_F(MainWindowTest, OpenClaimEnableRunsAllThreeAndCloseStopsTheTimer) {
  SetNumber(opos::PIDX_PrinterState, 1);
  Click(QStringLiteral("cmdOCE"));
  auto log = LogLines(window_->Log());
  EXPECT_TRUE(Contains(log, "ClaimDevice(2000)     -> OposSuccess(0)"));
  EXPECT_TRUE(Contains(log, "DeviceEnabled := True     -> OposSuccess(0)"));
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_EQ(Find<QLabel>(QStringLiteral("lblErrorCode"))->text(), QStringLiteral("OposSuccess(0)"));
  EXPECT_EQ(Find<QLabel>(QStringLiteral("lblErrorCodeExt"))->text(), QStringLiteral("(0)"));
  EXPECT_EQ(Find<QLabel>(QStringLiteral("lblFPState"))->text(),
            QStringLiteral("FPTR_PS_MONITOR   (1)"));
  EXPECT_TRUE(window_->tmrUpdateControls()->isActive());

  // A second Open keeps the one timer running.
  Click(QStringLiteral("cmdOpen"));
  EXPECT_TRUE(window_->tmrUpdateControls()->isActive());

  window_->Log().Clear();
  Click(QStringLiteral("cmdClose"));
  EXPECT_FALSE(window_->tmrUpdateControls()->isActive());
  log = LogLines(window_->Log());
  ASSERT_EQ(log.size(), 1u);  // Close is not followed by a status refresh
  EXPECT_EQ(log[0], "Close()     -> OposSuccess(0)");
}

TEST_F(MainWindowTest, StatusUpdateCoverEventsColourTheCoverIndicator) {
  Click(QStringLiteral("cmdOpen"));
  window_->Log().Clear();
  auto* shape = Find<QWidget>(QStringLiteral("shpCoverOpen"));
  auto* label = Find<QWidget>(QStringLiteral("lblCoverOpen"));

  fake_->RaiseStatusUpdate(opos::FPTR_SUE_COVER_OPEN);
  ASSERT_TRUE(WaitFor([&] { return !LogLines(window_->Log()).empty(); }));
  EXPECT_EQ(LogLines(window_->Log()).back(), "StatusUpdateEvent(PtrSueCoverOpen)");
  EXPECT_EQ(IndicatorColour(label), kColourRed);
  EXPECT_EQ(IndicatorColour(shape), kColourGreen);  // the shape keeps its colour

  // Make the shape red by hand: cover OK must bring both back to green.
  SetIndicatorColour(shape, kColourRed);
  fake_->RaiseStatusUpdate(opos::FPTR_SUE_COVER_OK);
  ASSERT_TRUE(WaitFor([&] { return LogLines(window_->Log()).size() == 2; }));
  EXPECT_EQ(LogLines(window_->Log()).back(), "StatusUpdateEvent(PtrSueCoverOk)");
  EXPECT_EQ(IndicatorColour(label), kColourGreen);
  EXPECT_EQ(IndicatorColour(shape), kColourGreen);
}

TEST_F(MainWindowTest, StatusUpdatePaperEventsAndUnloggedValues) {
  Click(QStringLiteral("cmdOpen"));
  window_->Log().Clear();
  fake_->RaiseStatusUpdate(opos::FPTR_SUE_REC_EMPTY);
  fake_->RaiseStatusUpdate(opos::FPTR_SUE_REC_NEAREMPTY);
  fake_->RaiseStatusUpdate(4711);  // not a value the window knows: nothing is logged
  fake_->RaiseStatusUpdate(0);
  ASSERT_TRUE(WaitFor([&] { return LogLines(window_->Log()).size() == 3; }));
  QTest::qWait(20);
  EXPECT_EQ(
      LogLines(window_->Log()),
      (std::vector<std::string>{"StatusUpdateEvent(PtrSueRecEmpty)",
                                "StatusUpdateEvent(PtrSueRecNearempty)", "StatusUpdateEvent(0)"}));
  for (const char* name :
       {"shpPaperOut", "lblPaperOut", "shpPaperNearEmpty", "lblPaperNearEmpty"}) {
    EXPECT_EQ(IndicatorColour(Find<QWidget>(QString::fromLatin1(name))), kColourRed) << name;
  }
  fake_->RaiseStatusUpdate(opos::FPTR_SUE_REC_PAPEROK);
  ASSERT_TRUE(WaitFor([&] { return LogLines(window_->Log()).size() == 4; }));
  for (const char* name :
       {"shpPaperOut", "lblPaperOut", "shpPaperNearEmpty", "lblPaperNearEmpty"}) {
    EXPECT_EQ(IndicatorColour(Find<QWidget>(QString::fromLatin1(name))), kColourGreen) << name;
  }
}

TEST_F(MainWindowTest, ErrorEventAsksAndAnswersRetryOrClear) {
  Click(QStringLiteral("cmdOpen"));
  window_->Log().Clear();
  for (bool retry : {true, false}) {
    boxes_.retry = retry;
    std::atomic<bool> done{false};
    int32_t response = 0;
    // The service object waits for the answer, so it must raise from a thread of its own
    // while this thread runs the event loop.
    std::thread raiser([&] {
      response = fake_->RaiseError(opos::OPOS_E_EXTENDED, opos::OPOS_EFPTR_REC_EMPTY, 2,
                                   opos::OPOS_ER_CLEAR);
      done = true;
    });
    const bool finished = WaitFor([&] { return done.load(); });
    raiser.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(response, retry ? opos::OPOS_ER_RETRY : opos::OPOS_ER_CLEAR);
  }
  EXPECT_EQ(boxes_.asked, (std::vector<std::string>(
                              2, "OposErrorEvent(114 OposEExtended, 203 OposEfptrRecEmpty)")));
  EXPECT_EQ(LogLines(window_->Log()),
            (std::vector<std::string>{
                "ErrorEvent(114 OposEExtended, 203 OposEfptrRecEmpty)  Resp = 11",
                "ErrorEvent(114 OposEExtended, 203 OposEfptrRecEmpty)  Resp = 12"}));
}

TEST_F(MainWindowTest, OutputCompleteEventIsLogged) {
  Click(QStringLiteral("cmdOpen"));
  window_->Log().Clear();
  fake_->RaiseOutputComplete(42);
  ASSERT_TRUE(WaitFor([&] { return !LogLines(window_->Log()).empty(); }));
  EXPECT_EQ(LogLines(window_->Log()).back(), "OutputCompleteEvent(42)");
}

TEST_F(MainWindowTest, LogWindowTogglesAndFollowsTheLog) {
  frmLog* log_window = window_->LogWindow();
  auto* text = Find<QPlainTextEdit>(QStringLiteral("txtOposLog"), log_window);
  Click(QStringLiteral("cmdLogWindow"));
  EXPECT_FALSE(log_window->isHidden());
  Click(QStringLiteral("cmdResetPrinter"));  // closed device: logged failure and a box
  EXPECT_TRUE(
      text->toPlainText().contains(QStringLiteral("\nResetPrinter()     -> OposEClosed(101)")))
      << text->toPlainText().toStdString();
  EXPECT_EQ(boxes_.shown.size(), 1u);

  Click(QStringLiteral("cmdClearLog"), log_window);
  EXPECT_TRUE(text->toPlainText().isEmpty());
  EXPECT_TRUE(window_->Log().Text().empty());

  dialogs_.save_path = (dir_ / "out.log").string();
  window_->Log().AddToLog(
      "a\x1b"
      "b");
  Click(QStringLiteral("cmdSaveLog2File"), log_window);
  std::ifstream in(dialogs_.save_path, std::ios::binary);
  const std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(saved, "\"a[ESC]b\r\n\"\r\n");

  Click(QStringLiteral("cmdLogWindow"));
  EXPECT_TRUE(log_window->isHidden());
}

TEST_F(MainWindowTest, RefreshTimerCopiesReceiptOptionsWithoutWritingThemBack) {
  Click(QStringLiteral("cmdOpen"));
  SetNumber(opos::PIDX_DuplicateReceipt, 1);
  SetNumber(opos::PIDX_FlagWhenIdle, 0);
  QWidget* fiscal = window_->Panel(QStringLiteral("frmFiscalTicket"));
  auto* dup = Find<QCheckBox>(QStringLiteral("chkDupReceipt"), fiscal);
  auto* idle = Find<QCheckBox>(QStringLiteral("chkFlagWhenIdle"), fiscal);
  idle->setChecked(true);
  TakeServiceCalls();
  window_->tmrUpdateControls()->start(1);  // the 2 s period, shortened
  ASSERT_TRUE(WaitFor([&] { return dup->isChecked() && !idle->isChecked(); }));
  window_->tmrUpdateControls()->stop();
  for (const auto& call : TakeServiceCalls()) {
    EXPECT_EQ(call.rfind("SetProperty", 0), std::string::npos) << call;
  }
  // The reads are not logged either.
  EXPECT_FALSE(AnyStartsWith(LogLines(window_->Log()), "DuplicateReceipt"));
}

}  // namespace
}  // namespace kelo::testapp::testing
