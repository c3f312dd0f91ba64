// The service object on the real stack: CFiscalPrinterUnit -> device layer -> serial port on
// a pseudo-terminal -> the in-process printer simulator. What the printer printed and counted
// is read back from the simulator.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "service/tests/service_test_support.h"
#include "simulator/simulator.h"
#include "testing/scaled_clock.h"
#include "testing/wait.h"

namespace kelo::service::testing {
namespace {

using kelo::testing::ScaledClock;
using kelo::testing::WaitFor;

// OPOS currency (four implied decimals) from hundredths.
constexpr int64_t Cents(int64_t hundredths) {
  return hundredths * 100;
}

bool Contains(const std::vector<std::string>& lines, const std::string& piece) {
  for (const auto& l : lines) {
    if (l.find(piece) != std::string::npos) return true;
  }
  return false;
}

// The amount on the first line starting with label (the last token holding a decimal point;
// a VAT letter may follow it), in hundredths; -1 when there is none.
int64_t AmountOf(const std::vector<std::string>& lines, const std::string& label) {
  for (const auto& l : lines) {
    if (l.rfind(label, 0) != 0) continue;
    size_t end = l.size();
    while (end > 0) {
      const size_t space = l.find_last_of(' ', end - 1);
      const size_t start = space == std::string::npos ? 0 : space + 1;
      const std::string token = l.substr(start, end - start);
      const size_t dot = token.find('.');
      if (dot != std::string::npos && dot > 0) {
        const bool negative = token[0] == '-';
        const int64_t whole = std::stoll(token.substr(negative ? 1 : 0, dot - (negative ? 1 : 0)));
        const int64_t value = whole * 100 + std::stoll(token.substr(dot + 1));
        return negative ? -value : value;
      }
      if (space == std::string::npos) break;
      end = space;
    }
  }
  return -1;
}

class PrintingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::SimulatorOptions options;
    options.start_time = {2026, 1, 15, 10, 30, 0};
    sim_ = std::make_unique<sim::Simulator>(options);
    std::string error;
    ASSERT_TRUE(sim_->Start(&error)) << error;
    registry_ = dir_.File("opos.reg");
    WriteDeviceKey(registry_, {{"Port", RegValue::String(sim_->slave_path())},
                               {"LogPath", RegValue::String(dir_.path() + "/")},
                               {"PollingTime", RegValue::Dword(200)}});
    // The trace keeps its file open across units: start this test's own file.
    trace::ResetForTesting();
    unit_ = ComPtr<CFiscalPrinterUnit>(new CFiscalPrinterUnit(registry_));
    control_ = FakeControl::Make();
    ASSERT_EQ(unit_->OpenService("FiscalPrinter", kDeviceName, control_.Get()), 0);
    ASSERT_EQ(unit_->ClaimDevice(3000), 0) << unit_->error_string();
    unit_->SetPropertyNumber(opos::PIDX_DeviceEnabled, 1);
    ASSERT_EQ(unit_->result_code(), 0) << unit_->error_string();
  }
  void TearDown() override {
    if (unit_) unit_->CloseService();
    unit_ = nullptr;
    sim_->Stop();
  }

  int32_t Number(int32_t index) { return unit_->GetNumberProperty(index); }
  void Expect(int32_t code, int32_t extended, const std::string& text) {
    EXPECT_EQ(unit_->result_code(), code);
    EXPECT_EQ(unit_->result_code_extended(), extended);
    EXPECT_EQ(unit_->error_string(), text);
  }
  std::vector<int32_t> EventData(const std::string& name) {
    std::vector<int32_t> v;
    for (const auto& c : control_->calls()) {
      if (c.name == name && !c.longs.empty()) v.push_back(c.longs[0]);
    }
    return v;
  }
  bool WaitEvents(const std::string& name, size_t n) {
    return WaitFor([&] { return EventData(name).size() >= n; });
  }
  std::string Trace() { return ReadFile(dir_.File("KELOFPU.log")); }

  // A sales receipt of 5.99: Espresso 1.20 (VAT index 1), Cake 3.80 (department 3), Sugar
  // 0.9940 rounded to 0.99 (default VAT); paid 1.00 by card, 1.00 by form 3, 1.00 by form
  // 0 and 2.99 in cash.
  void SalesReceipt() {
    ASSERT_EQ(unit_->beginFiscalReceipt(false), 0) << unit_->error_string();
    ASSERT_EQ(unit_->printRecItem("Espresso", Cents(120), 1000, 1, 0, ""), 0);
    ASSERT_EQ(unit_->printRecItem("Cake", Cents(380), 1000, 10003, 0, ""), 0);
    ASSERT_EQ(unit_->printRecItem("Sugar", 9940, 1000, 0, 0, ""), 0);
    ASSERT_EQ(unit_->printRecTotal(Cents(599), Cents(100), "2>Card"), 0);
    ASSERT_EQ(unit_->printRecTotal(Cents(599), Cents(100), "3"), 0);
    ASSERT_EQ(unit_->printRecTotal(Cents(599), Cents(100), "0"), 0);
    ASSERT_EQ(unit_->printRecTotal(Cents(599), Cents(299), "Cash"), 0);
    ASSERT_EQ(unit_->endFiscalReceipt(false), 0) << unit_->error_string();
  }

  TempDir dir_;
  std::string registry_;
  std::unique_ptr<sim::Simulator> sim_;
  ComPtr<FakeControl> control_;
  ComPtr<CFiscalPrinterUnit> unit_;
};

// ---- Claim, enable, release ----

TEST_F(PrintingTest, ClaimReadsTheConfigurationAndReportsTheFirstStatus) {
  EXPECT_EQ(Number(opos::PIDX_Claimed), 1);
  EXPECT_EQ(Number(opos::PIDX_NumVatRates), 4);
  EXPECT_EQ(Number(opos::PIDX_MessageLength), 42);
  EXPECT_EQ(Number(opos::PIDX_NumHeaderLines), 6);
  EXPECT_EQ(Number(opos::PIDX_NumTrailerLines), 4);
  EXPECT_EQ(Number(opos::PIDX_PrinterState), opos::FPTR_PS_MONITOR);
  EXPECT_EQ(Number(opos::PIDX_DayOpened), 0);
  // Cover, journal paper, journal empty, receipt paper: reported once even when all is well.
  ASSERT_TRUE(WaitEvents("SOStatusUpdate", 4));
  EXPECT_EQ(EventData("SOStatusUpdate"), (std::vector<int32_t>{12, 23, 61, 26}));

  EXPECT_EQ(unit_->ReleaseDevice(), 0);
  EXPECT_EQ(Number(opos::PIDX_Claimed), 0);
  EXPECT_EQ(Number(opos::PIDX_DeviceEnabled), 0);
  // The connection can be made again on the same unit.
  ASSERT_EQ(unit_->ClaimDevice(3000), 0) << unit_->error_string();
  unit_->SetPropertyNumber(opos::PIDX_DeviceEnabled, 1);
  EXPECT_EQ(unit_->printXReport(), 0) << unit_->error_string();
}

TEST(SilentPrinterTest, ClaimFindsNoDevice) {
  TempDir dir;
  Pty silent;
  const std::string registry = dir.File("opos.reg");
  WriteDeviceKey(registry,
                 {{"Port", RegValue::String(silent.path())}, {"LogEnabled", RegValue::Dword(0)}});
  ScaledClock fast(10);
  auto control = FakeControl::Make();
  ComPtr<CFiscalPrinterUnit> unit(new CFiscalPrinterUnit(registry, fast));
  ASSERT_EQ(unit->OpenService("FiscalPrinter", kDeviceName, control.Get()), 0);
  EXPECT_EQ(unit->ClaimDevice(1000), opos::OPOS_E_NOHARDWARE);
  EXPECT_EQ(unit->error_string(), "Device not found");
  EXPECT_EQ(unit->GetNumberProperty(opos::PIDX_State), opos::OPOS_S_ERROR);
  EXPECT_EQ(unit->GetNumberProperty(opos::PIDX_Claimed), 0);
  EXPECT_EQ(unit->CloseService(), 0);
}

// ---- Receipts ----

TEST_F(PrintingTest, SalesReceiptSynchronous) {
  ASSERT_EQ(unit_->setPOSID("POS 7", "Anna"), 0);
  const int32_t id_before = Number(opos::PIDX_OutputID);
  const size_t mark = sim_->PaperMark();
  SalesReceipt();
  EXPECT_EQ(Number(opos::PIDX_PrinterState), opos::FPTR_PS_MONITOR);
  EXPECT_EQ(Number(opos::PIDX_DayOpened), 1);
  // Every operation, synchronous ones included, took a new identifier.
  EXPECT_EQ(Number(opos::PIDX_OutputID), id_before + 9);
  EXPECT_EQ(sim_->DataItem(1), 599);
  EXPECT_EQ(sim_->DataItem(20), 1);
  const auto paper = sim_->PaperSince(mark);
  EXPECT_EQ(AmountOf(paper, "Espresso"), 120) << sim_->PaperText();
  EXPECT_EQ(AmountOf(paper, "Cake"), 380);
  EXPECT_EQ(AmountOf(paper, "Sugar"), 99);
  EXPECT_EQ(AmountOf(paper, "TOTAL EUR"), 599);
  EXPECT_EQ(AmountOf(paper, "Card"), 100);
  EXPECT_EQ(AmountOf(paper, "DEBIT CARD"), 100);
  EXPECT_EQ(AmountOf(paper, "CASH"), 100);
  EXPECT_EQ(AmountOf(paper, "Cash"), 299);
  EXPECT_TRUE(Contains(paper, "POS 7")) << sim_->PaperText();

  // One duplicate per receipt, and only while the property asks for it.
  EXPECT_EQ(unit_->printDuplicateReceipt(), opos::OPOS_E_ILLEGAL);
  Expect(opos::OPOS_E_ILLEGAL, 0, "DuplicateReceipt is false");
  unit_->SetPropertyNumber(opos::PIDX_DuplicateReceipt, 1);
  const size_t before_duplicate = sim_->PaperMark();
  ASSERT_EQ(unit_->printDuplicateReceipt(), 0) << unit_->error_string();
  EXPECT_EQ(Number(opos::PIDX_DuplicateReceipt), 0);
  EXPECT_EQ(AmountOf(sim_->PaperSince(before_duplicate), "TOTAL EUR"), 599) << sim_->PaperText();
  EXPECT_EQ(unit_->printDuplicateReceipt(), opos::OPOS_E_ILLEGAL);
  Expect(opos::OPOS_E_ILLEGAL, 0, "DuplicateReceipt is false");
}

TEST_F(PrintingTest, RefundReceiptSynchronous) {
  unit_->SetPropertyNumber(opos::PIDX_FiscalReceiptType, opos::FPTR_RT_REFUND);
  EXPECT_EQ(unit_->beginFiscalReceipt(false), opos::OPOS_E_ILLEGAL);
  Expect(opos::OPOS_E_ILLEGAL, 0, "PreLine property must contain RT_REFUND name/description");
  EXPECT_EQ(Number(opos::PIDX_PrinterState), opos::FPTR_PS_MONITOR);

  unit_->SetPropertyString(opos::PIDX_PreLine, "Return 17");
  const size_t mark = sim_->PaperMark();
  ASSERT_EQ(unit_->beginFiscalReceipt(false), 0) << unit_->error_string();
  EXPECT_EQ(unit_->GetPropertyString(opos::PIDX_PreLine), "");
  ASSERT_EQ(unit_->printRecRefund("Cup", Cents(250), 1), 0) << unit_->error_string();
  ASSERT_EQ(unit_->printRecTotal(Cents(250), Cents(250), "Cash"), 0);
  ASSERT_EQ(unit_->endFiscalReceipt(false), 0) << unit_->error_string();
  EXPECT_EQ(Number(opos::PIDX_PrinterState), opos::FPTR_PS_MONITOR);
  const auto paper = sim_->PaperSince(mark);
  EXPECT_TRUE(Contains(paper, "Return 17"));
  EXPECT_EQ(AmountOf(paper, "Cup"), 250);
  EXPECT_EQ(sim_->DataItem(4), 250);  // day refunds
}

TEST_F(PrintingTest, AsynchronousReceiptsCompleteInOutputIdOrder) {
  unit_->SetPropertyNumber(opos::PIDX_AsyncMode, 1);
  ASSERT_EQ(unit_->beginFiscalReceipt(false), 0);
  const int32_t first = Number(opos::PIDX_OutputID) + 1;
  // While the printer is held, queued lines stay queued: a synchronous method is refused.
  sim_->printer([&](sim::Printer&) {
    for (int i = 0; i < 3; ++i) {
      ASSERT_EQ(unit_->printRecItem("Item", Cents(100), 1000, 1, 0, ""), 0);
    }
    EXPECT_EQ(Number(opos::PIDX_OutputID), first + 2);
    EXPECT_EQ(unit_->endFiscalReceipt(false), opos::OPOS_E_BUSY);
    Expect(opos::OPOS_E_BUSY, 0, "Asynchronous output is in progress");
  });
  ASSERT_EQ(unit_->printRecTotal(Cents(300), Cents(300), "Cash"), 0);
  // The refused call took an identifier too (every call through the execution layer does).
  const int32_t total_id = Number(opos::PIDX_OutputID);
  EXPECT_EQ(total_id, first + 4);
  ASSERT_TRUE(WaitEvents("SOOutputComplete", 4));
  EXPECT_EQ(EventData("SOOutputComplete"),
            (std::vector<int32_t>{first, first + 1, first + 2, total_id}));
  ASSERT_TRUE(WaitFor([&] { return unit_->endFiscalReceipt(false) == 0; }));
  EXPECT_EQ(sim_->DataItem(1), 300);

  unit_->SetPropertyNumber(opos::PIDX_FiscalReceiptType, opos::FPTR_RT_REFUND);
  unit_->SetPropertyString(opos::PIDX_PreLine, "Return 18");
  ASSERT_EQ(unit_->beginFiscalReceipt(false), 0);
  const int32_t refund_first = Number(opos::PIDX_OutputID) + 1;
  ASSERT_EQ(unit_->printRecRefund("Cup", Cents(250), 1), 0);
  ASSERT_EQ(unit_->printRecTotal(Cents(250), Cents(250), "Cash"), 0);
  ASSERT_TRUE(WaitEvents("SOOutputComplete", 6));
  const auto done = EventData("SOOutputComplete");
  EXPECT_EQ(std::vector<int32_t>(done.begin() + 4, done.end()),
            (std::vector<int32_t>{refund_first, refund_first + 1}));
  ASSERT_TRUE(WaitFor([&] { return unit_->endFiscalReceipt(false) == 0; }));
  EXPECT_EQ(sim_->DataItem(4), 250);
  EXPECT_TRUE(EventData("SOError").empty());
}

TEST_F(PrintingTest, BadVatInfoIsRefusedBeforeAnythingIsSent) {
  ASSERT_EQ(unit_->beginFiscalReceipt(false), 0);
  for (int32_t async : {0, 1}) {
    unit_->SetPropertyNumber(opos::PIDX_AsyncMode, async);
    const size_t mark = sim_->PaperMark();
    const int32_t id = Number(opos::PIDX_OutputID);
    // 6: one past the printer's VAT indexes (4 rates and the exempt default 5); 10000 and
    // 10011: no department; -1 outside sales.
    EXPECT_EQ(unit_->printRecItem("Tea", Cents(100), 1, 6, 0, ""), opos::OPOS_E_EXTENDED);
    Expect(opos::OPOS_E_EXTENDED, opos::OPOS_EFPTR_BAD_VAT, "The VAT information is invalid");
    EXPECT_EQ(unit_->printRecItem("Tea", Cents(100), 1000, 10000, 0, ""), opos::OPOS_E_EXTENDED);
    EXPECT_EQ(unit_->printRecItem("Tea", Cents(100), 1000, 10011, 0, ""), opos::OPOS_E_EXTENDED);
    EXPECT_EQ(unit_->printRecItemVoid("Tea", Cents(100), 1000, -1, 0, ""), opos::OPOS_E_EXTENDED);
    EXPECT_EQ(unit_->printRecRefund("Tea", Cents(100), 7), opos::OPOS_E_EXTENDED);
    EXPECT_EQ(unit_->printRecItemAdjustment(1, "Off", Cents(10), 99), opos::OPOS_E_EXTENDED);
    EXPECT_EQ(Number(opos::PIDX_OutputID), id);
    EXPECT_TRUE(sim_->PaperSince(mark).empty());
  }
  EXPECT_TRUE(EventData("SOError").empty());
  unit_->SetPropertyNumber(opos::PIDX_AsyncMode, 0);
  EXPECT_EQ(unit_->printRecVoid("Cancel"), 0) << unit_->error_string();
}

TEST_F(PrintingTest, ArgumentChecksOfReceiptLines) {
  ASSERT_EQ(unit_->beginFiscalReceipt(true), 0) << unit_->error_string();
  EXPECT_EQ(unit_->printRecItemAdjustment(5, "Off", Cents(10), 1), opos::OPOS_E_ILLEGAL);
  Expect(opos::OPOS_E_ILLEGAL, 0, "The adjustmentType parameter is invalid");
  EXPECT_EQ(unit_->printRecSubtotalAdjustment(5, "Off", Cents(10)), opos::OPOS_E_ILLEGAL);
  Expect(opos::OPOS_E_ILLEGAL, 0, "The adjustmentType parameter is not supported");
  EXPECT_EQ(unit_->printRecSubtotalAdjustVoid(1, Cents(10)), opos::OPOS_E_ILLEGAL);
  Expect(opos::OPOS_E_ILLEGAL, 0, "printRecSubtotalAdjustVoid not supported");
  EXPECT_EQ(unit_->printRecPackageAdjustment(1, "x", "1,100"), opos::OPOS_E_ILLEGAL);
  Expect(opos::OPOS_E_ILLEGAL, 0, "CapPackageAdjustment is false");
  EXPECT_EQ(unit_->printRecItemFuel("x", 0, 0, 0, 0, "", 0, ""), opos::OPOS_E_ILLEGAL);
  Expect(opos::OPOS_E_ILLEGAL, 0, "printRecItemFuel not supported");

  const size_t mark = sim_->PaperMark();
  ASSERT_EQ(unit_->printRecItem("Bread", Cents(250), 1000, 2, 0, ""), 0);
  ASSERT_EQ(unit_->printRecItemAdjustment(1, "Promo", Cents(50), 2), 0)
      << unit_->error_string() << sim_->PaperText();
  ASSERT_EQ(unit_->printRecItemAdjustmentVoid(1, "Promo", Cents(50), 2), 0)
      << unit_->error_string() << sim_->PaperText();
  ASSERT_EQ(unit_->printRecItem("Milk", Cents(130), 1000, 2, 0, ""), 0);
  // Void of an item without adjustment (type 0) is accepted.
  ASSERT_EQ(unit_->printRecVoidItem("Milk", Cents(130), 1000, 0, 0, 2), 0)
      << unit_->error_string() << sim_->PaperText();
  ASSERT_EQ(unit_->printRecItem("Milk", Cents(130), 1000, 2, 0, ""), 0);
  ASSERT_EQ(unit_->printRecMessage("Thank you"), 0);
  // Bread 2.50 (its discount voided) and Milk 1.30.
  ASSERT_EQ(unit_->printRecSubtotal(Cents(380)), 0) << unit_->error_string();
  ASSERT_EQ(unit_->printRecTotal(Cents(380), Cents(350), "Cash"), 0) << unit_->error_string();
  ASSERT_EQ(unit_->printRecNotPaid("Later", Cents(30)), 0) << unit_->error_string();
  ASSERT_EQ(unit_->endFiscalReceipt(false), 0) << unit_->error_string();
  const auto paper = sim_->PaperSince(mark);
  EXPECT_TRUE(Contains(paper, "Thank you"));
  EXPECT_EQ(AmountOf(paper, "Milk"), 130);
  EXPECT_EQ(sim_->DataItem(5), 30);  // day not paid
}

// ---- Non-fiscal, settings and queries ----

TEST_F(PrintingTest, NonFiscalPrintingAndHeaderLines) {
  EXPECT_EQ(unit_->printNormal(2, "outside"), opos::OPOS_E_EXTENDED);
  EXPECT_EQ(unit_->result_code_extended(), opos::OPOS_EFPTR_WRONG_STATE);
  EXPECT_EQ(unit_->printNormal(4, "x"), opos::OPOS_E_ILLEGAL);
  Expect(opos::OPOS_E_ILLEGAL, 0, "The specified station does not exist");

  ASSERT_EQ(unit_->setHeaderLine(1, "BIG SHOP", true), 0) << unit_->error_string();
  const size_t mark = sim_->PaperMark();
  ASSERT_EQ(unit_->beginNonFiscal(), 0);
  EXPECT_EQ(Number(opos::PIDX_PrinterState), 9);  // opos::FPTR_PS_NONFISCAL
  ASSERT_EQ(unit_->printNormal(2, "Hello there"), 0);
  ASSERT_EQ(unit_->endNonFiscal(), 0);
  const auto paper = sim_->PaperSince(mark);
  EXPECT_TRUE(Contains(paper, "B I G")) << sim_->PaperText();
  EXPECT_TRUE(Contains(paper, "Hello there"));
  EXPECT_EQ(sim_->DataItem(22), 1);

  ASSERT_EQ(unit_->beginTraining(), 0) << unit_->error_string();
  EXPECT_EQ(Number(opos::PIDX_TrainingModeActive), 1);
  ASSERT_EQ(unit_->endTraining(), 0) << unit_->error_string();
  EXPECT_EQ(Number(opos::PIDX_TrainingModeActive), 0);
  ASSERT_EQ(unit_->resetPrinter(), 0);
}

TEST_F(PrintingTest, DatesAndDataItems) {
  std::string date = "untouched";
  unit_->SetPropertyNumber(opos::PIDX_DateType, 4);
  ASSERT_EQ(unit_->getDate(&date), 0) << unit_->error_string();
  EXPECT_EQ(date, "150120261030");
  unit_->SetPropertyNumber(opos::PIDX_DateType, 1);
  EXPECT_EQ(unit_->getDate(&date), opos::OPOS_E_ILLEGAL);
  Expect(opos::OPOS_E_ILLEGAL, 0, "FPTR_DT_CONF value for DateType not supported");
  EXPECT_EQ(date, "000000000000");
  date = "untouched";
  unit_->SetPropertyNumber(opos::PIDX_DateType, 7);
  EXPECT_EQ(unit_->getDate(&date), opos::OPOS_E_ILLEGAL);
  Expect(opos::OPOS_E_ILLEGAL, 0, "Specific DateType not supported");
  EXPECT_EQ(date, "untouched");

  ASSERT_EQ(unit_->setDate("160120260800"), 0) << unit_->error_string();
  unit_->SetPropertyNumber(opos::PIDX_DateType, 4);
  ASSERT_EQ(unit_->getDate(&date), 0);
  EXPECT_EQ(date, "160120260800");

  SalesReceipt();
  // The day is open now: the printer refuses a new date.
  EXPECT_NE(unit_->setDate("170120260800"), 0);

  std::string data = "untouched";
  int32_t opt = 0;
  EXPECT_EQ(unit_->getData(4, &opt, &data), opos::OPOS_E_ILLEGAL);
  Expect(opos::OPOS_E_ILLEGAL, 0, "Not supported");
  EXPECT_EQ(data, "untouched");
  ASSERT_EQ(unit_->getData(2, &opt, &data), 0);
  EXPECT_EQ(data, "599");
  ASSERT_EQ(unit_->getData(9, &opt, &data), 0);
  EXPECT_EQ(data, "KL80-0001234");
  ASSERT_EQ(unit_->getData(7, &opt, &data), 0) << unit_->error_string();
  char expected[64];
  std::snprintf(expected, sizeof expected, "%d/%d/%06d", static_cast<int>(sim_->DataItem(7) + 1),
                static_cast<int>(sim_->DataItem(20)), static_cast<int>(sim_->DataItem(2) * 10));
  EXPECT_EQ(data, expected);

  unit_->SetPropertyNumber(opos::PIDX_TotalizerType, 2);
  EXPECT_EQ(unit_->getTotalizer(1, 3, &data), opos::OPOS_E_ILLEGAL);
  Expect(opos::OPOS_E_ILLEGAL, 0, "The required totalizer (optArgs) is not supported");
  ASSERT_EQ(unit_->getTotalizer(1, 1, &data), 0) << unit_->error_string();
  EXPECT_EQ(data, "120");  // the day's gross on VAT index 1
}

TEST_F(PrintingTest, VatTableSettings) {
  int32_t rate = -1;
  ASSERT_EQ(unit_->getVatEntry(1, 0, &rate), 0) << unit_->error_string();
  EXPECT_EQ(rate, 2200);
  for (int32_t bad : {0, 5}) {
    rate = -1;
    EXPECT_EQ(unit_->getVatEntry(bad, 0, &rate), opos::OPOS_E_ILLEGAL);
    Expect(opos::OPOS_E_ILLEGAL, 0, "vatID is out of range");
    EXPECT_EQ(rate, -1);
    EXPECT_EQ(unit_->setVatValue(bad, "10"), opos::OPOS_E_ILLEGAL);
    Expect(opos::OPOS_E_ILLEGAL, 0, "vatID is out of range");
  }
  // Pending values: 22, 4.56 exactly (no binary rounding), and the rest as read.
  for (int32_t id = 1; id <= 4; ++id) {
    ASSERT_EQ(unit_->getVatEntry(id, 0, &rate), 0);
    unit_->SetVatTableEntry(id, rate);
  }
  ASSERT_EQ(unit_->setVatValue(2, "4.56"), 0);
  EXPECT_EQ(unit_->VatTableEntry(2), 456);
  ASSERT_EQ(unit_->setVatTable(), 0) << unit_->error_string();
  ASSERT_EQ(unit_->getVatEntry(2, 0, &rate), 0);
  EXPECT_EQ(rate, 456);

  SalesReceipt();
  EXPECT_EQ(unit_->setVatValue(1, "10"), opos::OPOS_E_ILLEGAL);
  Expect(opos::OPOS_E_ILLEGAL, 0, "Day is opened");
  EXPECT_EQ(unit_->setVatTable(), opos::OPOS_E_ILLEGAL);
  Expect(opos::OPOS_E_ILLEGAL, 0, "Day is opened");
  EXPECT_EQ(unit_->setStoreFiscalID("X"), opos::OPOS_E_ILLEGAL);
  Expect(opos::OPOS_E_ILLEGAL, 0, "The Fiscal Printer has already begun the fiscal day");
}

// ---- Reports ----

TEST_F(PrintingTest, XAndZReportsAddUpTheReceipts) {
  SalesReceipt();
  unit_->SetPropertyNumber(opos::PIDX_FiscalReceiptType, opos::FPTR_RT_REFUND);
  unit_->SetPropertyString(opos::PIDX_PreLine, "Return 1");
  ASSERT_EQ(unit_->beginFiscalReceipt(false), 0);
  ASSERT_EQ(unit_->printRecRefund("Cup", Cents(250), 1), 0);
  ASSERT_EQ(unit_->printRecTotal(Cents(250), Cents(250), "Cash"), 0);
  ASSERT_EQ(unit_->endFiscalReceipt(false), 0);

  size_t mark = sim_->PaperMark();
  ASSERT_EQ(unit_->printXReport(), 0) << unit_->error_string();
  auto paper = sim_->PaperSince(mark);
  EXPECT_TRUE(Contains(paper, "X REPORT"));
  // 5.99 sold, 2.50 refunded.
  EXPECT_EQ(AmountOf(paper, "DAILY TOTAL"), 349) << sim_->PaperText();
  EXPECT_EQ(AmountOf(paper, "REFUNDS"), 250);
  EXPECT_EQ(AmountOf(paper, "  GROSS"), 120 - 250);

  mark = sim_->PaperMark();
  ASSERT_EQ(unit_->printZReport(), 0) << unit_->error_string();
  paper = sim_->PaperSince(mark);
  EXPECT_TRUE(Contains(paper, "Z REPORT"));
  EXPECT_EQ(AmountOf(paper, "DAILY TOTAL"), 349) << sim_->PaperText();
  EXPECT_EQ(AmountOf(paper, "REFUNDS"), 250);
  EXPECT_EQ(AmountOf(paper, "GRAND TOTAL"), 349);
  EXPECT_EQ(sim_->DataItem(7), 1);
  // The poll after the report brings the closed day into DayOpened.
  EXPECT_TRUE(WaitFor([&] { return Number(opos::PIDX_DayOpened) == 0; }, std::chrono::seconds(5)));

  // Fiscal-memory reports: end-of-day ordinals are ordinals.
  mark = sim_->PaperMark();
  ASSERT_EQ(unit_->printReport(1, "1", "7"), 0) << unit_->error_string();
  const auto by_ordinal = sim_->PaperSince(mark);
  mark = sim_->PaperMark();
  ASSERT_EQ(unit_->printReport(3, "1", "7"), 0) << unit_->error_string();
  EXPECT_EQ(sim_->PaperSince(mark), by_ordinal);
  EXPECT_EQ(AmountOf(by_ordinal, "TOTAL OF PERIOD"), 349) << sim_->PaperText();
  mark = sim_->PaperMark();
  ASSERT_EQ(unit_->printPeriodicTotalsReport("010120260000", "311220262359"), 0)
      << unit_->error_string();
  const auto periodic = sim_->PaperSince(mark);
  EXPECT_TRUE(Contains(periodic, "PERIODIC TOTALS REPORT"));
  EXPECT_EQ(AmountOf(periodic, "TOTAL OF PERIOD"), 349);
  mark = sim_->PaperMark();
  ASSERT_EQ(unit_->printReport(2, "150120260000", "150120262359"), 0) << unit_->error_string();
  EXPECT_EQ(AmountOf(sim_->PaperSince(mark), "TOTAL OF PERIOD"), 349);
  EXPECT_EQ(unit_->printReport(4, "1", "7"), opos::OPOS_E_ILLEGAL);
  Expect(opos::OPOS_E_ILLEGAL, 0, "Invalid reportType specified");
  EXPECT_EQ(unit_->printPowerLossReport(), opos::OPOS_E_ILLEGAL);
  Expect(opos::OPOS_E_ILLEGAL, 0, "Not supported");
}

// ---- Health check ----

TEST_F(PrintingTest, CheckHealthLevels) {
  EXPECT_EQ(unit_->CheckHealth(1), 0) << unit_->error_string();
  EXPECT_EQ(unit_->GetPropertyString(opos::PIDX_CheckHealthText), "Good");
  EXPECT_EQ(unit_->CheckHealth(3), opos::OPOS_E_ILLEGAL);
  Expect(opos::OPOS_E_ILLEGAL, 0, "Not supported");
  EXPECT_EQ(unit_->GetPropertyString(opos::PIDX_CheckHealthText), "Failure");

  ASSERT_EQ(unit_->beginFiscalReceipt(false), 0);
  const size_t mark = sim_->PaperMark();
  EXPECT_EQ(unit_->CheckHealth(2), opos::OPOS_E_EXTENDED);
  EXPECT_EQ(unit_->result_code_extended(), opos::OPOS_EFPTR_WRONG_STATE);
  EXPECT_TRUE(sim_->PaperSince(mark).empty());
  EXPECT_EQ(Number(opos::PIDX_PrinterState), 2);  // opos::FPTR_PS_FISCAL_RECEIPT
}

TEST_F(PrintingTest, ExternalCheckHealthPrintsTheInformationSlip) {
  // In asynchronous mode too: the slip is complete before it is closed.
  unit_->SetPropertyNumber(opos::PIDX_AsyncMode, 1);
  const size_t mark = sim_->PaperMark();
  ASSERT_EQ(unit_->CheckHealth(2), 0) << unit_->error_string();
  EXPECT_EQ(unit_->GetPropertyString(opos::PIDX_CheckHealthText), "Good");
  EXPECT_EQ(Number(opos::PIDX_PrinterState), opos::FPTR_PS_MONITOR);
  const auto paper = sim_->PaperSince(mark);
  const std::vector<std::string> in_order = {"<OPOS CheckHealth - EXTERNAL>",
                                             "**** CO INFOS ****",
                                             "-OPOS Version: 1.11.0",
                                             "**** SO INFOS ****",
                                             "-Device name:",
                                             "-Device description",
                                             "-OPOS Version: 1.11.0",
                                             "-File Version: ",
                                             "-Company     : ",
                                             "**** MACHINE ****",
                                             "-Name    : KELO FPU-80",
                                             "-Firmware: KL80-0001234",
                                             "<OPOS CheckHealth end>"};
  size_t at = 0;
  for (const auto& piece : in_order) {
    while (at < paper.size() && paper[at].find(piece) == std::string::npos) ++at;
    ASSERT_LT(at, paper.size()) << "missing or out of order: " << piece << "\n"
                                << sim_->PaperText();
    ++at;
  }

  const std::string trace = Trace();
  const size_t begin = trace.rfind("+CFiscalPrinterUnit::CheckHealth(2)\n");
  ASSERT_NE(begin, std::string::npos)
      << trace.size() << " " << dir_.path() << "\n"
      << trace.substr(trace.size() > 3000 ? trace.size() - 3000 : 0);
  const std::string inner = trace.substr(begin);
  std::vector<std::string> names;
  size_t p = 0;
  // Each line: time stamp, two blanks, message.
  while ((p = inner.find("  +CFiscalPrinterUnit::", p)) != std::string::npos) {
    p += 23;
    names.push_back(inner.substr(p, inner.find_first_of("\n(", p) - p));
  }
  std::vector<std::string> expected = {"resetPrinter", "beginNonFiscal"};
  for (int i = 0; i < 11; ++i) expected.push_back("printNormal");
  expected.push_back("endNonFiscal");
  expected.push_back("resetPrinter");
  ASSERT_GE(names.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 15), expected);
  EXPECT_NE(inner.find("-CFiscalPrinterUnit::printNormal => 0\n"), std::string::npos);
  EXPECT_NE(inner.find("-CFiscalPrinterUnit::CheckHealth => 0\n"), std::string::npos);
}

}  // namespace
}  // namespace kelo::service::testing
