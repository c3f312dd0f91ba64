// What the device layer needs from the service unit that owns it. The unit (the OPOS
// service object) implements this; the device layer never includes service headers.
//
// Threads: the device layer calls every member from its worker thread as well as from the
// thread that called into DeviceUnit, so the implementation must be safe to call from
// several threads at once. RaiseError may block (it waits for the application's answer);
// the other members must not wait for the device layer.
#pragma once
#include <cstdint>
#include <string>

#include "opos/opos_constants.h"

namespace kelo::device {

class UnitHost {
 public:
  virtual ~UnitHost() = default;

  // Property store by OPOS index, without the access and capability checks of the
  // automation face (the device layer is inside the service object).
  virtual int32_t GetNumberProperty(int32_t index) = 0;
  virtual void SetNumberProperty(int32_t index, int32_t value) = 0;
  virtual std::string GetStringProperty(int32_t index) = 0;
  virtual void SetStringProperty(int32_t index, const std::string& value) = 0;

  // The OPOS State field (1 closed, 2 idle, 3 busy, 4 error).
  virtual int32_t GetState() = 0;
  virtual void SetState(int32_t state) = 0;
  // The idle notification, taken at most once: when State is OPOS_S_IDLE and FlagWhenIdle
  // is set, clears FlagWhenIdle and answers true (the caller then raises FPTR_SUE_IDLE).
  // The device layer calls it when its output queue goes idle, the FlagWhenIdle setter when
  // the flag is set; a unit makes the look and the clearing one step, so that the two meeting
  // raise one event, not two or none. This default does them one after the other.
  virtual bool ClaimIdleEvent();

  // Events. RaiseError delivers an ErrorEvent and waits for the control object's response;
  // it returns the response (OPOS_ER_RETRY 11, OPOS_ER_CLEAR 12, ...), or preset_response when
  // the event was dropped or could not be delivered.
  virtual void RaiseStatusUpdate(int32_t data) = 0;
  virtual void RaiseOutputComplete(int32_t output_id) = 0;
  virtual int32_t RaiseError(int32_t result_code, int32_t result_code_extended, int32_t error_locus,
                             int32_t preset_response) = 0;

  // The unit's trace log (level 1 construction, level 2 method traffic). text is a complete
  // line ending in "\n", already formatted.
  virtual void Trace(int level, const std::string& text) = 0;

  // The two texts of setPOSID (POS identifier, cashier identifier), printed at the end of a
  // sales receipt.
  virtual std::string GetPosId() = 0;
  virtual std::string GetCashierId() = 0;

  // One entry of the unit's VAT table (vat_id 1 to 100, rate in hundredths of a percent);
  // ReadVatTable fills it from the printer.
  virtual void SetVatTableEntry(int32_t vat_id, int32_t rate) = 0;
};

inline bool UnitHost::ClaimIdleEvent() {
  if (GetState() != opos::OPOS_S_IDLE || GetNumberProperty(opos::PIDX_FlagWhenIdle) == 0) {
    return false;
  }
  SetNumberProperty(opos::PIDX_FlagWhenIdle, 0);
  return true;
}

}  // namespace kelo::device
