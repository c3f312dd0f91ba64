#include "link/tcp_address.h"

#include <charconv>

namespace kelo::link {
namespace {

// HOST:PORT or [HOST]:PORT, with the port allowed from min_port. An empty HOST is left empty
// for the caller to judge.
bool SplitHostPort(std::string_view text, uint32_t min_port, TcpAddress* out, std::string* error) {
  std::string_view host;
  std::string_view port;
  if (text.starts_with('[')) {
    const size_t close = text.find(']');
    if (close == std::string_view::npos) {
      *error = "the IPv6 address has no closing ']'";
      return false;
    }
    host = text.substr(1, close - 1);
    const std::string_view rest = text.substr(close + 1);
    if (!rest.starts_with(':')) {
      *error = "a ':' and the port number must follow the IPv6 address";
      return false;
    }
    port = rest.substr(1);
    if (host.empty()) {
      *error = "the brackets hold no IPv6 address";
      return false;
    }
  } else {
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) {
      *error = "no port number (HOST:PORT)";
      return false;
    }
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (host.find(':') != std::string_view::npos) {
      *error = "an IPv6 address must be written in brackets ([ADDRESS]:PORT)";
      return false;
    }
  }
  if (host.find_first_of(" \t\r\n[]/") != std::string_view::npos) {
    *error = "the host \"" + std::string(host) + "\" is not a host name or address";
    return false;
  }
  uint32_t n = 0;
  const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), n, 10);
  if (port.empty() || ec != std::errc() || end != port.data() + port.size() || n < min_port ||
      n > 65535) {
    *error = "the port \"" + std::string(port) + "\" is not a number from " +
             std::to_string(min_port) + " to 65535";
    return false;
  }
  out->host = std::string(host);
  out->port = static_cast<uint16_t>(n);
  return true;
}

}  // namespace

bool IsTcpPortName(std::string_view name) {
  return name.starts_with(kTcpPortPrefix);
}

bool ParseTcpPortName(std::string_view name, TcpAddress* out, std::string* error) {
  if (!IsTcpPortName(name)) {
    *error = "a network port is written tcp:HOST:PORT";
    return false;
  }
  TcpAddress a;
  std::string why;
  if (!SplitHostPort(name.substr(kTcpPortPrefix.size()), 1, &a, &why)) {
    *error = "\"" + std::string(name) + "\" is not tcp:HOST:PORT: " + why;
    return false;
  }
  if (a.host.empty()) {
    *error = "\"" + std::string(name) + "\" is not tcp:HOST:PORT: no host";
    return false;
  }
  *out = std::move(a);
  return true;
}

bool ParseTcpListenAddress(std::string_view text, std::string_view default_host, TcpAddress* out,
                           std::string* error) {
  TcpAddress a;
  const bool port_only = text.find_first_of(":[") == std::string_view::npos;
  const std::string full = port_only ? ":" + std::string(text) : std::string(text);
  if (!SplitHostPort(full, 0, &a, error)) return false;
  if (a.host.empty()) a.host = std::string(default_host);
  *out = std::move(a);
  return true;
}

std::string FormatTcpAddress(std::string_view host, uint16_t port) {
  const bool v6 = host.find(':') != std::string_view::npos;
  return (v6 ? "[" + std::string(host) + "]" : std::string(host)) + ":" + std::to_string(port);
}

}  // namespace kelo::link
