#include "testapp/gui/log_window.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QHBoxLayout>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QThread>
#include <QVBoxLayout>

namespace kelo::testapp {

frmLog::frmLog(LogModel& log, FileDialogs& dialogs, MessageBoxes& boxes, QWidget* parent)
    : QWidget(parent, Qt::Window), log_(log), dialogs_(dialogs), boxes_(boxes) {
  setObjectName(QStringLiteral("frmLog"));
  setWindowTitle(QStringLiteral("Opos Test Log Form"));
  resize(760, 420);

  auto* layout = new QVBoxLayout(this);
  txtOposLog_ = new QPlainTextEdit(this);
  txtOposLog_->setObjectName(QStringLiteral("txtOposLog"));
  txtOposLog_->setReadOnly(true);
  txtOposLog_->setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::Monospace);
  txtOposLog_->setFont(font);
  layout->addWidget(txtOposLog_);

  auto* buttons = new QHBoxLayout();
  auto* clear = new QPushButton(QStringLiteral("&Clear"), this);
  clear->setObjectName(QStringLiteral("cmdClearLog"));
  auto* hide = new QPushButton(QStringLiteral("Hide"), this);
  hide->setObjectName(QStringLiteral("cmdMinimize"));
  auto* save = new QPushButton(QStringLiteral("SaveLog2File"), this);
  save->setObjectName(QStringLiteral("cmdSaveLog2File"));
  buttons->addWidget(clear);
  buttons->addWidget(hide);
  buttons->addWidget(save);
  buttons->addStretch();
  layout->addLayout(buttons);

  connect(clear, &QPushButton::clicked, this, [this] { log_.Clear(); });
  connect(hide, &QPushButton::clicked, this, &QWidget::hide);
  connect(save, &QPushButton::clicked, this, [this] { log_.SaveLog2File(dialogs_, boxes_); });

  // Whatever is already in the log, then every new line.
  const QString existing = QString::fromStdString(log_.Text());
  if (!existing.isEmpty()) {
    QString text = existing;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
    txtOposLog_->setPlainText(text);
  }
  // The listeners run with the log locked, possibly on another thread: they only hand the
  // line over, never call back into the model.
  log_.SetLineListener([this](const std::string& line) {
    const QString text = QString::fromStdString(line);
    if (QThread::currentThread() == thread()) {
      AppendLine(text);
    } else {
      QMetaObject::invokeMethod(
          this, [this, text] { AppendLine(text); }, Qt::QueuedConnection);
    }
  });
  log_.SetClearedListener([this] {
    if (QThread::currentThread() == thread()) {
      txtOposLog_->clear();
    } else {
      QMetaObject::invokeMethod(txtOposLog_, &QPlainTextEdit::clear, Qt::QueuedConnection);
    }
  });
}

frmLog::~frmLog() {
  log_.SetLineListener({});
  log_.SetClearedListener({});
}

void frmLog::AppendLine(const QString& line) {
  txtOposLog_->appendPlainText(line);
}

void frmLog::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && !isActiveWindow() && isVisible()) {
    hide();
    hidden_on_focus_loss_.start();
  }
}

bool frmLog::TakeHidOnFocusLossJustNow() {
  const bool just_now = hidden_on_focus_loss_.isValid() &&
                        hidden_on_focus_loss_.elapsed() <= QApplication::doubleClickInterval();
  hidden_on_focus_loss_.invalidate();
  return just_now;
}

void frmLog::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  hidden_on_focus_loss_.invalidate();
  // Lines added while the window was hidden: open at the newest one.
  txtOposLog_->moveCursor(QTextCursor::End);
  txtOposLog_->ensureCursorVisible();
  txtOposLog_->verticalScrollBar()->setValue(txtOposLog_->verticalScrollBar()->maximum());
}

}  // namespace kelo::testapp
