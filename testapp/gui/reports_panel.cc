#include "testapp/gui/reports_panel.h"

#include <QDate>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

#include "testapp/core/log_text.h"
#include "testapp/gui/panel_widgets.h"

namespace kelo::testapp {

namespace {

struct DataItem {
  const char* name;
  int32_t item;
  int32_t opt_args;
};

// The names without a dash are the published data items with optional argument 0; the dashed
// ones are tender (26), line count (27) and description length (28) with the published
// constant after the dash as optional argument.
constexpr DataItem kDataItems[] = {
    {"GD_CURRENT_TOTAL", 1, 0},
    {"GD_DAILY_TOTAL", 2, 0},
    {"GD_RECEIPT_NUMBER", 3, 0},
    {"GD_REFUND", 4, 0},
    {"GD_NOT_PAID", 5, 0},
    {"GD_MID_VOID", 6, 0},
    {"GD_Z_REPORT", 7, 0},
    {"GD_GRAND_TOTAL", 8, 0},
    {"GD_PRINTER_ID", 9, 0},
    {"GD_FIRMWARE", 10, 0},
    {"GD_RESTART", 11, 0},
    {"GD_REFUND_VOID", 12, 0},
    {"GD_NUMB_CONFIG_BLOCK", 13, 0},
    {"GD_NUMB_CURRENCY_BLOCK", 14, 0},
    {"GD_NUMB_HDR_BLOCK", 15, 0},
    {"GD_NUMB_RESET_BLOCK", 16, 0},
    {"GD_NUMB_VAT_BLOCK", 17, 0},
    {"GD_FISCAL_DOC", 18, 0},
    {"GD_FISCAL_DOC_VOID", 19, 0},
    {"GD_FISCAL_REC", 20, 0},
    {"GD_FISCAL_REC_VOID", 21, 0},
    {"GD_NONFISCAL_DOC", 22, 0},
    {"GD_NONFISCAL_DOC_VOID", 23, 0},
    {"GD_NONFISCAL_REC", 24, 0},
    {"GD_SIMP_INVOICE", 25, 0},
    {"GD_TENDER - PDL_CASH", 26, 1},
    {"GD_TENDER - PDL_CHEQUE", 26, 2},
    {"GD_TENDER - PDL_CHITTY", 26, 3},
    {"GD_TENDER - PDL_COUPON", 26, 4},
    {"GD_TENDER - PDL_CURRENCY", 26, 5},
    {"GD_TENDER - PDL_DRIVEN_OFF", 26, 6},
    {"GD_TENDER - PDL_EFT_IMPRINTER", 26, 7},
    {"GD_TENDER - PDL_EFT_TERMINAL", 26, 8},
    {"GD_TENDER - PDL_TERMINAL_IMPRINTER", 26, 9},
    {"GD_TENDER - PDL_FREE_GIFT", 26, 10},
    {"GD_TENDER - PDL_GIRO", 26, 11},
    {"GD_TENDER - PDL_HOME", 26, 12},
    {"GD_TENDER - PDL_IMPRINTER_WITH_ISSUER", 26, 13},
    {"GD_TENDER - PDL_LOCAL_ACCOUNT", 26, 14},
    {"GD_TENDER - PDL_LOCAL_ACCOUNT_CARD", 26, 15},
    {"GD_TENDER - PDL_PAY_CARD", 26, 16},
    {"GD_TENDER - PDL_PAY_CARD_MANUAL", 26, 17},
    {"GD_TENDER - PDL_PREPAY", 26, 18},
    {"GD_TENDER - PDL_PUMP_TEST", 26, 19},
    {"GD_TENDER - PDL_SHORT_CREDIT", 26, 20},
    {"GD_TENDER - PDL_STAFF", 26, 21},
    {"GD_TENDER - PDL_VOUCHER", 26, 22},
    {"GD_LINECOUNT - LC_ITEM", 27, 1},
    {"GD_LINECOUNT - LC_ITEM_VOID", 27, 2},
    {"GD_LINECOUNT - LC_DISCOUNT", 27, 3},
    {"GD_LINECOUNT - LC_DISCOUNT_VOID", 27, 4},
    {"GD_LINECOUNT - LC_SURCHARGE", 27, 5},
    {"GD_LINECOUNT - LC_SURCHARGE_VOID", 27, 6},
    {"GD_LINECOUNT - LC_REFUND", 27, 7},
    {"GD_LINECOUNT - LC_REFUND_VOID", 27, 8},
    {"GD_LINECOUNT - LC_SUBTOTAL_DISCOUNT", 27, 9},
    {"GD_LINECOUNT - LC_SUBTOTAL_DISCOUNT_VOID", 27, 10},
    {"GD_LINECOUNT - LC_SUBTOTAL_SURCHARGE", 27, 11},
    {"GD_LINECOUNT - LC_SUBTOTAL_SURCHARGE_VOID", 27, 12},
    {"GD_LINECOUNT - LC_COMMENT", 27, 13},
    {"GD_LINECOUNT - LC_SUBTOTAL", 27, 14},
    {"GD_LINECOUNT - LC_TOTAL", 27, 15},
    {"GD_DESCRIPTION_LENGTH - DL_ITEM", 28, 1},
    {"GD_DESCRIPTION_LENGTH - DL_ITEM_ADJUSTMENT", 28, 2},
    {"GD_DESCRIPTION_LENGTH - DL_ITEM_FUEL", 28, 3},
    {"GD_DESCRIPTION_LENGTH - DL_ITEM_FUEL_VOID", 28, 4},
    {"GD_DESCRIPTION_LENGTH - DL_NOT_PAID", 28, 5},
    {"GD_DESCRIPTION_LENGTH - DL_PACKAGE_ADJUSTMENT", 28, 6},
    {"GD_DESCRIPTION_LENGTH - DL_REFUND", 28, 7},
    {"GD_DESCRIPTION_LENGTH - DL_REFUND_VOID", 28, 8},
    {"GD_DESCRIPTION_LENGTH - DL_SUBTOTAL_ADJUSTMENT", 28, 9},
    {"GD_DESCRIPTION_LENGTH - DL_TOTAL", 28, 10},
    {"GD_DESCRIPTION_LENGTH - DL_VOID", 28, 11},
    {"GD_DESCRIPTION_LENGTH - DL_VOID_ITEM", 28, 12},
};

// The date fields take "DDMMYYYY0000" on a double click (hour and minute zero).
void DateOnDoubleClick(QLineEdit* edit) {
  OnDoubleClick(edit, [edit] {
    edit->setText(QDate::currentDate().toString(QStringLiteral("ddMMyyyy")) +
                  QStringLiteral("0000"));
  });
}

}  // namespace

std::pair<int32_t, int32_t> DataItemArguments(const QString& name) {
  for (const DataItem& d : kDataItems) {
    if (name == QLatin1String(d.name)) return {d.item, d.opt_args};
  }
  return {0, 0};
}

QStringList DataItemNames() {
  QStringList names;
  for (const DataItem& d : kDataItems) names << QString::fromLatin1(d.name);
  return names;
}

frmReports::frmReports(PanelHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName(QStringLiteral("frmReports"));
  auto* grid = new QGridLayout(this);
  int row = 0;

  auto* x = NewButton("cmdXReport", QStringLiteral("X Report"), this);
  auto* z = NewButton("cmdZReport", QStringLiteral("Z Report"), this);
  grid->addWidget(x, row, 0);
  grid->addWidget(z, row++, 1);

  cbReportType_ =
      NewCombo("cbReportType", {QStringLiteral("RT_ORDINAL"), QStringLiteral("RT_DATE")}, this);
  txtPrtRptStart_ = NewEdit("txtPrtRptStart", QString(), this);
  txtPrtRptEnd_ = NewEdit("txtPrtRptEnd", QString(), this);
  auto* report = NewButton("cmdPrintReport", QStringLiteral("PrintReport"), this);
  grid->addWidget(NewLabel(QStringLiteral("Type"), this), row, 0);
  grid->addWidget(cbReportType_, row++, 1);
  grid->addWidget(NewLabel(QStringLiteral("Start num / date ddmmyyyyhhmm"), this), row, 0);
  grid->addWidget(txtPrtRptStart_, row++, 1);
  grid->addWidget(NewLabel(QStringLiteral("End num / date ddmmyyyyhhmm"), this), row, 0);
  grid->addWidget(txtPrtRptEnd_, row, 1);
  grid->addWidget(report, row++, 2);

  txtPeriodReptStart_ = NewEdit("txtPeriodReptStart", QString(), this);
  txtPeriodReptEnd_ = NewEdit("txtPeriodReptEnd", QString(), this);
  auto* periodic =
      NewButton("cmdPrintPeriodicTotalsReport", QStringLiteral("Print PeriodicTotalsReport"), this);
  grid->addWidget(NewLabel(QStringLiteral("Start date ddmmyyyyhhmm"), this), row, 0);
  grid->addWidget(txtPeriodReptStart_, row++, 1);
  grid->addWidget(NewLabel(QStringLiteral("End date ddmmyyyyhhmm"), this), row, 0);
  grid->addWidget(txtPeriodReptEnd_, row, 1);
  grid->addWidget(periodic, row++, 2);
  for (QLineEdit* e : {txtPrtRptStart_, txtPrtRptEnd_, txtPeriodReptStart_, txtPeriodReptEnd_}) {
    DateOnDoubleClick(e);
  }

  auto* various = new QGroupBox(QStringLiteral("Various"), this);
  various->setObjectName(QStringLiteral("fraVarious"));
  auto* v = new QHBoxLayout(various);
  cbCheckHealth_ = NewCombo(
      "cbCheckHealth",
      {QStringLiteral("INTERNAL"), QStringLiteral("EXTERNAL"), QStringLiteral("INTERACTIVE")},
      various);
  txtCheckHealth_ = NewEdit("txtCheckHealth", QString(), various);
  auto* health = NewButton("cmdCheckHealth", QStringLiteral("CheckHealth"), various);
  v->addWidget(cbCheckHealth_);
  v->addWidget(health);
  v->addWidget(txtCheckHealth_, 1);
  grid->addWidget(various, row++, 0, 1, 3);

  auto* totals = new QGroupBox(QStringLiteral("Totalizers"), this);
  totals->setObjectName(QStringLiteral("fraTotalizers"));
  auto* t = new QGridLayout(totals);
  cbTotalizerType_ = NewCombo("cbTotalizerType",
                              {QStringLiteral("FPTR_TT_DOCUMENT"), QStringLiteral("FPTR_TT_DAY"),
                               QStringLiteral("FPTR_TT_RECEIPT"), QStringLiteral("FPTR_TT_GRAND")},
                              totals);
  cbGetTotVatID_ = NewCombo("cbGetTotVatID", {}, totals);
  cbGetTotOptArgs_ =
      NewCombo("cbGetTotOptArgs",
               {QStringLiteral("FPTR_GT_GROSS"), QStringLiteral("FPTR_GT_NET"),
                QStringLiteral("FPTR_GT_DISCOUNT"), QStringLiteral("FPTR_GT_DISCOUNT_VOID"),
                QStringLiteral("FPTR_GT_ITEM"), QStringLiteral("FPTR_GT_ITEM_VOID"),
                QStringLiteral("FPTR_GT_NOT_PAID"), QStringLiteral("FPTR_GT_REFUND"),
                QStringLiteral("FPTR_GT_REFUND_VOID"), QStringLiteral("FPTR_GT_SUBTOTAL_DISCOUNT"),
                QStringLiteral("FPTR_GT_SUBTOTAL_DISCOUNT_VOID"),
                QStringLiteral("FPTR_GT_SUBTOTAL_SURCHARGES"),
                QStringLiteral("FPTR_GT_SUBTOTAL_SURCHARGES_VOID"),
                QStringLiteral("FPTR_GT_SURCHARGE"), QStringLiteral("FPTR_GT_SURCHARGE_VOID"),
                QStringLiteral("FPTR_GT_VAT"), QStringLiteral("FPTR_GT_VAT_CATEGORY")},
               totals);
  txtGetTotResult_ = NewEdit("txtGetTotResult", QString(), totals);
  auto* totalizer = NewButton("cmdGetTotalyzer", QStringLiteral("GetTotalyzer"), totals);
  t->addWidget(cbTotalizerType_, 0, 0);
  t->addWidget(cbGetTotVatID_, 0, 1);
  t->addWidget(cbGetTotOptArgs_, 0, 2);
  t->addWidget(totalizer, 1, 0);
  t->addWidget(txtGetTotResult_, 1, 1, 1, 2);
  grid->addWidget(totals, row++, 0, 1, 3);

  cbGetDataDataItem_ = NewCombo("cbGetDataDataItem", DataItemNames(), this, /*editable=*/true);
  txtGetDataResult_ = NewEdit("txtGetDataResult", QString(), this);
  auto* data = NewButton("cmdGetData", QStringLiteral("GetData"), this);
  grid->addWidget(cbGetDataDataItem_, row, 0);
  grid->addWidget(data, row, 1);
  grid->addWidget(txtGetDataResult_, row++, 2);
  grid->setRowStretch(row, 1);

  // The VAT list of the totalizers, refilled by Enable.
  const int32_t rates = host_.Wrapper().NumVatRates();
  cbGetTotVatID_->addItem(QStringLiteral("VAT Exempt"));
  for (int32_t i = 1; i <= rates; ++i) cbGetTotVatID_->addItem(QStringLiteral("VAT #%1").arg(i));
  cbGetTotVatID_->setCurrentIndex(0);

  connect(x, &QPushButton::clicked, this, [this] {
    host_.Wrapper().PrintXReport();
    host_.UpdateStatus();
  });
  connect(z, &QPushButton::clicked, this, [this] {
    host_.Wrapper().PrintZReport();
    host_.UpdateStatus();
  });
  connect(report, &QPushButton::clicked, this, &frmReports::PrintReport);
  connect(periodic, &QPushButton::clicked, this, &frmReports::PrintPeriodicTotalsReport);
  connect(health, &QPushButton::clicked, this, &frmReports::CheckHealth);
  connect(totalizer, &QPushButton::clicked, this, &frmReports::GetTotalizer);
  connect(data, &QPushButton::clicked, this, &frmReports::GetData);
}

void frmReports::PrintReport() {
  const int32_t type = cbReportType_->currentText() == QLatin1String("RT_ORDINAL") ? 1 : 2;
  host_.Wrapper().PrintReport(type, Utf8(txtPrtRptStart_), Utf8(txtPrtRptEnd_));
  host_.UpdateStatus();
}

void frmReports::PrintPeriodicTotalsReport() {
  host_.Wrapper().PrintPeriodicTotalsReport(Utf8(txtPeriodReptStart_), Utf8(txtPeriodReptEnd_));
  host_.UpdateStatus();
}

void frmReports::CheckHealth() {
  host_.Wrapper().CheckHealth(cbCheckHealth_->currentIndex() + 1);
  host_.UpdateStatus();
  txtCheckHealth_->setText(QString::fromStdString(host_.Wrapper().CheckHealthText()));
}

void frmReports::GetTotalizer() {
  clsFprtWrapper& w = host_.Wrapper();
  w.ClearError();
  w.SetTotalizerType(cbTotalizerType_->currentIndex() + 1);
  host_.UpdateStatus();
  // No request when the totalizer type was refused.
  if (w.ResultCode() != 0) return;
  std::string data;
  w.GetTotalizer(cbGetTotVatID_->currentIndex(), cbGetTotOptArgs_->currentIndex() + 1, data);
  txtGetTotResult_->setText(QString::fromStdString(data));
  host_.UpdateStatus();
}

void frmReports::GetData() {
  auto [item, opt] = DataItemArguments(cbGetDataDataItem_->currentText());
  std::string data;
  host_.Wrapper().GetData(item, opt, data);
  txtGetDataResult_->setText(QString::fromStdString(data));
  host_.UpdateStatus();
}

// ---- Properties ------------------------------------------------------------------------------

namespace {

struct PropertyReader {
  const char* name;
  std::string (*read)(clsFprtWrapper&);
};

#define P(name)                                                   \
  PropertyReader {                                                \
#name, [](clsFprtWrapper & w) { return ValueText(w.name()); } \
  }

// All 119 properties of the wrapper, in alphabetical order of the name.
const PropertyReader kProperties[] = {
    P(ActualCurrency),
    P(AdditionalHeader),
    P(AdditionalTrailer),
    P(AmountDecimalPlaces),
    P(AsyncMode),
    P(BinaryConversion),
    P(CapAdditionalHeader),
    P(CapAdditionalLines),
    P(CapAdditionalTrailer),
    P(CapAmountAdjustment),
    P(CapAmountNotPaid),
    P(CapChangeDue),
    P(CapCheckTotal),
    P(CapCompareFirmwareVersion),
    P(CapCoverSensor),
    P(CapDoubleWidth),
    P(CapDuplicateReceipt),
    P(CapEmptyReceiptIsVoidable),
    P(CapFiscalReceiptStation),
    P(CapFiscalReceiptType),
    P(CapFixedOutput),
    P(CapHasVatTable),
    P(CapIndependentHeader),
    P(CapItemList),
    P(CapJrnEmptySensor),
    P(CapJrnNearEndSensor),
    P(CapJrnPresent),
    P(CapMultiContractor),
    P(CapNonFiscalMode),
    P(CapOnlyVoidLastItem),
    P(CapOrderAdjustmentFirst),
    P(CapPackageAdjustment),
    P(CapPercentAdjustment),
    P(CapPositiveAdjustment),
    P(CapPostPreLine),
    P(CapPowerLossReport),
    P(CapPowerReporting),
    P(CapPredefinedPaymentLines),
    P(CapReceiptNotPaid),
    P(CapRecEmptySensor),
    P(CapRecNearEndSensor),
    P(CapRecPresent),
    P(CapRemainingFiscalMemory),
    P(CapReservedWord),
    P(CapSetCurrency),
    P(CapSetHeader),
    P(CapSetPOSID),
    P(CapSetStoreFiscalID),
    P(CapSetTrailer),
    P(CapSetVatTable),
    P(CapSlpEmptySensor),
    P(CapSlpFiscalDocument),
    P(CapSlpFullSlip),
    P(CapSlpNearEndSensor),
    P(CapSlpPresent),
    P(CapSlpValidation),
    P(CapStatisticsReporting),
    P(CapSubAmountAdjustment),
    P(CapSubPercentAdjustment),
    P(CapSubtotal),
    P(CapTotalizerType),
    P(CapTrainingMode),
    P(CapUpdateFirmware),
    P(CapUpdateStatistics),
    P(CapValidateJournal),
    P(CapXReport),
    P(ChangeDue),
    P(CheckHealthText),
    P(CheckTotal),
    P(Claimed),
    P(ContractorId),
    P(CountryCode),
    P(CoverOpen),
    P(DateType),
    P(DayOpened),
    P(DescriptionLength),
    P(DeviceDescription),
    P(DeviceEnabled),
    P(DeviceName),
    P(DuplicateReceipt),
    P(ErrorLevel),
    P(ErrorOutID),
    P(ErrorState),
    P(ErrorStation),
    P(ErrorString),
    P(FiscalReceiptStation),
    P(FiscalReceiptType),
    P(FlagWhenIdle),
    P(FreezeEvents),
    P(JrnEmpty),
    P(JrnNearEnd),
    P(MessageLength),
    P(MessageType),
    P(NumHeaderLines),
    P(NumTrailerLines),
    P(NumVatRates),
    P(OutputID),
    P(PostLine),
    P(PowerNotify),
    P(PowerState),
    P(PredefinedPaymentLines),
    P(PreLine),
    P(PrinterState),
    P(QuantityDecimalPlaces),
    P(QuantityLength),
    P(RecEmpty),
    P(RecNearEnd),
    P(RemainingFiscalMemory),
    P(ReservedWord),
    P(ResultCode),
    P(ResultCodeExtended),
    P(ServiceObjectDescription),
    P(ServiceObjectVersion),
    P(SlipSelection),
    P(SlpEmpty),
    P(SlpNearEnd),
    P(State),
    P(TotalizerType),
    P(TrainingModeActive),
};

#undef P

}  // namespace

int PropertyCount() {
  return static_cast<int>(std::size(kProperties));
}

frmProperties::frmProperties(PanelHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName(QStringLiteral("frmProperties"));
  auto* layout = new QVBoxLayout(this);
  auto* read = NewButton("cmdReadProps", QStringLiteral("Read Properties"), this);
  flexProperties_ = new QTableWidget(1, 2, this);
  flexProperties_->setObjectName(QStringLiteral("flexProperties"));
  flexProperties_->setHorizontalHeaderLabels({QStringLiteral("Property"), QStringLiteral("Value")});
  flexProperties_->horizontalHeader()->setStretchLastSection(true);
  flexProperties_->setColumnWidth(0, 260);
  flexProperties_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  flexProperties_->setFont(QFont(QStringLiteral("Arial")));
  layout->addWidget(read);
  layout->addWidget(flexProperties_, 1);
  connect(read, &QPushButton::clicked, this, &frmProperties::ReadProperties);
}

void frmProperties::ReadProperties() {
  // The header plus one (empty) row stay; the properties follow.
  flexProperties_->setRowCount(1);
  for (const PropertyReader& p : kProperties) {
    const std::string value = p.read(host_.Wrapper());
    const int row = flexProperties_->rowCount();
    flexProperties_->insertRow(row);
    flexProperties_->setItem(row, 0, new QTableWidgetItem(QString::fromLatin1(p.name)));
    flexProperties_->setItem(row, 1, new QTableWidgetItem(QString::fromStdString(value)));
  }
}

}  // namespace kelo::testapp
