// Arbitrary bytes into the simulated printer: as raw line traffic (frames, noise, bad check
// codes), as single commands straight into the command set, and as a stream of well-framed
// commands so that the fuzzer gets past the check code into the exchange rules and the
// fiscal model. Nothing may crash, hang or touch memory out of bounds.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "link/fpu_frame.h"
#include "platform/os/clock.h"
#include "simulator/frame_server.h"
#include "simulator/printer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  kelo::platform::FakeClock ticks(1000);
  kelo::sim::Printer printer(ticks);
  kelo::sim::FaultRates rates;
  const uint8_t knobs = data[1];
  if (knobs & 0x80) {
    rates.busy = rates.inprogress = rates.drop = rates.corrupt = 0.2;
    rates.error = rates.cover = 0.05;
  }
  kelo::sim::FaultInjector faults(rates, knobs);
  kelo::sim::FrameServer server(printer, faults, ticks);
  std::vector<uint8_t> out;
  const uint8_t* p = data + 2;
  size_t n = size - 2;
  switch (data[0] % 3) {
    case 0:  // raw line bytes, in pieces, with time passing between them
      while (n > 0) {
        const size_t piece = std::min<size_t>(n, 1 + (p[0] & 31));
        server.OnBytes(p, piece, &out);
        ticks.Advance(p[0] & 0x40 ? 600 : 5);
        p += piece;
        n -= piece;
      }
      break;
    case 1:  // one command straight into the command set
      if (n == 0) break;
      printer.Execute(p[0], std::string_view(reinterpret_cast<const char*>(p + 1), n - 1));
      break;
    default: {  // [length][sequence][job][opcode][payload ...] records, framed properly
      while (n >= 4) {
        const size_t len = std::min<size_t>(p[0], n - 4);
        std::vector<uint8_t> cmd = {kelo::link::kCommandMarker, p[2], p[3]};
        cmd.insert(cmd.end(), p + 4, p + 4 + len);
        const auto frame = kelo::link::EncodeFrame(kelo::link::kCommandKind, p[1] & 0x7F, cmd);
        server.OnBytes(frame.data(), frame.size(), &out);
        ticks.Advance(p[1] & 0x80 ? 300 : 1);
        p += 4 + len;
        n -= 4 + len;
      }
      break;
    }
  }
  return 0;
}
