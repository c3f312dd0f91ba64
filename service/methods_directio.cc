// DirectIO front end: the printer functions the FiscalPrinter class has no method for.
// DRAWER_GET and DRAWER_WAIT look at the status block on the caller's thread; every other
// command that reaches the printer runs synchronously on the worker thread, whatever
// AsyncMode says. The caller's data array is never read or written beyond its length.
#include <cstdio>

#include "device/device_operations.h"
#include "device/device_unit.h"
#include "device/directio_text.h"
#include "device/drawer_wait.h"
#include "device/parameter_text.h"
#include "opos/opos_constants.h"
#include "service/fiscal_printer_unit.h"

namespace kelo::service {

using device::DeviceOperations;
namespace dio = device::directio;

namespace {

// The device operation of a command that reaches the printer, nullptr for the others.
device::DeviceOp OperationOf(int32_t command) {
  switch (command) {
    case dio::kDrawerOpen:
      return &DeviceOperations::DoDrawerOpen;
    case dio::kBmpLoad:
      return &DeviceOperations::DoBmpLoad;
    case dio::kBmpErase:
      return &DeviceOperations::DoBmpErase;
    case dio::kDySetMode:
      return &DeviceOperations::DoDisplaySetMode;
    case dio::kDyClear:
      return &DeviceOperations::DoDisplayClear;
    case dio::kDyPrintText:
      return &DeviceOperations::DoDisplayPrintText;
    case dio::kDyBmpLoad:
      return &DeviceOperations::DoDisplayBmpLoad;
    case dio::kDyBmpErase:
      return &DeviceOperations::DoDisplayBmpErase;
    case dio::kDyBmpShow:
      return &DeviceOperations::DoDisplayBmpShow;
    case dio::kDyBmpNow:
      return &DeviceOperations::DoDisplayBmpNow;
    case dio::kDySbyText:
      return &DeviceOperations::DoDisplayStandbyText;
    case dio::kDySbyBmp:
      return &DeviceOperations::DoDisplayStandbyBmp;
    case dio::kReportEj:
      return &DeviceOperations::DoReportEj;
    case dio::kReportX:
      return &DeviceOperations::DoReportX;
    case dio::kReportRequest:
      return &DeviceOperations::DoReportRequest;
    case dio::kResetTotalizers:
      return &DeviceOperations::DoResetTotalizers;
    case dio::kSimulateKeyboard:
      return &DeviceOperations::DoSimulateKeyboard;
    case dio::kDepartmentCfg:
      return &DeviceOperations::DoDepartmentConfig;
    case dio::kGetVirtualTicket:
      return &DeviceOperations::DoGetVirtualTicket;
    case dio::kSetPollingTime:
      return &DeviceOperations::DoSetPollingTime;
    case dio::kSetDeviceFlag:
      return &DeviceOperations::DoSetDeviceFlag;
    default:
      return nullptr;
  }
}

// Whether the command hands a text back in pString.
bool ReturnsText(int32_t command, std::span<const int32_t> data) {
  switch (command) {
    case dio::kDepartmentCfg:
      return data[0] == 0;
    case dio::kGetVirtualTicket:
    case dio::kSetPollingTime:
    case dio::kSetDeviceFlag:
      return true;
    default:
      return false;
  }
}

}  // namespace

int32_t CFiscalPrinterUnit::DirectIO(int32_t command, std::span<int32_t> data, std::string* text) {
  char head[64];
  std::snprintf(head, sizeof head, "+CFiscalPrinterUnit::DirectIO(%d, %d, ", command,
                data.empty() ? 0 : data[0]);
  const std::string entry = head + (text ? *text : std::string()) + ")\n";
  return RunMethod(
      "DirectIO",
      [&] {
        verifyOpenedClaimedEnabled();
        const std::string deprecated = device::DeprecatedDirectIOText(command);
        if (!deprecated.empty()) Fail(opos::OPOS_E_DEPRECATED, 0, deprecated);
        if (command == dio::kDebug) return;
        const device::DeviceOp op = OperationOf(command);
        if (op == nullptr && command != dio::kDrawerGet && command != dio::kDrawerWait) {
          Fail(opos::OPOS_E_ILLEGAL, 0, "Not supported");
        }
        const size_t needed = device::DirectIODataNeeded(command, data);
        if (data.size() < needed) {
          Fail(opos::OPOS_E_ILLEGAL, 0,
               "DirectIO " + std::to_string(command) + " needs " + std::to_string(needed) +
                   " data elements, " + std::to_string(data.size()) + " given");
        }
        switch (command) {
          case dio::kDrawerGet:
            data[0] = device_unit().CopyStatus()[device::DeviceStatusBlock::kDrawer];
            return;
          case dio::kDrawerWait:
            data[1] = device::WaitForDrawer([this] { return device_unit().CopyStatus(); },
                                            platform::SystemClock(), data[0]);
            return;
          default:
            break;
        }
        std::string input;
        device::BuildDirectIOInput(command, data, text ? *text : std::string(), &input);
        const std::string output = RunSync(op, input);
        if (text != nullptr && ReturnsText(command, data)) {
          *text = device::ParamFields(output, 1).Text(0);
        }
      },
      &entry);
}

}  // namespace kelo::service
