// The automation face of the unit: the method table and Invoke, which converts the
// arguments (UTF-8 text to Windows-1252 and back, by-reference values) and calls the method.
//
// The table (opos/methods.def) gives each method's dispatch identifier and member; the number
// of arguments and the conversion of each come from the member's signature: int32_t is a
// long, int64_t an OPOS currency amount, bool a boolean, const std::string& a text in,
// std::string* a text by reference, int32_t* and std::span<int32_t> a long by reference
// (one element or the caller's array), automation::IDispatch* an object (or empty).
#include <utility>

#include "platform/text/cp1252.h"
#include "service/fiscal_printer_unit.h"
#include "service/method_dispatch.h"

namespace kelo::service {

using automation::HRESULT;
using automation::Variant;

std::string FromAutomationText(const std::string& utf8) {
  return platform::Utf8ToCp1252(utf8);
}

std::string ToAutomationText(const std::string& cp1252) {
  return platform::Cp1252ToUtf8(cp1252);
}

namespace {

// The unit's own target: runs the member.
struct UnitTarget {
  CFiscalPrinterUnit& unit;
  template <typename R, typename... P, typename... A>
  R Call(const char* /*name*/, R (CFiscalPrinterUnit::*member)(P...), A&&... args) {
    return (unit.*member)(std::forward<A>(args)...);
  }
  int32_t CheckTextArguments(const char* name, const std::vector<TextArgumentNote>& notes) {
    return unit.CheckTextArguments(name, notes);
  }
};

}  // namespace

const std::vector<std::string>& CFiscalPrinterUnit::MethodTable() {
  static const std::vector<std::string> names(dispatch::kMethodNames.begin(),
                                              dispatch::kMethodNames.end());
  return names;
}

HRESULT CFiscalPrinterUnit::Invoke(automation::DispId id, automation::InvokeKind /*kind*/,
                                   std::span<Variant> args, Variant* result) {
  UnitTarget target{*this};
  return dispatch::Invoke(target, id, args, result);
}

}  // namespace kelo::service
