#include "service/fiscal_printer_unit.h"

#include "device/device_unit.h"
#include "link/serial_port.h"
#include "opos/opos_constants.h"
#include "service/library_lifetime.h"
#include "service/trace_log.h"
#include "service/version_info.h"

namespace kelo::service {

namespace {
// The result the running method of this thread last wrote. The frame returns it rather than
// re-reading the shared ResultCode, which a call on another thread may have overwritten in
// the meantime.
thread_local int32_t t_frame_result = 0;
}  // namespace

CFiscalPrinterUnit::CFiscalPrinterUnit(std::string registry_file)
    : CFiscalPrinterUnit(std::move(registry_file), platform::SystemClock()) {}

CFiscalPrinterUnit::CFiscalPrinterUnit(std::string registry_file, platform::Clock& clock)
    : automation::DispatchObject(MethodTable()),
      registry_file_(std::move(registry_file)),
      port_(std::make_unique<link::SerialPort>(link::LinuxSerialOs(), clock)),
      device_unit_(std::make_unique<device::DeviceUnit>(*this, clock)) {
  AddLibraryInstance();
  trace::SetLevelMask(0xFFFFFFFFu);
  TraceConstructionLines(trace::kLevelConstruction);
  // The device layer's state is owned by the device object the unit creates beside it.
  properties_.ResetToDefaults();
}

CFiscalPrinterUnit::~CFiscalPrinterUnit() {
  events_.AnswerErrorsWithPreset(true);  // as in ReleaseDevice
  Disconnect();
  // The device layer goes before the port closes and before event delivery stops: a worker
  // that outlived Disconnect's bounded wait still uses both, and its destructor joins it.
  device_unit_.reset();
  CloseSerialPort();
  events_.Stop();
  trace::SwitchOff();
  RemoveLibraryInstance();
}

void CFiscalPrinterUnit::TraceConstructionLines(uint32_t level) {
  trace::Printf(level, "CFiscalPrinterUnit::CFiscalPrinterUnit build time : %s\n",
                BuildTimeStamp());
  trace::Printf(level, "CFiscalPrinterUnit::CFiscalPrinterUnit Version : %s\n",
                OwnVersionString("FileVersion").c_str());
  trace::Printf(level, "CFiscalPrinterUnit::CFiscalPrinterUnit Company : %s\n",
                OwnVersionString("CompanyName").c_str());
  trace::Printf(level, "CFiscalPrinterUnit::CFiscalPrinterUnit Creating mutex & events\n");
}

// ---- Calling frame ----

int32_t CFiscalPrinterUnit::RunMethod(std::string_view name, const std::function<void()>& body,
                                      const std::string* entry_line) {
  if (entry_line) {
    trace::Write(trace::kLevelMethods, *entry_line);
  } else {
    trace::Printf(trace::kLevelMethods, "+CFiscalPrinterUnit::%.*s\n",
                  static_cast<int>(name.size()), name.data());
  }
  // The call keeps the unit alive to its end: the control object may let its last
  // reference go on another thread (Close) while this call still runs.
  const automation::ComPtr<CFiscalPrinterUnit> keep_alive(this);
  ClearResult();
  try {
    body();
  } catch (const COposException& e) {
    SetResult(e.code(), e.extended(), e.text());
  }
  const int32_t code = t_frame_result;
  trace::Printf(trace::kLevelMethods, "-CFiscalPrinterUnit::%.*s => %d\n",
                static_cast<int>(name.size()), name.data(), code);
  return code;
}

void CFiscalPrinterUnit::Fail(int32_t code, int32_t extended, std::string text) {
  SetResult(code, extended, text);
  throw COposException(code, extended, std::move(text));
}

void CFiscalPrinterUnit::Fail(const device::DeviceResult& result) {
  Fail(result.code, result.extended, result.text);
}

int32_t CFiscalPrinterUnit::RefuseNotSupported(std::string_view name,
                                               const std::string* entry_line) {
  return RunMethod(
      name,
      [this] {
        verifyOpenedClaimedEnabled();
        Fail(opos::OPOS_E_ILLEGAL, 0, "Not supported");
      },
      entry_line);
}

void CFiscalPrinterUnit::SetResult(int32_t code, int32_t extended, std::string text) {
  t_frame_result = code;
  std::lock_guard<std::mutex> lock(fields_mu_);
  result_code_ = code;
  result_code_extended_ = extended;
  error_string_ = std::move(text);
}

void CFiscalPrinterUnit::ClearResult() {
  SetResult(opos::OPOS_SUCCESS, 0, std::string());
}

// ---- Guard checks ----

void CFiscalPrinterUnit::verifyOpened() {
  if (GetState() != opos::OPOS_S_CLOSED) return;
  trace::Printf(trace::kLevelMethods, "+CFiscalPrinterUnit::verifyOpened fails (OPOS_E_CLOSED)\n");
  Fail(opos::OPOS_E_CLOSED, 0, "The service is not open (OpenService first)");
}

void CFiscalPrinterUnit::verifyOpenedClaimed() {
  verifyOpened();
  if (claimed()) return;
  trace::Printf(trace::kLevelMethods,
                "+CFiscalPrinterUnit::verifyOpenedClaimed fails (OPOS_E_NOTCLAIMED)\n");
  Fail(opos::OPOS_E_NOTCLAIMED, 0, "The device is not claimed (ClaimDevice first)");
}

void CFiscalPrinterUnit::verifyOpenedClaimedEnabled() {
  verifyOpenedClaimed();
  if (device_enabled()) return;
  trace::Printf(trace::kLevelMethods,
                "+CFiscalPrinterUnit::verifyOpenedClaimedEnabled fails (OPOS_E_DISABLED)\n");
  Fail(opos::OPOS_E_DISABLED, 0, "The device is not enabled (set DeviceEnabled first)");
}

void CFiscalPrinterUnit::verifyPrinterState(int32_t a, int32_t b, int32_t c) {
  const int32_t state = GetNumberProperty(opos::PIDX_PrinterState);
  if (state == a || state == b || state == c) return;
  trace::Printf(trace::kLevelMethods,
                "+CFiscalPrinterUnit::verifyPrinterState fails (OPOS_E_EXTENDED, "
                "OPOS_EFPTR_WRONG_STATE)\n");
  // The apostrophe is the Windows-1252 right single quotation mark.
  Fail(opos::OPOS_E_EXTENDED, opos::OPOS_EFPTR_WRONG_STATE,
       "The Fiscal Printer\x92s current state does not allow this state transition");
}

void CFiscalPrinterUnit::verifyDayClosed() {
  if (GetNumberProperty(opos::PIDX_DayOpened) == 0) return;
  trace::Printf(trace::kLevelMethods,
                "+CFiscalPrinterUnit::verifyDayClosed fails (OPOS_E_ILLEGAL)\n");
  Fail(opos::OPOS_E_ILLEGAL, 0, "The Fiscal Printer has already begun the fiscal day");
}

void CFiscalPrinterUnit::verifyVatId(int32_t vat_id, bool item_sale) {
  // Judged in both modes: in asynchronous mode a bad value would otherwise only surface as an
  // error event after the earlier lines of the receipt had been printed.
  if (device_unit_->VerifyVatInfo(vat_id, item_sale).ok()) return;
  trace::Printf(trace::kLevelMethods,
                "+CFiscalPrinterUnit::verifyVatId fails (OPOS_E_EXTENDED, OPOS_EFPTR_BAD_VAT)\n");
  Fail(opos::OPOS_E_EXTENDED, opos::OPOS_EFPTR_BAD_VAT, "The VAT information is invalid");
}

// ---- Fields ----

int32_t CFiscalPrinterUnit::result_code() {
  std::lock_guard<std::mutex> lock(fields_mu_);
  return result_code_;
}

int32_t CFiscalPrinterUnit::result_code_extended() {
  std::lock_guard<std::mutex> lock(fields_mu_);
  return result_code_extended_;
}

std::string CFiscalPrinterUnit::error_string() {
  std::lock_guard<std::mutex> lock(fields_mu_);
  return error_string_;
}

int32_t CFiscalPrinterUnit::open_result() {
  std::lock_guard<std::mutex> lock(fields_mu_);
  return open_result_;
}

bool CFiscalPrinterUnit::claimed() {
  std::lock_guard<std::mutex> lock(fields_mu_);
  return claimed_;
}

bool CFiscalPrinterUnit::device_enabled() {
  std::lock_guard<std::mutex> lock(fields_mu_);
  return device_enabled_ != 0;
}

UnitConfig CFiscalPrinterUnit::config() {
  std::lock_guard<std::mutex> lock(fields_mu_);
  return config_;
}

int32_t CFiscalPrinterUnit::VatTableEntry(int32_t vat_id) {
  if (vat_id < 1 || vat_id > 100) return 0;
  std::lock_guard<std::mutex> lock(fields_mu_);
  return vat_table_[static_cast<size_t>(vat_id)];
}

void CFiscalPrinterUnit::SetVatTableEntry(int32_t vat_id, int32_t rate) {
  if (vat_id < 1 || vat_id > 100) return;
  std::lock_guard<std::mutex> lock(fields_mu_);
  vat_table_[static_cast<size_t>(vat_id)] = rate;
}

std::string CFiscalPrinterUnit::GetPosId() {
  std::lock_guard<std::mutex> lock(fields_mu_);
  return pos_id_;
}

std::string CFiscalPrinterUnit::GetCashierId() {
  std::lock_guard<std::mutex> lock(fields_mu_);
  return cashier_id_;
}

const char* CFiscalPrinterUnit::GetPropertyName(int32_t index) {
  return PropertyNameOf(index);
}

// ---- device::UnitHost ----

int32_t CFiscalPrinterUnit::GetNumberProperty(int32_t index) {
  std::lock_guard<std::mutex> lock(fields_mu_);
  switch (index) {
    case opos::PIDX_Claimed:
      return claimed_ ? 1 : 0;
    case opos::PIDX_DeviceEnabled:
      return device_enabled_;
    case opos::PIDX_ResultCode:
      return result_code_;
    case opos::PIDX_ResultCodeExtended:
      return result_code_extended_;
    case opos::PIDX_State:
      return state_;
    default:
      return properties_.Number(index);
  }
}

void CFiscalPrinterUnit::SetNumberProperty(int32_t index, int32_t value) {
  std::lock_guard<std::mutex> lock(fields_mu_);
  switch (index) {
    case opos::PIDX_Claimed:
      claimed_ = value != 0;
      return;
    case opos::PIDX_DeviceEnabled:
      device_enabled_ = value;
      return;
    case opos::PIDX_ResultCode:
      result_code_ = value;
      return;
    case opos::PIDX_ResultCodeExtended:
      result_code_extended_ = value;
      return;
    case opos::PIDX_State:
      state_ = value;
      return;
    default:
      properties_.SetNumber(index, value);
  }
}

std::string CFiscalPrinterUnit::GetStringProperty(int32_t index) {
  std::lock_guard<std::mutex> lock(fields_mu_);
  if (index == opos::PIDX_ErrorString) return error_string_;
  return properties_.Text(index);
}

void CFiscalPrinterUnit::SetStringProperty(int32_t index, const std::string& value) {
  std::lock_guard<std::mutex> lock(fields_mu_);
  if (index == opos::PIDX_ErrorString) {
    error_string_ = value;
    return;
  }
  properties_.SetText(index, value);
}

int32_t CFiscalPrinterUnit::GetState() {
  std::lock_guard<std::mutex> lock(fields_mu_);
  return state_;
}

void CFiscalPrinterUnit::SetState(int32_t state) {
  std::lock_guard<std::mutex> lock(fields_mu_);
  state_ = state;
}

bool CFiscalPrinterUnit::ClaimIdleEvent() {
  std::lock_guard<std::mutex> lock(fields_mu_);
  if (state_ != opos::OPOS_S_IDLE || properties_.Number(opos::PIDX_FlagWhenIdle) == 0) return false;
  properties_.SetNumber(opos::PIDX_FlagWhenIdle, 0);
  return true;
}

void CFiscalPrinterUnit::RaiseStatusUpdate(int32_t data) {
  events_.RaiseStatusUpdate(data);
}

void CFiscalPrinterUnit::RaiseOutputComplete(int32_t output_id) {
  events_.RaiseOutputComplete(output_id);
}

int32_t CFiscalPrinterUnit::RaiseError(int32_t result_code, int32_t result_code_extended,
                                       int32_t error_locus, int32_t preset_response) {
  return events_.RaiseError(result_code, result_code_extended, error_locus, preset_response);
}

void CFiscalPrinterUnit::Trace(int level, const std::string& text) {
  trace::Write(static_cast<uint32_t>(level), text);
}

}  // namespace kelo::service
