#include "platform/automation/variant.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <limits>

#include "platform/automation/dispatch.h"

namespace kelo::automation {

const char* VarTypeName(VarType t) {
  switch (t) {
    case VarType::Empty:
      return "empty";
    case VarType::Long:
      return "long";
    case VarType::Bool:
      return "bool";
    case VarType::Text:
      return "text";
    case VarType::Currency:
      return "currency";
    case VarType::Dispatch:
      return "dispatch";
    case VarType::LongRef:
      return "long*";
    case VarType::BoolRef:
      return "bool*";
    case VarType::TextRef:
      return "text*";
    case VarType::CurrencyRef:
      return "currency*";
  }
  return "?";
}

Variant Variant::Long(int32_t v) {
  Variant r;
  r.type_ = VarType::Long;
  r.long_ = v;
  return r;
}
Variant Variant::Bool(bool v) {
  Variant r;
  r.type_ = VarType::Bool;
  r.bool_ = v;
  return r;
}
Variant Variant::Text(std::string utf8) {
  Variant r;
  r.type_ = VarType::Text;
  r.text_ = std::move(utf8);
  return r;
}
Variant Variant::Cy(Currency v) {
  Variant r;
  r.type_ = VarType::Currency;
  r.cy_ = v.raw;
  return r;
}
Variant Variant::Dispatch(IDispatch* d) {
  Variant r;
  r.type_ = VarType::Dispatch;
  r.disp_ = ComPtr<IDispatch>(d);
  return r;
}
Variant Variant::LongRef(int32_t* data, size_t count) {
  Variant r;
  r.type_ = VarType::LongRef;
  r.long_ref_ = data;
  r.count_ = data ? count : 0;
  return r;
}
Variant Variant::BoolRef(bool* p) {
  Variant r;
  r.type_ = VarType::BoolRef;
  r.bool_ref_ = p;
  return r;
}
Variant Variant::TextRef(std::string* utf8) {
  Variant r;
  r.type_ = VarType::TextRef;
  r.text_ref_ = utf8;
  return r;
}
Variant Variant::CurrencyRef(Currency* p) {
  Variant r;
  r.type_ = VarType::CurrencyRef;
  r.cy_ref_ = p;
  return r;
}

bool Variant::IsRef() const {
  return type_ == VarType::LongRef || type_ == VarType::BoolRef || type_ == VarType::TextRef ||
         type_ == VarType::CurrencyRef;
}

namespace {

// Parses a whole decimal number (optional sign, optional fraction) into four-decimal fixed
// point, independent of the process locale. Returns false on anything else or overflow.
bool ParseFixed4(std::string_view s, int64_t* out) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  if (s.empty()) return false;
  bool neg = false;
  if (s.front() == '-' || s.front() == '+') {
    neg = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) return false;
  __int128 value = 0;
  int frac_digits = -1;
  bool any_digit = false;
  for (char c : s) {
    if (c == '.') {
      if (frac_digits >= 0) return false;
      frac_digits = 0;
      continue;
    }
    if (c < '0' || c > '9') return false;
    any_digit = true;
    if (frac_digits >= 4) continue;  // truncate beyond four decimals
    value = value * 10 + (c - '0');
    if (frac_digits >= 0) ++frac_digits;
    if (value > (__int128{1} << 70)) return false;
  }
  if (!any_digit) return false;
  for (int d = frac_digits < 0 ? 0 : frac_digits; d < 4; ++d) value *= 10;
  if (neg) value = -value;
  if (value > std::numeric_limits<int64_t>::max() || value < std::numeric_limits<int64_t>::min())
    return false;
  *out = static_cast<int64_t>(value);
  return true;
}

std::string FormatFixed4(int64_t raw) {
  const bool neg = raw < 0;
  const unsigned __int128 mag = neg ? -static_cast<__int128>(raw) : raw;
  std::string whole = std::to_string(static_cast<unsigned long long>(mag / 10000));
  unsigned frac = static_cast<unsigned>(mag % 10000);
  std::string out = neg ? "-" + whole : whole;
  if (frac != 0) {
    char buf[8];
    std::snprintf(buf, sizeof buf, ".%04u", frac);
    std::string f(buf);
    while (f.back() == '0') f.pop_back();
    out += f;
  }
  return out;
}

}  // namespace

HRESULT Variant::ToLong(int32_t* out) const {
  switch (type_) {
    case VarType::Long:
      *out = long_;
      return S_OK;
    case VarType::Bool:
      *out = bool_ ? -1 : 0;
      return S_OK;
    case VarType::LongRef:
      if (!long_ref_ || count_ == 0) return E_POINTER;
      *out = *long_ref_;
      return S_OK;
    case VarType::BoolRef:
      if (!bool_ref_) return E_POINTER;
      *out = *bool_ref_ ? -1 : 0;
      return S_OK;
    case VarType::Currency:
    case VarType::CurrencyRef: {
      int64_t raw = type_ == VarType::Currency ? cy_ : (cy_ref_ ? cy_ref_->raw : 0);
      if (type_ == VarType::CurrencyRef && !cy_ref_) return E_POINTER;
      // Rounds half away from zero, as the variant conversion does for currency.
      int64_t whole = raw / 10000;
      int64_t rem = raw % 10000;
      if (rem >= 5000) ++whole;
      if (rem <= -5000) --whole;
      if (whole > std::numeric_limits<int32_t>::max() ||
          whole < std::numeric_limits<int32_t>::min())
        return DISP_E_TYPEMISMATCH;
      *out = static_cast<int32_t>(whole);
      return S_OK;
    }
    case VarType::Text:
    case VarType::TextRef: {
      const std::string* s = type_ == VarType::Text ? &text_ : text_ref_;
      if (!s) return E_POINTER;
      std::string_view v(*s);
      while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
      while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
      int64_t n = 0;
      auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
      if (ec != std::errc() || p != v.data() + v.size() || v.empty() ||
          n > std::numeric_limits<int32_t>::max() || n < std::numeric_limits<int32_t>::min())
        return DISP_E_TYPEMISMATCH;
      *out = static_cast<int32_t>(n);
      return S_OK;
    }
    case VarType::Empty:
      *out = 0;
      return S_OK;
    case VarType::Dispatch:
      return DISP_E_TYPEMISMATCH;
  }
  return DISP_E_TYPEMISMATCH;
}

HRESULT Variant::ToBool(bool* out) const {
  if (type_ == VarType::Bool) {
    *out = bool_;
    return S_OK;
  }
  if (type_ == VarType::BoolRef) {
    if (!bool_ref_) return E_POINTER;
    *out = *bool_ref_;
    return S_OK;
  }
  if (type_ == VarType::Text || type_ == VarType::TextRef) {
    const std::string* s = type_ == VarType::Text ? &text_ : text_ref_;
    if (!s) return E_POINTER;
    if (NameEquals(*s, "true")) {
      *out = true;
      return S_OK;
    }
    if (NameEquals(*s, "false")) {
      *out = false;
      return S_OK;
    }
  }
  int32_t n = 0;
  HRESULT hr = ToLong(&n);
  if (Failed(hr)) return hr;
  *out = n != 0;
  return S_OK;
}

HRESULT Variant::ToText(std::string* out) const {
  switch (type_) {
    case VarType::Text:
      *out = text_;
      return S_OK;
    case VarType::TextRef:
      if (!text_ref_) return E_POINTER;
      *out = *text_ref_;
      return S_OK;
    case VarType::Long:
      *out = std::to_string(long_);
      return S_OK;
    case VarType::LongRef:
      if (!long_ref_ || count_ == 0) return E_POINTER;
      *out = std::to_string(*long_ref_);
      return S_OK;
    case VarType::Bool:
      *out = bool_ ? "True" : "False";
      return S_OK;
    case VarType::BoolRef:
      if (!bool_ref_) return E_POINTER;
      *out = *bool_ref_ ? "True" : "False";
      return S_OK;
    case VarType::Currency:
      *out = FormatFixed4(cy_);
      return S_OK;
    case VarType::CurrencyRef:
      if (!cy_ref_) return E_POINTER;
      *out = FormatFixed4(cy_ref_->raw);
      return S_OK;
    case VarType::Empty:
      out->clear();
      return S_OK;
    case VarType::Dispatch:
      return DISP_E_TYPEMISMATCH;
  }
  return DISP_E_TYPEMISMATCH;
}

HRESULT Variant::ToCurrency(Currency* out) const {
  switch (type_) {
    case VarType::Currency:
      out->raw = cy_;
      return S_OK;
    case VarType::CurrencyRef:
      if (!cy_ref_) return E_POINTER;
      *out = *cy_ref_;
      return S_OK;
    case VarType::Text:
    case VarType::TextRef: {
      const std::string* s = type_ == VarType::Text ? &text_ : text_ref_;
      if (!s) return E_POINTER;
      int64_t raw = 0;
      if (!ParseFixed4(*s, &raw)) return DISP_E_TYPEMISMATCH;
      out->raw = raw;
      return S_OK;
    }
    default: {
      int32_t n = 0;
      HRESULT hr = ToLong(&n);
      if (Failed(hr)) return hr;
      out->raw = int64_t{n} * 10000;
      return S_OK;
    }
  }
}

HRESULT Variant::ToDispatch(ComPtr<IDispatch>* out) const {
  if (type_ != VarType::Dispatch) return DISP_E_TYPEMISMATCH;
  *out = disp_;
  return S_OK;
}

int32_t Variant::AsLong(int32_t dflt) const {
  int32_t v = 0;
  return Succeeded(ToLong(&v)) ? v : dflt;
}
bool Variant::AsBool(bool dflt) const {
  bool v = false;
  return Succeeded(ToBool(&v)) ? v : dflt;
}
std::string Variant::AsText() const {
  std::string v;
  return Succeeded(ToText(&v)) ? v : std::string();
}
int64_t Variant::AsCurrencyRaw(int64_t dflt) const {
  Currency c;
  return Succeeded(ToCurrency(&c)) ? c.raw : dflt;
}

}  // namespace kelo::automation
