#include "testapp/macro/macro_conversions.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace kelo::macro {

namespace {

bool Skippable(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool Digit(char c) {
  return c >= '0' && c <= '9';
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string_view Trim(std::string_view t) {
  while (!t.empty() && Skippable(t.front())) t.remove_prefix(1);
  while (!t.empty() && Skippable(t.back())) t.remove_suffix(1);
  return t;
}

std::optional<int32_t> RoundToInt32(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  const double rounded = std::nearbyint(value);  // default rounding mode: halves to even
  if (rounded < static_cast<double>(std::numeric_limits<int32_t>::min()) ||
      rounded > static_cast<double>(std::numeric_limits<int32_t>::max())) {
    return std::nullopt;
  }
  return static_cast<int32_t>(rounded);
}

}  // namespace

double LeadingNumber(std::string_view text, bool* had_digits) {
  // Collect the characters of the number without the skipped blanks, then convert with
  // from_chars, which ignores the locale.
  std::string number;
  size_t i = 0;
  auto skip = [&] {
    while (i < text.size() && Skippable(text[i])) ++i;
  };
  skip();
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') number += '-';
    ++i;
  }
  bool digits = false;
  bool point = false;
  for (;;) {
    skip();
    if (i >= text.size()) break;
    const char c = text[i];
    if (Digit(c)) {
      number += c;
      digits = true;
    } else if (c == '.' && !point) {
      number += c;
      point = true;
    } else {
      break;
    }
    ++i;
  }
  if (digits) {
    // An exponent counts only when at least one digit follows it.
    skip();
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
      size_t j = i + 1;
      std::string exponent = "e";
      while (j < text.size() && Skippable(text[j])) ++j;
      if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent += text[j++];
      bool exp_digits = false;
      for (;;) {
        while (j < text.size() && Skippable(text[j])) ++j;
        if (j >= text.size() || !Digit(text[j])) break;
        exponent += text[j++];
        exp_digits = true;
      }
      if (exp_digits) number += exponent;
    }
  }
  if (had_digits) *had_digits = digits;
  if (!digits) return 0.0;
  double value = 0.0;
  const char* begin = number.data();
  if (*begin == '-') ++begin;  // from_chars takes the sign only as '-', handled below
  auto [end, ec] = std::from_chars(begin, number.data() + number.size(), value);
  (void)end;
  if (ec == std::errc::result_out_of_range) {
    value = std::numeric_limits<double>::infinity();
  } else if (ec != std::errc()) {
    return 0.0;
  }
  return number[0] == '-' ? -value : value;
}

std::optional<int32_t> WholeNumber(std::string_view text) {
  return RoundToInt32(LeadingNumber(text));
}

bool Flag(std::string_view text) {
  const std::string_view t = Trim(text);
  if (EqualsIgnoreCase(t, "true")) return true;
  if (EqualsIgnoreCase(t, "false")) return false;
  return LeadingNumber(t) != 0.0;
}

std::optional<bool> StrictFlag(std::string_view text) {
  const std::string_view t = Trim(text);
  if (EqualsIgnoreCase(t, "true")) return true;
  if (EqualsIgnoreCase(t, "false")) return false;
  bool digits = false;
  const double value = LeadingNumber(t, &digits);
  if (!digits) return std::nullopt;
  return value != 0.0;
}

std::optional<int32_t> StrictWholeNumber(std::string_view text) {
  const std::string_view t = Trim(text);
  size_t i = 0;
  std::string number;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    if (t[i] == '-') number += '-';
    ++i;
  }
  const size_t digits_start = i;
  while (i < t.size() && Digit(t[i])) number += t[i++];
  if (i == digits_start) return std::nullopt;
  if (i < t.size() && (t[i] == '.' || t[i] == ',')) {
    number += '.';
    ++i;
    const size_t fraction_start = i;
    while (i < t.size() && Digit(t[i])) number += t[i++];
    if (i == fraction_start) return std::nullopt;
  }
  if (i != t.size()) return std::nullopt;
  return RoundToInt32(LeadingNumber(number));
}

std::string NumberText(double value) {
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (ec != std::errc()) return "0";
  return std::string(buffer, end);
}

}  // namespace kelo::macro
