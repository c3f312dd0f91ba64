// Creates components by program identifier, the way CoCreateInstance does:
//   HKEY_CLASSES_ROOT\<ProgId>\CLSID            (default) = "{clsid}"
//   HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32 (default) = library path
// in the configuration store, then dlopen + DllGetClassObject. Libraries stay loaded until
// FreeUnusedLibraries() finds that their DllCanUnloadNow answers S_OK.
#pragma once
#include <string>
#include <string_view>

#include "platform/automation/dispatch.h"

namespace kelo::automation {

struct CreateResult {
  HRESULT hr = E_FAIL;
  std::string error;  // a readable reason when hr failed
};

// registry_file: the configuration file to read ("" = platform default, see ConfigStore).
CreateResult CreateInstanceByProgId(std::string_view prog_id, ComPtr<IDispatch>* out,
                                    const std::string& registry_file = "");
CreateResult CreateInstanceByClsid(const Guid& clsid, ComPtr<IDispatch>* out,
                                   const std::string& registry_file = "");

// Unloads every loaded library whose DllCanUnloadNow answers S_OK. Returns how many.
int FreeUnusedLibraries();

// Calls DllRegisterServer of the library at path (the registration tool uses this).
CreateResult RegisterServer(const std::string& library_path);

}  // namespace kelo::automation
