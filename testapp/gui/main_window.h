// MDITestFPOPOS: the main window of KeloFPUTest. It hosts the one FiscalPrinter control
// object, creates the wrapper and the macro engine, and arranges the header band (frmApp),
// the command bar (frmToolbar), the eight exchangeable panels, the status bar and the log
// window. It runs the device session commands, shows the status after each of them, handles
// the control object's events and refreshes two fiscal-panel boxes every two seconds.
//
// Every control carries its control name as objectName ("cmdOpen", "lblOposState", ...).
#pragma once

#include <QMainWindow>
#include <QMap>
#include <memory>
#include <string>

#include "control/fiscal_printer.h"
#include "testapp/core/auto_tests.h"
#include "testapp/core/device_session.h"
#include "testapp/core/fprt_wrapper.h"
#include "testapp/core/log_model.h"
#include "testapp/core/ui_seams.h"
#include "testapp/gui/panel_host.h"

class QAbstractButton;
class QButtonGroup;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QTimer;

namespace kelo::macro {
class clsMacroEngine;
}

namespace kelo::testapp {

class frmLOGO;
class frmLog;
class frmStatusBar;

class MDITestFPOPOS : public QMainWindow, public PanelHost {
  Q_OBJECT
 public:
  // The control object must outlive the window; its event handlers are installed here and
  // removed by the destructor. Its dispatcher must run handlers on the GUI thread
  // (MakeGuiEventDispatcher), since they touch widgets.
  MDITestFPOPOS(control::FiscalPrinter& control, MessageBoxes& boxes, FileDialogs& dialogs,
                QWidget* parent = nullptr);
  ~MDITestFPOPOS() override;

  // ---- PanelHost ----
  clsFprtWrapper& Wrapper() override { return *wrapper_; }
  MessageBoxes& Boxes() override { return boxes_; }
  FileDialogs& Dialogs() override { return dialogs_; }
  void UpdateStatus() override;
  QWidget* Panel(const QString& form_name) const override;
  QString DeviceName() const override;

  LogModel& Log() { return log_; }
  macro::clsMacroEngine& MacroEngine() { return *macro_; }
  frmLog* LogWindow() const { return log_window_; }
  frmStatusBar* StatusBarForm() const { return status_bar_; }
  frmLOGO* LogoForm() const { return logo_; }
  QTimer* tmrUpdateControls() const { return tmr_update_controls_; }

  DeviceSession& Session() { return *session_; }
  // The escape prefixes built at start-up: ESC "|2C" (double width), "|3C" (double height),
  // "|5C" (half height) and "|6C" (framed).
  const EscapePrefixes& Prefixes() const override { return escape_prefixes_; }

  // ---- Command bar and header band ----
  void cmdOpen_Click();
  void cmdClaim_Click();
  void cmdEnable_Click();
  void cmdDisable_Click();
  void cmdRelease_Click();
  void cmdClose_Click();
  void cmdOCE_Click();
  void cmdDRC_Click();
  void cmdLogWindow_Click();
  void cmdEscSequences_Click();
  void cmdResetPrinter_Click();

  // Hides the eight panels; ShowPanel then makes one visible.
  void HideAllPanels();
  void ShowPanel(const QString& form_name);
  // True when the panel's child window is not hidden.
  bool IsPanelShown(const QString& form_name) const;

  // ---- Events of the hosted control (run on the GUI thread) ----
  void OnErrorEvent(int32_t result_code, int32_t result_code_extended, int32_t error_locus,
                    int32_t& error_response);
  void OnOutputCompleteEvent(int32_t output_id);
  void OnStatusUpdateEvent(int32_t data);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QWidget* BuildHeaderBand();
  QWidget* BuildToolbar();
  void BuildPanels();
  void AddPanel(QWidget* panel, QAbstractButton* option);
  void FillVatList(const QString& form_name, const char* list_name);
  void RefillListsAfterEnable();
  void PaintStatus(const StatusTexts& texts);
  void tmrUpdateControls_Timer();

  control::FiscalPrinter& control_;
  MessageBoxes& boxes_;
  FileDialogs& dialogs_;
  LogModel log_;
  std::unique_ptr<clsFprtWrapper> wrapper_;
  std::unique_ptr<macro::clsMacroEngine> macro_;
  std::unique_ptr<DeviceSession> session_;
  EscapePrefixes escape_prefixes_;

  frmLOGO* logo_ = nullptr;
  frmLog* log_window_ = nullptr;
  frmStatusBar* status_bar_ = nullptr;
  QLabel* lblOposState_ = nullptr;
  QLabel* lblFPState_ = nullptr;
  QMdiArea* mdi_area_ = nullptr;
  QButtonGroup* panel_options_ = nullptr;
  QTimer* tmr_update_controls_ = nullptr;
  bool log_window_placed_ = false;
  // Panel form name -> its child window in the MDI area.
  QMap<QString, QMdiSubWindow*> panels_;
  // Panel form name -> its option button in the command bar.
  QMap<QString, QAbstractButton*> options_;
  // The panel forms in the order HideAllPanels hides them.
  QStringList panel_order_;
};

}  // namespace kelo::testapp
