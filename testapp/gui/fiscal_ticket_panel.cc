#include "testapp/gui/fiscal_ticket_panel.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <charconv>

#include "opos/opos_constants.h"
#include "testapp/core/log_text.h"
#include "testapp/gui/panel_widgets.h"

namespace kelo::testapp {

namespace {

const QStringList kAdjustmentTypes = {
    QStringLiteral("FPTR_AT_AMOUNT_DISCOUNT"), QStringLiteral("FPTR_AT_AMOUNT_SURCHARGE"),
    QStringLiteral("FPTR_AT_PERCENTAGE_DISCOUNT"), QStringLiteral("FPTR_AT_PERCENTAGE_SURCHARGE")};

// An amount (four implied decimals) rounded to a whole number, halves to even.
int32_t WholeFromAmount(control::Currency amount) {
  int64_t whole = amount.value / 10000;
  const int64_t rest = amount.value % 10000;
  const int64_t twice = 2 * (rest < 0 ? -rest : rest);
  if (twice > 10000 || (twice == 10000 && whole % 2 != 0)) whole += rest < 0 ? -1 : 1;
  if (whole > INT32_MAX) return INT32_MAX;
  if (whole < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(whole);
}

}  // namespace

frmFiscalTicket::frmFiscalTicket(PanelHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName(QStringLiteral("frmFiscalTicket"));
  auto* outer = new QHBoxLayout(this);

  // Input fields.
  auto* fields = new QGridLayout();
  int row = 0;
  auto addField = [&](const QString& label, QWidget* field, QLabel** label_out = nullptr) {
    QLabel* l = NewLabel(label, this);
    fields->addWidget(l, row, 0);
    fields->addWidget(field, row++, 1);
    if (label_out) *label_out = l;
  };
  txtItemName_ = NewEdit("txtItemName", QStringLiteral("Articolo test"), this);
  addField(QStringLiteral("Description"), txtItemName_);
  txtItemAmount_ = NewEdit("txtItemAmount", QStringLiteral("1,00"), this);
  addField(QStringLiteral("Price"), txtItemAmount_);
  txtItemQty_ = NewEdit("txtItemQty", QStringLiteral("0"), this);
  addField(QStringLiteral("Qty"), txtItemQty_);
  txtItemUnitPrice_ = NewEdit("txtItemUnitPrice", QStringLiteral("0"), this);
  addField(QStringLiteral("Unit Price (not checked)"), txtItemUnitPrice_);
  txtUnitName_ = NewEdit("txtUnitName", QStringLiteral("Kg"), this);
  addField(QStringLiteral("Unit Description"), txtUnitName_);
  txtAdjustmentAmount_ = NewEdit("txtAdjustmentAmount", QStringLiteral("0,1"), this);
  addField(QStringLiteral("Adjustment amount"), txtAdjustmentAmount_);
  cbAdjustmentType_ = NewCombo("cbAdjustmentType", kAdjustmentTypes, this);
  addField(QStringLiteral("Adjustment Type"), cbAdjustmentType_);
  cbVatId_ = NewCombo("cbVatId", {}, this);
  addField(QStringLiteral("Vat ID"), cbVatId_, &lblVatId_);
  QStringList departments;
  for (int i = 1; i <= 250; ++i) departments << QStringLiteral("DEPT #%1").arg(i);
  cbDeptId_ = NewCombo("cbDeptId", departments, this);
  addField(QStringLiteral("Dept ID"), cbDeptId_, &lblDeptId_);
  chkDeptSelect_ = NewCheck("chkDeptSelect", QStringLiteral("Dept Mode"), this);
  fields->addWidget(chkDeptSelect_, row++, 1);
  txtRecMessage_ = NewEdit("txtRecMessage", QStringLiteral("This is a message"), this);
  addField(QStringLiteral("RecMessage"), txtRecMessage_);
  txtNotPaidDesc_ = NewEdit("txtNotPaidDesc", QStringLiteral("<<Not Paid!>>"), this);
  addField(QStringLiteral("Not Paid Description"), txtNotPaidDesc_);
  txtTicketTotal_ = NewEdit("txtTicketTotal", QStringLiteral("0"), this);
  addField(QStringLiteral("Ticket Total"), txtTicketTotal_);
  txtPayment_ = NewEdit("txtPayment", QStringLiteral("0"), this);
  addField(QStringLiteral("Payment"), txtPayment_);
  cbPaymentForm_ = NewCombo("cbPaymentForm", {}, this, /*editable=*/true);
  addField(QStringLiteral("Payment Form"), cbPaymentForm_);
  chkBegFiscalHeader_ = NewCheck("chkBegFiscalHeader", QStringLiteral("printHeader"), this);
  fields->addWidget(chkBegFiscalHeader_, row++, 1);

  auto* refund = new QGroupBox(QStringLiteral("Nota di Credito"), this);
  refund->setObjectName(QStringLiteral("fraNotaDiCredito"));
  auto* refundLayout = new QGridLayout(refund);
  chkReceiptRefund_ = NewCheck("chkReceiptRefund", QStringLiteral("\"Nota di Credito\""), refund);
  txtPraticadiReso_ = NewEdit("txtPraticadiReso", QString(), refund);
  refundLayout->addWidget(chkReceiptRefund_, 0, 0, 1, 2);
  refundLayout->addWidget(NewLabel(QStringLiteral("Pratica diReso"), refund), 1, 0);
  refundLayout->addWidget(txtPraticadiReso_, 1, 1);
  fields->addWidget(refund, row++, 0, 1, 2);

  auto* options = new QHBoxLayout();
  chkAsyncMode_ = NewCheck("chkAsyncMode", QStringLiteral("Async Mode"), this);
  chkFlagWhenIdle_ = NewCheck("chkFlagWhenIdle", QStringLiteral("FlagWhenIdle"), this);
  chkDupReceipt_ = NewCheck("chkDupReceipt", QStringLiteral("DuplicateReceipt"), this);
  options->addWidget(chkAsyncMode_);
  options->addWidget(chkFlagWhenIdle_);
  options->addWidget(chkDupReceipt_);
  fields->addLayout(options, row++, 0, 1, 2);
  fields->setRowStretch(row, 1);
  outer->addLayout(fields, 1);

  // Buttons.
  auto* buttons = new QGridLayout();
  struct Button {
    const char* name;
    const char* caption;
    void (frmFiscalTicket::*handler)();
  };
  const Button kButtons[] = {
      {"cmdBeginFiscalReceipt", "BeginFiscalReceipt", &frmFiscalTicket::BeginFiscalReceipt},
      {"cmdPrintRecItem", "PrintRecItem", &frmFiscalTicket::PrintRecItem},
      {"cmdPrintRecItemX", "PrintRecItemX", &frmFiscalTicket::PrintRecItemX},
      {"cmdPrintRecItemVoid", "PrintRecItemVoid", &frmFiscalTicket::PrintRecItemVoid},
      {"cmdItemAdjustment", "ItemAdjustment", &frmFiscalTicket::ItemAdjustment},
      {"cmdPrintRecItemAdjustmentVoid", "PrintRecItemAdjustmentVoid",
       &frmFiscalTicket::PrintRecItemAdjustmentVoid},
      {"cmdPrintRecRefund", "PrintRecRefund", &frmFiscalTicket::PrintRecRefund},
      {"cmdPrintRecRefundVoid", "PrintRecRefundVoid", &frmFiscalTicket::PrintRecRefundVoid},
      {"cmdPrintRecMessage", "PrintRecMessage", &frmFiscalTicket::PrintRecMessage},
      {"cmdPrintRecNotPaid", "PrintRecNotPaid", &frmFiscalTicket::PrintRecNotPaid},
      {"cmdPrintRecSubtotal", "PrintRecSubtotal", &frmFiscalTicket::PrintRecSubtotal},
      {"cmdSBTAdjustment", "SBT Adjustment", &frmFiscalTicket::SubtotalAdjustment},
      {"cmdSBTAdjustmentVoid", "SBT Adjustment Void", &frmFiscalTicket::SubtotalAdjustmentVoid},
      {"cmdPrintRecTotal", "PrintRecTotal", &frmFiscalTicket::PrintRecTotal},
      {"cmdPrintRecVoid", "PrintRecVoid", &frmFiscalTicket::PrintRecVoid},
      {"cmdEndFiscalReceipt", "EndFiscalReceipt", &frmFiscalTicket::EndFiscalReceipt},
      {"cmdPrintDuplicateReceipt", "PrintDuplicateReceipt",
       &frmFiscalTicket::PrintDuplicateReceipt},
      {"cmdClearOutput", "ClearOutput", &frmFiscalTicket::ClearOutput},
  };
  int brow = 0;
  for (const Button& b : kButtons) {
    QPushButton* button = NewButton(b.name, QString::fromLatin1(b.caption), this);
    connect(button, &QPushButton::clicked, this, b.handler);
    buttons->addWidget(button, brow++, 0);
    if (b.handler == &frmFiscalTicket::PrintRecItemX) {
      // The repetition count with its up-down control beside the button.
      auto* repeat = new QHBoxLayout();
      txtPrintRecRpt_ = NewEdit("txtPrintRecRpt", QStringLiteral("5"), this);
      txtPrintRecRpt_->setMaximumWidth(60);
      auto* updown = new QSpinBox(this);
      updown->setObjectName(QStringLiteral("UpDownPrintRecRpt"));
      updown->setRange(0, 9999);
      updown->setValue(5);
      updown->setMaximumWidth(70);
      connect(updown, &QSpinBox::valueChanged, this,
              [this](int value) { txtPrintRecRpt_->setText(QString::number(value)); });
      repeat->addWidget(txtPrintRecRpt_);
      repeat->addWidget(updown);
      buttons->addLayout(repeat, brow - 1, 1);
    }
  }
  buttons->setRowStretch(brow, 1);
  outer->addLayout(buttons);

  tmrUpdateReceiptTotal_ = new QTimer(this);
  tmrUpdateReceiptTotal_->setObjectName(QStringLiteral("tmrUpdateReceiptTotal"));
  tmrUpdateReceiptTotal_->setInterval(500);
  connect(tmrUpdateReceiptTotal_, &QTimer::timeout, this,
          &frmFiscalTicket::tmrUpdateReceiptTotal_Timer);

  // The boxes act when the user clicks them; the main window's refresh sets them without
  // writing the property back.
  connect(chkAsyncMode_, &QCheckBox::clicked, this,
          [this](bool checked) { host_.Wrapper().SetAsyncMode(checked); });
  connect(chkFlagWhenIdle_, &QCheckBox::clicked, this,
          [this](bool checked) { host_.Wrapper().SetFlagWhenIdle(checked); });
  connect(chkDupReceipt_, &QCheckBox::clicked, this,
          [this](bool checked) { host_.Wrapper().SetDuplicateReceipt(checked); });
  connect(chkDeptSelect_, &QCheckBox::toggled, this, [this](bool department) {
    cbDeptId_->setVisible(department);
    lblDeptId_->setVisible(department);
    cbVatId_->setVisible(!department);
    lblVatId_->setVisible(!department);
  });
  cbDeptId_->setVisible(false);
  lblDeptId_->setVisible(false);

  // Start-up: the VAT list from the device, the amounts in the program's format, one total
  // refresh.
  const int32_t rates = host_.Wrapper().NumVatRates();
  cbVatId_->addItem(QStringLiteral("VAT Exempt"));
  for (int32_t i = 1; i <= rates; ++i) cbVatId_->addItem(QStringLiteral("VAT #%1").arg(i));
  cbVatId_->setCurrentIndex(0);
  txtItemAmount_->setText(QString::fromStdString(FormatAmount(control::Currency(10000))));
  txtAdjustmentAmount_->setText(QString::fromStdString(FormatAmount(control::Currency(1000))));
  txtItemQty_->setText(QString::fromStdString(FormatAmount(control::Currency(0))));
  StartTotalRefresh();
}

int32_t frmFiscalTicket::VatInfo() const {
  if (chkDeptSelect_->isChecked()) return cbDeptId_->currentIndex() + 10001;
  return cbVatId_->currentIndex();
}

control::Currency frmFiscalTicket::Amount(const QLineEdit* field) const {
  return ParseAmount(Utf8(field), host_.Boxes());
}

std::string frmFiscalTicket::Description() const {
  return ExpandEscapes(Utf8(txtItemName_));
}

std::string frmFiscalTicket::CountedDescription() const {
  return Description() + std::to_string(item_counter_);
}

int32_t frmFiscalTicket::AdjustmentType() const {
  return cbAdjustmentType_->currentIndex() + 1;
}

std::string frmFiscalTicket::SettingsText(const char* name) const {
  QWidget* settings = host_.Panel(QStringLiteral("frmSettings"));
  auto* edit = settings ? settings->findChild<QLineEdit*>(QString::fromLatin1(name)) : nullptr;
  return edit ? Utf8(edit) : std::string();
}

void frmFiscalTicket::StartTotalRefresh() {
  // Re-enabling restarts the wait.
  tmrUpdateReceiptTotal_->start(500);
}

void frmFiscalTicket::AfterLine(int32_t result, bool refresh) {
  last_result_ = result;
  host_.UpdateStatus();
  if (refresh && result == 0) StartTotalRefresh();
}

void frmFiscalTicket::tmrUpdateReceiptTotal_Timer() {
  clsFprtWrapper& w = host_.Wrapper();
  // An asynchronous print still running: ask again on the next tick.
  const int32_t state = w.State();
  if (state == opos::OPOS_S_BUSY) return;
  tmrUpdateReceiptTotal_->stop();
  // A closed device has no receipt (the refresh the panel starts with finds it so): asking
  // would only log, and record, a failing GetData.
  if (state == opos::OPOS_S_CLOSED) return;
  int32_t opt = 0;
  std::string data;
  w.GetData(1, opt, data);
  // The total in hundredths; a text that is no number leaves the fields as they are.
  int64_t hundredths = 0;
  const char* begin = data.data();
  const char* end = data.data() + data.size();
  while (begin < end && *begin == ' ') ++begin;
  const auto [ptr, ec] = std::from_chars(begin, end, hundredths);
  if (ec != std::errc() || ptr == begin || hundredths > INT64_MAX / 100 ||
      hundredths < INT64_MIN / 100) {
    return;
  }
  const QString text = QString::fromStdString(FormatAmount(control::Currency(hundredths * 100)));
  txtTicketTotal_->setText(text);
  txtPayment_->setText(text);
}

void frmFiscalTicket::BeginFiscalReceipt() {
  clsFprtWrapper& w = host_.Wrapper();
  if (chkReceiptRefund_->isChecked()) {
    w.SetFiscalReceiptType(opos::FPTR_RT_REFUND);
    w.SetPreLine(Utf8(txtPraticadiReso_));
  } else {
    w.SetFiscalReceiptType(opos::FPTR_RT_SALES);
  }
  w.SetAdditionalHeader(ExpandEscapes(SettingsText("txtAdditionalHeader")));
  last_result_ = w.BeginFiscalReceipt(chkBegFiscalHeader_->isChecked());
  host_.UpdateStatus();
  item_counter_ = 0;
  StartTotalRefresh();
}

void frmFiscalTicket::PrintRecItem() {
  ++item_counter_;
  const int32_t rc = host_.Wrapper().PrintRecItem(CountedDescription(), Amount(txtItemAmount_),
                                                  WholeFromAmount(Amount(txtItemQty_)), VatInfo(),
                                                  Amount(txtItemUnitPrice_), Utf8(txtUnitName_));
  AfterLine(rc, true);
}

void frmFiscalTicket::PrintRecItemX() {
  const std::optional<int32_t> count = WholeNumberField(txtPrintRecRpt_->text());
  if (!count || *count <= 0) {
    host_.Boxes().ShowMessage("BAD NUMBERO OF REPETITION");
    return;
  }
  for (int32_t i = 0; i < *count; ++i) {
    PrintRecItem();
    if (host_.Wrapper().ResultCode() != 0) break;
  }
}

void frmFiscalTicket::PrintRecItemVoid() {
  const int32_t rc = host_.Wrapper().PrintRecItemVoid(
      "**** " + CountedDescription(), Amount(txtItemAmount_), WholeFromAmount(Amount(txtItemQty_)),
      VatInfo(), Amount(txtItemUnitPrice_), Utf8(txtUnitName_));
  AfterLine(rc, true);
}

void frmFiscalTicket::ItemAdjustment() {
  const int32_t rc = host_.Wrapper().PrintRecItemAdjustment(
      AdjustmentType(), ExpandEscapes(Utf8(cbAdjustmentType_->currentText())),
      Amount(txtAdjustmentAmount_), VatInfo());
  AfterLine(rc, true);
}

void frmFiscalTicket::PrintRecItemAdjustmentVoid() {
  const int32_t rc = host_.Wrapper().PrintRecItemAdjustmentVoid(
      AdjustmentType(), "**** " + CountedDescription(), Amount(txtAdjustmentAmount_), VatInfo());
  AfterLine(rc, true);
}

void frmFiscalTicket::PrintRecRefund() {
  const int32_t rc =
      host_.Wrapper().PrintRecRefund("REFUND>>" + Description(), Amount(txtItemAmount_), VatInfo());
  AfterLine(rc, true);
}

void frmFiscalTicket::PrintRecRefundVoid() {
  const int32_t rc = host_.Wrapper().PrintRecRefundVoid("REFUNDVOID>>" + Description(),
                                                        Amount(txtItemAmount_), VatInfo());
  AfterLine(rc, true);
}

void frmFiscalTicket::PrintRecMessage() {
  AfterLine(host_.Wrapper().PrintRecMessage(ExpandEscapes(Utf8(txtRecMessage_))), false);
}

void frmFiscalTicket::PrintRecNotPaid() {
  AfterLine(
      host_.Wrapper().PrintRecNotPaid(ExpandEscapes(Utf8(txtNotPaidDesc_)), Amount(txtPayment_)),
      false);
}

void frmFiscalTicket::PrintRecSubtotal() {
  AfterLine(host_.Wrapper().PrintRecSubtotal(Amount(txtTicketTotal_)), false);
}

void frmFiscalTicket::SubtotalAdjustment() {
  const int32_t rc = host_.Wrapper().PrintRecSubtotalAdjustment(
      AdjustmentType(), Utf8(cbAdjustmentType_->currentText()), Amount(txtAdjustmentAmount_));
  AfterLine(rc, true);
}

void frmFiscalTicket::SubtotalAdjustmentVoid() {
  const int32_t rc =
      host_.Wrapper().PrintRecSubtotalAdjustVoid(AdjustmentType(), Amount(txtAdjustmentAmount_));
  AfterLine(rc, true);
}

void frmFiscalTicket::PrintRecTotal() {
  AfterLine(host_.Wrapper().PrintRecTotal(Amount(txtTicketTotal_), Amount(txtPayment_),
                                          ExpandEscapes(Utf8(cbPaymentForm_->currentText()))),
            false);
}

void frmFiscalTicket::PrintRecVoid() {
  AfterLine(host_.Wrapper().PrintRecVoid(ExpandEscapes(Utf8(txtNotPaidDesc_))), false);
}

void frmFiscalTicket::EndFiscalReceipt() {
  clsFprtWrapper& w = host_.Wrapper();
  w.SetAdditionalTrailer(ExpandEscapes(SettingsText("txtAdditionalTrailer")));
  AfterLine(w.EndFiscalReceipt(chkBegFiscalHeader_->isChecked()), false);
}

void frmFiscalTicket::PrintDuplicateReceipt() {
  AfterLine(host_.Wrapper().PrintDuplicateReceipt(), false);
}

void frmFiscalTicket::ClearOutput() {
  AfterLine(host_.Wrapper().ClearOutput(), false);
}

}  // namespace kelo::testapp
