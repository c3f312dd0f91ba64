// DirectIO front end. The commands are not attached yet: every command answers 106
// "Not supported" after the state check.
#include <cstdio>

#include "service/fiscal_printer_unit.h"

namespace kelo::service {

int32_t CFiscalPrinterUnit::DirectIO(int32_t command, std::span<int32_t> data, std::string* text) {
  char head[64];
  std::snprintf(head, sizeof head, "+CFiscalPrinterUnit::DirectIO(%d, %d, ", command,
                data.empty() ? 0 : data[0]);
  const std::string entry = head + (text ? *text : std::string()) + ")\n";
  return RefuseNotSupported("DirectIO", &entry);
}

}  // namespace kelo::service
