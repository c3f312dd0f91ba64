#include "testapp/core/device_session.h"

#include <algorithm>

#include "opos/opos_constants.h"
#include "testapp/core/name_tables.h"

namespace kelo::testapp {

namespace {
std::string N(int32_t v) {
  return std::to_string(v);
}
}  // namespace

StatusTexts UpdateStatus(clsFprtWrapper& wrapper, MessageBoxes& boxes) {
  control::FiscalPrinter& control = wrapper.control();
  StatusTexts t;
  t.result_code = control.ResultCode();
  const int32_t extended = control.ResultCodeExtended();
  t.error_description = control.ErrorString();
  t.error_code = ResultCodeName(t.result_code) + "(" + N(t.result_code) + ")";
  t.error_code_ext = ExtendedResultCodeName(extended) + "(" + N(extended) + ")";
  if (t.result_code != 0) {
    boxes.ShowMessage("ERRORS: " + t.error_code + "  " + t.error_code_ext + "  " +
                      t.error_description);
  }
  const int32_t state = wrapper.State();
  t.opos_state = StateName(state) + "   (" + N(state) + ")";
  const int32_t printer_state = control.PrinterState();
  t.fp_state = PrinterStateName(printer_state) + "   (" + N(printer_state) + ")";
  return t;
}

std::string ErrorEventBoxText(int32_t code, int32_t extended) {
  return "OposErrorEvent(" + N(code) + " " + ResultCodeName(code) + ", " + N(extended) + " " +
         ExtendedResultCodeName(extended) + ")";
}

std::string ErrorEventLogText(int32_t code, int32_t extended, int32_t response) {
  return "ErrorEvent(" + N(code) + " " + ResultCodeName(code) + ", " + N(extended) + " " +
         ExtendedResultCodeName(extended) + ")  Resp = " + N(response);
}

std::string OutputCompleteLogText(int32_t output_id) {
  return "OutputCompleteEvent(" + N(output_id) + ")";
}

std::optional<std::string> StatusUpdateLogText(int32_t data) {
  switch (data) {
    case 0:
      return "StatusUpdateEvent(0)";
    case opos::FPTR_SUE_COVER_OPEN:
      return "StatusUpdateEvent(PtrSueCoverOpen)";
    case opos::FPTR_SUE_COVER_OK:
      return "StatusUpdateEvent(PtrSueCoverOk)";
    case opos::PTR_SUE_JRN_EMPTY:
      return "StatusUpdateEvent(PtrSueJrnEmpty)";
    case opos::FPTR_SUE_JRN_NEAREMPTY:
      return "StatusUpdateEvent(PtrSueJrnNearempty)";
    case opos::FPTR_SUE_JRN_PAPEROK:
      return "StatusUpdateEvent(PtrSueJrnPaperok)";
    case opos::FPTR_SUE_REC_EMPTY:
      return "StatusUpdateEvent(PtrSueRecEmpty)";
    case opos::FPTR_SUE_REC_NEAREMPTY:
      return "StatusUpdateEvent(PtrSueRecNearempty)";
    case opos::FPTR_SUE_REC_PAPEROK:
      return "StatusUpdateEvent(PtrSueRecPaperok)";
    case opos::FPTR_SUE_IDLE:
      return "StatusUpdateEvent(PtrSueIdle)";
    default:
      return std::nullopt;
  }
}

void HandleErrorEvent(LogModel& log, MessageBoxes& boxes, int32_t code, int32_t extended,
                      int32_t& response) {
  response = boxes.AskRetryCancel(ErrorEventBoxText(code, extended)) ? opos::OPOS_ER_RETRY
                                                                     : opos::OPOS_ER_CLEAR;
  log.AddToLog(ErrorEventLogText(code, extended, response));
}

void InstallEventLogging(control::FiscalPrinter& control, LogModel& log, MessageBoxes& boxes) {
  control.SetErrorHandler(
      [&log, &boxes](int32_t code, int32_t extended, int32_t, int32_t& response) {
        HandleErrorEvent(log, boxes, code, extended, response);
      });
  control.SetOutputCompleteHandler([&log](int32_t id) { log.AddToLog(OutputCompleteLogText(id)); });
  control.SetStatusUpdateHandler([&log](int32_t data) {
    if (auto text = StatusUpdateLogText(data)) log.AddToLog(*text);
  });
}

const std::vector<std::string>& DeviceSession::DefaultAcceptedNames() {
  static const std::vector<std::string> names{"KeloFPU", "VantrixEj"};
  return names;
}

DeviceSession::DeviceSession(clsFprtWrapper& wrapper, MessageBoxes& boxes, std::string device_name,
                             std::vector<std::string> accepted_names)
    : wrapper_(wrapper),
      boxes_(boxes),
      device_name_(std::move(device_name)),
      accepted_(std::move(accepted_names)) {}

bool DeviceSession::IsAccepted(const std::string& name) const {
  return std::find(accepted_.begin(), accepted_.end(), name) != accepted_.end();
}

StatusTexts DeviceSession::RefreshStatus() {
  StatusTexts t = UpdateStatus(wrapper_, boxes_);
  if (hooks_.status) hooks_.status(t);
  return t;
}

int32_t DeviceSession::Open() {
  if (!IsAccepted(device_name_)) return opos::OPOS_E_FAILURE;
  const int32_t rc = wrapper_.WOpen(device_name_);
  RefreshStatus();
  if (rc == 0) {
    wrapper_.SetFreezeEvents(false);
    if (hooks_.open_succeeded) hooks_.open_succeeded();
  }
  return rc;
}

int32_t DeviceSession::Claim() {
  const int32_t rc = wrapper_.ClaimDevice(2000);
  RefreshStatus();
  return rc;
}

int32_t DeviceSession::Enable() {
  wrapper_.SetDeviceEnabled(true);
  const int32_t rc = wrapper_.control().ResultCode();
  RefreshStatus();
  if (hooks_.enabled) hooks_.enabled();
  return rc;
}

int32_t DeviceSession::Disable() {
  wrapper_.SetDeviceEnabled(false);
  const int32_t rc = wrapper_.control().ResultCode();
  RefreshStatus();
  return rc;
}

int32_t DeviceSession::Release() {
  const int32_t rc = wrapper_.ReleaseDevice();
  RefreshStatus();
  return rc;
}

int32_t DeviceSession::Close() {
  if (hooks_.closing) hooks_.closing();
  return wrapper_.WClose();
}

int32_t DeviceSession::ResetPrinter() {
  const int32_t rc = wrapper_.ResetPrinter();
  RefreshStatus();
  return rc;
}

int32_t DeviceSession::OpenClaimEnable() {
  Open();
  int32_t rc = wrapper_.ResultCode();
  if (rc != 0) return rc;
  Claim();
  rc = wrapper_.ResultCode();
  if (rc != 0) return rc;
  return Enable();
}

int32_t DeviceSession::DisableReleaseClose() {
  const int32_t a = Disable();
  const int32_t b = Release();
  const int32_t c = Close();
  return a != 0 ? a : (b != 0 ? b : c);
}

}  // namespace kelo::testapp
