#include "testapp/core/auto_tests.h"

#include <cstdlib>

#include "testapp/core/log_text.h"

namespace kelo::testapp {

namespace {

// Whole currency units and hundredths to an OPOS currency value.
constexpr Currency Cy(int64_t units, int64_t hundredths = 0) {
  return Currency(units * 10000 + hundredths * 100);
}

std::string Item(int n) {
  return "TEST ITEM " + std::to_string(n);
}

void UpdateStatus(AutoTestContext& ctx) {
  if (ctx.update_status) ctx.update_status();
}

int32_t FullReceipt(AutoTestContext& ctx, bool credit_note) {
  clsFprtWrapper& w = ctx.wrapper;
  const Currency subtotal = credit_note ? Cy(43) : Cy(39);
  const Currency total = credit_note ? Cy(38) : Cy(34);
  int32_t rc = 0;
  auto item = [&](const std::string& d, Currency p, int32_t v) {
    rc = w.PrintRecItem(d, p, 0, v, Cy(0), "");
  };
  auto msg = [&](const std::string& t) { rc = w.PrintRecMessage(t); };

  if (credit_note) {
    w.SetAdditionalHeader("Additional Text");
    w.SetFiscalReceiptType(7);
    w.SetPreLine("8953986357");
  }
  // 1.
  rc = w.BeginFiscalReceipt(false);
  w.SetAsyncMode(false);
  // 2.
  for (int i = 1; i <= 5; ++i) item(Item(i), Cy(i), 1);
  int counter = 5;
  // 3.
  msg("VOID ITEM");
  rc = w.PrintRecItemVoid(Item(counter), Cy(5), 0, 1, Cy(0), "");
  // 4.
  msg(" ");
  item(Item(++counter), Cy(8), 1);
  rc = w.PrintRecItemAdjustment(3, "Perc Discount", Cy(25), 1);
  // 5.
  item(Item(++counter), Cy(10), 2);
  rc = w.PrintRecItemAdjustment(3, "Perc Discount", Cy(40), 2);
  rc = w.PrintRecItemAdjustmentVoid(3, "", Cy(40), 2);
  // 6.
  msg(" ");
  item(Item(++counter), Cy(5), 5);
  rc = w.PrintRecItemAdjustment(1, "Amount Discount", Cy(2), 5);
  // 7.
  item(Item(++counter), Cy(7), 5);
  rc = w.PrintRecItemAdjustment(1, "Amount Discount", Cy(3, 50), 5);
  rc = w.PrintRecItemAdjustmentVoid(1, "", Cy(3, 50), 5);
  // 8.
  if (!credit_note) {
    msg(" ");
    w.SetPreLine("PreLine: refund follows");
    w.SetPostLine("PostLine: refund done\r\n ");
    rc = w.PrintRecRefund("REFUND ITEM " + std::to_string(++counter), Cy(4), 5);
  }
  // 9.
  item(Item(++counter), Cy(7), 3);
  msg(" ");
  msg("PrintRecMessage (out of std)");
  msg(" ");
  // 10.
  if (!credit_note) {
    ++counter;
    rc = w.PrintRecRefund("REFUND TEST ITEM " + std::to_string(counter), Cy(5), 3);
    rc = w.PrintRecRefundVoid("REFUND VOID ITEM " + std::to_string(counter), Cy(5), 3);
    msg(" ");
  }
  // 11.
  rc = w.PrintRecSubtotal(subtotal);
  msg(" ");
  rc = w.PrintRecSubtotalAdjustment(3, "DISC% SBT", Cy(10));
  // 12.
  w.SetPreLine("SBT VOIDDISC% NOT POSSIBLE\r\nDONE WITH AmountSurcharge");
  rc = w.PrintRecSubtotalAdjustment(2, "VOID DISC%", Cy(4, 30));
  msg(" ");
  // 13.
  rc = w.PrintRecSubtotalAdjustment(1, "AMOUNT DISC", Cy(4));
  w.SetPreLine("SBT VOIDDISCAMT NOT POSSIBLE\r\nDONE WITH AmountSurcharge");
  rc = w.PrintRecSubtotalAdjustment(2, "VOID AMOUNT DISC", Cy(4));
  msg(" ");
  // 14.
  rc = w.PrintRecSubtotal(subtotal);
  rc = w.PrintRecSubtotalAdjustment(1, "AMOUNT DISC SBT", Cy(5));
  // 15.
  rc = w.PrintRecTotal(total, Cy(0), "");
  if (!credit_note) rc = w.PrintRecNotPaid("Missed payment", Cy(10));
  // 16.
  const struct {
    Currency payment;
    const char* description;
  } payments[] = {{Cy(8), "0"},     {Cy(0, 50), "1"},
                  {Cy(0, 50), "2"}, {Cy(0, 60), "3"},
                  {Cy(0, 70), "4"}, {Cy(0, 80), "5"},
                  {Cy(0, 90), "6"}, {Cy(0, 40), "7"},
                  {Cy(0, 30), "8"}, {credit_note ? Cy(30) : Cy(20), "9"}};
  for (const auto& p : payments) rc = w.PrintRecTotal(total, p.payment, p.description);
  // 17.
  msg(" ");
  msg(ctx.prefixes.p2 + "Double width");
  msg(ctx.prefixes.p3 + "Double height");
  msg(ctx.prefixes.p5 + "Half height");
  msg(ctx.prefixes.p6 + "Framed text");
  msg(" ");
  // 18.
  const int32_t closing =
      rc != 0 ? w.PrintRecVoid("PrintRecTotal FAILURE") : w.EndFiscalReceipt(false);
  if (credit_note) w.SetFiscalReceiptType(4);
  return closing;
}

int32_t PrintNonFiscalLines(AutoTestContext& ctx) {
  clsFprtWrapper& w = ctx.wrapper;
  w.BeginNonFiscal();
  UpdateStatus(ctx);
  for (const std::string& line : NonFiscalTestLines()) {
    w.PrintNormal(3, line);
    UpdateStatus(ctx);
  }
  const int32_t rc = w.EndNonFiscal();
  UpdateStatus(ctx);
  return rc;
}

}  // namespace

int32_t FullFiscalTicket(AutoTestContext& ctx) {
  return FullReceipt(ctx, false);
}
int32_t FullCreditNote(AutoTestContext& ctx) {
  return FullReceipt(ctx, true);
}

std::vector<std::string> NonFiscalTestLines() {
  const std::string esc = "\x1b";
  std::vector<std::string> lines{"THE QUICK BROWN FOX JUMPS OVER\r\nTHE LAZY DOG'S BACK",
                                 esc + "|2CDouble width", esc + "|3CDouble height",
                                 esc + "|5CHalf height", esc + "|6CFramed"};
  for (const char* code :
       {"14007817504598", "226443247343", "2641223", "301234567", "41234567890"}) {
    lines.push_back(esc + "|" + std::to_string(std::string(code).size()) + "R" + code);
  }
  lines.push_back(esc + "|1B");
  return lines;
}

int32_t SimpleNonFiscalTicket(AutoTestContext& ctx) {
  return PrintNonFiscalLines(ctx);
}

int32_t FullNonFiscalTicket(AutoTestContext& ctx) {
  clsFprtWrapper& w = ctx.wrapper;
  // A Z report is an irreversible fiscal closure: one run asks for one at most.
  bool z_report_asked = false;
  if (w.DayOpened()) {
    w.PrintZReport();
    z_report_asked = true;
  }
  const std::string path = ctx.app_folder + "/nftest.bmp";
  auto load_logo = [&] {
    int32_t command = 1100;
    std::array<int32_t, 11> data{};
    data[0] = 1;
    std::string text = path;
    return w.DirectIO(command, data, text);
  };
  // A failed load is retried once after a Z report only when that report can be what the
  // printer waits for: the day is open and no Z report was asked for yet. Any other failure
  // (no picture file, a picture the printer refuses) is left in the log.
  if (load_logo() != 0 && !z_report_asked && w.DayOpened()) {
    w.PrintZReport();
    load_logo();
  }
  UpdateStatus(ctx);
  return PrintNonFiscalLines(ctx);
}

int32_t EnduranceReceipt(AutoTestContext& ctx, int32_t lines, bool async) {
  clsFprtWrapper& w = ctx.wrapper;
  w.BeginFiscalReceipt(false);
  for (int32_t i = 1; i <= lines; ++i) {
    w.PrintRecItem(Item(i), Cy(1), 0, 1, Cy(0), "");
    if (ctx.pump) ctx.pump();
  }
  if (async) {
    w.SetAsyncMode(false);
    // Waits for the queued output to drain; the service object leaves the busy state when
    // its queue is empty or an error is being reported, so this ends with the device.
    while (w.State() == opos::OPOS_S_BUSY) {
      for (int i = 0; i < 5000; ++i) {
        if (ctx.pump) ctx.pump();
      }
    }
  }
  int32_t opt = 0;
  std::string data;
  w.GetData(1, opt, data);
  // The data is the receipt total in hundredths.
  const int64_t device_hundredths = std::strtoll(data.c_str(), nullptr, 10);
  if (device_hundredths == static_cast<int64_t>(lines) * 100) {
    const int32_t rc = w.PrintRecTotal(Currency(device_hundredths * 100), Cy(lines), "CENTO!!");
    return rc != 0 ? w.PrintRecVoid("PrintRecTotal FAILURE") : w.EndFiscalReceipt(false);
  }
  ctx.boxes.ShowMessage("TOTAL FAILURE ... FPU SAYS:" + data);
  return w.PrintRecVoid("FPU TOTAL WRONG");
}

const std::vector<AutoTestInfo>& AutoTestNames() {
  static const std::vector<AutoTestInfo> names{
      {"FullFiscalTicket", "Print FULL Fiscal Ticket (Sync)"},
      {"FullCreditNote", "Print FULL Credit Note (Sync)"},
      {"NonFiscalTicket", "Print SIMPLE Non Fiscal Ticket (w/o Z)"},
      {"FullNonFiscalTicket", "Print FULL Non Fiscal Ticket (w/ Z)"},
      {"AutoPrintTicket", "Continuous Print Fiscal Ticket (Sync)"},
      {"PrintTicketA", "Continuous Print Fiscal Ticket (Async)"},
  };
  return names;
}

}  // namespace kelo::testapp
