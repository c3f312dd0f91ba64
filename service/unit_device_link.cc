// The steps of the unit that the device layer performs: handing it the port, connecting and
// disconnecting its worker, reading the printer state and configuration, clearing its
// output queue; and the two ways front ends hand operations to it.
#include "device/device_unit.h"
#include "opos/opos_constants.h"
#include "service/fiscal_printer_unit.h"

namespace kelo::service {

void CFiscalPrinterUnit::AttachPort() {
  device_unit_->AttachPort(&port());
  // The configured polling periods apply from the first poll after Connect on.
  const UnitConfig cfg = config();
  device_unit_->SetPollingTimes(cfg.polling_time, cfg.polling_time_after_sync_cmd,
                                cfg.polling_time_after_async_queue);
}

device::DeviceResult CFiscalPrinterUnit::Connect(int32_t timeout_ms) {
  // ReleaseDevice or CloseService on another thread ends the wait for the printer.
  return device_unit_->Connect(timeout_ms, [this] { return ActiveClaimCancelled(); });
}

void CFiscalPrinterUnit::Disconnect() {
  if (device_unit_) device_unit_->Disconnect();
}

device::DeviceResult CFiscalPrinterUnit::ReadPrinterState() {
  return device_unit_->ReadPrinterState();
}

void CFiscalPrinterUnit::ReadPrinterConfiguration() {
  device::ConfigRecord rec;
  if (device_unit_->ReadConfiguration(&rec)) {
    SetNumberProperty(opos::PIDX_NumVatRates, rec.num_vat_rates);
    SetNumberProperty(opos::PIDX_MessageLength, rec.message_length);
    SetNumberProperty(opos::PIDX_NumHeaderLines, rec.num_header_lines);
    SetNumberProperty(opos::PIDX_NumTrailerLines, rec.num_trailer_lines);
  }
  SetStringProperty(opos::PIDX_PredefinedPaymentLines, "");
}

void CFiscalPrinterUnit::ClearOutputQueue() {
  device_unit_->ClearQueue();
}

// ---- Execution ----

int32_t CFiscalPrinterUnit::NextOutputId() {
  std::lock_guard<std::mutex> lock(fields_mu_);
  const int32_t id = properties_.Number(opos::PIDX_OutputID) + 1;
  properties_.SetNumber(opos::PIDX_OutputID, id);
  return id;
}

void CFiscalPrinterUnit::RunOutput(device::DeviceOp op, const std::string& input) {
  const int32_t id = NextOutputId();
  std::string output;
  const device::DeviceResult r = device_unit_->RunDeviceOp(op, input, output, id);
  if (!r.ok()) Fail(r);
  SetResult(r.code, r.extended, r.text);
}

std::string CFiscalPrinterUnit::RunSync(device::DeviceOp op, const std::string& input) {
  const int32_t id = NextOutputId();
  std::string output;
  const device::DeviceResult r = device_unit_->RunDeviceOpSync(op, input, output, id);
  if (!r.ok()) Fail(r);
  SetResult(r.code, r.extended, r.text);
  return output;
}

void CFiscalPrinterUnit::RunSyncNoOutput(device::DeviceOp op, const std::string& input) {
  const int32_t id = NextOutputId();
  const device::DeviceResult r = device_unit_->RunDeviceOpSyncNoOutput(op, input, id);
  if (!r.ok()) Fail(r);
  SetResult(r.code, r.extended, r.text);
}

void CFiscalPrinterUnit::RequireCapability(int32_t capability, std::string_view text) {
  if (GetNumberProperty(capability) == 0) Fail(opos::OPOS_E_ILLEGAL, 0, std::string(text));
}

int32_t CFiscalPrinterUnit::RefuseByCapability(std::string_view name, int32_t capability,
                                               std::string_view capability_name) {
  return RunMethod(name, [&] {
    verifyOpenedClaimedEnabled();
    if (GetNumberProperty(capability) != 0) Fail(opos::OPOS_E_ILLEGAL, 0, "Not supported");
    Fail(opos::OPOS_E_ILLEGAL, 0, std::string(capability_name) + " is false");
  });
}

}  // namespace kelo::service
