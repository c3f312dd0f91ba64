#include "service/unit_config.h"

#include <cstring>
#include <limits>

#include "platform/text/cp1252.h"

namespace kelo::service {

namespace {

// The value buffers the registry is read into: strings take 260 bytes including their
// terminator, numbers 4 bytes.
constexpr size_t kStringBuffer = 260;
constexpr size_t kNumberBuffer = 4;

// The bytes a registry query hands back for a value, whatever the reader asked for: a
// string as its Windows-1252 bytes with the terminator, a number as its 4 little-endian
// bytes.
std::string ValueBytes(const platform::RegValue& v) {
  if (v.kind == platform::RegValue::Kind::Dword) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((v.dword >> (8 * i)) & 0xFF);
    return bytes;
  }
  std::string bytes = platform::Utf8ToCp1252(v.text);
  bytes.push_back('\0');
  return bytes;
}

bool CaseEquals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string FullKey(const std::string& key_path) {
  std::string key(platform::kHklm);
  key += '\\';
  key += key_path;
  return key;
}

// A string read: fails when the value does not fit the buffer; the text ends at the first
// terminator.
bool ReadString(const platform::RegKey& key, std::string_view name, std::string* out) {
  const platform::RegValue* v = key.Find(name);
  if (!v) return false;
  std::string bytes = ValueBytes(*v);
  if (bytes.size() > kStringBuffer) return false;
  *out = bytes.substr(0, bytes.find('\0'));
  return true;
}

// A number read: fails when the value is larger than 4 bytes; a shorter one (a string of up
// to three characters) overwrites only the low bytes of the value already there.
bool ReadNumber(const platform::RegKey& key, std::string_view name, uint32_t* out) {
  const platform::RegValue* v = key.Find(name);
  if (!v) return false;
  std::string bytes = ValueBytes(*v);
  if (bytes.size() > kNumberBuffer) return false;
  uint32_t value = *out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    value &= ~(0xFFu << (8 * i));
    value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << (8 * i);
  }
  *out = value;
  return true;
}

}  // namespace

std::string ConfigKeyPath(std::string_view device_class, std::string_view device_name) {
  if (!CaseEquals(device_class, "FiscalPrinter")) return {};
  std::string path = "SOFTWARE\\OLEforRetail\\ServiceOPOS";
  path += '\\';
  path += device_class;
  path += '\\';
  path += device_name;
  return path;
}

int32_t LeadingInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1) break;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

std::string PortNameFromConfig(std::string_view text) {
  int32_t n = LeadingInt(text);
  if (n == 0 && text.size() >= 3) n = LeadingInt(text.substr(3));
  if (n != 0) return "\\\\.\\COM" + std::to_string(n);
  return std::string(text);
}

bool ReadUnitConfig(const platform::ConfigStore& store, const std::string& key_path,
                    UnitConfig* config) {
  *config = UnitConfig{};
  if (key_path.empty()) return false;
  platform::RegistryData data;
  std::string error;
  if (!store.Load(&data, &error)) return false;
  return ReadUnitConfig(data, key_path, config);
}

bool ReadUnitConfig(const platform::RegistryData& data, const std::string& key_path,
                    UnitConfig* config) {
  *config = UnitConfig{};
  if (key_path.empty()) return false;
  const platform::RegKey* key = data.FindKey(FullKey(key_path));
  if (!key) return false;
  std::string default_value;
  if (!ReadString(*key, "", &default_value)) return false;

  std::string port;
  if (ReadString(*key, "Port", &port)) {
    config->port = PortNameFromConfig(port);
    config->port_configured = true;
  }
  ReadNumber(*key, "BaudRate", &config->baud_rate);
  ReadNumber(*key, "PollingTime", &config->polling_time);
  ReadNumber(*key, "PollingTimeAfterSyncCmd", &config->polling_time_after_sync_cmd);
  ReadNumber(*key, "PollingTimeAfterAsyncQueue", &config->polling_time_after_async_queue);
  ReadNumber(*key, "LogEnabled", &config->log_enabled);
  ReadNumber(*key, "StrictText", &config->strict_text);
  std::string log_path;
  if (ReadString(*key, "LogPath", &log_path)) config->log_path = log_path;
  return true;
}

}  // namespace kelo::service
