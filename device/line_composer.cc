#include "device/line_composer.h"

namespace kelo::device {

std::vector<std::string> SplitPrintLines(std::string_view text, size_t max_lines, bool drop_empty) {
  std::vector<std::string> lines;
  if (text.empty()) return lines;
  size_t start = 0;
  while (lines.size() < max_lines) {
    size_t end = text.find_first_of("\r\n", start);
    std::string_view piece =
        text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (!(drop_empty && piece.empty())) lines.emplace_back(piece);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return lines;
}

std::string HeaderAttributePrefix(int32_t attribute) {
  if (attribute & kAttrFlag3C) return "\x1b|3C";
  if (attribute & kAttrDoubleWidth) return "\x1b|2C";
  if (attribute & kAttrFlag6C) return "\x1b|6C";
  if (attribute & kAttrFlag5C) return "\x1b|5C";
  return {};
}

std::string ComposeLogoLine(int32_t logo, int32_t attribute) {
  return HeaderAttributePrefix(attribute) + "\x1b|" + std::to_string(logo) + "B";
}

std::string ComposeBarcodeLine(std::string_view data, int32_t type) {
  std::string line = "\x1b|";
  line += std::to_string(data.size() + 1);
  line += 'R';
  line += std::to_string(type);
  line.append(data);
  return line;
}

}  // namespace kelo::device
