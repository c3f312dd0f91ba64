#include "service/front_end_text.h"

#include <climits>
#include <cstdio>

#include "opos/opos_constants.h"
#include "service/opos_exception.h"

namespace kelo::service {

int64_t CurrencyToHundredths(int64_t currency_raw) {
  const int64_t whole = currency_raw / 100;  // truncated toward zero
  const int64_t rest = currency_raw % 100;   // same sign as currency_raw
  if (rest >= 50) return whole + 1;
  if (rest <= -50) return whole - 1;
  return whole;
}

namespace {

int64_t CheckedHundredths(int64_t currency_raw) {
  const int64_t hundredths = CurrencyToHundredths(currency_raw);
  if (hundredths < kMinAmountHundredths || hundredths > kMaxAmountHundredths) {
    // The magnitude as unsigned: the most negative amount has no positive counterpart.
    const uint64_t magnitude = currency_raw < 0 ? 0 - static_cast<uint64_t>(currency_raw)
                                                : static_cast<uint64_t>(currency_raw);
    char text[160];
    std::snprintf(text, sizeof text,
                  "The amount %s%llu.%04llu is beyond what the printer takes (at most %lld.%02lld "
                  "in either direction); nothing was sent",
                  currency_raw < 0 ? "-" : "", static_cast<unsigned long long>(magnitude / 10000),
                  static_cast<unsigned long long>(magnitude % 10000),
                  static_cast<long long>(kMaxAmountHundredths / 100),
                  static_cast<long long>(kMaxAmountHundredths % 100));
    throw COposException(opos::OPOS_E_EXTENDED, opos::OPOS_EFPTR_BAD_ITEM_AMOUNT, text);
  }
  return hundredths;
}

}  // namespace

ParamText& ParamText::Amount(int64_t currency_raw) {
  return Number(CheckedHundredths(currency_raw));
}

ParamText& ParamText::LastAmount(int64_t currency_raw) {
  return LastNumber(CheckedHundredths(currency_raw));
}

void ParamText::AppendText(std::string_view text) {
  const size_t start = text_.size();
  text_ += text;
  for (size_t i = start; i < text_.size(); ++i) {
    if (text_[i] == kParamSeparator) text_[i] = '?';
  }
}

ParamText& ParamText::Number(int64_t value) {
  text_ += std::to_string(value);
  text_ += kParamSeparator;
  return *this;
}

ParamText& ParamText::Text(std::string_view text) {
  AppendText(text);
  text_ += kParamSeparator;
  return *this;
}

ParamText& ParamText::LastNumber(int64_t value) {
  text_ += std::to_string(value);
  return *this;
}

ParamText& ParamText::LastText(std::string_view text) {
  AppendText(text);
  return *this;
}

}  // namespace kelo::service

namespace kelo::service {

namespace {

// Reads blanks, a sign and digits; stops at the first other character.
int64_t ParseLeading(std::string_view text, size_t* pos, bool* negative) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  *negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    *negative = text[i] == '-';
    ++i;
  }
  // Accumulated as a negative number so that the most negative value fits.
  constexpr int64_t kLimit = INT64_MIN;
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const int digit = text[i] - '0';
    if (value < (kLimit + digit) / 10) {
      value = kLimit;
    } else {
      value = value * 10 - digit;
    }
  }
  *pos = i;
  return value;  // negated magnitude
}

int32_t Clamp32(int64_t v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

}  // namespace

int64_t LeadingInt64(std::string_view text) {
  size_t pos = 0;
  bool negative = false;
  const int64_t neg = ParseLeading(text, &pos, &negative);
  if (negative) return neg;
  return neg == INT64_MIN ? INT64_MAX : -neg;
}

ParamText& ParamText::Date(std::string_view opos_date) {
  auto piece = [&](size_t start, size_t length) -> int64_t {
    if (start >= opos_date.size()) return 0;
    return LeadingInt64(opos_date.substr(start, length));
  };
  Number(piece(4, 4));   // year
  Number(piece(2, 2));   // month
  Number(piece(0, 2));   // day
  Number(piece(8, 2));   // hour
  Number(piece(10, 2));  // minute
  Number(0);             // second
  Number(0);             // millisecond
  return *this;
}

std::string_view FirstField(std::string_view output) {
  const size_t sep = output.find(kParamSeparator);
  return sep == std::string_view::npos ? output : output.substr(0, sep);
}

std::string OposDateFromFields(std::string_view fields) {
  int32_t v[5] = {0, 0, 0, 0, 0};
  for (int i = 0; i < 5 && !fields.empty(); ++i) {
    const size_t sep = fields.find(kParamSeparator);
    v[i] = Clamp32(LeadingInt64(fields.substr(0, sep)));
    fields = sep == std::string_view::npos ? std::string_view() : fields.substr(sep + 1);
  }
  char out[64];
  std::snprintf(out, sizeof out, "%02d%02d%04d%02d%02d", v[2], v[1], v[0], v[3], v[4]);
  return out;
}

std::optional<int32_t> DecimalTimes100(std::string_view text) {
  size_t pos = 0;
  bool negative = false;
  const int64_t neg_whole = ParseLeading(text, &pos, &negative);
  // A whole part far beyond the 32-bit range has no value (and could not be scaled).
  if (neg_whole < -100000000000LL) return std::nullopt;
  int64_t thousandths = 0;
  if (pos < text.size() && text[pos] == '.') {
    // Three decimals count (the third for rounding); a missing one is 0.
    bool digits = true;
    for (size_t k = 0, i = pos + 1; k < 3; ++k, ++i) {
      digits = digits && i < text.size() && text[i] >= '0' && text[i] <= '9';
      thousandths = thousandths * 10 + (digits ? text[i] - '0' : 0);
    }
  }
  const int64_t magnitude = -neg_whole * 100 + (thousandths + 5) / 10;
  const int64_t value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
  return static_cast<int32_t>(value);
}

}  // namespace kelo::service
