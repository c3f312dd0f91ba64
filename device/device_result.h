// The outcome of every device operation: the three fields of an OPOS failure.
#pragma once
#include <cstdint>
#include <string>

namespace kelo::device {

struct DeviceResult {
  int32_t code = 0;      // OPOS result code, 0 = success
  int32_t extended = 0;  // extended result code
  std::string text;      // message text (Windows-1252)

  bool ok() const { return code == 0; }
  friend bool operator==(const DeviceResult&, const DeviceResult&) = default;
};

// Separator of the fields of a parameter text (ASCII unit separator).
inline constexpr char kFieldSeparator = '\x1F';

}  // namespace kelo::device
