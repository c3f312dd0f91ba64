// The printer calls behind each kind of request, made through the control object on the
// printer's worker thread (printer_worker.h).
//
// Receipt numbers: FPTR_GD_RECEIPT_NUMBER reads, while a receipt is open, the number that
// receipt will carry, and otherwise the count of fiscal documents of the day that were ended
// or voided, i.e. the number of the last one. A receipt that ends moves it by one; a receipt
// that is voided moves it too, and also moves FPTR_GD_MID_VOID (voided receipts of the day).
// So with both counters read before a print, "receipts moved more than voided did" means the
// receipt was printed, and its number is the receipt counter before plus one. A Z report sets
// both back to 0.
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "bridge/document.h"
#include "bridge/printer_worker.h"
#include "control/fiscal_printer.h"

namespace kelo::bridge {

struct PrinterError {
  std::string step;  // the method that failed, e.g. "PrintRecItem"
  int32_t result_code = 0;
  int32_t extended = 0;
  std::string message;
};

// Reads both counters (two GetData calls); false when the printer did not answer.
bool ReadCounters(control::FiscalPrinter& fp, Counters* counters);
// True when PrinterState says a fiscal receipt is open.
bool ReceiptOpen(control::FiscalPrinter& fp);
// Voids and ends the open receipt, if one is open; true when none is open afterwards.
bool VoidOpenReceipt(control::FiscalPrinter& fp);

// Prints the document as one fiscal receipt (a refund receipt when doc.refund). Stops at the
// first failure and returns it; the receipt is then left as it is (the caller voids it).
std::optional<PrinterError> PrintReceipt(control::FiscalPrinter& fp, const ReceiptDocument& doc);
std::optional<PrinterError> PrintReport(control::FiscalPrinter& fp, bool z_report);
std::optional<PrinterError> OpenDrawer(control::FiscalPrinter& fp);

// The data items a client may read with GET .../data/{name}.
struct DataItem {
  const char* name;
  int32_t item;  // FPTR_GD_*
  bool amount;   // in cents on the printer, "12.50" to the client
};
std::span<const DataItem> DataItems();
// Reads one; nullopt error and *value set on success.
std::optional<PrinterError> ReadData(control::FiscalPrinter& fp, const DataItem& item,
                                     std::string* value);

}  // namespace kelo::bridge
