// The device key a test writes for one simulated printer in its configuration file.
#pragma once
#include <cstdint>
#include <string>

#include "platform/registry/config_store.h"

namespace kelo::testing {

// Creates or updates the fiscal printer key `name` in the configuration file `file`: the
// service object's class, `port`, `baud` (none when 0) and no trace file (it would grow by
// megabytes in the working folder and cost time). False with *error when the file cannot be
// written.
inline bool WriteDeviceKey(const std::string& file, const std::string& name,
                           const std::string& port, uint32_t baud, std::string* error) {
  return platform::ConfigStore(file).Update(
      [&](platform::RegistryData& data) {
        platform::RegKey& key =
            data.CreateKey(std::string(platform::kHklm) +
                           "\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\FiscalPrinter\\" + name);
        key.Set("", platform::RegValue::String("soKeloFPU.KeloFPU"));
        key.Set("Port", platform::RegValue::String(port));
        if (baud != 0) key.Set("BaudRate", platform::RegValue::Dword(baud));
        key.Set("LogEnabled", platform::RegValue::Dword(0));
      },
      error);
}

}  // namespace kelo::testing
