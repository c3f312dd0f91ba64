// Status and error events, handled on the application's own thread.
//
//   events [DEVICE]        (DEVICE defaults to KeloFPU)
//
// The threading rules: the service object raises events on its own delivery thread. With the
// default dispatcher a handler runs right there, beside the application's thread, and must not
// call back into the FiscalPrinter object. With a QueuedDispatcher, as here, the handlers run
// only when the application's thread calls RunPending() (from its main loop), so they may use
// the object freely. An ErrorEvent waits for its handler's answer; if the application's thread
// does not pick it up within the dispatcher's pick-up time-out (30 s by default) the service
// object's preset response stands.
#include <kelofpu/kelofpu.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "example_util.h"

int main(int argc, char** argv) {
  using namespace kelo::control;
  const std::string device = argc > 1 ? argv[1] : "KeloFPU";

  auto dispatcher = std::make_shared<QueuedDispatcher>();
  FiscalPrinterOptions options;
  options.dispatcher = dispatcher;
  FiscalPrinter printer(options);

  bool idle = false;
  printer.SetStatusUpdateHandler([&](int32_t status) {
    // Runs on this program's main thread, inside RunPending().
    switch (status) {
      case kelo::opos::FPTR_SUE_IDLE:
        std::puts("StatusUpdateEvent: idle");
        idle = true;
        break;
      case kelo::opos::FPTR_SUE_COVER_OPEN:
        std::puts("StatusUpdateEvent: cover open");
        break;
      case kelo::opos::FPTR_SUE_REC_NEAREMPTY:
        std::puts("StatusUpdateEvent: paper near end");
        break;
      case kelo::opos::FPTR_SUE_REC_EMPTY:
        std::puts("StatusUpdateEvent: paper out");
        break;
      default:
        std::printf("StatusUpdateEvent: %d\n", status);
    }
  });
  printer.SetErrorHandler([&](int32_t rc, int32_t extended, int32_t locus, int32_t& response) {
    // Also on the main thread: reading properties here is allowed.
    std::printf("ErrorEvent: %d/%d at locus %d (%s); PrinterState %d\n", rc, extended, locus,
                printer.ErrorString().c_str(), printer.PrinterState());
    // OPOS_ER_RETRY would run the failed output again (after, say, closing the cover).
    response = kelo::opos::OPOS_ER_CLEAR;
  });

  if (!example::OpenClaimEnable(printer, device)) return 1;
  // FlagWhenIdle asks for one FPTR_SUE_IDLE status update once no output is pending.
  printer.SetFlagWhenIdle(true);
  // The application's main loop: here it only drains the event queue for a while.
  for (int i = 0; i < 50 && !idle; ++i) {
    dispatcher->RunPending();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  example::DisableReleaseClose(printer);
  // Events still queued after Close are dropped with the dispatcher.
  dispatcher->Shutdown();
  return idle ? 0 : 1;
}
