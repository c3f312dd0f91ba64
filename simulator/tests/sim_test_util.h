// Helpers shared by the simulator tests: build command payloads and run them on a Printer.
#pragma once
#include <string>
#include <vector>

#include "link/fpu_frame.h"
#include "platform/os/clock.h"
#include "simulator/printer.h"

namespace kelo::sim::testing {

inline std::string Payload(const std::vector<std::string>& fields) {
  return link::JoinFields(fields);
}

// A printer on virtual time with a frozen clock at 2026-01-15 10:30:00.
struct PrinterFixture {
  platform::FakeClock ticks{1000};
  Printer printer{ticks};
  PrinterFixture() { printer.clock().Set(CivilTime{2026, 1, 15, 10, 30, 0}); }

  Reply Exec(uint8_t opcode, const std::vector<std::string>& fields = {}) {
    return printer.Execute(opcode, Payload(fields));
  }
  uint8_t Code(uint8_t opcode, const std::vector<std::string>& fields = {}) {
    return Exec(opcode, fields).code;
  }
  // Receipt sub-command (opcode 0x4D): sub-code then the fields.
  uint8_t M(char sub, std::vector<std::string> fields = {}) {
    fields.insert(fields.begin(), std::string(1, sub));
    return Code(0x4D, fields);
  }
  int64_t Data(int item) {
    Reply r = Exec(0x59, {std::to_string(item)});
    return r.fields.empty() ? -999999 : std::stoll(r.fields[0]);
  }
  int64_t Totalizer(int vat, int selector, int kind) {
    Reply r = Exec(0x5A, {std::to_string(vat), std::to_string(selector), std::to_string(kind)});
    return r.fields.empty() ? -999999 : std::stoll(r.fields[0]);
  }
};

}  // namespace kelo::sim::testing
