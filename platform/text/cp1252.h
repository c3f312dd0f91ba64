// Conversion between UTF-8 (the automation boundary) and Windows-1252 (the service object's
// narrow strings, the trace file and the printer).
#pragma once
#include <string>
#include <string_view>

namespace kelo::platform {

// A character with no Windows-1252 form becomes '?'. Malformed UTF-8 bytes become '?'.
std::string Utf8ToCp1252(std::string_view utf8);
// Bytes 0x81, 0x8D, 0x8F, 0x90, 0x9D (unassigned) map to the C1 code points of their value.
std::string Cp1252ToUtf8(std::string_view cp1252);

}  // namespace kelo::platform
