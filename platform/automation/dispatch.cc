#include "platform/automation/dispatch.h"

namespace kelo::automation {

bool NameEquals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

DispatchObject::DispatchObject(std::vector<std::string> member_names)
    : names_(std::move(member_names)) {}

HRESULT DispatchObject::QueryInterface(const Guid& iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch) {
    AddRef();
    *out = static_cast<IDispatch*>(this);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

uint32_t DispatchObject::AddRef() {
  return refs_.fetch_add(1, std::memory_order_relaxed) + 1;
}

uint32_t DispatchObject::Release() {
  const uint32_t left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) delete this;
  return left;
}

HRESULT DispatchObject::GetIDsOfNames(std::string_view name, DispId* id) {
  if (!id) return E_POINTER;
  for (size_t i = 0; i < names_.size(); ++i) {
    if (NameEquals(names_[i], name)) {
      *id = static_cast<DispId>(i + 1);
      return S_OK;
    }
  }
  *id = DISPID_UNKNOWN;
  return DISP_E_UNKNOWNNAME;
}

HRESULT InvokeByName(IDispatch* d, std::string_view name, InvokeKind kind, std::span<Variant> args,
                     Variant* result) {
  if (!d) return E_POINTER;
  DispId id = DISPID_UNKNOWN;
  HRESULT hr = d->GetIDsOfNames(name, &id);
  if (Failed(hr)) return hr;
  return d->Invoke(id, kind, args, result);
}

}  // namespace kelo::automation
