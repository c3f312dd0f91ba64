#include "service/argument_text.h"

#include "service/front_end_text.h"

namespace kelo::service {

std::string ConvertTextArgument(std::string_view utf8, size_t index,
                                std::vector<TextArgumentNote>* notes) {
  platform::Cp1252Text converted = platform::ConvertUtf8ToCp1252(utf8);
  for (char& c : converted.text) {
    if (c == kParamSeparator) {
      c = '?';
      converted.replaced.push_back({static_cast<char32_t>(kParamSeparator), '?'});
    }
  }
  if (!converted.valid_utf8 || !converted.replaced.empty()) {
    notes->push_back(
        {index, converted.valid_utf8, converted.invalid_offset, std::move(converted.replaced)});
  }
  return std::move(converted.text);
}

}  // namespace kelo::service
