// Fiscal receipt operations: sales and refund receipts, items, adjustments, subtotals,
// totals and payments, and the helpers every operation shares.
#include <algorithm>

#include "device/device_operations.h"
#include "opos/opos_constants.h"
#include "device/parameter_text.h"

namespace kelo::device {

using namespace opos;

const char kWrongStateText[] =
    "The Fiscal Printer\x92s current state does not allow this state transition";
const char kBadVatText[] = "The VAT information is invalid";

namespace {

// The printer's adjustment code for an OPOS AdjustmentType, or 0 for a type outside 1 to 4.
int32_t AdjustmentCode(int32_t adjustment_type) {
  switch (adjustment_type) {
    case 1:
      return 10;  // FPTR_AT_AMOUNT_DISCOUNT
    case 2:
      return 11;  // FPTR_AT_AMOUNT_SURCHARGE
    case 3:
      return 20;  // FPTR_AT_PERCENTAGE_DISCOUNT
    case 4:
      return 21;  // FPTR_AT_PERCENTAGE_SURCHARGE
    default:
      return 0;
  }
}

DeviceResult Ok() {
  return {};
}

}  // namespace

DeviceOperations::DeviceOperations(FiscalDevice& device, UnitHost& host)
    : device_(device), host_(host) {}

DeviceResult DeviceOperations::MapDeviceResult(int32_t device_result) {
  if (device_result == 0) return Ok();
  return {OPOS_E_ILLEGAL, 0, ""};
}

int32_t DeviceOperations::PrinterState() {
  return host_.GetNumberProperty(PIDX_PrinterState);
}

void DeviceOperations::SetPrinterState(int32_t state) {
  host_.SetNumberProperty(PIDX_PrinterState, state);
}

DeviceResult DeviceOperations::RequireState(int32_t a, int32_t b, int32_t c) {
  const int32_t state = PrinterState();
  if (state == a || (b != -1 && state == b) || (c != -1 && state == c)) return Ok();
  return {OPOS_E_EXTENDED, OPOS_EFPTR_WRONG_STATE, kWrongStateText};
}

VatSelection DeviceOperations::ResolveVat(int32_t vat_info) {
  if (vat_info == 0) {
    ConfigRecord config = device_.Configuration();
    int32_t index =
        config.valid ? config.default_vat_index : host_.GetNumberProperty(PIDX_NumVatRates) + 1;
    return {index, 0};
  }
  if (vat_info > 10000) return {0, vat_info - 10000};
  return {vat_info, 0};
}

DeviceResult DeviceOperations::VerifyVatInfo(int32_t vat_info, bool allow_minus_one) {
  const DeviceResult bad{OPOS_E_EXTENDED, OPOS_EFPTR_BAD_VAT, kBadVatText};
  if (vat_info == 0) return Ok();
  if (vat_info == -1 && allow_minus_one) return Ok();
  if (vat_info < 0) return bad;
  ConfigRecord config = device_.Configuration();
  if (!config.valid) return Ok();  // the printer's limits are unknown: let it judge
  if (vat_info > 10000) {
    return vat_info - 10000 <= config.num_departments ? Ok() : bad;
  }
  return vat_info <= config.num_vat_rates ? Ok() : bad;
}

void DeviceOperations::ClearPrePostLines() {
  host_.SetStringProperty(PIDX_PreLine, "");
  host_.SetStringProperty(PIDX_PostLine, "");
}

DeviceResult DeviceOperations::PrintPreLine() {
  std::string pre = host_.GetStringProperty(PIDX_PreLine);
  if (pre.empty()) return Ok();
  return MapDeviceResult(device_.PrintMessage(pre));
}

DeviceResult DeviceOperations::FinishItem(DeviceResult work) {
  if (work.ok()) {
    std::string post = host_.GetStringProperty(PIDX_PostLine);
    if (!post.empty()) work = MapDeviceResult(device_.PrintMessage(post));
  }
  ClearPrePostLines();
  return work;
}

DeviceResult DeviceOperations::CloseIfPaid() {
  // Already closed: a retried printRecTotal whose end of payment went through although its
  // answer was lost.
  if (PrinterState() == FPTR_PS_FISCAL_RECEIPT_ENDING) return Ok();
  int64_t total = 0;
  int64_t remaining = 0;
  int32_t r = device_.ReadReceiptAmount(kAmountReceiptTotal, &total);
  if (r == 0) r = device_.ReadReceiptAmount(kAmountRemaining, &remaining);
  if (r != 0) return MapDeviceResult(r);
  if (remaining <= 0) {
    r = device_.ClosePayment(-remaining);
    if (r != 0) return MapDeviceResult(r);
    SetPrinterState(FPTR_PS_FISCAL_RECEIPT_ENDING);
  }
  return Ok();
}

// ---- Opening and closing -----------------------------------------------------------------

DeviceResult DeviceOperations::DoBeginFiscalReceipt(const std::string& input, std::string&) {
  ParamFields f(input, 1);
  if (DeviceResult r = RequireState(FPTR_PS_MONITOR); !r.ok()) return r;
  std::string header = f.Number(0) != 0 ? host_.GetStringProperty(PIDX_AdditionalHeader) : "";
  DeviceResult r = MapDeviceResult(device_.OpenReceipt(header));
  if (!r.ok()) return r;
  host_.SetStringProperty(PIDX_AdditionalHeader, "");
  SetPrinterState(FPTR_PS_FISCAL_RECEIPT);
  host_.SetNumberProperty(PIDX_DayOpened, 1);
  return r;
}

DeviceResult DeviceOperations::DoBeginRefundReceipt(const std::string& input, std::string&) {
  ParamFields f(input, 2);
  if (DeviceResult r = RequireState(FPTR_PS_MONITOR); !r.ok()) return r;
  std::string header = f.Number(0) != 0 ? host_.GetStringProperty(PIDX_AdditionalHeader) : "";
  DeviceResult r = MapDeviceResult(device_.OpenRefundReceipt(f.Text(1), header));
  if (!r.ok()) return r;
  host_.SetStringProperty(PIDX_AdditionalHeader, "");
  SetPrinterState(FPTR_PS_FISCAL_RECEIPT);
  host_.SetNumberProperty(PIDX_DayOpened, 1);
  return r;
}

DeviceResult DeviceOperations::DoEndFiscalReceipt(const std::string& input, std::string&) {
  ParamFields f(input, 1);
  if (DeviceResult r = RequireState(FPTR_PS_FISCAL_RECEIPT_ENDING); !r.ok()) return r;
  for (const std::string& id : {host_.GetPosId(), host_.GetCashierId()}) {
    if (id.empty()) continue;
    if (DeviceResult r = MapDeviceResult(device_.PrintMessage(id)); !r.ok()) return r;
  }
  std::string trailer = f.Number(0) != 0 ? host_.GetStringProperty(PIDX_AdditionalTrailer) : "";
  DeviceResult r = MapDeviceResult(device_.CloseReceipt(trailer));
  if (r.ok()) SetPrinterState(FPTR_PS_MONITOR);
  return r;
}

DeviceResult DeviceOperations::DoEndRefundReceipt(const std::string& input, std::string&) {
  ParamFields f(input, 1);
  if (DeviceResult r = RequireState(FPTR_PS_FISCAL_RECEIPT_ENDING); !r.ok()) return r;
  std::string trailer = f.Number(0) != 0 ? host_.GetStringProperty(PIDX_AdditionalTrailer) : "";
  DeviceResult r = MapDeviceResult(device_.CloseRefundReceipt(trailer));
  if (r.ok()) SetPrinterState(FPTR_PS_MONITOR);
  return r;
}

// ---- Items -------------------------------------------------------------------------------

DeviceResult DeviceOperations::DoPrintRecItem(const std::string& input, std::string&) {
  // Description, Price, Quantity, VatInfo, UnitPrice, UnitName
  ParamFields f(input, 6);
  DeviceResult r = RequireState(FPTR_PS_FISCAL_RECEIPT);
  if (r.ok()) r = VerifyVatInfo(f.Number(3), true);
  if (!r.ok()) {
    ClearPrePostLines();
    return r;
  }
  r = PrintPreLine();
  if (r.ok()) {
    const int32_t vat_info = f.Number(3);
    if (vat_info == -1) {
      r = MapDeviceResult(device_.SellItem(f.Text(0), f.Number(1), 1, 0, 0, 0));
    } else {
      VatSelection vat = ResolveVat(vat_info);
      r = MapDeviceResult(device_.SellItem(f.Text(0), f.Number(1), f.Number(2), vat.vat_index,
                                           vat.department, f.Number(4)));
    }
  }
  return FinishItem(r);
}

DeviceResult DeviceOperations::DoPrintRecItemVoid(const std::string& input, std::string&) {
  // Description, Price, Quantity, VatInfo
  ParamFields f(input, 4);
  if (DeviceResult r = RequireState(FPTR_PS_FISCAL_RECEIPT); !r.ok()) return r;
  if (DeviceResult r = VerifyVatInfo(f.Number(3), false); !r.ok()) return r;
  VatSelection vat = ResolveVat(f.Number(3));
  return MapDeviceResult(
      device_.VoidItem(f.Text(0), f.Number(1), f.Number(2), vat.vat_index, vat.department));
}

DeviceResult DeviceOperations::DoPrintRecItemAdjustment(const std::string& input, std::string&) {
  // AdjustmentType, Description, Amount, VatInfo
  ParamFields f(input, 4);
  DeviceResult r = RequireState(FPTR_PS_FISCAL_RECEIPT);
  const int32_t code = AdjustmentCode(f.Number(0));
  if (r.ok() && code == 0) {
    r = {OPOS_E_ILLEGAL, 0, "The adjustmentType parameter is invalid"};
  } else if (r.ok() && f.Number(2) < 0) {
    r = {OPOS_E_EXTENDED, OPOS_EFPTR_BAD_ITEM_AMOUNT, "The discount amount is invalid"};
  }
  if (r.ok()) r = VerifyVatInfo(f.Number(3), false);
  if (!r.ok()) {
    ClearPrePostLines();
    return r;
  }
  r = PrintPreLine();
  if (r.ok()) {
    VatSelection vat = ResolveVat(f.Number(3));
    r = MapDeviceResult(
        device_.ItemAdjustment(code, f.Text(1), f.Number(2), vat.vat_index, vat.department));
  }
  return FinishItem(r);
}

DeviceResult DeviceOperations::DoPrintRecItemAdjustmentVoid(const std::string& input,
                                                            std::string&) {
  // AdjustmentType, Description, Amount, VatInfo
  ParamFields f(input, 4);
  if (DeviceResult r = RequireState(FPTR_PS_FISCAL_RECEIPT); !r.ok()) return r;
  const int32_t code = AdjustmentCode(f.Number(0));
  if (code == 0) return {OPOS_E_ILLEGAL, 0, "AdjustmentType parameter is invalid"};
  if (DeviceResult r = VerifyVatInfo(f.Number(3), false); !r.ok()) return r;
  VatSelection vat = ResolveVat(f.Number(3));
  return MapDeviceResult(
      device_.ItemAdjustmentVoid(code, f.Number(2), vat.vat_index, vat.department));
}

DeviceResult DeviceOperations::DoPrintRecVoidItem(const std::string& input, std::string&) {
  // Description, Amount, Quantity, AdjustmentType, Adjustment, VatInfo
  ParamFields f(input, 6);
  if (DeviceResult r = RequireState(FPTR_PS_FISCAL_RECEIPT); !r.ok()) return r;
  const int32_t adjustment = f.Number(4);
  const int32_t code = AdjustmentCode(f.Number(3));
  if (adjustment != 0 && code == 0) {
    return {OPOS_E_ILLEGAL, 0, "adjustmentType parameters is invalid"};
  }
  if (DeviceResult r = VerifyVatInfo(f.Number(5), false); !r.ok()) return r;
  VatSelection vat = ResolveVat(f.Number(5));
  if (adjustment != 0) {
    DeviceResult r = MapDeviceResult(
        device_.ItemAdjustmentVoid(code, adjustment, vat.vat_index, vat.department));
    if (!r.ok()) return r;
  }
  if (f.Text(0).empty()) return Ok();
  return MapDeviceResult(
      device_.VoidItem(f.Text(0), f.Number(1), f.Number(2), vat.vat_index, vat.department));
}

DeviceResult DeviceOperations::DoPrintRecRefund(const std::string& input, std::string&) {
  // Description, Amount, VatInfo
  ParamFields f(input, 3);
  DeviceResult r = RequireState(FPTR_PS_FISCAL_RECEIPT);
  if (r.ok()) r = VerifyVatInfo(f.Number(2), false);
  if (!r.ok()) {
    ClearPrePostLines();
    return r;
  }
  r = PrintPreLine();
  if (r.ok()) {
    VatSelection vat = ResolveVat(f.Number(2));
    r = MapDeviceResult(device_.Refund(f.Text(0), f.Number(1), vat.vat_index, vat.department));
  }
  return FinishItem(r);
}

DeviceResult DeviceOperations::DoPrintRecRefundVoid(const std::string& input, std::string&) {
  // Description, Amount, VatInfo
  ParamFields f(input, 3);
  DeviceResult r = RequireState(FPTR_PS_FISCAL_RECEIPT);
  if (r.ok()) r = VerifyVatInfo(f.Number(2), false);
  if (!r.ok()) {
    ClearPrePostLines();
    return r;
  }
  r = PrintPreLine();
  if (r.ok()) {
    VatSelection vat = ResolveVat(f.Number(2));
    r = MapDeviceResult(device_.RefundVoid(f.Text(0), f.Number(1), vat.vat_index, vat.department));
  }
  return FinishItem(r);
}

// ---- Subtotals, totals, payments ---------------------------------------------------------

DeviceResult DeviceOperations::DoPrintRecSubtotal(const std::string& input, std::string&) {
  ParamFields f(input, 1);  // Amount
  DeviceResult r = RequireState(FPTR_PS_FISCAL_RECEIPT);
  if (!r.ok()) {
    ClearPrePostLines();
    return r;
  }
  r = PrintPreLine();
  if (r.ok()) r = MapDeviceResult(device_.Subtotal(f.Number(0)));
  return FinishItem(r);
}

DeviceResult DeviceOperations::DoPrintRecSubtotalAdjustment(const std::string& input,
                                                            std::string&) {
  // AdjustmentType, Description, Amount
  ParamFields f(input, 3);
  DeviceResult r = RequireState(FPTR_PS_FISCAL_RECEIPT);
  const int32_t code = AdjustmentCode(f.Number(0));
  if (r.ok() && code == 0) {
    r = {OPOS_E_ILLEGAL, 0, "The adjustmentType parameter is invalid"};
  } else if (r.ok() && f.Number(2) < 0) {
    r = {OPOS_E_EXTENDED, OPOS_EFPTR_BAD_ITEM_AMOUNT, "The discount amount is invalid"};
  }
  if (!r.ok()) {
    ClearPrePostLines();
    return r;
  }
  r = PrintPreLine();
  if (r.ok()) r = MapDeviceResult(device_.SubtotalAdjustment(code, f.Text(1), f.Number(2)));
  return FinishItem(r);
}

DeviceResult DeviceOperations::DoPrintRecTotal(const std::string& input, std::string&) {
  // Total, Payment, Description
  ParamFields f(input, 3);
  DeviceResult r = RequireState(FPTR_PS_FISCAL_RECEIPT, FPTR_PS_FISCAL_RECEIPT_TOTAL,
                                FPTR_PS_FISCAL_RECEIPT_ENDING);
  if (!r.ok()) {
    ClearPrePostLines();
    return r;
  }
  const int32_t total = f.Number(0);
  const int32_t payment = f.Number(1);
  r = PrintPreLine();
  if (r.ok() && PrinterState() == FPTR_PS_FISCAL_RECEIPT) {
    r = MapDeviceResult(device_.Total(total));
    if (r.ok()) SetPrinterState(FPTR_PS_FISCAL_RECEIPT_TOTAL);
  }
  if (r.ok() && (payment != 0 || total == 0)) {
    PaymentChoice choice = ParsePaymentDescription(f.Text(2));
    r = MapDeviceResult(device_.Payment(choice.description, payment, choice.form));
    // A retry finds the payment ended already (ENDING) when only the answer to the end of
    // payment was lost; the state stays there.
    if (r.ok() && PrinterState() != FPTR_PS_FISCAL_RECEIPT_ENDING) {
      SetPrinterState(FPTR_PS_FISCAL_RECEIPT_TOTAL);
    }
  }
  if (r.ok()) r = CloseIfPaid();
  return FinishItem(r);
}

DeviceResult DeviceOperations::DoPrintRecNotPaid(const std::string& input, std::string&) {
  // Description, Amount
  ParamFields f(input, 2);
  DeviceResult r = RequireState(FPTR_PS_FISCAL_RECEIPT_TOTAL, FPTR_PS_FISCAL_RECEIPT_ENDING);
  if (!r.ok()) return r;
  r = MapDeviceResult(device_.NotPaid(f.Text(0), f.Number(1)));
  if (r.ok()) r = CloseIfPaid();
  return r;
}

DeviceResult DeviceOperations::DoPrintRecMessage(const std::string& input, std::string&) {
  // The whole text is the message (one trailing separator is tolerated).
  ParamFields f(input, 1);
  DeviceResult r = RequireState(FPTR_PS_FISCAL_RECEIPT, FPTR_PS_FISCAL_RECEIPT_TOTAL,
                                FPTR_PS_FISCAL_RECEIPT_ENDING);
  if (!r.ok()) return r;
  const std::string& message = f.Text(0);
  if (host_.GetNumberProperty(PIDX_AsyncMode) == 1 &&
      message.size() >
          static_cast<size_t>(std::max(0, host_.GetNumberProperty(PIDX_MessageLength)))) {
    return {OPOS_E_EXTENDED, OPOS_EFPTR_BAD_ITEM_DESCRIPTION,
            "The message is too long or contains a reserved word"};
  }
  return MapDeviceResult(device_.PrintMessage(message));
}

DeviceResult DeviceOperations::DoPrintRecVoid(const std::string&, std::string&) {
  DeviceResult r = RequireState(FPTR_PS_FISCAL_RECEIPT, FPTR_PS_FISCAL_RECEIPT_TOTAL,
                                FPTR_PS_FISCAL_RECEIPT_ENDING);
  if (!r.ok()) return r;
  r = MapDeviceResult(device_.VoidReceipt());
  if (r.ok()) SetPrinterState(FPTR_PS_FISCAL_RECEIPT_ENDING);
  return r;
}

}  // namespace kelo::device
