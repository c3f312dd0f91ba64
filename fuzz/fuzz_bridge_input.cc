// The bridge's readers of outside input. The first byte picks the reader, the rest is its
// text: even -> a receipt document as a client posts it (then its figures and amount texts),
// odd -> the configuration file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "bridge/config.h"
#include "bridge/document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] % 2 == 0) {
    kelo::bridge::ReceiptDocument doc;
    kelo::bridge::FieldError error;
    if (kelo::bridge::ParseReceiptDocument(text, &doc, &error)) {
      const auto figures = kelo::bridge::ComputeFigures(doc);
      (void)kelo::bridge::FormatCents(figures.total_cents);
      (void)kelo::bridge::FormatCents(figures.change_cents);
    }
    int64_t cents = 0;
    if (kelo::bridge::ParseCents(text, &cents)) (void)kelo::bridge::FormatCents(cents);
  } else {
    kelo::bridge::BridgeConfig config;
    std::string error;
    (void)kelo::bridge::ParseBridgeConfig(text, &config, &error);
  }
  return 0;
}
