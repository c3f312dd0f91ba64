#include "testapp/gui/nonfiscal_panel.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "testapp/core/log_text.h"
#include "testapp/gui/panel_widgets.h"

namespace kelo::testapp {

int32_t StationValue(const QString& name) {
  if (name == QLatin1String("FPTR_S_JOURNAL")) return 1;
  if (name == QLatin1String("FPTR_S_RECEIPT")) return 2;
  if (name == QLatin1String("FPTR_S_JOURNAL_RECEIPT")) return 3;
  return 0;
}

frmNonFiscal::frmNonFiscal(PanelHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName(QStringLiteral("frmNonFiscal"));
  auto* layout = new QVBoxLayout(this);

  auto* nonFiscal = new QGroupBox(QStringLiteral("Non Fiscal"), this);
  nonFiscal->setObjectName(QStringLiteral("fraNonFiscal"));
  auto* nf = new QGridLayout(nonFiscal);
  cbPrintNorStation_ = NewCombo("cbPrintNorStation",
                                {QStringLiteral("FPTR_S_RECEIPT"), QStringLiteral("FPTR_S_JOURNAL"),
                                 QStringLiteral("FPTR_S_JOURNAL_RECEIPT")},
                                nonFiscal);
  txtPrintNormal_ = NewEdit("txtPrintNormal", QStringLiteral("Test Print"), nonFiscal);
  auto* begin = NewButton("cmdBeginNonFiscal", QStringLiteral("BeginNonFiscal"), nonFiscal);
  auto* print = NewButton("cmdPrintNormal", QStringLiteral("PrintNormal"), nonFiscal);
  auto* end = NewButton("cmdEndNonFiscal", QStringLiteral("EndNonFiscal"), nonFiscal);
  nf->addWidget(NewLabel(QStringLiteral("Printer station"), nonFiscal), 0, 0);
  nf->addWidget(cbPrintNorStation_, 0, 1);
  nf->addWidget(NewLabel(QStringLiteral("Text message"), nonFiscal), 1, 0);
  nf->addWidget(txtPrintNormal_, 1, 1);
  nf->addWidget(begin, 2, 0);
  nf->addWidget(print, 2, 1);
  nf->addWidget(end, 2, 2);
  layout->addWidget(nonFiscal);

  auto* training = new QGroupBox(QStringLiteral("Training Mode"), this);
  training->setObjectName(QStringLiteral("fraTrainingMode"));
  auto* tr = new QHBoxLayout(training);
  auto* beginTraining =
      NewButton("cmdBeginTraining", QStringLiteral("Begin Training Mode"), training);
  auto* endTraining = NewButton("cmdEndTraining", QStringLiteral("End Training Mode"), training);
  tr->addWidget(beginTraining);
  tr->addWidget(endTraining);
  tr->addStretch();
  layout->addWidget(training);
  layout->addStretch();

  connect(begin, &QPushButton::clicked, this, [this] {
    host_.Wrapper().BeginNonFiscal();
    host_.UpdateStatus();
  });
  connect(print, &QPushButton::clicked, this, &frmNonFiscal::PrintNormal);
  connect(end, &QPushButton::clicked, this, [this] {
    host_.Wrapper().EndNonFiscal();
    host_.UpdateStatus();
  });
  connect(beginTraining, &QPushButton::clicked, this, [this] {
    host_.Wrapper().BeginTraining();
    host_.UpdateStatus();
  });
  connect(endTraining, &QPushButton::clicked, this, [this] {
    host_.Wrapper().EndTraining();
    host_.UpdateStatus();
  });
}

void frmNonFiscal::PrintNormal() {
  host_.Wrapper().PrintNormal(StationValue(cbPrintNorStation_->currentText()),
                              ExpandEscapes(Utf8(txtPrintNormal_)));
  host_.UpdateStatus();
}

}  // namespace kelo::testapp
