// A fiscal receipt in asynchronous mode: the item and payment calls are queued and return at
// once; the program waits for their output before ending the receipt. Each queued call
// reports an OutputCompleteEvent; the end of the whole queue is reported by the
// FPTR_SUE_IDLE status update that FlagWhenIdle asks for (an OutputCompleteEvent can arrive
// while its call is still counted in the queue, so EndFiscalReceipt waits for idle).
//
//   async_receipt [DEVICE]        (DEVICE defaults to KeloFPU)
//
// Threads: the handlers below run on the service object's event thread (the default
// dispatcher). They only record what happened under a mutex and wake the main thread; they
// never call back into the FiscalPrinter object.
#include <kelofpu/kelofpu.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>

#include "example_util.h"

using example::Cents;
using example::Ok;

namespace {

// What the event thread tells the main thread.
struct Progress {
  std::mutex mutex;  // guards the fields below
  std::condition_variable changed;
  int32_t completed = 0;  // OutputCompleteEvents seen
  bool idle = false;      // the queue has been worked off
  int32_t error = 0;      // ResultCode of an ErrorEvent, 0 if none
};

}  // namespace

int main(int argc, char** argv) {
  const std::string device = argc > 1 ? argv[1] : "KeloFPU";
  Progress progress;
  kelo::control::FiscalPrinter printer;
  printer.SetOutputCompleteHandler([&](int32_t output_id) {
    std::printf("OutputCompleteEvent(%d)\n", output_id);
    std::lock_guard lock(progress.mutex);
    ++progress.completed;
  });
  printer.SetStatusUpdateHandler([&](int32_t status) {
    if (status != kelo::opos::FPTR_SUE_IDLE) return;
    std::lock_guard lock(progress.mutex);
    progress.idle = true;
    progress.changed.notify_all();
  });
  printer.SetErrorHandler(
      [&](int32_t result_code, int32_t extended, int32_t locus, int32_t& response) {
        std::fprintf(stderr, "ErrorEvent: %d/%d at locus %d\n", result_code, extended, locus);
        // Clear the queue rather than retry: the receipt will be voided below.
        response = kelo::opos::OPOS_ER_CLEAR;
        std::lock_guard lock(progress.mutex);
        progress.error = result_code;
        progress.changed.notify_all();
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
    // Ask for one FPTR_SUE_IDLE once the queue is empty (at once if it already is), and wait
    // for it or an error; a bound on the wait so that a printer that went away does not hang
    // the till.
    printer.SetFlagWhenIdle(true);
    std::unique_lock lock(progress.mutex);
    const bool done = progress.changed.wait_for(
        lock, std::chrono::seconds(60), [&] { return progress.idle || progress.error != 0; });
    if (!done) std::fputs("the queue was not worked off within 60 s\n", stderr);
    std::printf("%d queued calls printed\n", progress.completed);
    ok = done && progress.error == 0;
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
