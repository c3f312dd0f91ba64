#include "testapp/core/fprt_wrapper.h"

#include "testapp/core/log_text.h"
#include "testapp/core/name_tables.h"

namespace kelo::testapp {

namespace {

std::string Q(const std::string& text) {
  return "\"" + text + "\"";
}
std::string A(Currency amount) {
  return FormatAmount(amount);
}
std::string T(int32_t type) {
  return AdjustmentTypeName(type);
}
std::string V(int32_t value) {
  return ValueText(value);
}
std::string V(bool value) {
  return ValueText(value);
}
std::string V(const std::string& value) {
  return ValueText(std::string_view(value));
}

}  // namespace

clsFprtWrapper::clsFprtWrapper(control::FiscalPrinter& control, LogModel& log,
                               MacroRecorder* recorder)
    : control_(control), log_(log), recorder_(recorder) {}

std::string clsFprtWrapper::ResultText() {
  const int32_t code = control_.ResultCode();
  const int32_t extended = control_.ResultCodeExtended();
  const std::string error = control_.ErrorString();
  if (code == 0) return "     -> OposSuccess(0)";
  return "     -> " + ResultCodeName(code) + "(" + std::to_string(code) + ")  " +
         ExtendedResultCodeName(extended) + "(" + std::to_string(extended) + ")  " + error;
}

void clsFprtWrapper::Record(const std::string& macro_line) {
  if (recorder_) recorder_->AddCommand(macro_line);
}

int32_t clsFprtWrapper::Finish(const std::string& member, int32_t result,
                               const std::string& log_line) {
  std::string result_text = ResultText();
  // The control object refuses some calls itself (Open of an open device) and leaves the
  // result fields of the service object alone: the line shows the call's own result.
  if (result != control_.ResultCode()) {
    result_text = "     -> " + ResultCodeName(result) + "(" + std::to_string(result) + ")";
    if (result != 0) result_text += "  (0)  ";
  }
  log_.AddToLog(log_line + result_text);
  if (observer_) observer_(member, result);
  return result;
}

int32_t clsFprtWrapper::WOpen(const std::string& device_name) {
  Record("F_Open$" + device_name);
  const int32_t rc = control_.Open(device_name);
  return Finish("WOpen", rc, "Open(" + V(device_name) + ")");
}

int32_t clsFprtWrapper::WClose() {
  Record("F_Close");
  const int32_t rc = control_.Close();
  return Finish("WClose", rc, "Close()");
}

int32_t clsFprtWrapper::BeginFiscalReceipt(bool print_header) {
  Record("F_BeginFiscalReceipt$" + V(print_header));
  const int32_t rc = control_.BeginFiscalReceipt(print_header);
  return Finish("BeginFiscalReceipt", rc, "BeginFiscalReceipt(" + V(print_header) + ")");
}

int32_t clsFprtWrapper::BeginNonFiscal() {
  Record("F_BeginNonFiscal");
  const int32_t rc = control_.BeginNonFiscal();
  return Finish("BeginNonFiscal", rc, "BeginNonFiscal()");
}

int32_t clsFprtWrapper::BeginTraining() {
  Record("F_BeginTraining");
  const int32_t rc = control_.BeginTraining();
  return Finish("BeginTraining", rc, "BeginTraining()");
}

int32_t clsFprtWrapper::CheckHealth(int32_t level) {
  Record("F_CheckHealth$" + V(level));
  const int32_t rc = control_.CheckHealth(level);
  return Finish("CheckHealth", rc, "CheckHealth(" + V(level) + ")");
}

int32_t clsFprtWrapper::ClearError() {
  Record("F_ClearError");
  const int32_t rc = control_.ClearError();
  return Finish("ClearError", rc, "ClearError()");
}

int32_t clsFprtWrapper::ClearOutput() {
  Record("F_ClearOutput");
  const int32_t rc = control_.ClearOutput();
  return Finish("ClearOutput", rc, "ClearOutput()");
}

int32_t clsFprtWrapper::DirectIO(int32_t& command, std::array<int32_t, 11>& data,
                                 std::string& text) {
  std::string macro = "F_DirectIO$" + V(command);
  for (int32_t d : data) macro += "$" + V(d);
  Record(macro + "$" + text);
  const int32_t rc = control_.DirectIO(command, data, text);
  std::string line = "DirectIO(" + DirectIOCommandName(command) + ", {";
  for (size_t i = 0; i < data.size(); ++i) line += (i ? ", " : "") + V(data[i]);
  line += "}, " + V(text) + ")";
  return Finish("DirectIO", rc, line);
}

int32_t clsFprtWrapper::EndFiscalReceipt(bool print_header) {
  Record("F_EndFiscalReceipt$" + V(print_header));
  const int32_t rc = control_.EndFiscalReceipt(print_header);
  return Finish("EndFiscalReceipt", rc, "EndFiscalReceipt(" + V(print_header) + ")");
}

int32_t clsFprtWrapper::EndNonFiscal() {
  Record("F_EndNonFiscal");
  const int32_t rc = control_.EndNonFiscal();
  return Finish("EndNonFiscal", rc, "EndNonFiscal()");
}

int32_t clsFprtWrapper::EndTraining() {
  Record("F_EndTraining");
  const int32_t rc = control_.EndTraining();
  return Finish("EndTraining", rc, "EndTraining()");
}

int32_t clsFprtWrapper::GetData(int32_t data_item, int32_t& opt_args, std::string& data) {
  Record("F_GetData$" + V(data_item) + "$" + V(opt_args));
  const int32_t rc = control_.GetData(data_item, opt_args, data);
  return Finish("GetData", rc, "GetData(" + V(data_item) + ", " + V(opt_args) + ")");
}

int32_t clsFprtWrapper::GetDate(std::string& date) {
  Record("F_GetDate");
  const int32_t rc = control_.GetDate(date);
  return Finish("GetDate", rc, "GetDate()");
}

int32_t clsFprtWrapper::GetTotalizer(int32_t vat_id, int32_t opt_args, std::string& data) {
  Record("F_GetTotalizer$" + V(vat_id) + "$" + V(opt_args));
  const int32_t rc = control_.GetTotalizer(vat_id, opt_args, data);
  return Finish("GetTotalizer", rc, "GetTotalizer(" + V(vat_id) + ", " + V(opt_args) + ")");
}

int32_t clsFprtWrapper::GetVatEntry(int32_t vat_id, int32_t opt_args, int32_t& vat_rate) {
  Record("F_GetVatEntry$" + V(vat_id) + "$" + V(opt_args));
  const int32_t rc = control_.GetVatEntry(vat_id, opt_args, vat_rate);
  return Finish("GetVatEntry", rc, "GetVatEntry(" + V(vat_id) + ", " + V(opt_args) + ")");
}

int32_t clsFprtWrapper::PrintDuplicateReceipt() {
  Record("F_PrintDuplicateReceipt");
  const int32_t rc = control_.PrintDuplicateReceipt();
  return Finish("PrintDuplicateReceipt", rc, "PrintDuplicateReceipt()");
}

int32_t clsFprtWrapper::PrintNormal(int32_t station, const std::string& data) {
  Record("F_PrintNormal$" + V(station) + "$" + data);
  const int32_t rc = control_.PrintNormal(station, data);
  return Finish("PrintNormal", rc, "PrintNormal(" + V(station) + ", " + V(data) + ")");
}

int32_t clsFprtWrapper::PrintPeriodicTotalsReport(const std::string& date1,
                                                  const std::string& date2) {
  Record("F_PrintPeriodicTotalsReport$" + date1 + "$" + date2);
  const int32_t rc = control_.PrintPeriodicTotalsReport(date1, date2);
  return Finish("PrintPeriodicTotalsReport", rc,
                "PrintPeriodicTotalsReport(" + V(date1) + ", " + V(date2) + ")");
}

int32_t clsFprtWrapper::PrintRecItem(const std::string& description, Currency price,
                                     int32_t quantity, int32_t vat_info, Currency unit_price,
                                     const std::string& unit_name) {
  Record("F_PrintRecItem$" + description + "$" + A(price) + "$" + V(quantity) + "$" + V(vat_info) +
         "$" + A(unit_price) + "$" + unit_name);
  const int32_t rc =
      control_.PrintRecItem(description, price, quantity, vat_info, unit_price, unit_name);
  return Finish("PrintRecItem", rc,
                "PrintRecItem(" + Q(description) + ", " + A(price) + ", " + V(quantity) + ", " +
                    V(vat_info) + ", " + A(unit_price) + ", " + Q(unit_name) + ")");
}

int32_t clsFprtWrapper::PrintRecItemAdjustment(int32_t adjustment_type,
                                               const std::string& description, Currency amount,
                                               int32_t vat_info) {
  Record("F_PrintRecItemAdjustment$" + V(adjustment_type) + "$" + description + "$" + A(amount) +
         "$" + V(vat_info));
  const int32_t rc =
      control_.PrintRecItemAdjustment(adjustment_type, description, amount, vat_info);
  return Finish("PrintRecItemAdjustment", rc,
                "PrintRecItemAdjustment(" + T(adjustment_type) + ", " + Q(description) + ", " +
                    A(amount) + ", " + V(vat_info) + ")");
}

int32_t clsFprtWrapper::PrintRecItemAdjustmentVoid(int32_t adjustment_type,
                                                   const std::string& description, Currency amount,
                                                   int32_t vat_info) {
  Record("F_PrintRecItemAdjustmentVoid$" + V(adjustment_type) + "$" + description + "$" +
         A(amount) + "$" + V(vat_info));
  const int32_t rc =
      control_.PrintRecItemAdjustmentVoid(adjustment_type, description, amount, vat_info);
  return Finish("PrintRecItemAdjustmentVoid", rc,
                "PrintRecItemAdjustmentVoid(" + T(adjustment_type) + ", " + Q(description) + ", " +
                    A(amount) + ", " + V(vat_info) + ")");
}

int32_t clsFprtWrapper::PrintRecItemVoid(const std::string& description, Currency price,
                                         int32_t quantity, int32_t vat_info, Currency unit_price,
                                         const std::string& unit_name) {
  Record("F_PrintRecItemVoid$" + description + "$" + A(price) + "$" + V(quantity) + "$" +
         V(vat_info) + "$" + A(unit_price) + "$" + unit_name);
  const int32_t rc =
      control_.PrintRecItemVoid(description, price, quantity, vat_info, unit_price, unit_name);
  return Finish("PrintRecItemVoid", rc,
                "PrintRecItemVoid(" + Q(description) + ", " + A(price) + ", " + V(quantity) + ", " +
                    V(vat_info) + ", " + A(unit_price) + ", " + V(unit_name) + ")");
}

int32_t clsFprtWrapper::PrintRecMessage(const std::string& message) {
  Record("F_PrintRecMessage$" + message);
  const int32_t rc = control_.PrintRecMessage(message);
  return Finish("PrintRecMessage", rc, "PrintRecMessage(" + Q(message) + ")");
}

int32_t clsFprtWrapper::PrintRecNotPaid(const std::string& description, Currency amount) {
  Record("F_PrintRecNotPaid$" + description + "$" + A(amount));
  const int32_t rc = control_.PrintRecNotPaid(description, amount);
  return Finish("PrintRecNotPaid", rc,
                "PrintRecNotPaid(" + Q(description) + ", " + A(amount) + ")");
}

int32_t clsFprtWrapper::PrintRecRefund(const std::string& description, Currency amount,
                                       int32_t vat_info) {
  Record("F_PrintRecRefund$" + description + "$" + A(amount) + "$" + V(vat_info));
  const int32_t rc = control_.PrintRecRefund(description, amount, vat_info);
  return Finish("PrintRecRefund", rc,
                "PrintRecRefund(" + Q(description) + ", " + A(amount) + ", " + V(vat_info) + ")");
}

int32_t clsFprtWrapper::PrintRecRefundVoid(const std::string& description, Currency amount,
                                           int32_t vat_info) {
  Record("F_PrintRecRefundVoid$" + description + "$" + A(amount) + "$" + V(vat_info));
  const int32_t rc = control_.PrintRecRefundVoid(description, amount, vat_info);
  return Finish(
      "PrintRecRefundVoid", rc,
      "PrintRecRefundVoid(" + Q(description) + ", " + A(amount) + ", " + V(vat_info) + ")");
}

int32_t clsFprtWrapper::PrintRecSubtotal(Currency amount) {
  Record("F_PrintRecSubtotal$" + A(amount));
  const int32_t rc = control_.PrintRecSubtotal(amount);
  return Finish("PrintRecSubtotal", rc, "PrintRecSubtotal(" + A(amount) + ")");
}

int32_t clsFprtWrapper::PrintRecSubtotalAdjustment(int32_t adjustment_type,
                                                   const std::string& description,
                                                   Currency amount) {
  Record("F_PrintRecSubtotalAdjustment$" + V(adjustment_type) + "$" + description + "$" +
         A(amount));
  const int32_t rc = control_.PrintRecSubtotalAdjustment(adjustment_type, description, amount);
  return Finish("PrintRecSubtotalAdjustment", rc,
                "PrintRecSubtotalAdjustment(" + T(adjustment_type) + ", " + Q(description) + ", " +
                    A(amount) + ")");
}

int32_t clsFprtWrapper::PrintRecSubtotalAdjustVoid(int32_t adjustment_type, Currency amount) {
  Record("F_PrintRecSubtotalAdjustVoid$" + V(adjustment_type) + "$" + A(amount));
  const int32_t rc = control_.PrintRecSubtotalAdjustVoid(adjustment_type, amount);
  return Finish("PrintRecSubtotalAdjustVoid", rc,
                "PrintRecSubtotalAdjustVoid(" + T(adjustment_type) + ", " + A(amount) + ")");
}

int32_t clsFprtWrapper::PrintRecTotal(Currency total, Currency payment,
                                      const std::string& description) {
  Record("F_PrintRecTotal$" + A(total) + "$" + A(payment) + "$" + description);
  const int32_t rc = control_.PrintRecTotal(total, payment, description);
  return Finish("PrintRecTotal", rc,
                "PrintRecTotal(" + A(total) + ", " + A(payment) + ", " + Q(description) + ")");
}

int32_t clsFprtWrapper::PrintRecVoid(const std::string& description) {
  Record("F_PrintRecVoid$" + description);
  const int32_t rc = control_.PrintRecVoid(description);
  return Finish("PrintRecVoid", rc, "PrintRecVoid(" + Q(description) + ")");
}

int32_t clsFprtWrapper::PrintReport(int32_t report_type, const std::string& start_num,
                                    const std::string& end_num) {
  Record("F_PrintReport$" + V(report_type) + "$" + start_num + "$" + end_num);
  const int32_t rc = control_.PrintReport(report_type, start_num, end_num);
  return Finish("PrintReport", rc,
                "PrintReport(" + V(report_type) + ", " + Q(start_num) + ", " + Q(end_num) + ")");
}

int32_t clsFprtWrapper::PrintXReport() {
  Record("F_PrintXReport");
  const int32_t rc = control_.PrintXReport();
  return Finish("PrintXReport", rc, "PrintXReport()");
}

int32_t clsFprtWrapper::PrintZReport() {
  Record("F_PrintZReport");
  const int32_t rc = control_.PrintZReport();
  return Finish("PrintZReport", rc, "PrintZReport()");
}

int32_t clsFprtWrapper::ReleaseDevice() {
  Record("F_ReleaseDevice");
  const int32_t rc = control_.ReleaseDevice();
  return Finish("ReleaseDevice", rc, "ReleaseDevice()");
}

int32_t clsFprtWrapper::ResetPrinter() {
  Record("F_ResetPrinter");
  const int32_t rc = control_.ResetPrinter();
  return Finish("ResetPrinter", rc, "ResetPrinter()");
}

int32_t clsFprtWrapper::SetDate(const std::string& date) {
  Record("F_SetDate$" + date);
  const int32_t rc = control_.SetDate(date);
  return Finish("SetDate", rc, "SetDate(" + Q(date) + ")");
}

int32_t clsFprtWrapper::SetHeaderLine(int32_t line_number, const std::string& text,
                                      bool double_width) {
  Record("F_SetHeaderLine$" + V(line_number) + "$" + text + "$" + V(double_width));
  const int32_t rc = control_.SetHeaderLine(line_number, text, double_width);
  return Finish("SetHeaderLine", rc,
                "SetHeaderLine(" + V(line_number) + ", " + Q(text) + ", " + V(double_width) + ")");
}

int32_t clsFprtWrapper::SetPOSID(const std::string& pos_id, const std::string& cashier_id) {
  Record("F_SetPOSID$" + pos_id + "$" + cashier_id);
  const int32_t rc = control_.SetPOSID(pos_id, cashier_id);
  return Finish("SetPOSID", rc, "SetPOSID(" + Q(pos_id) + ", " + Q(cashier_id) + ")");
}

int32_t clsFprtWrapper::SetTrailerLine(int32_t line_number, const std::string& text,
                                       bool double_width) {
  Record("F_SetTrailerLine$" + V(line_number) + "$" + text + "$" + V(double_width));
  const int32_t rc = control_.SetTrailerLine(line_number, text, double_width);
  return Finish("SetTrailerLine", rc,
                "SetTrailerLine(" + V(line_number) + ", " + Q(text) + ", " + V(double_width) + ")");
}

int32_t clsFprtWrapper::SetVatTable() {
  Record("F_SetVatTable$");
  const int32_t rc = control_.SetVatTable();
  return Finish("SetVatTable", rc, "SetVatTable()");
}

int32_t clsFprtWrapper::SetVatValue(int32_t vat_id, const std::string& vat_value) {
  Record("F_SetVatValue$" + V(vat_id) + "$" + vat_value);
  const int32_t rc = control_.SetVatValue(vat_id, vat_value);
  return Finish("SetVatValue", rc, "SetVatValue(" + V(vat_id) + ", " + V(vat_value) + ")");
}

int32_t clsFprtWrapper::ClaimDevice(int32_t timeout_ms) {
  Record("F_ClaimDevice$" + V(timeout_ms));
  const int32_t rc = control_.ClaimDevice(timeout_ms);
  return Finish("ClaimDevice", rc, "ClaimDevice(" + V(timeout_ms) + ")");
}

// ---- Properties --------------------------------------------------------------------------

int32_t clsFprtWrapper::ActualCurrency() {
  const int32_t value = control_.ActualCurrency();
  log_.AddToLog("ActualCurrency = " + ValueText(value));
  return value;
}

std::string clsFprtWrapper::AdditionalHeader() {
  std::string value = control_.AdditionalHeader();
  log_.AddToLog("AdditionalHeader = \"" + value + "\"");
  return value;
}

void clsFprtWrapper::SetAdditionalHeader(const std::string& value) {
  Record("P_AdditionalHeader$" + ValueText(value));
  control_.SetAdditionalHeader(value);
  log_.AddToLog("AdditionalHeader := \"" + value + "\"" + ResultText());
}

std::string clsFprtWrapper::AdditionalTrailer() {
  std::string value = control_.AdditionalTrailer();
  log_.AddToLog("AdditionalTrailer = \"" + value + "\"");
  return value;
}

void clsFprtWrapper::SetAdditionalTrailer(const std::string& value) {
  Record("P_AdditionalTrailer$" + ValueText(value));
  control_.SetAdditionalTrailer(value);
  log_.AddToLog("AdditionalTrailer := \"" + value + "\"" + ResultText());
}

int32_t clsFprtWrapper::AmountDecimalPlaces() {
  const int32_t value = control_.AmountDecimalPlaces();
  log_.AddToLog("AmountDecimalPlaces = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::AsyncMode() {
  const bool value = control_.AsyncMode();
  log_.AddToLog("AsyncMode = " + ValueText(value));
  return value;
}

void clsFprtWrapper::SetAsyncMode(bool value) {
  Record("P_AsyncMode$" + ValueText(value));
  control_.SetAsyncMode(value);
  log_.AddToLog("AsyncMode := " + ValueText(value) + ResultText());
}

int32_t clsFprtWrapper::BinaryConversion() {
  const int32_t value = control_.BinaryConversion();
  log_.AddToLog("BinaryConversion = " + ValueText(value));
  return value;
}

void clsFprtWrapper::SetBinaryConversion(int32_t value) {
  Record("P_BinaryConversion$" + ValueText(value));
  control_.SetBinaryConversion(value);
  log_.AddToLog("BinaryConversion := " + ValueText(value) + ResultText());
}

std::string clsFprtWrapper::ChangeDue() {
  std::string value = control_.ChangeDue();
  log_.AddToLog("ChangeDue = \"" + value + "\"");
  return value;
}

void clsFprtWrapper::SetChangeDue(const std::string& value) {
  Record("P_ChangeDue$" + ValueText(value));
  control_.SetChangeDue(value);
  log_.AddToLog("ChangeDue := \"" + value + "\"" + ResultText());
}

std::string clsFprtWrapper::CheckHealthText() {
  std::string value = control_.CheckHealthText();
  log_.AddToLog("CheckHealthText = \"" + value + "\"");
  return value;
}

bool clsFprtWrapper::CheckTotal() {
  const bool value = control_.CheckTotal();
  log_.AddToLog("CheckTotal = " + ValueText(value));
  return value;
}

void clsFprtWrapper::SetCheckTotal(bool value) {
  Record("P_CheckTotal$" + ValueText(value));
  control_.SetCheckTotal(value);
  log_.AddToLog("CheckTotal := " + ValueText(value) + ResultText());
}

bool clsFprtWrapper::Claimed() {
  const bool value = control_.Claimed();
  log_.AddToLog("Claimed = " + ValueText(value));
  return value;
}

int32_t clsFprtWrapper::ContractorId() {
  const int32_t value = control_.ContractorId();
  log_.AddToLog("ContractorId = " + ValueText(value));
  return value;
}

void clsFprtWrapper::SetContractorId(int32_t value) {
  Record("P_ContractorId$" + ValueText(value));
  control_.SetContractorId(value);
  log_.AddToLog("ContractorId := " + ValueText(value) + ResultText());
}

std::string clsFprtWrapper::CountryCode() {
  std::string value = std::to_string(control_.CountryCode());
  log_.AddToLog("CountryCode = \"" + value + "\"");
  return value;
}

bool clsFprtWrapper::CoverOpen() {
  const bool value = control_.CoverOpen();
  log_.AddToLog("CoverOpen = " + ValueText(value));
  return value;
}

int32_t clsFprtWrapper::DateType() {
  const int32_t value = control_.DateType();
  log_.AddToLog("DateType = " + ValueText(value));
  return value;
}

void clsFprtWrapper::SetDateType(int32_t value) {
  Record("P_DateType$" + ValueText(value));
  control_.SetDateType(value);
  log_.AddToLog("DateType := " + ValueText(value) + ResultText());
}

bool clsFprtWrapper::DayOpened() {
  const bool value = control_.DayOpened();
  log_.AddToLog("DayOpened = " + ValueText(value));
  return value;
}

int32_t clsFprtWrapper::DescriptionLength() {
  const int32_t value = control_.DescriptionLength();
  log_.AddToLog("DescriptionLength = " + ValueText(value));
  return value;
}

std::string clsFprtWrapper::DeviceDescription() {
  std::string value = control_.DeviceDescription();
  log_.AddToLog("DeviceDescription = \"" + value + "\"");
  return value;
}

bool clsFprtWrapper::DeviceEnabled() {
  const bool value = control_.DeviceEnabled();
  log_.AddToLog("DeviceEnabled = " + ValueText(value));
  return value;
}

void clsFprtWrapper::SetDeviceEnabled(bool value) {
  Record("P_DeviceEnabled$" + ValueText(value));
  control_.SetDeviceEnabled(value);
  log_.AddToLog("DeviceEnabled := " + ValueText(value) + ResultText());
}

std::string clsFprtWrapper::DeviceName() {
  std::string value = control_.DeviceName();
  log_.AddToLog("DeviceName = \"" + value + "\"");
  return value;
}

bool clsFprtWrapper::DuplicateReceipt() {
  const bool value = control_.DuplicateReceipt();
  log_.AddToLog("DuplicateReceipt = " + ValueText(value));
  return value;
}

void clsFprtWrapper::SetDuplicateReceipt(bool value) {
  Record("P_DuplicateReceipt$" + ValueText(value));
  control_.SetDuplicateReceipt(value);
  log_.AddToLog("DuplicateReceipt := " + ValueText(value) + ResultText());
}

int32_t clsFprtWrapper::ErrorLevel() {
  const int32_t value = control_.ErrorLevel();
  log_.AddToLog("ErrorLevel = " + ValueText(value));
  return value;
}

int32_t clsFprtWrapper::ErrorOutID() {
  const int32_t value = control_.ErrorOutID();
  log_.AddToLog("ErrorOutID = " + ValueText(value));
  return value;
}

int32_t clsFprtWrapper::ErrorState() {
  const int32_t value = control_.ErrorState();
  log_.AddToLog("ErrorState = " + ValueText(value));
  return value;
}

int32_t clsFprtWrapper::ErrorStation() {
  const int32_t value = control_.ErrorStation();
  log_.AddToLog("ErrorStation = " + ValueText(value));
  return value;
}

std::string clsFprtWrapper::ErrorString() {
  std::string value = control_.ErrorString();
  log_.AddToLog("ErrorString = \"" + value + "\"");
  return value;
}

int32_t clsFprtWrapper::FiscalReceiptStation() {
  const int32_t value = control_.FiscalReceiptStation();
  log_.AddToLog("FiscalReceiptStation = " + ValueText(value));
  return value;
}

void clsFprtWrapper::SetFiscalReceiptStation(int32_t value) {
  Record("P_FiscalReceiptStation$" + ValueText(value));
  control_.SetFiscalReceiptStation(value);
  log_.AddToLog("FiscalReceiptStation := " + ValueText(value) + ResultText());
}

int32_t clsFprtWrapper::FiscalReceiptType() {
  const int32_t value = control_.FiscalReceiptType();
  log_.AddToLog("FiscalReceiptType = " + ValueText(value));
  return value;
}

void clsFprtWrapper::SetFiscalReceiptType(int32_t value) {
  Record("P_FiscalReceiptType$" + ValueText(value));
  control_.SetFiscalReceiptType(value);
  log_.AddToLog("FiscalReceiptType := " + ValueText(value) + ResultText());
}

bool clsFprtWrapper::FlagWhenIdle() {
  const bool value = control_.FlagWhenIdle();
  log_.AddToLog("FlagWhenIdle = " + ValueText(value));
  return value;
}

void clsFprtWrapper::SetFlagWhenIdle(bool value) {
  Record("P_FlagWhenIdle$" + ValueText(value));
  control_.SetFlagWhenIdle(value);
  log_.AddToLog("FlagWhenIdle := " + ValueText(value) + ResultText());
}

bool clsFprtWrapper::FreezeEvents() {
  const bool value = control_.FreezeEvents();
  log_.AddToLog("FreezeEvents = " + ValueText(value));
  return value;
}

void clsFprtWrapper::SetFreezeEvents(bool value) {
  Record("P_FreezeEvents$" + ValueText(value));
  control_.SetFreezeEvents(value);
  log_.AddToLog("FreezeEvents := " + ValueText(value) + ResultText());
}

bool clsFprtWrapper::JrnEmpty() {
  const bool value = control_.JrnEmpty();
  log_.AddToLog("JrnEmpty = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::JrnNearEnd() {
  const bool value = control_.JrnNearEnd();
  log_.AddToLog("JrnNearEnd = " + ValueText(value));
  return value;
}

int32_t clsFprtWrapper::MessageLength() {
  const int32_t value = control_.MessageLength();
  log_.AddToLog("MessageLength = " + ValueText(value));
  return value;
}

int32_t clsFprtWrapper::MessageType() {
  const int32_t value = control_.MessageType();
  log_.AddToLog("MessageType = " + ValueText(value));
  return value;
}

void clsFprtWrapper::SetMessageType(int32_t value) {
  Record("P_MessageType$" + ValueText(value));
  control_.SetMessageType(value);
  log_.AddToLog("MessageType := " + ValueText(value) + ResultText());
}

int32_t clsFprtWrapper::NumHeaderLines() {
  const int32_t value = control_.NumHeaderLines();
  log_.AddToLog("NumHeaderLines = " + ValueText(value));
  return value;
}

int32_t clsFprtWrapper::NumTrailerLines() {
  const int32_t value = control_.NumTrailerLines();
  log_.AddToLog("NumTrailerLines = " + ValueText(value));
  return value;
}

int32_t clsFprtWrapper::NumVatRates() {
  const int32_t value = control_.NumVatRates();
  log_.AddToLog("NumVatRates = " + ValueText(value));
  return value;
}

int32_t clsFprtWrapper::OutputID() {
  const int32_t value = control_.OutputID();
  log_.AddToLog("OutputID = " + ValueText(value));
  return value;
}

std::string clsFprtWrapper::PostLine() {
  std::string value = control_.PostLine();
  log_.AddToLog("PostLine = \"" + value + "\"");
  return value;
}

void clsFprtWrapper::SetPostLine(const std::string& value) {
  Record("P_PostLine$" + ValueText(value));
  control_.SetPostLine(value);
  log_.AddToLog("PostLine := \"" + value + "\"" + ResultText());
}

int32_t clsFprtWrapper::PowerNotify() {
  const int32_t value = control_.PowerNotify();
  log_.AddToLog("PowerNotify = " + ValueText(value));
  return value;
}

void clsFprtWrapper::SetPowerNotify(int32_t value) {
  Record("P_PowerNotify$" + ValueText(value));
  control_.SetPowerNotify(value);
  log_.AddToLog("PowerNotify := " + ValueText(value) + ResultText());
}

int32_t clsFprtWrapper::PowerState() {
  const int32_t value = control_.PowerState();
  log_.AddToLog("PowerState = " + ValueText(value));
  return value;
}

std::string clsFprtWrapper::PredefinedPaymentLines() {
  std::string value = control_.PredefinedPaymentLines();
  log_.AddToLog("PredefinedPaymentLines = \"" + value + "\"");
  return value;
}

std::string clsFprtWrapper::PreLine() {
  std::string value = control_.PreLine();
  log_.AddToLog("PreLine = \"" + value + "\"");
  return value;
}

void clsFprtWrapper::SetPreLine(const std::string& value) {
  Record("P_PreLine$" + ValueText(value));
  control_.SetPreLine(value);
  log_.AddToLog("PreLine := \"" + value + "\"" + ResultText());
}

int32_t clsFprtWrapper::PrinterState() {
  const int32_t value = control_.PrinterState();
  log_.AddToLog("PrinterState = " + ValueText(value));
  return value;
}

int32_t clsFprtWrapper::QuantityDecimalPlaces() {
  const int32_t value = control_.QuantityDecimalPlaces();
  log_.AddToLog("QuantityDecimalPlaces = " + ValueText(value));
  return value;
}

int32_t clsFprtWrapper::QuantityLength() {
  const int32_t value = control_.QuantityLength();
  log_.AddToLog("QuantityLength = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::RecEmpty() {
  const bool value = control_.RecEmpty();
  log_.AddToLog("RecEmpty = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::RecNearEnd() {
  const bool value = control_.RecNearEnd();
  log_.AddToLog("RecNearEnd = " + ValueText(value));
  return value;
}

int32_t clsFprtWrapper::RemainingFiscalMemory() {
  const int32_t value = control_.RemainingFiscalMemory();
  log_.AddToLog("RemainingFiscalMemory = " + ValueText(value));
  return value;
}

std::string clsFprtWrapper::ReservedWord() {
  std::string value = control_.ReservedWord();
  log_.AddToLog("ReservedWord = \"" + value + "\"");
  return value;
}

int32_t clsFprtWrapper::ResultCode() {
  const int32_t value = control_.ResultCode();
  log_.AddToLog("ResultCode = " + ValueText(value));
  return value;
}

int32_t clsFprtWrapper::ResultCodeExtended() {
  const int32_t value = control_.ResultCodeExtended();
  log_.AddToLog("ResultCodeExtended = " + ValueText(value));
  return value;
}

std::string clsFprtWrapper::ServiceObjectDescription() {
  std::string value = control_.ServiceObjectDescription();
  log_.AddToLog("ServiceObjectDescription = \"" + value + "\"");
  return value;
}

std::string clsFprtWrapper::ServiceObjectVersion() {
  std::string value = std::to_string(control_.ServiceObjectVersion());
  log_.AddToLog("ServiceObjectVersion = \"" + value + "\"");
  return value;
}

int32_t clsFprtWrapper::SlipSelection() {
  const int32_t value = control_.SlipSelection();
  log_.AddToLog("SlipSelection = " + ValueText(value));
  return value;
}

void clsFprtWrapper::SetSlipSelection(int32_t value) {
  Record("P_SlipSelection$" + ValueText(value));
  control_.SetSlipSelection(value);
  log_.AddToLog("SlipSelection := " + ValueText(value) + ResultText());
}

bool clsFprtWrapper::SlpEmpty() {
  const bool value = control_.SlpEmpty();
  log_.AddToLog("SlpEmpty = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::SlpNearEnd() {
  const bool value = control_.SlpNearEnd();
  log_.AddToLog("SlpNearEnd = " + ValueText(value));
  return value;
}

int32_t clsFprtWrapper::State() {
  const int32_t value = control_.State();
  log_.AddToLog("State = " + ValueText(value));
  return value;
}

int32_t clsFprtWrapper::TotalizerType() {
  const int32_t value = control_.TotalizerType();
  log_.AddToLog("TotalizerType = " + ValueText(value));
  return value;
}

void clsFprtWrapper::SetTotalizerType(int32_t value) {
  Record("P_TotalizerType$" + ValueText(value));
  control_.SetTotalizerType(value);
  log_.AddToLog("TotalizerType := " + ValueText(value) + ResultText());
}

bool clsFprtWrapper::TrainingModeActive() {
  const bool value = control_.TrainingModeActive();
  log_.AddToLog("TrainingModeActive = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapAdditionalHeader() {
  const bool value = control_.CapAdditionalHeader();
  log_.AddToLog("CapAdditionalHeader = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapAdditionalLines() {
  const bool value = control_.CapAdditionalLines();
  log_.AddToLog("CapAdditionalLines = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapAdditionalTrailer() {
  const bool value = control_.CapAdditionalTrailer();
  log_.AddToLog("CapAdditionalTrailer = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapAmountAdjustment() {
  const bool value = control_.CapAmountAdjustment();
  log_.AddToLog("CapAmountAdjustment = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapAmountNotPaid() {
  const bool value = control_.CapAmountNotPaid();
  log_.AddToLog("CapAmountNotPaid = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapChangeDue() {
  const bool value = control_.CapChangeDue();
  log_.AddToLog("CapChangeDue = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapCheckTotal() {
  const bool value = control_.CapCheckTotal();
  log_.AddToLog("CapCheckTotal = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapCompareFirmwareVersion() {
  const bool value = control_.CapCompareFirmwareVersion();
  log_.AddToLog("CapCompareFirmwareVersion = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapCoverSensor() {
  const bool value = control_.CapCoverSensor();
  log_.AddToLog("CapCoverSensor = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapDoubleWidth() {
  const bool value = control_.CapDoubleWidth();
  log_.AddToLog("CapDoubleWidth = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapDuplicateReceipt() {
  const bool value = control_.CapDuplicateReceipt();
  log_.AddToLog("CapDuplicateReceipt = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapEmptyReceiptIsVoidable() {
  const bool value = control_.CapEmptyReceiptIsVoidable();
  log_.AddToLog("CapEmptyReceiptIsVoidable = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapFiscalReceiptStation() {
  const bool value = control_.CapFiscalReceiptStation();
  log_.AddToLog("CapFiscalReceiptStation = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapFiscalReceiptType() {
  const bool value = control_.CapFiscalReceiptType();
  log_.AddToLog("CapFiscalReceiptType = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapFixedOutput() {
  const bool value = control_.CapFixedOutput();
  log_.AddToLog("CapFixedOutput = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapHasVatTable() {
  const bool value = control_.CapHasVatTable();
  log_.AddToLog("CapHasVatTable = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapIndependentHeader() {
  const bool value = control_.CapIndependentHeader();
  log_.AddToLog("CapIndependentHeader = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapItemList() {
  const bool value = control_.CapItemList();
  log_.AddToLog("CapItemList = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapJrnEmptySensor() {
  const bool value = control_.CapJrnEmptySensor();
  log_.AddToLog("CapJrnEmptySensor = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapJrnNearEndSensor() {
  const bool value = control_.CapJrnNearEndSensor();
  log_.AddToLog("CapJrnNearEndSensor = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapJrnPresent() {
  const bool value = control_.CapJrnPresent();
  log_.AddToLog("CapJrnPresent = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapMultiContractor() {
  const bool value = control_.CapMultiContractor();
  log_.AddToLog("CapMultiContractor = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapNonFiscalMode() {
  const bool value = control_.CapNonFiscalMode();
  log_.AddToLog("CapNonFiscalMode = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapOnlyVoidLastItem() {
  const bool value = control_.CapOnlyVoidLastItem();
  log_.AddToLog("CapOnlyVoidLastItem = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapOrderAdjustmentFirst() {
  const bool value = control_.CapOrderAdjustmentFirst();
  log_.AddToLog("CapOrderAdjustmentFirst = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapPackageAdjustment() {
  const bool value = control_.CapPackageAdjustment();
  log_.AddToLog("CapPackageAdjustment = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapPercentAdjustment() {
  const bool value = control_.CapPercentAdjustment();
  log_.AddToLog("CapPercentAdjustment = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapPositiveAdjustment() {
  const bool value = control_.CapPositiveAdjustment();
  log_.AddToLog("CapPositiveAdjustment = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapPostPreLine() {
  const bool value = control_.CapPostPreLine();
  log_.AddToLog("CapPostPreLine = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapPowerLossReport() {
  const bool value = control_.CapPowerLossReport();
  log_.AddToLog("CapPowerLossReport = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapPowerReporting() {
  const bool value = control_.CapPowerReporting();
  log_.AddToLog("CapPowerReporting = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapPredefinedPaymentLines() {
  const bool value = control_.CapPredefinedPaymentLines();
  log_.AddToLog("CapPredefinedPaymentLines = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapReceiptNotPaid() {
  const bool value = control_.CapReceiptNotPaid();
  log_.AddToLog("CapReceiptNotPaid = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapRecEmptySensor() {
  const bool value = control_.CapRecEmptySensor();
  log_.AddToLog("CapRecEmptySensor = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapRecNearEndSensor() {
  const bool value = control_.CapRecNearEndSensor();
  log_.AddToLog("CapRecNearEndSensor = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapRecPresent() {
  const bool value = control_.CapRecPresent();
  log_.AddToLog("CapRecPresent = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapRemainingFiscalMemory() {
  const bool value = control_.CapRemainingFiscalMemory();
  log_.AddToLog("CapRemainingFiscalMemory = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapReservedWord() {
  const bool value = control_.CapReservedWord();
  log_.AddToLog("CapReservedWord = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapSetCurrency() {
  const bool value = control_.CapSetCurrency();
  log_.AddToLog("CapSetCurrency = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapSetHeader() {
  const bool value = control_.CapSetHeader();
  log_.AddToLog("CapSetHeader = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapSetPOSID() {
  const bool value = control_.CapSetPOSID();
  log_.AddToLog("CapSetPOSID = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapSetStoreFiscalID() {
  const bool value = control_.CapSetStoreFiscalID();
  log_.AddToLog("CapSetStoreFiscalID = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapSetTrailer() {
  const bool value = control_.CapSetTrailer();
  log_.AddToLog("CapSetTrailer = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapSetVatTable() {
  const bool value = control_.CapSetVatTable();
  log_.AddToLog("CapSetVatTable = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapSlpEmptySensor() {
  const bool value = control_.CapSlpEmptySensor();
  log_.AddToLog("CapSlpEmptySensor = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapSlpFiscalDocument() {
  const bool value = control_.CapSlpFiscalDocument();
  log_.AddToLog("CapSlpFiscalDocument = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapSlpFullSlip() {
  const bool value = control_.CapSlpFullSlip();
  log_.AddToLog("CapSlpFullSlip = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapSlpNearEndSensor() {
  const bool value = control_.CapSlpNearEndSensor();
  log_.AddToLog("CapSlpNearEndSensor = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapSlpPresent() {
  const bool value = control_.CapSlpPresent();
  log_.AddToLog("CapSlpPresent = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapSlpValidation() {
  const bool value = control_.CapSlpValidation();
  log_.AddToLog("CapSlpValidation = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapStatisticsReporting() {
  const bool value = control_.CapStatisticsReporting();
  log_.AddToLog("CapStatisticsReporting = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapSubAmountAdjustment() {
  const bool value = control_.CapSubAmountAdjustment();
  log_.AddToLog("CapSubAmountAdjustment = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapSubPercentAdjustment() {
  const bool value = control_.CapSubPercentAdjustment();
  log_.AddToLog("CapSubPercentAdjustment = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapSubtotal() {
  const bool value = control_.CapSubtotal();
  log_.AddToLog("CapSubtotal = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapTotalizerType() {
  const bool value = control_.CapTotalizerType();
  log_.AddToLog("CapTotalizerType = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapTrainingMode() {
  const bool value = control_.CapTrainingMode();
  log_.AddToLog("CapTrainingMode = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapXReport() {
  const bool value = control_.CapXReport();
  log_.AddToLog("CapXReport = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapUpdateFirmware() {
  const bool value = control_.CapUpdateFirmware();
  log_.AddToLog("CapUpdateFirmware = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapUpdateStatistics() {
  const bool value = control_.CapUpdateStatistics();
  log_.AddToLog("CapUpdateStatistics = " + ValueText(value));
  return value;
}

bool clsFprtWrapper::CapValidateJournal() {
  const bool value = control_.CapValidateJournal();
  log_.AddToLog("CapValidateJournal = " + ValueText(value));
  return value;
}

}  // namespace kelo::testapp
