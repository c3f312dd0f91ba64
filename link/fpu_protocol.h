// The printer's command set on top of the exchange engine: one operation per command, each
// building its payload fields in a fixed order, running Execute and reading fields back.
//
// Every operation answers a link result code (LINK_OK, LINK_E_...); outputs are written only
// when the answer is LINK_OK. Amounts, quantities and indexes go out as plain decimals in the
// unit the caller chose.
#pragma once
#include <array>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/fpu_channel.h"
#include "link/fpu_frame.h"

namespace kelo::link {

inline constexpr uint32_t kBusyPauseMs = 250;      // pause after a busy reply
inline constexpr uint32_t kProgressPauseMs = 250;  // pause between in-progress checks
inline constexpr int kBusyAttempts = 3;
inline constexpr size_t kParametersPerCommand = 3;

// Opcodes.
inline constexpr uint8_t kOpPrinterGraphic = 0x41;  // 'A'
inline constexpr uint8_t kOpSetDateTime = 0x44;
inline constexpr uint8_t kOpPrintDailyReport = 0x45;
inline constexpr uint8_t kOpSetVatRates = 0x46;
inline constexpr uint8_t kOpSetDate = 0x47;
inline constexpr uint8_t kOpSetTime = 0x48;
inline constexpr uint8_t kOpSetHeaderLine = 0x49;
inline constexpr uint8_t kOpReadReportLine = 0x4A;
inline constexpr uint8_t kOpBeginFiscalReceipt = 0x4B;
inline constexpr uint8_t kOpEndFiscalReceipt = 0x4C;
inline constexpr uint8_t kOpReceipt = 0x4D;  // 'M', sub-code first
inline constexpr uint8_t kOpBeginRefundReceipt = 0x4E;
inline constexpr uint8_t kOpEndRefundReceipt = 0x4F;
inline constexpr uint8_t kOpBeginNonFiscal = 0x50;
inline constexpr uint8_t kOpEndNonFiscal = 0x51;
inline constexpr uint8_t kOpPrintNormalLine = 0x52;
inline constexpr uint8_t kOpSetTrainingMode = 0x53;
inline constexpr uint8_t kOpDisplay = 0x54;  // 'T', sub-code first
inline constexpr uint8_t kOpJournalReport = 0x55;
inline constexpr uint8_t kOpRequestedReport = 0x56;
inline constexpr uint8_t kOpResetPrinter = 0x57;
inline constexpr uint8_t kOpHealthCheck = 0x58;
inline constexpr uint8_t kOpGetDataItem = 0x59;
inline constexpr uint8_t kOpGetTotalizer = 0x5A;
inline constexpr uint8_t kOpCommand5B = 0x5B;
inline constexpr uint8_t kOpCutPaper = 0x5C;
inline constexpr uint8_t kOpOpenDrawer = 0x5D;
inline constexpr uint8_t kOpPrintDuplicate = 0x5E;
inline constexpr uint8_t kOpFiscalMemoryReport = 0x5F;
inline constexpr uint8_t kOpReadParameters = 0x60;
inline constexpr uint8_t kOpWriteParameters = 0x61;
inline constexpr uint8_t kOpSimulateKey = 0x62;
inline constexpr uint8_t kOpGetDeviceInfo = 0x64;
inline constexpr uint8_t kOpWriteDeviceFlag = 0x65;
inline constexpr uint8_t kOpReadZReportData = 0x66;
inline constexpr uint8_t kOpReadZReportAmount = 0x67;

// Sub-codes of the receipt opcode 0x4D.
inline constexpr char kSubPrintReceiptText = ' ';
inline constexpr char kSubSellItem = '!';
inline constexpr char kSubVoidItem = '"';
inline constexpr char kSubVoidReceipt = '#';
inline constexpr char kSubTotal = '$';
inline constexpr char kSubItemAdjustment = '%';
inline constexpr char kSubItemAdjustmentVoid = '&';
inline constexpr char kSubNotPaid = '\'';
inline constexpr char kSubPayment = '(';
inline constexpr char kSubSubtotal = ')';
inline constexpr char kSubEndPayment = '*';
inline constexpr char kSubRefund = '+';
inline constexpr char kSubRefundVoid = ',';
inline constexpr char kSubPrintTrailerText = '-';
inline constexpr char kSubSubtotalAdjustment = '.';
inline constexpr char kSubSubtotalAdjustmentVoid = '/';
// Selectors of the printer-graphics opcode 0x41.
inline constexpr char kSubPrinterGraphicBegin = '0';
inline constexpr char kSubPrinterGraphicRow = '1';
inline constexpr char kSubPrinterGraphicErase = '2';
// Sub-codes of the display opcode 0x54.
inline constexpr char kSubDisplaySetVideoMode = ' ';
inline constexpr char kSubDisplayClear = '!';
inline constexpr char kSubDisplayText = '"';
inline constexpr char kSubDisplayGraphicBegin = '#';
inline constexpr char kSubDisplayGraphicRow = '$';
inline constexpr char kSubDisplayGraphicErase = '%';
inline constexpr char kSubDisplayGraphicShow = '&';
inline constexpr char kSubDisplayStandbyText = '\'';
inline constexpr char kSubDisplayStandbyGraphic = '(';

// One entry of ReadParameters: parameter number and its text (for example a department).
struct FpuParameterQuery {
  int32_t number = 0;
  std::string text;
};

// One entry of the pending-parameter list (WriteParameters).
struct FpuPendingParameter {
  int32_t number = 0;
  std::string first;
  std::string second;
};

// GetDeviceInfo (selector 0): field 0 decimal, fields 1 to 5 text (field 5 upper-cased),
// field 6 decimal, field 7 text. field3 carries the firmware version number.
struct FpuDeviceInfo {
  int32_t field0 = 0;
  std::string field1;
  std::string field2;
  std::string field3;
  std::string field4;
  std::string field5;
  int32_t field6 = 0;
  std::string field7;
};

// ReadZReportData: field 0, the date (all zero when field 0 is 0), fields 2 to 7.
struct FpuZReportData {
  int64_t number = 0;
  FpuDateTime date;
  std::array<int64_t, 6> values{};  // fields 2 to 7
};

class FpuProtocol : public FpuChannel {
 public:
  explicit FpuProtocol(platform::Clock& clock = platform::SystemClock());
  ~FpuProtocol() override;

  // ---- The single way to the printer ----
  // Sends command and awaits its answer under the command lock: busy retries, in-progress
  // wait, reply-code mapping.
  int32_t Execute(FpuCommand& command, FpuResponse* response);
  // The current job number; advances '0'..'9' and wraps.
  int32_t NextJob();

  // ---- General and device commands ----
  // Field 0 date and field 1 time into date_time; field 2 hex state flags; field 3 phase.
  int32_t QueryStatus(FpuDateTime* date_time, uint32_t* flags, int32_t* phase);
  int32_t SetDateTime(const FpuDateTime& date_time);
  int32_t PrintDailyReport(std::string_view text, int32_t kind);
  int32_t SetVatRates(std::span<const int32_t> rates);
  int32_t SetDate(const FpuDateTime& date);
  int32_t SetTime(const FpuDateTime& time);
  int32_t SetHeaderLine(int32_t line, std::string_view text, int32_t attribute);
  int32_t ReadReportLine(int32_t selector, int32_t* value, std::string* text);
  int32_t BeginFiscalReceipt();
  int32_t EndFiscalReceipt();
  int32_t BeginRefundReceipt(std::string_view text);
  int32_t EndRefundReceipt();
  int32_t BeginNonFiscal();
  int32_t EndNonFiscal();
  int32_t PrintNormalLine(int32_t station, std::string_view line);
  int32_t SetTrainingMode(int32_t mode);
  // destination 1 prints, 2 sends to the PC; the other fields in wire order.
  int32_t JournalReport(int32_t destination, int32_t p2, int32_t p3, const FpuDateTime& from,
                        const FpuDateTime& to, int32_t p6, int32_t p7);
  int32_t RequestedReport(int32_t report);
  int32_t ResetPrinter();
  int32_t HealthCheck();
  int32_t GetDataItem(int32_t item, int64_t* value);
  int32_t GetTotalizer(int32_t index, int32_t selector, int32_t kind, int64_t* value);
  int32_t Command5B(int32_t p1, int32_t p2);
  // Sends 2 for a percentage of 90 or less, else 1.
  int32_t CutPaper(int32_t percentage);
  int32_t OpenDrawer();
  int32_t PrintDuplicate(int32_t value);
  // Fields: p1, 1, p3, from date, to date.
  int32_t PrintFiscalMemoryReportByDate(int32_t p1, int32_t p3, const FpuDateTime& from,
                                        const FpuDateTime& to);
  // Fields: p1, 2, p3, from number, to number.
  int32_t PrintFiscalMemoryReportByNumber(int32_t p1, int32_t p3, int32_t from, int32_t to);
  // One command per group of three entries; values gets every third reply field (2, 5, 8..)
  // of every group in order. Answers the first failure.
  int32_t ReadParameters(std::span<const FpuParameterQuery> queries,
                         std::vector<std::string>* values);
  // One command per group of three entries; every group is sent; answers the last result.
  int32_t WriteParameters(std::span<const FpuPendingParameter> parameters);
  // One command per key code, all sent even after a failure; answers the last result, and
  // LINK_E_PROTOCOL for no keys.
  int32_t SimulateKey(std::span<const int32_t> keys);
  int32_t GetDeviceInfo(FpuDeviceInfo* info);                                 // at least 8 fields
  int32_t GetDeviceInfo1(std::array<int32_t, 16>* values);                    // at least 16 fields
  int32_t GetDeviceInfo2(std::string* text, std::array<int32_t, 4>* values);  // 5 fields
  int32_t WriteDeviceFlag(int32_t flag);                                      // low 8 bits
  int32_t ReadZReportData(FpuZReportData* data);
  int32_t ReadZReportAmount(int64_t* number, std::string* text, double* amount);
  // "OOPP...": opcode from the first two hex digits, one payload byte from the next two.
  // Fewer than four hex digits or a non-hex character among them: LINK_E_PROTOCOL, nothing
  // sent. reply gets the whole response payload.
  int32_t SendRawCommand(std::string_view hex, std::string* reply);

  // ---- Pending parameters (filled and flushed by one thread) ----
  void ClearPendingParameters();
  void AddPendingParameter(int32_t number, std::string_view first, std::string_view second);
  int32_t FlushPendingParameters();  // the list is kept
  const std::vector<FpuPendingParameter>& pending_parameters() const { return pending_; }

  // ---- Receipt operations (opcode 0x4D) ----
  int32_t PrintReceiptText(std::string_view text);
  int32_t SellItem(std::string_view description, int64_t price, int64_t quantity, int32_t vat_index,
                   int32_t department, int64_t unit_value);
  int32_t VoidItem(std::string_view description, int64_t price, int64_t quantity, int32_t vat_index,
                   int32_t department);
  int32_t VoidReceipt();
  int32_t Total(int64_t amount);
  int32_t ItemAdjustment(std::string_view description, int64_t amount, int32_t kind,
                         int32_t vat_index, int32_t department);
  int32_t ItemAdjustmentVoid(int64_t amount, int32_t kind, int32_t vat_index, int32_t department);
  int32_t NotPaid(std::string_view description, int64_t amount);
  int32_t Payment(std::string_view description, int64_t amount, int32_t form);
  int32_t Subtotal(int64_t amount);
  int32_t EndPayment(int64_t change);
  int32_t Refund(std::string_view description, int64_t amount, int32_t vat_index,
                 int32_t department);
  int32_t RefundVoid(std::string_view description, int64_t amount, int32_t vat_index,
                     int32_t department);
  int32_t PrintTrailerText(std::string_view text);
  int32_t SubtotalAdjustment(std::string_view description, int64_t amount, int32_t kind);
  int32_t SubtotalAdjustmentVoid(int64_t amount, int32_t kind);

  // ---- Printer graphics (0x41) and customer display (0x54) ----
  int32_t PrinterGraphicBegin(int32_t graphic, int32_t rows);
  int32_t PrinterGraphicRow(std::span<const uint8_t> row);
  int32_t PrinterGraphicErase(int32_t graphic);
  int32_t DisplaySetVideoMode(int32_t mode);
  int32_t DisplayClear();
  int32_t DisplayText(int32_t line, std::string_view text);
  int32_t DisplayGraphicBegin(int32_t graphic, int32_t rows);
  int32_t DisplayGraphicRow(std::span<const uint8_t> row);
  int32_t DisplayGraphicErase(int32_t graphic);
  int32_t DisplayGraphicShow(int32_t p1, int32_t p2, std::string_view text, int32_t p4);
  int32_t DisplayStandbyText(std::string_view text);
  int32_t DisplayStandbyGraphic(int32_t p1, int32_t p2, std::string_view text, int32_t p4);

 private:
  int32_t ExecuteLocked(FpuCommand& command, FpuResponse* response);
  // The wait for an in-progress command; *aborted when the status word ended it.
  int32_t AwaitProgress(FpuCommand& command, FpuResponse* response, bool* aborted);

  // Command lock: one Execute at a time (held across its retries and pauses). The send lock
  // of FpuChannel is taken inside it.
  std::mutex command_lock_;
  std::vector<FpuPendingParameter> pending_;
};

}  // namespace kelo::link
