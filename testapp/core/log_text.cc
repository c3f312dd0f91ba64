#include "testapp/core/log_text.h"

#include <limits>

#include "testapp/core/ui_seams.h"

namespace kelo::testapp {

namespace {

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  size_t pos = 0;
  for (;;) {
    const size_t hit = text.find(from, pos);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(pos, hit - pos));
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text.substr(pos));
  return out;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

std::string EscapeForLog(std::string_view text) {
  std::string out = ReplaceAll(text, "\x1b", "[ESC]");
  out = ReplaceAll(out, "\r", "[CR]");
  return ReplaceAll(out, "\n", "[LF]");
}

std::string ExpandEscapes(std::string_view text) {
  return ReplaceAll(text, "[ESC]", "\x1b");
}

std::string UnescapeLogMarks(std::string_view text) {
  std::string out = ReplaceAll(text, "[LF]", "\n");
  out = ReplaceAll(out, "[CR]", "\r");
  return ReplaceAll(out, "[ESC]", "\x1b");
}

std::string FormatAmount(control::Currency amount) {
  // Work on the magnitude in unsigned arithmetic so that the most negative value is safe.
  const bool negative = amount.value < 0;
  const auto raw = static_cast<uint64_t>(amount.value);
  const uint64_t magnitude = negative ? uint64_t{0} - raw : raw;
  const uint64_t cents = magnitude / 100 + (magnitude % 100 >= 50 ? 1 : 0);
  std::string fraction = std::to_string(cents % 100);
  if (fraction.size() < 2) fraction.insert(0, "0");
  std::string out = std::to_string(cents / 100) + "." + fraction;
  if (negative && cents != 0) out.insert(0, "-");
  return out;
}

std::optional<control::Currency> TryParseAmount(std::string_view text) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  uint64_t whole = 0;
  int whole_digits = 0;
  constexpr uint64_t kMaxWhole = static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) / 10000;
  while (i < n && text[i] >= '0' && text[i] <= '9') {
    whole = whole * 10 + static_cast<uint64_t>(text[i] - '0');
    if (whole > kMaxWhole) return std::nullopt;
    ++whole_digits;
    ++i;
  }
  uint64_t fraction = 0;  // in 1/10000
  int fraction_digits = 0;
  bool round_up = false;
  if (i < n && (text[i] == '.' || text[i] == ',')) {
    ++i;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
      const int digit = text[i] - '0';
      if (fraction_digits < 4) {
        fraction = fraction * 10 + static_cast<uint64_t>(digit);
      } else if (fraction_digits == 4) {
        round_up = digit >= 5;
      }
      ++fraction_digits;
      ++i;
    }
  }
  while (i < n && IsBlank(text[i])) ++i;
  if (i != n || whole_digits + fraction_digits == 0) return std::nullopt;
  for (int d = fraction_digits; d < 4; ++d) fraction *= 10;
  uint64_t raw = whole * 10000 + fraction + (round_up ? 1 : 0);
  if (raw > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return std::nullopt;
  const auto value = static_cast<int64_t>(raw);
  return control::Currency(negative ? -value : value);
}

control::Currency ParseAmount(std::string_view text, MessageBoxes& boxes) {
  if (auto value = TryParseAmount(text)) return *value;
  boxes.ShowMessage("Bad Format for " + std::string(text) + "...returning 0");
  return control::Currency(0);
}

std::string ValueText(bool value) {
  return value ? "True" : "False";
}
std::string ValueText(int32_t value) {
  return std::to_string(value);
}
std::string ValueText(std::string_view value) {
  size_t begin = 0, end = value.size();
  while (begin < end && value[begin] == ' ') ++begin;
  while (end > begin && value[end - 1] == ' ') --end;
  return std::string(value.substr(begin, end - begin));
}

}  // namespace kelo::testapp
