// How texts become printer lines: cutting multi-line texts at every CR or LF, and the escape
// sequences the device adds in front of or around a line (header attributes, logo, barcode).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelo::device {

inline constexpr size_t kMaxNormalLines = 100;   // printNormal
inline constexpr size_t kMaxReceiptLines = 500;  // receipt messages, header and trailer texts

// Header-line attribute flags (first match wins, in this order).
inline constexpr int32_t kAttrFlag3C = 0x04;
inline constexpr int32_t kAttrDoubleWidth = 0x08;
inline constexpr int32_t kAttrFlag6C = 0x20;
inline constexpr int32_t kAttrFlag5C = 0x40;

// Cuts text at every single '\r' or '\n'. Empty pieces count as lines (CR LF gives an empty
// piece between them, a final line break an empty last piece); nothing is trimmed; an empty
// text gives no piece. With drop_empty (trailer texts) empty pieces are left out. At most
// max_lines pieces are returned; the rest is dropped.
std::vector<std::string> SplitPrintLines(std::string_view text, size_t max_lines,
                                         bool drop_empty = false);

// "\x1b|3C", "\x1b|2C", "\x1b|6C", "\x1b|5C" or "" for the attribute flags.
std::string HeaderAttributePrefix(int32_t attribute);
// The attribute prefix, then ESC "|" logo "B".
std::string ComposeLogoLine(int32_t logo, int32_t attribute);
// ESC "|" (data length + 1) "R" type data.
std::string ComposeBarcodeLine(std::string_view data, int32_t type);

}  // namespace kelo::device
