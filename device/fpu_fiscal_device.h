// The FiscalDevice of a real (or simulated) printer: owns the protocol engine from Open to
// Close and turns each device request into one or more commands of the command set.
#pragma once
#include <atomic>
#include <memory>
#include <shared_mutex>

#include "device/fiscal_device.h"
#include "device/receipt_line_guard.h"
#include "link/fpu_protocol.h"
#include "platform/os/clock.h"

namespace kelo::device {

// Firmware version numbers up to this one need in-progress replies awaited by status query.
inline constexpr int64_t kLastPollModeFirmware = 5035000;

// Which fields of the device-information answer carry what.
//   field1: model name; field2: firmware text; field3: firmware version number (decimal
//   text, compared with kLastPollModeFirmware); field4: printer identification.
class FpuFiscalDevice : public FiscalDeviceBase {
 public:
  explicit FpuFiscalDevice(platform::Clock& clock = platform::SystemClock());
  ~FpuFiscalDevice() override;

  int32_t Open() override;
  void Close() override;
  int32_t ReadConfiguration(ConfigRecord* out) override;
  int32_t Probe() override;
  void RefreshStatus() override;
  void PrinterAnswered() override;
  void SetLinkTrace(std::function<void(std::string_view line)> sink) override;
  void ArmReceiptGuard(bool on) override { guard_.Arm(on); }
  void NewGuardedCommand() override { guard_.NewCommand(); }
  void CancelExchanges(bool cancel) override;
  bool LinkLost() override;
  int32_t ReopenLink() override;
  std::string LinkPeer() override;
  void ForgetPendingLine() override { guard_.Forget(); }
  ReceiptLineGuard::Counters guard_counters() const { return guard_.counters(); }

  int32_t OpenReceipt(std::string_view header) override;
  int32_t OpenRefundReceipt(std::string_view document, std::string_view header) override;
  int32_t CloseReceipt(std::string_view trailer) override;
  int32_t CloseRefundReceipt(std::string_view trailer) override;
  int32_t SellItem(std::string_view description, int64_t price, int64_t quantity, int32_t vat_index,
                   int32_t department, int64_t unit_price) override;
  int32_t PrintMessage(std::string_view text) override;
  int32_t ItemAdjustment(int32_t code, std::string_view description, int64_t amount,
                         int32_t vat_index, int32_t department) override;
  int32_t SubtotalAdjustment(int32_t code, std::string_view description, int64_t amount) override;
  int32_t ItemAdjustmentVoid(int32_t code, int64_t amount, int32_t vat_index,
                             int32_t department) override;
  int32_t VoidItem(std::string_view description, int64_t price, int64_t quantity, int32_t vat_index,
                   int32_t department) override;
  int32_t Refund(std::string_view description, int64_t amount, int32_t vat_index,
                 int32_t department) override;
  int32_t RefundVoid(std::string_view description, int64_t amount, int32_t vat_index,
                     int32_t department) override;
  int32_t Subtotal(int64_t amount) override;
  int32_t Total(int64_t amount) override;
  int32_t Payment(std::string_view description, int64_t amount, int32_t form) override;
  int32_t NotPaid(std::string_view description, int64_t amount) override;
  int32_t ClosePayment(int64_t change) override;
  int32_t VoidReceipt() override;
  int32_t ReadReceiptAmount(int32_t which, int64_t* value) override;
  bool KnownAmountRemaining(int64_t* value) override;

  int32_t SetDateAndTime(const link::FpuDateTime& date_time) override;
  int32_t SetHeaderLine(int32_t line, std::string_view text, int32_t attribute) override;
  int32_t ReadVatRate(int32_t vat_index, int32_t* rate) override;
  int32_t WriteVatTable(const std::vector<int32_t>& rates) override;
  int32_t SetTrainingMode(bool on) override;
  int32_t ResetPrinter() override;
  int32_t HealthCheck() override;

  int32_t BeginNonFiscal() override;
  int32_t EndNonFiscal() override;
  int32_t PrintNormal(int32_t station, std::string_view text, size_t max_lines) override;
  int32_t PrintBarcodeLine(int32_t station, std::string_view data, int32_t type) override;
  int32_t PrintLogoLine(int32_t station, int32_t logo, int32_t attribute) override;

  int32_t PrintDailyReport(int32_t kind) override;
  int32_t ReadDateTime(link::FpuDateTime* date_time) override;
  int32_t PrintDuplicate(int32_t value) override;
  int32_t FiscalMemoryReportByDate(int32_t p1, int32_t p3, const link::FpuDateTime& from,
                                   const link::FpuDateTime& to) override;
  int32_t FiscalMemoryReportByNumber(int32_t p1, int32_t p3, int32_t from, int32_t to) override;
  int32_t ReadDataItem(int32_t item, int64_t* value) override;
  int32_t ReadTotalizer(int32_t vat_index, int32_t selector, int32_t kind, int64_t* value) override;
  int32_t ReadZReportAmount(int64_t* number, std::string* text, double* amount) override;
  int32_t ReadZReportData(link::FpuZReportData* data) override;

  int32_t ReadModelName(std::string* name) override;
  int32_t ReadFirmwareText(std::string* text) override;
  int32_t ReadPrinterId(std::string* text) override;
  int32_t SetDeviceFlag(int32_t flag) override;

  // ---- DirectIO ----
  int32_t WithProtocol(const std::function<int32_t(link::FpuProtocol&)>& fn) override;

  // True once the firmware version has been read and the poll mode chosen from it.
  bool firmware_checked() const;
  // Reads the firmware version and switches the engine's poll mode for old firmware. Open
  // does it; the worker repeats it when the printer first answers if Open could not.
  int32_t CheckFirmware();

 private:
  // Runs fn with the engine under the shared engine lock, then refreshes the status block
  // from the engine's last response. 106 (no answer) when no engine is running.
  template <typename Fn>
  int32_t Command(Fn&& fn);
  // A receipt line sent through the guard (line: its key and its effect on the amount).
  template <typename Fn>
  int32_t GuardedLine(ReceiptLineGuard::Line line, Fn&& fn);
  // A command that opens, ends or voids a receipt or its payment: a pending guarded line is
  // no longer the last thing asked for.
  template <typename Fn>
  int32_t StructuralCommand(Fn&& fn);
  int32_t ReadDeviceInfo(link::FpuDeviceInfo* info);
  // Lines of text, one PrintReceiptText or PrintTrailerText each, stopping at a failure.
  int32_t SendReceiptLines(link::FpuProtocol& engine, std::string_view text, bool trailer);
  void RefreshFrom(link::FpuProtocol& engine);

  platform::Clock& clock_;
  // Guards the engine's existence: Open and Close hold it exclusively; every command holds
  // it shared (the engine itself serialises the commands of several threads).
  mutable std::shared_mutex engine_mu_;
  std::unique_ptr<link::FpuProtocol> engine_;
  std::atomic<bool> firmware_checked_{false};
  // The traffic trace sink, handed to every engine Open creates (under engine_mu_).
  std::function<void(std::string_view)> link_trace_;
  ReceiptLineGuard guard_;
  // CancelExchanges' setting, applied to every engine Open creates.
  std::atomic<bool> cancel_{false};
};

}  // namespace kelo::device
