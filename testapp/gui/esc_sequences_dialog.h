// frmEscSequences: composes print-mode escape sequences for pasting into other fields.
//
// Opened modally from the command bar and as a normal window from the DirectIO panel. It
// never talks to the device; it only builds text and puts it on the clipboard.
#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;

namespace kelo::testapp {

class frmEscSequences : public QDialog {
  Q_OBJECT
 public:
  explicit frmEscSequences(QWidget* parent = nullptr);

  // Appends ESC followed by `code` to the result box.
  void AppendSequence(const QString& code);

  // The barcode sequence for the current inputs: "|" + length of code + "R" + code, where code
  // is the type digit followed by the barcode text.
  QString BarcodeSequence() const;

 private:
  void CopyAndClose();

  QLineEdit* txtEscSequence_;
  QLineEdit* txtFeedLines_;
  QLineEdit* txtBmpID_;
  QLineEdit* txtBarcodeString_;
  QComboBox* cbDirBarcodeType_;
};

// The digit a barcode type name stands for in escape sequences and DirectIO data: "EAN13" 1,
// "UPC" 2, "ITLV2of5" 3, "CODE39" 4, any other text 0.
int BarcodeTypeDigit(const QString& name);

}  // namespace kelo::testapp
