// The service object's dispatch interface as the control object (or anything holding the
// component) can call it: arbitrary member identifiers and invoke kinds with arbitrary
// argument lists -- wrong types, missing or extra arguments, by-reference long arrays of any
// length (DirectIO data), by-reference texts, currency values at the limits -- and property
// indices and values of every kind. The unit is opened, and claimed and enabled when the
// input asks, against a stand-in device step that always connects, so the front ends' own
// checks (state, capabilities, arguments) run in full.
//
// Input layout: byte 0 bit 0 opens the unit first, bit 1 also claims and enables it; then
// calls of [id][kind][argc] followed by argc arguments of [type][value...]. Every call must
// return; by-reference arrays must never be written past their element count.
#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "opos/opos_constants.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/variant.h"
#include "service/fiscal_printer_unit.h"

namespace {

using kelo::automation::DispatchObject;
using kelo::automation::HRESULT;
using kelo::automation::InvokeKind;
using kelo::automation::Variant;

// The control object's side: answers every callback with success (SOError: clear).
class NullControl : public DispatchObject {
 public:
  NullControl()
      : DispatchObject({"SODirectIO", "SOError", "SOOutputComplete", "SOStatusUpdate",
                        "ControlObjectVersion"}) {}
  HRESULT Invoke(kelo::automation::DispId id, InvokeKind, std::span<Variant> args,
                 Variant* result) override {
    if (id == 5 && result) *result = Variant::Long(1011000);
    if (id == 2 && args.size() == 4 && args[3].LongPtr()) *args[3].LongPtr() = 12;
    return kelo::automation::S_OK;
  }
};

// The device steps answer at once: no printer, no wait.
class FuzzUnit : public kelo::service::CFiscalPrinterUnit {
 public:
  using CFiscalPrinterUnit::CFiscalPrinterUnit;

 protected:
  void AttachPort() override {}
  kelo::device::DeviceResult Connect(int32_t) override { return {}; }
  void Disconnect() override {}
  kelo::device::DeviceResult ReadPrinterState() override { return {}; }
  void ReadPrinterConfiguration() override {}
  void ClearOutputQueue() override {}
};

// A configuration file with the device key, written once per process.
const std::string& RegistryFile() {
  static const std::string file = [] {
    std::string path = "/tmp/kelofpu-fuzz-dispatch-" + std::to_string(getpid()) + ".reg";
    if (FILE* f = std::fopen(path.c_str(), "w")) {
      std::fputs(
          "Windows Registry Editor Version 5.00\r\n\r\n"
          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\FiscalPrinter\\KeloFPU]\r\n"
          "@=\"soKeloFPU.KeloFPU\"\r\n\"Port\"=\"/dev/null\"\r\n\"LogEnabled\"=dword:00000000\r\n",
          f);
      std::fclose(f);
    }
    return path;
  }();
  return file;
}

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool empty() const { return pos_ >= size_; }
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint64_t Bytes(int n) {
    uint64_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | Byte();
    return v;
  }
  std::string Text() {
    const size_t n = std::min<size_t>(Byte(), size_ - std::min(pos_, size_));
    std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return s;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Storage the by-reference arguments point into; kept until the call has returned, with a
// guard element behind each long array that the call must leave alone.
struct RefStore {
  std::deque<std::vector<int32_t>> longs;
  std::deque<std::string> texts;
  std::deque<bool> bools;
  std::deque<kelo::automation::Currency> cys;
};

constexpr int32_t kGuard = 0x5AFE5AFE;

Variant MakeArg(Reader& in, RefStore& refs, kelo::automation::IDispatch* control) {
  switch (in.Byte() % 10) {
    case 0:
      return Variant::Long(static_cast<int32_t>(in.Bytes(4)));
    case 1:
      return Variant::Bool(in.Byte() & 1);
    case 2:
      return Variant::Text(in.Text());
    case 3:
      return Variant::Cy(static_cast<int64_t>(in.Bytes(8)));
    case 4: {
      const size_t count = in.Byte() % 17;  // 0 to 16 elements
      std::vector<int32_t>& v = refs.longs.emplace_back(count + 1, 0);
      for (size_t i = 0; i < count; ++i) v[i] = static_cast<int32_t>(in.Bytes(4));
      v[count] = kGuard;
      return Variant::LongRef(v.data(), count);
    }
    case 5:
      return Variant::BoolRef(&refs.bools.emplace_back(in.Byte() & 1));
    case 6:
      return Variant::TextRef(&refs.texts.emplace_back(in.Text()));
    case 7:
      return Variant::CurrencyRef(
          &refs.cys.emplace_back(kelo::automation::Currency{static_cast<int64_t>(in.Bytes(8))}));
    case 8:
      return Variant::Dispatch(control);
    default:
      return Variant();
  }
}

void Call(FuzzUnit& unit, int32_t id, InvokeKind kind, std::vector<Variant> args) {
  Variant result;
  unit.Invoke(id, kind, args, &result);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  Reader in(data, size);
  const uint8_t setup = in.Byte();
  kelo::automation::ComPtr<NullControl> control(new NullControl());
  kelo::automation::ComPtr<FuzzUnit> unit(new FuzzUnit(RegistryFile()));
  const auto& table = kelo::service::CFiscalPrinterUnit::MethodTable();
  auto id_of = [&](const std::string& name) {
    for (size_t i = 0; i < table.size(); ++i) {
      if (table[i] == name) return static_cast<int32_t>(i + 1);
    }
    return 0;
  };
  if (setup & 1) {
    Call(*unit.Get(), id_of("OpenService"), InvokeKind::Method,
         {Variant::Text("FiscalPrinter"), Variant::Text("KeloFPU"),
          Variant::Dispatch(control.Get())});
    if (setup & 2) {
      Call(*unit.Get(), id_of("ClaimDevice"), InvokeKind::Method, {Variant::Long(1000)});
      Call(*unit.Get(), id_of("SetPropertyNumber"), InvokeKind::Method,
           {Variant::Long(kelo::opos::PIDX_DeviceEnabled), Variant::Long(1)});
    }
  }
  for (int calls = 0; calls < 16 && !in.empty(); ++calls) {
    const int32_t id = in.Byte() % (static_cast<int32_t>(table.size()) + 4);
    static const InvokeKind kKinds[] = {InvokeKind::Method, InvokeKind::PropertyGet,
                                        InvokeKind::PropertyPut};
    const InvokeKind kind = kKinds[in.Byte() % 3];
    const size_t argc = in.Byte() % 9;
    RefStore refs;
    std::vector<Variant> args;
    for (size_t i = 0; i < argc; ++i) args.push_back(MakeArg(in, refs, control.Get()));
    Variant result;
    unit->Invoke(id, kind, args, &result);
    for (const std::vector<int32_t>& v : refs.longs) {
      if (v.back() != kGuard) __builtin_trap();  // written past the element count
    }
  }
  if (setup & 1) Call(*unit.Get(), id_of("CloseService"), InvokeKind::Method, {});
  return 0;
}
