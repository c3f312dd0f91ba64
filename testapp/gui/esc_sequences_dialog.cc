#include "testapp/gui/esc_sequences_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kelo::testapp {

namespace {

const QChar kEsc(27);

// Visual Basic's LTrim: only leading blanks go, the rest is taken as typed.
QString LeftTrimmed(const QString& text) {
  qsizetype i = 0;
  while (i < text.size() && text[i] == QLatin1Char(' ')) ++i;
  return text.mid(i);
}

}  // namespace

int BarcodeTypeDigit(const QString& name) {
  if (name == QLatin1String("EAN13")) return 1;
  if (name == QLatin1String("UPC")) return 2;
  if (name == QLatin1String("ITLV2of5")) return 3;
  if (name == QLatin1String("CODE39")) return 4;
  return 0;
}

frmEscSequences::frmEscSequences(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmEscSequences"));
  setWindowTitle(QStringLiteral("Esc Sequences Generator"));

  auto* grid = new QGridLayout(this);
  txtEscSequence_ = new QLineEdit(this);
  txtEscSequence_->setObjectName(QStringLiteral("txtEscSequence"));
  grid->addWidget(txtEscSequence_, 0, 0, 1, 4);

  struct Fixed {
    const char* name;
    const char* caption;
    const char* code;
  };
  static constexpr Fixed kFixed[] = {
      {"cmdNormalMode", "Normal Mode", "|1C"},
      {"cmdDoubleWidth", "Double Width", "|2C"},
      {"cmdDoubleHeight", "Double Height", "|3C"},
      {"cmdHalfHeight", "Half Height", "|5C"},
      {"cmdBoxedText", "Boxed Text", "|6C"},
      {"cmdCenterJust", "Center Just", "|cA"},
      {"cmdLeftJust", "Left Just", "|lA"},
      {"cmdRightJust", "Right Just", "|rA"},
      {"cmdRotateLeft", "Rotate Left", "|lR"},
      {"cmdRotateRight", "Rotate Right", "|rR"},
      {"cmdRotateUp", "Rotate Up", "|uR"},
      {"cmdRotateDown", "Rotate Down", "|dR"},
      {"cmdBlink", "Blink", "|K"},
  };
  int row = 1;
  int column = 0;
  for (const Fixed& f : kFixed) {
    auto* button = new QPushButton(QString::fromLatin1(f.caption), this);
    button->setObjectName(QString::fromLatin1(f.name));
    const QString code = QString::fromLatin1(f.code);
    connect(button, &QPushButton::clicked, this, [this, code] { AppendSequence(code); });
    grid->addWidget(button, row, column);
    if (++column == 4) {
      column = 0;
      ++row;
    }
  }
  ++row;

  auto addInput = [&](const char* name, const char* label, const char* initial) {
    auto* edit = new QLineEdit(QString::fromLatin1(initial), this);
    edit->setObjectName(QString::fromLatin1(name));
    grid->addWidget(new QLabel(QString::fromLatin1(label), this), row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
  };
  txtFeedLines_ = addInput("txtFeedLines", "# Lines", "1");
  auto* feed = new QPushButton(QStringLiteral("Feed Lines"), this);
  feed->setObjectName(QStringLiteral("cmdFeedLines"));
  connect(feed, &QPushButton::clicked, this, [this] {
    AppendSequence(QLatin1Char('|') + LeftTrimmed(txtFeedLines_->text()) + QLatin1Char('F'));
  });
  grid->addWidget(feed, row++, 2);

  txtBmpID_ = addInput("txtBmpID", "Bitmap ID", "1");
  auto* bitmap = new QPushButton(QStringLiteral("PrintBitmap"), this);
  bitmap->setObjectName(QStringLiteral("cmdPrintBitmap"));
  connect(bitmap, &QPushButton::clicked, this, [this] {
    AppendSequence(QLatin1Char('|') + LeftTrimmed(txtBmpID_->text()) + QLatin1Char('B'));
  });
  grid->addWidget(bitmap, row++, 2);

  txtBarcodeString_ = addInput("txtBarcodeString", "Barcode", "4007817504598");
  cbDirBarcodeType_ = new QComboBox(this);
  cbDirBarcodeType_->setObjectName(QStringLiteral("cbDirBarcodeType"));
  cbDirBarcodeType_->addItems({QStringLiteral("EAN13"), QStringLiteral("UPC"),
                               QStringLiteral("ITLV2of5"), QStringLiteral("CODE39")});
  cbDirBarcodeType_->setCurrentIndex(0);
  grid->addWidget(cbDirBarcodeType_, row, 2);
  auto* barcode = new QPushButton(QStringLiteral("Print Barcode"), this);
  barcode->setObjectName(QStringLiteral("cmdPrintBarcode"));
  connect(barcode, &QPushButton::clicked, this, [this] { AppendSequence(BarcodeSequence()); });
  grid->addWidget(barcode, row++, 3);

  auto* clear = new QPushButton(QStringLiteral("&Clear"), this);
  clear->setObjectName(QStringLiteral("cmdClear"));
  connect(clear, &QPushButton::clicked, txtEscSequence_, &QLineEdit::clear);
  grid->addWidget(clear, row, 0);
  auto* copy = new QPushButton(QStringLiteral("Copy To Clipboard && Close Window"), this);
  copy->setObjectName(QStringLiteral("cmdCopyAndClose"));
  connect(copy, &QPushButton::clicked, this, &frmEscSequences::CopyAndClose);
  grid->addWidget(copy, row, 1, 1, 3);
}

void frmEscSequences::AppendSequence(const QString& code) {
  txtEscSequence_->setText(txtEscSequence_->text() + kEsc + code);
}

QString frmEscSequences::BarcodeSequence() const {
  const QString code = QString::number(BarcodeTypeDigit(cbDirBarcodeType_->currentText())) +
                       txtBarcodeString_->text();
  return QLatin1Char('|') + QString::number(code.size()) + QLatin1Char('R') + code;
}

void frmEscSequences::CopyAndClose() {
  QApplication::clipboard()->setText(txtEscSequence_->text());
  txtEscSequence_->clear();
  close();
}

}  // namespace kelo::testapp
