// Non-fiscal printing and training front ends.
//
// Each runs inside the calling frame and its state check; the device operations behind them
// are not attached yet, so they answer 106 "Not supported".
#include "service/fiscal_printer_unit.h"

namespace kelo::service {

int32_t CFiscalPrinterUnit::beginNonFiscal() {
  return RefuseNotSupported("beginNonFiscal");
}

int32_t CFiscalPrinterUnit::endNonFiscal() {
  return RefuseNotSupported("endNonFiscal");
}

int32_t CFiscalPrinterUnit::printNormal(int32_t /*station*/, const std::string& /*data*/) {
  return RefuseNotSupported("printNormal");
}

int32_t CFiscalPrinterUnit::beginTraining() {
  return RefuseNotSupported("beginTraining");
}

int32_t CFiscalPrinterUnit::endTraining() {
  return RefuseNotSupported("endTraining");
}

int32_t CFiscalPrinterUnit::resetPrinter() {
  return RefuseNotSupported("resetPrinter");
}

}  // namespace kelo::service
