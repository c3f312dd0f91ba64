// The printer as the device operations see it: one object per unit with one operation per
// printer request. Every operation answers a link result code (0 = done); the device
// operations map anything else to 106. Operations that send a command refresh the status
// block from the last response afterwards.
//
// FiscalDevice is the interface (tests script it); FiscalDeviceBase holds the attached port,
// the status block and the configuration record; FpuFiscalDevice talks to a real printer
// through the protocol engine.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_status_block.h"
#include "link/fpu_frame.h"
#include "link/fpu_protocol.h"
#include "link/serial_port.h"

namespace kelo::device {

// The printer's configuration record, read once per claim.
struct ConfigRecord {
  bool valid = false;
  int32_t num_vat_rates = 0;                    // value 1
  int32_t default_vat_index = 1;                // value 1 plus one
  int32_t num_departments = 0;                  // value 2
  int32_t message_length = 0;                   // value 3
  int32_t length4 = 0;                          // value 4
  int32_t length5 = 0;                          // value 5
  int32_t num_header_lines = 0;                 // value 9
  int32_t num_trailer_lines = 0;                // value 10
  int32_t num_payment_lines = 0;                // value 12
  std::vector<std::string> payment_line_names;  // "sample pay N%02d"
  // Printer image limits (values 13/15 and 14/16, the second replaced by the first when 0).
  std::array<int32_t, 2> printer_image_width{};
  std::array<int32_t, 2> printer_image_height{};
  // Display image limits from the four numbers of the second information record.
  std::array<int32_t, 2> display_image_width{};
  std::array<int32_t, 2> display_image_height{};
  std::array<int32_t, 2> constants{3, 12};
  std::array<int32_t, 16> info1{};  // all sixteen values, 6, 7, 8 and 11 included
  std::string info2_text;
};

// Builds the record from the sixteen values of the first and the four of the second
// information record.
ConfigRecord MakeConfigRecord(const std::array<int32_t, 16>& info1,
                              const std::array<int32_t, 4>& info2, const std::string& info2_text);

// Which receipt amount ReadReceiptAmount asks for (the data-item number sent).
inline constexpr int32_t kAmountRemaining = 0;
inline constexpr int32_t kAmountReceiptTotal = 1;

class FiscalDevice {
 public:
  virtual ~FiscalDevice() = default;

  // ---- Connection and status ----
  virtual void AttachPort(link::SerialPort* port) = 0;
  // Creates and starts the protocol engine on the attached port and checks the firmware.
  virtual int32_t Open() = 0;
  virtual void Close() = 0;
  // Reads the configuration record; the copy kept by the device is updated on success.
  virtual int32_t ReadConfiguration(ConfigRecord* out) = 0;
  virtual ConfigRecord Configuration() = 0;
  virtual DeviceStatusBlock CopyStatus() = 0;
  // Status query: 106 when the printer does not answer, else the query's result.
  virtual int32_t Probe() = 0;
  virtual void RefreshStatus() = 0;
  // Called by the worker thread when the printer answers its first probe (Open may have
  // found it silent).
  virtual void PrinterAnswered() {}
  // Receives one line per frame sent and received ("CMD  * ..." / "RESP * ..."); an empty
  // function switches the traffic trace off. Devices without a link ignore it.
  virtual void SetLinkTrace(std::function<void(std::string_view line)> sink) { (void)sink; }
  // While armed, every receipt line is guarded against being done twice after a lost answer
  // (receipt_line_guard.h); the printer is read only after a lost answer or a line whose
  // effect only it knows. The asynchronous queue arms it around its commands. A device
  // without a line to lose answers on may ignore it.
  virtual void ArmReceiptGuard(bool on) { (void)on; }
  // The asynchronous queue starts its next operation (not a retry of the last one): lines
  // the last one got done may be sent again.
  virtual void NewGuardedCommand() {}
  // ---- The line ----
  // True when the serial port's descriptor is dead (an unplugged adapter, a printer program
  // that ended): every command then answers 106 at once, without waiting.
  virtual bool LinkLost() { return false; }
  // Reopens the port's path while no command runs. 0 once it is open again; 106 while the
  // path cannot be opened.
  virtual int32_t ReopenLink() { return link::LINK_E_TIMEOUT; }
  // The peer of a network port ("192.0.2.7:4001"); empty for a serial line.
  virtual std::string LinkPeer() { return {}; }
  // The printer came back without the receipt a pending guarded line belonged to (it was
  // restarted): that line can no longer be found done, so it is forgotten.
  virtual void ForgetPendingLine() {}
  // true: the exchange in progress (on any thread) and all later ones end at once with 106,
  // so that stopping the worker does not wait out a silent printer; false: exchanges go out
  // again. Kept across Open, so a stop requested before the worker opened the line holds.
  virtual void CancelExchanges(bool cancel) { (void)cancel; }

  // ---- Receipts ----
  virtual int32_t OpenReceipt(std::string_view header) = 0;
  virtual int32_t OpenRefundReceipt(std::string_view document, std::string_view header) = 0;
  virtual int32_t CloseReceipt(std::string_view trailer) = 0;
  virtual int32_t CloseRefundReceipt(std::string_view trailer) = 0;
  virtual int32_t SellItem(std::string_view description, int64_t price, int64_t quantity,
                           int32_t vat_index, int32_t department, int64_t unit_price) = 0;
  virtual int32_t PrintMessage(std::string_view text) = 0;
  // code: 10, 11, 20 or 21.
  virtual int32_t ItemAdjustment(int32_t code, std::string_view description, int64_t amount,
                                 int32_t vat_index, int32_t department) = 0;
  virtual int32_t SubtotalAdjustment(int32_t code, std::string_view description,
                                     int64_t amount) = 0;
  virtual int32_t ItemAdjustmentVoid(int32_t code, int64_t amount, int32_t vat_index,
                                     int32_t department) = 0;
  virtual int32_t VoidItem(std::string_view description, int64_t price, int64_t quantity,
                           int32_t vat_index, int32_t department) = 0;
  virtual int32_t Refund(std::string_view description, int64_t amount, int32_t vat_index,
                         int32_t department) = 0;
  virtual int32_t RefundVoid(std::string_view description, int64_t amount, int32_t vat_index,
                             int32_t department) = 0;
  virtual int32_t Subtotal(int64_t amount) = 0;
  virtual int32_t Total(int64_t amount) = 0;
  virtual int32_t Payment(std::string_view description, int64_t amount, int32_t form) = 0;
  virtual int32_t NotPaid(std::string_view description, int64_t amount) = 0;
  virtual int32_t ClosePayment(int64_t change) = 0;
  virtual int32_t VoidReceipt() = 0;
  // which: kAmountReceiptTotal or kAmountRemaining.
  virtual int32_t ReadReceiptAmount(int32_t which, int64_t* value) = 0;
  // The amount still to pay when the device knows it without asking the printer (from the
  // printer's last figure and the lines acknowledged since); false when it does not.
  virtual bool KnownAmountRemaining(int64_t* value) {
    (void)value;
    return false;
  }

  // ---- Settings ----
  // Date first; the time is not sent when the date failed.
  virtual int32_t SetDateAndTime(const link::FpuDateTime& date_time) = 0;
  // Sends the attribute's prefix followed by text, with attribute field 0.
  virtual int32_t SetHeaderLine(int32_t line, std::string_view text, int32_t attribute) = 0;
  virtual int32_t ReadVatRate(int32_t vat_index, int32_t* rate) = 0;
  // 105 when given fewer rates than the printer has VAT indexes.
  virtual int32_t WriteVatTable(const std::vector<int32_t>& rates) = 0;
  virtual int32_t SetTrainingMode(bool on) = 0;
  virtual int32_t ResetPrinter() = 0;
  virtual int32_t HealthCheck() = 0;

  // ---- Non-fiscal printing ----
  virtual int32_t BeginNonFiscal() = 0;
  virtual int32_t EndNonFiscal() = 0;
  // One line per piece of text (at most max_lines), stopping at the first failure; the
  // status block is refreshed once at the end.
  virtual int32_t PrintNormal(int32_t station, std::string_view text, size_t max_lines) = 0;
  virtual int32_t PrintBarcodeLine(int32_t station, std::string_view data, int32_t type) = 0;
  virtual int32_t PrintLogoLine(int32_t station, int32_t logo, int32_t attribute) = 0;

  // ---- Reports and data ----
  virtual int32_t PrintDailyReport(int32_t kind) = 0;
  virtual int32_t ReadDateTime(link::FpuDateTime* date_time) = 0;
  virtual int32_t PrintDuplicate(int32_t value) = 0;
  virtual int32_t FiscalMemoryReportByDate(int32_t p1, int32_t p3, const link::FpuDateTime& from,
                                           const link::FpuDateTime& to) = 0;
  virtual int32_t FiscalMemoryReportByNumber(int32_t p1, int32_t p3, int32_t from, int32_t to) = 0;
  virtual int32_t ReadDataItem(int32_t item, int64_t* value) = 0;
  // selector: 0 VAT rate, 1 day, 2 receipt.
  virtual int32_t ReadTotalizer(int32_t vat_index, int32_t selector, int32_t kind,
                                int64_t* value) = 0;
  virtual int32_t ReadZReportAmount(int64_t* number, std::string* text, double* amount) = 0;
  virtual int32_t ReadZReportData(link::FpuZReportData* data) = 0;

  // ---- Identification ----
  virtual int32_t ReadModelName(std::string* name) = 0;
  virtual int32_t ReadFirmwareText(std::string* text) = 0;
  virtual int32_t ReadPrinterId(std::string* text) = 0;
  virtual int32_t SetDeviceFlag(int32_t flag) = 0;

  // ---- DirectIO ----
  // Runs fn on the protocol engine and refreshes the status block from its last response:
  // the DirectIO operations (drawer, graphics, display, report data, keys, departments) send
  // their commands themselves. Answers 106 (no answer) for a device without an engine.
  virtual int32_t WithProtocol(const std::function<int32_t(link::FpuProtocol&)>& fn) {
    (void)fn;
    return link::LINK_E_TIMEOUT;
  }
  // The printer's copy of the receipt being printed (the virtual ticket): report data part 0,
  // read piece by piece through WithProtocol. More than kMaxVirtualTicketBytes is a printer
  // that never ends: 105.
  virtual int32_t ReadVirtualTicket(std::string* text);
};

inline constexpr int32_t kVirtualTicketSelector = 0;
inline constexpr size_t kMaxVirtualTicketBytes = 1024 * 1024;

// Reads the virtual ticket piece by piece on an engine the caller holds (see
// ReadVirtualTicket); *text is written only when every piece was read.
int32_t ReadVirtualTicketFrom(link::FpuProtocol& engine, std::string* text);

// Holds what every implementation shares: the port, the status block and the configuration
// record, all of which the worker thread and callers' threads touch.
class FiscalDeviceBase : public FiscalDevice {
 public:
  void AttachPort(link::SerialPort* port) override;
  DeviceStatusBlock CopyStatus() override;
  ConfigRecord Configuration() override;

 protected:
  link::SerialPort* port();
  void StoreProbeAnswer(uint32_t flags, int32_t phase);
  void StoreProbeUnanswered();
  void StoreLastStatus(int32_t fatal_code, uint32_t status_word);
  void StoreConfiguration(const ConfigRecord& record);

 private:
  // Guards port_, status_ and config_: commands refresh the block on whichever thread sent
  // them (worker or caller), and readers copy it from any thread. Held only for copies.
  std::mutex state_mu_;
  link::SerialPort* port_ = nullptr;
  DeviceStatusBlock status_;
  ConfigRecord config_;
};

}  // namespace kelo::device
