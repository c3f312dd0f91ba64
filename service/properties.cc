#include "service/properties.h"

#include <algorithm>
#include <iterator>

#include "opos/opos_constants.h"

namespace kelo::service {

namespace {

// This service object's identity texts.
constexpr const char* kDeviceDescription = "KeloFPU Fiscal Printer";
constexpr const char* kDeviceName = "KeloFPU Fiscal Printer Unit";
constexpr const char* kServiceObjectDescription =
    "KELO Fiscal Printer Unit OPOS Service Driver, Linux edition";

struct PropertyRow {
  int32_t index;
  const char* name;
  bool text;
  int32_t value;  // numbers: the default after OpenService
};

// Every property of the list with its default. Claimed, DeviceEnabled, ResultCode,
// ResultCodeExtended and State are lifecycle fields of the unit; their rows give names only.
constexpr PropertyRow kProperties[] = {
#define KELO_PROPERTY(name, index, type, access, service_default) \
  {index, #name, index >= opos::PIDX_FIRST_STRING, service_default},
#define KELO_SERVICE_ONLY_PROPERTY KELO_PROPERTY
#include "opos/properties.def"
#undef KELO_PROPERTY
#undef KELO_SERVICE_ONLY_PROPERTY
};

struct GateRow {
  int32_t index;
  CapabilityGate gate;
};

constexpr GateRow kGates[] = {
    {opos::PIDX_PowerNotify, {opos::PIDX_CapPowerReporting, "CapPowerReporting is OPOS_PR_NONE"}},
    {opos::PIDX_CoverOpen, {opos::PIDX_CapCoverSensor, "CapCoverSensor is false"}},
    {opos::PIDX_DuplicateReceipt, {opos::PIDX_CapDuplicateReceipt, "CapDuplicateReceipt is false"}},
    {opos::PIDX_JrnEmpty, {opos::PIDX_CapJrnEmptySensor, "CapJrnEmptySensor is false"}},
    {opos::PIDX_JrnNearEnd, {opos::PIDX_CapJrnNearEndSensor, "CapJrnNearEndSensor is false"}},
    {opos::PIDX_RecEmpty, {opos::PIDX_CapRecEmptySensor, "CapRecEmptySensor is false"}},
    {opos::PIDX_RecNearEnd, {opos::PIDX_CapRecNearEndSensor, "CapRecNearEndSensor is false"}},
    {opos::PIDX_RemainingFiscalMemory,
     {opos::PIDX_CapRemainingFiscalMemory, "CapRemainingFiscalMemory is false"}},
    {opos::PIDX_SlpEmpty, {opos::PIDX_CapSlpEmptySensor, "CapSlpEmptySensor is false"}},
    {opos::PIDX_SlpNearEnd, {opos::PIDX_CapSlpNearEndSensor, "CapSlpNearEndSensor is false"}},
    {opos::PIDX_ActualCurrency, {opos::PIDX_CapSetCurrency, "CapSetCurrency is false"}},
    {opos::PIDX_ContractorId, {opos::PIDX_CapMultiContractor, "CapMultiContractor is false"}},
    {opos::PIDX_FiscalReceiptStation,
     {opos::PIDX_CapFiscalReceiptStation, "CapFiscalReceiptStation is FALSE"}},
    {opos::PIDX_FiscalReceiptType,
     {opos::PIDX_CapFiscalReceiptType, "CapFiscalReceiptType is false"}},
    {opos::PIDX_TotalizerType, {opos::PIDX_CapTotalizerType, "CapTotalizerType is false"}},
    {opos::PIDX_PredefinedPaymentLines,
     {opos::PIDX_CapPredefinedPaymentLines, "CapPredefinedPaymentLines is false"}},
    {opos::PIDX_ReservedWord, {opos::PIDX_CapReservedWord, "CapReservedWord is false"}},
    {opos::PIDX_AdditionalHeader, {opos::PIDX_CapAdditionalHeader, "CapAdditionalHeader is false"}},
    {opos::PIDX_AdditionalTrailer,
     {opos::PIDX_CapAdditionalTrailer, "CapAdditionalTrailer is false"}},
    {opos::PIDX_ChangeDue, {opos::PIDX_CapChangeDue, "CapChangeDue is false"}},
    {opos::PIDX_PostLine, {opos::PIDX_CapPostPreLine, "CapPostPreLine is false"}},
    {opos::PIDX_PreLine, {opos::PIDX_CapPostPreLine, "CapPostPreLine is false"}},
};

bool In(int32_t index, int32_t first, int32_t last) {
  return index >= first && index <= last;
}

}  // namespace

PropertyAccess AccessOf(int32_t index) {
  switch (index) {
    case opos::PIDX_ResultCode:
    case opos::PIDX_ResultCodeExtended:
    case opos::PIDX_State:
      return PropertyAccess::Any;
    case opos::PIDX_DeviceEnabled:
      return PropertyAccess::Claimed;
    case opos::PIDX_Claimed:
    case opos::PIDX_FreezeEvents:
    case opos::PIDX_OutputID:
    case opos::PIDX_ServiceObjectVersion:
    case opos::PIDX_PowerNotify:
    case opos::PIDX_PowerState:
    case opos::PIDX_ChangeDue:
      return PropertyAccess::Open;
    case opos::PIDX_BinaryConversion:
    case opos::PIDX_AmountDecimalPlaces:
    case opos::PIDX_CoverOpen:
    case opos::PIDX_DayOpened:
    case opos::PIDX_JrnEmpty:
    case opos::PIDX_JrnNearEnd:
    case opos::PIDX_AdditionalHeader:
    case opos::PIDX_AdditionalTrailer:
    case opos::PIDX_PostLine:
    case opos::PIDX_PreLine:
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
  for (const PropertyRow& row : kProperties) {
    if (row.index == index) return row.name;
  }
  return "UNDEFINED PROPERTY";
}

void PropertyStore::ResetToDefaults() {
  numbers_.clear();
  texts_.clear();
  for (const PropertyRow& row : kProperties) {
    if (row.text) {
      texts_[row.index] = std::string();
    } else {
      numbers_[row.index] = row.value;
    }
  }
  texts_[opos::PIDX_DeviceDescription] = kDeviceDescription;
  texts_[opos::PIDX_DeviceName] = kDeviceName;
  texts_[opos::PIDX_ServiceObjectDescription] = kServiceObjectDescription;
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
