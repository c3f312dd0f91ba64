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
// Text is UTF-8 in both directions. Amounts are OPOS currency values: 64-bit integers with four
// implied decimals (15000 means 1.50).
//
// Threads: the methods and accessors are meant for one application thread (they are not
// synchronised against each other). Event handlers run where the EventDispatcher of the
// options puts them (event_dispatcher.h); the default runs them on the service object's event
// thread. Handlers may call back into this object only if the dispatcher runs them on the
// application's thread.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "control/event_dispatcher.h"
#include "control/opos_constants.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/loader.h"

namespace kelo::control {

// OPOS currency: amount times 10000.
using Currency = int64_t;

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
  int32_t Open(const std::string& device_name);
  // Closes the service object (CloseService) and releases it. Returns its result.
  int32_t Close();
  int32_t ClaimDevice(int32_t timeout_ms);
  int32_t ReleaseDevice();
  int32_t CheckHealth(int32_t level);
  int32_t ClearInput();
  int32_t ClearInputProperties();
  int32_t ClearOutput();
  int32_t CompareFirmwareVersion(const std::string& firmware_file, int32_t& result);
  // `data` may be an array: the service object sees all of its elements and may change them.
  int32_t DirectIO(int32_t command, std::span<int32_t> data, std::string& text);
  int32_t DirectIO(int32_t command, int32_t& data, std::string& text);
  int32_t ResetStatistics(const std::string& statistics_buffer);
  int32_t RetrieveStatistics(std::string& statistics_buffer);
  int32_t UpdateFirmware(const std::string& firmware_file);
  int32_t UpdateStatistics(const std::string& statistics_buffer);
  // 0 after a successful Open, else why the last Open failed (OPOS_OR_* or the service
  // object's own open result).
  int32_t OpenResult();
  int32_t ControlObjectVersion() const { return kControlObjectVersion; }

  // ---- Fiscal methods ----------------------------------------------------------------------
  int32_t BeginFiscalDocument(int32_t document_amount);
  int32_t BeginFiscalReceipt(bool print_header);
  int32_t BeginFixedOutput(int32_t station, int32_t document_type);
  int32_t BeginInsertion(int32_t timeout_ms);
  int32_t BeginItemList(int32_t vat_id);
  int32_t BeginNonFiscal();
  int32_t BeginRemoval(int32_t timeout_ms);
  int32_t BeginTraining();
  int32_t ClearError();
  int32_t EndFiscalDocument();
  int32_t EndFiscalReceipt(bool print_header);
  int32_t EndFixedOutput();
  int32_t EndInsertion();
  int32_t EndItemList();
  int32_t EndNonFiscal();
  int32_t EndRemoval();
  int32_t EndTraining();
  int32_t GetData(int32_t data_item, int32_t& opt_args, std::string& data);
  int32_t GetDate(std::string& date);
  int32_t GetTotalizer(int32_t vat_id, int32_t opt_args, std::string& data);
  int32_t GetVatEntry(int32_t vat_id, int32_t opt_args, int32_t& vat_rate);
  int32_t PrintDuplicateReceipt();
  int32_t PrintFiscalDocumentLine(const std::string& document_line);
  int32_t PrintFixedOutput(int32_t document_type, int32_t line_number, const std::string& data);
  int32_t PrintNormal(int32_t station, const std::string& data);
  int32_t PrintPeriodicTotalsReport(const std::string& date1, const std::string& date2);
  int32_t PrintPowerLossReport();
  int32_t PrintRecCash(Currency amount);
  // Quantities are whole units (QuantityDecimalPlaces is 0; 0 means one unit): 2 sells two.
  int32_t PrintRecItem(const std::string& description, Currency price, int32_t quantity,
                       int32_t vat_info, Currency unit_price, const std::string& unit_name);
  int32_t PrintRecItemAdjustment(int32_t adjustment_type, const std::string& description,
                                 Currency amount, int32_t vat_info);
  int32_t PrintRecItemAdjustmentVoid(int32_t adjustment_type, const std::string& description,
                                     Currency amount, int32_t vat_info);
  int32_t PrintRecItemFuel(const std::string& description, Currency price, int32_t quantity,
                           int32_t vat_info, Currency unit_price, const std::string& unit_name,
                           Currency special_tax, const std::string& special_tax_name);
  int32_t PrintRecItemFuelVoid(const std::string& description, Currency price, int32_t vat_info,
                               Currency special_tax);
  int32_t PrintRecItemVoid(const std::string& description, Currency price, int32_t quantity,
                           int32_t vat_info, Currency unit_price, const std::string& unit_name);
  int32_t PrintRecMessage(const std::string& message);
  int32_t PrintRecNotPaid(const std::string& description, Currency amount);
  int32_t PrintRecPackageAdjustment(int32_t adjustment_type, const std::string& description,
                                    const std::string& vat_adjustment);
  int32_t PrintRecPackageAdjustVoid(int32_t adjustment_type, const std::string& vat_adjustment);
  int32_t PrintRecRefund(const std::string& description, Currency amount, int32_t vat_info);
  int32_t PrintRecRefundVoid(const std::string& description, Currency amount, int32_t vat_info);
  int32_t PrintRecSubtotal(Currency amount);
  int32_t PrintRecSubtotalAdjustment(int32_t adjustment_type, const std::string& description,
                                     Currency amount);
  int32_t PrintRecSubtotalAdjustVoid(int32_t adjustment_type, Currency amount);
  int32_t PrintRecTaxID(const std::string& tax_id);
  int32_t PrintRecTotal(Currency total, Currency payment, const std::string& description);
  int32_t PrintRecVoid(const std::string& description);
  int32_t PrintRecVoidItem(const std::string& description, Currency amount, int32_t quantity,
                           int32_t adjustment_type, Currency adjustment, int32_t vat_info);
  int32_t PrintReport(int32_t report_type, const std::string& start_num,
                      const std::string& end_num);
  int32_t PrintXReport();
  int32_t PrintZReport();
  int32_t ResetPrinter();
  int32_t SetCurrency(int32_t new_currency);
  int32_t SetDate(const std::string& date);
  int32_t SetHeaderLine(int32_t line_number, const std::string& text, bool double_width);
  int32_t SetPOSID(const std::string& pos_id, const std::string& cashier_id);
  int32_t SetStoreFiscalID(const std::string& id);
  int32_t SetTrailerLine(int32_t line_number, const std::string& text, bool double_width);
  int32_t SetVatTable();
  int32_t SetVatValue(int32_t vat_id, const std::string& vat_value);
  int32_t VerifyItem(const std::string& item_name, int32_t vat_id);

  // ---- Properties --------------------------------------------------------------------------
  // Readers return the value (0, false or "" when closed or refused; a refusal shows in
  // ResultCode). Writers report only through ResultCode. FreezeEvents is written through
  // SetPropertyNumber, which freezes or releases event delivery in the service object.
  int32_t ActualCurrency();
  std::string AdditionalHeader();
  void SetAdditionalHeader(const std::string& value);
  std::string AdditionalTrailer();
  void SetAdditionalTrailer(const std::string& value);
  int32_t AmountDecimalPlaces();
  bool AsyncMode();
  void SetAsyncMode(bool value);
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
  int32_t WaitForOutput(int32_t timeout_ms, int32_t* last_output_id = nullptr);
  int32_t BinaryConversion();
  void SetBinaryConversion(int32_t value);
  std::string ChangeDue();
  void SetChangeDue(const std::string& value);
  std::string CheckHealthText();
  bool CheckTotal();
  void SetCheckTotal(bool value);
  bool Claimed();
  int32_t ContractorId();
  void SetContractorId(int32_t value);
  int32_t CountryCode();
  bool CoverOpen();
  int32_t DateType();
  void SetDateType(int32_t value);
  bool DayOpened();
  int32_t DescriptionLength();
  std::string DeviceDescription();
  bool DeviceEnabled();
  void SetDeviceEnabled(bool value);
  std::string DeviceName();
  bool DuplicateReceipt();
  void SetDuplicateReceipt(bool value);
  int32_t ErrorLevel();
  int32_t ErrorOutID();
  int32_t ErrorState();
  int32_t ErrorStation();
  std::string ErrorString();
  int32_t FiscalReceiptStation();
  void SetFiscalReceiptStation(int32_t value);
  int32_t FiscalReceiptType();
  void SetFiscalReceiptType(int32_t value);
  bool FlagWhenIdle();
  void SetFlagWhenIdle(bool value);
  bool FreezeEvents();
  void SetFreezeEvents(bool value);
  bool JrnEmpty();
  bool JrnNearEnd();
  int32_t MessageLength();
  int32_t MessageType();
  void SetMessageType(int32_t value);
  int32_t NumHeaderLines();
  int32_t NumTrailerLines();
  int32_t NumVatRates();
  int32_t OutputID();
  std::string PostLine();
  void SetPostLine(const std::string& value);
  int32_t PowerNotify();
  void SetPowerNotify(int32_t value);
  int32_t PowerState();
  std::string PreLine();
  void SetPreLine(const std::string& value);
  std::string PredefinedPaymentLines();
  int32_t PrinterState();
  int32_t QuantityDecimalPlaces();
  int32_t QuantityLength();
  bool RecEmpty();
  bool RecNearEnd();
  int32_t RemainingFiscalMemory();
  std::string ReservedWord();
  int32_t ResultCode();
  int32_t ResultCodeExtended();
  std::string ServiceObjectDescription();
  int32_t ServiceObjectVersion();
  int32_t SlipSelection();
  void SetSlipSelection(int32_t value);
  bool SlpEmpty();
  bool SlpNearEnd();
  int32_t State();
  int32_t TotalizerType();
  void SetTotalizerType(int32_t value);
  bool TrainingModeActive();
  bool CapAdditionalHeader();
  bool CapAdditionalLines();
  bool CapAdditionalTrailer();
  bool CapAmountAdjustment();
  bool CapAmountNotPaid();
  bool CapChangeDue();
  bool CapCheckTotal();
  bool CapCompareFirmwareVersion();
  bool CapCoverSensor();
  bool CapDoubleWidth();
  bool CapDuplicateReceipt();
  bool CapEmptyReceiptIsVoidable();
  bool CapFiscalReceiptStation();
  bool CapFiscalReceiptType();
  bool CapFixedOutput();
  bool CapHasVatTable();
  bool CapIndependentHeader();
  bool CapItemList();
  bool CapJrnEmptySensor();
  bool CapJrnNearEndSensor();
  bool CapJrnPresent();
  bool CapMultiContractor();
  bool CapNonFiscalMode();
  bool CapOnlyVoidLastItem();
  bool CapOrderAdjustmentFirst();
  bool CapPackageAdjustment();
  bool CapPercentAdjustment();
  bool CapPositiveAdjustment();
  bool CapPostPreLine();
  bool CapPowerLossReport();
  bool CapPowerReporting();
  bool CapPredefinedPaymentLines();
  bool CapRecEmptySensor();
  bool CapRecNearEndSensor();
  bool CapRecPresent();
  bool CapReceiptNotPaid();
  bool CapRemainingFiscalMemory();
  bool CapReservedWord();
  bool CapSetCurrency();
  bool CapSetHeader();
  bool CapSetPOSID();
  bool CapSetStoreFiscalID();
  bool CapSetTrailer();
  bool CapSetVatTable();
  bool CapSlpEmptySensor();
  bool CapSlpFiscalDocument();
  bool CapSlpFullSlip();
  bool CapSlpNearEndSensor();
  bool CapSlpPresent();
  bool CapSlpValidation();
  bool CapStatisticsReporting();
  bool CapSubAmountAdjustment();
  bool CapSubPercentAdjustment();
  bool CapSubtotal();
  bool CapTotalizerType();
  bool CapTrainingMode();
  bool CapUpdateFirmware();
  bool CapUpdateStatistics();
  bool CapValidateJournal();
  bool CapXReport();

  // Raw access by OPOS index, for properties this class has no accessor for.
  int32_t GetPropertyNumber(int32_t index);
  std::string GetPropertyString(int32_t index);
  void SetPropertyNumber(int32_t index, int32_t value);
  void SetPropertyString(int32_t index, const std::string& value);

  bool IsOpen() const { return service_ != nullptr; }

 private:
  struct EventSink;
  class Callbacks;

  int32_t GetNumber(int32_t index) { return GetPropertyNumber(index); }
  std::string GetString(int32_t index) { return GetPropertyString(index); }
  void SetNumber(int32_t index, int32_t value) { SetPropertyNumber(index, value); }
  void SetString(int32_t index, const std::string& value) { SetPropertyString(index, value); }

  // Calls service method number `method` (1-based position in the service table) with args;
  // returns its long result, or the closed/failed code.
  int32_t Call(int method, std::span<automation::Variant> args);
  int32_t CallArgs(int method, std::vector<automation::Variant> args) { return Call(method, args); }
  int32_t FailOpen(int32_t result_code, int32_t open_result, std::string why);
  void ReleaseService();
  // Every call into the service object goes through here; fn runs on the thread the
  // dispatcher picks (see EventDispatcher::CallOnWaitingRaiser).
  automation::HRESULT InvokeService(int method, std::span<automation::Variant> args,
                                    automation::Variant* result);
  void OnServiceSide(const std::function<void()>& fn);

  FiscalPrinterOptions options_;
  std::shared_ptr<EventSink> sink_;
  automation::ComPtr<automation::IDispatch> service_;
  automation::ComPtr<automation::IDispatch> callbacks_;
  std::vector<automation::DispId> ids_;  // service method ids, by table position
  // What the closed control reports (the codes of the last Open or Close, or 101).
  int32_t closed_result_code_ = opos::OPOS_E_CLOSED;
  int32_t closed_result_code_extended_ = 0;
  std::string closed_error_string_;
  int32_t open_result_ = 0;
};

}  // namespace kelo::control
