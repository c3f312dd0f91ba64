// The component library: registration in the configuration store, creation by program
// identifier through the loader, the class factory and the unload rule.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>

#include "platform/automation/loader.h"
#include "service/class_factory.h"
#include "service/tests/service_test_support.h"

namespace kelo::service::testing {
namespace {

TEST(ComponentLibraryTest, RegisteredLibraryIsCreatedByProgIdAndServesCalls) {
  TempDir dir;
  const std::string registry = dir.File("opos.reg");
  Pty pty;
  ASSERT_EQ(::setenv("OPOS_REGISTRY", registry.c_str(), 1), 0);
  WriteDeviceKey(registry,
                 {{"Port", RegValue::String(pty.path())}, {"LogEnabled", RegValue::Dword(0)}});

  automation::CreateResult reg = automation::RegisterServer(KELO_SO_KELO_FPU_PATH);
  ASSERT_EQ(reg.hr, automation::S_OK) << reg.error;

  platform::ConfigStore store(registry);
  const std::string clsid = kClsidFiscalPrinterUnit.ToString();
  auto prog = store.Read("HKEY_CLASSES_ROOT\\soKeloFPU.KeloFPU\\CLSID", "");
  ASSERT_TRUE(prog.has_value());
  EXPECT_EQ(prog->text, clsid);
  auto server = store.Read("HKEY_CLASSES_ROOT\\CLSID\\" + clsid + "\\InprocServer32", "");
  ASSERT_TRUE(server.has_value());
  EXPECT_EQ(server->text, fs::canonical(KELO_SO_KELO_FPU_PATH).string());
  auto progid = store.Read("HKEY_CLASSES_ROOT\\CLSID\\" + clsid + "\\ProgID", "");
  ASSERT_TRUE(progid.has_value());
  EXPECT_EQ(progid->text, "soKeloFPU.KeloFPU");
  // The device key written by the installer is left as it was.
  EXPECT_TRUE(store.Read(DeviceKey(), "Port").has_value());

  {
    ComPtr<automation::IDispatch> so;
    automation::CreateResult created =
        automation::CreateInstanceByProgId("soKeloFPU.KeloFPU", &so, registry);
    ASSERT_EQ(created.hr, automation::S_OK) << created.error;
    auto control = FakeControl::Make();
    std::array<Variant, 3> open = {Variant::Text("FiscalPrinter"), Variant::Text(kDeviceName),
                                   Variant::Dispatch(control.Get())};
    Variant rc;
    ASSERT_EQ(automation::InvokeByName(so.Get(), "OpenService", automation::InvokeKind::Method,
                                       open, &rc),
              automation::S_OK);
    EXPECT_EQ(rc.AsLong(-1), 0);
    // The claim against a printer lives in the printing tests; here the call path counts.
    std::array<Variant, 1> state = {Variant::Long(opos::PIDX_State)};
    ASSERT_EQ(automation::InvokeByName(so.Get(), "GetPropertyNumber",
                                       automation::InvokeKind::Method, state, &rc),
              automation::S_OK);
    EXPECT_EQ(rc.AsLong(-1), opos::OPOS_S_IDLE);
    ASSERT_EQ(
        automation::InvokeByName(so.Get(), "CloseService", automation::InvokeKind::Method, {}, &rc),
        automation::S_OK);
    EXPECT_EQ(rc.AsLong(-1), 0);
  }
  EXPECT_GE(automation::FreeUnusedLibraries(), 1) << "no unit alive: the library unloads";
  ::unsetenv("OPOS_REGISTRY");
}

TEST(ClassFactoryTest, CreatesIndependentUnitsAndCountsThemForUnloading) {
  void* pv = nullptr;
  automation::Guid other = kClsidFiscalPrinterUnit;
  other.data1 ^= 1;
  EXPECT_EQ(GetClassObject(&other, &automation::IID_IClassFactory, &pv),
            automation::CLASS_E_CLASSNOTAVAILABLE);
  ASSERT_EQ(GetClassObject(&kClsidFiscalPrinterUnit, &automation::IID_IClassFactory, &pv),
            automation::S_OK);
  auto* factory = static_cast<automation::IClassFactory*>(pv);
  EXPECT_EQ(CanUnloadNow(), automation::S_OK);

  void* a = nullptr;
  void* b = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, automation::IID_IDispatch, &a), automation::S_OK);
  ASSERT_EQ(factory->CreateInstance(nullptr, automation::IID_IDispatch, &b), automation::S_OK);
  EXPECT_NE(a, b);
  EXPECT_EQ(CanUnloadNow(), automation::S_FALSE);
  static_cast<automation::IDispatch*>(a)->Release();
  EXPECT_EQ(CanUnloadNow(), automation::S_FALSE);
  static_cast<automation::IDispatch*>(b)->Release();
  EXPECT_EQ(CanUnloadNow(), automation::S_OK);

  factory->LockServer(true);
  EXPECT_EQ(CanUnloadNow(), automation::S_FALSE);
  factory->LockServer(false);
  factory->LockServer(false);  // one unlock too many changes nothing
  EXPECT_EQ(CanUnloadNow(), automation::S_OK);

  void* c = nullptr;
  EXPECT_EQ(factory->CreateInstance(reinterpret_cast<automation::IUnknown*>(factory),
                                    automation::IID_IDispatch, &c),
            automation::CLASS_E_NOAGGREGATION);
  EXPECT_EQ(c, nullptr);
  factory->Release();
}

}  // namespace
}  // namespace kelo::service::testing
