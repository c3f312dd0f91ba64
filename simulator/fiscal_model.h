// The printer's fiscal side: VAT table, departments, header lines, the receipt in progress,
// day totals, fiscal memory (one record per Z report), the electronic journal, reports and
// the report data the driver reads back in pieces. Everything it prints goes to the paper
// roll. Amounts are whole hundredths of the currency unit; VAT rates and percentages are
// hundredths of a percent (2200 is 22%).
//
// Every operation answers an Outcome: done, refused because of the printer's state (reply
// 0x83), or refused because of its data (reply 0x84). A refused operation changes nothing.
#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "simulator/device_profile.h"
#include "simulator/paper_roll.h"
#include "simulator/sim_clock.h"

namespace kelo::sim {

enum class Outcome { kOk, kRefused, kBadData };

// Slots 1 .. kMaxVatRates + 1 are VAT indexes; slot 0 is unused.
inline constexpr int kVatSlots = kMaxVatRates + 2;
using VatArray = std::array<int64_t, kVatSlots>;

// Document phase reported by the status query (field 3).
enum Phase : int32_t {
  kPhaseIdle = 0,
  kPhaseNonFiscal = 1,
  kPhaseSales = 2,   // sales receipt open, items being sold
  kPhaseRefund = 3,  // refund receipt open, refunds being entered
  kPhaseTotal = 6,   // total printed, nothing paid yet
  kPhasePaying = 7,  // partly paid
  kPhasePaid = 8,    // fully paid, change given: the receipt may be ended
  kPhaseVoided = 9,  // receipt voided and closed; ends with the next cut or document
};

// Adjustment codes.
inline constexpr int kAmountDiscount = 10;
inline constexpr int kAmountSurcharge = 11;
inline constexpr int kPercentDiscount = 20;
inline constexpr int kPercentSurcharge = 21;

struct ReceiptEntry {
  enum Kind {
    kSale,
    kItemVoid,
    kAdjustment,
    kAdjustmentVoid,
    kSubtotalAdjustment,
    kSubtotalAdjustmentVoid,
    kRefund,
    kRefundVoid
  };
  Kind kind = kSale;
  std::string description;
  int64_t sent = 0;        // amount, price or percentage as sent
  int32_t code = 0;        // adjustment code
  int32_t vat = 0;         // VAT index the entry went to
  int32_t department = 0;  // department a sale or refund was made on (0: by VAT index)
  int64_t quantity = 1;    // whole units of a sale (0 as sent counts as one)
  VatArray effect{};       // signed change of the receipt's amount per VAT index
  bool cancelled = false;  // voided by a later entry
};

struct Receipt {
  bool refund_document = false;
  bool training = false;
  int32_t number = 0;  // number in the day
  VatArray by_vat{};
  int64_t paid = 0;
  int64_t not_paid = 0;
  int64_t change = 0;
  int64_t refund_lines = 0;  // refund lines inside a sales receipt
  std::vector<ReceiptEntry> entries;
  int64_t Total() const;
  int64_t Remaining() const { return Total() - paid - not_paid; }
  // The goods of the receipt per VAT index: its amount less the refund lines of a sales
  // receipt (subtotal adjustments are taken on the goods, not on money handed back).
  VatArray Goods() const;
};

struct DayTotals {
  bool open = false;
  VatArray by_vat{};  // sales less refunds, gross, per VAT index
  int64_t refunds = 0;
  int64_t not_paid = 0;
  int64_t voided_amount = 0;
  int32_t fiscal_receipts = 0;  // sales receipts ended
  int32_t refund_receipts = 0;
  int32_t voided_receipts = 0;
  int32_t nonfiscal_docs = 0;
  int64_t Gross() const;
  int32_t FiscalDocuments() const { return fiscal_receipts + refund_receipts + voided_receipts; }
};

// One fiscal-memory record, written by a Z report.
struct ZRecord {
  int32_t number = 0;
  CivilTime when;
  VatArray by_vat{};
  std::array<int32_t, kVatSlots> rates{};
  int64_t gross = 0;
  int64_t refunds = 0;
  int64_t not_paid = 0;
  int32_t receipts = 0;
  int32_t refund_receipts = 0;
  int32_t voided = 0;
  int32_t nonfiscal = 0;
  int64_t grand_total = 0;  // after this Z
};

enum class DocKind : int32_t {
  kSale = 1,
  kRefund = 2,
  kVoided = 3,
  kNonFiscal = 4,
  kXReport = 5,
  kZReport = 6,
  kTraining = 7,
  kOther = 8,
};

struct JournalDoc {
  int32_t number = 0;  // journal document number, counting from 1 since the journal began
  int32_t day = 0;     // fiscal day (the number the next Z report will carry)
  CivilTime when;
  DocKind kind = DocKind::kOther;
  std::vector<std::string> lines;  // as printed (UTF-8)
};

struct HeaderLine {
  std::string text;
  int32_t attribute = 0;
};

// Everything that survives a restart of the printer (and is saved by --state).
struct FiscalState {
  std::array<int32_t, kVatSlots> rates{};
  std::vector<std::string> departments;  // record of department n at n-1
  std::vector<HeaderLine> headers;       // line n at n-1
  DayTotals day;
  int32_t last_z = 0;
  int64_t grand_total = 0;  // up to the last Z report
  int32_t restarts = 0;
  int32_t next_journal_number = 1;
  bool training = false;
  std::vector<ZRecord> fiscal_memory;
  std::deque<JournalDoc> journal;
};

class FiscalModel {
 public:
  FiscalModel(DeviceProfile& profile, PaperRoll& paper, PrinterClock& clock);

  // Logo placeholder text for the paper roll ("[logo 3: 200x80]").
  void SetLogoDescriber(std::function<std::string(int)> f) { logo_ = std::move(f); }

  // Back to factory settings: default VAT table, departments, headers; empty memory.
  void FactoryReset();
  FiscalState& state() { return state_; }
  const FiscalState& state() const { return state_; }

  // ---- Status ----
  int32_t phase() const { return phase_; }
  uint32_t flags() const;  // bit 0 fiscalized, 1 receipt open, 2 non-fiscal, 3 day open, 4 training
  bool receipt_open() const { return receipt_open_; }
  bool nonfiscal_open() const { return phase_ == kPhaseNonFiscal; }
  bool document_open() const { return receipt_open_ || phase_ == kPhaseNonFiscal; }
  const Receipt& receipt() const { return receipt_; }
  int32_t default_vat() const { return profile_.vat_rates + 1; }
  int32_t current_day() const { return state_.last_z + 1; }

  // ---- Settings ----
  Outcome SetDateTime(const CivilTime& t);
  Outcome SetDate(int year, int month, int day);
  Outcome SetTime(int hour, int minute, int second);
  Outcome SetVatRates(const std::vector<int64_t>& rates);
  Outcome SetHeaderLine(int32_t line, std::string_view text, int32_t attribute);
  Outcome SetTrainingMode(int32_t on);
  Outcome ReadDepartment(int32_t number, std::string* record) const;
  Outcome WriteDepartment(int32_t number, std::string_view record);
  // VAT index a department sells on (its field 5), or 0 for a bad department number.
  int32_t DepartmentVat(int32_t number) const;

  // ---- Fiscal receipt ----
  Outcome BeginReceipt();
  Outcome BeginRefundReceipt(std::string_view text);
  Outcome PrintText(std::string_view text);
  Outcome Sell(std::string_view description, int64_t price, int64_t quantity, int32_t vat,
               int32_t department, int64_t unit);
  Outcome VoidItem(std::string_view description, int64_t price, int64_t quantity, int32_t vat,
                   int32_t department);
  Outcome ItemAdjustment(std::string_view description, int64_t amount, int32_t code, int32_t vat,
                         int32_t department);
  Outcome ItemAdjustmentVoid(int64_t amount, int32_t code, int32_t vat, int32_t department);
  Outcome SubtotalAdjustment(std::string_view description, int64_t amount, int32_t code);
  Outcome SubtotalAdjustmentVoid(int64_t amount, int32_t code);
  Outcome Refund(std::string_view description, int64_t amount, int32_t vat, int32_t department);
  Outcome RefundVoid(std::string_view description, int64_t amount, int32_t vat, int32_t department);
  Outcome Subtotal(int64_t amount);
  Outcome Total(int64_t amount);
  Outcome Payment(std::string_view description, int64_t amount, int32_t form);
  Outcome NotPaid(std::string_view description, int64_t amount);
  Outcome EndPayment(int64_t change);
  Outcome Trailer(std::string_view text);
  Outcome VoidReceipt();
  Outcome EndReceipt();        // sales receipt
  Outcome EndRefundReceipt();  // refund receipt

  // ---- Non-fiscal document ----
  Outcome BeginNonFiscal();
  Outcome PrintNormal(int32_t station, std::string_view text);
  Outcome EndNonFiscal();

  // ---- Reports ----
  // kind 0 Z, 1 X, 2 X report data to the PC, 9 totalizer reset.
  Outcome DailyReport(std::string_view text, int32_t kind);
  Outcome FiscalMemoryReportByDate(int32_t summary, const CivilTime& from, const CivilTime& to);
  Outcome FiscalMemoryReportByNumber(int32_t summary, int32_t from, int32_t to);
  // destination 1 print, 2 to the PC; selection 0 all, 1 by date, 2 by number, 3 today;
  // type 0 every document, 1 fiscal documents only, 2 the others only.
  Outcome JournalReport(int32_t destination, int32_t selection, int32_t type, const CivilTime& from,
                        const CivilTime& to, int32_t from_number, int32_t to_number);
  // 1 VAT table, 2 departments, 3 payment forms, 4 header lines, 5 counters, 6 fiscal memory.
  Outcome RequestedReport(int32_t number);
  // Selector 0: next piece of the pending report data (the virtual ticket when none is
  // pending); selector 1: start the pending data over.
  Outcome ReadReportPiece(int32_t selector, bool* more, std::string* text);
  Outcome PrintDuplicate();
  void Cut(int32_t kind);  // 1 full, 2 partial
  void Reset();            // ResetPrinter: voids an open receipt, closes a non-fiscal document
  void PowerCycle();       // printer switched off and on again
  void PrintLogoLine(int32_t number);

  // ---- Data ----
  Outcome DataItem(int32_t item, int64_t* value) const;
  Outcome Totalizer(int32_t index, int32_t selector, int32_t kind, int64_t* value) const;
  void ZReportData(std::vector<std::string>* fields) const;
  void ZReportAmount(std::vector<std::string>* fields) const;

  // Text of the receipt in progress (or of the last one) as the virtual ticket shows it.
  std::string VirtualTicket() const;
  std::string PaymentFormName(int32_t form) const;

 private:
  Outcome CheckSale(int32_t vat, int32_t department, int32_t* resolved) const;
  // Items, item and subtotal adjustments and their voids are taken by an open sales receipt
  // and by an open refund document (a credit note lists the goods it pays back).
  bool TakesItems() const {
    return receipt_open_ && (phase_ == kPhaseSales || phase_ == kPhaseRefund);
  }
  // The newest entry of `kind` still on the receipt that a void names: what identifies it
  // for the printer (amount, VAT index or department, quantity) must match; among several
  // such entries the one with the same description is taken, else the newest.
  ReceiptEntry* FindVoidable(ReceiptEntry::Kind kind, std::string_view description, int64_t amount,
                             int32_t vat, int32_t department, int64_t quantity);
  bool ValidVat(int32_t vat) const { return vat >= 1 && vat <= default_vat(); }
  void StartDocument(DocKind kind);
  void EndDocument(DocKind kind);
  void Out(std::string_view line);           // one laid-out line (Windows-1252)
  void OutPrintLine(std::string_view line);  // a line with escape sequences
  void PrintHeader();
  void PrintVatBreakdown(const VatArray& by_vat);
  void PrintCut(int32_t kind);
  void AddEntry(ReceiptEntry e);
  std::vector<std::string> ReportLines(const std::string& title, bool z) const;
  void SetReport(std::string text);
  void CloseFiscalDocument(DocKind kind);
  std::string VatLabel(int32_t vat) const;
  std::string DocNumber() const;

  DeviceProfile& profile_;
  PaperRoll& paper_;
  PrinterClock& clock_;
  std::function<std::string(int)> logo_;
  FiscalState state_;

  int32_t phase_ = kPhaseIdle;
  bool receipt_open_ = false;
  Receipt receipt_;
  Receipt last_receipt_;
  bool have_last_receipt_ = false;
  bool duplicate_printed_ = false;
  std::vector<std::string> last_receipt_lines_;
  bool in_document_ = false;
  std::vector<std::string> doc_lines_;  // lines of the document being printed (UTF-8)
  std::string report_;                  // report data waiting to be read by the PC
  size_t report_pos_ = 0;
  bool report_active_ = false;
};

// Amount text "-12.34" of hundredths.
std::string FormatAmount(int64_t hundredths);
// Percentage text "22.00%" of hundredths of a percent.
std::string FormatPercent(int64_t hundredths);
// a * b / c rounded half away from zero (c > 0).
int64_t MulDivRound(int64_t a, int64_t b, int64_t c);
// VAT contained in a gross amount at a rate.
int64_t VatOfGross(int64_t gross, int32_t rate);

}  // namespace kelo::sim
