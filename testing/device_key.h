// The device key a test writes for one simulated printer in its configuration file.
#pragma once
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/automation/loader.h"
#include "platform/registry/config_store.h"

namespace kelo::testing {

// Creates or updates the fiscal printer key `name` in the configuration file `file`: the
// service object's class, `port`, `baud` (none when 0) and no trace file (it would grow by
// megabytes in the working folder and cost time). False with *error when the file cannot be
// written.
// The configuration file of this test process, /tmp/PREFIX-PID.reg: made the process's
// $OPOS_REGISTRY and the service object at `library` registered in it, on the first call.
inline const std::string& ProcessRegistry(const std::string& prefix, const std::string& library) {
  static const std::string file = [&] {
    const std::string path = "/tmp/" + prefix + "-" + std::to_string(getpid()) + ".reg";
    setenv("OPOS_REGISTRY", path.c_str(), 1);
    automation::RegisterServer(library);
    return path;
  }();
  return file;
}

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
