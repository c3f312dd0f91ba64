// Arbitrary text as a simulator state file and as a fault specification: both come from the
// command line and the disk. A refused file must leave the printer as it was.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/os/clock.h"
#include "simulator/faults.h"
#include "simulator/printer.h"
#include "simulator/state_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  kelo::sim::FaultRates rates;
  std::string error;
  kelo::sim::ParseFaultSpec(text, &rates, &error);

  kelo::platform::FakeClock ticks;
  kelo::sim::Printer printer(ticks);
  const std::string before = kelo::sim::StateToText(printer);
  if (kelo::sim::StateFromText(printer, text, &error)) {
    // Whatever was accepted must write back out and read in again the same.
    const std::string saved = kelo::sim::StateToText(printer);
    kelo::platform::FakeClock ticks2;
    kelo::sim::Printer again(ticks2);
    if (!kelo::sim::StateFromText(again, saved, &error)) __builtin_trap();
    if (kelo::sim::StateToText(again) != saved) __builtin_trap();
  } else if (kelo::sim::StateToText(printer) != before) {
    __builtin_trap();
  }
  return 0;
}
