// frmSettings ("Settings"): date, header and trailer lines, POS and cashier identifiers, the
// additional header/trailer texts the fiscal panel uses, and the VAT rate table.
#pragma once

#include <QWidget>

#include "testapp/gui/panel_host.h"

class QCheckBox;
class QLineEdit;
class QListWidget;

namespace kelo::testapp {

// A VAT rate in hundredths of a percent as the list shows it: 2200 -> "22", 450 -> "4.5".
QString VatRateText(int32_t rate);

class frmSettings : public QWidget {
  Q_OBJECT
 public:
  explicit frmSettings(PanelHost& host, QWidget* parent = nullptr);

  void GetDate();
  void SetDate();
  void SetHeaderLine();
  void SetTrailerLine();
  void SetPosID();
  void GetVatRates();
  void SetVatRateTable();
  // "VAT rate" lost the focus: its text replaces the list line at "VAT index" - 1.
  void StoreEditedRate();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  PanelHost& host_;
  QLineEdit* txtSetDate_;
  QLineEdit* txtSetHeaderLineNum_;
  QLineEdit* txtSetHeaderLineText_;
  QCheckBox* chkDoubleWidthHeader_;
  QLineEdit* txtSetTrailerLineNum_;
  QLineEdit* txtSetTrailerLineText_;
  QCheckBox* chkDoubleWidthTrailer_;
  QLineEdit* txtPOSID_;
  QLineEdit* txtCASHIERID_;
  QListWidget* lstVatRates_;
  QLineEdit* txtVatIndex_;
  QLineEdit* txtVatRate_;
};

}  // namespace kelo::testapp
