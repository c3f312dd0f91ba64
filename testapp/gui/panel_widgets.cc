#include "testapp/gui/panel_widgets.h"

#include <QDateTime>
#include <QEvent>

namespace kelo::testapp {

QPushButton* NewButton(const char* name, const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  return button;
}

QLineEdit* NewEdit(const char* name, const QString& text, QWidget* parent) {
  auto* edit = new QLineEdit(text, parent);
  edit->setObjectName(QString::fromLatin1(name));
  return edit;
}

QComboBox* NewCombo(const char* name, const QStringList& items, QWidget* parent, bool editable) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(QString::fromLatin1(name));
  combo->setEditable(editable);
  combo->addItems(items);
  if (!items.isEmpty()) combo->setCurrentIndex(0);
  return combo;
}

QCheckBox* NewCheck(const char* name, const QString& caption, QWidget* parent) {
  auto* check = new QCheckBox(caption, parent);
  check->setObjectName(QString::fromLatin1(name));
  return check;
}

QLabel* NewLabel(const QString& text, QWidget* parent, const char* name) {
  auto* label = new QLabel(text, parent);
  if (name) label->setObjectName(QString::fromLatin1(name));
  return label;
}

namespace {

class DoubleClickFilter : public QObject {
 public:
  DoubleClickFilter(QObject* parent, std::function<void()> action)
      : QObject(parent), action_(std::move(action)) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonDblClick) {
      action_();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> action_;
};

}  // namespace

void OnDoubleClick(QWidget* widget, std::function<void()> action) {
  widget->installEventFilter(new DoubleClickFilter(widget, std::move(action)));
}

QString NowDateTimeText() {
  return QDateTime::currentDateTime().toString(QStringLiteral("ddMMyyyyhhmm"));
}

std::string Utf8(const QLineEdit* edit) {
  return edit->text().toStdString();
}
std::string Utf8(const QString& text) {
  return text.toStdString();
}

std::optional<int32_t> WholeNumberField(const QString& text) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok);
  if (!ok) return std::nullopt;
  return value;
}

}  // namespace kelo::testapp
