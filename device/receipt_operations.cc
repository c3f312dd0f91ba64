// Fiscal receipt operations: sales and refund receipts, items, adjustments, subtotals,
// totals and payments, and the helpers every operation shares.
#include <algorithm>

#include "device/device_operations.h"
#include "device/parameter_text.h"
#include "opos/opos_constants.h"

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

DeviceResult DeviceOperations::MapDeviceResult(int32_t device_result,
                                               const DeviceStatusBlock& status) {
  if (device_result == 0) return Ok();
  const bool refused =
      device_result == link::LINK_E_REPLY83 || device_result == link::LINK_E_REPLY84;
  if (refused) {
    // The causes the status block names, most pressing first.
    struct Cause {
      int word;
      int32_t extended;
      const char* text;
    };
    static constexpr Cause kCauses[] = {
        {DeviceStatusBlock::kCoverOpen, OPOS_EFPTR_COVER_OPEN,
         "The printer refused the command: its cover is open"},
        {DeviceStatusBlock::kReceiptEmpty, OPOS_EFPTR_REC_EMPTY,
         "The printer refused the command: the receipt paper is out"},
        {DeviceStatusBlock::kJournalEmpty, OPOS_EFPTR_JRN_EMPTY,
         "The printer refused the command: the journal is exhausted"},
    };
    for (const Cause& c : kCauses) {
      if (status[c.word] != 0) return {OPOS_E_EXTENDED, c.extended, c.text};
    }
    if (status.AnyErrorWord()) {
      return {OPOS_E_EXTENDED, OPOS_EFPTR_TECHNICAL_ASSISTANCE,
              "The printer refused the command: it reports an error that needs assistance"};
    }
  }
  switch (device_result) {
    case link::LINK_E_REPLY83:
      return {OPOS_E_ILLEGAL, 0,
              "The printer refused the command in its present state (reply 83h)"};
    case link::LINK_E_REPLY84:
      return {OPOS_E_ILLEGAL, 0, "The printer rejected the command's data (reply 84h)"};
    case link::LINK_E_TIMEOUT:
      return {OPOS_E_ILLEGAL, 0, "The printer did not answer in time"};
    case link::LINK_E_CHECK:
      return {OPOS_E_ILLEGAL, 0, "The printer's answer kept arriving damaged (check code)"};
    case link::LINK_E_PROTOCOL:
      return {OPOS_E_ILLEGAL, 0,
              "The command could not be sent or the printer's answer did not match it"};
    default:
      return {OPOS_E_ILLEGAL, 0,
              "The printer command failed (device result " + std::to_string(device_result) + ")"};
  }
}

DeviceResult DeviceOperations::DescriptionFits(std::string_view description) {
  const ConfigRecord config = device_.Configuration();
  // The printer's own limit when it told it, else what one command can carry at all.
  const size_t limit = config.valid && config.length4 > 0 ? static_cast<size_t>(config.length4)
                                                          : kMaxDescriptionBytes;
  if (description.size() <= limit) return Ok();
  return {OPOS_E_EXTENDED, OPOS_EFPTR_BAD_ITEM_DESCRIPTION,
          "The description is " + std::to_string(description.size()) +
              " characters long; the printer takes at most " + std::to_string(limit)};
}

DeviceResult DeviceOperations::Mapped(int32_t device_result) {
  if (device_result == 0) return Ok();
  return MapDeviceResult(device_result, device_.CopyStatus());
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
  // Every index the printer holds: the configurable rates and the default (exempt) index
  // after them, which VatInfo 0 also selects.
  return vat_info <= std::max(config.num_vat_rates, config.default_vat_index) ? Ok() : bad;
}

void DeviceOperations::ClearPrePostLines() {
  host_.SetStringProperty(PIDX_PreLine, "");
  host_.SetStringProperty(PIDX_PostLine, "");
}

DeviceResult DeviceOperations::PrintPreLine() {
  std::string pre = host_.GetStringProperty(PIDX_PreLine);
  if (pre.empty()) return Ok();
  return Mapped(device_.PrintMessage(pre));
}

DeviceResult DeviceOperations::FinishItem(DeviceResult work) {
  if (work.ok()) {
    std::string post = host_.GetStringProperty(PIDX_PostLine);
    if (!post.empty()) work = Mapped(device_.PrintMessage(post));
  }
  ClearPrePostLines();
  return work;
}

DeviceResult DeviceOperations::CloseIfPaid() {
  // Already closed: a retried printRecTotal whose end of payment went through although its
  // answer was lost.
  if (PrinterState() == FPTR_PS_FISCAL_RECEIPT_ENDING) return Ok();
  // The amount still to pay decides; the device usually knows it from the lines the
  // printer acknowledged, and asks the printer only when it does not. (The receipt total
  // would tell nothing more, so it is not read.)
  int64_t remaining = 0;
  if (!device_.KnownAmountRemaining(&remaining)) {
    if (const int32_t r = device_.ReadReceiptAmount(kAmountRemaining, &remaining); r != 0) {
      return Mapped(r);
    }
  }
  if (remaining <= 0) {
    const int32_t r = device_.ClosePayment(-remaining);
    if (r != 0) return Mapped(r);
    SetPrinterState(FPTR_PS_FISCAL_RECEIPT_ENDING);
  }
  return Ok();
}

// ---- Opening and closing -----------------------------------------------------------------

DeviceResult DeviceOperations::DoBeginFiscalReceipt(const std::string& input, std::string&) {
  ParamFields f(input, 1);
  if (DeviceResult r = RequireState(FPTR_PS_MONITOR); !r.ok()) return r;
  std::string header = f.Number(0) != 0 ? host_.GetStringProperty(PIDX_AdditionalHeader) : "";
  DeviceResult r = Mapped(device_.OpenReceipt(header));
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
  DeviceResult r = Mapped(device_.OpenRefundReceipt(f.Text(1), header));
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
    if (DeviceResult r = Mapped(device_.PrintMessage(id)); !r.ok()) return r;
  }
  std::string trailer = f.Number(0) != 0 ? host_.GetStringProperty(PIDX_AdditionalTrailer) : "";
  DeviceResult r = Mapped(device_.CloseReceipt(trailer));
  if (r.ok()) SetPrinterState(FPTR_PS_MONITOR);
  return r;
}

DeviceResult DeviceOperations::DoEndRefundReceipt(const std::string& input, std::string&) {
  ParamFields f(input, 1);
  if (DeviceResult r = RequireState(FPTR_PS_FISCAL_RECEIPT_ENDING); !r.ok()) return r;
  std::string trailer = f.Number(0) != 0 ? host_.GetStringProperty(PIDX_AdditionalTrailer) : "";
  DeviceResult r = Mapped(device_.CloseRefundReceipt(trailer));
  if (r.ok()) SetPrinterState(FPTR_PS_MONITOR);
  return r;
}

// ---- Items -------------------------------------------------------------------------------

DeviceResult DeviceOperations::DoPrintRecItem(const std::string& input, std::string&) {
  // Description, Price, Quantity, VatInfo, UnitPrice, UnitName
  ParamFields f(input, 6);
  if (DeviceResult d = DescriptionFits(f.Text(0)); !d.ok()) return d;
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
      r = Mapped(device_.SellItem(f.Text(0), f.Number(1), 1, 0, 0, 0));
    } else {
      VatSelection vat = ResolveVat(vat_info);
      r = Mapped(device_.SellItem(f.Text(0), f.Number(1), f.Number(2), vat.vat_index,
                                  vat.department, f.Number(4)));
    }
  }
  return FinishItem(r);
}

DeviceResult DeviceOperations::DoPrintRecItemVoid(const std::string& input, std::string&) {
  // Description, Price, Quantity, VatInfo
  ParamFields f(input, 4);
  if (DeviceResult d = DescriptionFits(f.Text(0)); !d.ok()) return d;
  if (DeviceResult r = RequireState(FPTR_PS_FISCAL_RECEIPT); !r.ok()) return r;
  if (DeviceResult r = VerifyVatInfo(f.Number(3), false); !r.ok()) return r;
  VatSelection vat = ResolveVat(f.Number(3));
  return Mapped(
      device_.VoidItem(f.Text(0), f.Number(1), f.Number(2), vat.vat_index, vat.department));
}

DeviceResult DeviceOperations::DoPrintRecItemAdjustment(const std::string& input, std::string&) {
  // AdjustmentType, Description, Amount, VatInfo
  ParamFields f(input, 4);
  if (DeviceResult d = DescriptionFits(f.Text(1)); !d.ok()) return d;
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
    r = Mapped(device_.ItemAdjustment(code, f.Text(1), f.Number(2), vat.vat_index, vat.department));
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
  return Mapped(device_.ItemAdjustmentVoid(code, f.Number(2), vat.vat_index, vat.department));
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
    DeviceResult r =
        Mapped(device_.ItemAdjustmentVoid(code, adjustment, vat.vat_index, vat.department));
    if (!r.ok()) return r;
  }
  if (f.Text(0).empty()) return Ok();
  return Mapped(
      device_.VoidItem(f.Text(0), f.Number(1), f.Number(2), vat.vat_index, vat.department));
}

DeviceResult DeviceOperations::DoPrintRecRefund(const std::string& input, std::string&) {
  // Description, Amount, VatInfo
  ParamFields f(input, 3);
  if (DeviceResult d = DescriptionFits(f.Text(0)); !d.ok()) return d;
  DeviceResult r = RequireState(FPTR_PS_FISCAL_RECEIPT);
  if (r.ok()) r = VerifyVatInfo(f.Number(2), false);
  if (!r.ok()) {
    ClearPrePostLines();
    return r;
  }
  r = PrintPreLine();
  if (r.ok()) {
    VatSelection vat = ResolveVat(f.Number(2));
    r = Mapped(device_.Refund(f.Text(0), f.Number(1), vat.vat_index, vat.department));
  }
  return FinishItem(r);
}

DeviceResult DeviceOperations::DoPrintRecRefundVoid(const std::string& input, std::string&) {
  // Description, Amount, VatInfo
  ParamFields f(input, 3);
  if (DeviceResult d = DescriptionFits(f.Text(0)); !d.ok()) return d;
  DeviceResult r = RequireState(FPTR_PS_FISCAL_RECEIPT);
  if (r.ok()) r = VerifyVatInfo(f.Number(2), false);
  if (!r.ok()) {
    ClearPrePostLines();
    return r;
  }
  r = PrintPreLine();
  if (r.ok()) {
    VatSelection vat = ResolveVat(f.Number(2));
    r = Mapped(device_.RefundVoid(f.Text(0), f.Number(1), vat.vat_index, vat.department));
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
  if (r.ok()) r = Mapped(device_.Subtotal(f.Number(0)));
  return FinishItem(r);
}

DeviceResult DeviceOperations::DoPrintRecSubtotalAdjustment(const std::string& input,
                                                            std::string&) {
  // AdjustmentType, Description, Amount
  ParamFields f(input, 3);
  if (DeviceResult d = DescriptionFits(f.Text(1)); !d.ok()) return d;
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
  if (r.ok()) r = Mapped(device_.SubtotalAdjustment(code, f.Text(1), f.Number(2)));
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
    r = Mapped(device_.Total(total));
    if (r.ok()) SetPrinterState(FPTR_PS_FISCAL_RECEIPT_TOTAL);
  }
  if (r.ok() && (payment != 0 || total == 0)) {
    PaymentChoice choice = ParsePaymentDescription(f.Text(2));
    r = Mapped(device_.Payment(choice.description, payment, choice.form));
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
  if (DeviceResult d = DescriptionFits(f.Text(0)); !d.ok()) return d;
  DeviceResult r = RequireState(FPTR_PS_FISCAL_RECEIPT_TOTAL, FPTR_PS_FISCAL_RECEIPT_ENDING);
  if (!r.ok()) return r;
  r = Mapped(device_.NotPaid(f.Text(0), f.Number(1)));
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
  return Mapped(device_.PrintMessage(message));
}

DeviceResult DeviceOperations::DoPrintRecVoid(const std::string&, std::string&) {
  DeviceResult r = RequireState(FPTR_PS_FISCAL_RECEIPT, FPTR_PS_FISCAL_RECEIPT_TOTAL,
                                FPTR_PS_FISCAL_RECEIPT_ENDING);
  if (!r.ok()) return r;
  r = Mapped(device_.VoidReceipt());
  if (r.ok()) SetPrinterState(FPTR_PS_FISCAL_RECEIPT_ENDING);
  return r;
}

}  // namespace kelo::device
