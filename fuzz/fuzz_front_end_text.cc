// Texts from the application through the service front ends' converters: date pieces cut by
// position, decimal VAT values, leading-digit numbers and returned device fields must stay
// inside their buffers and never overflow whatever the bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "service/argument_text.h"
#include "service/front_end_text.h"
#include "service/opos_exception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  kelo::service::ParamText params;
  params.Date(text).Text(text);
  (void)kelo::service::DecimalTimes100(text);
  (void)kelo::service::LeadingInt64(text);
  (void)kelo::service::FirstField(text);
  const std::string date = kelo::service::OposDateFromFields(text);
  if (date.size() < 12) __builtin_trap();

  // A text argument, whatever it holds, is exactly one field.
  std::vector<kelo::service::TextArgumentNote> notes;
  const std::string converted = kelo::service::ConvertTextArgument(text, 0, &notes);
  if (converted.find('\x1F') != std::string::npos) __builtin_trap();
  const std::string one = kelo::service::ParamText().Text(text).str();
  if (one.find('\x1F') != one.size() - 1) __builtin_trap();

  // The first eight bytes as a currency amount: sent only when the printer's field holds it.
  if (size >= 8) {
    int64_t raw = 0;
    std::memcpy(&raw, data, sizeof raw);
    try {
      const std::string amount = kelo::service::ParamText().LastAmount(raw).str();
      const int64_t sent = kelo::service::LeadingInt64(amount);
      if (sent > kelo::service::kMaxAmountHundredths ||
          sent < kelo::service::kMinAmountHundredths) {
        __builtin_trap();
      }
    } catch (const kelo::service::COposException& e) {
      if (e.code() != 114 || e.extended() != 214) __builtin_trap();
    }
  }
  return 0;
}
