#include "testapp/gui/settings_panel.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QListWidget>
#include <QVBoxLayout>

#include "testapp/core/log_text.h"
#include "testapp/gui/panel_widgets.h"

namespace kelo::testapp {

QString VatRateText(int32_t rate) {
  // The general number format: no trailing zeros, no decimal point for whole numbers. The
  // point is used in every locale, as for amounts.
  QString text = QString::number(static_cast<double>(rate) / 100.0, 'f', 2);
  while (text.contains(QLatin1Char('.')) && text.endsWith(QLatin1Char('0'))) text.chop(1);
  if (text.endsWith(QLatin1Char('.'))) text.chop(1);
  return text;
}

frmSettings::frmSettings(PanelHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName(QStringLiteral("frmSettings"));
  auto* grid = new QGridLayout(this);
  int row = 0;

  txtSetDate_ = NewEdit("txtSetDate", QString(), this);
  grid->addWidget(NewLabel(QStringLiteral("ddmmyyyyhhmm"), this), row, 0);
  grid->addWidget(txtSetDate_, row, 1);
  auto* getDate = NewButton("cmdGetDate", QStringLiteral("GetDate"), this);
  auto* setDate = NewButton("cmdSetDate", QStringLiteral("SetDate"), this);
  grid->addWidget(getDate, row, 2);
  grid->addWidget(setDate, row++, 3);
  OnDoubleClick(txtSetDate_, [this] { txtSetDate_->setText(NowDateTimeText()); });

  auto addLine = [&](const char* numName, const char* textName, const char* checkName,
                     const char* buttonName, const QString& caption, QLineEdit** num,
                     QLineEdit** text, QCheckBox** check) {
    *num = NewEdit(numName, QStringLiteral("1"), this);
    (*num)->setMaximumWidth(50);
    *text = NewEdit(textName, QStringLiteral("1"), this);
    *check = NewCheck(checkName, QStringLiteral("Double Width"), this);
    auto* line = new QHBoxLayout();
    line->addWidget(NewLabel(QStringLiteral("NUM"), this));
    line->addWidget(*num);
    line->addWidget(NewLabel(QStringLiteral("TEXT"), this));
    line->addWidget(*text, 1);
    line->addWidget(*check);
    grid->addLayout(line, row, 0, 1, 3);
    auto* button = NewButton(buttonName, caption, this);
    grid->addWidget(button, row++, 3);
    return button;
  };
  auto* header = addLine("txtSetHeaderLineNum", "txtSetHeaderLineText", "chkDoubleWidthHeader",
                         "cmdSetHeaderLine", QStringLiteral("SetHeaderLine"), &txtSetHeaderLineNum_,
                         &txtSetHeaderLineText_, &chkDoubleWidthHeader_);
  auto* trailer = addLine("txtSetTrailerLineNum", "txtSetTrailerLineText", "chkDoubleWidthTrailer",
                          "cmdSetTrailerLine", QStringLiteral("SetTrailerLine"),
                          &txtSetTrailerLineNum_, &txtSetTrailerLineText_, &chkDoubleWidthTrailer_);

  txtPOSID_ = NewEdit("txtPOSID", QString(), this);
  txtCASHIERID_ = NewEdit("txtCASHIERID", QString(), this);
  auto* ids = new QHBoxLayout();
  ids->addWidget(NewLabel(QStringLiteral("POSID"), this));
  ids->addWidget(txtPOSID_);
  ids->addWidget(NewLabel(QStringLiteral("CashierID"), this));
  ids->addWidget(txtCASHIERID_);
  grid->addLayout(ids, row, 0, 1, 3);
  auto* posId = NewButton("cmdSetPosID", QStringLiteral("SetPosID"), this);
  grid->addWidget(posId, row++, 3);

  auto* additional = new QGroupBox(QStringLiteral("Aditional trailers - headers"), this);
  additional->setObjectName(QStringLiteral("fraAdditional"));
  auto* addGrid = new QGridLayout(additional);
  addGrid->addWidget(NewLabel(QStringLiteral("Additional header"), additional), 0, 0);
  addGrid->addWidget(NewEdit("txtAdditionalHeader", QString(), additional), 0, 1);
  addGrid->addWidget(NewLabel(QStringLiteral("Additional trailer"), additional), 1, 0);
  addGrid->addWidget(NewEdit("txtAdditionalTrailer", QString(), additional), 1, 1);
  grid->addWidget(additional, row++, 0, 1, 4);

  auto* vat = new QGroupBox(QStringLiteral("VatRates"), this);
  vat->setObjectName(QStringLiteral("fraVatRates"));
  auto* vatGrid = new QGridLayout(vat);
  lstVatRates_ = new QListWidget(vat);
  lstVatRates_->setObjectName(QStringLiteral("lstVatRates"));
  txtVatIndex_ = NewEdit("txtVatIndex", QString(), vat);
  txtVatRate_ = NewEdit("txtVatRate", QString(), vat);
  txtVatRate_->installEventFilter(this);
  vatGrid->addWidget(lstVatRates_, 0, 0, 4, 1);
  vatGrid->addWidget(NewLabel(QStringLiteral("VAT index"), vat), 0, 1);
  vatGrid->addWidget(txtVatIndex_, 0, 2);
  vatGrid->addWidget(NewLabel(QStringLiteral("VAT rate"), vat), 1, 1);
  vatGrid->addWidget(txtVatRate_, 1, 2);
  auto* getRates = NewButton("cmdGetVatRates", QStringLiteral("GetVatRates"), vat);
  auto* setRates = NewButton("cmdSetVatRateTable", QStringLiteral("SetVatRateTable"), vat);
  vatGrid->addWidget(getRates, 2, 1, 1, 2);
  vatGrid->addWidget(setRates, 3, 1, 1, 2);
  grid->addWidget(vat, row++, 0, 1, 4);
  grid->setRowStretch(row, 1);

  connect(getDate, &QPushButton::clicked, this, &frmSettings::GetDate);
  connect(setDate, &QPushButton::clicked, this, &frmSettings::SetDate);
  connect(header, &QPushButton::clicked, this, &frmSettings::SetHeaderLine);
  connect(trailer, &QPushButton::clicked, this, &frmSettings::SetTrailerLine);
  connect(posId, &QPushButton::clicked, this, &frmSettings::SetPosID);
  connect(getRates, &QPushButton::clicked, this, &frmSettings::GetVatRates);
  connect(setRates, &QPushButton::clicked, this, &frmSettings::SetVatRateTable);
  connect(lstVatRates_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    txtVatRate_->setText(item->text());
    txtVatIndex_->setText(QString::number(lstVatRates_->row(item) + 1));
  });
}

bool frmSettings::eventFilter(QObject* watched, QEvent* event) {
  if (watched == txtVatRate_ && event->type() == QEvent::FocusOut) StoreEditedRate();
  return QWidget::eventFilter(watched, event);
}

void frmSettings::StoreEditedRate() {
  const std::optional<int32_t> index = WholeNumberField(txtVatIndex_->text());
  // Only a line that exists can be replaced; any other index leaves the list as it is.
  if (!index || *index < 1 || *index > lstVatRates_->count()) return;
  delete lstVatRates_->takeItem(*index - 1);
  lstVatRates_->insertItem(*index - 1, txtVatRate_->text());
}

void frmSettings::GetDate() {
  std::string date;
  host_.Wrapper().GetDate(date);
  txtSetDate_->setText(QString::fromStdString(date));
  host_.UpdateStatus();
}

void frmSettings::SetDate() {
  host_.Wrapper().SetDate(Utf8(txtSetDate_));
  host_.UpdateStatus();
}

void frmSettings::SetHeaderLine() {
  host_.Wrapper().SetHeaderLine(WholeNumberField(txtSetHeaderLineNum_->text()).value_or(0),
                                ExpandEscapes(Utf8(txtSetHeaderLineText_)),
                                chkDoubleWidthHeader_->isChecked());
  host_.UpdateStatus();
}

void frmSettings::SetTrailerLine() {
  host_.Wrapper().SetTrailerLine(WholeNumberField(txtSetTrailerLineNum_->text()).value_or(0),
                                 ExpandEscapes(Utf8(txtSetTrailerLineText_)),
                                 chkDoubleWidthTrailer_->isChecked());
  host_.UpdateStatus();
}

void frmSettings::SetPosID() {
  host_.Wrapper().SetPOSID(Utf8(txtPOSID_), Utf8(txtCASHIERID_));
  host_.UpdateStatus();
}

void frmSettings::GetVatRates() {
  clsFprtWrapper& w = host_.Wrapper();
  lstVatRates_->clear();
  const int32_t rates = w.NumVatRates();
  for (int32_t i = 1; i <= rates; ++i) {
    int32_t rate = 0;
    w.GetVatEntry(i, 0, rate);
    lstVatRates_->addItem(VatRateText(rate));
  }
  host_.UpdateStatus();
}

void frmSettings::SetVatRateTable() {
  clsFprtWrapper& w = host_.Wrapper();
  const int32_t rates = w.NumVatRates();
  for (int32_t i = 1; i <= rates; ++i) {
    // A list shorter than the device's table sends empty texts for the missing lines.
    QListWidgetItem* item = lstVatRates_->item(i - 1);
    if (item) lstVatRates_->setCurrentItem(item);
    w.SetVatValue(i, item ? Utf8(item->text()) : std::string());
    host_.UpdateStatus();
    if (w.ResultCode() != 0) break;
  }
  lstVatRates_->setCurrentRow(-1);
  lstVatRates_->clearSelection();
  w.SetVatTable();
  host_.UpdateStatus();
}

}  // namespace kelo::testapp
