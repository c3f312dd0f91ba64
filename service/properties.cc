#include "service/properties.h"

#include <algorithm>
#include <iterator>

#include "service/opos_codes.h"

namespace kelo::service {

namespace {

struct NamedValue {
  int32_t index;
  const char* name;
  int32_t value;  // default after OpenService
};

// Numeric properties with their defaults. Claimed, DeviceEnabled, ResultCode,
// ResultCodeExtended and State are lifecycle fields of the unit; their rows give names only.
constexpr NamedValue kNumbers[] = {
    {pidx::Claimed, "Claimed", 0},
    {pidx::DeviceEnabled, "DeviceEnabled", 0},
    {pidx::FreezeEvents, "FreezeEvents", 1},
    {pidx::OutputID, "OutputID", 0},
    {pidx::ResultCode, "ResultCode", 0},
    {pidx::ResultCodeExtended, "ResultCodeExtended", 0},
    {pidx::ServiceObjectVersion, "ServiceObjectVersion", kServiceObjectVersion},
    {pidx::State, "State", OPOS_S_IDLE},
    {pidx::BinaryConversion, "BinaryConversion", 0},
    {pidx::PowerNotify, "PowerNotify", 0},
    {pidx::PowerState, "PowerState", 2000},
    {pidx::AmountDecimalPlaces, "AmountDecimalPlaces", 2},
    {pidx::AsyncMode, "AsyncMode", 0},
    {pidx::CheckTotal, "CheckTotal", 1},
    {pidx::CountryCode, "CountryCode", 8},
    {pidx::CoverOpen, "CoverOpen", 0},
    {pidx::DayOpened, "DayOpened", 0},
    {pidx::DescriptionLength, "DescriptionLength", 24},
    {pidx::DuplicateReceipt, "DuplicateReceipt", 0},
    {pidx::ErrorLevel, "ErrorLevel", FPTR_EL_NONE},
    {pidx::ErrorOutID, "ErrorOutID", 0},
    {pidx::ErrorState, "ErrorState", 0},
    {pidx::ErrorStation, "ErrorStation", 0},
    {pidx::FlagWhenIdle, "FlagWhenIdle", 0},
    {pidx::JrnEmpty, "JrnEmpty", 0},
    {pidx::JrnNearEnd, "JrnNearEnd", 0},
    {pidx::MessageLength, "MessageLength", 30},
    {pidx::NumHeaderLines, "NumHeaderLines", 5},
    {pidx::NumTrailerLines, "NumTrailerLines", 0},
    {pidx::NumVatRates, "NumVatRates", 0},
    {pidx::PrinterState, "PrinterState", FPTR_PS_MONITOR},
    {pidx::QuantityDecimalPlaces, "QuantityDecimalPlaces", 0},
    {pidx::QuantityLength, "QuantityLength", 12},
    {pidx::RecEmpty, "RecEmpty", 0},
    {pidx::RecNearEnd, "RecNearEnd", 0},
    {pidx::RemainingFiscalMemory, "RemainingFiscalMemory", 0},
    {pidx::SlpEmpty, "SlpEmpty", 0},
    {pidx::SlpNearEnd, "SlpNearEnd", 0},
    {pidx::SlipSelection, "SlipSelection", 0},
    {pidx::TrainingModeActive, "TrainingModeActive", 0},
    {pidx::ActualCurrency, "ActualCurrency", 3},
    {pidx::ContractorId, "ContractorId", 3},
    {pidx::DateType, "DateType", 4},
    {pidx::FiscalReceiptStation, "FiscalReceiptStation", 1},
    {pidx::FiscalReceiptType, "FiscalReceiptType", FPTR_RT_SALES},
    {pidx::MessageType, "MessageType", 24},
    {pidx::TotalizerType, "TotalizerType", 2},
};

// Capabilities: constants of this service object.
constexpr NamedValue kCapabilities[] = {
    {pidx::CapPowerReporting, "CapPowerReporting", 0},
    {pidx::CapStatisticsReporting, "CapStatisticsReporting", 0},
    {pidx::CapUpdateStatistics, "CapUpdateStatistics", 0},
    {pidx::CapCompareFirmwareVersion, "CapCompareFirmwareVersion", 0},
    {pidx::CapUpdateFirmware, "CapUpdateFirmware", 0},
    {pidx::CapAdditionalLines, "CapAdditionalLines", 1},
    {pidx::CapAmountAdjustment, "CapAmountAdjustment", 1},
    {pidx::CapAmountNotPaid, "CapAmountNotPaid", 1},
    {pidx::CapCheckTotal, "CapCheckTotal", 0},
    {pidx::CapCoverSensor, "CapCoverSensor", 1},
    {pidx::CapDoubleWidth, "CapDoubleWidth", 1},
    {pidx::CapDuplicateReceipt, "CapDuplicateReceipt", 1},
    {pidx::CapFixedOutput, "CapFixedOutput", 0},
    {pidx::CapHasVatTable, "CapHasVatTable", 1},
    {pidx::CapIndependentHeader, "CapIndependentHeader", 1},
    {pidx::CapItemList, "CapItemList", 0},
    {pidx::CapJrnEmptySensor, "CapJrnEmptySensor", 1},
    {pidx::CapJrnNearEndSensor, "CapJrnNearEndSensor", 1},
    {pidx::CapJrnPresent, "CapJrnPresent", 1},
    {pidx::CapNonFiscalMode, "CapNonFiscalMode", 1},
    {pidx::CapOrderAdjustmentFirst, "CapOrderAdjustmentFirst", 0},
    {pidx::CapPercentAdjustment, "CapPercentAdjustment", 1},
    {pidx::CapPositiveAdjustment, "CapPositiveAdjustment", 1},
    {pidx::CapPowerLossReport, "CapPowerLossReport", 0},
    {pidx::CapPredefinedPaymentLines, "CapPredefinedPaymentLines", 0},
    {pidx::CapReceiptNotPaid, "CapReceiptNotPaid", 1},
    {pidx::CapRecEmptySensor, "CapRecEmptySensor", 1},
    {pidx::CapRecNearEndSensor, "CapRecNearEndSensor", 1},
    {pidx::CapRecPresent, "CapRecPresent", 1},
    {pidx::CapRemainingFiscalMemory, "CapRemainingFiscalMemory", 0},
    {pidx::CapReservedWord, "CapReservedWord", 1},
    {pidx::CapSetHeader, "CapSetHeader", 1},
    {pidx::CapSetPOSID, "CapSetPOSID", 1},
    {pidx::CapSetStoreFiscalID, "CapSetStoreFiscalID", 0},
    {pidx::CapSetTrailer, "CapSetTrailer", 0},
    {pidx::CapSetVatTable, "CapSetVatTable", 1},
    {pidx::CapSlpEmptySensor, "CapSlpEmptySensor", 0},
    {pidx::CapSlpFiscalDocument, "CapSlpFiscalDocument", 0},
    {pidx::CapSlpFullSlip, "CapSlpFullSlip", 0},
    {pidx::CapSlpNearEndSensor, "CapSlpNearEndSensor", 0},
    {pidx::CapSlpPresent, "CapSlpPresent", 0},
    {pidx::CapSlpValidation, "CapSlpValidation", 0},
    {pidx::CapSubAmountAdjustment, "CapSubAmountAdjustment", 1},
    {pidx::CapSubPercentAdjustment, "CapSubPercentAdjustment", 1},
    {pidx::CapSubtotal, "CapSubtotal", 1},
    {pidx::CapTrainingMode, "CapTrainingMode", 1},
    {pidx::CapValidateJournal, "CapValidateJournal", 0},
    {pidx::CapXReport, "CapXReport", 1},
    {pidx::CapAdditionalHeader, "CapAdditionalHeader", 1},
    {pidx::CapAdditionalTrailer, "CapAdditionalTrailer", 1},
    {pidx::CapChangeDue, "CapChangeDue", 0},
    {pidx::CapEmptyReceiptIsVoidable, "CapEmptyReceiptIsVoidable", 1},
    {pidx::CapFiscalReceiptStation, "CapFiscalReceiptStation", 0},
    {pidx::CapFiscalReceiptType, "CapFiscalReceiptType", 1},
    {pidx::CapMultiContractor, "CapMultiContractor", 0},
    {pidx::CapOnlyVoidLastItem, "CapOnlyVoidLastItem", 1},
    {pidx::CapPackageAdjustment, "CapPackageAdjustment", 0},
    {pidx::CapPostPreLine, "CapPostPreLine", 1},
    {pidx::CapSetCurrency, "CapSetCurrency", 0},
    {pidx::CapTotalizerType, "CapTotalizerType", 1},
    {pidx::CapPositiveSubtotalAdjustment, "CapPositiveSubtotalAdjustment", 1},
};

struct NamedText {
  int32_t index;
  const char* name;
};

constexpr NamedText kTexts[] = {
    {pidx::CheckHealthText, "CheckHealthText"},
    {pidx::DeviceDescription, "DeviceDescription"},
    {pidx::DeviceName, "DeviceName"},
    {pidx::ServiceObjectDescription, "ServiceObjectDescription"},
    {pidx::ErrorString, "ErrorString"},
    {pidx::PredefinedPaymentLines, "PredefinedPaymentLines"},
    {pidx::ReservedWord, "ReservedWord"},
    {pidx::AdditionalHeader, "AdditionalHeader"},
    {pidx::AdditionalTrailer, "AdditionalTrailer"},
    {pidx::ChangeDue, "ChangeDue"},
    {pidx::PostLine, "PostLine"},
    {pidx::PreLine, "PreLine"},
};

struct GateRow {
  int32_t index;
  CapabilityGate gate;
};

constexpr GateRow kGates[] = {
    {pidx::PowerNotify, {pidx::CapPowerReporting, "CapPowerReporting is OPOS_PR_NONE"}},
    {pidx::CoverOpen, {pidx::CapCoverSensor, "CapCoverSensor is false"}},
    {pidx::DuplicateReceipt, {pidx::CapDuplicateReceipt, "CapDuplicateReceipt is false"}},
    {pidx::JrnEmpty, {pidx::CapJrnEmptySensor, "CapJrnEmptySensor is false"}},
    {pidx::JrnNearEnd, {pidx::CapJrnNearEndSensor, "CapJrnNearEndSensor is false"}},
    {pidx::RecEmpty, {pidx::CapRecEmptySensor, "CapRecEmptySensor is false"}},
    {pidx::RecNearEnd, {pidx::CapRecNearEndSensor, "CapRecNearEndSensor is false"}},
    {pidx::RemainingFiscalMemory,
     {pidx::CapRemainingFiscalMemory, "CapRemainingFiscalMemory is false"}},
    {pidx::SlpEmpty, {pidx::CapSlpEmptySensor, "CapSlpEmptySensor is false"}},
    {pidx::SlpNearEnd, {pidx::CapSlpNearEndSensor, "CapSlpNearEndSensor is false"}},
    {pidx::ActualCurrency, {pidx::CapSetCurrency, "CapSetCurrency is false"}},
    {pidx::ContractorId, {pidx::CapMultiContractor, "CapMultiContractor is false"}},
    {pidx::FiscalReceiptStation,
     {pidx::CapFiscalReceiptStation, "CapFiscalReceiptStation is FALSE"}},
    {pidx::FiscalReceiptType, {pidx::CapFiscalReceiptType, "CapFiscalReceiptType is false"}},
    {pidx::TotalizerType, {pidx::CapTotalizerType, "CapTotalizerType is false"}},
    {pidx::PredefinedPaymentLines,
     {pidx::CapPredefinedPaymentLines, "CapPredefinedPaymentLines is false"}},
    {pidx::ReservedWord, {pidx::CapReservedWord, "CapReservedWord is false"}},
    {pidx::AdditionalHeader, {pidx::CapAdditionalHeader, "CapAdditionalHeader is false"}},
    {pidx::AdditionalTrailer, {pidx::CapAdditionalTrailer, "CapAdditionalTrailer is false"}},
    {pidx::ChangeDue, {pidx::CapChangeDue, "CapChangeDue is false"}},
    {pidx::PostLine, {pidx::CapPostPreLine, "CapPostPreLine is false"}},
    {pidx::PreLine, {pidx::CapPostPreLine, "CapPostPreLine is false"}},
};

bool In(int32_t index, int32_t first, int32_t last) {
  return index >= first && index <= last;
}

}  // namespace

PropertyAccess AccessOf(int32_t index) {
  switch (index) {
    case pidx::ResultCode:
    case pidx::ResultCodeExtended:
    case pidx::State:
      return PropertyAccess::Any;
    case pidx::DeviceEnabled:
      return PropertyAccess::Claimed;
    case pidx::Claimed:
    case pidx::FreezeEvents:
    case pidx::OutputID:
    case pidx::ServiceObjectVersion:
    case pidx::PowerNotify:
    case pidx::PowerState:
    case pidx::ChangeDue:
      return PropertyAccess::Open;
    case pidx::BinaryConversion:
    case pidx::AmountDecimalPlaces:
    case pidx::CoverOpen:
    case pidx::DayOpened:
    case pidx::JrnEmpty:
    case pidx::JrnNearEnd:
    case pidx::AdditionalHeader:
    case pidx::AdditionalTrailer:
    case pidx::PostLine:
    case pidx::PreLine:
      return PropertyAccess::Enabled;
    default:
      break;
  }
  if (In(index, 501, 505) || In(index, 16002, 16004) || In(index, 16007, 16013) ||
      In(index, 16016, 16022) || In(index, 16501, 16556) || In(index, 1000001, 1000004) ||
      In(index, 1016001, 1016003)) {
    return PropertyAccess::Open;
  }
  if (In(index, 16023, 16036)) return PropertyAccess::Enabled;
  return PropertyAccess::Never;
}

const CapabilityGate* GateOf(int32_t index) {
  for (const GateRow& row : kGates) {
    if (row.index == index) return &row.gate;
  }
  return nullptr;
}

bool IsCapability(int32_t index) {
  return In(index, 501, 505) || In(index, 16501, 16556);
}

const char* PropertyNameOf(int32_t index) {
  for (const NamedValue& row : kNumbers) {
    if (row.index == index) return row.name;
  }
  for (const NamedValue& row : kCapabilities) {
    if (row.index == index) return row.name;
  }
  for (const NamedText& row : kTexts) {
    if (row.index == index) return row.name;
  }
  return "UNDEFINED PROPERTY";
}

void PropertyStore::ResetToDefaults() {
  numbers_.clear();
  texts_.clear();
  for (const NamedValue& row : kNumbers) numbers_[row.index] = row.value;
  for (const NamedValue& row : kCapabilities) numbers_[row.index] = row.value;
  for (const NamedText& row : kTexts) texts_[row.index] = std::string();
  texts_[pidx::DeviceDescription] = kDeviceDescription;
  texts_[pidx::DeviceName] = kDeviceName;
  texts_[pidx::ServiceObjectDescription] = kServiceObjectDescription;
}

int32_t PropertyStore::Number(int32_t index) const {
  auto it = numbers_.find(index);
  return it == numbers_.end() ? 0 : it->second;
}

std::string PropertyStore::Text(int32_t index) const {
  auto it = texts_.find(index);
  return it == texts_.end() ? std::string() : it->second;
}

}  // namespace kelo::service
