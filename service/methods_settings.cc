// Setting front ends.
//
// Each runs inside the calling frame and its state check; the device operations behind them
// are not attached yet, so they answer 106 "Not supported".
#include "service/fiscal_printer_unit.h"

namespace kelo::service {

int32_t CFiscalPrinterUnit::setDate(const std::string& /*date*/) {
  return RefuseNotSupported("setDate");
}

int32_t CFiscalPrinterUnit::setHeaderLine(int32_t /*line_number*/, const std::string& /*text*/,
                                          bool /*double_width*/) {
  return RefuseNotSupported("setHeaderLine");
}

int32_t CFiscalPrinterUnit::setTrailerLine(int32_t /*line_number*/, const std::string& /*text*/,
                                           bool /*double_width*/) {
  return RefuseNotSupported("setTrailerLine");
}

int32_t CFiscalPrinterUnit::setPOSID(const std::string& /*pos_id*/,
                                     const std::string& /*cashier_id*/) {
  return RefuseNotSupported("setPOSID");
}

int32_t CFiscalPrinterUnit::setStoreFiscalID(const std::string& /*id*/) {
  return RefuseNotSupported("setStoreFiscalID");
}

int32_t CFiscalPrinterUnit::setVatValue(int32_t /*vat_id*/, const std::string& /*vat_value*/) {
  return RefuseNotSupported("setVatValue");
}

int32_t CFiscalPrinterUnit::setVatTable() {
  return RefuseNotSupported("setVatTable");
}

int32_t CFiscalPrinterUnit::setCurrency(int32_t /*new_currency*/) {
  return RefuseNotSupported("setCurrency");
}

}  // namespace kelo::service
