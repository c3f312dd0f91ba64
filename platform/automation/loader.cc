#include "platform/automation/loader.h"

#include <dlfcn.h>

#include <map>
#include <mutex>

#include "platform/automation/class_factory.h"
#include "platform/registry/config_store.h"

namespace kelo::automation {

namespace {

struct LoadedLibrary {
  void* handle = nullptr;
  DllGetClassObjectFn get_class_object = nullptr;
  DllCanUnloadNowFn can_unload_now = nullptr;
};

// Guards the table of loaded component libraries (path -> handle). Held only while the table
// is read or changed and while a library is opened or closed, never while a component runs.
std::mutex g_libraries_mutex;
std::map<std::string, LoadedLibrary>& Libraries() {
  static auto* libs = new std::map<std::string, LoadedLibrary>();
  return *libs;
}

CreateResult Fail(HRESULT hr, std::string why) {
  return {hr, std::move(why)};
}

CreateResult LoadLibrary(const std::string& path, LoadedLibrary* out) {
  std::lock_guard<std::mutex> lock(g_libraries_mutex);
  auto& libs = Libraries();
  auto it = libs.find(path);
  if (it != libs.end()) {
    *out = it->second;
    return {S_OK, {}};
  }
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* err = dlerror();
    return Fail(REGDB_E_CLASSNOTREG,
                "cannot load component library " + path + ": " + (err ? err : "unknown error"));
  }
  LoadedLibrary lib;
  lib.handle = handle;
  lib.get_class_object = reinterpret_cast<DllGetClassObjectFn>(dlsym(handle, "DllGetClassObject"));
  lib.can_unload_now = reinterpret_cast<DllCanUnloadNowFn>(dlsym(handle, "DllCanUnloadNow"));
  if (!lib.get_class_object) {
    dlclose(handle);
    return Fail(CLASS_E_CLASSNOTAVAILABLE, path + " exports no DllGetClassObject");
  }
  libs.emplace(path, lib);
  *out = lib;
  return {S_OK, {}};
}

std::string ClassesKey(std::string_view rest) {
  std::string key(platform::kHkcr);
  key += '\\';
  key += rest;
  return key;
}

}  // namespace

CreateResult CreateInstanceByClsid(const Guid& clsid, ComPtr<IDispatch>* out,
                                   const std::string& registry_file) {
  if (!out) return Fail(E_POINTER, "no output pointer");
  platform::ConfigStore store(registry_file);
  const std::string key = ClassesKey("CLSID\\" + clsid.ToString() + "\\InprocServer32");
  std::string error;
  auto server = store.Read(key, "", &error);
  if (!server || server->kind != platform::RegValue::Kind::String || server->text.empty()) {
    return Fail(REGDB_E_CLASSNOTREG, error.empty() ? "class " + clsid.ToString() +
                                                         " is not registered in " + store.file()
                                                   : error);
  }
  LoadedLibrary lib;
  CreateResult loaded = LoadLibrary(server->text, &lib);
  if (Failed(loaded.hr)) return loaded;

  void* pv = nullptr;
  HRESULT hr = lib.get_class_object(&clsid, &IID_IClassFactory, &pv);
  if (Failed(hr) || !pv) return Fail(Failed(hr) ? hr : E_FAIL, "DllGetClassObject failed");
  auto factory = ComPtr<IClassFactory>::Attach(static_cast<IClassFactory*>(pv));
  void* obj = nullptr;
  hr = factory->CreateInstance(nullptr, IID_IDispatch, &obj);
  if (Failed(hr) || !obj) return Fail(Failed(hr) ? hr : E_FAIL, "CreateInstance failed");
  *out = ComPtr<IDispatch>::Attach(static_cast<IDispatch*>(obj));
  return {S_OK, {}};
}

CreateResult CreateInstanceByProgId(std::string_view prog_id, ComPtr<IDispatch>* out,
                                    const std::string& registry_file) {
  platform::ConfigStore store(registry_file);
  std::string error;
  auto clsid_text = store.Read(ClassesKey(std::string(prog_id) + "\\CLSID"), "", &error);
  if (!clsid_text || clsid_text->kind != platform::RegValue::Kind::String) {
    return Fail(CO_E_CLASSSTRING, error.empty() ? "program identifier " + std::string(prog_id) +
                                                      " is not registered in " + store.file()
                                                : error);
  }
  auto clsid = Guid::Parse(clsid_text->text);
  if (!clsid) {
    return Fail(CO_E_CLASSSTRING,
                "program identifier " + std::string(prog_id) + " has a malformed CLSID");
  }
  return CreateInstanceByClsid(*clsid, out, registry_file);
}

int FreeUnusedLibraries() {
  std::lock_guard<std::mutex> lock(g_libraries_mutex);
  int unloaded = 0;
  auto& libs = Libraries();
  for (auto it = libs.begin(); it != libs.end();) {
    if (it->second.can_unload_now && it->second.can_unload_now() == S_OK) {
      dlclose(it->second.handle);
      it = libs.erase(it);
      ++unloaded;
    } else {
      ++it;
    }
  }
  return unloaded;
}

CreateResult RegisterServer(const std::string& library_path) {
  LoadedLibrary lib;
  CreateResult loaded = LoadLibrary(library_path, &lib);
  if (Failed(loaded.hr)) return loaded;
  auto reg = reinterpret_cast<DllRegisterServerFn>(dlsym(lib.handle, "DllRegisterServer"));
  if (!reg) return Fail(E_FAIL, library_path + " exports no DllRegisterServer");
  HRESULT hr = reg();
  if (Failed(hr)) return Fail(hr, "DllRegisterServer of " + library_path + " failed");
  return {S_OK, {}};
}

}  // namespace kelo::automation
