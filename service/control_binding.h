// The control object's automation interface with its five names resolved: the four event
// callbacks and the ControlObjectVersion property.
#pragma once
#include <cstdint>
#include <string>

#include "platform/automation/dispatch.h"

namespace kelo::service {

class ControlBinding {
 public:
  enum Member { kDirectIO = 0, kError, kOutputComplete, kStatusUpdate, kVersion, kCount };

  // Resolves the five names, in order, on control. 0, or 111 (opos::OPOS_E_FAILURE) when control
  // is null or any name does not resolve; a failed bind leaves the binding empty.
  int32_t Bind(automation::IDispatch* control);
  void Reset();
  bool bound() const { return static_cast<bool>(control_); }

  // ControlObjectVersion, or 0 when it cannot be read.
  int32_t ReadVersion() const;

  // The callbacks; failures of the call are ignored. Texts are Windows-1252 here and UTF-8
  // on the automation side. The by-reference values are read back after the call.
  void CallDirectIO(int32_t event_number, int32_t* data, std::string* text) const;
  void CallError(int32_t result_code, int32_t extended, int32_t locus, int32_t* response) const;
  void CallOutputComplete(int32_t output_id) const;
  void CallStatusUpdate(int32_t data) const;

 private:
  automation::ComPtr<automation::IDispatch> control_;
  automation::DispId ids_[kCount] = {};
};

}  // namespace kelo::service
