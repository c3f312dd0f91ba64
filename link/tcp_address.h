// Network port names: "tcp:HOST:PORT" names a printer behind a serial device server in raw
// TCP mode (the same frames as on the serial line, carried by one TCP connection).
//
// HOST is a host name, an IPv4 address or an IPv6 address in brackets ("[fe80::1]"); PORT is
// decimal. The text comes from the configuration file and the command line, so the parser
// accepts any bytes and never reads outside them.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kelo::link {

inline constexpr std::string_view kTcpPortPrefix = "tcp:";

struct TcpAddress {
  std::string host;  // without the brackets of an IPv6 address
  uint16_t port = 0;
};

// True when the port name asks for the network ("tcp:" at its start), whether well formed or
// not: such a name is never opened as a device path.
bool IsTcpPortName(std::string_view name);

// Parses "tcp:HOST:PORT" with a port from 1 to 65535. False, with a message naming what is
// wrong, for anything else.
bool ParseTcpPortName(std::string_view name, TcpAddress* out, std::string* error);

// Parses "[HOST:]PORT" (after "tcp:") for a listener: HOST defaults to default_host, PORT 0
// asks the system for a free port.
bool ParseTcpListenAddress(std::string_view text, std::string_view default_host, TcpAddress* out,
                           std::string* error);

// "host:port", with brackets around an IPv6 host.
std::string FormatTcpAddress(std::string_view host, uint16_t port);

}  // namespace kelo::link
