#include "service/class_factory.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include "platform/registry/config_store.h"
#include "service/fiscal_printer_unit.h"
#include "service/library_lifetime.h"

namespace kelo::service {

using automation::HRESULT;

HRESULT UnitClassFactory::QueryInterface(const automation::Guid& iid, void** out) {
  if (!out) return automation::E_POINTER;
  if (iid == automation::IID_IUnknown || iid == automation::IID_IClassFactory) {
    *out = static_cast<automation::IClassFactory*>(this);
    return automation::S_OK;
  }
  *out = nullptr;
  return automation::E_NOINTERFACE;
}

// The factory is a static object of the library: it lives as long as the library does and
// keeps no count of its own (LockServer is what holds the library).
uint32_t UnitClassFactory::AddRef() {
  return 2;
}
uint32_t UnitClassFactory::Release() {
  return 1;
}

HRESULT UnitClassFactory::CreateInstance(automation::IUnknown* outer, const automation::Guid& iid,
                                         void** out) {
  if (!out) return automation::E_POINTER;
  *out = nullptr;
  if (outer) return automation::CLASS_E_NOAGGREGATION;
  automation::ComPtr<CFiscalPrinterUnit> unit(new CFiscalPrinterUnit());
  return unit->QueryInterface(iid, out);
}

HRESULT UnitClassFactory::LockServer(bool lock) {
  LockLibrary(lock);
  return automation::S_OK;
}

HRESULT GetClassObject(const automation::Guid* clsid, const automation::Guid* iid, void** out) {
  if (!out) return automation::E_POINTER;
  *out = nullptr;
  if (!clsid || !iid) return automation::E_POINTER;
  if (!(*clsid == kClsidFiscalPrinterUnit)) return automation::CLASS_E_CLASSNOTAVAILABLE;
  static UnitClassFactory factory;
  return factory.QueryInterface(*iid, out);
}

HRESULT CanUnloadNow() {
  return LibraryCanUnload() ? automation::S_OK : automation::S_FALSE;
}

std::string OwnLibraryPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&OwnLibraryPath), &info) == 0 || !info.dli_fname) {
    return {};
  }
  char resolved[PATH_MAX];
  if (!realpath(info.dli_fname, resolved)) return info.dli_fname;
  return resolved;
}

HRESULT RegisterServer(const std::string& library_path) {
  if (library_path.empty()) return automation::E_FAIL;
  const std::string clsid = kClsidFiscalPrinterUnit.ToString();
  const std::string hkcr(platform::kHkcr);
  std::string error;
  const bool written = platform::ConfigStore().Update(
      [&](platform::RegistryData& data) {
        data.CreateKey(hkcr + "\\" + kProgId + "\\CLSID")
            .Set("", platform::RegValue::String(clsid));
        data.CreateKey(hkcr + "\\CLSID\\" + clsid + "\\InprocServer32")
            .Set("", platform::RegValue::String(library_path));
        data.CreateKey(hkcr + "\\CLSID\\" + clsid + "\\ProgID")
            .Set("", platform::RegValue::String(kProgId));
      },
      &error);
  return written ? automation::S_OK : automation::E_FAIL;
}

}  // namespace kelo::service
