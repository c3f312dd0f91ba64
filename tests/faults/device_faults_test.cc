// The failures point-of-sale users meet, played against the device layer on a real line:
// the printer switched off mid-receipt, the serial device unplugged and plugged in again, a
// printer that falls silent under an asynchronous queue, and two printers in one process.
// Each must end in a reported failure within the protocol's bounds, no thread left hanging,
// recovery without restarting the process, and nothing printed twice.
#include <chrono>
#include <thread>

#include "device/fpu_fiscal_device.h"
#include "tests/faults/device_rig.h"

namespace kelo::faults {
namespace {

using namespace opos;
using Clock = std::chrono::steady_clock;

// A dead printer costs three exchanges of 3000 ms on the scaled clock, plus a poll.
constexpr auto kDeadPrinterBound = std::chrono::seconds(4);

std::string Item(const std::string& description, int64_t price) {
  return Fields({description, std::to_string(price), "1000", "1", "0", ""});
}

TEST(DeviceFaults, PrinterSwitchedOffMidReceiptIsReportedAndTheReceiptCanBeEnded) {
  DeviceRig rig("off");
  rig.StartPrinter();
  rig.Claim();
  ASSERT_TRUE(rig.Sync(&DeviceOperations::DoBeginFiscalReceipt, Fields({"0"})).ok());
  ASSERT_TRUE(rig.Sync(&DeviceOperations::DoPrintRecItem, Item("ITEM-A", 250)).ok());

  rig.sim().SetPowered(false);
  const auto start = Clock::now();
  const DeviceResult r = rig.Sync(&DeviceOperations::DoPrintRecItem, Item("ITEM-B", 300));
  EXPECT_FALSE(r.ok());
  EXPECT_LT(Clock::now() - start, kDeadPrinterBound);
  rig.unit().ReadPrinterState();
  EXPECT_EQ(rig.PrinterState(), FPTR_PS_LOCKED);

  // Back on: the printer voided the open receipt itself. The application ends or voids its
  // receipt and carries on, in the same process, without a new claim.
  rig.sim().SetPowered(true);
  rig.unit().ReadPrinterState();
  EXPECT_NE(rig.PrinterState(), FPTR_PS_LOCKED);
  if (rig.PrinterState() != FPTR_PS_MONITOR) {
    const bool voided = rig.Sync(&DeviceOperations::DoPrintRecVoid, "").ok();
    const bool ended = rig.Sync(&DeviceOperations::DoEndFiscalReceipt, Fields({"0"})).ok();
    EXPECT_TRUE(voided || ended);
    rig.unit().ReadPrinterState();
  }
  EXPECT_EQ(rig.PrinterState(), FPTR_PS_MONITOR);
  ASSERT_TRUE(rig.SellReceipt({{"ITEM-C", 400}}));
  EXPECT_EQ(JournalLinesStartingWith(rig.sim(), "ITEM-A"), 1);  // in the voided receipt
  EXPECT_EQ(JournalLinesStartingWith(rig.sim(), "ITEM-B"), 0);
  EXPECT_EQ(JournalLinesStartingWith(rig.sim(), "ITEM-C"), 1);
  EXPECT_EQ(rig.sim().DataItem(6), 1);
  EXPECT_EQ(rig.sim().DataItem(20), 1);
}

device::ReceiptLineGuard::Counters GuardCounters(DeviceRig& rig) {
  auto* fpu = dynamic_cast<device::FpuFiscalDevice*>(&rig.unit().device());
  return fpu ? fpu->guard_counters() : device::ReceiptLineGuard::Counters{};
}

// All three answers to a queued sale are lost although the printer sold the item. The
// application answers the ErrorEvent with retry: the sale must be found done on the printer
// and not sent again. The same for a payment, whose second send would pay twice, and for the
// lines an operation got done before a later line of it lost its answers.
TEST(DeviceFaults, RetryAfterLostAnswersDoesNotSellOrPayTwice) {
  DeviceRig rig("retry");
  rig.StartPrinter();
  rig.Claim();
  rig.SetAsync(true);
  rig.Queue(&DeviceOperations::DoBeginFiscalReceipt, Fields({"0"}));
  ASSERT_TRUE(WaitFor([&] { return rig.host().completed().size() == 1; }));

  rig.host().QueueErrorResponse(OPOS_ER_RETRY);
  rig.sim().faults([](sim::FaultInjector& f) { f.DropNext(3, link::kOpReceipt); });
  const int32_t sale = rig.Queue(&DeviceOperations::DoPrintRecItem, Item("ITEM-A", 250));
  ASSERT_TRUE(WaitFor([&] { return rig.unit().QueueEmpty() && rig.host().GetState() == 2; }));
  ASSERT_EQ(rig.host().errors().size(), 1u);
  EXPECT_EQ(rig.host().completed().back(), sale);
  EXPECT_EQ(OpenReceiptLinesStartingWith(rig.sim(), "ITEM-A"), 1);
  EXPECT_EQ(GuardCounters(rig).found_done, 1u);

  // The item goes through but its PostLine loses its answers: the retry runs the whole
  // operation again, and the item it already sold must not be sold with it.
  rig.host().QueueErrorResponse(OPOS_ER_RETRY);
  rig.host().SetStringProperty(PIDX_PostLine, "POST-B");
  rig.sim().faults([](sim::FaultInjector& f) { f.DropNext(3, link::kOpReceipt, 1); });
  rig.Queue(&DeviceOperations::DoPrintRecItem, Item("ITEM-B", 250));
  ASSERT_TRUE(WaitFor([&] { return rig.unit().QueueEmpty() && rig.host().GetState() == 2; }));
  ASSERT_EQ(rig.host().errors().size(), 2u);
  EXPECT_EQ(OpenReceiptLinesStartingWith(rig.sim(), "ITEM-B"), 1);
  EXPECT_EQ(GuardCounters(rig).skipped, 1u);

  // A subtotal line moves no amount; the printer's copy of the receipt tells.
  rig.host().QueueErrorResponse(OPOS_ER_RETRY);
  rig.sim().faults([](sim::FaultInjector& f) { f.DropNext(3, link::kOpReceipt); });
  const size_t mark = rig.sim().PaperMark();
  rig.Queue(&DeviceOperations::DoPrintRecSubtotal, Fields({"500"}));
  ASSERT_TRUE(WaitFor([&] { return rig.unit().QueueEmpty() && rig.host().GetState() == 2; }));
  ASSERT_EQ(rig.host().errors().size(), 3u);
  int subtotals = 0;
  for (const std::string& line : rig.sim().PaperSince(mark)) {
    subtotals += line.rfind("SUBTOTAL", 0) == 0;
  }
  EXPECT_EQ(subtotals, 1);
  EXPECT_EQ(GuardCounters(rig).found_done, 2u);

  // The total line first (synchronously), then the queued payment loses its answers.
  rig.SetAsync(false);
  ASSERT_TRUE(rig.Sync(&DeviceOperations::DoPrintRecTotal, Fields({"500", "0", "Cash"})).ok());
  rig.SetAsync(true);
  rig.host().QueueErrorResponse(OPOS_ER_RETRY);
  rig.sim().faults([](sim::FaultInjector& f) { f.DropNext(3, link::kOpReceipt); });
  const int32_t pay = rig.Queue(&DeviceOperations::DoPrintRecTotal, Fields({"500", "200", "Cash"}));
  ASSERT_TRUE(WaitFor([&] { return rig.unit().QueueEmpty() && rig.host().GetState() == 2; }));
  ASSERT_EQ(rig.host().errors().size(), 4u);
  EXPECT_EQ(rig.host().completed().back(), pay);
  EXPECT_EQ(GuardCounters(rig).found_done, 3u);

  // The rest is paid and the end of payment loses its answers: the retry must neither pay
  // again nor try to end the payment a second time.
  rig.host().QueueErrorResponse(OPOS_ER_RETRY);
  rig.sim().faults([](sim::FaultInjector& f) { f.DropNext(3, link::kOpReceipt, 1); });
  const int32_t rest =
      rig.Queue(&DeviceOperations::DoPrintRecTotal, Fields({"500", "300", "Cash"}));
  ASSERT_TRUE(WaitFor([&] { return rig.unit().QueueEmpty() && rig.host().GetState() == 2; }));
  ASSERT_EQ(rig.host().errors().size(), 5u);
  EXPECT_EQ(rig.host().completed().back(), rest);
  EXPECT_EQ(GuardCounters(rig).skipped, 2u);
  EXPECT_EQ(rig.PrinterState(), FPTR_PS_FISCAL_RECEIPT_ENDING);
  rig.SetAsync(false);
  ASSERT_TRUE(rig.Sync(&DeviceOperations::DoEndFiscalReceipt, Fields({"0"})).ok());
  EXPECT_EQ(rig.sim().DataItem(2), 500);  // the day's takings: each sale once
  EXPECT_EQ(JournalLinesStartingWith(rig.sim(), "ITEM-A"), 1);
  EXPECT_EQ(JournalLinesStartingWith(rig.sim(), "ITEM-B"), 1);
}

// A percentage adjustment changes the amount to pay by what only the printer knows, so the
// guard cannot carry the amount over it. Its answers are lost although the printer did it,
// and then the answers to the next sale are lost too; the application answers both
// ErrorEvents with retry. Each line must be on the receipt once, and the figures the guard
// carries afterwards must be the printer's.
TEST(DeviceFaults, LostAnswersToAPercentageAndThenToTheNextSaleDoNotRepeatEither) {
  DeviceRig rig("percent");
  rig.StartPrinter();
  rig.Claim();
  ASSERT_TRUE(rig.Sync(&DeviceOperations::DoBeginFiscalReceipt, Fields({"0"})).ok());
  ASSERT_TRUE(rig.Sync(&DeviceOperations::DoPrintRecItem, Item("ITEM-A", 1000)).ok());
  rig.SetAsync(true);
  rig.host().QueueErrorResponse(OPOS_ER_RETRY);
  rig.host().QueueErrorResponse(OPOS_ER_RETRY);
  // Three lost answers end each line; the percentage's retry sends no receipt command.
  rig.sim().faults([](sim::FaultInjector& f) { f.DropNext(6, link::kOpReceipt); });
  rig.Queue(&DeviceOperations::DoPrintRecSubtotalAdjustment, Fields({"3", "TEN-OFF", "1000"}));
  const int32_t sale = rig.Queue(&DeviceOperations::DoPrintRecItem, Item("ITEM-B", 300));
  ASSERT_TRUE(WaitFor([&] { return rig.unit().QueueEmpty() && rig.host().GetState() == 2; }));
  ASSERT_EQ(rig.host().errors().size(), 2u);
  EXPECT_EQ(rig.host().completed().back(), sale);
  EXPECT_EQ(GuardCounters(rig).found_done, 2u);
  EXPECT_EQ(OpenReceiptLinesStartingWith(rig.sim(), "ITEM-B"), 1);
  // The guard's figure is the printer's: the full payment closes the receipt.
  ASSERT_TRUE(rig.Sync(&DeviceOperations::DoPrintRecTotal, Fields({"1200", "1200", "Cash"})).ok());
  EXPECT_EQ(rig.PrinterState(), FPTR_PS_FISCAL_RECEIPT_ENDING);
  rig.SetAsync(false);
  ASSERT_TRUE(rig.Sync(&DeviceOperations::DoEndFiscalReceipt, Fields({"0"})).ok());
  EXPECT_EQ(rig.sim().DataItem(2), 1200);
  EXPECT_EQ(JournalLinesStartingWith(rig.sim(), "TEN-OFF"), 1);
}

TEST(DeviceFaults, SerialDeviceUnpluggedAndPluggedInAgainNeedsNoRestart) {
  DeviceRig rig("unplug");
  rig.StartPrinter();
  rig.Claim();
  ASSERT_TRUE(rig.SellReceipt({{"ITEM-A", 250}}));

  rig.StopPrinter();  // the device node goes away under the open port
  auto start = Clock::now();
  EXPECT_FALSE(rig.Sync(&DeviceOperations::DoBeginFiscalReceipt, Fields({"0"})).ok());
  EXPECT_LT(Clock::now() - start, kDeadPrinterBound);
  rig.unit().ReadPrinterState();
  EXPECT_EQ(rig.PrinterState(), FPTR_PS_LOCKED);

  // ReleaseDevice: the worker ends within its bound although the line is dead.
  start = Clock::now();
  rig.Release();
  EXPECT_FALSE(rig.unit().connected());
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(11));

  // Plugged in again at the same path: a new claim in the same process works.
  rig.StartPrinter();
  rig.Claim();
  ASSERT_TRUE(rig.SellReceipt({{"ITEM-B", 300}}));
  EXPECT_EQ(JournalLinesStartingWith(rig.sim(), "ITEM-A"), 1);
  EXPECT_EQ(JournalLinesStartingWith(rig.sim(), "ITEM-B"), 1);
  EXPECT_EQ(rig.sim().DataItem(20), 2);
}

TEST(DeviceFaults, PrinterFallingSilentUnderTheAsyncQueueRaisesAnErrorAndRecovers) {
  DeviceRig rig("async");
  rig.StartPrinter();
  rig.Claim();
  rig.SetAsync(true);
  const int32_t begin = rig.Queue(&DeviceOperations::DoBeginFiscalReceipt, Fields({"0"}));
  const int32_t a = rig.Queue(&DeviceOperations::DoPrintRecItem, Item("ITEM-A", 250));
  ASSERT_TRUE(WaitFor([&] { return rig.host().completed().size() == 2; }));
  EXPECT_EQ(rig.host().completed(), (std::vector<int32_t>{begin, a}));

  rig.sim().SetPowered(false);
  rig.host().QueueErrorResponse(OPOS_ER_CLEAR);
  const int32_t b = rig.Queue(&DeviceOperations::DoPrintRecItem, Item("ITEM-B", 300));
  rig.Queue(&DeviceOperations::DoPrintRecItem, Item("ITEM-C", 350));
  ASSERT_TRUE(WaitFor([&] { return rig.host().errors().size() == 1; }));
  ASSERT_TRUE(WaitFor([&] { return rig.unit().QueueEmpty() && rig.host().GetState() == 2; }));
  EXPECT_EQ(rig.host().GetNumberProperty(PIDX_ErrorOutID), b);
  EXPECT_EQ(rig.host().completed().size(), 2u);  // nothing after the error completed

  // Printer back: the application voids what is left and sells again, asynchronously.
  rig.sim().SetPowered(true);
  rig.unit().ReadPrinterState();
  if (rig.PrinterState() != FPTR_PS_MONITOR) {
    rig.Queue(&DeviceOperations::DoPrintRecVoid, "");
    rig.Queue(&DeviceOperations::DoEndFiscalReceipt, Fields({"0"}));
    ASSERT_TRUE(WaitFor([&] { return rig.unit().QueueEmpty() && rig.host().GetState() == 2; }));
    rig.unit().ReadPrinterState();
  }
  ASSERT_EQ(rig.PrinterState(), FPTR_PS_MONITOR);
  const size_t done_before = rig.host().completed().size();
  std::vector<int32_t> ids = {
      rig.Queue(&DeviceOperations::DoBeginFiscalReceipt, Fields({"0"})),
      rig.Queue(&DeviceOperations::DoPrintRecItem, Item("ITEM-D", 500)),
      rig.Queue(&DeviceOperations::DoPrintRecTotal, Fields({"500", "500", "0"})),
      rig.Queue(&DeviceOperations::DoEndFiscalReceipt, Fields({"0"}))};
  ASSERT_TRUE(WaitFor([&] { return rig.host().completed().size() == done_before + 4; }));
  const std::vector<int32_t> done = rig.host().completed();
  EXPECT_EQ(
      std::vector<int32_t>(done.begin() + static_cast<std::ptrdiff_t>(done_before), done.end()),
      ids);
  EXPECT_EQ(JournalLinesStartingWith(rig.sim(), "ITEM-A"), 1);
  EXPECT_EQ(JournalLinesStartingWith(rig.sim(), "ITEM-B"), 0);
  EXPECT_EQ(JournalLinesStartingWith(rig.sim(), "ITEM-C"), 0);
  EXPECT_EQ(JournalLinesStartingWith(rig.sim(), "ITEM-D"), 1);
}

TEST(DeviceFaults, TwoUnitsInOneProcessKeepToTheirOwnPrinters) {
  sim::FaultRates rates;
  rates.corrupt = 0.03;
  rates.busy = 0.03;
  rates.inprogress = 0.03;
  rates.noise = 0.03;
  DeviceRig first("first", rates);
  DeviceRig second("second", rates);
  first.StartPrinter();
  second.StartPrinter();
  first.Claim();
  second.Claim();
  auto sell = [](DeviceRig* rig, const std::string& prefix, bool* ok) {
    *ok = true;
    for (int r = 0; r < 5; ++r) {
      std::vector<std::pair<std::string, int64_t>> items;
      for (int i = 0; i < 4; ++i) items.emplace_back(prefix + std::to_string(r * 10 + i), 100 + i);
      *ok = *ok && rig->SellReceipt(items);
    }
  };
  bool ok1 = false;
  bool ok2 = false;
  std::thread t1(sell, &first, "ONE-", &ok1);
  std::thread t2(sell, &second, "TWO-", &ok2);
  t1.join();
  t2.join();
  EXPECT_TRUE(ok1);
  EXPECT_TRUE(ok2);
  for (int n = 0; n < 50; n += 10) {
    for (int i = 0; i < 4; ++i) {
      const std::string suffix = std::to_string(n + i) + " ";
      EXPECT_EQ(JournalLinesStartingWith(first.sim(), "ONE-" + suffix), 1) << suffix;
      EXPECT_EQ(JournalLinesStartingWith(second.sim(), "TWO-" + suffix), 1) << suffix;
    }
  }
  EXPECT_EQ(JournalLinesStartingWith(first.sim(), "TWO-"), 0);
  EXPECT_EQ(JournalLinesStartingWith(second.sim(), "ONE-"), 0);
  EXPECT_EQ(first.sim().DataItem(20), 5);
  EXPECT_EQ(second.sim().DataItem(20), 5);
  // Both release cleanly.
  first.Release();
  second.Release();
  EXPECT_FALSE(first.unit().connected());
  EXPECT_FALSE(second.unit().connected());
}

}  // namespace
}  // namespace kelo::faults
