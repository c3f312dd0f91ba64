// The service object's method dispatch: the method table (opos/methods.def) and the
// conversion of each call's arguments by the member's C++ signature. int32_t is a long,
// int64_t an OPOS currency amount, bool a boolean, const std::string& a text in, std::string*
// a text by reference, int32_t* and std::span<int32_t> a long by reference (one element or the
// caller's array), automation::IDispatch* an object (or empty). Texts cross with
// FromAutomationText/ToAutomationText.
//
// A template over the target so that a test can stand in for the unit and see exactly what
// each member would receive; the unit's own target calls the member.
#pragma once
#include <array>
#include <span>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/automation/dispatch.h"
#include "service/argument_text.h"

namespace kelo::service {

class CFiscalPrinterUnit;

// The text conversion at the automation boundary: the control object speaks UTF-8, the unit
// Windows-1252. Every text argument and result of Invoke goes through these two.
std::string FromAutomationText(const std::string& utf8);
std::string ToAutomationText(const std::string& cp1252);

namespace dispatch {

using automation::HRESULT;
using automation::Variant;
using automation::VarType;

#define KELO_METHOD(id, name) #name,
inline constexpr std::array kMethodNames = {
#include "opos/methods.def"
};
#undef KELO_METHOD
#define KELO_METHOD(id, name) id,
inline constexpr std::array kMethodIds = {
#include "opos/methods.def"
};
#undef KELO_METHOD

constexpr bool IdsArePositions() {
  for (size_t i = 0; i < kMethodIds.size(); ++i) {
    if (kMethodIds[i] != static_cast<int>(i + 1)) return false;
  }
  return true;
}
static_assert(IdsArePositions(), "dispatch identifiers are the row positions, from 1");

// The first conversion failure of a call is remembered and makes the call fail with it
// before the method runs.
class Status {
 public:
  size_t index = 0;                     // the argument being read
  std::vector<TextArgumentNote> notes;  // what text arguments lost on the way in
  void Check(HRESULT hr) {
    if (automation::Failed(hr) && ok()) hr_ = hr;
  }
  bool ok() const { return automation::Succeeded(hr_); }
  HRESULT hr() const { return hr_; }

 private:
  HRESULT hr_ = automation::S_OK;
};

// One argument of a call, read from its variant (Read runs in argument order) and handed to
// the member (get). By-reference holders write back when the call is over.
template <typename T>
struct Arg;

template <>
struct Arg<int32_t> {
  int32_t value = 0;
  void Read(Variant& v, Status& s) { s.Check(v.ToLong(&value)); }
  int32_t get() { return value; }
};

template <>
struct Arg<bool> {
  bool value = false;
  void Read(Variant& v, Status& s) { s.Check(v.ToBool(&value)); }
  bool get() { return value; }
};

template <>
struct Arg<int64_t> {
  automation::Currency value{};
  void Read(Variant& v, Status& s) { s.Check(v.ToCurrency(&value)); }
  int64_t get() { return value.raw; }
};

template <>
struct Arg<const std::string&> {
  std::string value;
  void Read(Variant& v, Status& s) {
    std::string utf8;
    s.Check(v.ToText(&utf8));
    value = ConvertTextArgument(utf8, s.index, &s.notes);
  }
  const std::string& get() { return value; }
};

template <>
struct Arg<automation::IDispatch*> {
  automation::ComPtr<automation::IDispatch> value;
  void Read(Variant& v, Status& s) {
    if (v.type() != VarType::Empty) s.Check(v.ToDispatch(&value));
  }
  automation::IDispatch* get() { return value.Get(); }
};

// A long by reference: the caller's elements (never beyond their count), or one scratch
// element when the caller passed a plain value or an empty array.
struct LongRef {
  int32_t scratch = 0;
  std::span<int32_t> data;
  void Read(Variant& v, Status&) {
    if (v.LongPtr() && v.LongCount() > 0) {
      data = std::span<int32_t>(v.LongPtr(), v.LongCount());
    } else {
      v.ToLong(&scratch);
      data = std::span<int32_t>(&scratch, 1);
    }
  }
};

template <>
struct Arg<int32_t*> : LongRef {
  int32_t* get() { return data.data(); }
};

template <>
struct Arg<std::span<int32_t>> : LongRef {
  std::span<int32_t> get() { return data; }
};

// A text by reference: converted for the method and written back only when the method
// changed it (so an untouched argument stays byte for byte).
template <>
struct Arg<std::string*> {
  std::string* target = nullptr;
  std::string before;
  std::string value;
  Arg() = default;
  Arg(const Arg&) = delete;
  Arg& operator=(const Arg&) = delete;
  ~Arg() {
    if (target && value != before) *target = ToAutomationText(value);
  }
  void Read(Variant& v, Status&) {
    target = v.TextPtr();
    std::string utf8;
    if (target) {
      utf8 = *target;
    } else {
      v.ToText(&utf8);
    }
    before = FromAutomationText(utf8);
    value = before;
  }
  std::string* get() { return &value; }
};

inline void SetResult(Variant* result, int32_t value) {
  if (result) *result = Variant::Long(value);
}
inline void SetResult(Variant* result, const std::string& value) {
  if (result) *result = Variant::Text(ToAutomationText(value));
}

template <typename Target, typename R, typename... P, size_t... I>
HRESULT Call(Target& target, const char* name, R (CFiscalPrinterUnit::*member)(P...),
             std::span<Variant> args, Variant* result, std::index_sequence<I...>) {
  std::tuple<Arg<P>...> in;
  Status status;
  (void)args;  // unused by the methods without arguments
  ((status.index = I, std::get<I>(in).Read(args[I], status)), ...);
  if (!status.ok()) return status.hr();
  if constexpr (std::is_same_v<R, int32_t>) {
    // A text argument that lost characters on the way in is traced, or refused in strict
    // mode, before the method runs.
    if constexpr (requires { target.CheckTextArguments(name, status.notes); }) {
      if (!status.notes.empty()) {
        if (const int32_t refused = target.CheckTextArguments(name, status.notes); refused != 0) {
          SetResult(result, refused);
          return automation::S_OK;
        }
      }
    }
  }
  if constexpr (std::is_void_v<R>) {
    target.Call(name, member, std::get<I>(in).get()...);
    if (result) *result = Variant();
  } else {
    SetResult(result, target.Call(name, member, std::get<I>(in).get()...));
  }
  return automation::S_OK;
}

template <typename Target, typename R, typename... P>
HRESULT Call(Target& target, const char* name, R (CFiscalPrinterUnit::*member)(P...),
             std::span<Variant> args, Variant* result) {
  if (args.size() != sizeof...(P)) return automation::DISP_E_BADPARAMCOUNT;
  return Call(target, name, member, args, result, std::index_sequence_for<P...>{});
}

// Calls method `id` (1-based row) on target: Target::Call(name, member, arguments...) runs
// the member (or stands in for it) and returns its result.
template <typename Target>
HRESULT Invoke(Target& target, automation::DispId id, std::span<Variant> args, Variant* result) {
  switch (id) {
#define KELO_METHOD(id, name) \
  case id:                    \
    return Call(target, #name, &CFiscalPrinterUnit::name, args, result);
#include "opos/methods.def"
#undef KELO_METHOD
    default:
      return automation::DISP_E_MEMBERNOTFOUND;
  }
}

}  // namespace dispatch
}  // namespace kelo::service
