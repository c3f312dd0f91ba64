// A fiscal receipt in asynchronous mode: the item and payment calls are queued and return at
// once; the program waits for their output with WaitForOutput before ending the receipt
// (EndFiscalReceipt runs synchronously and is refused with 113 while output is queued).
//
//   async_receipt [DEVICE]        (DEVICE defaults to KeloFPU)
//
// Threads: the handlers below run on the service object's event thread (the default
// dispatcher). They only print what happened; they never call back into the FiscalPrinter
// object. WaitForOutput is called on the main thread, so an ErrorEvent handler can answer
// while it waits.
#include <kelofpu/kelofpu.h>

#include <cstdio>
#include <string>

#include "example_util.h"

using example::Cents;
using example::Ok;

int main(int argc, char** argv) {
  const std::string device = argc > 1 ? argv[1] : "KeloFPU";
  kelo::control::FiscalPrinter printer;
  printer.SetOutputCompleteHandler(
      [](int32_t output_id) { std::printf("OutputCompleteEvent(%d)\n", output_id); });
  printer.SetErrorHandler(
      [](int32_t result_code, int32_t extended, int32_t locus, int32_t& response) {
        std::fprintf(stderr, "ErrorEvent: %d/%d at locus %d\n", result_code, extended, locus);
        // Clear the queue rather than retry: the receipt will be voided below.
        response = kelo::opos::OPOS_ER_CLEAR;
      });
  if (!example::OpenClaimEnable(printer, device)) return 1;

  // BeginFiscalReceipt and EndFiscalReceipt always run synchronously; the calls between are
  // queued while AsyncMode is true, each getting the next OutputID.
  printer.SetAsyncMode(true);
  bool ok =
      Ok(printer, printer.BeginFiscalReceipt(true), "BeginFiscalReceipt") &&
      Ok(printer, printer.PrintRecItem("Pane integrale", Cents(250), 1, 1, Cents(0), ""),
         "PrintRecItem") &&
      Ok(printer, printer.PrintRecItem("Latte fresco", Cents(340), 2, 1, Cents(170), "lt"),
         "PrintRecItem") &&
      Ok(printer, printer.PrintRecSubtotal(Cents(0)), "PrintRecSubtotal") &&
      Ok(printer, printer.PrintRecTotal(Cents(590), Cents(1000), "Contanti"), "PrintRecTotal");
  if (ok) {
    // Wait until the queue is worked off, or for the error that stopped it; bounded, so that
    // a printer that went away does not hang the till.
    int32_t last_output_id = 0;
    const int32_t rc = printer.WaitForOutput(60000, &last_output_id);
    if (rc != kelo::opos::OPOS_SUCCESS) std::fprintf(stderr, "queued output ended with %d\n", rc);
    std::printf("queued output done up to OutputID %d\n", last_output_id);
    ok = rc == kelo::opos::OPOS_SUCCESS;
  }
  printer.SetAsyncMode(false);
  if (ok) {
    ok = Ok(printer, printer.EndFiscalReceipt(false), "EndFiscalReceipt");
  } else {
    (void)printer.ClearOutput();
    (void)printer.PrintRecVoid("Annullato");
    (void)printer.EndFiscalReceipt(false);
  }
  example::DisableReleaseClose(printer);
  std::puts(ok ? "receipt printed" : "receipt not printed");
  return ok ? 0 : 1;
}
