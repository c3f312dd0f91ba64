#include "testapp/gui/main_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "testapp/core/log_text.h"
#include "testapp/core/name_tables.h"
#include "testapp/gui/esc_sequences_dialog.h"
#include "testapp/gui/log_window.h"
#include "testapp/gui/logo_form.h"
#include "testapp/gui/panels.h"
#include "testapp/gui/status_bar.h"
#include "testapp/macro/macro_engine.h"

namespace kelo::testapp {

namespace {

// The command bar's panel options: option name, panel form, caption.
struct PanelOption {
  const char* option;
  const char* form;
  const char* caption;
};
constexpr PanelOption kPanelOptions[] = {
    {"optSettings", "frmSettings", "Settings"},
    {"optFiscal", "frmFiscalTicket", "Fiscal Receipt"},
    {"optNonFiscal", "frmNonFiscal", "Non-Fiscal Rcpt"},
    {"optReports", "frmReports", "Reports"},
    {"optProps", "frmProperties", "Properties"},
    {"optDirectIO", "frmDirectIO", "DirectIO"},
    {"optAutoTests", "frmAutoTests", "AutoTests"},
    {"optMacro", "frmMacro", "Macro"},
};

QPushButton* NewButton(const char* name, const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  return button;
}

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

MDITestFPOPOS::MDITestFPOPOS(control::FiscalPrinter& control, MessageBoxes& boxes,
                             FileDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), control_(control), boxes_(boxes), dialogs_(dialogs) {
  setObjectName(QStringLiteral("MDITestFPOPOS"));

  // 1. The wrapper and the macro engine.
  wrapper_ = std::make_unique<clsFprtWrapper>(control_, log_);
  macro_ = std::make_unique<macro::clsMacroEngine>(*wrapper_, log_, boxes_);
  wrapper_->SetRecorder(macro_.get());
  macro_->Construct();

  // 2. The escape prefixes used by the canned tests.
  const std::string esc(1, '\x1b');
  escape_prefixes_ = EscapePrefixes{esc + "|2C", esc + "|3C", esc + "|5C", esc + "|6C"};

  // 3. Title and icon from the customisation form, which also names the device.
  logo_ = new frmLOGO(this);
  session_ = std::make_unique<DeviceSession>(*wrapper_, boxes_, DeviceName().toStdString());
  session_->SetHooks(DeviceSession::Hooks{
      .open_succeeded =
          [this] {
            // Enabling an enabled timer changes nothing: a second Open starts no second one.
            if (!tmr_update_controls_->isActive()) tmr_update_controls_->start();
          },
      .closing = [this] { tmr_update_controls_->stop(); },
      .enabled = [this] { RefillListsAfterEnable(); },
      .status = [this](const StatusTexts& texts) { PaintStatus(texts); },
  });
  setWindowTitle(QStringLiteral("%1 V%2.%3.%4")
                     .arg(logo_->lblCaption()->text())
                     .arg(KELO_VERSION_MAJOR)
                     .arg(KELO_VERSION_MINOR)
                     .arg(KELO_VERSION_PATCH));
  setWindowIcon(logo_->windowIcon());

  // 4. The log window, hidden.
  log_window_ = new frmLog(log_, dialogs_, boxes_, this);
  log_window_->hide();

  // 5. Header band across the top, command bar at the left, panels to its right, status bar
  //    along the bottom.
  auto* central = new QWidget(this);
  auto* rows = new QVBoxLayout(central);
  rows->setContentsMargins(4, 4, 4, 4);
  rows->addWidget(BuildHeaderBand());
  auto* middle = new QHBoxLayout();
  middle->addWidget(BuildToolbar());
  mdi_area_ = new QMdiArea(central);
  mdi_area_->setObjectName(QStringLiteral("mdiArea"));
  middle->addWidget(mdi_area_, 1);
  rows->addLayout(middle, 1);
  status_bar_ = new frmStatusBar(central);
  rows->addWidget(status_bar_);
  setCentralWidget(central);
  BuildPanels();
  resize(1100, 760);

  tmr_update_controls_ = new QTimer(this);
  tmr_update_controls_->setObjectName(QStringLiteral("tmrUpdateControls"));
  tmr_update_controls_->setInterval(2000);
  connect(tmr_update_controls_, &QTimer::timeout, this, &MDITestFPOPOS::tmrUpdateControls_Timer);
  // Open and Close reach the device from the buttons and from macro lines alike: the timer
  // follows every successful Open and stops with every Close.
  wrapper_->SetResultObserver([this](const std::string& member, int32_t result) {
    if (member == "WOpen" && result == 0 && !tmr_update_controls_->isActive()) {
      tmr_update_controls_->start();
    } else if (member == "WClose") {
      tmr_update_controls_->stop();
    }
  });

  // Events of the hosted control. They arrive on this thread (the control object's
  // dispatcher queues them here); the guard drops any that are still queued after the window
  // has gone.
  QPointer<MDITestFPOPOS> self(this);
  control_.SetErrorHandler([self](int32_t rc, int32_t ext, int32_t locus, int32_t& response) {
    if (self) self->OnErrorEvent(rc, ext, locus, response);
  });
  control_.SetOutputCompleteHandler([self](int32_t id) {
    if (self) self->OnOutputCompleteEvent(id);
  });
  control_.SetStatusUpdateHandler([self](int32_t data) {
    if (self) self->OnStatusUpdateEvent(data);
  });

  // 6. The settings panel is the one shown at start-up.
  if (auto* settings = findChild<QAbstractButton*>(QStringLiteral("optSettings"))) {
    settings->setChecked(true);
  }
}

MDITestFPOPOS::~MDITestFPOPOS() {
  control_.SetErrorHandler({});
  control_.SetOutputCompleteHandler({});
  control_.SetStatusUpdateHandler({});
  // The panels and the log window use the wrapper and the log; they go first.
  delete log_window_;
  log_window_ = nullptr;
  for (QMdiSubWindow* window : panels_) delete window;
  panels_.clear();
  wrapper_->SetRecorder(nullptr);
  wrapper_->SetResultObserver({});
}

QWidget* MDITestFPOPOS::BuildHeaderBand() {
  auto* band = new QFrame(this);
  band->setObjectName(QStringLiteral("frmApp"));
  band->setFrameShape(QFrame::StyledPanel);
  auto* layout = new QHBoxLayout(band);
  auto* reset = NewButton("cmdResetPrinter", QStringLiteral("Reset Printer"), band);
  connect(reset, &QPushButton::clicked, this, &MDITestFPOPOS::cmdResetPrinter_Click);
  layout->addWidget(reset);
  auto stateLabel = [band](const char* name) {
    auto* label = new QLabel(band);
    label->setObjectName(QString::fromLatin1(name));
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setMinimumWidth(280);
    return label;
  };
  lblOposState_ = stateLabel("lblOposState");
  lblFPState_ = stateLabel("lblFPState");
  layout->addSpacing(12);
  layout->addWidget(lblOposState_);
  layout->addWidget(lblFPState_);
  layout->addStretch();
  // The two markers fixed where the original placed the other child windows; the layout does
  // that here, so they stay invisible.
  for (const char* name : {"lblHidden", "lblHiddenBOTTOM"}) {
    auto* marker = new QLabel(band);
    marker->setObjectName(QString::fromLatin1(name));
    marker->setVisible(false);
  }
  return band;
}

QWidget* MDITestFPOPOS::BuildToolbar() {
  auto* bar = new QFrame(this);
  bar->setObjectName(QStringLiteral("frmToolbar"));
  bar->setFrameShape(QFrame::StyledPanel);
  auto* layout = new QVBoxLayout(bar);
  struct Command {
    const char* name;
    const char* caption;
    void (MDITestFPOPOS::*handler)();
  };
  const Command commands[] = {
      {"cmdOpen", "Open", &MDITestFPOPOS::cmdOpen_Click},
      {"cmdClaim", "Claim", &MDITestFPOPOS::cmdClaim_Click},
      {"cmdEnable", "Enable", &MDITestFPOPOS::cmdEnable_Click},
      {"cmdDisable", "Disable", &MDITestFPOPOS::cmdDisable_Click},
      {"cmdRelease", "Release", &MDITestFPOPOS::cmdRelease_Click},
      {"cmdClose", "Close", &MDITestFPOPOS::cmdClose_Click},
      {"cmdOCE", "Open Claim Enable", &MDITestFPOPOS::cmdOCE_Click},
      {"cmdDRC", "Disable Release Close", &MDITestFPOPOS::cmdDRC_Click},
      {"cmdLogWindow", "Log Window", &MDITestFPOPOS::cmdLogWindow_Click},
      {"cmdEscSequences", "ESC Seq", &MDITestFPOPOS::cmdEscSequences_Click},
  };
  for (const Command& c : commands) {
    auto* button = NewButton(c.name, QString::fromLatin1(c.caption), bar);
    connect(button, &QPushButton::clicked, this, c.handler);
    layout->addWidget(button);
    if (c.handler == &MDITestFPOPOS::cmdClose_Click || c.handler == &MDITestFPOPOS::cmdDRC_Click) {
      layout->addSpacing(10);
    }
  }
  layout->addSpacing(10);
  panel_options_ = new QButtonGroup(bar);
  panel_options_->setExclusive(true);
  for (const PanelOption& p : kPanelOptions) {
    auto* option = NewButton(p.option, QString::fromLatin1(p.caption), bar);
    option->setCheckable(true);
    panel_options_->addButton(option);
    layout->addWidget(option);
  }
  layout->addStretch();
  return bar;
}

void MDITestFPOPOS::BuildPanels() {
  // HideAllPanels hides them in this order.
  panel_order_ = {QStringLiteral("frmSettings"),     QStringLiteral("frmNonFiscal"),
                  QStringLiteral("frmFiscalTicket"), QStringLiteral("frmReports"),
                  QStringLiteral("frmProperties"),   QStringLiteral("frmDirectIO"),
                  QStringLiteral("frmAutoTests"),    QStringLiteral("frmMacro")};
  for (const PanelOption& p : kPanelOptions) {
    QWidget* panel =
        CreatePanel(QString::fromLatin1(p.form), QString::fromLatin1(p.caption), *this, *macro_);
    auto* option = findChild<QAbstractButton*>(QString::fromLatin1(p.option));
    AddPanel(panel, option);
  }
}

void MDITestFPOPOS::AddPanel(QWidget* panel, QAbstractButton* option) {
  const QString form = panel->objectName();
  QMdiSubWindow* window = mdi_area_->addSubWindow(panel, Qt::SubWindow | Qt::WindowTitleHint);
  window->setObjectName(form + QStringLiteral("Window"));
  window->setWindowTitle(panel->windowTitle());
  window->hide();
  panels_.insert(form, window);
  options_.insert(form, option);
  connect(option, &QAbstractButton::toggled, this, [this, form](bool checked) {
    if (checked) ShowPanel(form);
  });
}

void MDITestFPOPOS::HideAllPanels() {
  for (const QString& form : panel_order_) {
    if (QMdiSubWindow* window = panels_.value(form)) window->hide();
  }
}

void MDITestFPOPOS::ShowPanel(const QString& form_name) {
  HideAllPanels();
  QMdiSubWindow* window = panels_.value(form_name);
  if (!window) return;
  // Every panel takes the same place: the whole area right of the command bar.
  window->showMaximized();
  mdi_area_->setActiveSubWindow(window);
  // Keep the exclusive option group in step when a panel is chosen from code.
  if (QAbstractButton* option = options_.value(form_name); option && !option->isChecked()) {
    option->setChecked(true);
  }
}

bool MDITestFPOPOS::IsPanelShown(const QString& form_name) const {
  QMdiSubWindow* window = panels_.value(form_name);
  return window && !window->isHidden();
}

QWidget* MDITestFPOPOS::Panel(const QString& form_name) const {
  QMdiSubWindow* window = panels_.value(form_name);
  return window ? window->widget() : nullptr;
}

QString MDITestFPOPOS::DeviceName() const {
  return logo_->lblSOName()->text();
}

// ---- UpdateStatus ----------------------------------------------------------------------------

void MDITestFPOPOS::UpdateStatus() {
  session_->RefreshStatus();
}

void MDITestFPOPOS::PaintStatus(const StatusTexts& texts) {
  status_bar_->ShowError(Q(texts.error_code), Q(texts.error_code_ext), Q(texts.error_description));
  lblOposState_->setText(Q(texts.opos_state));
  lblFPState_->setText(Q(texts.fp_state));
}

// ---- Commands --------------------------------------------------------------------------------

void MDITestFPOPOS::cmdOpen_Click() {
  session_->Open();
}
void MDITestFPOPOS::cmdClaim_Click() {
  session_->Claim();
}
void MDITestFPOPOS::cmdEnable_Click() {
  session_->Enable();
}
void MDITestFPOPOS::cmdDisable_Click() {
  session_->Disable();
}
void MDITestFPOPOS::cmdRelease_Click() {
  session_->Release();
}
void MDITestFPOPOS::cmdClose_Click() {
  session_->Close();
}
void MDITestFPOPOS::cmdOCE_Click() {
  session_->OpenClaimEnable();
}
void MDITestFPOPOS::cmdDRC_Click() {
  session_->DisableReleaseClose();
}
void MDITestFPOPOS::cmdResetPrinter_Click() {
  session_->ResetPrinter();
}

void MDITestFPOPOS::FillVatList(const QString& form_name, const char* list_name) {
  QWidget* panel = Panel(form_name);
  auto* list = panel ? panel->findChild<QComboBox*>(QString::fromLatin1(list_name)) : nullptr;
  const int32_t rates = wrapper_->NumVatRates();
  if (!list) return;
  list->clear();
  list->addItem(QStringLiteral("VAT Exempt"));
  for (int32_t i = 1; i <= rates; ++i) list->addItem(QStringLiteral("VAT #%1").arg(i));
  // The first numbered rate when there is one; otherwise "VAT Exempt" stays selected, so the
  // list never reads as "no VAT index" (-1).
  list->setCurrentIndex(rates >= 1 ? 1 : 0);
}

void MDITestFPOPOS::RefillListsAfterEnable() {
  FillVatList(QStringLiteral("frmFiscalTicket"), "cbVatId");
  FillVatList(QStringLiteral("frmReports"), "cbGetTotVatID");
  QWidget* fiscal = Panel(QStringLiteral("frmFiscalTicket"));
  if (auto* forms =
          fiscal ? fiscal->findChild<QComboBox*>(QStringLiteral("cbPaymentForm")) : nullptr) {
    forms->clear();
    for (int i = 0; i <= 10; ++i) forms->addItem(QString::number(i));
    forms->setCurrentIndex(0);
  }
}

void MDITestFPOPOS::cmdLogWindow_Click() {
  // Pressing the button takes the focus from a showing log, which hides itself first: that
  // press is the one that hides it.
  if (log_window_->TakeHidOnFocusLossJustNow()) return;
  if (log_window_->isHidden()) {
    if (!log_window_placed_) {
      // The first time over the lower half of the panel area, clear of the command bar and
      // the header band; later where the user left it.
      const QRect area(mdi_area_->mapToGlobal(QPoint(0, 0)), mdi_area_->size());
      const int height = std::max(area.height() / 2, 200);
      log_window_->resize(std::max(area.width(), 400), height);
      log_window_->move(area.left(), area.bottom() + 1 - height);
      log_window_placed_ = true;
    }
    log_window_->show();
    log_window_->raise();
    log_window_->activateWindow();
  } else {
    log_window_->hide();
  }
}

void MDITestFPOPOS::cmdEscSequences_Click() {
  frmEscSequences dialog(this);
  dialog.exec();
}

// ---- Timer -----------------------------------------------------------------------------------

void MDITestFPOPOS::tmrUpdateControls_Timer() {
  const bool duplicate = control_.DuplicateReceipt();
  const bool idle = control_.FlagWhenIdle();
  QWidget* fiscal = Panel(QStringLiteral("frmFiscalTicket"));
  if (!fiscal) return;
  // setChecked does not count as a click, so the panel does not write the values back.
  if (auto* box = fiscal->findChild<QCheckBox*>(QStringLiteral("chkDupReceipt"))) {
    box->setChecked(duplicate);
  }
  if (auto* box = fiscal->findChild<QCheckBox*>(QStringLiteral("chkFlagWhenIdle"))) {
    box->setChecked(idle);
  }
}

// ---- Events ----------------------------------------------------------------------------------

void MDITestFPOPOS::OnErrorEvent(int32_t result_code, int32_t result_code_extended,
                                 int32_t /*error_locus*/, int32_t& error_response) {
  HandleErrorEvent(log_, boxes_, result_code, result_code_extended, error_response);
}

void MDITestFPOPOS::OnOutputCompleteEvent(int32_t output_id) {
  log_.AddToLog(OutputCompleteLogText(output_id));
}

void MDITestFPOPOS::OnStatusUpdateEvent(int32_t data) {
  status_bar_->ShowStatusUpdate(data);
  if (const auto text = StatusUpdateLogText(data)) log_.AddToLog(*text);
}

void MDITestFPOPOS::closeEvent(QCloseEvent* event) {
  // Closing unloads the log window and the customisation form; the device is left to the
  // control object's own cleanup.
  log_window_->close();
  QMainWindow::closeEvent(event);
}

}  // namespace kelo::testapp
