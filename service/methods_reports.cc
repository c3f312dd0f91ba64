// Report and query front ends.
//
// Each runs inside the calling frame and its state check; the device operations behind them
// are not attached yet, so they answer 106 "Not supported".
#include "service/fiscal_printer_unit.h"

namespace kelo::service {

int32_t CFiscalPrinterUnit::printXReport() {
  return RefuseNotSupported("printXReport");
}

int32_t CFiscalPrinterUnit::printZReport() {
  return RefuseNotSupported("printZReport");
}

int32_t CFiscalPrinterUnit::printReport(int32_t /*report_type*/, const std::string& /*start_num*/,
                                        const std::string& /*end_num*/) {
  return RefuseNotSupported("printReport");
}

int32_t CFiscalPrinterUnit::printPeriodicTotalsReport(const std::string& /*date1*/,
                                                      const std::string& /*date2*/) {
  return RefuseNotSupported("printPeriodicTotalsReport");
}

int32_t CFiscalPrinterUnit::printPowerLossReport() {
  return RefuseNotSupported("printPowerLossReport");
}

int32_t CFiscalPrinterUnit::getDate(std::string* /*date*/) {
  return RefuseNotSupported("getDate");
}

int32_t CFiscalPrinterUnit::getData(int32_t /*data_item*/, int32_t* /*opt_args*/,
                                    std::string* /*data*/) {
  return RefuseNotSupported("getData");
}

int32_t CFiscalPrinterUnit::getTotalizer(int32_t /*vat_id*/, int32_t /*opt_args*/,
                                         std::string* /*data*/) {
  return RefuseNotSupported("getTotalizer");
}

int32_t CFiscalPrinterUnit::getVatEntry(int32_t /*vat_id*/, int32_t /*opt_args*/,
                                        int32_t* /*vat_rate*/) {
  return RefuseNotSupported("getVatEntry");
}

}  // namespace kelo::service
