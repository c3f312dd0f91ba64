// Component entry points of the fake service library, so that tests create the fake through
// the same loader path (program identifier -> class -> library -> class factory) as the real
// service object.
#include <dlfcn.h>

#include <atomic>

#include "control/tests/fake_so/fake_service.h"
#include "platform/automation/class_factory.h"
#include "platform/registry/config_store.h"

namespace {

using kelo::automation::Guid;
using kelo::automation::HRESULT;

constexpr Guid kFakeClsid{
    0x5A1E0F00, 0x1234, 0x4ABC, {0x9D, 0x11, 0x00, 0x22, 0x44, 0x66, 0x88, 0xAA}};
constexpr const char* kFakeProgId = "KeloFake.Service";

std::shared_ptr<kelo::control::testing::FakeServiceState>& GlobalState() {
  static auto* state = [] {
    auto* s = new std::shared_ptr<kelo::control::testing::FakeServiceState>(
        std::make_shared<kelo::control::testing::FakeServiceState>());
    (*s)->Reset();
    return s;
  }();
  return *state;
}

std::atomic<int> g_locks{0};

class Factory : public kelo::automation::IClassFactory {
 public:
  HRESULT QueryInterface(const Guid& iid, void** out) override {
    if (!out) return kelo::automation::E_POINTER;
    if (iid == kelo::automation::IID_IClassFactory || iid == kelo::automation::IID_IUnknown) {
      AddRef();
      *out = static_cast<IClassFactory*>(this);
      return kelo::automation::S_OK;
    }
    *out = nullptr;
    return kelo::automation::E_NOINTERFACE;
  }
  uint32_t AddRef() override { return ++refs_; }
  uint32_t Release() override {
    const uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT CreateInstance(IUnknown* outer, const Guid& iid, void** out) override {
    if (!out) return kelo::automation::E_POINTER;
    *out = nullptr;
    if (outer) return kelo::automation::CLASS_E_NOAGGREGATION;
    if (!(iid == kelo::automation::IID_IDispatch || iid == kelo::automation::IID_IUnknown)) {
      return kelo::automation::E_NOINTERFACE;
    }
    *out = kelo::control::testing::NewFakeService(GlobalState());
    return kelo::automation::S_OK;
  }
  HRESULT LockServer(bool lock) override {
    g_locks += lock ? 1 : -1;
    return kelo::automation::S_OK;
  }

 private:
  std::atomic<uint32_t> refs_{0};
};

}  // namespace

extern "C" __attribute__((visibility("default"))) kelo::control::testing::FakeServiceState*
KeloFakeServiceState() {
  return GlobalState().get();
}

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(const Guid* clsid,
                                                                            const Guid* iid,
                                                                            void** out) {
  if (!clsid || !iid || !out) return kelo::automation::E_POINTER;
  *out = nullptr;
  if (!(*clsid == kFakeClsid)) return kelo::automation::CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new Factory();
  factory->AddRef();
  HRESULT hr = factory->QueryInterface(*iid, out);
  factory->Release();
  return hr;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
  std::lock_guard<std::mutex> lock(GlobalState()->mutex);
  return (GlobalState()->live_instances == 0 && g_locks == 0) ? kelo::automation::S_OK
                                                              : kelo::automation::S_FALSE;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllRegisterServer() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) || !info.dli_fname) {
    return kelo::automation::E_FAIL;
  }
  const std::string path = info.dli_fname;
  const std::string clsid = kFakeClsid.ToString();
  std::string error;
  kelo::platform::ConfigStore store;
  const bool ok = store.Update(
      [&](kelo::platform::RegistryData& data) {
        const std::string hkcr(kelo::platform::kHkcr);
        data.CreateKey(hkcr + "\\" + kFakeProgId + "\\CLSID")
            .Set("", kelo::platform::RegValue::String(clsid));
        data.CreateKey(hkcr + "\\CLSID\\" + clsid + "\\InprocServer32")
            .Set("", kelo::platform::RegValue::String(path));
      },
      &error);
  return ok ? kelo::automation::S_OK : kelo::automation::E_FAIL;
}
