// frmLog: the log window ("Opos Test Log Form"). It shows the test application's log
// (testapp/core/log_model.h) in a read-only text box and offers Clear, Hide and SaveLog2File.
// Like the original it hides itself whenever it loses the focus. Each time it is shown it
// scrolls to the newest line.
#pragma once

#include <QElapsedTimer>
#include <QWidget>

#include "testapp/core/log_model.h"
#include "testapp/core/ui_seams.h"

class QPlainTextEdit;

namespace kelo::testapp {

class frmLog : public QWidget {
  Q_OBJECT
 public:
  // The window follows `log` from now on (it takes the model's line and clear listeners)
  // until it is destroyed.
  frmLog(LogModel& log, FileDialogs& dialogs, MessageBoxes& boxes, QWidget* parent = nullptr);
  ~frmLog() override;

  QPlainTextEdit* txtOposLog() const { return txtOposLog_; }

  // True once when the window hid itself on losing the focus a moment ago (within a
  // double-click interval); the answer is used up. A press on the main window's "Log Window"
  // button takes the focus first, so the button asks this to know that the log was showing
  // when it was pressed.
  bool TakeHidOnFocusLossJustNow();

 protected:
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void AppendLine(const QString& line);

  LogModel& log_;
  FileDialogs& dialogs_;
  MessageBoxes& boxes_;
  QPlainTextEdit* txtOposLog_;
  QElapsedTimer hidden_on_focus_loss_;  // started when the window last hid itself
};

}  // namespace kelo::testapp
