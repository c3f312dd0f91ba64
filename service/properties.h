// The OPOS property model of the unit: which indices exist, who may reach them, which
// capability gates them, their defaults and their names for the trace.
#pragma once
#include <cstdint>
#include <map>
#include <string>

namespace kelo::service {

// Access groups, tested before anything else when the control object reads or writes.
enum class PropertyAccess {
  Any,      // always
  Open,     // State is not closed
  Claimed,  // open and claimed
  Enabled,  // open, claimed and enabled
  Never,    // always refused
};
PropertyAccess AccessOf(int32_t index);

// A property that is refused (106) while a capability is false.
struct CapabilityGate {
  int32_t capability;  // index of the capability
  const char* text;    // ErrorString of the refusal
};
// nullptr when the index has no gate.
const CapabilityGate* GateOf(int32_t index);

// True for the capability indices (501-505, 16501-16556): read-only constants.
bool IsCapability(int32_t index);

// The standard property name, or "UNDEFINED PROPERTY".
const char* PropertyNameOf(int32_t index);

// The numeric and text values of the property store. Not locked: the unit guards it.
class PropertyStore {
 public:
  // Every property, capability and text to its value right after OpenService.
  void ResetToDefaults();

  int32_t Number(int32_t index) const;  // 0 for an index without a stored value
  void SetNumber(int32_t index, int32_t value) { numbers_[index] = value; }
  std::string Text(int32_t index) const;  // empty for an index without a stored text
  void SetText(int32_t index, std::string value) { texts_[index] = std::move(value); }

 private:
  std::map<int32_t, int32_t> numbers_;
  std::map<int32_t, std::string> texts_;
};

}  // namespace kelo::service
