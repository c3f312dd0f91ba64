// frmReports ("Reports"): fiscal reports, CheckHealth, totalizers and data items.
// frmProperties ("Properties"): every FiscalPrinter property read into a two-column grid.
#pragma once

#include <QWidget>
#include <string>
#include <utility>

#include "testapp/gui/panel_host.h"

class QComboBox;
class QLineEdit;
class QTableWidget;

namespace kelo::testapp {

// The GetData arguments a data-item name of the list stands for ("GD_TENDER - PDL_EFT_TERMINAL"
// gives {26, 8}); {0, 0} for any other text.
std::pair<int32_t, int32_t> DataItemArguments(const QString& name);
// The data-item names, in list order.
QStringList DataItemNames();
// How many properties "Read Properties" reads (119).
int PropertyCount();

class frmReports : public QWidget {
  Q_OBJECT
 public:
  explicit frmReports(PanelHost& host, QWidget* parent = nullptr);

  void PrintReport();
  void PrintPeriodicTotalsReport();
  void CheckHealth();
  void GetTotalizer();
  void GetData();

 private:
  PanelHost& host_;
  QComboBox* cbReportType_;
  QLineEdit* txtPrtRptStart_;
  QLineEdit* txtPrtRptEnd_;
  QLineEdit* txtPeriodReptStart_;
  QLineEdit* txtPeriodReptEnd_;
  QComboBox* cbCheckHealth_;
  QLineEdit* txtCheckHealth_;
  QComboBox* cbTotalizerType_;
  QComboBox* cbGetTotVatID_;
  QComboBox* cbGetTotOptArgs_;
  QLineEdit* txtGetTotResult_;
  QComboBox* cbGetDataDataItem_;
  QLineEdit* txtGetDataResult_;
};

class frmProperties : public QWidget {
  Q_OBJECT
 public:
  explicit frmProperties(PanelHost& host, QWidget* parent = nullptr);

  // "Read Properties": every property through the wrapper (each read is logged), in
  // alphabetical order of the name.
  void ReadProperties();
  QTableWidget* flexProperties() const { return flexProperties_; }

 private:
  PanelHost& host_;
  QTableWidget* flexProperties_;
};

}  // namespace kelo::testapp
