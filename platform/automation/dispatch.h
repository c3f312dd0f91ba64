// Late-bound dispatch: members are found by name (ignoring ASCII letter case) and invoked by
// identifier with arguments in their declared order (left to right).
#pragma once
#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/unknown.h"
#include "platform/automation/variant.h"

namespace kelo::automation {

using DispId = int32_t;
inline constexpr DispId DISPID_UNKNOWN = -1;

enum class InvokeKind : uint8_t { Method = 1, PropertyGet = 2, PropertyPut = 4 };

class IDispatch : public IUnknown {
 public:
  virtual HRESULT GetIDsOfNames(std::string_view name, DispId* id) = 0;
  // args: declared order. result may be null when the caller does not want it.
  virtual HRESULT Invoke(DispId id, InvokeKind kind, std::span<Variant> args, Variant* result) = 0;
};

// ASCII case-insensitive equality, as dispatch name lookup uses.
bool NameEquals(std::string_view a, std::string_view b);

// Base for dispatch objects with a fixed member table: identifier = 1-based position.
// Reference counted; deletes itself when the last reference goes.
class DispatchObject : public IDispatch {
 public:
  explicit DispatchObject(std::vector<std::string> member_names);
  DispatchObject(const DispatchObject&) = delete;
  DispatchObject& operator=(const DispatchObject&) = delete;

  HRESULT QueryInterface(const Guid& iid, void** out) override;
  uint32_t AddRef() override;
  uint32_t Release() override;
  HRESULT GetIDsOfNames(std::string_view name, DispId* id) override;

  const std::vector<std::string>& member_names() const { return names_; }

 protected:
  ~DispatchObject() override = default;

 private:
  std::vector<std::string> names_;
  std::atomic<uint32_t> refs_{0};
};

// Invokes a member by name: GetIDsOfNames then Invoke.
HRESULT InvokeByName(IDispatch* d, std::string_view name, InvokeKind kind, std::span<Variant> args,
                     Variant* result);

}  // namespace kelo::automation
