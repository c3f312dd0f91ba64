// The serial port of the unit: opened by ClaimDevice with the configured line speed and
// port name, closed by ReleaseDevice, by a failed claim and by destruction.
#include "link/serial_port.h"
#include "service/fiscal_printer_unit.h"

namespace kelo::service {

int32_t CFiscalPrinterUnit::OpenSerialPort() {
  const UnitConfig cfg = config();
  port_->SetLine(static_cast<int32_t>(cfg.baud_rate), 8, link::kParityNone, link::kStopBitsOne);
  // "\\.\COMn" names /dev/ttyS(n-1); a device path is opened as it stands.
  return port_->Open(link::SerialDevicePath(cfg.port));
}

void CFiscalPrinterUnit::CloseSerialPort() {
  if (port_->is_open()) port_->Close();
}

}  // namespace kelo::service
