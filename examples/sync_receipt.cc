// A complete fiscal receipt in synchronous mode: each call returns when the printer has done it.
//
//   sync_receipt [DEVICE]        (DEVICE defaults to KeloFPU)
//
// Items, a discount on the last item, a subtotal, two payments (cash, then card for the rest)
// and the end of the receipt.
#include <kelofpu/kelofpu.h>

#include <cstdio>
#include <string>

#include "example_util.h"

using example::Cents;
using example::Ok;

int main(int argc, char** argv) {
  const std::string device = argc > 1 ? argv[1] : "KeloFPU";
  kelo::control::FiscalPrinter printer;
  if (!example::OpenClaimEnable(printer, device)) return 1;

  // Price is the line amount; Quantity has three implied decimals (2000 = 2 pieces); VatInfo 1 and
  // 2 are the printer's VAT indexes (0 = its default, 10000 + N = department N); UnitPrice and
  // UnitName are printed on a line of their own when given.
  bool ok =
      Ok(printer, printer.BeginFiscalReceipt(true), "BeginFiscalReceipt") &&
      Ok(printer, printer.PrintRecItem("Caffè espresso", Cents(120), 1, 1, Cents(0), ""),
         "PrintRecItem") &&
      Ok(printer, printer.PrintRecItem("Cornetto", Cents(150), 2, 1, Cents(75), "pz"),
         "PrintRecItem") &&
      Ok(printer, printer.PrintRecItem("Acqua minerale", Cents(80), 1, 2, Cents(0), ""),
         "PrintRecItem") &&
      Ok(printer,
         printer.PrintRecItemAdjustment(kelo::opos::FPTR_AT_AMOUNT_DISCOUNT, "Sconto fedeltà",
                                        Cents(30), 2),
         "PrintRecItemAdjustment") &&
      Ok(printer, printer.PrintRecSubtotal(Cents(0)), "PrintRecSubtotal") &&
      // Total 3.20: 2.00 in cash, then the remaining 1.20 by card.
      Ok(printer, printer.PrintRecTotal(Cents(320), Cents(200), "Contanti"), "PrintRecTotal") &&
      Ok(printer, printer.PrintRecTotal(Cents(320), Cents(120), "Carta"), "PrintRecTotal") &&
      Ok(printer, printer.EndFiscalReceipt(false), "EndFiscalReceipt");
  if (!ok) {
    // Never leave a receipt open on the printer: void what was begun.
    (void)printer.PrintRecVoid("Annullato");
    (void)printer.EndFiscalReceipt(false);
  }
  example::DisableReleaseClose(printer);
  std::puts(ok ? "receipt printed" : "receipt not printed");
  return ok ? 0 : 1;
}
