// GetPropertyNumber, GetPropertyString, SetPropertyNumber and SetPropertyString: access
// groups, capability gates and the write rules of each property.
//
// None of the four clears the result fields on success (the control object reads the
// previous method's result through them); a refusal fills them and ends the call.
#include "opos/opos_constants.h"
#include "service/fiscal_printer_unit.h"
#include "service/trace_log.h"

namespace kelo::service {

bool CFiscalPrinterUnit::CheckPropertyAccess(int32_t index) {
  const PropertyAccess access = AccessOf(index);
  const int32_t state = GetState();
  bool allowed = false;
  switch (access) {
    case PropertyAccess::Any:
      allowed = true;
      break;
    case PropertyAccess::Open:
      allowed = state != opos::OPOS_S_CLOSED;
      break;
    case PropertyAccess::Claimed:
      allowed = state != opos::OPOS_S_CLOSED && claimed();
      break;
    case PropertyAccess::Enabled:
      allowed = state != opos::OPOS_S_CLOSED && claimed() && device_enabled();
      break;
    case PropertyAccess::Never:
      break;
  }
  if (!allowed) {
    SetResult(opos::OPOS_E_FAILURE, 0,
              "Property not yet accessible ... check claim or/and enabled");
    return false;
  }
  if (const CapabilityGate* gate = GateOf(index)) {
    if (GetNumberProperty(gate->capability) == 0) {
      SetResult(opos::OPOS_E_ILLEGAL, 0, gate->text);
      return false;
    }
  }
  return true;
}

int32_t CFiscalPrinterUnit::GetPropertyNumber(int32_t index) {
  trace::Printf(trace::kLevelMethods, "+CFiscalPrinterUnit::GetPropertyNumber(%d(%s))\n", index,
                GetPropertyName(index));
  if (!CheckPropertyAccess(index)) return 0;
  const int32_t value = GetNumberProperty(index);
  trace::Printf(trace::kLevelMethods, "-CFiscalPrinterUnit::GetPropertyNumber ==> %d\n", value);
  return value;
}

std::string CFiscalPrinterUnit::GetPropertyString(int32_t index) {
  trace::Printf(trace::kLevelMethods, "+CFiscalPrinterUnit::GetPropertyString(%d(%s))\n", index,
                GetPropertyName(index));
  if (!CheckPropertyAccess(index)) return std::string();
  std::string value;
  switch (index) {
    case opos::PIDX_ReservedWord:
    case opos::PIDX_ChangeDue:
      break;  // always empty
    default:
      value = GetStringProperty(index);
  }
  trace::Printf(trace::kLevelMethods, "-CFiscalPrinterUnit::GetPropertyString ==> %s\n",
                value.c_str());
  return value;
}

void CFiscalPrinterUnit::SetPropertyNumber(int32_t index, int32_t value) {
  trace::Printf(trace::kLevelMethods, "+CFiscalPrinterUnit::SetPropertyNumber(%d(%s), %d)\n", index,
                GetPropertyName(index), value);
  if (!CheckPropertyAccess(index)) return;
  switch (index) {
    case opos::PIDX_DeviceEnabled: {
      // Enabling talks to the printer; the unit stays alive to the end of it even when the
      // control object lets its last reference go on another thread meanwhile.
      const automation::ComPtr<CFiscalPrinterUnit> keep_alive(this);
      ClearResult();
      SetDeviceEnabled(value);
      break;
    }
    case opos::PIDX_FreezeEvents:
      SetNumberProperty(index, value);
      events_.Freeze(value != 0);
      break;
    case opos::PIDX_AsyncMode:
      trace::Printf(trace::kLevelMethods, "AsyncMode = %d\n", value);
      SetNumberProperty(index, value == 1 ? 1 : 0);
      break;
    case opos::PIDX_CheckTotal:
      if (GetNumberProperty(opos::PIDX_CapCheckTotal) == 0) {
        SetResult(opos::OPOS_E_ILLEGAL, 0, "CapCheckTotal is false; this property is readonly");
        return;
      }
      SetNumberProperty(index, value);
      break;
    case opos::PIDX_FlagWhenIdle:
      SetNumberProperty(index, value);
      // Shared with the device layer's queue going idle: one of the two raises the event.
      if (ClaimIdleEvent()) events_.RaiseStatusUpdate(opos::FPTR_SUE_IDLE);
      break;
    case opos::PIDX_FiscalReceiptType:
      if (GetNumberProperty(opos::PIDX_PrinterState) != opos::FPTR_PS_MONITOR) {
        SetResult(opos::OPOS_E_EXTENDED, opos::OPOS_EFPTR_WRONG_STATE,
                  "The Fiscal Printer is not currently in the Monitor State");
        return;
      }
      if (value != opos::FPTR_RT_SALES && value != opos::FPTR_RT_REFUND) {
        SetResult(opos::OPOS_E_ILLEGAL, 0,
                  "The Fiscal Printer does not support the specified receipt type");
        return;
      }
      SetNumberProperty(index, value);
      break;
    case opos::PIDX_MessageType:
      if (value != 24) {
        SetResult(opos::OPOS_E_ILLEGAL, 0, "The Fiscal Printer does not support this value");
        return;
      }
      SetNumberProperty(index, value);
      break;
    case opos::PIDX_TotalizerType:
      if (value == opos::FPTR_TT_DOCUMENT) {
        SetResult(opos::OPOS_E_ILLEGAL, 0, "TotalizerType FPTR_TT_DOCUMENT not supported");
        return;
      }
      SetNumberProperty(index, value);
      break;
    case opos::PIDX_PowerNotify:
    case opos::PIDX_DuplicateReceipt:
    case opos::PIDX_SlipSelection:
    case opos::PIDX_ContractorId:
    case opos::PIDX_DateType:
    case opos::PIDX_FiscalReceiptStation:
      SetNumberProperty(index, value);
      break;
    default:
      break;  // capabilities and read-only properties: accepted, nothing stored
  }
  trace::Printf(trace::kLevelMethods, "-CFiscalPrinterUnit::SetPropertyNumber\n");
}

void CFiscalPrinterUnit::SetPropertyString(int32_t index, const std::string& value) {
  trace::Printf(trace::kLevelMethods, "+CFiscalPrinterUnit::SetPropertyString(%d(%s), %s)\n", index,
                GetPropertyName(index), value.c_str());
  if (!CheckPropertyAccess(index)) return;
  switch (index) {
    case opos::PIDX_AdditionalHeader:
    case opos::PIDX_AdditionalTrailer:
    case opos::PIDX_ChangeDue:
    case opos::PIDX_PostLine:
    case opos::PIDX_PreLine:
      SetStringProperty(index, value);
      break;
    default:
      break;
  }
  trace::Printf(trace::kLevelMethods, "-CFiscalPrinterUnit::SetPropertyNumber\n");
}

}  // namespace kelo::service
