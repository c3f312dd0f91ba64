#include "bridge/config.h"

#include <arpa/inet.h>

#include <charconv>
#include <set>

#include "bridge/json_input.h"

namespace kelo::bridge {
namespace {

using Json = nlohmann::json;

bool Fail(std::string* error, const std::string& field, const std::string& why) {
  *error = field + ": " + why;
  return false;
}

bool ReadString(const Json& object, const char* key, std::string* out, std::string* error,
                const std::string& field) {
  const auto it = object.find(key);
  if (it == object.end()) return Fail(error, field, "missing");
  if (!it->is_string()) return Fail(error, field, "must be a string");
  *out = it->get<std::string>();
  return true;
}

}  // namespace

bool ValidPrinterName(std::string_view name) {
  if (name.empty() || name.size() > 32) return false;
  for (const char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

bool ParseListen(std::string_view text, std::string* host, uint16_t* port) {
  const size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  std::string_view h = text.substr(0, colon);
  const std::string_view p = text.substr(colon + 1);
  if (h.front() == '[') {
    if (h.size() < 3 || h.back() != ']') return false;
    h = h.substr(1, h.size() - 2);
  } else if (h.find(':') != std::string_view::npos) {
    return false;  // a bare IPv6 address needs brackets
  }
  unsigned value = 0;
  const auto [end, ec] = std::from_chars(p.data(), p.data() + p.size(), value);
  if (ec != std::errc() || end != p.data() + p.size() || p.empty() || value > 65535) return false;
  *host = std::string(h);
  *port = static_cast<uint16_t>(value);
  return true;
}

bool IsLoopback(std::string_view host) {
  if (host == "localhost") return true;
  const std::string h(host);
  in_addr v4{};
  if (inet_pton(AF_INET, h.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  in6_addr v6{};
  if (inet_pton(AF_INET6, h.c_str(), &v6) == 1) return IN6_IS_ADDR_LOOPBACK(&v6);
  return false;
}

bool ParseBridgeConfig(const std::string& text, BridgeConfig* out, std::string* error) {
  Json root;
  if (!ParseJsonExact(text, &root, error)) return false;
  if (!root.is_object()) return Fail(error, "(top)", "must be an object");
  static const std::set<std::string> kKeys = {"listen", "journal", "token", "printers",
                                              "max_body_bytes"};
  for (const auto& [key, value] : root.items()) {
    if (!kKeys.count(key)) return Fail(error, key, "unknown key");
  }
  BridgeConfig config;
  std::string listen;
  if (!ReadString(root, "listen", &listen, error, "listen")) return false;
  if (!ParseListen(listen, &config.listen_host, &config.listen_port)) {
    return Fail(error, "listen", "must be HOST:PORT");
  }
  if (!ReadString(root, "journal", &config.journal_path, error, "journal")) return false;
  if (config.journal_path.empty()) return Fail(error, "journal", "must not be empty");
  if (root.contains("token") && !ReadString(root, "token", &config.token, error, "token")) {
    return false;
  }
  if (root.contains("max_body_bytes")) {
    const Json& v = root["max_body_bytes"];
    if (!v.is_number_unsigned() || v.get<uint64_t>() < 1024 || v.get<uint64_t>() > 16u << 20) {
      return Fail(error, "max_body_bytes", "must be a whole number from 1024 to 16777216");
    }
    config.max_body_bytes = static_cast<uint32_t>(v.get<uint64_t>());
  }
  const auto printers = root.find("printers");
  if (printers == root.end()) return Fail(error, "printers", "missing");
  if (!printers->is_array() || printers->empty()) {
    return Fail(error, "printers", "must be a non-empty array");
  }
  std::set<std::string> names;
  for (size_t i = 0; i < printers->size(); ++i) {
    const std::string field = "printers[" + std::to_string(i) + "]";
    const Json& p = (*printers)[i];
    if (!p.is_object()) return Fail(error, field, "must be an object");
    for (const auto& [key, value] : p.items()) {
      if (key != "name" && key != "device") return Fail(error, field + "." + key, "unknown key");
    }
    PrinterConfig printer;
    if (!ReadString(p, "name", &printer.name, error, field + ".name")) return false;
    if (!ValidPrinterName(printer.name)) {
      return Fail(error, field + ".name", "must be 1 to 32 of A-Z a-z 0-9 _ -");
    }
    if (!names.insert(printer.name).second) return Fail(error, field + ".name", "used twice");
    if (!ReadString(p, "device", &printer.device, error, field + ".device")) return false;
    if (printer.device.empty()) return Fail(error, field + ".device", "must not be empty");
    config.printers.push_back(std::move(printer));
  }
  if (!IsLoopback(config.listen_host) && config.token.empty()) {
    return Fail(error, "token", "required when listening on a non-loopback address");
  }
  *out = std::move(config);
  return true;
}

}  // namespace kelo::bridge
