#include "testapp/macro/macro_file.h"

#include "platform/text/cp1252.h"

namespace kelo::macro {

namespace {

bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t extra = 0;
    uint32_t cp = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + extra >= s.size()) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const auto cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are not UTF-8.
    if ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) ||
        cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      return false;
    }
    i += extra + 1;
  }
  return true;
}

}  // namespace

bool ParseMacroText(std::string_view data, std::vector<std::string>* lines, std::string* error,
                    size_t max_lines) {
  std::string converted;
  if (!IsValidUtf8(data)) {
    converted = platform::Cp1252ToUtf8(data);
    data = converted;
  }
  std::vector<std::string> out;
  size_t start = 0;
  size_t i = 0;
  while (i < data.size()) {
    const char c = data[i];
    if (c != '\r' && c != '\n') {
      ++i;
      continue;
    }
    if (out.size() == max_lines) {
      if (error) *error = "more than " + std::to_string(max_lines) + " lines";
      return false;
    }
    out.emplace_back(data.substr(start, i - start));
    i += (c == '\r' && i + 1 < data.size() && data[i + 1] == '\n') ? 2 : 1;
    start = i;
  }
  if (start < data.size()) {
    if (out.size() == max_lines) {
      if (error) *error = "more than " + std::to_string(max_lines) + " lines";
      return false;
    }
    out.emplace_back(data.substr(start));
  }
  *lines = std::move(out);
  return true;
}

std::string SerializeMacro(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& line : lines) {
    out += line;
    out += "\r\n";
  }
  return out;
}

std::vector<std::string> SplitFields(std::string_view line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t dollar = line.find('$', start);
    if (dollar == std::string_view::npos) {
      fields.emplace_back(line.substr(start));
      return fields;
    }
    fields.emplace_back(line.substr(start, dollar - start));
    start = dollar + 1;
  }
}

}  // namespace kelo::macro
