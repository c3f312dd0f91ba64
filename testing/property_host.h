// The part of a UnitHost that tests and benchmarks share: the unit's number and string
// properties kept in maps. The events, State and the rest stay with each host.
#pragma once
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "device/unit_host.h"
#include "opos/opos_constants.h"

namespace kelo::device::testing {

class PropertyHost : public UnitHost {
 public:
  int32_t GetNumberProperty(int32_t index) override {
    std::lock_guard<std::mutex> l(props_mu_);
    return numbers_[index];
  }
  void SetNumberProperty(int32_t index, int32_t value) override {
    std::lock_guard<std::mutex> l(props_mu_);
    numbers_[index] = value;
  }
  std::string GetStringProperty(int32_t index) override {
    std::lock_guard<std::mutex> l(props_mu_);
    return strings_[index];
  }
  void SetStringProperty(int32_t index, const std::string& value) override {
    std::lock_guard<std::mutex> l(props_mu_);
    strings_[index] = value;
  }

 protected:
  // What a claimed unit starts with: monitor state, 30 characters a line, 4 VAT rates.
  void SetClaimedDefaults() {
    SetNumberProperty(opos::PIDX_PrinterState, opos::FPTR_PS_MONITOR);
    SetNumberProperty(opos::PIDX_MessageLength, 30);
    SetNumberProperty(opos::PIDX_NumVatRates, 4);
  }

 private:
  // Guards the two maps only; a leaf lock, never held while calling out.
  std::mutex props_mu_;
  std::map<int32_t, int32_t> numbers_;
  std::map<int32_t, std::string> strings_;
};

}  // namespace kelo::device::testing
