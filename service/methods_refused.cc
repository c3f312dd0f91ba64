// Front ends of the method families this printer has no hardware for (slip
// documents, fixed output, insertion and removal, item lists).
//
// Each runs inside the calling frame and its state check, then refuses by the capability
// that says the hardware is missing.
#include "opos/opos_constants.h"
#include "service/fiscal_printer_unit.h"

namespace kelo::service {

int32_t CFiscalPrinterUnit::beginFiscalDocument(int32_t /*document_amount*/) {
  return RefuseByCapability("beginFiscalDocument", opos::PIDX_CapSlpFiscalDocument,
                            "CapSlpFiscalDocument");
}

int32_t CFiscalPrinterUnit::endFiscalDocument() {
  return RefuseByCapability("endFiscalDocument", opos::PIDX_CapSlpFiscalDocument,
                            "CapSlpFiscalDocument");
}

int32_t CFiscalPrinterUnit::printFiscalDocumentLine(const std::string& /*document_line*/) {
  return RefuseByCapability("printFiscalDocumentLine", opos::PIDX_CapSlpFiscalDocument,
                            "CapSlpFiscalDocument");
}

int32_t CFiscalPrinterUnit::beginFixedOutput(int32_t /*station*/, int32_t /*document_type*/) {
  return RefuseByCapability("beginFixedOutput", opos::PIDX_CapFixedOutput, "CapFixedOutput");
}

int32_t CFiscalPrinterUnit::endFixedOutput() {
  return RefuseByCapability("endFixedOutput", opos::PIDX_CapFixedOutput, "CapFixedOutput");
}

int32_t CFiscalPrinterUnit::printFixedOutput(int32_t /*document_type*/, int32_t /*line_number*/,
                                             const std::string& /*data*/) {
  return RefuseByCapability("printFixedOutput", opos::PIDX_CapFixedOutput, "CapFixedOutput");
}

int32_t CFiscalPrinterUnit::beginInsertion(int32_t /*timeout*/) {
  return RefuseByCapability("beginInsertion", opos::PIDX_CapSlpPresent, "CapSlpPresent");
}

int32_t CFiscalPrinterUnit::endInsertion() {
  return RefuseByCapability("endInsertion", opos::PIDX_CapSlpPresent, "CapSlpPresent");
}

int32_t CFiscalPrinterUnit::beginRemoval(int32_t /*timeout*/) {
  return RefuseByCapability("beginRemoval", opos::PIDX_CapSlpPresent, "CapSlpPresent");
}

int32_t CFiscalPrinterUnit::endRemoval() {
  return RefuseByCapability("endRemoval", opos::PIDX_CapSlpPresent, "CapSlpPresent");
}

int32_t CFiscalPrinterUnit::beginItemList(int32_t /*vat_id*/) {
  return RefuseByCapability("beginItemList", opos::PIDX_CapItemList, "CapItemList");
}

int32_t CFiscalPrinterUnit::endItemList() {
  return RefuseByCapability("endItemList", opos::PIDX_CapItemList, "CapItemList");
}

int32_t CFiscalPrinterUnit::verifyItem(const std::string& /*item_name*/, int32_t /*vat_id*/) {
  return RefuseByCapability("verifyItem", opos::PIDX_CapItemList, "CapItemList");
}

}  // namespace kelo::service
