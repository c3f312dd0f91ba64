// Class factory and the C entry points an in-process component library exports.
#pragma once
#include "platform/automation/dispatch.h"
#include "platform/automation/guid.h"
#include "platform/automation/unknown.h"

namespace kelo::automation {

class IClassFactory : public IUnknown {
 public:
  // outer must be null (no aggregation). iid: IID_IDispatch or IID_IUnknown.
  virtual HRESULT CreateInstance(IUnknown* outer, const Guid& iid, void** out) = 0;
  virtual HRESULT LockServer(bool lock) = 0;
};

// Signatures of the exported entry points (looked up with dlsym by the loader).
using DllGetClassObjectFn = HRESULT (*)(const Guid* clsid, const Guid* iid, void** out);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();

}  // namespace kelo::automation
