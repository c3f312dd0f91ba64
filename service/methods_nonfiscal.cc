// Non-fiscal printing and training mode front ends.
#include "device/device_operations.h"
#include "opos/opos_constants.h"
#include "service/fiscal_printer_unit.h"
#include "service/front_end_text.h"

namespace kelo::service {

using device::DeviceOperations;

int32_t CFiscalPrinterUnit::beginNonFiscal() {
  return RunMethod("beginNonFiscal", [this] {
    verifyOpenedClaimedEnabled();
    RequireCapability(opos::PIDX_CapNonFiscalMode, "CapNonFiscalMode is false");
    RunSync(&DeviceOperations::DoBeginNonFiscal, "");
  });
}

int32_t CFiscalPrinterUnit::endNonFiscal() {
  return RunMethod("endNonFiscal", [this] {
    verifyOpenedClaimedEnabled();
    RunSync(&DeviceOperations::DoEndNonFiscal, "");
  });
}

int32_t CFiscalPrinterUnit::printNormal(int32_t station, const std::string& data) {
  return PrintNormalFrame(station, data, false);
}

int32_t CFiscalPrinterUnit::PrintNormalFrame(int32_t station, const std::string& data,
                                             bool force_sync) {
  return RunMethod("printNormal", [&] {
    verifyOpenedClaimedEnabled();
    // opos::FPTR_S_JOURNAL 1, opos::FPTR_S_RECEIPT 2, opos::FPTR_S_JOURNAL_RECEIPT 3.
    if (station < 1 || station > 3)
      Fail(opos::OPOS_E_ILLEGAL, 0, "The specified station does not exist");
    const std::string text = ParamText().Number(station).Text(data).str();
    if (force_sync) {
      RunSync(&DeviceOperations::DoPrintNormal, text);
    } else {
      RunOutput(&DeviceOperations::DoPrintNormal, text);
    }
  });
}

int32_t CFiscalPrinterUnit::beginTraining() {
  return RunMethod("beginTraining", [this] {
    verifyOpenedClaimedEnabled();
    RequireCapability(opos::PIDX_CapTrainingMode, "CapTrainingMode is false");
    RunSync(&DeviceOperations::DoBeginTraining, "");
  });
}

int32_t CFiscalPrinterUnit::endTraining() {
  return RunMethod("endTraining", [this] {
    verifyOpenedClaimedEnabled();
    RequireCapability(opos::PIDX_CapTrainingMode, "CapTrainingMode is false");
    RunSync(&DeviceOperations::DoEndTraining, "");
  });
}

int32_t CFiscalPrinterUnit::resetPrinter() {
  return RunMethod("resetPrinter", [this] {
    verifyOpenedClaimedEnabled();
    RunSync(&DeviceOperations::DoResetPrinter, "");
  });
}

}  // namespace kelo::service
