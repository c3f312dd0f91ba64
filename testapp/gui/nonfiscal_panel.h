// frmNonFiscal ("Non-Fiscal Rcpt"): non-fiscal documents and training mode.
#pragma once

#include <QWidget>

#include "testapp/gui/panel_host.h"

class QComboBox;
class QLineEdit;

namespace kelo::testapp {

// The published station value of a station name: "FPTR_S_JOURNAL" 1, "FPTR_S_RECEIPT" 2,
// "FPTR_S_JOURNAL_RECEIPT" 3; 0 for any other text.
int32_t StationValue(const QString& name);

class frmNonFiscal : public QWidget {
  Q_OBJECT
 public:
  explicit frmNonFiscal(PanelHost& host, QWidget* parent = nullptr);

  void PrintNormal();

 private:
  PanelHost& host_;
  QComboBox* cbPrintNorStation_;
  QLineEdit* txtPrintNormal_;
};

}  // namespace kelo::testapp
