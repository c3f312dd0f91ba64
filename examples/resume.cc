// Resuming after a crash: the till stopped in the middle of a receipt, which the printer still
// holds open. At start, the program looks at PrinterState and voids the receipt, or ends it
// when it was already paid in full.
//
//   resume [DEVICE]        (DEVICE defaults to KeloFPU)
#include <kelofpu/kelofpu.h>

#include <cstdio>
#include <string>

#include "example_util.h"

using example::Ok;

int main(int argc, char** argv) {
  const std::string device = argc > 1 ? argv[1] : "KeloFPU";
  kelo::control::FiscalPrinter printer;
  if (!example::OpenClaimEnable(printer, device)) return 1;

  // Enabling the device reads the printer's state, so this is what the printer holds.
  const int32_t state = printer.PrinterState();
  bool ok = true;
  switch (state) {
    case kelo::opos::FPTR_PS_MONITOR:
      std::puts("no receipt open");
      break;
    case kelo::opos::FPTR_PS_FISCAL_RECEIPT_ENDING:  // paid in full, not yet ended
      std::puts("a paid receipt was open: ending it");
      ok = Ok(printer, printer.EndFiscalReceipt(false), "EndFiscalReceipt");
      break;
    case kelo::opos::FPTR_PS_FISCAL_RECEIPT:        // items being sold
    case kelo::opos::FPTR_PS_FISCAL_RECEIPT_TOTAL:  // paid in part
      std::puts("an unpaid receipt was open: voiding it");
      ok = Ok(printer, printer.PrintRecVoid("Scontrino annullato"), "PrintRecVoid") &&
           Ok(printer, printer.EndFiscalReceipt(false), "EndFiscalReceipt");
      break;
    default:
      std::printf("PrinterState %d: another document is open; see the printer\n", state);
      ok = false;
  }
  example::DisableReleaseClose(printer);
  return ok ? 0 : 1;
}
