// Front ends of the method families this printer has no hardware for (slip
// documents, fixed output, insertion and removal, item lists).
//
// Each runs inside the calling frame and its state check; the device operations behind them
// are not attached yet, so they answer 106 "Not supported".
#include "service/fiscal_printer_unit.h"

namespace kelo::service {

int32_t CFiscalPrinterUnit::beginFiscalDocument(int32_t /*document_amount*/) {
  return RefuseNotSupported("beginFiscalDocument");
}

int32_t CFiscalPrinterUnit::endFiscalDocument() {
  return RefuseNotSupported("endFiscalDocument");
}

int32_t CFiscalPrinterUnit::printFiscalDocumentLine(const std::string& /*document_line*/) {
  return RefuseNotSupported("printFiscalDocumentLine");
}

int32_t CFiscalPrinterUnit::beginFixedOutput(int32_t /*station*/, int32_t /*document_type*/) {
  return RefuseNotSupported("beginFixedOutput");
}

int32_t CFiscalPrinterUnit::endFixedOutput() {
  return RefuseNotSupported("endFixedOutput");
}

int32_t CFiscalPrinterUnit::printFixedOutput(int32_t /*document_type*/, int32_t /*line_number*/,
                                             const std::string& /*data*/) {
  return RefuseNotSupported("printFixedOutput");
}

int32_t CFiscalPrinterUnit::beginInsertion(int32_t /*timeout*/) {
  return RefuseNotSupported("beginInsertion");
}

int32_t CFiscalPrinterUnit::endInsertion() {
  return RefuseNotSupported("endInsertion");
}

int32_t CFiscalPrinterUnit::beginRemoval(int32_t /*timeout*/) {
  return RefuseNotSupported("beginRemoval");
}

int32_t CFiscalPrinterUnit::endRemoval() {
  return RefuseNotSupported("endRemoval");
}

int32_t CFiscalPrinterUnit::beginItemList(int32_t /*vat_id*/) {
  return RefuseNotSupported("beginItemList");
}

int32_t CFiscalPrinterUnit::endItemList() {
  return RefuseNotSupported("endItemList");
}

int32_t CFiscalPrinterUnit::verifyItem(const std::string& /*item_name*/, int32_t /*vat_id*/) {
  return RefuseNotSupported("verifyItem");
}

}  // namespace kelo::service
