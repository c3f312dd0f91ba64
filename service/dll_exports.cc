// The entry points the component library exports (C linkage, looked up with dlsym).
#include "service/class_factory.h"

extern "C" {

__attribute__((visibility("default"))) kelo::automation::HRESULT DllGetClassObject(
    const kelo::automation::Guid* clsid, const kelo::automation::Guid* iid, void** out) {
  return kelo::service::GetClassObject(clsid, iid, out);
}

__attribute__((visibility("default"))) kelo::automation::HRESULT DllCanUnloadNow() {
  return kelo::service::CanUnloadNow();
}

__attribute__((visibility("default"))) kelo::automation::HRESULT DllRegisterServer() {
  return kelo::service::RegisterServer(kelo::service::OwnLibraryPath());
}

}  // extern "C"
