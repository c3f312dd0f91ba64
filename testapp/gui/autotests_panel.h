// frmAutoTests ("AutoTests"): runs the canned test documents of testapp/core/auto_tests.h and
// the two endurance loops, which re-launch themselves every two seconds while repetitions
// remain (the count lives in the "Repetitions" field, so it can be edited between receipts).
#pragma once

#include <QWidget>
#include <functional>

#include "testapp/core/auto_tests.h"
#include "testapp/gui/panel_host.h"

class QLineEdit;
class QPushButton;
class QTimer;

namespace kelo::testapp {

class frmAutoTests : public QWidget {
  Q_OBJECT
 public:
  frmAutoTests(PanelHost& host, EscapePrefixes prefixes, QWidget* parent = nullptr);

  // One receipt of an endurance loop (the buttons "Continuous Print Fiscal Ticket").
  void RunLoop(bool async);

 private:
  AutoTestContext Context();
  // Runs `test` with `button` disabled meanwhile.
  void RunTest(QPushButton* button, const std::function<void(AutoTestContext&)>& test);

  PanelHost& host_;
  EscapePrefixes prefixes_;
  QPushButton* cmdAutoPrintTicket_;
  QPushButton* cmdPrintTicketA_;
  QLineEdit* txtNumberOfLines_;
  QLineEdit* txtNumberOfTests_;
  QTimer* tmrTest_;
  QTimer* tmrTestA_;
};

}  // namespace kelo::testapp
