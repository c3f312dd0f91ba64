// The main window's device commands and event handling, without the window: Open, Claim,
// Enable, Disable, Release, Close, "Open Claim Enable", "Disable Release Close", the
// UpdateStatus routine that follows them, and the texts the control object's events are
// logged with. The window program calls these from its buttons and paints what they return;
// the headless runner and the canned tests use them as they stand.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "testapp/core/fprt_wrapper.h"
#include "testapp/core/ui_seams.h"

namespace kelo::testapp {

// What UpdateStatus puts on the window's labels.
struct StatusTexts {
  std::string error_code;         // lblErrorCode: name + "(" + ResultCode + ")"
  std::string error_code_ext;     // lblErrorCodeExt: extended name + "(" + code + ")"
  std::string error_description;  // lblErrorCodeDescription: ErrorString
  std::string opos_state;         // lblOposState: state name + "   (" + State + ")"
  std::string fp_state;           // lblFPState: printer-state name + "   (" + PrinterState + ")"
  int32_t result_code = 0;
};

// UpdateStatus: reads the result fields directly (unlogged) and shows the "ERRORS: " box when
// ResultCode is not 0; reads State through the wrapper (logged); reads PrinterState directly.
StatusTexts UpdateStatus(clsFprtWrapper& wrapper, MessageBoxes& boxes);

// Event texts of the main window.
std::string ErrorEventBoxText(int32_t result_code, int32_t result_code_extended);
std::string ErrorEventLogText(int32_t result_code, int32_t result_code_extended, int32_t response);
std::string OutputCompleteLogText(int32_t output_id);
// nullopt for the status values the window does not log.
std::optional<std::string> StatusUpdateLogText(int32_t data);

// The ErrorEvent handler: asks Retry/Cancel with ErrorEventBoxText, answers 11 (retry) or 12
// (clear) and logs ErrorEventLogText.
void HandleErrorEvent(LogModel& log, MessageBoxes& boxes, int32_t result_code,
                      int32_t result_code_extended, int32_t& response);

// Installs the main window's handling of ErrorEvent, OutputCompleteEvent and
// StatusUpdateEvent (logging only; a window adds its indicator colours by installing its own
// status handler that also logs StatusUpdateLogText). DirectIO events are not handled.
void InstallEventLogging(control::FiscalPrinter& control, LogModel& log, MessageBoxes& boxes);

class DeviceSession {
 public:
  // The device names the Open button accepts (lblSOName must be one of them).
  static const std::vector<std::string>& DefaultAcceptedNames();

  struct Hooks {
    std::function<void()> open_succeeded;            // start tmrUpdateControls
    std::function<void()> closing;                   // stop tmrUpdateControls
    std::function<void()> enabled;                   // refill the VAT and payment lists
    std::function<void(const StatusTexts&)> status;  // paint the status labels
  };

  DeviceSession(clsFprtWrapper& wrapper, MessageBoxes& boxes, std::string device_name,
                std::vector<std::string> accepted_names = DefaultAcceptedNames());
  void SetHooks(Hooks hooks) { hooks_ = std::move(hooks); }

  const std::string& device_name() const { return device_name_; }
  bool IsAccepted(const std::string& name) const;

  // Each command does what its button does; the result is the wrapper call's result (Open
  // with a name that is not accepted does nothing and answers 111).
  int32_t Open();
  int32_t Claim();
  int32_t Enable();
  int32_t Disable();
  int32_t Release();
  int32_t Close();
  int32_t ResetPrinter();
  // Stops at the first step whose ResultCode (read through the wrapper) is not 0; answers it.
  int32_t OpenClaimEnable();
  // Runs all three; answers the first non-zero result.
  int32_t DisableReleaseClose();
  StatusTexts RefreshStatus();

 private:
  clsFprtWrapper& wrapper_;
  MessageBoxes& boxes_;
  std::string device_name_;
  std::vector<std::string> accepted_;
  Hooks hooks_;
};

}  // namespace kelo::testapp
