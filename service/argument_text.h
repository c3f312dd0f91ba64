// Text arguments as the methods receive them: UTF-8 from the automation boundary converted to
// Windows-1252, with what could not be kept noted so that the method can trace or refuse it.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text/cp1252.h"

namespace kelo::service {

// What happened to one text argument on the way in (kept only when something did).
struct TextArgumentNote {
  size_t index = 0;  // position of the argument, 0-based
  bool valid_utf8 = true;
  size_t invalid_offset = 0;
  std::vector<platform::TextReplacement> replaced;  // folded letters, '?', the separator
};

// Converts one text argument. Characters Windows-1252 lacks are folded or replaced; the
// parameter-text field separator 0x1F becomes '?' (a text is always exactly one field);
// malformed UTF-8 gives an empty text. Anything of the kind is appended to *notes.
std::string ConvertTextArgument(std::string_view utf8, size_t index,
                                std::vector<TextArgumentNote>* notes);

}  // namespace kelo::service
