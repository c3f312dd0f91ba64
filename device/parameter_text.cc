#include "device/parameter_text.h"

#include <limits>

#include "device/device_result.h"

namespace kelo::device {

namespace {
const std::string kEmpty;
}

ParamFields::ParamFields(std::string_view input, size_t count) {
  fields_.resize(count);
  if (count == 0) return;
  size_t start = 0;
  bool done = false;
  for (size_t i = 0; i + 1 < count && !done; ++i) {
    size_t end = input.find(kFieldSeparator, start);
    if (end == std::string_view::npos) {
      fields_[i] = std::string(input.substr(start));
      done = true;
    } else {
      fields_[i] = std::string(input.substr(start, end - start));
      start = end + 1;
    }
  }
  if (!done) {
    std::string_view rest = input.substr(start);
    if (!rest.empty() && rest.back() == kFieldSeparator) rest.remove_suffix(1);
    fields_[count - 1] = std::string(rest);
  }
}

const std::string& ParamFields::Text(size_t i) const {
  return i < fields_.size() ? fields_[i] : kEmpty;
}

int32_t ParamFields::Number(size_t i) const {
  return ParseNumber(Text(i));
}

link::FpuDateTime ParamFields::Date(size_t i) const {
  link::FpuDateTime dt;
  dt.year = static_cast<uint16_t>(Number(i));
  dt.month = static_cast<uint16_t>(Number(i + 1));
  dt.day = static_cast<uint16_t>(Number(i + 2));
  dt.hour = static_cast<uint16_t>(Number(i + 3));
  dt.minute = static_cast<uint16_t>(Number(i + 4));
  dt.second = static_cast<uint16_t>(Number(i + 5));
  dt.milliseconds = static_cast<uint16_t>(Number(i + 6));
  dt.day_of_week = 0;
  return dt;
}

int32_t ParseNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit) value = kLimit;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) value = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

void AppendNumberField(std::string* out, int64_t value) {
  out->append(std::to_string(value));
  out->push_back(kFieldSeparator);
}

void AppendTextField(std::string* out, std::string_view text) {
  out->append(text);
  out->push_back(kFieldSeparator);
}

PaymentChoice ParsePaymentDescription(std::string_view description) {
  PaymentChoice choice;
  size_t mark = description.find('>');
  if (mark != std::string_view::npos) {
    choice.form = ParseNumber(description.substr(0, mark));
    std::string_view after = description.substr(mark + 1);
    size_t second = after.find('>');
    choice.description = std::string(after.substr(0, second));
    return choice;
  }
  choice.form = ParseNumber(description);
  if (choice.form > 0 || description == "0") {
    choice.description.clear();
  } else {
    choice.description = std::string(description);
  }
  return choice;
}

}  // namespace kelo::device
