#include "testapp/macro/macro_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/os/safe_file.h"
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

bool ReadMacroFile(const std::string& path, std::string* data, std::string* error) {
  const int fd = platform::OpenRegularFile(path, O_RDONLY);
  if (fd < 0) {
    *error = errno == EINVAL ? "it is not a regular file" : std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || static_cast<uint64_t>(st.st_size) > kMaxMacroFileBytes) {
    ::close(fd);
    *error =
        "it is larger than the longest macro (" + std::to_string(kMaxMacroFileBytes) + " bytes)";
    return false;
  }
  std::string out(static_cast<size_t>(st.st_size), '\0');
  size_t got = 0;
  // The size may change while reading: never more than the limit.
  for (;;) {
    if (got == out.size()) {
      if (out.size() > kMaxMacroFileBytes) break;
      out.resize(std::min(out.size() + 65536, kMaxMacroFileBytes + 1));
    }
    const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = std::strerror(errno);
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  if (got > kMaxMacroFileBytes) {
    *error =
        "it is larger than the longest macro (" + std::to_string(kMaxMacroFileBytes) + " bytes)";
    return false;
  }
  out.resize(got);
  *data = std::move(out);
  return true;
}

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
