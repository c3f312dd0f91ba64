// The cash drawer, through DirectIO: open it, then wait (at most 30 s) for it to be closed.
//
//   cash_drawer [DEVICE]        (DEVICE defaults to KeloFPU)
#include <kelofpu/kelofpu.h>

#include <cstdio>
#include <string>

#include "example_util.h"

using example::Ok;

namespace {

constexpr int32_t kDrawerOpen = 1000;  // DIRECTIO_FPTR_DRAWER_OPEN
constexpr int32_t kDrawerGet = 1001;   // DIRECTIO_FPTR_DRAWER_GET: data = drawer state
constexpr int32_t kDrawerWait = 1002;  // DIRECTIO_FPTR_DRAWER_WAIT: data[0] = time-out in ms,
                                       // data[1] = drawer state afterwards

}  // namespace

int main(int argc, char** argv) {
  const std::string device = argc > 1 ? argv[1] : "KeloFPU";
  kelo::control::FiscalPrinter printer;
  if (!example::OpenClaimEnable(printer, device)) return 1;

  std::string text;
  int32_t state = 0;
  bool ok = Ok(printer, printer.DirectIO(kDrawerOpen, state, text), "DirectIO(DRAWER_OPEN)") &&
            Ok(printer, printer.DirectIO(kDrawerGet, state, text), "DirectIO(DRAWER_GET)");
  if (ok) {
    std::printf("drawer state %d (1 = open)\n", state);
    // The wait polls the printer's status every 50 ms and ends early once the drawer is no
    // longer reported open.
    int32_t wait[2] = {30000, 0};
    ok = Ok(printer, printer.DirectIO(kDrawerWait, wait, text), "DirectIO(DRAWER_WAIT)");
    if (ok) std::printf("drawer state %d after the wait\n", wait[1]);
  }
  example::DisableReleaseClose(printer);
  return ok ? 0 : 1;
}
