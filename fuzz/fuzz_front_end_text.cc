// Texts from the application through the service front ends' converters: date pieces cut by
// position, decimal VAT values, leading-digit numbers and returned device fields must stay
// inside their buffers and never overflow whatever the bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "service/front_end_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  kelo::service::ParamText params;
  params.Date(text).Text(text);
  (void)kelo::service::DecimalTimes100(text);
  (void)kelo::service::LeadingInt64(text);
  (void)kelo::service::FirstField(text);
  const std::string date = kelo::service::OposDateFromFields(text);
  if (date.size() < 12) __builtin_trap();
  return 0;
}
