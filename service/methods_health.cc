// CheckHealth front end. Its device operation is not attached yet: it answers 106
// "Not supported" after the state check.
#include "service/fiscal_printer_unit.h"

namespace kelo::service {

int32_t CFiscalPrinterUnit::CheckHealth(int32_t level) {
  const std::string entry = "+CFiscalPrinterUnit::CheckHealth(" + std::to_string(level) + ")\n";
  return RefuseNotSupported("CheckHealth", &entry);
}

}  // namespace kelo::service
