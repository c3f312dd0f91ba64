// Feeds arbitrary bytes to the .reg parser; whatever parses must serialize and parse back to
// the same keys and values.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/registry/config_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using kelo::platform::RegistryData;
  std::string text(reinterpret_cast<const char*>(data), size);
  RegistryData first;
  std::string error;
  if (!first.Parse(text, &error)) {
    if (error.rfind("line ", 0) != 0 || !first.keys().empty()) std::abort();
    return 0;
  }
  std::string out = first.Serialize();
  RegistryData second;
  if (!second.Parse(out, &error)) std::abort();
  if (first.keys().size() != second.keys().size()) std::abort();
  for (size_t i = 0; i < first.keys().size(); ++i) {
    if (first.keys()[i].path != second.keys()[i].path) std::abort();
    if (first.keys()[i].values != second.keys()[i].values) std::abort();
  }
  if (second.Serialize() != out) std::abort();
  return 0;
}
