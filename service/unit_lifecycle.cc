// The unit's life from OpenService to CloseService, and the common methods that only clear
// or refuse.
#include <chrono>

#include "link/serial_port.h"
#include "opos/opos_constants.h"
#include "platform/text/cp1252.h"
#include "service/fiscal_printer_unit.h"
#include "service/trace_log.h"

namespace kelo::service {

namespace {
std::string Format(const char* format, const std::string& a, const std::string& b) {
  std::string out;
  out.resize(a.size() + b.size() + 64);
  int n = std::snprintf(out.data(), out.size(), format, a.c_str(), b.c_str());
  out.resize(n < 0 ? 0 : static_cast<size_t>(n));
  return out;
}
}  // namespace

int32_t CFiscalPrinterUnit::OpenService(const std::string& device_class,
                                        const std::string& device_name,
                                        automation::IDispatch* control) {
  const std::string entry =
      Format("+CFiscalPrinterUnit::OpenService(%s, %s)\n", device_class, device_name);
  auto fail_open = [this](int32_t code, const char* text, int32_t open_result) {
    {
      std::lock_guard<std::mutex> lock(fields_mu_);
      open_result_ = open_result;
    }
    Fail(code, 0, text);
  };
  return RunMethod(
      "OpenService",
      [&] {
        if (GetState() != opos::OPOS_S_CLOSED) {
          fail_open(opos::OPOS_E_ILLEGAL, "Service already opened", opos::OPOS_OR_FAILEDOPEN);
        }
        const std::string key_path = ConfigKeyPath(device_class, device_name);
        UnitConfig config;
        const bool read = ReadUnitConfig(platform::ConfigStore(registry_file_), key_path, &config);
        {
          std::lock_guard<std::mutex> lock(fields_mu_);
          config_ = config;
        }
        if (!read)
          fail_open(opos::OPOS_E_FAILURE, "Registry parameters error", opos::OPOS_ORS_CONFIG);

        // The file system takes UTF-8 names; the configured folder is Windows-1252 text.
        trace::SetFileName(platform::Cp1252ToUtf8(config.log_path) + "KELOFPU.log");
        if (config.log_enabled != 0) trace::SwitchOn();
        trace::SetLevelMask(config.level_mask);

        trace::Printf(trace::kLevelMethods, "        *****************************\n");
        trace::Printf(trace::kLevelMethods, "        ******** NEW SESSION ********\n");
        trace::Printf(trace::kLevelMethods, "        *****************************\n");
        trace::Write(trace::kLevelMethods, entry);
        TraceConstructionLines(trace::kLevelMethods);

        if (control_.Bind(control) != opos::OPOS_SUCCESS) {
          fail_open(opos::OPOS_E_FAILURE, "Dispatch errors", opos::OPOS_ORS_CONFIG);
        }
        const int32_t version = control_.ReadVersion();
        trace::Printf(trace::kLevelMethods,
                      "CFiscalPrinterUnit::CFiscalPrinterUnit ControlObject OPOS Version: "
                      "%d.%d.%d\n",
                      version / 1000000, (version % 1000000) / 1000, version % 1000);

        events_.Start();
        if (events_.Bind(control) != opos::OPOS_SUCCESS) {
          fail_open(opos::OPOS_E_FAILURE, "Dispatch errors", opos::OPOS_ORS_CONFIG);
        }

        std::lock_guard<std::mutex> lock(fields_mu_);
        result_code_ = opos::OPOS_SUCCESS;
        result_code_extended_ = 0;
        error_string_.clear();
        open_result_ = opos::OPOS_SUCCESS;
        state_ = opos::OPOS_S_IDLE;
        properties_.ResetToDefaults();
        vat_table_.fill(0);
        pos_id_.clear();
        cashier_id_.clear();
      },
      &entry);
}

int32_t CFiscalPrinterUnit::CloseService() {
  return RunMethod("CloseService", [this] {
    if (GetState() == opos::OPOS_S_CLOSED) Fail(opos::OPOS_E_ILLEGAL, 0, "Service already closed");
    // A claim still waiting for the printer on another thread ends first, with an error.
    CancelClaims();
    std::lock_guard<std::recursive_mutex> life(lifecycle_mu_);
    const int32_t released = claimed() ? ReleaseDevice() : opos::OPOS_SUCCESS;
    if (released == opos::OPOS_SUCCESS) {
      events_.Stop();
      SetState(opos::OPOS_S_CLOSED);
    }
  });
}

// ---- Claims in progress ----

CFiscalPrinterUnit::ClaimInProgress::ClaimInProgress(CFiscalPrinterUnit& unit) : unit_(unit) {
  std::lock_guard<std::mutex> lock(unit_.claim_mu_);
  ++unit_.claims_in_progress_;
  generation_ = unit_.claim_generation_;
}

CFiscalPrinterUnit::ClaimInProgress::~ClaimInProgress() {
  {
    std::lock_guard<std::mutex> lock(unit_.claim_mu_);
    --unit_.claims_in_progress_;
  }
  unit_.claim_cv_.notify_all();
}

bool CFiscalPrinterUnit::ClaimInProgress::cancelled() const {
  std::lock_guard<std::mutex> lock(unit_.claim_mu_);
  return unit_.claim_generation_ != generation_;
}

bool CFiscalPrinterUnit::ActiveClaimCancelled() {
  std::lock_guard<std::mutex> lock(claim_mu_);
  return claim_generation_ != active_claim_generation_;
}

bool CFiscalPrinterUnit::CancelClaims() {
  std::unique_lock<std::mutex> lock(claim_mu_);
  if (claims_in_progress_ == 0) return false;
  ++claim_generation_;
  // A cancelled claim stops waiting for the printer within a few milliseconds (Connect asks
  // between its looks at the printer) and aborts an exchange in progress; the bound only
  // guards against a claim stuck elsewhere, which then still holds its own reference.
  const bool ended = claim_cv_.wait_for(lock, std::chrono::milliseconds(10000),
                                        [this] { return claims_in_progress_ == 0; });
  lock.unlock();
  if (!ended) trace::Printf(trace::kLevelMethods, "CFiscalPrinterUnit: a claim did not end\n");
  return true;
}

int32_t CFiscalPrinterUnit::ClaimDevice(int32_t timeout) {
  const std::string entry = "+CFiscalPrinterUnit::ClaimDevice(" + std::to_string(timeout) + ")\n";
  return RunMethod(
      "ClaimDevice",
      [&] {
        verifyOpened();
        if (claimed()) return;
        const ClaimInProgress progress(*this);
        auto fail_cancelled = [this] {
          Fail(opos::OPOS_E_FAILURE, 0, "Claim cancelled by ReleaseDevice or CloseService");
        };
        if (!claim_lock_.Acquire(timeout)) Fail(opos::OPOS_E_TIMEOUT, 0, "Claim timeout");
        events_.AnswerErrorsWithPreset(false);
        {
          std::lock_guard<std::mutex> lock(claim_mu_);
          active_claim_generation_ = claim_generation_;
        }
        if (progress.cancelled()) {
          claim_lock_.Release();
          fail_cancelled();
        }
        if (OpenSerialPort() != 0) {
          const device::DeviceResult failure = PortOpenFailure();
          claim_lock_.Release();
          Fail(failure);
        }
        AttachPort();
        const device::DeviceResult connected = Connect(timeout);
        if (connected.ok()) ReadPrinterConfiguration();
        std::lock_guard<std::recursive_mutex> life(lifecycle_mu_);
        // Cut short by ReleaseDevice or CloseService on another thread (or closed meanwhile):
        // undo everything and report it; the unit keeps the state the closer gave it.
        if (progress.cancelled() || GetState() == opos::OPOS_S_CLOSED) {
          Disconnect();
          CloseSerialPort();
          claim_lock_.Release();
          fail_cancelled();
        }
        if (!connected.ok()) {
          Disconnect();
          CloseSerialPort();
          SetState(opos::OPOS_S_ERROR);
          claim_lock_.Release();
          Fail(connected);
        }
        std::lock_guard<std::mutex> lock(fields_mu_);
        claimed_ = true;
        // A claim that failed earlier left the error state; a claim that succeeds ends it,
        // or the unit would report an error for as long as it stays open.
        if (state_ == opos::OPOS_S_ERROR) state_ = opos::OPOS_S_IDLE;
      },
      &entry);
}

int32_t CFiscalPrinterUnit::ReleaseDevice() {
  return RunMethod("ReleaseDevice", [this] {
    // A claim in progress on another thread is what this release ends: it fails, and the
    // device is not claimed afterwards, which is what the caller asked for.
    const bool cancelled = CancelClaims();
    std::lock_guard<std::recursive_mutex> life(lifecycle_mu_);
    if (!claimed()) {
      if (cancelled) return;
      Fail(opos::OPOS_E_ILLEGAL, 0, "no exclusive access");
    }
    ReleaseClaimed();
  });
}

void CFiscalPrinterUnit::ReleaseClaimed() {
  if (device_enabled()) SetDeviceEnabled(0);
  // A worker waiting for the answer to an error event stops waiting: the callback that
  // would answer may be the one releasing (and the queue ends with the claim anyway).
  events_.AnswerErrorsWithPreset(true);
  Disconnect();
  CloseSerialPort();
  {
    std::lock_guard<std::mutex> lock(fields_mu_);
    claimed_ = false;
  }
  claim_lock_.Release();
}

void CFiscalPrinterUnit::SetDeviceEnabled(int32_t value) {
  {
    std::lock_guard<std::mutex> lock(fields_mu_);
    device_enabled_ = value;
  }
  if (value != 0) {
    const device::DeviceResult state = ReadPrinterState();
    if (!state.ok()) SetResult(state.code, state.extended, state.text);
  }
  trace::Printf(trace::kLevelMethods, "EnableDevice = %d\n", value);
}

int32_t CFiscalPrinterUnit::ClearInput() {
  return RunMethod("ClearInput", [this] { Fail(opos::OPOS_E_ILLEGAL, 0, "Not supported"); });
}

int32_t CFiscalPrinterUnit::ClearInputProperties() {
  return RunMethod("ClearInputProperties", [this] {
    verifyOpenedClaimedEnabled();
    std::lock_guard<std::mutex> lock(fields_mu_);
    properties_.SetNumber(opos::PIDX_ErrorLevel, opos::FPTR_EL_NONE);
    properties_.SetNumber(opos::PIDX_ErrorOutID, 0);
    properties_.SetNumber(opos::PIDX_ErrorState, 0);
    properties_.SetNumber(opos::PIDX_ErrorStation, 0);
  });
}

int32_t CFiscalPrinterUnit::ClearOutput() {
  return RunMethod("ClearOutput", [this] {
    verifyOpenedClaimedEnabled();
    ClearOutputQueue();
    events_.MarkDropErrors();
  });
}

int32_t CFiscalPrinterUnit::clearError() {
  return RunMethod("clearError", [this] {
    verifyOpenedClaimedEnabled();
    SetNumberProperty(opos::PIDX_ErrorLevel, opos::FPTR_EL_NONE);
  });
}

int32_t CFiscalPrinterUnit::COFreezeEvents(bool freeze) {
  return RunMethod("COFreezeEvents", [&] {
    verifyOpenedClaimedEnabled();
    events_.Freeze(freeze);
  });
}

int32_t CFiscalPrinterUnit::CompareFirmwareVersion(const std::string& /*firmware_file*/,
                                                   int32_t* /*result*/) {
  return RefuseNotSupported("CompareFirmwareVersion");
}

int32_t CFiscalPrinterUnit::ResetStatistics(const std::string& /*statistics*/) {
  return RefuseNotSupported("ResetStatistics");
}

int32_t CFiscalPrinterUnit::RetrieveStatistics(std::string* /*statistics*/) {
  return RefuseNotSupported("RetrieveStatistics");
}

int32_t CFiscalPrinterUnit::UpdateFirmware(const std::string& /*firmware_file*/) {
  return RefuseNotSupported("UpdateFirmware");
}

int32_t CFiscalPrinterUnit::UpdateStatistics(const std::string& /*statistics*/) {
  return RefuseNotSupported("UpdateStatistics");
}

int32_t CFiscalPrinterUnit::GetOpenResult() {
  return open_result();
}

}  // namespace kelo::service
