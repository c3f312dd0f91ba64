// CheckHealth: the internal test asks the printer for its health; the external test prints
// an information slip naming the control object, this service object and the printer.
#include <cstdio>

#include "device/device_operations.h"
#include "device/device_unit.h"
#include "opos/opos_constants.h"
#include "service/fiscal_printer_unit.h"
#include "service/version_info.h"

namespace kelo::service {

namespace {
// opos::OPOS_CH_INTERNAL, opos::OPOS_CH_EXTERNAL.
constexpr int32_t kInternal = 1;
constexpr int32_t kExternal = 2;

std::string Printf(const char* format, auto... args) {
  char small[512];
  const int n = std::snprintf(small, sizeof small, format, args...);
  if (n < 0) return {};
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::string out(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(out.data(), out.size(), format, args...);
  out.resize(static_cast<size_t>(n));
  return out;
}

std::string VersionText(const char* format, int32_t version) {
  return Printf(format, version / 1000000, (version % 1000000) / 1000, version % 1000);
}
}  // namespace

int32_t CFiscalPrinterUnit::CheckHealth(int32_t level) {
  const std::string entry = "+CFiscalPrinterUnit::CheckHealth(" + std::to_string(level) + ")\n";
  // A nested call that failed ends the check with its own result.
  auto nested = [this](int32_t code) {
    if (code != opos::OPOS_SUCCESS) Fail(code, result_code_extended(), error_string());
  };
  return RunMethod(
      "CheckHealth",
      [&] {
        try {
          verifyOpenedClaimedEnabled();
          if (level == kInternal) {
            RunSync(&device::DeviceOperations::DoCheckHealth, "");
            return;
          }
          if (level != kExternal) Fail(opos::OPOS_E_ILLEGAL, 0, "Not supported");

          verifyPrinterState(opos::FPTR_PS_MONITOR);
          nested(resetPrinter());
          nested(beginNonFiscal());

          std::string firmware;
          std::string model;
          if (device::DeviceResult r = device_unit_->ReadPrinterId(&firmware); !r.ok()) Fail(r);
          if (device::DeviceResult r = device_unit_->ReadModelName(&model); !r.ok()) Fail(r);
          const int32_t co_version = control_.ReadVersion();

          const std::string lines[] = {
              "\x1b|1F\r\n\x1b|cA<OPOS CheckHealth - EXTERNAL>",
              VersionText("\x1b|1F\r\n\x1b|cA**** CO INFOS ****\r\n\x1b|lA-OPOS Version: %d.%d.%d",
                          co_version),
              "\x1b|1F\r\n\x1b|cA**** SO INFOS ****",
              "\x1b|lA-Device name:\r\n\x1b|lA    " + GetStringProperty(opos::PIDX_DeviceName),
              "\x1b|lA-Device description\r\n\x1b|lA    " +
                  GetStringProperty(opos::PIDX_DeviceDescription),
              VersionText("\x1b|lA-OPOS Version: %d.%d.%d",
                          GetNumberProperty(opos::PIDX_ServiceObjectVersion)),
              "\x1b|lA-File Version: " + OwnVersionString("FileVersion"),
              "\x1b|lA-Company     : " + OwnVersionString("CompanyName"),
              "\x1b|1F\r\n\x1b|cA**** MACHINE ****\r\n\x1b|lA-Name    : " + model,
              "\x1b|lA-Firmware: " + firmware + "\r\n\x1b|1F",
              "\x1b|cA<OPOS CheckHealth end>\r\n\x1b|1F",
          };
          // Printed synchronously whatever AsyncMode says: endNonFiscal below must find
          // every line printed, not queued.
          for (const std::string& line : lines) nested(PrintNormalFrame(3, line, true));

          nested(endNonFiscal());
          nested(resetPrinter());
          SetStringProperty(opos::PIDX_CheckHealthText, "Good");
        } catch (const COposException&) {
          SetStringProperty(opos::PIDX_CheckHealthText, "Failure");
          throw;
        }
      },
      &entry);
}

}  // namespace kelo::service
