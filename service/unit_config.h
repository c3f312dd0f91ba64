// The device's configuration key: reading it with the registry's typed-value rules, and the
// port name rule.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry/config_store.h"

namespace kelo::service {

struct UnitConfig {
  std::string port = "COM1";     // Windows-1252, at most 259 characters
  bool port_configured = false;  // false: "Port" missing or unreadable, the default is used
  uint32_t baud_rate = 19200;
  uint32_t polling_time = 1000;
  uint32_t polling_time_after_sync_cmd = 100;
  uint32_t polling_time_after_async_queue = 100;
  uint32_t log_enabled = 1;
  uint32_t level_mask = 0xFFFFFFFFu;  // not read from the key
  std::string log_path;               // Windows-1252, at most 259 characters
  // Non-zero: a text argument with a character the printer cannot print is refused
  // (114/215) instead of printed with the character folded or replaced.
  uint32_t strict_text = 0;
};

// "SOFTWARE\OLEforRetail\ServiceOPOS\FiscalPrinter\<device name>" when the class is
// "FiscalPrinter" in any letter case; empty otherwise.
std::string ConfigKeyPath(std::string_view device_class, std::string_view device_name);

// Resets *config to the defaults and reads the key (a path below HKEY_LOCAL_MACHINE).
// False when the key path is empty, the key is absent or its default value cannot be read;
// the other values keep their defaults when missing or unreadable.
bool ReadUnitConfig(const platform::ConfigStore& store, const std::string& key_path,
                    UnitConfig* config);
// The same on an already loaded store.
bool ReadUnitConfig(const platform::RegistryData& data, const std::string& key_path,
                    UnitConfig* config);

// The "Port" rule: a text that converts (leading digits) to a non-zero n, or whose text from
// the fourth character on does (COM12), becomes "\\.\COMn"; anything else stays as it is.
std::string PortNameFromConfig(std::string_view text);

// Leading-digits decimal conversion in the manner of atoi (blanks, a sign, digits), clamped
// to the 32-bit range instead of overflowing.
int32_t LeadingInt(std::string_view text);

}  // namespace kelo::service
