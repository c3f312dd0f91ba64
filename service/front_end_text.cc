#include "service/front_end_text.h"

namespace kelo::service {

int32_t CurrencyToHundredths(int64_t currency_raw) {
  // Division truncates toward zero; the low 32 bits are kept as the printer takes them.
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(currency_raw / 100)));
}

ParamText& ParamText::Number(int64_t value) {
  text_ += std::to_string(value);
  text_ += kParamSeparator;
  return *this;
}

ParamText& ParamText::Text(std::string_view text) {
  text_ += text;
  text_ += kParamSeparator;
  return *this;
}

ParamText& ParamText::LastNumber(int64_t value) {
  text_ += std::to_string(value);
  return *this;
}

ParamText& ParamText::LastText(std::string_view text) {
  text_ += text;
  return *this;
}

}  // namespace kelo::service
