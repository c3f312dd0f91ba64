// A serial port on the real system calls that keeps every printer command it writes
// (opcode and payload), for tests that look at the traffic a device operation caused.
#pragma once
#include <algorithm>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "link/serial_port.h"

namespace kelo::testing {

class RecordingPort : public link::SerialPort {
 public:
  explicit RecordingPort(platform::Clock& clock) : SerialPort(link::LinuxSerialOs(), clock) {}
  int32_t Write(const uint8_t* buffer, uint32_t count, uint32_t* written) override {
    {
      std::lock_guard<std::mutex> l(mu_);
      // Envelope: 01 41 seq lenH lenL, data (31 job opcode payload), check code.
      if (count >= 10 && buffer[0] == 0x01 && buffer[1] == 0x41) {
        const size_t n = (size_t{buffer[3]} << 8) | buffer[4];
        if (n >= 3 && 5 + n <= count) {
          commands_.emplace_back(buffer[7],
                                 std::string(reinterpret_cast<const char*>(buffer + 8), n - 3));
        }
      }
    }
    return SerialPort::Write(buffer, count, written);
  }
  // Payloads of the commands with this opcode (and, for 0x4D, this sub-code), in order.
  std::vector<std::string> Sent(uint8_t opcode, char sub = 0) {
    std::lock_guard<std::mutex> l(mu_);
    std::vector<std::string> v;
    for (const auto& [op, payload] : commands_) {
      if (op != opcode) continue;
      if (sub != 0 && (payload.empty() || payload[0] != sub)) continue;
      v.push_back(sub != 0 ? payload.substr(std::min<size_t>(2, payload.size())) : payload);
    }
    return v;
  }
  void Clear() {
    std::lock_guard<std::mutex> l(mu_);
    commands_.clear();
  }

 private:
  std::mutex mu_;
  std::vector<std::pair<uint8_t, std::string>> commands_;
};

}  // namespace kelo::testing
