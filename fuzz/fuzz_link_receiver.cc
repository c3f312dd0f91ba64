// Arbitrary byte streams from the printer's side of the line, fed to the frame receiver, the
// response parser and the whole exchange engine through a fake line in virtual time.
//
// Input layout: byte 0 picks the mode and pacing, the rest is what the "printer" sends after
// the command goes out.
//   bit 7 of byte 0: run a full command (Execute, with busy and in-progress handling) in
//                    poll mode when bit 6 is set; otherwise one receive alone
//   bits 0-2:        milliseconds between delivered bytes (0: everything at once)
// Every run must end: one receive within its 3000 ms deadline, a command once the stream is
// used up (then the line is silent and the attempts time out).
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "link/fpu_frame.h"
#include "link/fpu_protocol.h"
#include "link/serial_port.h"
#include "testing/fake_serial_os.h"

namespace {

using kelo::link::FpuCommand;
using kelo::link::FpuResponse;

void Deliver(kelo::link::testing::FakeSerialOs& os, const uint8_t* data, size_t size,
             uint32_t gap) {
  if (gap == 0) {
    os.Deliver(std::vector<uint8_t>(data, data + size), 1);
    return;
  }
  for (size_t i = 0; i < size; ++i) os.Deliver({data[i]}, 1 + static_cast<uint32_t>(i) * gap);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  const uint8_t* stream = data + 1;
  const size_t length = size - 1;

  // The parser on the raw bytes as one frame, and the field splitter on them as a payload.
  {
    FpuResponse r;
    if (r.SetRawFrame(stream, length) == kelo::link::LINK_OK && r.Parse() == kelo::link::LINK_OK) {
      auto fields = r.SplitPayload();
      if (fields.size() > kelo::link::kMaxFields) abort();
    }
    kelo::link::FrameView view;
    kelo::link::DecodeFrame({stream, length}, &view);
  }

  kelo::platform::FakeClock clock(0xFFFFF000u);  // close to the tick wrap on purpose
  kelo::link::testing::FakeSerialOs os(clock);
  kelo::link::SerialPort port(os, clock);
  port.Open("/dev/fuzz");
  kelo::link::FpuProtocol proto(clock);
  proto.SetPort(&port);
  const uint32_t gap = mode & 0x07;
  bool delivered = false;
  // The stream answers the first command written; later writes meet silence.
  os.SetResponder([&](const std::vector<uint8_t>&) {
    if (!delivered) Deliver(os, stream, length, gap);
    delivered = true;
  });

  if (mode & 0x80) {
    proto.SetPollMode((mode & 0x40) != 0);
    proto.Start();
    proto.HealthCheck();
    proto.Stop();
  } else {
    FpuCommand c;
    c.SetOpcode('X');
    c.SetJob('0');
    FpuResponse r;
    proto.SendCommand(c);
    uint32_t start = clock.TickMs();
    proto.ReadResponse(&r);
    if (kelo::platform::TicksSince(start, clock.TickMs()) > kelo::link::kReceiveDeadlineMs) {
      abort();  // the receive outlived its deadline
    }
  }
  return 0;
}
