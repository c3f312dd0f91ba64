// The device operations run directly (no worker thread) against a scripted device.
#include <gtest/gtest.h>

#include "device/device_operations.h"
#include "opos/opos_constants.h"
#include "testing/device_fakes.h"

namespace kelo::device {
namespace {

using namespace opos;
using testing::FakeDevice;
using testing::FakeHost;
using V = std::vector<std::string>;

const DeviceResult kWrongState{114, 207, kWrongStateText};
const DeviceResult kBadVat{114, 217, "The VAT information is invalid"};

class OperationsTest : public ::testing::Test {
 protected:
  DeviceResult Run(DeviceOp op, const std::string& input) {
    output_.clear();
    return (ops_.*op)(input, output_);
  }
  void InReceipt(int32_t state = FPTR_PS_FISCAL_RECEIPT) {
    host_.SetNumberProperty(PIDX_PrinterState, state);
  }
  int32_t PrinterState() { return host_.GetNumberProperty(PIDX_PrinterState); }

  FakeDevice device_;
  FakeHost host_;
  DeviceOperations ops_{device_, host_};
  std::string output_;
};

TEST_F(OperationsTest, WrongStateTextCarriesTheWindows1252Apostrophe) {
  EXPECT_EQ(std::string(kWrongStateText).find('\x92'), 18u);
  EXPECT_EQ(Run(&DeviceOperations::DoPrintRecItem,
                "A\x1f"
                "100\x1f"
                "1\x1f"
                "1\x1f"
                "0\x1f\x1f"),
            kWrongState);
  EXPECT_TRUE(device_.Log().empty());
}

TEST_F(OperationsTest, BeginSalesReceiptPrintsHeaderOnlyWhenAsked) {
  host_.SetStringProperty(PIDX_AdditionalHeader, "Welcome\nto us");
  EXPECT_TRUE(Run(&DeviceOperations::DoBeginFiscalReceipt, "1\x1f").ok());
  EXPECT_EQ(device_.Log(), V{"OpenReceipt|Welcome\nto us"});
  EXPECT_EQ(host_.GetStringProperty(PIDX_AdditionalHeader), "");
  EXPECT_EQ(PrinterState(), FPTR_PS_FISCAL_RECEIPT);
  EXPECT_EQ(host_.GetNumberProperty(PIDX_DayOpened), 1);

  InReceipt(FPTR_PS_MONITOR);
  device_.ClearLog();
  host_.SetStringProperty(PIDX_AdditionalHeader, "kept?");
  device_.FailOnce("OpenReceipt", 104);
  EXPECT_EQ(
      Run(&DeviceOperations::DoBeginFiscalReceipt, "0\x1f"),
      (DeviceResult{106, 0, "The printer refused the command in its present state (reply 83h)"}));
  EXPECT_EQ(device_.Log(), V{"OpenReceipt|"});
  EXPECT_EQ(PrinterState(), FPTR_PS_MONITOR);
  EXPECT_EQ(host_.GetStringProperty(PIDX_AdditionalHeader), "kept?");
}

TEST_F(OperationsTest, RefundReceiptOpensAndClosesWithItsOwnCommands) {
  host_.SetStringProperty(PIDX_AdditionalHeader, "H");
  host_.SetStringProperty(PIDX_AdditionalTrailer, "T");
  EXPECT_TRUE(Run(&DeviceOperations::DoBeginRefundReceipt, "1\x1fRefund 42\x1f").ok());
  InReceipt(FPTR_PS_FISCAL_RECEIPT_ENDING);
  EXPECT_TRUE(Run(&DeviceOperations::DoEndRefundReceipt, "1\x1f").ok());
  EXPECT_EQ(device_.Log(), (V{"OpenRefundReceipt|Refund 42|H", "CloseRefundReceipt|T"}));
  EXPECT_EQ(PrinterState(), FPTR_PS_MONITOR);
}

TEST_F(OperationsTest, EndSalesReceiptPrintsIdentifiersThenCloses) {
  host_.SetIds("POS 7", "");
  host_.SetStringProperty(PIDX_AdditionalTrailer, "Bye");
  InReceipt(FPTR_PS_FISCAL_RECEIPT);
  EXPECT_EQ(Run(&DeviceOperations::DoEndFiscalReceipt, "1\x1f"), kWrongState);
  InReceipt(FPTR_PS_FISCAL_RECEIPT_ENDING);
  EXPECT_TRUE(Run(&DeviceOperations::DoEndFiscalReceipt, "1\x1f").ok());
  EXPECT_EQ(device_.Log(), (V{"PrintMessage|POS 7", "CloseReceipt|Bye"}));
  EXPECT_EQ(PrinterState(), FPTR_PS_MONITOR);

  host_.SetIds("POS 7", "Anna");
  InReceipt(FPTR_PS_FISCAL_RECEIPT_ENDING);
  device_.ClearLog();
  device_.FailOnce("PrintMessage", 105);
  EXPECT_EQ(Run(&DeviceOperations::DoEndFiscalReceipt, "0\x1f").code, 106);
  EXPECT_EQ(device_.Log(), V{"PrintMessage|POS 7"});
  EXPECT_EQ(PrinterState(), FPTR_PS_FISCAL_RECEIPT_ENDING);
}

TEST_F(OperationsTest, ItemVatInfoSelectsIndexDepartmentOrDefault) {
  InReceipt();
  Run(&DeviceOperations::DoPrintRecItem,
      "A\x1f"
      "150\x1f"
      "2000\x1f"
      "0\x1f"
      "75\x1fpz\x1f");
  Run(&DeviceOperations::DoPrintRecItem,
      "B\x1f"
      "100\x1f"
      "1000\x1f"
      "10003\x1f"
      "0\x1f\x1f");
  Run(&DeviceOperations::DoPrintRecItem,
      "C\x1f"
      "100\x1f"
      "1000\x1f"
      "2\x1f"
      "0\x1f\x1f");
  Run(&DeviceOperations::DoPrintRecItem,
      "D\x1f"
      "300\x1f"
      "5000\x1f"
      "-1\x1f"
      "60\x1f\x1f");
  EXPECT_EQ(device_.Log(), (V{"SellItem|A|150|2000|5|0|75", "SellItem|B|100|1000|0|3|0",
                              "SellItem|C|100|1000|2|0|0", "SellItem|D|300|1|0|0|0"}));
}

TEST_F(OperationsTest, VerifyVatInfoAcceptsOnlyWhatThePrinterHas) {
  // The fake printer has 4 VAT rates, the default index 5 after them, and 10 departments.
  for (int32_t ok : {0, 1, 4, 5, 10001, 10010}) {
    EXPECT_TRUE(ops_.VerifyVatInfo(ok, false).ok()) << ok;
  }
  EXPECT_TRUE(ops_.VerifyVatInfo(-1, true).ok());
  for (int32_t bad : {6, 10000, 10011, -2, 99999}) {
    EXPECT_EQ(ops_.VerifyVatInfo(bad, true), kBadVat) << bad;
  }
  EXPECT_EQ(ops_.VerifyVatInfo(-1, false), kBadVat);
}

TEST_F(OperationsTest, BadVatInfoSendsNothingAndEmptiesPreAndPostLine) {
  InReceipt();
  host_.SetStringProperty(PIDX_PreLine, "pre");
  host_.SetStringProperty(PIDX_PostLine, "post");
  EXPECT_EQ(Run(&DeviceOperations::DoPrintRecItem,
                "A\x1f"
                "1\x1f"
                "1\x1f"
                "6\x1f"
                "0\x1f\x1f"),
            kBadVat);
  EXPECT_EQ(Run(&DeviceOperations::DoPrintRecRefund,
                "A\x1f"
                "1\x1f"
                "-1"),
            kBadVat);
  EXPECT_EQ(Run(&DeviceOperations::DoPrintRecItemVoid,
                "A\x1f"
                "1\x1f"
                "1\x1f"
                "10011\x1f"),
            kBadVat);
  EXPECT_TRUE(device_.Log().empty());
  EXPECT_EQ(host_.GetStringProperty(PIDX_PreLine), "");
}

TEST_F(OperationsTest, PreLineAndPostLineFrameTheItemAndAreEmptiedAfterwards) {
  InReceipt();
  host_.SetStringProperty(PIDX_PreLine, "pre");
  host_.SetStringProperty(PIDX_PostLine, "post");
  EXPECT_TRUE(Run(&DeviceOperations::DoPrintRecRefund,
                  "Ret\x1f"
                  "500\x1f"
                  "1")
                  .ok());
  EXPECT_EQ(device_.Log(), (V{"PrintMessage|pre", "Refund|Ret|500|1|0", "PrintMessage|post"}));
  EXPECT_EQ(host_.GetStringProperty(PIDX_PreLine), "");
  EXPECT_EQ(host_.GetStringProperty(PIDX_PostLine), "");

  device_.ClearLog();
  host_.SetStringProperty(PIDX_PreLine, "pre");
  host_.SetStringProperty(PIDX_PostLine, "post");
  device_.FailOnce("Subtotal", 104);
  EXPECT_EQ(Run(&DeviceOperations::DoPrintRecSubtotal, "900\x1f").code, 106);
  EXPECT_EQ(device_.Log(), (V{"PrintMessage|pre", "Subtotal|900"}));
  EXPECT_EQ(host_.GetStringProperty(PIDX_PostLine), "");
}

TEST_F(OperationsTest, AdjustmentChecksComeBeforeAnythingIsSent) {
  InReceipt();
  host_.SetStringProperty(PIDX_PreLine, "pre");
  EXPECT_EQ(Run(&DeviceOperations::DoPrintRecItemAdjustment,
                "5\x1f"
                "D\x1f"
                "-1\x1f"
                "1\x1f"),
            (DeviceResult{106, 0, "The adjustmentType parameter is invalid"}));
  EXPECT_EQ(host_.GetStringProperty(PIDX_PreLine), "");
  EXPECT_EQ(Run(&DeviceOperations::DoPrintRecSubtotalAdjustment,
                "1\x1f"
                "D\x1f"
                "-1\x1f"),
            (DeviceResult{114, 214, "The discount amount is invalid"}));
  EXPECT_EQ(Run(&DeviceOperations::DoPrintRecItemAdjustmentVoid,
                "0\x1f"
                "D\x1f"
                "10\x1f"
                "1\x1f"),
            (DeviceResult{106, 0, "AdjustmentType parameter is invalid"}));
  EXPECT_TRUE(device_.Log().empty());

  EXPECT_TRUE(Run(&DeviceOperations::DoPrintRecItemAdjustment,
                  "3\x1f"
                  "Sc\x1f"
                  "1000\x1f"
                  "0\x1f")
                  .ok());
  EXPECT_TRUE(Run(&DeviceOperations::DoPrintRecSubtotalAdjustment,
                  "2\x1f"
                  "Su\x1f"
                  "50\x1f")
                  .ok());
  EXPECT_TRUE(Run(&DeviceOperations::DoPrintRecItemAdjustmentVoid,
                  "4\x1f"
                  "x\x1f"
                  "7\x1f"
                  "10002\x1f")
                  .ok());
  EXPECT_EQ(device_.Log(), (V{"ItemAdjustment|20|Sc|1000|5|0", "SubtotalAdjustment|11|Su|50",
                              "ItemAdjustmentVoid|21|7|0|2"}));
}

TEST_F(OperationsTest, VoidItemSendsAdjustmentVoidThenVoidItem) {
  InReceipt();
  EXPECT_TRUE(Run(&DeviceOperations::DoPrintRecVoidItem,
                  "\x1f"
                  "100\x1f"
                  "1\x1f"
                  "0\x1f"
                  "0\x1f"
                  "1\x1f")
                  .ok());
  EXPECT_TRUE(device_.Log().empty());
  EXPECT_EQ(Run(&DeviceOperations::DoPrintRecVoidItem,
                "A\x1f"
                "100\x1f"
                "1\x1f"
                "9\x1f"
                "5\x1f"
                "1\x1f"),
            (DeviceResult{106, 0, "adjustmentType parameters is invalid"}));
  EXPECT_TRUE(device_.Log().empty());
  EXPECT_TRUE(Run(&DeviceOperations::DoPrintRecVoidItem,
                  "A\x1f"
                  "100\x1f"
                  "2\x1f"
                  "1\x1f"
                  "10\x1f"
                  "3\x1f")
                  .ok());
  EXPECT_EQ(device_.Log(), (V{"ItemAdjustmentVoid|10|10|3|0", "VoidItem|A|100|2|3|0"}));
}

TEST_F(OperationsTest, TotalWithoutPaymentSendsOnlyTheTotal) {
  InReceipt();
  device_.SetAmounts(1500, 1500);
  EXPECT_TRUE(Run(&DeviceOperations::DoPrintRecTotal,
                  "1500\x1f"
                  "0\x1f"
                  "Cash\x1f")
                  .ok());
  EXPECT_EQ(device_.Log(), (V{"Total|1500", "ReadReceiptAmount|0"}));
  EXPECT_EQ(PrinterState(), FPTR_PS_FISCAL_RECEIPT_TOTAL);
}

TEST_F(OperationsTest, PaymentFormsFromTheDescription) {
  const std::pair<const char*, const char*> cases[] = {{"2>Card", "Payment|Card|500|2"},
                                                       {"3", "Payment||500|3"},
                                                       {"0", "Payment||500|0"},
                                                       {"Cash", "Payment|Cash|500|0"}};
  for (auto [description, expected] : cases) {
    InReceipt(FPTR_PS_FISCAL_RECEIPT_TOTAL);
    device_.ClearLog();
    device_.SetAmounts(1500, 1000);
    EXPECT_TRUE(Run(&DeviceOperations::DoPrintRecTotal, std::string("1500\x1f"
                                                                    "500\x1f") +
                                                            description + "\x1f")
                    .ok());
    ASSERT_FALSE(device_.Log().empty());
    EXPECT_EQ(device_.Log()[0], expected);
    EXPECT_EQ(PrinterState(), FPTR_PS_FISCAL_RECEIPT_TOTAL);
  }
}

TEST_F(OperationsTest, FullPaymentClosesWithTheChange) {
  InReceipt();
  device_.SetAmounts(1500, 0);
  EXPECT_TRUE(Run(&DeviceOperations::DoPrintRecTotal,
                  "1500\x1f"
                  "1500\x1f"
                  "Cash\x1f")
                  .ok());
  EXPECT_EQ(device_.Log().back(), "ClosePayment|0");
  EXPECT_EQ(PrinterState(), FPTR_PS_FISCAL_RECEIPT_ENDING);

  InReceipt(FPTR_PS_FISCAL_RECEIPT_TOTAL);
  device_.SetAmounts(1500, -500);
  EXPECT_TRUE(Run(&DeviceOperations::DoPrintRecTotal,
                  "1500\x1f"
                  "2000\x1f"
                  "1\x1f")
                  .ok());
  EXPECT_EQ(device_.Log().back(), "ClosePayment|500");

  // Not paid closes the same way; a refused payment leaves the state alone.
  InReceipt(FPTR_PS_FISCAL_RECEIPT_TOTAL);
  device_.SetAmounts(1500, 0);
  EXPECT_TRUE(Run(&DeviceOperations::DoPrintRecNotPaid,
                  "Ticket\x1f"
                  "1500")
                  .ok());
  EXPECT_EQ(PrinterState(), FPTR_PS_FISCAL_RECEIPT_ENDING);
  InReceipt();
  device_.FailOnce("Payment", 104);
  EXPECT_EQ(Run(&DeviceOperations::DoPrintRecTotal,
                "10\x1f"
                "10\x1f"
                "x\x1f")
                .code,
            106);
  EXPECT_EQ(PrinterState(), FPTR_PS_FISCAL_RECEIPT_TOTAL);  // the total itself went through
}

TEST_F(OperationsTest, MessageLengthIsCheckedOnlyInAsyncMode) {
  InReceipt(FPTR_PS_FISCAL_RECEIPT_ENDING);
  const std::string long_message(31, 'x');
  EXPECT_TRUE(Run(&DeviceOperations::DoPrintRecMessage, long_message).ok());
  host_.SetNumberProperty(PIDX_AsyncMode, 1);
  EXPECT_EQ(Run(&DeviceOperations::DoPrintRecMessage, long_message),
            (DeviceResult{114, 215, "The message is too long or contains a reserved word"}));
  EXPECT_TRUE(Run(&DeviceOperations::DoPrintRecMessage, std::string(30, 'y')).ok());
  EXPECT_EQ(device_.Log(),
            (V{"PrintMessage|" + long_message, "PrintMessage|" + std::string(30, 'y')}));
}

TEST_F(OperationsTest, VoidReceiptMovesToEnding) {
  InReceipt(FPTR_PS_FISCAL_RECEIPT_TOTAL);
  EXPECT_TRUE(Run(&DeviceOperations::DoPrintRecVoid, "Cancel").ok());
  EXPECT_EQ(device_.Log(), V{"VoidReceipt"});
  EXPECT_EQ(PrinterState(), FPTR_PS_FISCAL_RECEIPT_ENDING);
}

TEST_F(OperationsTest, SetDateRefusedWhileTheDayIsOpen) {
  const std::string date =
      "2026\x1f"
      "12\x1f"
      "8\x1f"
      "9\x1f"
      "30\x1f"
      "0\x1f"
      "0\x1f";
  EXPECT_TRUE(Run(&DeviceOperations::DoSetDate, date).ok());
  EXPECT_EQ(device_.Log(), V{"SetDateAndTime|2026|12|8|9|30|0"});
  InReceipt(FPTR_PS_MONITOR);
  EXPECT_TRUE(Run(&DeviceOperations::DoBeginFiscalReceipt, "0\x1f").ok());
  InReceipt(FPTR_PS_MONITOR);
  device_.ClearLog();
  EXPECT_EQ(Run(&DeviceOperations::DoSetDate, date),
            (DeviceResult{106, 0, "The Fiscal Printer has already begun the fiscal day"}));
  EXPECT_TRUE(device_.Log().empty());
}

TEST_F(OperationsTest, SettingsOperations) {
  EXPECT_TRUE(Run(&DeviceOperations::DoSetHeaderLine,
                  "2\x1fShop\x1f"
                  "1\x1f")
                  .ok());
  EXPECT_TRUE(Run(&DeviceOperations::DoSetHeaderLine,
                  "3\x1fStreet\x1f"
                  "0\x1f")
                  .ok());
  device_.SetVatRate(2, 1000);
  EXPECT_TRUE(Run(&DeviceOperations::DoGetVatEntry, "2\x1f").ok());
  EXPECT_EQ(output_, "1000\x1f");
  EXPECT_TRUE(Run(&DeviceOperations::DoBeginTraining, "").ok());
  EXPECT_EQ(host_.GetNumberProperty(PIDX_TrainingModeActive), 1);
  device_.FailOnce("SetTrainingMode", 105);
  EXPECT_EQ(Run(&DeviceOperations::DoEndTraining, "").code, 106);
  EXPECT_EQ(host_.GetNumberProperty(PIDX_TrainingModeActive), 1);
  EXPECT_EQ(device_.Log(), (V{"SetHeaderLine|2|Shop|8", "SetHeaderLine|3|Street|0", "ReadVatRate|2",
                              "SetTrainingMode|1", "SetTrainingMode|0"}));
}

TEST_F(OperationsTest, ResetSendsASecondResetOnlyAfterTheFirstWorked) {
  InReceipt(FPTR_PS_FISCAL_RECEIPT_TOTAL);
  device_.FailOnce("ResetPrinter", 104);
  EXPECT_EQ(Run(&DeviceOperations::DoResetPrinter, "").code, 106);
  EXPECT_EQ(device_.Log().size(), 1u);
  EXPECT_EQ(PrinterState(), FPTR_PS_FISCAL_RECEIPT_TOTAL);
  EXPECT_TRUE(Run(&DeviceOperations::DoResetPrinter, "").ok());
  EXPECT_EQ(device_.Log().size(), 3u);
  EXPECT_EQ(PrinterState(), FPTR_PS_MONITOR);
}

TEST_F(OperationsTest, CheckHealthSetsTheText) {
  EXPECT_TRUE(Run(&DeviceOperations::DoCheckHealth, "").ok());
  EXPECT_EQ(host_.GetStringProperty(PIDX_CheckHealthText), "Good");
  device_.FailOnce("HealthCheck", 106);
  EXPECT_EQ(Run(&DeviceOperations::DoCheckHealth, "").code, 106);
  EXPECT_EQ(host_.GetStringProperty(PIDX_CheckHealthText), "Failure");
}

TEST_F(OperationsTest, NonFiscalDocument) {
  EXPECT_EQ(Run(&DeviceOperations::DoPrintNormal, "2\x1ftext\x1f"), kWrongState);
  EXPECT_TRUE(Run(&DeviceOperations::DoBeginNonFiscal, "").ok());
  EXPECT_EQ(PrinterState(), FPTR_PS_NONFISCAL);
  EXPECT_TRUE(Run(&DeviceOperations::DoPrintNormal, "2\x1f\x1b|2Cbig\r\nx\x1f").ok());
  device_.FailOnce("EndNonFiscal", 104);
  EXPECT_EQ(Run(&DeviceOperations::DoEndNonFiscal, "").code, 106);
  EXPECT_EQ(PrinterState(), FPTR_PS_NONFISCAL);
  EXPECT_TRUE(Run(&DeviceOperations::DoEndNonFiscal, "").ok());
  EXPECT_EQ(PrinterState(), FPTR_PS_MONITOR);
  EXPECT_EQ(device_.Log(), (V{"BeginNonFiscal", "PrintNormal|2|\x1b|2Cbig\r\nx|100", "EndNonFiscal",
                              "EndNonFiscal"}));
}

TEST_F(OperationsTest, ReportsAndData) {
  device_.FailOnce("ReportByDate", 104);
  const std::string dates =
      "2026\x1f"
      "1\x1f"
      "1\x1f"
      "0\x1f"
      "0\x1f"
      "0\x1f"
      "0\x1f"
      "2026\x1f"
      "1\x1f"
      "31\x1f"
      "0\x1f"
      "0\x1f"
      "0\x1f"
      "0\x1f";
  EXPECT_EQ(Run(&DeviceOperations::DoPrintReportByDate, dates).code, 106);
  EXPECT_EQ(PrinterState(), FPTR_PS_MONITOR);
  EXPECT_TRUE(Run(&DeviceOperations::DoPrintPeriodicTotalsReport, dates).ok());
  EXPECT_TRUE(Run(&DeviceOperations::DoPrintReportByNumber,
                  "5\x1f"
                  "7\x1f")
                  .ok());
  EXPECT_TRUE(Run(&DeviceOperations::DoPrintXReport, "").ok());
  EXPECT_TRUE(Run(&DeviceOperations::DoPrintZReport, "").ok());
  EXPECT_EQ(device_.Log(),
            (V{"ReportByDate|1|1|2026|1|1|2026|1|31", "ReportByDate|1|2|2026|1|1|2026|1|31",
               "ReportByNumber|1|1|5|7", "PrintDailyReport|1", "PrintDailyReport|0"}));

  EXPECT_TRUE(Run(&DeviceOperations::DoGetData,
                  "4\x1f"
                  "0\x1f")
                  .ok());
  EXPECT_EQ(output_, "");
  EXPECT_TRUE(Run(&DeviceOperations::DoGetData,
                  "3\x1f"
                  "0\x1f")
                  .ok());
  EXPECT_EQ(output_, "1003\x1f");
  EXPECT_TRUE(Run(&DeviceOperations::DoGetData,
                  "9\x1f"
                  "0\x1f")
                  .ok());
  EXPECT_EQ(output_, "KF0001\x1f");
  device_.SetZReport(12, 345, 1.5);
  EXPECT_TRUE(Run(&DeviceOperations::DoGetData,
                  "7\x1f"
                  "0\x1f")
                  .ok());
  EXPECT_EQ(output_, "12/345/001500\x1f");
  EXPECT_TRUE(Run(&DeviceOperations::DoGetDate, "").ok());
  EXPECT_EQ(output_,
            "2026\x1f"
            "12\x1f"
            "8\x1f"
            "9\x1f"
            "30\x1f"
            "15\x1f"
            "0\x1f");
}

TEST_F(OperationsTest, TotalizerChecksAndRequests) {
  device_.ClearLog();
  EXPECT_EQ(Run(&DeviceOperations::DoGetTotalizer,
                "2\x1f"
                "1\x1f"
                "3\x1f"),
            (DeviceResult{106, 0, "The required totalizer (optArgs) is not supported"}));
  EXPECT_EQ(Run(&DeviceOperations::DoGetTotalizer,
                "1\x1f"
                "1\x1f"
                "1\x1f")
                .text,
            "TotalizerType FPTR_TT_DOCUMENT not supported");
  EXPECT_EQ(Run(&DeviceOperations::DoGetTotalizer,
                "5\x1f"
                "1\x1f"
                "1\x1f")
                .text,
            "TotalizerType is invalid");
  EXPECT_TRUE(device_.Log().empty());
  EXPECT_TRUE(Run(&DeviceOperations::DoGetTotalizer,
                  "3\x1f"
                  "0\x1f"
                  "2\x1f")
                  .ok());
  EXPECT_EQ(output_, "777\x1f");
  EXPECT_TRUE(Run(&DeviceOperations::DoGetTotalizer,
                  "4\x1f"
                  "2\x1f"
                  "1\x1f")
                  .ok());
  EXPECT_EQ(device_.Log(), (V{"ReadTotalizer|5|2|2", "ReadTotalizer|2|1|1"}));
}

}  // namespace
}  // namespace kelo::device
