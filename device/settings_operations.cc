// Fiscal settings (date, header lines, VAT entries, training mode, reset, health check) and
// non-fiscal printing.
#include "device/device_operations.h"
#include "device/line_composer.h"
#include "device/parameter_text.h"
#include "opos/opos_constants.h"

namespace kelo::device {

using namespace opos;

namespace {
const char kDayOpenedText[] = "The Fiscal Printer has already begun the fiscal day";
}

DeviceResult DeviceOperations::DoSetDate(const std::string& input, std::string&) {
  ParamFields f(input, 7);  // year, month, day, hour, minute, second, milliseconds
  if (DeviceResult r = RequireState(FPTR_PS_MONITOR, FPTR_PS_NONFISCAL); !r.ok()) return r;
  if (host_.GetNumberProperty(PIDX_DayOpened) != 0) return {OPOS_E_ILLEGAL, 0, kDayOpenedText};
  return Mapped(device_.SetDateAndTime(f.Date(0)));
}

DeviceResult DeviceOperations::DoSetHeaderLine(const std::string& input, std::string&) {
  ParamFields f(input, 3);  // LineNumber, Text, DoubleWidth
  if (DeviceResult r = RequireState(FPTR_PS_MONITOR); !r.ok()) return r;
  if (host_.GetNumberProperty(PIDX_DayOpened) != 0) return {OPOS_E_ILLEGAL, 0, kDayOpenedText};
  const int32_t attribute = f.Number(2) != 0 ? kAttrDoubleWidth : 0;
  return Mapped(device_.SetHeaderLine(f.Number(0), f.Text(1), attribute));
}

DeviceResult DeviceOperations::DoGetVatEntry(const std::string& input, std::string& output) {
  ParamFields f(input, 1);  // VatID
  if (DeviceResult r = RequireState(FPTR_PS_MONITOR); !r.ok()) return r;
  int32_t rate = 0;
  DeviceResult r = Mapped(device_.ReadVatRate(f.Number(0), &rate));
  if (r.ok()) AppendNumberField(&output, rate);
  return r;
}

DeviceResult DeviceOperations::DoBeginTraining(const std::string&, std::string&) {
  if (DeviceResult r = RequireState(FPTR_PS_MONITOR); !r.ok()) return r;
  DeviceResult r = Mapped(device_.SetTrainingMode(true));
  if (r.ok()) host_.SetNumberProperty(PIDX_TrainingModeActive, 1);
  return r;
}

DeviceResult DeviceOperations::DoEndTraining(const std::string&, std::string&) {
  if (DeviceResult r = RequireState(FPTR_PS_MONITOR); !r.ok()) return r;
  DeviceResult r = Mapped(device_.SetTrainingMode(false));
  if (r.ok()) host_.SetNumberProperty(PIDX_TrainingModeActive, 0);
  return r;
}

DeviceResult DeviceOperations::DoResetPrinter(const std::string&, std::string&) {
  int32_t result = device_.ResetPrinter();
  // The printer may need a second reset to leave a document it was in the middle of.
  if (result == 0) result = device_.ResetPrinter();
  DeviceResult r = Mapped(result);
  if (r.ok()) SetPrinterState(FPTR_PS_MONITOR);
  return r;
}

DeviceResult DeviceOperations::DoCheckHealth(const std::string&, std::string&) {
  int32_t result = device_.HealthCheck();
  host_.SetStringProperty(PIDX_CheckHealthText, result == 0 ? "Good" : "Failure");
  return Mapped(result);
}

DeviceResult DeviceOperations::DoBeginNonFiscal(const std::string&, std::string&) {
  if (DeviceResult r = RequireState(FPTR_PS_MONITOR); !r.ok()) return r;
  DeviceResult r = Mapped(device_.BeginNonFiscal());
  if (r.ok()) SetPrinterState(FPTR_PS_NONFISCAL);
  return r;
}

DeviceResult DeviceOperations::DoEndNonFiscal(const std::string&, std::string&) {
  if (DeviceResult r = RequireState(FPTR_PS_NONFISCAL); !r.ok()) return r;
  DeviceResult r = Mapped(device_.EndNonFiscal());
  if (r.ok()) SetPrinterState(FPTR_PS_MONITOR);
  return r;
}

DeviceResult DeviceOperations::DoPrintNormal(const std::string& input, std::string&) {
  ParamFields f(input, 2);  // Station, Data
  if (DeviceResult r = RequireState(FPTR_PS_NONFISCAL); !r.ok()) return r;
  return Mapped(device_.PrintNormal(f.Number(0), f.Text(1), kMaxNormalLines));
}

}  // namespace kelo::device
