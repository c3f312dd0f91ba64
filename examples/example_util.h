// Shared by the examples: report a failed call the way an application would log it.
#pragma once
#include <kelofpu/kelofpu.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace example {

// Amounts are OPOS currency: the amount times 10000. Cents(120) is 1.20.
constexpr kelo::control::Currency Cents(int64_t cents) {
  return kelo::control::Currency(cents * 100);
}

// Prints what went wrong when `result` is not 0 and answers whether the call succeeded.
inline bool Ok(kelo::control::FiscalPrinter& printer, int32_t result, const char* what) {
  if (result == 0) return true;
  std::fprintf(stderr, "%s failed: ResultCode %d, ResultCodeExtended %d: %s\n", what, result,
               printer.ResultCodeExtended(), printer.ErrorString().c_str());
  return false;
}

// Opens the device, claims it and enables it. The device name is the key under
// HKEY_LOCAL_MACHINE\SOFTWARE\OLEforRetail\ServiceOPOS\FiscalPrinter in the configuration
// file ($OPOS_REGISTRY, else /etc/opos/registry.reg).
inline bool OpenClaimEnable(kelo::control::FiscalPrinter& printer, const std::string& device) {
  if (!Ok(printer, printer.Open(device), "Open")) return false;
  if (!Ok(printer, printer.ClaimDevice(3000), "ClaimDevice")) return false;
  printer.SetDeviceEnabled(true);
  return Ok(printer, printer.ResultCode(), "DeviceEnabled = true");
}

inline void DisableReleaseClose(kelo::control::FiscalPrinter& printer) {
  printer.SetDeviceEnabled(false);
  (void)printer.ReleaseDevice();
  (void)printer.Close();
}

}  // namespace example
