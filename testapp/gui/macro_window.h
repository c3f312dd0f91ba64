// frmMacro: the macro window. It shows the macro engine's lines and plays them back, timed
// (one line per tick of tmrMacroExecution) or one line at a time, with pause/continue, stop,
// clear, load and save. The engine keeps the lines and the current line; the window paces it.
//
// It is also the engine's list control (the list selection marks the next line to play) and
// its event pump for "F_Delay" lines, so the buttons stay usable during a delay.
#pragma once

#include <QWidget>
#include <memory>

#include "testapp/core/ui_seams.h"
#include "testapp/macro/macro_engine.h"

class QCheckBox;
class QComboBox;
class QListWidget;
class QPushButton;
class QTimer;

namespace kelo::testapp {

class frmMacro : public QWidget {
  Q_OBJECT
 public:
  // Binds itself to `engine` as its list view and event pump until destroyed.
  frmMacro(macro::clsMacroEngine& engine, FileDialogs& dialogs, MessageBoxes& boxes,
           QWidget* parent = nullptr);
  ~frmMacro() override;

  // The pause between timed lines: the number at the start of cbSpeed's text, 0 read as 1 ms.
  int PlaybackInterval() const;

  // Event handlers (public so that the buttons and tests share one path).
  void cmdExecuteMacro_Click();
  void cmdStep_Click();
  void cmdPause_Click();
  void cmdStop_Click();
  void cmdClear_Click();
  void cmdLoadMacro_Click();
  void cmdSaveMacro_Click();
  void lstMacroCode_DblClick();
  void tmrMacroExecution_Timer();

  QListWidget* lstMacroCode() const { return lstMacroCode_; }
  QPushButton* cmdPause() const { return cmdPause_; }
  QComboBox* cbSpeed() const { return cbSpeed_; }
  QCheckBox* chkStopOnError() const { return chkStopOnError_; }
  QTimer* tmrMacroExecution() const { return tmrMacroExecution_; }

 private:
  class ListView;
  // Processes events until one arrives or max_wait_ms pass (the "F_Delay" wait).
  void PumpEvents(uint32_t max_wait_ms);

  macro::clsMacroEngine& engine_;
  FileDialogs& dialogs_;
  MessageBoxes& boxes_;
  std::unique_ptr<ListView> list_view_;

  QListWidget* lstMacroCode_;
  QPushButton* cmdPause_;
  QComboBox* cbSpeed_;
  QCheckBox* chkStopOnError_;
  QTimer* tmrMacroExecution_;
  QTimer* tmrDelayForMacroCls_;
};

}  // namespace kelo::testapp
