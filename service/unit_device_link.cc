// The steps of the unit that the device layer performs: handing it the port, connecting and
// disconnecting its worker, reading the printer state and configuration, clearing its
// output queue. Until the device layer is attached, Connect finds no device.
#include "service/fiscal_printer_unit.h"
#include "service/opos_codes.h"

namespace kelo::service {

void CFiscalPrinterUnit::AttachPort() {}

device::DeviceResult CFiscalPrinterUnit::Connect(int32_t /*timeout_ms*/) {
  return {OPOS_E_NOHARDWARE, 0, "Device not found"};
}

void CFiscalPrinterUnit::Disconnect() {}

device::DeviceResult CFiscalPrinterUnit::ReadPrinterState() {
  return {};
}

void CFiscalPrinterUnit::ReadPrinterConfiguration() {}

void CFiscalPrinterUnit::ClearOutputQueue() {}

}  // namespace kelo::service
