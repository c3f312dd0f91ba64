// The device's configuration key as the unit reads it: any .reg text, then the typed value
// reads and the port rule on whatever the key holds, and the network port forms
// (tcp:HOST:PORT, and the simulator's [HOST:]PORT) on the raw bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/tcp_address.h"
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
  kelo::link::TcpAddress address;
  if (kelo::link::ParseTcpPortName(text, &address, &error)) {
    // A name that parses always has a host and a port from 1 up.
    if (address.host.empty() || address.port == 0) __builtin_trap();
    (void)kelo::link::FormatTcpAddress(address.host, address.port);
  }
  (void)kelo::link::ParseTcpListenAddress(text, "127.0.0.1", &address, &error);
  return 0;
}
