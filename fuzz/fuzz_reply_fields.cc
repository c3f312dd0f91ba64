// Reply payloads of every command that reads fields back (status query, device information,
// Z-report data and amount, report lines, data items, totalizers, parameters, raw commands):
// the fuzzer's bytes are the payload of a well-formed "done" answer that echoes the command's
// sequence, job and opcode, so the field readers -- not the frame checks -- meet them.
//
// Input layout: byte 0 picks the command, the rest is the reply payload (at most what one
// answer frame holds). Every read must stay inside the fields it was given.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "link/fpu_frame.h"
#include "link/fpu_protocol.h"
#include "link/serial_port.h"
#include "testing/fake_serial_os.h"

namespace {

using namespace kelo::link;

// The answer to one written command frame: 01 41 seq len(2) [31 job opcode ...] crc(2).
std::vector<uint8_t> Answer(const std::vector<uint8_t>& written, const uint8_t* payload,
                            size_t size) {
  if (written.size() < 8) return {};
  std::vector<uint8_t> data = {written[6], written[7], 0x80, 0, 0, 0, 0, 0x80};
  data.insert(data.end(), payload, payload + size);
  return EncodeFrame(kResponseKindNormal, written[2], data);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t which = data[0];
  const uint8_t* payload = data + 1;
  // An answer frame is taken in up to 500 bytes: 8 fixed data bytes and 7 of envelope.
  const size_t length = std::min<size_t>(size - 1, kReceiveBufferSize - 15);

  kelo::platform::FakeClock clock(1000);
  testing::FakeSerialOs os(clock);
  SerialPort port(os, clock);
  port.Open("/dev/fuzz");
  FpuProtocol proto(clock);
  proto.SetPort(&port);
  // Every command written gets the same payload back (ReadParameters sends several).
  os.SetResponder([&](const std::vector<uint8_t>& written) {
    os.Deliver(Answer(written, payload, length), 1);
  });
  proto.Start();
  switch (which % 12) {
    case 0: {
      FpuDateTime when;
      uint32_t flags = 0;
      int32_t phase = 0;
      proto.QueryStatus(&when, &flags, &phase);
      break;
    }
    case 1: {
      FpuDeviceInfo info;
      proto.GetDeviceInfo(&info);
      break;
    }
    case 2: {
      std::array<int32_t, 16> values{};
      proto.GetDeviceInfo1(&values);
      break;
    }
    case 3: {
      std::string text;
      std::array<int32_t, 4> values{};
      proto.GetDeviceInfo2(&text, &values);
      break;
    }
    case 4: {
      FpuZReportData z;
      proto.ReadZReportData(&z);
      break;
    }
    case 5: {
      int64_t number = 0;
      std::string text;
      double amount = 0;
      proto.ReadZReportAmount(&number, &text, &amount);
      break;
    }
    case 6: {
      int32_t value = 0;
      std::string text;
      proto.ReadReportLine(which >> 4, &value, &text);
      break;
    }
    case 7: {
      int64_t value = 0;
      proto.GetDataItem(which >> 4, &value);
      break;
    }
    case 8: {
      int64_t value = 0;
      proto.GetTotalizer(1, which >> 4, 0, &value);
      break;
    }
    case 9: {
      std::vector<FpuParameterQuery> queries(static_cast<size_t>(1 + (which >> 4)));
      for (size_t i = 0; i < queries.size(); ++i) queries[i].number = static_cast<int32_t>(i);
      std::vector<std::string> values;
      proto.ReadParameters(queries, &values);
      if (values.size() > queries.size() * kMaxFields) __builtin_trap();
      break;
    }
    case 10: {
      std::string reply;
      proto.SendRawCommand("3F01", &reply);
      if (reply.size() > length) __builtin_trap();
      break;
    }
    default: {
      // Poll mode: an in-progress answer is awaited by status queries with the same payload.
      proto.SetPollMode(true);
      proto.HealthCheck();
      break;
    }
  }
  proto.Stop();
  return 0;
}
