// Reports, totals and data queries: X and Z reports, fiscal-memory reports, the duplicate
// receipt, the printer's clock, data items and totalizers. All run synchronously.
#include <cmath>
#include <cstdio>

#include "device/device_operations.h"
#include "device/parameter_text.h"
#include "opos/opos_constants.h"

namespace kelo::device {

using namespace opos;

namespace {

// Daily report kinds.
constexpr int32_t kZReport = 0;
constexpr int32_t kXReport = 1;

}  // namespace

bool IsCounterDataItem(int32_t item) {
  switch (item) {
    case FPTR_GD_CURRENT_TOTAL:
    case FPTR_GD_DAILY_TOTAL:
    case FPTR_GD_RECEIPT_NUMBER:
    case FPTR_GD_NOT_PAID:
    case FPTR_GD_MID_VOID:
    case FPTR_GD_GRAND_TOTAL:
    case FPTR_GD_RESTART:
    case FPTR_GD_FISCAL_DOC:
    case FPTR_GD_FISCAL_REC:
    case FPTR_GD_NONFISCAL_DOC:
      return true;
    default:
      return false;
  }
}

bool IsTextDataItem(int32_t item) {
  return item == FPTR_GD_Z_REPORT || item == FPTR_GD_PRINTER_ID || item == FPTR_GD_FIRMWARE;
}

DeviceResult DeviceOperations::DoPrintXReport(const std::string&, std::string&) {
  return Mapped(device_.PrintDailyReport(kXReport));
}

DeviceResult DeviceOperations::DoPrintZReport(const std::string&, std::string&) {
  return Mapped(device_.PrintDailyReport(kZReport));
}

DeviceResult DeviceOperations::PrintFiscalMemoryReport(bool by_date, int32_t p3,
                                                       const std::string& input) {
  if (DeviceResult r = RequireState(FPTR_PS_MONITOR); !r.ok()) return r;
  SetPrinterState(FPTR_PS_REPORT);
  int32_t result;
  if (by_date) {
    ParamFields f(input, 14);
    result = device_.FiscalMemoryReportByDate(1, p3, f.Date(0), f.Date(7));
  } else {
    ParamFields f(input, 2);
    result = device_.FiscalMemoryReportByNumber(1, p3, f.Number(0), f.Number(1));
  }
  SetPrinterState(FPTR_PS_MONITOR);
  return Mapped(result);
}

DeviceResult DeviceOperations::DoPrintReportByDate(const std::string& input, std::string&) {
  return PrintFiscalMemoryReport(true, 1, input);
}

DeviceResult DeviceOperations::DoPrintReportByNumber(const std::string& input, std::string&) {
  return PrintFiscalMemoryReport(false, 1, input);
}

DeviceResult DeviceOperations::DoPrintPeriodicTotalsReport(const std::string& input, std::string&) {
  return PrintFiscalMemoryReport(true, 2, input);
}

DeviceResult DeviceOperations::DoPrintDuplicateReceipt(const std::string&, std::string&) {
  DeviceResult r = Mapped(device_.PrintDuplicate(0));
  if (r.ok()) host_.SetNumberProperty(PIDX_DuplicateReceipt, 0);
  return r;
}

DeviceResult DeviceOperations::DoGetDate(const std::string&, std::string& output) {
  link::FpuDateTime now;
  DeviceResult r = Mapped(device_.ReadDateTime(&now));
  if (!r.ok()) return r;
  for (int v : {now.year, now.month, now.day, now.hour, now.minute, now.second, now.milliseconds}) {
    AppendNumberField(&output, v);
  }
  return r;
}

DeviceResult DeviceOperations::DoGetData(const std::string& input, std::string& output) {
  ParamFields f(input, 2);  // DataItem, OptArgs
  const int32_t item = f.Number(0);
  if (IsCounterDataItem(item)) {
    int64_t value = 0;
    DeviceResult r = Mapped(device_.ReadDataItem(item, &value));
    if (r.ok()) AppendNumberField(&output, static_cast<int32_t>(value));
    return r;
  }
  if (item == FPTR_GD_PRINTER_ID || item == FPTR_GD_FIRMWARE) {
    std::string text;
    int32_t result =
        item == FPTR_GD_PRINTER_ID ? device_.ReadPrinterId(&text) : device_.ReadFirmwareText(&text);
    DeviceResult r = Mapped(result);
    if (r.ok()) AppendTextField(&output, text);
    return r;
  }
  if (item == FPTR_GD_Z_REPORT) {
    int64_t number = 0;
    std::string text;
    double amount = 0;
    link::FpuZReportData data;
    int32_t result = device_.ReadZReportAmount(&number, &text, &amount);
    if (result == 0) result = device_.ReadZReportData(&data);
    DeviceResult r = Mapped(result);
    if (!r.ok()) return r;
    // Round the scaled amount so 1.5 read as 1.4999999 still gives 1500.
    const double scaled = std::round(amount * 1000.0);
    const int32_t milli = std::isfinite(scaled) && std::fabs(scaled) < 2147483647.0
                              ? static_cast<int32_t>(scaled)
                              : 0;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%d/%d/%06d", static_cast<int32_t>(data.values[0]),
                  static_cast<int32_t>(data.values[1]), milli);
    AppendTextField(&output, buffer);
    return r;
  }
  return {};  // nothing to read: empty output, success
}

DeviceResult DeviceOperations::DoGetTotalizer(const std::string& input, std::string& output) {
  ParamFields f(input, 3);  // TotalizerType, VatID, OptArgs
  if (DeviceResult r = RequireState(FPTR_PS_MONITOR); !r.ok()) return r;
  const int32_t type = f.Number(0);
  const int32_t opt_args = f.Number(2);
  if (opt_args != 1 && opt_args != 2) {
    return {OPOS_E_ILLEGAL, 0, "The required totalizer (optArgs) is not supported"};
  }
  if (type == 1) return {OPOS_E_ILLEGAL, 0, "TotalizerType FPTR_TT_DOCUMENT not supported"};
  if (type < 1 || type > 4) return {OPOS_E_ILLEGAL, 0, "TotalizerType is invalid"};
  const int32_t selector = type == 3 ? 2 : 1;  // receipt, else day (grand asks the same)
  int32_t vat_index = f.Number(1);
  if (vat_index == 0) vat_index = ResolveVat(0).vat_index;
  int64_t value = 0;
  DeviceResult r = Mapped(device_.ReadTotalizer(vat_index, selector, opt_args, &value));
  AppendNumberField(&output, r.ok() ? static_cast<int32_t>(value) : 0);
  return r;
}

}  // namespace kelo::device
