// The bridge's configuration: what it listens on, where its journal lives, its token and the
// printers it serves. Read from a JSON file (default /etc/kelofpu/kelofpud.json):
//
//   { "listen": "127.0.0.1:8089",
//     "journal": "/var/lib/kelofpu/kelofpud.db",
//     "token": "",
//     "max_body_bytes": 262144,
//     "printers": [ { "name": "front", "device": "KeloFPU" } ] }
//
// Unknown keys are an error; "max_body_bytes" may be left out.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelo::bridge {

struct PrinterConfig {
  std::string name;    // the name in the URL: 1..32 of [A-Za-z0-9_-]
  std::string device;  // the OPOS logical name (device key in the configuration store)
};

struct BridgeConfig {
  std::string listen_host = "127.0.0.1";
  uint16_t listen_port = 8089;  // 0: pick a free port (tests)
  std::string journal_path;     // SQLite file
  std::string token;            // bearer token; required when listen_host is not loopback
  std::vector<PrinterConfig> printers;
  uint32_t max_body_bytes = 256 * 1024;
};

// Parses the configuration file text; false with *error naming the field at fault.
bool ParseBridgeConfig(const std::string& text, BridgeConfig* out, std::string* error);

// "HOST:PORT" or "[V6]:PORT" into its parts; false when malformed.
bool ParseListen(std::string_view text, std::string* host, uint16_t* port);

// True for 127.0.0.0/8, ::1 and "localhost".
bool IsLoopback(std::string_view host);

// A printer name usable in a URL path segment.
bool ValidPrinterName(std::string_view name);

}  // namespace kelo::bridge
