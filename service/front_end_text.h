// Rendering helpers shared by the method front ends: parameter texts (fields followed by the
// 0x1F separator) and OPOS currency amounts in hundredths.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelo::service {

inline constexpr char kParamSeparator = '\x1F';

// An OPOS currency value (four implied decimals) in hundredths of the currency unit, rounded
// half away from zero (12.3456 -> 1235, 1.005 -> 101, -0.0050 -> -1). The one rounding rule
// of the service: the trace and the printer see the same number.
int64_t CurrencyToHundredths(int64_t currency_raw);

// The printer's amount fields take a 32-bit signed number of hundredths.
inline constexpr int64_t kMaxAmountHundredths = 2147483647;
inline constexpr int64_t kMinAmountHundredths = -2147483647 - 1;

// Builds a parameter text field by field.
class ParamText {
 public:
  ParamText& Number(int64_t value);  // decimal, then the separator
  // The text, then the separator. A separator byte inside the text is written as '?', so the
  // text stays exactly one field whatever it holds.
  ParamText& Text(std::string_view text);
  // A currency value in hundredths, then the separator. An amount the printer's field cannot
  // hold throws COposException 114/214 (OPOS_EFPTR_BAD_ITEM_AMOUNT) naming the limit, so that
  // nothing is sent.
  ParamText& Amount(int64_t currency_raw);
  ParamText& LastAmount(int64_t currency_raw);
  // An OPOS date text (DDMMYYYYhhmm) as seven numbers: year, month, day, hour, minute,
  // second 0, millisecond 0. Pieces are cut by position and read by leading digits; a short or
  // malformed text gives 0 for what is missing (the printer judges the date).
  ParamText& Date(std::string_view opos_date);
  // The last field without a following separator.
  ParamText& LastNumber(int64_t value);
  ParamText& LastText(std::string_view text);
  const std::string& str() const { return text_; }

 private:
  void AppendText(std::string_view text);
  std::string text_;
};

// The first field of a device output text (the whole text when it has no separator).
std::string_view FirstField(std::string_view output);

// Leading-digits decimal conversion (blanks, a sign, digits) in 64 bits, clamped.
int64_t LeadingInt64(std::string_view text);

// A date returned by the device layer (year, month, day, hour, minute, ... separated by the
// separator) as the twelve-digit OPOS date "DDMMYYYYhhmm".
std::string OposDateFromFields(std::string_view fields);

// A decimal text ("22", "22.00", "4.5") times 100, read exactly (no binary floating point, so
// "4.56" gives 456) and rounded half away from zero at the third decimal ("4.565" -> 457);
// the leading part of the text counts, the rest is ignored. No value beyond the 32-bit range.
std::optional<int32_t> DecimalTimes100(std::string_view text);

}  // namespace kelo::service
