// The panels: the lists Enable fills, the fiscal panel's item calls and total refresh, the
// reports and properties panels, the settings VAT list and the escape-sequence generator.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "opos/opos_constants.h"
#include "testapp/gui/directio_panel.h"
#include "testapp/gui/esc_sequences_dialog.h"
#include "testapp/gui/fiscal_ticket_panel.h"
#include "testapp/gui/reports_panel.h"
#include "testapp/gui/settings_panel.h"
#include "testapp/gui/tests/gui_test_support.h"

namespace kelo::testapp::testing {
namespace {

QStringList Items(const QComboBox* combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
  return items;
}

class PanelsTest : public GuiTest {
 protected:
  QWidget* Panel(const char* form) { return window_->Panel(QString::fromLatin1(form)); }
  // The service calls other than property traffic, as "name(args)".
  std::vector<std::string> Methods() {
    std::vector<std::string> out;
    for (auto& c : TakeServiceCalls()) {
      if (c.rfind("GetProperty", 0) != 0 && c.rfind("SetProperty", 0) != 0) out.push_back(c);
    }
    return out;
  }
};

TEST_F(PanelsTest, EnableFillsTheVatAndPaymentLists) {
  SetNumber(opos::PIDX_NumVatRates, 3);
  Click(QStringLiteral("cmdOCE"));
  auto* vat = Find<QComboBox>(QStringLiteral("cbVatId"), Panel("frmFiscalTicket"));
  auto* totVat = Find<QComboBox>(QStringLiteral("cbGetTotVatID"), Panel("frmReports"));
  auto* payment = Find<QComboBox>(QStringLiteral("cbPaymentForm"), Panel("frmFiscalTicket"));
  const QStringList expected = {QStringLiteral("VAT Exempt"), QStringLiteral("VAT #1"),
                                QStringLiteral("VAT #2"), QStringLiteral("VAT #3")};
  EXPECT_EQ(Items(vat), expected);
  EXPECT_EQ(Items(totVat), expected);
  EXPECT_EQ(vat->currentIndex(), 1);
  EXPECT_EQ(totVat->currentIndex(), 1);
  ASSERT_EQ(payment->count(), 11);
  EXPECT_EQ(payment->itemText(10), QStringLiteral("10"));
  EXPECT_EQ(payment->currentIndex(), 0);
  // NumVatRates is read once per list, through the wrapper.
  const auto log = LogLines(window_->Log());
  EXPECT_EQ(std::count(log.begin(), log.end(), "NumVatRates = 3"), 2);

  // No rates: only "VAT Exempt", and it is the selection.
  SetNumber(opos::PIDX_NumVatRates, 0);
  Click(QStringLiteral("cmdEnable"));
  EXPECT_EQ(Items(vat), QStringList{QStringLiteral("VAT Exempt")});
  EXPECT_EQ(vat->currentIndex(), 0);
}

TEST_F(PanelsTest, FiscalItemWithDefaultsAndDepartmentMode) {
  Click(QStringLiteral("cmdOCE"));
  QWidget* fiscal = Panel("frmFiscalTicket");
  TakeServiceCalls();
  Click(QStringLiteral("cmdBeginFiscalReceipt"), fiscal);
  Click(QStringLiteral("cmdPrintRecItem"), fiscal);
  auto calls = Methods();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0], "beginFiscalReceipt(False)");
  // "Articolo test" + 1, price 1.00, quantity 0, VAT index 0, unit price 0, "Kg".
  EXPECT_TRUE(calls[1].rfind("printRecItem(Articolo test1, 10000, 0, ", 0) == 0) << calls[1];
  EXPECT_TRUE(calls[1].find(", 0, Kg)") != std::string::npos) << calls[1];

  Find<QCheckBox>(QStringLiteral("chkDeptSelect"), fiscal)->setChecked(true);
  Find<QComboBox>(QStringLiteral("cbDeptId"), fiscal)->setCurrentIndex(2);
  EXPECT_EQ(static_cast<frmFiscalTicket*>(fiscal)->VatInfo(), 10003);
  EXPECT_FALSE(Find<QComboBox>(QStringLiteral("cbVatId"), fiscal)->isVisibleTo(fiscal));
}

TEST_F(PanelsTest, PrintRecItemXStopsAtTheFirstFailure) {
  Click(QStringLiteral("cmdOCE"));
  QWidget* fiscal = Panel("frmFiscalTicket");
  auto* panel = static_cast<frmFiscalTicket*>(fiscal);
  // The third item fails: arm it after two good ones by failing from the third call on.
  Click(QStringLiteral("cmdPrintRecItem"), fiscal);
  Click(QStringLiteral("cmdPrintRecItem"), fiscal);
  TakeServiceCalls();
  FailNextCall(opos::OPOS_E_EXTENDED, opos::OPOS_EFPTR_BAD_VAT, "bad vat");
  Click(QStringLiteral("cmdPrintRecItemX"), fiscal);  // count 5: stops after the failing one
  const auto calls = Methods();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(panel->item_counter(), 3);
  EXPECT_EQ(boxes_.shown.size(), 1u);  // the "ERRORS: " box of the failing line

  Find<QLineEdit>(QStringLiteral("txtPrintRecRpt"), fiscal)->setText(QStringLiteral("x"));
  Click(QStringLiteral("cmdPrintRecItemX"), fiscal);
  EXPECT_EQ(boxes_.shown.back(), "BAD NUMBERO OF REPETITION");
  EXPECT_TRUE(Methods().empty());
}

TEST_F(PanelsTest, TotalRefreshWritesTheDeviceTotal) {
  Click(QStringLiteral("cmdOCE"));
  QWidget* fiscal = Panel("frmFiscalTicket");
  Click(QStringLiteral("cmdPrintRecItem"), fiscal);  // success starts the refresh
  auto* total = Find<QLineEdit>(QStringLiteral("txtTicketTotal"), fiscal);
  // The fake answers GetData with "2500" hundredths.
  ASSERT_TRUE(WaitFor([&] { return total->text() == QStringLiteral("25.00"); }));
  EXPECT_EQ(Find<QLineEdit>(QStringLiteral("txtPayment"), fiscal)->text(), QStringLiteral("25.00"));
  EXPECT_FALSE(window_->findChild<QTimer*>(QStringLiteral("tmrUpdateReceiptTotal"))->isActive());

  // While the device is busy the refresh only polls State.
  SetNumber(opos::PIDX_State, opos::OPOS_S_BUSY);
  total->setText(QStringLiteral("0"));
  static_cast<frmFiscalTicket*>(fiscal)->tmrUpdateReceiptTotal_Timer();
  EXPECT_EQ(total->text(), QStringLiteral("0"));
}

TEST_F(PanelsTest, ReportsGetDataMapsTheNamesAndTotalizerStopsOnRefusal) {
  EXPECT_EQ(DataItemArguments(QStringLiteral("GD_TENDER - PDL_EFT_TERMINAL")),
            (std::pair<int32_t, int32_t>{26, 8}));
  EXPECT_EQ(DataItemArguments(QStringLiteral("GD_DESCRIPTION_LENGTH - DL_VOID_ITEM")),
            (std::pair<int32_t, int32_t>{28, 12}));
  EXPECT_EQ(DataItemArguments(QStringLiteral("typed")), (std::pair<int32_t, int32_t>{0, 0}));

  Click(QStringLiteral("cmdOCE"));
  QWidget* reports = Panel("frmReports");
  TakeServiceCalls();
  Find<QComboBox>(QStringLiteral("cbGetDataDataItem"), reports)
      ->setCurrentText(QStringLiteral("GD_LINECOUNT - LC_TOTAL"));
  Click(QStringLiteral("cmdGetData"), reports);
  auto calls = Methods();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].rfind("getData(27, 15", 0), 0u) << calls[0];
  EXPECT_EQ(Find<QLineEdit>(QStringLiteral("txtGetDataResult"), reports)->text(),
            QStringLiteral("2500"));

  // A refused totalizer type: the request is not sent and the result stays.
  Find<QLineEdit>(QStringLiteral("txtGetTotResult"), reports)->setText(QStringLiteral("old"));
  Click(QStringLiteral("cmdPrintReport"), reports);  // RT_ORDINAL with empty range texts
  calls = Methods();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0], "printReport(1, , )");
}

TEST_F(PanelsTest, ReadingPropertiesTwiceKeepsOneSetOfRows) {
  Click(QStringLiteral("cmdOCE"));
  QWidget* props = Panel("frmProperties");
  auto* grid = Find<QTableWidget>(QStringLiteral("flexProperties"), props);
  Click(QStringLiteral("cmdReadProps"), props);
  Click(QStringLiteral("cmdReadProps"), props);
  ASSERT_EQ(PropertyCount(), 119);
  ASSERT_EQ(grid->rowCount(), 1 + 119);
  EXPECT_EQ(grid->item(1, 0)->text(), QStringLiteral("ActualCurrency"));
  EXPECT_EQ(grid->item(119, 0)->text(), QStringLiteral("TrainingModeActive"));
  // Alphabetical, and every read was logged.
  for (int r = 2; r <= 119; ++r) {
    EXPECT_LT(grid->item(r - 1, 0)->text().compare(grid->item(r, 0)->text(), Qt::CaseInsensitive),
              0)
        << r;
  }
  const auto log = LogLines(window_->Log());
  EXPECT_EQ(std::count(log.begin(), log.end(), "State = 2"), 2 + 3);  // + three UpdateStatus
}

TEST_F(PanelsTest, SettingsReadsAndWritesTheVatTable) {
  EXPECT_EQ(VatRateText(2200), QStringLiteral("22"));
  EXPECT_EQ(VatRateText(450), QStringLiteral("4.5"));
  EXPECT_EQ(VatRateText(1000), QStringLiteral("10"));

  SetNumber(opos::PIDX_NumVatRates, 2);
  Click(QStringLiteral("cmdOCE"));
  QWidget* settings = Panel("frmSettings");
  Click(QStringLiteral("cmdGetVatRates"), settings);
  auto* list = Find<QListWidget>(QStringLiteral("lstVatRates"), settings);
  ASSERT_EQ(list->count(), 2);  // the fake answers 2200 for every entry
  EXPECT_EQ(list->item(1)->text(), QStringLiteral("22"));

  // Edit line 2 through the two fields, then write the table.
  Find<QLineEdit>(QStringLiteral("txtVatIndex"), settings)->setText(QStringLiteral("2"));
  Find<QLineEdit>(QStringLiteral("txtVatRate"), settings)->setText(QStringLiteral("10"));
  static_cast<frmSettings*>(settings)->StoreEditedRate();
  EXPECT_EQ(list->item(1)->text(), QStringLiteral("10"));
  // An index beyond the list changes nothing.
  Find<QLineEdit>(QStringLiteral("txtVatIndex"), settings)->setText(QStringLiteral("9"));
  static_cast<frmSettings*>(settings)->StoreEditedRate();
  EXPECT_EQ(list->count(), 2);

  SetNumber(opos::PIDX_NumVatRates, 3);  // one more than the list: sent as an empty text
  TakeServiceCalls();
  Click(QStringLiteral("cmdSetVatRateTable"), settings);
  EXPECT_EQ(Methods(), (std::vector<std::string>{"setVatValue(1, 22)", "setVatValue(2, 10)",
                                                 "setVatValue(3, )", "setVatTable()"}));
}

TEST_F(PanelsTest, EscapeSequenceGeneratorComposesCodes) {
  frmEscSequences dialog;
  auto* result = Find<QLineEdit>(QStringLiteral("txtEscSequence"), &dialog);
  Find<QLineEdit>(QStringLiteral("txtFeedLines"), &dialog)->setText(QStringLiteral(" 3"));
  Click(QStringLiteral("cmdFeedLines"), &dialog);
  Find<QComboBox>(QStringLiteral("cbDirBarcodeType"), &dialog)->setCurrentIndex(1);
  Find<QLineEdit>(QStringLiteral("txtBarcodeString"), &dialog)
      ->setText(QStringLiteral("26443247343"));
  Click(QStringLiteral("cmdPrintBarcode"), &dialog);
  Click(QStringLiteral("cmdDoubleWidth"), &dialog);
  const QString esc(QChar(27));
  EXPECT_EQ(result->text(), esc + "|3F" + esc + "|12R226443247343" + esc + "|2C");
  Click(QStringLiteral("cmdCopyAndClose"), &dialog);
  EXPECT_EQ(QApplication::clipboard()->text(),
            esc + "|3F" + esc + "|12R226443247343" + esc + "|2C");
  EXPECT_TRUE(result->text().isEmpty());
}

TEST_F(PanelsTest, DirectIOFillsTheDataArrayAsEachButtonSays) {
  Click(QStringLiteral("cmdOCE"));
  QWidget* dio = Panel("frmDirectIO");
  TakeServiceCalls();
  Click(QStringLiteral("cmdDirSetPollingTime"), dio);
  Click(QStringLiteral("cmdDirReportEJ"), dio);
  Find<QLineEdit>(QStringLiteral("txtDirBmpPrintMode"), dio)->setText(QStringLiteral("1F"));
  Click(QStringLiteral("cmdDirPrintBitmap"), dio);
  Find<QComboBox>(QStringLiteral("cbDirBarcodeType"), dio)->setCurrentText(QStringLiteral("QR"));
  Click(QStringLiteral("cmdDirPrintBarcode"), dio);
  EXPECT_EQ(Methods(), (std::vector<std::string>{
                           "DirectIO(9003, 1|1000|-1|-1|0|0|0|0|0|0|0, )",
                           "DirectIO(1500, 0|0|0|20071212|20071212|1|1|0|0|0|0, reportEJ.txt)",
                           "DirectIO(1101, 1|31|1|0|0|0|0|0|0|0|0, )",
                           "DirectIO(1200, 1|0|0|0|0|0|0|0|0|0|0, 4007817504598)"}));
  // The wrapper logs the values the device gave back (the fake adds one to each).
  const auto log = LogLines(window_->Log());
  EXPECT_TRUE(std::find(log.begin(), log.end(),
                        "DirectIO(DIRECTIO_FPTR_SETPOLLINGTIME, {2, 1001, 0, 0, 1, 1, 1, 1, 1, 1, "
                        "1}, -ok)     -> OposSuccess(0)") != log.end());

  // The deprecated commands are not offered for this device.
  EXPECT_FALSE(Find<QPushButton>(QStringLiteral("cmdDirPrintBitmap"), dio)->isVisibleTo(dio));
  EXPECT_FALSE(Find<QPushButton>(QStringLiteral("cmdDirEndCreditNote"), dio)->isVisibleTo(dio));
}

TEST_F(PanelsTest, DirectIOShowsWhatTheDeviceReturned) {
  Click(QStringLiteral("cmdOCE"));
  QWidget* dio = Panel("frmDirectIO");
  auto* drawer = Find<QLabel>(QStringLiteral("lblDirGetDrawer"), dio);
  EXPECT_EQ(drawer->text(), QStringLiteral("n.a."));
  Click(QStringLiteral("cmdDirGetDrawer"), dio);  // the fake answers element 0 = 1
  EXPECT_EQ(drawer->text(), QStringLiteral("Opened"));
  FailNextCall(opos::OPOS_E_ILLEGAL);
  Click(QStringLiteral("cmdDirGetDrawer"), dio);
  EXPECT_EQ(drawer->text(), QStringLiteral("Opened"));  // the fake still adds one on failure
  Click(QStringLiteral("cmdDirGetDeptVatLinks"), dio);
  EXPECT_EQ(Find<QLineEdit>(QStringLiteral("txtDeptVatLinks"), dio)->text(), QStringLiteral("-ok"));
}

TEST_F(PanelsTest, RefundReceiptSetsTypeAndPreLineBeforeBegin) {
  Click(QStringLiteral("cmdOCE"));
  QWidget* fiscal = Panel("frmFiscalTicket");
  Find<QLineEdit>(QStringLiteral("txtAdditionalHeader"), Panel("frmSettings"))
      ->setText(QStringLiteral("[ESC]|2CShop"));
  Find<QCheckBox>(QStringLiteral("chkReceiptRefund"), fiscal)->setChecked(true);
  Find<QLineEdit>(QStringLiteral("txtPraticadiReso"), fiscal)->setText(QStringLiteral("R-17"));
  window_->Log().Clear();
  Click(QStringLiteral("cmdBeginFiscalReceipt"), fiscal);
  const auto log = LogLines(window_->Log());
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[0], "FiscalReceiptType := 7     -> OposSuccess(0)");
  EXPECT_EQ(log[1], "PreLine := \"R-17\"     -> OposSuccess(0)");
  EXPECT_EQ(log[2].rfind("AdditionalHeader := \"", 0), 0u);
  EXPECT_EQ(log[3], "BeginFiscalReceipt(False)     -> OposSuccess(0)");
  std::lock_guard<std::mutex> lock(fake_->mutex);
  // The escape notation of the settings field reached the device as the ESC character.
  EXPECT_EQ(fake_->strings[opos::PIDX_AdditionalHeader], "\x1b|2CShop");
}

TEST_F(PanelsTest, EnduranceLoopPaysWhenTotalsAgreeAndSchedulesTheNextRun) {
  Click(QStringLiteral("cmdOCE"));
  QWidget* tests = Panel("frmAutoTests");
  Find<QLineEdit>(QStringLiteral("txtNumberOfTests"), tests)->setText(QStringLiteral("2"));
  TakeServiceCalls();
  Click(QStringLiteral("cmdAutoPrintTicket"), tests);  // 25 lines; the fake's total is 25.00
  auto calls = Methods();
  ASSERT_EQ(calls.size(), 1u + 25u + 3u);
  EXPECT_EQ(calls[26].rfind("getData(1", 0), 0u) << calls[26];
  EXPECT_EQ(calls[27].rfind("printRecTotal(250000, 250000, CENTO!!", 0), 0u) << calls[27];
  EXPECT_EQ(calls[28], "endFiscalReceipt(False)");
  EXPECT_EQ(Find<QLineEdit>(QStringLiteral("txtNumberOfTests"), tests)->text(),
            QStringLiteral("1"));
  auto* next = tests->findChild<QTimer*>(QStringLiteral("tmrTest"));
  ASSERT_NE(next, nullptr);
  EXPECT_TRUE(next->isActive());
  next->stop();
  EXPECT_TRUE(Find<QPushButton>(QStringLiteral("cmdAutoPrintTicket"), tests)->isEnabled());

  // A device total that differs from the line count voids the receipt.
  Find<QLineEdit>(QStringLiteral("txtNumberOfLines"), tests)->setText(QStringLiteral("2"));
  Find<QLineEdit>(QStringLiteral("txtNumberOfTests"), tests)->setText(QStringLiteral("1"));
  Click(QStringLiteral("cmdAutoPrintTicket"), tests);
  EXPECT_EQ(boxes_.shown.back(), "TOTAL FAILURE ... FPU SAYS:2500");
  calls = Methods();
  EXPECT_EQ(calls.back(), "printRecVoid(FPU TOTAL WRONG)");
  EXPECT_FALSE(next->isActive());
}

}  // namespace
}  // namespace kelo::testapp::testing
