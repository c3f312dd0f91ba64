#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "platform/automation/dispatch.h"
#include "platform/automation/guid.h"
#include "platform/automation/loader.h"
#include "platform/automation/variant.h"

namespace kelo::automation {
namespace {

TEST(GuidTest, RoundTripsThroughRegistryText) {
  const Guid g{0x6F1C2D3A, 0x0B4E, 0x4F5A, {0x9C, 0x7D, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66}};
  EXPECT_EQ(g.ToString(), "{6F1C2D3A-0B4E-4F5A-9C7D-112233445566}");
  EXPECT_EQ(Guid::Parse(g.ToString()), g);
  EXPECT_EQ(Guid::Parse("6f1c2d3a-0b4e-4f5a-9c7d-112233445566"), g);
  EXPECT_FALSE(Guid::Parse("{6F1C2D3A-0B4E-4F5A-9C7D-11223344556}"));
  EXPECT_FALSE(Guid::Parse("{6F1C2D3A+0B4E-4F5A-9C7D-112233445566}"));
  EXPECT_FALSE(Guid::Parse("{6F1C2D3A-0B4E-4F5A-9C7D-11223344556G}"));
}

TEST(VariantTest, CoercesBetweenScalarForms) {
  EXPECT_EQ(Variant::Text(" 42 ").AsLong(), 42);
  EXPECT_EQ(Variant::Text("4x").AsLong(-7), -7);
  EXPECT_EQ(Variant::Text("99999999999").AsLong(-7), -7);
  EXPECT_EQ(Variant::Bool(true).AsLong(), -1);
  EXPECT_TRUE(Variant::Text("TRUE").AsBool());
  EXPECT_FALSE(Variant::Text("0").AsBool(true));
  EXPECT_EQ(Variant::Long(-5).AsText(), "-5");
  // Currency: four implied decimals, rounded half away from zero to a long.
  EXPECT_EQ(Variant::Cy(int64_t{15000}).AsLong(), 2);
  EXPECT_EQ(Variant::Cy(int64_t{-15000}).AsLong(), -2);
  EXPECT_EQ(Variant::Cy(int64_t{14999}).AsLong(), 1);
  EXPECT_EQ(Variant::Cy(int64_t{-12345}).AsText(), "-1.2345");
  EXPECT_EQ(Variant::Cy(int64_t{10000}).AsText(), "1");
  EXPECT_EQ(Variant::Text("1.5").AsCurrencyRaw(), 15000);
  EXPECT_EQ(Variant::Text("-0.00019").AsCurrencyRaw(), -1);
  EXPECT_EQ(Variant::Text("1,5").AsCurrencyRaw(-1), -1);
  EXPECT_EQ(Variant::Long(3).AsCurrencyRaw(), 30000);
}

TEST(VariantTest, ByReferenceFormsReadAndCarryTheirLength) {
  int32_t data[3] = {7, 8, 9};
  Variant v = Variant::LongRef(data, 3);
  EXPECT_EQ(v.AsLong(), 7);
  EXPECT_EQ(v.LongCount(), 3u);
  v.LongPtr()[2] = 10;
  EXPECT_EQ(data[2], 10);
  EXPECT_EQ(Variant::LongRef(nullptr, 5).LongCount(), 0u);
  EXPECT_EQ(Variant::LongRef(nullptr).AsLong(-1), -1);

  std::string text = "abc";
  Variant t = Variant::TextRef(&text);
  EXPECT_EQ(t.AsText(), "abc");
  *t.TextPtr() = "changed";
  EXPECT_EQ(text, "changed");
  EXPECT_EQ(Variant::Long(1).TextPtr(), nullptr);
}

class Probe : public DispatchObject {
 public:
  explicit Probe(int* alive) : DispatchObject({"First", "SecondName"}), alive_(alive) { ++*alive_; }
  HRESULT Invoke(DispId id, InvokeKind, std::span<Variant> args, Variant* result) override {
    if (result) *result = Variant::Long(id * 100 + static_cast<int32_t>(args.size()));
    return S_OK;
  }

 protected:
  ~Probe() override { --*alive_; }

 private:
  int* alive_;
};

TEST(DispatchTest, NamesResolveIgnoringCaseAndReferencesFreeTheObject) {
  int alive = 0;
  {
    ComPtr<IDispatch> d(new Probe(&alive));
    EXPECT_EQ(alive, 1);
    DispId id = 0;
    EXPECT_EQ(d->GetIDsOfNames("secondname", &id), S_OK);
    EXPECT_EQ(id, 2);
    EXPECT_EQ(d->GetIDsOfNames("Second", &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
    Variant args[2] = {Variant::Long(1), Variant::Long(2)};
    Variant r;
    EXPECT_EQ(InvokeByName(d.Get(), "FIRST", InvokeKind::Method, args, &r), S_OK);
    EXPECT_EQ(r.AsLong(), 102);
    {
      Variant held = Variant::Dispatch(d.Get());
      Variant copy = held;
      ComPtr<IDispatch> back;
      EXPECT_EQ(copy.ToDispatch(&back), S_OK);
      EXPECT_EQ(back, d);
    }
    void* pv = nullptr;
    EXPECT_EQ(d->QueryInterface(IID_IClassFactory, &pv), E_NOINTERFACE);
    EXPECT_EQ(d->QueryInterface(IID_IDispatch, &pv), S_OK);
    static_cast<IDispatch*>(pv)->Release();
    EXPECT_EQ(alive, 1);
  }
  EXPECT_EQ(alive, 0);
}

TEST(LoaderTest, ExplainsWhyAnUnregisteredOrBrokenClassCannotBeCreated) {
  char dir[] = "/tmp/kelo-loader-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string file = std::string(dir) + "/registry.reg";
  {
    std::ofstream out(file);
    out << "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_CLASSES_ROOT\\Bad.Clsid\\CLSID]\n@=\"not-a-guid\"\n\n"
           "[HKEY_CLASSES_ROOT\\Missing.Lib\\CLSID]\n"
           "@=\"{6F1C2D3A-0B4E-4F5A-9C7D-112233445566}\"\n\n"
           "[HKEY_CLASSES_ROOT\\CLSID\\{6F1C2D3A-0B4E-4F5A-9C7D-112233445566}\\InprocServer32]\n"
           "@=\"/nonexistent/libnothing.so\"\n";
  }
  ComPtr<IDispatch> d;
  CreateResult r = CreateInstanceByProgId("Not.There", &d, file);
  EXPECT_EQ(r.hr, CO_E_CLASSSTRING);
  EXPECT_NE(r.error.find("Not.There"), std::string::npos);
  r = CreateInstanceByProgId("Bad.Clsid", &d, file);
  EXPECT_EQ(r.hr, CO_E_CLASSSTRING);
  r = CreateInstanceByProgId("missing.lib", &d, file);
  EXPECT_EQ(r.hr, REGDB_E_CLASSNOTREG);
  EXPECT_NE(r.error.find("/nonexistent/libnothing.so"), std::string::npos);
  EXPECT_FALSE(d);
  std::remove(file.c_str());
  rmdir(dir);
}

}  // namespace
}  // namespace kelo::automation
