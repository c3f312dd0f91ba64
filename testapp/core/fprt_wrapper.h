// clsFprtWrapper: every call the test application makes on the FiscalPrinter control object.
//
// A method member (1) hands its macro line ("F_" + method, "$"-separated arguments) to the
// macro recorder, (2) calls the control object, (3) logs "Name(arguments)" followed by the
// result text built from ResultCode, ResultCodeExtended and ErrorString, and returns the
// control's result code. A property reader logs "Name = value"; a property writer records
// "P_Name$value", writes, and logs "Name := value" plus the result text. Strings are quoted in
// the log, amounts written with FormatAmount, adjustment types by name.
//
// The wrapper holds no state of its own besides its collaborators. It is used on one thread.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "control/fiscal_printer.h"
#include "testapp/core/log_model.h"
#include "testapp/core/macro_recorder.h"

namespace kelo::testapp {

using control::Currency;

class clsFprtWrapper {
 public:
  // recorder may be null (nothing is recorded) and may be set later.
  clsFprtWrapper(control::FiscalPrinter& control, LogModel& log, MacroRecorder* recorder = nullptr);

  void SetRecorder(MacroRecorder* recorder) { recorder_ = recorder; }
  // Called after every method member with the member's name and result (the headless runner
  // uses it to find the first failing call). Property members do not report.
  void SetResultObserver(std::function<void(const std::string& member, int32_t result)> observer) {
    observer_ = std::move(observer);
  }

  control::FiscalPrinter& control() { return control_; }
  LogModel& log() { return log_; }

  // "     -> OposSuccess(0)" or "     -> <name>(<code>)  <ext name>(<ext>)  <ErrorString>",
  // read from the control without logging.
  std::string ResultText();

  // ---- Methods, in the order of the class ----
  int32_t WOpen(const std::string& device_name);
  int32_t WClose();
  int32_t BeginFiscalReceipt(bool print_header);
  int32_t BeginNonFiscal();
  int32_t BeginTraining();
  int32_t CheckHealth(int32_t level);
  int32_t ClearError();
  int32_t ClearOutput();
  int32_t DirectIO(int32_t& command, std::array<int32_t, 11>& data, std::string& text);
  int32_t EndFiscalReceipt(bool print_header);
  int32_t EndNonFiscal();
  int32_t EndTraining();
  int32_t GetData(int32_t data_item, int32_t& opt_args, std::string& data);
  int32_t GetDate(std::string& date);
  int32_t GetTotalizer(int32_t vat_id, int32_t opt_args, std::string& data);
  int32_t GetVatEntry(int32_t vat_id, int32_t opt_args, int32_t& vat_rate);
  int32_t PrintDuplicateReceipt();
  int32_t PrintNormal(int32_t station, const std::string& data);
  int32_t PrintPeriodicTotalsReport(const std::string& date1, const std::string& date2);
  int32_t PrintRecItem(const std::string& description, Currency price, int32_t quantity,
                       int32_t vat_info, Currency unit_price, const std::string& unit_name);
  int32_t PrintRecItemAdjustment(int32_t adjustment_type, const std::string& description,
                                 Currency amount, int32_t vat_info);
  int32_t PrintRecItemAdjustmentVoid(int32_t adjustment_type, const std::string& description,
                                     Currency amount, int32_t vat_info);
  int32_t PrintRecItemVoid(const std::string& description, Currency price, int32_t quantity,
                           int32_t vat_info, Currency unit_price, const std::string& unit_name);
  int32_t PrintRecMessage(const std::string& message);
  int32_t PrintRecNotPaid(const std::string& description, Currency amount);
  int32_t PrintRecRefund(const std::string& description, Currency amount, int32_t vat_info);
  int32_t PrintRecRefundVoid(const std::string& description, Currency amount, int32_t vat_info);
  int32_t PrintRecSubtotal(Currency amount);
  int32_t PrintRecSubtotalAdjustment(int32_t adjustment_type, const std::string& description,
                                     Currency amount);
  int32_t PrintRecSubtotalAdjustVoid(int32_t adjustment_type, Currency amount);
  int32_t PrintRecTotal(Currency total, Currency payment, const std::string& description);
  int32_t PrintRecVoid(const std::string& description);
  int32_t PrintReport(int32_t report_type, const std::string& start_num,
                      const std::string& end_num);
  int32_t PrintXReport();
  int32_t PrintZReport();
  int32_t ReleaseDevice();
  int32_t ResetPrinter();
  int32_t SetDate(const std::string& date);
  int32_t SetHeaderLine(int32_t line_number, const std::string& text, bool double_width);
  int32_t SetPOSID(const std::string& pos_id, const std::string& cashier_id);
  int32_t SetTrailerLine(int32_t line_number, const std::string& text, bool double_width);
  int32_t SetVatTable();
  int32_t SetVatValue(int32_t vat_id, const std::string& vat_value);
  int32_t ClaimDevice(int32_t timeout_ms);

  // ---- Properties (119; 20 settable) ----
  int32_t ActualCurrency();
  std::string AdditionalHeader();
  void SetAdditionalHeader(const std::string& value);
  std::string AdditionalTrailer();
  void SetAdditionalTrailer(const std::string& value);
  int32_t AmountDecimalPlaces();
  bool AsyncMode();
  void SetAsyncMode(bool value);
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
  std::string CountryCode();
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
  std::string PredefinedPaymentLines();
  std::string PreLine();
  void SetPreLine(const std::string& value);
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
  std::string ServiceObjectVersion();
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
  bool CapReceiptNotPaid();
  bool CapRecEmptySensor();
  bool CapRecNearEndSensor();
  bool CapRecPresent();
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
  bool CapXReport();
  bool CapUpdateFirmware();
  bool CapUpdateStatistics();
  bool CapValidateJournal();

 private:
  void Record(const std::string& macro_line);
  int32_t Finish(const std::string& member, int32_t result, const std::string& log_line);

  control::FiscalPrinter& control_;
  LogModel& log_;
  MacroRecorder* recorder_;
  std::function<void(const std::string&, int32_t)> observer_;
};

}  // namespace kelo::testapp
