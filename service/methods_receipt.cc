// Fiscal receipt front ends.
//
// Each runs inside the calling frame and its state check; the device operations behind them
// are not attached yet, so they answer 106 "Not supported".
#include <cstdio>

#include "service/fiscal_printer_unit.h"
#include "service/front_end_text.h"

namespace kelo::service {

int32_t CFiscalPrinterUnit::beginFiscalReceipt(bool /*print_header*/) {
  return RefuseNotSupported("beginFiscalReceipt");
}

int32_t CFiscalPrinterUnit::endFiscalReceipt(bool /*print_header*/) {
  return RefuseNotSupported("endFiscalReceipt");
}

int32_t CFiscalPrinterUnit::printRecItem(const std::string& description, int64_t price,
                                         int32_t quantity, int32_t vat_info, int64_t unit_price,
                                         const std::string& unit_name) {
  // The amounts are traced in hundredths, as the printer receives them.
  char head[128];
  std::snprintf(head, sizeof head, ", %d, %d, %d, %d, ", CurrencyToHundredths(price), quantity,
                vat_info, CurrencyToHundredths(unit_price));
  const std::string entry =
      "+CFiscalPrinterUnit::printRecItem(" + description + head + unit_name + ";\n";
  return RefuseNotSupported("printRecItem", &entry);
}

int32_t CFiscalPrinterUnit::printRecItemVoid(const std::string& /*description*/, int64_t /*price*/,
                                             int32_t /*quantity*/, int32_t /*vat_info*/,
                                             int64_t /*unit_price*/,
                                             const std::string& /*unit_name*/) {
  return RefuseNotSupported("printRecItemVoid");
}

int32_t CFiscalPrinterUnit::printRecItemAdjustment(int32_t /*adjustment_type*/,
                                                   const std::string& /*description*/,
                                                   int64_t /*amount*/, int32_t /*vat_info*/) {
  return RefuseNotSupported("printRecItemAdjustment");
}

int32_t CFiscalPrinterUnit::printRecItemAdjustmentVoid(int32_t /*adjustment_type*/,
                                                       const std::string& /*description*/,
                                                       int64_t /*amount*/, int32_t /*vat_info*/) {
  return RefuseNotSupported("printRecItemAdjustmentVoid");
}

int32_t CFiscalPrinterUnit::printRecVoidItem(const std::string& /*description*/, int64_t /*amount*/,
                                             int32_t /*quantity*/, int32_t /*adjustment_type*/,
                                             int64_t /*adjustment*/, int32_t /*vat_info*/) {
  return RefuseNotSupported("printRecVoidItem");
}

int32_t CFiscalPrinterUnit::printRecRefund(const std::string& /*description*/, int64_t /*amount*/,
                                           int32_t /*vat_info*/) {
  return RefuseNotSupported("printRecRefund");
}

int32_t CFiscalPrinterUnit::printRecRefundVoid(const std::string& /*description*/,
                                               int64_t /*amount*/, int32_t /*vat_info*/) {
  return RefuseNotSupported("printRecRefundVoid");
}

int32_t CFiscalPrinterUnit::printRecSubtotal(int64_t /*amount*/) {
  return RefuseNotSupported("printRecSubtotal");
}

int32_t CFiscalPrinterUnit::printRecSubtotalAdjustment(int32_t /*adjustment_type*/,
                                                       const std::string& /*description*/,
                                                       int64_t /*amount*/) {
  return RefuseNotSupported("printRecSubtotalAdjustment");
}

int32_t CFiscalPrinterUnit::printRecSubtotalAdjustVoid(int32_t /*adjustment_type*/,
                                                       int64_t /*amount*/) {
  return RefuseNotSupported("printRecSubtotalAdjustVoid");
}

int32_t CFiscalPrinterUnit::printRecTotal(int64_t /*total*/, int64_t /*payment*/,
                                          const std::string& /*description*/) {
  return RefuseNotSupported("printRecTotal");
}

int32_t CFiscalPrinterUnit::printRecVoid(const std::string& /*description*/) {
  return RefuseNotSupported("printRecVoid");
}

int32_t CFiscalPrinterUnit::printRecMessage(const std::string& /*message*/) {
  return RefuseNotSupported("printRecMessage");
}

int32_t CFiscalPrinterUnit::printRecNotPaid(const std::string& /*description*/,
                                            int64_t /*amount*/) {
  return RefuseNotSupported("printRecNotPaid");
}

int32_t CFiscalPrinterUnit::printDuplicateReceipt() {
  return RefuseNotSupported("printDuplicateReceipt");
}

int32_t CFiscalPrinterUnit::printRecCash(int64_t /*amount*/) {
  return RefuseNotSupported("printRecCash");
}

int32_t CFiscalPrinterUnit::printRecTaxID(const std::string& /*tax_id*/) {
  return RefuseNotSupported("printRecTaxID");
}

int32_t CFiscalPrinterUnit::printRecItemFuel(const std::string& /*description*/, int64_t /*price*/,
                                             int32_t /*quantity*/, int32_t /*vat_info*/,
                                             int64_t /*unit_price*/,
                                             const std::string& /*unit_name*/,
                                             int64_t /*special_tax*/,
                                             const std::string& /*special_tax_name*/) {
  return RefuseNotSupported("printRecItemFuel");
}

int32_t CFiscalPrinterUnit::printRecItemFuelVoid(const std::string& /*description*/,
                                                 int64_t /*price*/, int32_t /*vat_info*/,
                                                 int64_t /*special_tax*/) {
  return RefuseNotSupported("printRecItemFuelVoid");
}

int32_t CFiscalPrinterUnit::printRecPackageAdjustment(int32_t /*adjustment_type*/,
                                                      const std::string& /*description*/,
                                                      const std::string& /*vat_adjustment*/) {
  return RefuseNotSupported("printRecPackageAdjustment");
}

int32_t CFiscalPrinterUnit::printRecPackageAdjustVoid(int32_t /*adjustment_type*/,
                                                      const std::string& /*vat_adjustment*/) {
  return RefuseNotSupported("printRecPackageAdjustVoid");
}

}  // namespace kelo::service
