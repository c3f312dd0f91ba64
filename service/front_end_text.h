// Rendering helpers shared by the method front ends: parameter texts (fields followed by the
// 0x1F separator) and OPOS currency amounts in hundredths.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kelo::service {

inline constexpr char kParamSeparator = '\x1F';

// An OPOS currency value (four implied decimals) in hundredths of the currency unit:
// divided by 100, truncated toward zero, low 32 bits (12.3456 -> 1234, 0.9999 -> 99).
int32_t CurrencyToHundredths(int64_t currency_raw);

// Builds a parameter text field by field.
class ParamText {
 public:
  ParamText& Number(int64_t value);        // decimal, then the separator
  ParamText& Text(std::string_view text);  // unchanged, then the separator
  ParamText& Amount(int64_t currency_raw) { return Number(CurrencyToHundredths(currency_raw)); }
  // The last field without a following separator.
  ParamText& LastNumber(int64_t value);
  ParamText& LastText(std::string_view text);
  const std::string& str() const { return text_; }

 private:
  std::string text_;
};

}  // namespace kelo::service
