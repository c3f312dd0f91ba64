// The device's configuration key as the unit reads it: any .reg text, then the typed value
// reads and the port rule on whatever the key holds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry/config_store.h"
#include "service/unit_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  kelo::platform::RegistryData registry;
  std::string error;
  if (registry.Parse(text, &error)) {
    kelo::service::UnitConfig config;
    kelo::service::ReadUnitConfig(
        registry, kelo::service::ConfigKeyPath("FiscalPrinter", "KeloFPU"), &config);
  }
  // The raw bytes as a Port value and as a leading-digits number.
  (void)kelo::service::PortNameFromConfig(text);
  (void)kelo::service::LeadingInt(text);
  return 0;
}
