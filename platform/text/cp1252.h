// Conversion between UTF-8 (the automation boundary) and Windows-1252 (the service object's
// narrow strings, the trace file and the printer).
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace kelo::platform {

// One character that had no Windows-1252 form: a Latin letter folded to its base letter
// (U+0142 'ł' -> 'l'), anything else replaced by '?'.
struct TextReplacement {
  char32_t code_point;
  char written;
};

// UTF-8 converted for the printer, with what could not be kept as it was.
struct Cp1252Text {
  std::string text;                       // Windows-1252
  std::vector<TextReplacement> replaced;  // in order of appearance
  bool valid_utf8 = true;                 // false: not well-formed UTF-8 (text then empty)
  size_t invalid_offset = 0;              // the first byte that is not, when !valid_utf8
};

// Strict conversion: Latin letters Windows-1252 lacks are folded to their base letter, other
// characters become '?', each noted in `replaced`; malformed UTF-8 stops the conversion.
Cp1252Text ConvertUtf8ToCp1252(std::string_view utf8);

// "U+0142 'l', U+20AC '?'": what ConvertUtf8ToCp1252 replaced, for a trace line (ASCII).
std::string DescribeReplacements(const std::vector<TextReplacement>& replaced);

// Lenient conversion: folds and replaces as above; malformed UTF-8 bytes become '?'.
std::string Utf8ToCp1252(std::string_view utf8);
// Bytes 0x81, 0x8D, 0x8F, 0x90, 0x9D (unassigned) map to the C1 code points of their value.
std::string Cp1252ToUtf8(std::string_view cp1252);

}  // namespace kelo::platform
