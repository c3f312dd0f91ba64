// The automation variant: the value type of every dispatch call.
//
// Text travels as UTF-8 across the automation boundary; components that work in another
// code page convert on their side (see platform/text/cp1252.h).
// By-reference forms point at the caller's storage, which must outlive the call. A long
// by-reference may point at an array: it carries its element count, and a callee must never
// touch elements at or beyond it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>

#include "platform/automation/unknown.h"

namespace kelo::automation {

class IDispatch;

// OPOS currency: 64-bit signed with four implied decimals (12345 means 1.2345).
struct Currency {
  int64_t raw = 0;
  friend bool operator==(const Currency&, const Currency&) = default;
};

enum class VarType : uint8_t {
  Empty,
  Long,
  Bool,
  Text,
  Currency,
  Dispatch,
  LongRef,  // pointer + element count (1 for a plain long*)
  BoolRef,
  TextRef,
  CurrencyRef,
};

const char* VarTypeName(VarType t);

class Variant {
 public:
  Variant() = default;
  static Variant Long(int32_t v);
  static Variant Bool(bool v);
  static Variant Text(std::string utf8);
  static Variant Cy(Currency v);
  static Variant Cy(int64_t raw) { return Cy(Currency{raw}); }
  static Variant Dispatch(IDispatch* d);  // takes its own reference
  static Variant LongRef(int32_t* data, size_t count = 1);
  static Variant BoolRef(bool* p);
  static Variant TextRef(std::string* utf8);
  static Variant CurrencyRef(Currency* p);

  VarType type() const { return type_; }
  bool IsRef() const;

  // Coercions in the manner of the Windows variant conversion: a by-reference value is read
  // through its pointer, numbers convert between long/bool/currency, text parses as a number
  // (and numbers format as text). Failure gives DISP_E_TYPEMISMATCH.
  HRESULT ToLong(int32_t* out) const;
  HRESULT ToBool(bool* out) const;
  HRESULT ToText(std::string* out) const;
  HRESULT ToCurrency(Currency* out) const;
  HRESULT ToDispatch(ComPtr<IDispatch>* out) const;

  // Direct access to the by-reference forms (nullptr when the type differs).
  int32_t* LongPtr() const { return type_ == VarType::LongRef ? long_ref_ : nullptr; }
  size_t LongCount() const { return type_ == VarType::LongRef ? count_ : 0; }
  bool* BoolPtr() const { return type_ == VarType::BoolRef ? bool_ref_ : nullptr; }
  std::string* TextPtr() const { return type_ == VarType::TextRef ? text_ref_ : nullptr; }
  Currency* CurrencyPtr() const { return type_ == VarType::CurrencyRef ? cy_ref_ : nullptr; }

  // Convenience readers that return a default on mismatch.
  int32_t AsLong(int32_t dflt = 0) const;
  bool AsBool(bool dflt = false) const;
  std::string AsText() const;
  int64_t AsCurrencyRaw(int64_t dflt = 0) const;

 private:
  VarType type_ = VarType::Empty;
  int32_t long_ = 0;
  bool bool_ = false;
  int64_t cy_ = 0;
  std::string text_;
  ComPtr<IDispatch> disp_;
  int32_t* long_ref_ = nullptr;
  size_t count_ = 0;
  bool* bool_ref_ = nullptr;
  std::string* text_ref_ = nullptr;
  Currency* cy_ref_ = nullptr;
};

}  // namespace kelo::automation
