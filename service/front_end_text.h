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
  // An OPOS date text (DDMMYYYYhhmm) as seven numbers: year, month, day, hour, minute,
  // second 0, millisecond 0. Pieces are cut by position and read by leading digits; a short or
  // malformed text gives 0 for what is missing (the printer judges the date).
  ParamText& Date(std::string_view opos_date);
  // The last field without a following separator.
  ParamText& LastNumber(int64_t value);
  ParamText& LastText(std::string_view text);
  const std::string& str() const { return text_; }

 private:
  std::string text_;
};

// The first field of a device output text (the whole text when it has no separator).
std::string_view FirstField(std::string_view output);

// Leading-digits decimal conversion (blanks, a sign, digits) in 64 bits, clamped.
int64_t LeadingInt64(std::string_view text);

// A date returned by the device layer (year, month, day, hour, minute, ... separated by the
// separator) as the twelve-digit OPOS date "DDMMYYYYhhmm".
std::string OposDateFromFields(std::string_view fields);

// A decimal text ("22", "22.00", "4.5") times 100, truncated toward zero, read exactly (no
// binary floating point, so "4.56" gives 456); the leading part of the text counts, the rest
// is ignored; clamped to the 32-bit range.
int32_t DecimalTimes100(std::string_view text);

}  // namespace kelo::service
