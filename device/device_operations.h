// The device operations: one member per OPOS method that reaches the printer. Each takes
// the method's parameter text (fields separated by 0x1F, numbers in decimal), checks the
// printer state, sends its requests through the FiscalDevice, moves PrinterState on success
// and returns a DeviceResult. Results that go back to the caller are written to output as
// fields each followed by 0x1F.
//
// The operations run on the worker thread of DeviceUnit (synchronously for the caller, or
// later from the asynchronous queue); they reach the unit's properties through UnitHost.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "device/device_command.h"
#include "device/device_result.h"
#include "device/fiscal_device.h"
#include "device/unit_host.h"

namespace kelo::device {

// What a VatInfo argument selects on the printer.
struct VatSelection {
  int32_t vat_index = 0;
  int32_t department = 0;
};

class DeviceOperations {
 public:
  DeviceOperations(FiscalDevice& device, UnitHost& host);

  // ---- Fiscal receipts ----
  DeviceResult DoBeginFiscalReceipt(const std::string& input, std::string& output);
  DeviceResult DoEndFiscalReceipt(const std::string& input, std::string& output);
  DeviceResult DoBeginRefundReceipt(const std::string& input, std::string& output);
  DeviceResult DoEndRefundReceipt(const std::string& input, std::string& output);
  DeviceResult DoPrintRecItem(const std::string& input, std::string& output);
  DeviceResult DoPrintRecItemAdjustment(const std::string& input, std::string& output);
  DeviceResult DoPrintRecItemAdjustmentVoid(const std::string& input, std::string& output);
  DeviceResult DoPrintRecItemVoid(const std::string& input, std::string& output);
  DeviceResult DoPrintRecMessage(const std::string& input, std::string& output);
  DeviceResult DoPrintRecNotPaid(const std::string& input, std::string& output);
  DeviceResult DoPrintRecRefund(const std::string& input, std::string& output);
  DeviceResult DoPrintRecRefundVoid(const std::string& input, std::string& output);
  DeviceResult DoPrintRecSubtotal(const std::string& input, std::string& output);
  DeviceResult DoPrintRecSubtotalAdjustment(const std::string& input, std::string& output);
  DeviceResult DoPrintRecVoid(const std::string& input, std::string& output);
  DeviceResult DoPrintRecVoidItem(const std::string& input, std::string& output);
  DeviceResult DoPrintRecTotal(const std::string& input, std::string& output);

  // ---- Reports, totals and data ----
  DeviceResult DoPrintXReport(const std::string& input, std::string& output);
  DeviceResult DoPrintZReport(const std::string& input, std::string& output);
  DeviceResult DoGetDate(const std::string& input, std::string& output);
  DeviceResult DoPrintDuplicateReceipt(const std::string& input, std::string& output);
  DeviceResult DoPrintReportByDate(const std::string& input, std::string& output);
  DeviceResult DoPrintReportByNumber(const std::string& input, std::string& output);
  DeviceResult DoPrintPeriodicTotalsReport(const std::string& input, std::string& output);
  DeviceResult DoGetData(const std::string& input, std::string& output);
  DeviceResult DoGetTotalizer(const std::string& input, std::string& output);

  // ---- Fiscal settings ----
  DeviceResult DoSetDate(const std::string& input, std::string& output);
  DeviceResult DoSetHeaderLine(const std::string& input, std::string& output);
  DeviceResult DoGetVatEntry(const std::string& input, std::string& output);
  DeviceResult DoBeginTraining(const std::string& input, std::string& output);
  DeviceResult DoEndTraining(const std::string& input, std::string& output);
  DeviceResult DoResetPrinter(const std::string& input, std::string& output);
  DeviceResult DoCheckHealth(const std::string& input, std::string& output);

  // ---- Non-fiscal printing ----
  DeviceResult DoBeginNonFiscal(const std::string& input, std::string& output);
  DeviceResult DoEndNonFiscal(const std::string& input, std::string& output);
  DeviceResult DoPrintNormal(const std::string& input, std::string& output);

  // ---- DirectIO ----
  // The DirectIO commands that reach the printer (directio_operations.cc); input texts as
  // BuildDirectIOInput (directio_text.h) makes them.
  DeviceResult DoDrawerOpen(const std::string& input, std::string& output);
  DeviceResult DoBmpLoad(const std::string& input, std::string& output);
  DeviceResult DoBmpErase(const std::string& input, std::string& output);
  DeviceResult DoDisplaySetMode(const std::string& input, std::string& output);
  DeviceResult DoDisplayClear(const std::string& input, std::string& output);
  DeviceResult DoDisplayPrintText(const std::string& input, std::string& output);
  DeviceResult DoDisplayBmpNow(const std::string& input, std::string& output);
  DeviceResult DoDisplayBmpLoad(const std::string& input, std::string& output);
  DeviceResult DoDisplayBmpErase(const std::string& input, std::string& output);
  DeviceResult DoDisplayBmpShow(const std::string& input, std::string& output);
  DeviceResult DoDisplayStandbyText(const std::string& input, std::string& output);
  DeviceResult DoDisplayStandbyBmp(const std::string& input, std::string& output);
  DeviceResult DoReportEj(const std::string& input, std::string& output);
  DeviceResult DoReportX(const std::string& input, std::string& output);
  DeviceResult DoReportRequest(const std::string& input, std::string& output);
  DeviceResult DoResetTotalizers(const std::string& input, std::string& output);
  DeviceResult DoSimulateKeyboard(const std::string& input, std::string& output);
  DeviceResult DoSetDeviceFlag(const std::string& input, std::string& output);
  DeviceResult DoGetVirtualTicket(const std::string& input, std::string& output);
  DeviceResult DoSetPollingTime(const std::string& input, std::string& output);
  DeviceResult DoDepartmentConfig(const std::string& input, std::string& output);
  // Where DoSetPollingTime applies the periods (the execution layer installs it); -1 keeps
  // a period as it is.
  using PollingTimesHandler =
      std::function<void(int32_t polling, int32_t after_sync, int32_t after_async)>;
  void SetPollingTimesHandler(PollingTimesHandler handler) {
    polling_handler_ = std::move(handler);
  }
  // Temporary folder of the report files; empty: $TMPDIR, else /tmp. Set before Connect.
  void SetReportTempDir(std::string dir) { report_temp_dir_ = std::move(dir); }

  // ---- Helpers shared with DeviceUnit ----
  // VatInfo to VAT index and department: 0 the default VAT index, above 10000 department
  // VatInfo - 10000 with VAT index 0, otherwise the VAT index itself.
  VatSelection ResolveVat(int32_t vat_info);
  // 0, or 114/217 "The VAT information is invalid" (see DeviceUnit::VerifyVatInfo).
  DeviceResult VerifyVatInfo(int32_t vat_info, bool allow_minus_one);
  // A device answer as an OPOS result: 0 gives success. A refusal whose cause the status
  // block shows takes its UnifiedPOS extended code (cover open 114/201, journal empty
  // 114/202, receipt empty 114/203, a printer error 114/208); anything else 106 with a text
  // naming the printer's answer. Never an empty text.
  static DeviceResult MapDeviceResult(int32_t device_result, const DeviceStatusBlock& status);
  // The same with the printer's last known status.
  DeviceResult Mapped(int32_t device_result);
  // 0, or 114/215 with a text giving the limit when an item description is longer than the
  // printer's configuration record allows (kMaxDescriptionBytes while it is unknown).
  DeviceResult DescriptionFits(std::string_view description);
  static constexpr size_t kMaxDescriptionBytes = 256;

 private:
  int32_t PrinterState();
  void SetPrinterState(int32_t state);
  // 114/207 unless PrinterState is one of the given states (-1 fills unused places).
  DeviceResult RequireState(int32_t a, int32_t b = -1, int32_t c = -1);
  // PreLine as a receipt message when not empty.
  DeviceResult PrintPreLine();
  // PostLine when the work succeeded and it is not empty; then both lines are emptied.
  DeviceResult FinishItem(DeviceResult work);
  void ClearPrePostLines();
  // Reads the receipt total and the amount remaining; closes the payment when nothing
  // remains (PrinterState FPTR_PS_FISCAL_RECEIPT_ENDING on success).
  DeviceResult CloseIfPaid();
  DeviceResult PrintFiscalMemoryReport(bool by_date, int32_t p3, const std::string& input);

  FiscalDevice& device_;
  UnitHost& host_;

  // ---- DirectIO ----
  // Graphic download of a picture file to the printer or the display.
  DeviceResult LoadGraphic(bool display, int32_t number, const std::string& path);
  // Runs one report to a file (report_files.h) with PrinterState REPORT around it.
  DeviceResult ReportToFile(int32_t mode, const std::string& path, bool skip_empty,
                            const std::function<int32_t(link::FpuProtocol&)>& start);
  PollingTimesHandler polling_handler_;
  std::string report_temp_dir_;
};

// "The Fiscal Printer’s current state does not allow this state transition" (the apostrophe
// is the Windows-1252 byte 0x92).
// getData items the printer answers: a counter read with GetDataItem of the same number, or
// a text (7 Z report, 9 printer identification, 10 firmware).
bool IsCounterDataItem(int32_t item);
bool IsTextDataItem(int32_t item);

extern const char kWrongStateText[];
extern const char kBadVatText[];

}  // namespace kelo::device
