// The FiscalPrinter control object: the API a Linux point-of-sale application links against.
//
// It plays the part of the standard OPOS FiscalPrinter control object (UnifiedPOS 1.11):
// one C++ method per published FiscalPrinter method, one accessor per property, and the four
// events as callbacks. It reaches the service object (for this device class libsoKeloFpu.so)
// only at run time through the automation layer:
//
//   Open("KeloFPU") reads the device key
//     HKEY_LOCAL_MACHINE\SOFTWARE\OLEforRetail\ServiceOPOS\FiscalPrinter\KeloFPU
//   of the configuration store (platform/registry/config_store.h, $OPOS_REGISTRY or
//   /etc/opos/registry.reg), takes its default value as the program identifier, creates that
//   component, resolves the service methods by name once and calls OpenService. Every later
//   method is a call by name on the service object; properties are read and written by their
//   OPOS index through GetPropertyNumber/GetPropertyString/SetPropertyNumber/SetPropertyString.
//
// Before Open succeeds, and after Close, the object behaves as a closed control: State is 1
// (OPOS_S_CLOSED), every method returns 101 (OPOS_E_CLOSED), property reads return 0, false or
// "" and property writes are refused with ResultCode 101.
//
// Results: every method returns the OPOS result code; ResultCode(), ResultCodeExtended() and
// ErrorString() then describe it (read from the service object while open).
//
// Text is UTF-8 in both directions. Amounts are Currency values (OPOS currency: the amount
// times 10000, so Currency(15000) is 1.50). Quantities are whole units (QuantityDecimalPlaces
// is 0; 0 means one unit). VatInfo is a VAT index the printer holds (1 to NumVatRates, and
// the printer's exempt index after them); item sales also
// take -1 (the item's own rate). Methods marked [queued] are put in the output queue when
// AsyncMode is true (their result then only says whether the call was accepted; the outcome
// arrives as OutputCompleteEvent or ErrorEvent); all others run before they return.
//
// Every method returns the OPOS result code; the results are [[nodiscard]]: a caller that
// really does not care says so with (void).
//
// Threads: the methods and accessors are meant for one application thread (they are not
// synchronised against each other). Event handlers run where the EventDispatcher of the
// options puts them (event_dispatcher.h); the default runs them on the service object's event
// thread. Handlers may call back into this object only if the dispatcher runs them on the
// application's thread.
#pragma once
#include <concepts>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "control/event_dispatcher.h"
#include "opos/opos_constants.h"

namespace kelo::automation {
class IDispatch;
template <typename T>
class ComPtr;
struct CreateResult;
}  // namespace kelo::automation

namespace kelo::control {

// An OPOS currency amount: the value times 10000 (four implied decimals), so Currency(15000)
// is 1.50. Construction is explicit and takes whole numbers only: an amount cannot be passed
// where a count is expected (or the other way round), and 1.20 cannot silently become 1 or 0.
struct Currency {
  constexpr Currency() = default;
  constexpr explicit Currency(int64_t fixed_point) : value(fixed_point) {}
  template <std::floating_point F>
  explicit Currency(F) = delete;
  int64_t value = 0;
  friend constexpr bool operator==(Currency, Currency) = default;
};

// The service methods, by their name in opos/methods.def.
enum class ServiceMethod : int;

// Creates the service object for a program identifier. The default calls
// kelo::automation::CreateInstanceByProgId on the options' configuration file; tests and
// embedders may create the component in another way.
using ServiceFactory = std::function<automation::CreateResult(
    const std::string& prog_id, automation::ComPtr<automation::IDispatch>* out)>;

struct FiscalPrinterOptions {
  // Configuration file holding the device keys and the class registration; "" = the default
  // of platform::ConfigStore.
  std::string registry_file;
  // Where event handlers run; null = DirectDispatcher.
  std::shared_ptr<EventDispatcher> dispatcher;
  // How the service object is created; empty = the automation loader.
  ServiceFactory service_factory;
};

// Handlers of the four events. The control object answers the service object with what an
// ErrorEvent handler leaves in `response` (preset by the service object, usually
// OPOS_ER_CLEAR) and with what a DirectIOEvent handler leaves in `data` and `text`; the
// service object's event thread waits for these two handlers to return.
using StatusUpdateHandler = std::function<void(int32_t data)>;
using OutputCompleteHandler = std::function<void(int32_t output_id)>;
using ErrorHandler = std::function<void(int32_t result_code, int32_t result_code_extended,
                                        int32_t error_locus, int32_t& response)>;
using DirectIOHandler = std::function<void(int32_t event_number, int32_t& data, std::string& text)>;

class FiscalPrinter {
 public:
  // The value this control object reports as ControlObjectVersion (release 1.11.000).
  static constexpr int32_t kControlObjectVersion = 1011000;

  explicit FiscalPrinter(FiscalPrinterOptions options = {});
  // Closes the service object if it is still open. Handlers queued to the application's thread
  // that have not started yet are dropped; with the direct dispatcher, a handler already
  // running on the service object's thread finishes while the service object closes (closing
  // waits for its delivery thread).
  ~FiscalPrinter();
  FiscalPrinter(const FiscalPrinter&) = delete;
  FiscalPrinter& operator=(const FiscalPrinter&) = delete;
  // Moving hands the open service object, handlers and results over; the object moved from
  // may only be destroyed or assigned to. Assigning closes what this object had open.
  FiscalPrinter(FiscalPrinter&& other) noexcept;
  FiscalPrinter& operator=(FiscalPrinter&& other) noexcept;

  // Event handlers; may be set or replaced at any time (an empty function removes one).
  void SetStatusUpdateHandler(StatusUpdateHandler handler);
  void SetOutputCompleteHandler(OutputCompleteHandler handler);
  void SetErrorHandler(ErrorHandler handler);
  void SetDirectIOHandler(DirectIOHandler handler);

  // ---- Common methods ----------------------------------------------------------------------
  // Opens the device of that name. Failures: 106 when already open; 109 when the device key
  // does not exist; 104 when the key names no creatable service object or the object lacks a
  // service method; otherwise the result of the service object's OpenService. OpenResult()
  // tells which step failed and, while closed, ErrorString() says why.
  [[nodiscard]] int32_t Open(const std::string& device_name);
  // Closes the service object (CloseService) and releases it. Returns its result.
  [[nodiscard]] int32_t Close();
  // Claims the device for this application, waiting at most timeout_ms (-1: no limit).
  [[nodiscard]] int32_t ClaimDevice(int32_t timeout_ms);
  // Gives the claimed device back.
  [[nodiscard]] int32_t ReleaseDevice();
  // Tests the device (level 1 internal, 2 external: prints a test slip, 3 interactive);
  // CheckHealthText then describes the outcome.
  [[nodiscard]] int32_t CheckHealth(int32_t level);
  // Not supported by this device class (no input).
  [[nodiscard]] int32_t ClearInput();
  // Not supported by this device class (no input).
  [[nodiscard]] int32_t ClearInputProperties();
  // Drops every queued asynchronous output and pending error.
  [[nodiscard]] int32_t ClearOutput();
  // Compares the printer's firmware with a file; result receives the comparison.
  [[nodiscard]] int32_t CompareFirmwareVersion(const std::string& firmware_file, int32_t& result);
  // Printer-specific command (DIRECTIO_FPTR_*); the service object sees every element of
  // `data` (at least one) and may change them and `text`.
  [[nodiscard]] int32_t DirectIO(int32_t command, std::span<int32_t> data, std::string& text);
  // The same with one data value.
  [[nodiscard]] int32_t DirectIO(int32_t command, int32_t& data, std::string& text);
  // Resets the named statistics ("" = all).
  [[nodiscard]] int32_t ResetStatistics(const std::string& statistics_buffer);
  // Fills statistics_buffer with the named statistics (an XML text).
  [[nodiscard]] int32_t RetrieveStatistics(std::string& statistics_buffer);
  // Loads new firmware from a file.
  [[nodiscard]] int32_t UpdateFirmware(const std::string& firmware_file);
  // Sets the named statistics ("name=value" pairs).
  [[nodiscard]] int32_t UpdateStatistics(const std::string& statistics_buffer);
  // 0 after a successful Open, else why the last Open failed (OPOS_OR_* or the service
  // object's own open result).
  [[nodiscard]] int32_t OpenResult();
  [[nodiscard]] int32_t ControlObjectVersion() const { return kControlObjectVersion; }

  // ---- Fiscal methods ----------------------------------------------------------------------
  // Starts a fiscal document on the slip; document_amount in currency units of the printer.
  [[nodiscard]] int32_t BeginFiscalDocument(int32_t document_amount);
  // Starts a fiscal receipt (PrinterState becomes fiscal receipt); print_header prints the
  // header lines now.
  [[nodiscard]] int32_t BeginFiscalReceipt(bool print_header);
  // Starts a fixed-format document of document_type on station.
  [[nodiscard]] int32_t BeginFixedOutput(int32_t station, int32_t document_type);
  // Waits at most timeout_ms for a slip to be inserted.
  [[nodiscard]] int32_t BeginInsertion(int32_t timeout_ms);
  // Starts an item list of the VAT identifier vat_id.
  [[nodiscard]] int32_t BeginItemList(int32_t vat_id);
  // Starts a non-fiscal document (printNormal lines follow).
  [[nodiscard]] int32_t BeginNonFiscal();
  // Waits at most timeout_ms for the slip to be removed.
  [[nodiscard]] int32_t BeginRemoval(int32_t timeout_ms);
  // Enters training mode (receipts are printed as not fiscal).
  [[nodiscard]] int32_t BeginTraining();
  // Clears the printer's error condition so that printing can go on.
  [[nodiscard]] int32_t ClearError();
  // Ends the fiscal document on the slip.
  [[nodiscard]] int32_t EndFiscalDocument();
  // Ends (prints and closes) the fiscal receipt; print_header prints the next header now.
  [[nodiscard]] int32_t EndFiscalReceipt(bool print_header);
  // Ends the fixed-format document.
  [[nodiscard]] int32_t EndFixedOutput();
  // Ends the slip insertion.
  [[nodiscard]] int32_t EndInsertion();
  // Ends the item list.
  [[nodiscard]] int32_t EndItemList();
  // Ends the non-fiscal document.
  [[nodiscard]] int32_t EndNonFiscal();
  // Ends the slip removal.
  [[nodiscard]] int32_t EndRemoval();
  // Leaves training mode.
  [[nodiscard]] int32_t EndTraining();
  // Reads the counter or text FPTR_GD_* data_item into data (opt_args: the item's option).
  [[nodiscard]] int32_t GetData(int32_t data_item, int32_t& opt_args, std::string& data);
  // Reads the printer's date and time into date ("ddmmyyyyhhmm").
  [[nodiscard]] int32_t GetDate(std::string& date);
  // Reads the totalizer opt_args of VAT identifier vat_id into data (currency digits).
  [[nodiscard]] int32_t GetTotalizer(int32_t vat_id, int32_t opt_args, std::string& data);
  // Reads the rate of VAT identifier vat_id into vat_rate (hundredths of a percent).
  [[nodiscard]] int32_t GetVatEntry(int32_t vat_id, int32_t opt_args, int32_t& vat_rate);
  // Prints a copy of the last receipt.
  [[nodiscard]] int32_t PrintDuplicateReceipt();
  // Prints one line of the fiscal document on the slip.
  [[nodiscard]] int32_t PrintFiscalDocumentLine(const std::string& document_line);
  // Prints line line_number of a fixed-format document of document_type.
  [[nodiscard]] int32_t PrintFixedOutput(int32_t document_type, int32_t line_number,
                                         const std::string& data);
  // [queued] Prints data (lines separated by "\n") on station in a non-fiscal document.
  [[nodiscard]] int32_t PrintNormal(int32_t station, const std::string& data);
  // Prints the fiscal memory report between two dates ("ddmmyyyyhhmm").
  [[nodiscard]] int32_t PrintPeriodicTotalsReport(const std::string& date1,
                                                  const std::string& date2);
  // Prints the power-loss report.
  [[nodiscard]] int32_t PrintPowerLossReport();
  // Registers a cash amount (not supported by this printer).
  [[nodiscard]] int32_t PrintRecCash(Currency amount);
  // [queued] Sells an item: price is the line amount, quantity in whole units
  // (QuantityDecimalPlaces is 0; 0 means one unit: 2 sells two), vat_info a VAT identifier,
  // unit_price the price of one unit (Currency(0): from price and quantity).
  [[nodiscard]] int32_t PrintRecItem(const std::string& description, Currency price,
                                     int32_t quantity, int32_t vat_info, Currency unit_price,
                                     const std::string& unit_name);
  // [queued] Discount or surcharge (FPTR_AT_*) on the last item: amount, or percentage in
  // hundredths of a percent carried as Currency, for VAT identifier vat_info.
  [[nodiscard]] int32_t PrintRecItemAdjustment(int32_t adjustment_type,
                                               const std::string& description, Currency amount,
                                               int32_t vat_info);
  // [queued] Cancels an adjustment printed with PrintRecItemAdjustment (same arguments).
  [[nodiscard]] int32_t PrintRecItemAdjustmentVoid(int32_t adjustment_type,
                                                   const std::string& description, Currency amount,
                                                   int32_t vat_info);
  // Sells fuel (not supported by this printer); units as PrintRecItem plus a special tax.
  [[nodiscard]] int32_t PrintRecItemFuel(const std::string& description, Currency price,
                                         int32_t quantity, int32_t vat_info, Currency unit_price,
                                         const std::string& unit_name, Currency special_tax,
                                         const std::string& special_tax_name);
  // Cancels a fuel sale (not supported by this printer).
  [[nodiscard]] int32_t PrintRecItemFuelVoid(const std::string& description, Currency price,
                                             int32_t vat_info, Currency special_tax);
  // [queued] Cancels an item sold with PrintRecItem (same arguments and units).
  [[nodiscard]] int32_t PrintRecItemVoid(const std::string& description, Currency price,
                                         int32_t quantity, int32_t vat_info, Currency unit_price,
                                         const std::string& unit_name);
  // [queued] Prints a free text line in the receipt.
  [[nodiscard]] int32_t PrintRecMessage(const std::string& message);
  // [queued] Registers an amount the customer does not pay now.
  [[nodiscard]] int32_t PrintRecNotPaid(const std::string& description, Currency amount);
  // Discount or surcharge on a package of VAT groups ("vat_id*amount;..."; not supported).
  [[nodiscard]] int32_t PrintRecPackageAdjustment(int32_t adjustment_type,
                                                  const std::string& description,
                                                  const std::string& vat_adjustment);
  // Cancels a package adjustment (not supported by this printer).
  [[nodiscard]] int32_t PrintRecPackageAdjustVoid(int32_t adjustment_type,
                                                  const std::string& vat_adjustment);
  // [queued] Refunds amount in VAT identifier vat_info.
  [[nodiscard]] int32_t PrintRecRefund(const std::string& description, Currency amount,
                                       int32_t vat_info);
  // [queued] Cancels a refund (same arguments and units).
  [[nodiscard]] int32_t PrintRecRefundVoid(const std::string& description, Currency amount,
                                           int32_t vat_info);
  // [queued] Prints the subtotal; amount is the application's subtotal for CheckTotal.
  [[nodiscard]] int32_t PrintRecSubtotal(Currency amount);
  // [queued] Discount or surcharge (FPTR_AT_*) on the subtotal: amount or percentage.
  [[nodiscard]] int32_t PrintRecSubtotalAdjustment(int32_t adjustment_type,
                                                   const std::string& description, Currency amount);
  // Cancels a subtotal adjustment (not supported by this printer).
  [[nodiscard]] int32_t PrintRecSubtotalAdjustVoid(int32_t adjustment_type, Currency amount);
  // Prints the customer's tax identifier (not supported by this printer).
  [[nodiscard]] int32_t PrintRecTaxID(const std::string& tax_id);
  // [queued] Registers a payment: total is the application's receipt total (checked when
  // CheckTotal), payment the amount paid with the means named in description.
  [[nodiscard]] int32_t PrintRecTotal(Currency total, Currency payment,
                                      const std::string& description);
  // [queued] Cancels the whole receipt; description is printed.
  [[nodiscard]] int32_t PrintRecVoid(const std::string& description);
  // [queued] Cancels an item (amount, quantity in whole units) with an optional adjustment of
  // adjustment_type, in VAT identifier vat_info.
  [[nodiscard]] int32_t PrintRecVoidItem(const std::string& description, Currency amount,
                                         int32_t quantity, int32_t adjustment_type,
                                         Currency adjustment, int32_t vat_info);
  // Prints the fiscal memory report of report_type between start_num and end_num (Z numbers
  // or dates, by type).
  [[nodiscard]] int32_t PrintReport(int32_t report_type, const std::string& start_num,
                                    const std::string& end_num);
  // Prints the X report (daily totals, the day stays open).
  [[nodiscard]] int32_t PrintXReport();
  // Prints the Z report and closes the fiscal day.
  [[nodiscard]] int32_t PrintZReport();
  // Brings the printer back to the monitor state, cancelling any open document.
  [[nodiscard]] int32_t ResetPrinter();
  // Changes the currency (FPTR_SC_*; not supported by this printer).
  [[nodiscard]] int32_t SetCurrency(int32_t new_currency);
  // Sets the printer's date and time ("ddmmyyyyhhmm").
  [[nodiscard]] int32_t SetDate(const std::string& date);
  // Sets header line line_number (1 to NumHeaderLines), double width or not.
  [[nodiscard]] int32_t SetHeaderLine(int32_t line_number, const std::string& text,
                                      bool double_width);
  // Sets the POS and cashier identifiers printed on receipts.
  [[nodiscard]] int32_t SetPOSID(const std::string& pos_id, const std::string& cashier_id);
  // Sets the store's fiscal identifier (not supported by this printer).
  [[nodiscard]] int32_t SetStoreFiscalID(const std::string& id);
  // Sets trailer line line_number (1 to NumTrailerLines), double width or not.
  [[nodiscard]] int32_t SetTrailerLine(int32_t line_number, const std::string& text,
                                       bool double_width);
  // Writes the VAT values set with SetVatValue to the printer.
  [[nodiscard]] int32_t SetVatTable();
  // Sets the rate of VAT identifier vat_id (vat_value: hundredths of a percent as text).
  [[nodiscard]] int32_t SetVatValue(int32_t vat_id, const std::string& vat_value);
  // Checks that an item may be sold with VAT identifier vat_id.
  [[nodiscard]] int32_t VerifyItem(const std::string& item_name, int32_t vat_id);

  // ---- Properties (opos/properties.def) ------------------------------------------------------
  // Readers return the value (0, false or "" when closed or refused; a refusal shows in
  // ResultCode). Writers report only through ResultCode. FreezeEvents is written through
  // SetPropertyNumber, which freezes or releases event delivery in the service object.
#define KELO_CONTROL_Long(name) [[nodiscard]] int32_t name();
#define KELO_CONTROL_Bool(name) [[nodiscard]] bool name();
#define KELO_CONTROL_Text(name) [[nodiscard]] std::string name();
#define KELO_CONTROL_SET_RO(name, type)
#define KELO_CONTROL_SET_RW(name, type) void Set##name(KELO_CONTROL_IN_##type value);
#define KELO_CONTROL_IN_Long int32_t
#define KELO_CONTROL_IN_Bool bool
#define KELO_CONTROL_IN_Text const std::string&
#define KELO_PROPERTY(name, index, type, access, service_default) \
  KELO_CONTROL_##type(name) KELO_CONTROL_SET_##access(name, type)
#include "opos/properties.def"
#undef KELO_PROPERTY
#undef KELO_CONTROL_Long
#undef KELO_CONTROL_Bool
#undef KELO_CONTROL_Text
#undef KELO_CONTROL_SET_RO
#undef KELO_CONTROL_SET_RW
#undef KELO_CONTROL_IN_Long
#undef KELO_CONTROL_IN_Bool
#undef KELO_CONTROL_IN_Text

  // With AsyncMode on, output methods only queue their output; the calls that UnifiedPOS
  // keeps synchronous (EndFiscalReceipt, reports, GetData, ...) are refused with 113 while
  // output is still queued. WaitForOutput waits until the queue is done: it sets
  // FlagWhenIdle and waits for the idle StatusUpdateEvent (FPTR_SUE_IDLE), which the service
  // object raises once its queue is empty and nothing runs, after the events of that output.
  // Answers 0 when the output completed; the ResultCode of the ErrorEvent that stopped the
  // queue when one was answered with OPOS_ER_CLEAR since the last wait (the rest of the
  // queue was then discarded); 112 (OPOS_E_TIMEOUT) when timeout_ms (-1: without limit)
  // passed first (also while FreezeEvents holds the events back); 101 when closed.
  // *last_output_id receives the OutputID of the last OutputCompleteEvent received (0 when
  // none came yet). The application's status-update handler sees the idle event too. Call
  // it from a thread other than the one a queued event dispatcher runs handlers on: an
  // ErrorEvent handler must be able to answer while this waits.
  [[nodiscard]] int32_t WaitForOutput(int32_t timeout_ms, int32_t* last_output_id = nullptr);

  // Raw access by OPOS index, for properties this class has no accessor for.
  [[nodiscard]] int32_t GetPropertyNumber(int32_t index);
  [[nodiscard]] std::string GetPropertyString(int32_t index);
  void SetPropertyNumber(int32_t index, int32_t value);
  void SetPropertyString(int32_t index, const std::string& value);

  [[nodiscard]] bool IsOpen() const;

 private:
  struct Impl;

  // Calls a service method with arguments converted by their C++ type (int32_t: long, bool,
  // Currency, std::string: text, int32_t* and std::string*: by reference); returns its long
  // result, or the closed/failed code.
  template <typename... A>
  int32_t Call(ServiceMethod method, const A&... args);
  int32_t FailOpen(int32_t result_code, int32_t open_result, std::string why);
  void ReleaseService();

  std::unique_ptr<Impl> impl_;
};

}  // namespace kelo::control
