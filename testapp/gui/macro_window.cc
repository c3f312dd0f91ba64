#include "testapp/gui/macro_window.h"

#include <QAbstractEventDispatcher>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "testapp/macro/macro_conversions.h"

namespace kelo::testapp {

namespace {

const QString kPause = QStringLiteral("Pause");
const QString kContinue = QStringLiteral("Continue");
constexpr const char* kMacroDialogTitle = "Select the macro command file";
constexpr const char* kMacroDialogFilter =
    "Opos Test Macro Commands (*.oposcmd)|*.oposcmd|All files|*.*";
constexpr const char* kPausedMessage = "Error ... execution paused";

QPushButton* NewButton(const char* name, const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  return button;
}

}  // namespace

// lstMacroCode as the engine sees it.
class frmMacro::ListView : public macro::MacroListView {
 public:
  explicit ListView(QListWidget* list) : list_(list) {}
  void Clear() override { list_->clear(); }
  void Add(const std::string& line) override { list_->addItem(QString::fromStdString(line)); }
  void Select(int index) override {
    if (index < 0 || index >= list_->count()) {
      list_->setCurrentRow(-1);
      list_->clearSelection();
    } else {
      list_->setCurrentRow(index);
      list_->scrollToItem(list_->item(index));
    }
  }

 private:
  QListWidget* list_;
};

frmMacro::frmMacro(macro::clsMacroEngine& engine, FileDialogs& dialogs, MessageBoxes& boxes,
                   QWidget* parent)
    : QWidget(parent), engine_(engine), dialogs_(dialogs), boxes_(boxes) {
  setObjectName(QStringLiteral("frmMacro"));
  setWindowTitle(QStringLiteral("Macro"));

  auto* layout = new QHBoxLayout(this);
  lstMacroCode_ = new QListWidget(this);
  lstMacroCode_->setObjectName(QStringLiteral("lstMacroCode"));
  lstMacroCode_->setSelectionMode(QAbstractItemView::SingleSelection);
  QFont mono(QStringLiteral("Courier New"));
  mono.setStyleHint(QFont::Monospace);
  lstMacroCode_->setFont(mono);
  layout->addWidget(lstMacroCode_, 1);

  auto* side = new QVBoxLayout();
  auto* execute = NewButton("cmdExecuteMacro", QStringLiteral("Execute Macro"), this);
  auto* step = NewButton("cmdStep", QStringLiteral("One Line Step"), this);
  cmdPause_ = NewButton("cmdPause", kPause, this);
  cmdPause_->setEnabled(false);  // nothing to pause before a macro was started
  auto* stop = NewButton("cmdStop", QStringLiteral("Stop"), this);
  auto* clear = NewButton("cmdClear", QStringLiteral("Clear"), this);
  auto* load = NewButton("cmdLoadMacro", QStringLiteral("Load Macro"), this);
  auto* save = NewButton("cmdSaveMacro", QStringLiteral("Save Macro"), this);
  for (QPushButton* b : {execute, step, cmdPause_, stop, clear}) side->addWidget(b);
  side->addSpacing(12);
  side->addWidget(load);
  side->addWidget(save);
  side->addSpacing(12);

  auto* options = new QGroupBox(QStringLiteral("Options"), this);
  options->setObjectName(QStringLiteral("Frame1"));
  auto* grid = new QGridLayout(options);
  auto* speedLabel = new QLabel(QStringLiteral("Delay betwen commands (ms)"), options);
  speedLabel->setObjectName(QStringLiteral("lblSpeed"));
  cbSpeed_ = new QComboBox(options);
  cbSpeed_->setObjectName(QStringLiteral("cbSpeed"));
  cbSpeed_->addItems({QStringLiteral("0"), QStringLiteral("10"), QStringLiteral("50"),
                      QStringLiteral("100"), QStringLiteral("500"), QStringLiteral("1000"),
                      QStringLiteral("2000"), QStringLiteral("5000")});
  cbSpeed_->setCurrentIndex(0);
  chkStopOnError_ = new QCheckBox(QStringLiteral("Stop on error"), options);
  chkStopOnError_->setObjectName(QStringLiteral("chkStopOnError"));
  grid->addWidget(speedLabel, 0, 0);
  grid->addWidget(cbSpeed_, 0, 1);
  grid->addWidget(chkStopOnError_, 1, 0, 1, 2);
  side->addWidget(options);
  side->addStretch();
  layout->addLayout(side);

  tmrMacroExecution_ = new QTimer(this);
  tmrMacroExecution_->setObjectName(QStringLiteral("tmrMacroExecution"));
  tmrDelayForMacroCls_ = new QTimer(this);
  tmrDelayForMacroCls_->setObjectName(QStringLiteral("tmrDelayForMacroCls"));
  // It ends an "F_Delay" wait on its first tick.
  tmrDelayForMacroCls_->setSingleShot(true);

  connect(execute, &QPushButton::clicked, this, &frmMacro::cmdExecuteMacro_Click);
  connect(step, &QPushButton::clicked, this, &frmMacro::cmdStep_Click);
  connect(cmdPause_, &QPushButton::clicked, this, &frmMacro::cmdPause_Click);
  connect(stop, &QPushButton::clicked, this, &frmMacro::cmdStop_Click);
  connect(clear, &QPushButton::clicked, this, &frmMacro::cmdClear_Click);
  connect(load, &QPushButton::clicked, this, &frmMacro::cmdLoadMacro_Click);
  connect(save, &QPushButton::clicked, this, &frmMacro::cmdSaveMacro_Click);
  connect(lstMacroCode_, &QListWidget::itemDoubleClicked, this, &frmMacro::lstMacroCode_DblClick);
  connect(tmrMacroExecution_, &QTimer::timeout, this, &frmMacro::tmrMacroExecution_Timer);

  list_view_ = std::make_unique<ListView>(lstMacroCode_);
  engine_.SetListView(list_view_.get());
  engine_.SetEventPump([this](uint32_t max_wait_ms) { PumpEvents(max_wait_ms); });
  // Lines recorded before the window existed.
  engine_.PopulateListBoxMacro();
  if (engine_.IsRunningMacro()) list_view_->Select(engine_.current_line());
}

frmMacro::~frmMacro() {
  engine_.SetEventPump({});
  engine_.SetListView(nullptr);
}

int frmMacro::PlaybackInterval() const {
  const double value = macro::LeadingNumber(cbSpeed_->currentText().toStdString());
  // A zero (or nonsensical) interval would make the timer fire on every pass of the event
  // loop; 1 ms is the fastest pace.
  if (!(value >= 1)) return 1;
  return static_cast<int>(std::min(value, 2147483647.0));
}

void frmMacro::PumpEvents(uint32_t max_wait_ms) {
  // The delay timer guarantees a wake-up after max_wait_ms even when nothing else happens.
  tmrDelayForMacroCls_->start(static_cast<int>(std::min<uint32_t>(max_wait_ms, 65535)));
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  tmrDelayForMacroCls_->stop();
}

void frmMacro::cmdExecuteMacro_Click() {
  cmdPause_->setText(kPause);
  cmdPause_->setEnabled(true);
  engine_.StartSavedMacro();
  tmrMacroExecution_->setInterval(PlaybackInterval());
  tmrMacroExecution_->start();
}

void frmMacro::cmdStep_Click() {
  const int32_t result = engine_.PlayLineMacro();
  if (chkStopOnError_->isChecked() && result != 0) boxes_.ShowMessage(kPausedMessage);
}

void frmMacro::cmdPause_Click() {
  if (cmdPause_->text() == kPause) {
    cmdPause_->setText(kContinue);
    tmrMacroExecution_->stop();
  } else {
    cmdPause_->setText(kPause);
    tmrMacroExecution_->setInterval(PlaybackInterval());
    tmrMacroExecution_->start();
  }
}

void frmMacro::cmdStop_Click() {
  tmrMacroExecution_->stop();
  cmdPause_->setEnabled(false);
  engine_.StopMacro();
}

void frmMacro::cmdClear_Click() {
  engine_.Construct();
  tmrMacroExecution_->stop();
}

void frmMacro::cmdLoadMacro_Click() {
  const std::string path = dialogs_.OpenFileDialog(kMacroDialogTitle, kMacroDialogFilter, "");
  if (!path.empty()) engine_.LoadFromFile(path);
  tmrMacroExecution_->stop();
}

void frmMacro::cmdSaveMacro_Click() {
  const std::string path = dialogs_.SaveFileDialog(kMacroDialogTitle, kMacroDialogFilter, "");
  if (!path.empty()) engine_.SaveToFile(path);
}

void frmMacro::lstMacroCode_DblClick() {
  engine_.SetLineMacro(static_cast<int16_t>(lstMacroCode_->currentRow()));
}

void frmMacro::tmrMacroExecution_Timer() {
  // Off first, so a line slower than the interval is never entered twice.
  tmrMacroExecution_->stop();
  const int32_t result = engine_.PlayLineMacro();
  if (chkStopOnError_->isChecked() && result != 0) {
    if (cmdPause_->text() == kPause) cmdPause_Click();
    tmrMacroExecution_->stop();
    boxes_.ShowMessage(kPausedMessage);
    return;
  }
  // Pause, Stop or Clear pressed while the line waited in an "F_Delay" must hold: only a
  // macro that is still running and not paused goes on.
  if (engine_.IsRunningMacro() && cmdPause_->text() == kPause) tmrMacroExecution_->start();
}

}  // namespace kelo::testapp
