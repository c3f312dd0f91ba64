#include "bridge/printing.h"

#include <charconv>

#include "opos/opos_constants.h"

namespace kelo::bridge {
namespace {

using control::Currency;
using control::FiscalPrinter;

constexpr Currency Cents(int64_t cents) {
  return Currency(cents * 100);
}

constexpr DataItem kDataItems[] = {
    {"current_total", opos::FPTR_GD_CURRENT_TOTAL, true},
    {"daily_total", opos::FPTR_GD_DAILY_TOTAL, true},
    {"receipt_number", opos::FPTR_GD_RECEIPT_NUMBER, false},
    {"not_paid", opos::FPTR_GD_NOT_PAID, true},
    {"voided_receipts", opos::FPTR_GD_MID_VOID, false},
    {"z_report", opos::FPTR_GD_Z_REPORT, false},
    {"grand_total", opos::FPTR_GD_GRAND_TOTAL, true},
    {"printer_id", opos::FPTR_GD_PRINTER_ID, false},
    {"firmware", opos::FPTR_GD_FIRMWARE, false},
    {"restarts", opos::FPTR_GD_RESTART, false},
    {"fiscal_documents", opos::FPTR_GD_FISCAL_DOC, false},
    {"fiscal_receipts", opos::FPTR_GD_FISCAL_REC, false},
    {"nonfiscal_documents", opos::FPTR_GD_NONFISCAL_DOC, false},
};

// Checks a result; on failure describes it.
bool Ok(FiscalPrinter& fp, int32_t result, const char* step, std::optional<PrinterError>* error) {
  if (result == opos::OPOS_SUCCESS) return true;
  PrinterError e;
  e.step = step;
  e.result_code = result;
  e.extended = fp.ResultCodeExtended();
  e.message = fp.ErrorString();
  if (e.message.empty()) e.message = std::string(step) + " failed";
  *error = std::move(e);
  return false;
}

bool ReadNumber(FiscalPrinter& fp, int32_t item, int64_t* value) {
  int32_t opt = 0;
  std::string data;
  if (fp.GetData(item, opt, data) != opos::OPOS_SUCCESS) return false;
  const auto [end, ec] = std::from_chars(data.data(), data.data() + data.size(), *value);
  return ec == std::errc() && end == data.data() + data.size();
}

// OPOS adjustment types.
int32_t AdjustmentType(const ReceiptAdjustment& adj) {
  if (adj.percent) {
    return adj.discount ? opos::FPTR_AT_PERCENTAGE_DISCOUNT : opos::FPTR_AT_PERCENTAGE_SURCHARGE;
  }
  return adj.discount ? opos::FPTR_AT_AMOUNT_DISCOUNT : opos::FPTR_AT_AMOUNT_SURCHARGE;
}

}  // namespace

std::span<const DataItem> DataItems() {
  return kDataItems;
}

bool ReadCounters(FiscalPrinter& fp, Counters* counters) {
  Counters c;
  if (!ReadNumber(fp, opos::FPTR_GD_RECEIPT_NUMBER, &c.receipts) ||
      !ReadNumber(fp, opos::FPTR_GD_MID_VOID, &c.voided)) {
    return false;
  }
  c.known = true;
  *counters = c;
  return true;
}

bool ReceiptOpen(FiscalPrinter& fp) {
  const int32_t state = fp.PrinterState();
  return state == opos::FPTR_PS_FISCAL_RECEIPT || state == opos::FPTR_PS_FISCAL_RECEIPT_TOTAL ||
         state == opos::FPTR_PS_FISCAL_RECEIPT_ENDING;
}

bool VoidOpenReceipt(FiscalPrinter& fp) {
  if (!ReceiptOpen(fp)) return true;
  if (fp.PrinterState() != opos::FPTR_PS_FISCAL_RECEIPT_ENDING) {
    (void)fp.PrintRecVoid("VOID");
  }
  (void)fp.EndFiscalReceipt(false);
  if (fp.FiscalReceiptType() != opos::FPTR_RT_SALES) fp.SetFiscalReceiptType(opos::FPTR_RT_SALES);
  return !ReceiptOpen(fp);
}

std::optional<PrinterError> PrintReceipt(FiscalPrinter& fp, const ReceiptDocument& doc) {
  std::optional<PrinterError> error;
  const ReceiptFigures figures = ComputeFigures(doc);
  if (doc.refund) {
    // A credit note: a refund receipt naming the document it credits.
    fp.SetFiscalReceiptType(opos::FPTR_RT_REFUND);
    if (!Ok(fp, fp.ResultCode(), "FiscalReceiptType", &error)) return error;
    fp.SetPreLine(doc.reference.empty() ? "REFUND" : doc.reference);
    if (!Ok(fp, fp.ResultCode(), "PreLine", &error)) return error;
  }
  bool ok = Ok(fp, fp.BeginFiscalReceipt(true), "BeginFiscalReceipt", &error);
  for (size_t i = 0; ok && i < doc.items.size(); ++i) {
    const ReceiptItem& item = doc.items[i];
    const int32_t vat_info = item.department > 0 ? 10000 + item.department : item.vat;
    ok = Ok(fp,
            fp.PrintRecItem(item.description, Cents(item.LineCents()), item.quantity, vat_info,
                            item.quantity > 1 ? Cents(item.price_cents) : Currency(0), ""),
            "PrintRecItem", &error);
  }
  for (size_t i = 0; ok && i < doc.adjustments.size(); ++i) {
    const ReceiptAdjustment& adj = doc.adjustments[i];
    // The printer prints the subtotal with the adjustment. A percentage travels as Currency
    // too: 10.00 % is Currency(100000).
    ok = Ok(fp,
            fp.PrintRecSubtotalAdjustment(AdjustmentType(adj), adj.description, Cents(adj.value)),
            "PrintRecSubtotalAdjustment", &error);
  }
  for (size_t i = 0; ok && i < doc.messages.size(); ++i) {
    ok = Ok(fp, fp.PrintRecMessage(doc.messages[i]), "PrintRecMessage", &error);
  }
  for (size_t i = 0; ok && i < doc.payments.size(); ++i) {
    const ReceiptPayment& pay = doc.payments[i];
    ok = Ok(fp,
            fp.PrintRecTotal(Cents(figures.total_cents), Cents(pay.amount_cents), pay.description),
            "PrintRecTotal", &error);
  }
  if (ok) ok = Ok(fp, fp.EndFiscalReceipt(false), "EndFiscalReceipt", &error);
  // The type applied to this receipt; the next one is a sale again (settable in the monitor
  // state only, so after a failure VoidOpenReceipt does it).
  if (doc.refund && !ReceiptOpen(fp)) fp.SetFiscalReceiptType(opos::FPTR_RT_SALES);
  return error;
}

std::optional<PrinterError> PrintReport(FiscalPrinter& fp, bool z_report) {
  std::optional<PrinterError> error;
  if (z_report) {
    Ok(fp, fp.PrintZReport(), "PrintZReport", &error);
  } else {
    Ok(fp, fp.PrintXReport(), "PrintXReport", &error);
  }
  return error;
}

std::optional<PrinterError> OpenDrawer(FiscalPrinter& fp) {
  std::optional<PrinterError> error;
  int32_t data = 0;
  std::string text;
  Ok(fp, fp.DirectIO(opos::DIRECTIO_FPTR_DRAWER_OPEN, data, text), "DirectIO(DRAWER_OPEN)", &error);
  return error;
}

std::optional<PrinterError> ReadData(FiscalPrinter& fp, const DataItem& item, std::string* value) {
  std::optional<PrinterError> error;
  int32_t opt = 0;
  std::string data;
  if (!Ok(fp, fp.GetData(item.item, opt, data), "GetData", &error)) return error;
  int64_t cents = 0;
  const auto [end, ec] = std::from_chars(data.data(), data.data() + data.size(), cents);
  // Amounts come in cents; a client reads them as it writes them ("12.50").
  *value = item.amount && ec == std::errc() && end == data.data() + data.size() ? FormatCents(cents)
                                                                                : data;
  return error;
}

}  // namespace kelo::bridge
