#include "testapp/gui/autotests_panel.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QTimer>
#include <QVBoxLayout>

#include "testapp/core/app_folder.h"
#include "testapp/gui/panel_widgets.h"
#include "testapp/macro/macro_conversions.h"

namespace kelo::testapp {

namespace {

// The numeric value of a field as the loops read it: its leading number, 0 for other text.
int32_t FieldNumber(const QLineEdit* field) {
  return macro::WholeNumber(field->text().toStdString()).value_or(0);
}

}  // namespace

frmAutoTests::frmAutoTests(PanelHost& host, EscapePrefixes prefixes, QWidget* parent)
    : QWidget(parent), host_(host), prefixes_(std::move(prefixes)) {
  setObjectName(QStringLiteral("frmAutoTests"));
  auto* layout = new QVBoxLayout(this);

  auto* fiscal = new QGroupBox(QStringLiteral("Fisacal tests"), this);
  fiscal->setObjectName(QStringLiteral("fraFiscalTests"));
  auto* f = new QVBoxLayout(fiscal);
  auto* fullTicket =
      NewButton("cmdFullFiscalTicket", QStringLiteral("Print FULL Fiscal Ticket (Sync)"), fiscal);
  auto* fullCredit =
      NewButton("cmdFullCreditNote", QStringLiteral("Print FULL Credit Note (Sync)"), fiscal);
  f->addWidget(fullTicket);
  f->addWidget(fullCredit);
  layout->addWidget(fiscal);

  auto* nonFiscal = new QGroupBox(QStringLiteral("Non fiscal tests"), this);
  nonFiscal->setObjectName(QStringLiteral("fraNonFiscalTests"));
  auto* n = new QVBoxLayout(nonFiscal);
  auto* simple = NewButton("cmdNonFiscalTicket",
                           QStringLiteral("Print SIMPLE Non Fiscal Ticket (w/o Z)"), nonFiscal);
  auto* full = NewButton("cmdFullNonFiscalTicket",
                         QStringLiteral("Print FULL Non Fiscal Ticket (w/ Z)"), nonFiscal);
  n->addWidget(simple);
  n->addWidget(full);
  layout->addWidget(nonFiscal);

  auto* autoTests = new QGroupBox(QStringLiteral("Fiscal tests (AUTO)"), this);
  autoTests->setObjectName(QStringLiteral("fraAutoTests"));
  auto* a = new QGridLayout(autoTests);
  cmdAutoPrintTicket_ = NewButton(
      "cmdAutoPrintTicket", QStringLiteral("Continuous Print Fiscal Ticket (Sync)"), autoTests);
  cmdPrintTicketA_ = NewButton("cmdPrintTicketA",
                               QStringLiteral("Continuous Print Fiscal Ticket (Async)"), autoTests);
  txtNumberOfLines_ = NewEdit("txtNumberOfLines", QStringLiteral("25"), autoTests);
  txtNumberOfTests_ = NewEdit("txtNumberOfTests", QStringLiteral("1"), autoTests);
  a->addWidget(cmdAutoPrintTicket_, 0, 0, 1, 2);
  a->addWidget(cmdPrintTicketA_, 1, 0, 1, 2);
  a->addWidget(NewLabel(QStringLiteral("#of lines"), autoTests), 2, 0);
  a->addWidget(txtNumberOfLines_, 2, 1);
  a->addWidget(NewLabel(QStringLiteral("Repetitions"), autoTests), 3, 0);
  a->addWidget(txtNumberOfTests_, 3, 1);
  layout->addWidget(autoTests);
  layout->addStretch();

  tmrTest_ = new QTimer(this);
  tmrTest_->setObjectName(QStringLiteral("tmrTest"));
  tmrTestA_ = new QTimer(this);
  tmrTestA_->setObjectName(QStringLiteral("tmrTestA"));
  for (QTimer* t : {tmrTest_, tmrTestA_}) t->setInterval(2000);
  connect(tmrTest_, &QTimer::timeout, this, [this] {
    tmrTest_->stop();
    RunLoop(false);
  });
  connect(tmrTestA_, &QTimer::timeout, this, [this] {
    tmrTestA_->stop();
    RunLoop(true);
  });

  connect(fullTicket, &QPushButton::clicked, this, [this, fullTicket] {
    RunTest(fullTicket, [](AutoTestContext& c) { FullFiscalTicket(c); });
  });
  connect(fullCredit, &QPushButton::clicked, this, [this, fullCredit] {
    RunTest(fullCredit, [](AutoTestContext& c) { FullCreditNote(c); });
  });
  connect(simple, &QPushButton::clicked, this, [this, simple] {
    RunTest(simple, [](AutoTestContext& c) { SimpleNonFiscalTicket(c); });
  });
  connect(full, &QPushButton::clicked, this,
          [this, full] { RunTest(full, [](AutoTestContext& c) { FullNonFiscalTicket(c); }); });
  connect(cmdAutoPrintTicket_, &QPushButton::clicked, this, [this] { RunLoop(false); });
  connect(cmdPrintTicketA_, &QPushButton::clicked, this, [this] { RunLoop(true); });
}

AutoTestContext frmAutoTests::Context() {
  return AutoTestContext{
      .wrapper = host_.Wrapper(),
      .boxes = host_.Boxes(),
      .update_status = [this] { host_.UpdateStatus(); },
      .pump = [] { QCoreApplication::processEvents(); },
      .app_folder = AppFolder(),
      .prefixes = prefixes_,
  };
}

void frmAutoTests::RunTest(QPushButton* button, const std::function<void(AutoTestContext&)>& test) {
  button->setEnabled(false);
  AutoTestContext context = Context();
  test(context);
  button->setEnabled(true);
}

void frmAutoTests::RunLoop(bool async) {
  cmdAutoPrintTicket_->setEnabled(false);
  cmdPrintTicketA_->setEnabled(false);
  int32_t repetitions = FieldNumber(txtNumberOfTests_);
  const int32_t lines = FieldNumber(txtNumberOfLines_);
  AutoTestContext context = Context();
  EnduranceReceipt(context, lines, async);
  --repetitions;
  if (repetitions > 0) {
    txtNumberOfTests_->setText(QString::number(repetitions));
    (async ? tmrTestA_ : tmrTest_)->start();
  }
  cmdAutoPrintTicket_->setEnabled(true);
  cmdPrintTicketA_->setEnabled(true);
}

}  // namespace kelo::testapp
