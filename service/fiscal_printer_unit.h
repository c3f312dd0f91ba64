// CFiscalPrinterUnit: the OPOS FiscalPrinter service object, one instance per open device.
//
// It is the automation face the control object calls by name (the 80-method table), the
// holder of the result fields, lifecycle state, property store and configuration, the owner
// of event delivery and of the serial port, and the host of the device layer
// (device::UnitHost).
//
// Texts inside the unit are Windows-1252; Invoke converts from and to UTF-8 at the
// automation boundary.
//
// Where the code lives: method_dispatch.h and unit_dispatch.cc (method table and Invoke),
// fiscal_printer_unit.cc (construction, calling frame, guard checks, host interface),
// unit_lifecycle.cc (open, close, claim, release, the common methods), unit_properties.cc (property
// access), unit_device_link.cc (the steps the device layer performs), unit_port.cc (the serial
// port), methods_*.cc (the front ends of the FiscalPrinter methods).
#pragma once
#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_command.h"
#include "device/device_result.h"
#include "device/unit_host.h"
#include "platform/automation/dispatch.h"
#include "platform/os/clock.h"
#include "service/argument_text.h"
#include "service/claim_lock.h"
#include "service/event_delivery.h"
#include "service/opos_exception.h"
#include "service/properties.h"
#include "service/unit_config.h"

namespace kelo::link {
class SerialPort;
}
namespace kelo::device {
class DeviceUnit;
}

namespace kelo::service {

class CFiscalPrinterUnit : public automation::DispatchObject, public device::UnitHost {
 public:
  // registry_file: the configuration file OpenService reads ("" = the platform default,
  // $opos::OPOS_REGISTRY or /etc/opos/registry.reg).
  explicit CFiscalPrinterUnit(std::string registry_file = "");
  // With another time source for the serial line and the device layer (tests run protocol
  // deadlines on a faster clock). The clock must outlive the unit.
  CFiscalPrinterUnit(std::string registry_file, platform::Clock& clock);

  // The method table (opos/methods.def): names in dispatch-identifier order.
  static const std::vector<std::string>& MethodTable();

  automation::HRESULT Invoke(automation::DispId id, automation::InvokeKind kind,
                             std::span<automation::Variant> args,
                             automation::Variant* result) override;

  // ---- Service methods, in table order (texts Windows-1252; amounts OPOS currency) ----
  int32_t CheckHealth(int32_t level);
  int32_t ClaimDevice(int32_t timeout);
  int32_t ClearInput();
  int32_t ClearInputProperties();
  int32_t ClearOutput();
  int32_t CloseService();
  int32_t COFreezeEvents(bool freeze);
  int32_t CompareFirmwareVersion(const std::string& firmware_file, int32_t* result);
  // data: the caller's array (at least one element); never touched beyond its size.
  int32_t DirectIO(int32_t command, std::span<int32_t> data, std::string* text);
  int32_t GetOpenResult();
  int32_t OpenService(const std::string& device_class, const std::string& device_name,
                      automation::IDispatch* control);
  int32_t ReleaseDevice();
  int32_t ResetStatistics(const std::string& statistics);
  int32_t RetrieveStatistics(std::string* statistics);
  int32_t UpdateFirmware(const std::string& firmware_file);
  int32_t UpdateStatistics(const std::string& statistics);
  int32_t GetPropertyNumber(int32_t index);
  std::string GetPropertyString(int32_t index);
  void SetPropertyNumber(int32_t index, int32_t value);
  void SetPropertyString(int32_t index, const std::string& value);
  int32_t beginFiscalDocument(int32_t document_amount);
  int32_t beginFiscalReceipt(bool print_header);
  int32_t beginFixedOutput(int32_t station, int32_t document_type);
  int32_t beginInsertion(int32_t timeout);
  int32_t beginItemList(int32_t vat_id);
  int32_t beginNonFiscal();
  int32_t beginRemoval(int32_t timeout);
  int32_t beginTraining();
  int32_t clearError();
  int32_t endFiscalDocument();
  int32_t endFiscalReceipt(bool print_header);
  int32_t endFixedOutput();
  int32_t endInsertion();
  int32_t endItemList();
  int32_t endNonFiscal();
  int32_t endRemoval();
  int32_t endTraining();
  int32_t getData(int32_t data_item, int32_t* opt_args, std::string* data);
  int32_t getDate(std::string* date);
  int32_t getTotalizer(int32_t vat_id, int32_t opt_args, std::string* data);
  int32_t getVatEntry(int32_t vat_id, int32_t opt_args, int32_t* vat_rate);
  int32_t printDuplicateReceipt();
  int32_t printFiscalDocumentLine(const std::string& document_line);
  int32_t printFixedOutput(int32_t document_type, int32_t line_number, const std::string& data);
  int32_t printNormal(int32_t station, const std::string& data);
  int32_t printPeriodicTotalsReport(const std::string& date1, const std::string& date2);
  int32_t printPowerLossReport();
  int32_t printRecCash(int64_t amount);
  int32_t printRecItem(const std::string& description, int64_t price, int32_t quantity,
                       int32_t vat_info, int64_t unit_price, const std::string& unit_name);
  int32_t printRecItemAdjustment(int32_t adjustment_type, const std::string& description,
                                 int64_t amount, int32_t vat_info);
  int32_t printRecItemFuel(const std::string& description, int64_t price, int32_t quantity,
                           int32_t vat_info, int64_t unit_price, const std::string& unit_name,
                           int64_t special_tax, const std::string& special_tax_name);
  int32_t printRecItemFuelVoid(const std::string& description, int64_t price, int32_t vat_info,
                               int64_t special_tax);
  int32_t printRecMessage(const std::string& message);
  int32_t printRecNotPaid(const std::string& description, int64_t amount);
  int32_t printRecPackageAdjustment(int32_t adjustment_type, const std::string& description,
                                    const std::string& vat_adjustment);
  int32_t printRecPackageAdjustVoid(int32_t adjustment_type, const std::string& vat_adjustment);
  int32_t printRecRefund(const std::string& description, int64_t amount, int32_t vat_info);
  int32_t printRecRefundVoid(const std::string& description, int64_t amount, int32_t vat_info);
  int32_t printRecSubtotal(int64_t amount);
  int32_t printRecSubtotalAdjustment(int32_t adjustment_type, const std::string& description,
                                     int64_t amount);
  int32_t printRecSubtotalAdjustVoid(int32_t adjustment_type, int64_t amount);
  int32_t printRecTaxID(const std::string& tax_id);
  int32_t printRecVoidItem(const std::string& description, int64_t amount, int32_t quantity,
                           int32_t adjustment_type, int64_t adjustment, int32_t vat_info);
  int32_t printReport(int32_t report_type, const std::string& start_num,
                      const std::string& end_num);
  int32_t printXReport();
  int32_t printZReport();
  int32_t resetPrinter();
  int32_t setCurrency(int32_t new_currency);
  int32_t setDate(const std::string& date);
  int32_t setHeaderLine(int32_t line_number, const std::string& text, bool double_width);
  int32_t setPOSID(const std::string& pos_id, const std::string& cashier_id);
  int32_t setStoreFiscalID(const std::string& id);
  int32_t setTrailerLine(int32_t line_number, const std::string& text, bool double_width);
  int32_t setVatTable();
  int32_t setVatValue(int32_t vat_id, const std::string& vat_value);
  int32_t verifyItem(const std::string& item_name, int32_t vat_id);
  int32_t printRecVoid(const std::string& description);
  int32_t printRecTotal(int64_t total, int64_t payment, const std::string& description);
  int32_t printRecItemVoid(const std::string& description, int64_t price, int32_t quantity,
                           int32_t vat_info, int64_t unit_price, const std::string& unit_name);
  int32_t printRecItemAdjustmentVoid(int32_t adjustment_type, const std::string& description,
                                     int64_t amount, int32_t vat_info);

  // Before a method runs: traces what its text arguments lost on conversion and refuses the
  // call (through the calling frame) for malformed UTF-8 (106) or, with the StrictText key,
  // for a character that could not be printed as given (114/215). 0 when the method may run.
  int32_t CheckTextArguments(std::string_view method, const std::vector<TextArgumentNote>& notes);

  // ---- Guard checks: on failure they trace, fill the result fields and throw ----
  void verifyOpened();
  void verifyOpenedClaimed();
  void verifyOpenedClaimedEnabled();
  // -1 fills an unused place.
  void verifyPrinterState(int32_t a, int32_t b = -1, int32_t c = -1);
  void verifyDayClosed();
  // Refuses (114/217) a VatInfo the printer cannot take, in both modes and before anything
  // is sent or queued (device::DeviceUnit::VerifyVatInfo); -1 passes only for item sales.
  void verifyVatId(int32_t vat_id, bool item_sale = false);

  // ---- Result and lifecycle fields ----
  int32_t result_code();
  int32_t result_code_extended();
  std::string error_string();
  int32_t open_result();
  bool claimed();
  bool device_enabled();
  UnitConfig config();
  EventDelivery& events() { return events_; }

  // The unit's VAT table (identifiers 1 to 100; 0 after OpenService) and POS identity.
  int32_t VatTableEntry(int32_t vat_id);                         // 0 outside 1..100
  void SetVatTableEntry(int32_t vat_id, int32_t rate) override;  // ignored outside 1..100
  std::string GetPosId() override;
  std::string GetCashierId() override;

  // Standard property name for the trace, "UNDEFINED PROPERTY" for others.
  static const char* GetPropertyName(int32_t index);

  // ---- device::UnitHost ----
  int32_t GetNumberProperty(int32_t index) override;
  void SetNumberProperty(int32_t index, int32_t value) override;
  std::string GetStringProperty(int32_t index) override;
  void SetStringProperty(int32_t index, const std::string& value) override;
  int32_t GetState() override;
  void SetState(int32_t state) override;
  bool ClaimIdleEvent() override;
  void RaiseStatusUpdate(int32_t data) override;
  void RaiseOutputComplete(int32_t output_id) override;
  int32_t RaiseError(int32_t result_code, int32_t result_code_extended, int32_t error_locus,
                     int32_t preset_response) override;
  void Trace(int level, const std::string& text) override;

 protected:
  ~CFiscalPrinterUnit() override;

  // ---- The steps the device layer performs (unit_device_link.cc) ----
  // Virtual so that a stand-in printer can take their place in tests.
  // Hands the open serial port to the device layer.
  virtual void AttachPort();
  // Starts the worker and waits for the printer (timeout in ms, -1 without limit).
  virtual device::DeviceResult Connect(int32_t timeout_ms);
  // Stops the worker. Harmless when it does not run.
  virtual void Disconnect();
  // Sets PrinterState, TrainingModeActive and DayOpened from the printer's status.
  virtual device::DeviceResult ReadPrinterState();
  // Claim step after Connect: copies NumVatRates, MessageLength, NumHeaderLines and
  // NumTrailerLines from the printer's configuration record when it answers, and empties
  // PredefinedPaymentLines.
  virtual void ReadPrinterConfiguration();
  // ClearOutput: discards every queued asynchronous job.
  virtual void ClearOutputQueue();

  // The serial port the device layer works on (owned by the unit for its whole life).
  link::SerialPort& port() { return *port_; }
  // The device layer of this unit (created with the unit, lives as long as it).
  device::DeviceUnit& device_unit() { return *device_unit_; }

  // ---- Execution through the device layer ----
  // Adds one to OutputID and returns the new value (the identifier of the next operation).
  int32_t NextOutputId();
  // Output execution (queued when AsyncMode is 1). A failure ends the method (Fail).
  void RunOutput(device::DeviceOp op, const std::string& input);
  // Synchronous execution; the operation's output text is returned. A failure ends the
  // method; on success the operation's result becomes the method's result.
  std::string RunSync(device::DeviceOp op, const std::string& input);
  void RunSyncNoOutput(device::DeviceOp op, const std::string& input);
  // Refusing pattern: 106 "Not supported" when the capability is true, else
  // "<capability_name> is false".
  int32_t RefuseByCapability(std::string_view name, int32_t capability,
                             std::string_view capability_name);
  // 106 with text unless the capability is true.
  void RequireCapability(int32_t capability, std::string_view text);
  // Adjustment type of an item line: amount types need CapAmountAdjustment, percentage types
  // CapPercentAdjustment, anything else is invalid (0 passes when no_adjustment_ok).
  void CheckItemAdjustmentType(int32_t type, bool no_adjustment_ok);
  // printNormal; force_sync runs it synchronously whatever AsyncMode says (the health
  // check's printout, whose endNonFiscal must find the lines printed).
  int32_t PrintNormalFrame(int32_t station, const std::string& data, bool force_sync);
  // setVatValue and setVatTable: CapSetVatTable, CapHasVatTable, then a closed fiscal day.
  void CheckVatTableWritable();

  // ---- Calling frame ----
  // Traces "+CFiscalPrinterUnit::<name>\n" (or entry_line when given), clears the result
  // fields, runs body, turns a COposException into the result fields, traces
  // "-CFiscalPrinterUnit::<name> => %d\n" and returns ResultCode.
  int32_t RunMethod(std::string_view name, const std::function<void()>& body,
                    const std::string* entry_line = nullptr);
  // Fills the result fields and throws the same three values.
  [[noreturn]] void Fail(int32_t code, int32_t extended, std::string text);
  [[noreturn]] void Fail(const device::DeviceResult& result);
  // Frame, verifyOpenedClaimedEnabled, then 106 "Not supported" (methods this service
  // refuses outright).
  int32_t RefuseNotSupported(std::string_view name, const std::string* entry_line = nullptr);
  void SetResult(int32_t code, int32_t extended, std::string text);
  void ClearResult();

 private:
  // A ClaimDevice in progress: counted from its start to its end, so that ReleaseDevice and
  // CloseService on other threads can cut it short (CancelClaims) and wait for its end.
  class ClaimInProgress {
   public:
    explicit ClaimInProgress(CFiscalPrinterUnit& unit);
    ~ClaimInProgress();
    ClaimInProgress(const ClaimInProgress&) = delete;
    ClaimInProgress& operator=(const ClaimInProgress&) = delete;
    bool cancelled() const;

   private:
    CFiscalPrinterUnit& unit_;
    uint64_t generation_;
  };
  // Cuts short every claim in progress and waits (bounded) for them to end. True when there
  // was one. Called by ReleaseDevice and CloseService before they take the lifecycle lock.
  bool CancelClaims();
  // The claim that holds the claim lock was cut short (asked by Connect while it waits).
  bool ActiveClaimCancelled();
  // ReleaseDevice's steps, under the lifecycle lock.
  void ReleaseClaimed();

  // Claim steps.
  int32_t OpenSerialPort();  // 0 or the port's failure code
  // After a failed OpenSerialPort: 107 naming the path and the reason (missing, no
  // permission, not a terminal, unsupported speed), or 102 when another program holds it;
  // traced with the system's text.
  device::DeviceResult PortOpenFailure();
  void CloseSerialPort();
  // Access group, then capability gate of a property read or write. On refusal fills the
  // result fields and returns false.
  bool CheckPropertyAccess(int32_t index);
  // Enabling and disabling, as SetPropertyNumber(DeviceEnabled) does.
  void SetDeviceEnabled(int32_t value);
  void TraceConstructionLines(uint32_t level);

  const std::string registry_file_;
  std::unique_ptr<link::SerialPort> port_;
  // Declared after port_ so that it goes first: its worker uses the port until it stops.
  std::unique_ptr<device::DeviceUnit> device_unit_;
  ClaimLock claim_lock_;
  // Lifecycle lock: one ReleaseDevice or CloseService at a time, and a claim's last step
  // (taking the claim or undoing it) against them. Recursive because CloseService runs
  // ReleaseDevice. Never held while waiting for a printer or for CancelClaims; taken before
  // every lock of the device layer.
  std::recursive_mutex lifecycle_mu_;
  // Claim-progress lock: guards the three values below (a leaf; held only to read or change
  // them and in CancelClaims' bounded wait for claim_cv_).
  std::mutex claim_mu_;
  std::condition_variable claim_cv_;
  int claims_in_progress_ = 0;
  uint64_t claim_generation_ = 0;         // bumped by CancelClaims
  uint64_t active_claim_generation_ = 0;  // of the claim that holds the claim lock
  EventDelivery events_;
  // The unit's own binding to the control object (it reads ControlObjectVersion).
  ControlBinding control_;

  // Guards everything below: result fields, lifecycle fields, the property store, the
  // configuration, the VAT table and the POS identity. Held only to read or change them,
  // never while tracing, raising events or calling the device layer.
  std::mutex fields_mu_;
  int32_t state_ = 1;
  int32_t result_code_ = 101;
  int32_t result_code_extended_ = 0;
  std::string error_string_;
  int32_t open_result_ = 306;
  bool claimed_ = false;
  int32_t device_enabled_ = 0;
  PropertyStore properties_;
  UnitConfig config_;
  std::array<int32_t, 101> vat_table_{};  // index 1..100
  std::string pos_id_;
  std::string cashier_id_;
};

}  // namespace kelo::service
