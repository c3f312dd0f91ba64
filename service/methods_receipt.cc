// Fiscal receipt front ends: checks, the parameter text of each method and the way it is
// executed (output execution for receipt lines, synchronous for the rest).
#include <cstdio>

#include "device/device_operations.h"
#include "opos/opos_constants.h"
#include "service/fiscal_printer_unit.h"
#include "service/front_end_text.h"

namespace kelo::service {

using device::DeviceOperations;

namespace {
// opos::FPTR_AT_*: the adjustment types of the UnifiedPOS FiscalPrinter.
constexpr int32_t kAmountDiscount = 1;
constexpr int32_t kAmountSurcharge = 2;
constexpr int32_t kPercentageDiscount = 3;
constexpr int32_t kPercentageSurcharge = 4;
constexpr int32_t kCouponAmountDiscount = 5;
constexpr int32_t kCouponPercentageDiscount = 6;

constexpr char kInvalidAdjustment[] = "The adjustmentType parameter is invalid";
}  // namespace

void CFiscalPrinterUnit::CheckItemAdjustmentType(int32_t type, bool no_adjustment_ok) {
  if (type == 0 && no_adjustment_ok) return;
  if (type == kAmountDiscount || type == kAmountSurcharge) {
    RequireCapability(opos::PIDX_CapAmountAdjustment, "CapAmountAdjustment is false");
  } else if (type == kPercentageDiscount || type == kPercentageSurcharge) {
    RequireCapability(opos::PIDX_CapPercentAdjustment, "CapPercentAdjustment is false");
  } else {
    Fail(opos::OPOS_E_ILLEGAL, 0, kInvalidAdjustment);
  }
}

int32_t CFiscalPrinterUnit::beginFiscalReceipt(bool print_header) {
  return RunMethod("beginFiscalReceipt", [&] {
    verifyOpenedClaimedEnabled();
    if (print_header) {
      RequireCapability(opos::PIDX_CapIndependentHeader,
                        "CapIndependentHeader is false and printHeader is true");
      RequireCapability(opos::PIDX_CapAdditionalHeader,
                        "CapAdditionalHeader is false and printHeader is true");
    }
    const int32_t type = GetNumberProperty(opos::PIDX_FiscalReceiptType);
    if (type == opos::FPTR_RT_SALES) {
      RunSync(&DeviceOperations::DoBeginFiscalReceipt, ParamText().Number(print_header).str());
    } else if (type == opos::FPTR_RT_REFUND) {
      const std::string pre_line = GetStringProperty(opos::PIDX_PreLine);
      if (pre_line.empty()) {
        Fail(opos::OPOS_E_ILLEGAL, 0, "PreLine property must contain RT_REFUND name/description");
      }
      RunSync(&DeviceOperations::DoBeginRefundReceipt,
              ParamText().Number(print_header).Text(pre_line).str());
      // The refund's name went onto the receipt's head; it must not return as the pre-line
      // of its first refund line.
      SetStringProperty(opos::PIDX_PreLine, "");
    }
  });
}

int32_t CFiscalPrinterUnit::endFiscalReceipt(bool print_header) {
  return RunMethod("endFiscalReceipt", [&] {
    verifyOpenedClaimedEnabled();
    if (print_header) {
      RequireCapability(opos::PIDX_CapAdditionalTrailer,
                        "CapAdditionalTrailer is false and printHeader is true");
    }
    const int32_t type = GetNumberProperty(opos::PIDX_FiscalReceiptType);
    if (type == opos::FPTR_RT_SALES) {
      RunSyncNoOutput(&DeviceOperations::DoEndFiscalReceipt,
                      ParamText().Number(print_header).str());
    } else if (type == opos::FPTR_RT_REFUND) {
      RunSync(&DeviceOperations::DoEndRefundReceipt, "");
    }
  });
}

int32_t CFiscalPrinterUnit::printRecItem(const std::string& description, int64_t price,
                                         int32_t quantity, int32_t vat_info, int64_t unit_price,
                                         const std::string& unit_name) {
  // The amounts are traced in hundredths, as the printer receives them.
  char head[128];
  std::snprintf(head, sizeof head, ", %lld, %d, %d, %lld, ",
                static_cast<long long>(CurrencyToHundredths(price)), quantity, vat_info,
                static_cast<long long>(CurrencyToHundredths(unit_price)));
  const std::string entry =
      "+CFiscalPrinterUnit::printRecItem(" + description + head + unit_name + ";\n";
  return RunMethod(
      "printRecItem",
      [&] {
        verifyOpenedClaimedEnabled();
        verifyVatId(vat_info, true);
        RunOutput(&DeviceOperations::DoPrintRecItem, ParamText()
                                                         .Text(description)
                                                         .Amount(price)
                                                         .Number(quantity)
                                                         .Number(vat_info)
                                                         .Amount(unit_price)
                                                         .Text(unit_name)
                                                         .str());
      },
      &entry);
}

int32_t CFiscalPrinterUnit::printRecItemVoid(const std::string& description, int64_t price,
                                             int32_t quantity, int32_t vat_info,
                                             int64_t /*unit_price*/,
                                             const std::string& /*unit_name*/) {
  return RunMethod("printRecItemVoid", [&] {
    verifyOpenedClaimedEnabled();
    verifyVatId(vat_info);
    RunOutput(&DeviceOperations::DoPrintRecItemVoid,
              ParamText().Text(description).Amount(price).Number(quantity).Number(vat_info).str());
  });
}

int32_t CFiscalPrinterUnit::printRecItemAdjustment(int32_t adjustment_type,
                                                   const std::string& description, int64_t amount,
                                                   int32_t vat_info) {
  return RunMethod("printRecItemAdjustment", [&] {
    verifyOpenedClaimedEnabled();
    CheckItemAdjustmentType(adjustment_type, false);
    verifyVatId(vat_info);
    RunOutput(&DeviceOperations::DoPrintRecItemAdjustment, ParamText()
                                                               .Number(adjustment_type)
                                                               .Text(description)
                                                               .Amount(amount)
                                                               .Number(vat_info)
                                                               .str());
  });
}

int32_t CFiscalPrinterUnit::printRecItemAdjustmentVoid(int32_t adjustment_type,
                                                       const std::string& description,
                                                       int64_t amount, int32_t vat_info) {
  return RunMethod("printRecItemAdjustmentVoid", [&] {
    verifyOpenedClaimedEnabled();
    CheckItemAdjustmentType(adjustment_type, false);
    verifyVatId(vat_info);
    RunOutput(&DeviceOperations::DoPrintRecItemAdjustmentVoid, ParamText()
                                                                   .Number(adjustment_type)
                                                                   .Text(description)
                                                                   .Amount(amount)
                                                                   .Number(vat_info)
                                                                   .str());
  });
}

int32_t CFiscalPrinterUnit::printRecVoidItem(const std::string& description, int64_t amount,
                                             int32_t quantity, int32_t adjustment_type,
                                             int64_t adjustment, int32_t vat_info) {
  return RunMethod("printRecVoidItem", [&] {
    verifyOpenedClaimedEnabled();
    CheckItemAdjustmentType(adjustment_type, true);
    verifyVatId(vat_info);
    RunOutput(&DeviceOperations::DoPrintRecVoidItem, ParamText()
                                                         .Text(description)
                                                         .Amount(amount)
                                                         .Number(quantity)
                                                         .Number(adjustment_type)
                                                         .Amount(adjustment)
                                                         .Number(vat_info)
                                                         .str());
  });
}

int32_t CFiscalPrinterUnit::printRecRefund(const std::string& description, int64_t amount,
                                           int32_t vat_info) {
  return RunMethod("printRecRefund", [&] {
    verifyOpenedClaimedEnabled();
    verifyVatId(vat_info);
    // This text ends without a separator after the last field (the device parser takes both).
    RunOutput(&DeviceOperations::DoPrintRecRefund,
              ParamText().Text(description).Amount(amount).LastNumber(vat_info).str());
  });
}

int32_t CFiscalPrinterUnit::printRecRefundVoid(const std::string& description, int64_t amount,
                                               int32_t vat_info) {
  return RunMethod("printRecRefundVoid", [&] {
    verifyOpenedClaimedEnabled();
    verifyVatId(vat_info);
    RunOutput(&DeviceOperations::DoPrintRecRefundVoid,
              ParamText().Text(description).Amount(amount).Number(vat_info).str());
  });
}

int32_t CFiscalPrinterUnit::printRecSubtotal(int64_t amount) {
  return RunMethod("printRecSubtotal", [&] {
    verifyOpenedClaimedEnabled();
    RunOutput(&DeviceOperations::DoPrintRecSubtotal, ParamText().Amount(amount).str());
  });
}

int32_t CFiscalPrinterUnit::printRecSubtotalAdjustment(int32_t adjustment_type,
                                                       const std::string& description,
                                                       int64_t amount) {
  return RunMethod("printRecSubtotalAdjustment", [&] {
    verifyOpenedClaimedEnabled();
    if (adjustment_type == kAmountDiscount || adjustment_type == kAmountSurcharge) {
      RequireCapability(opos::PIDX_CapSubAmountAdjustment, "CapSubAmountAdjustment is false");
    } else if (adjustment_type == kPercentageDiscount || adjustment_type == kPercentageSurcharge) {
      RequireCapability(opos::PIDX_CapSubPercentAdjustment, "CapSubPercentAdjustment is false");
    } else if (adjustment_type == kCouponAmountDiscount ||
               adjustment_type == kCouponPercentageDiscount) {
      Fail(opos::OPOS_E_ILLEGAL, 0, "The adjustmentType parameter is not supported");
    } else {
      Fail(opos::OPOS_E_ILLEGAL, 0, kInvalidAdjustment);
    }
    RunOutput(&DeviceOperations::DoPrintRecSubtotalAdjustment,
              ParamText().Number(adjustment_type).Text(description).Amount(amount).str());
  });
}

int32_t CFiscalPrinterUnit::printRecSubtotalAdjustVoid(int32_t /*adjustment_type*/,
                                                       int64_t /*amount*/) {
  return RunMethod("printRecSubtotalAdjustVoid", [this] {
    verifyOpenedClaimedEnabled();
    Fail(opos::OPOS_E_ILLEGAL, 0, "printRecSubtotalAdjustVoid not supported");
  });
}

int32_t CFiscalPrinterUnit::printRecTotal(int64_t total, int64_t payment,
                                          const std::string& description) {
  return RunMethod("printRecTotal", [&] {
    verifyOpenedClaimedEnabled();
    RunOutput(&DeviceOperations::DoPrintRecTotal,
              ParamText().Amount(total).Amount(payment).Text(description).str());
  });
}

int32_t CFiscalPrinterUnit::printRecVoid(const std::string& description) {
  return RunMethod("printRecVoid", [&] {
    verifyOpenedClaimedEnabled();
    RunOutput(&DeviceOperations::DoPrintRecVoid, description);
  });
}

int32_t CFiscalPrinterUnit::printRecMessage(const std::string& message) {
  return RunMethod("printRecMessage", [&] {
    verifyOpenedClaimedEnabled();
    RequireCapability(opos::PIDX_CapAdditionalLines, "CapAdditionalLines is false");
    RunOutput(&DeviceOperations::DoPrintRecMessage, message);
  });
}

int32_t CFiscalPrinterUnit::printRecNotPaid(const std::string& description, int64_t amount) {
  return RunMethod("printRecNotPaid", [&] {
    verifyOpenedClaimedEnabled();
    RequireCapability(opos::PIDX_CapAmountNotPaid, "CapAmountNotPaid is false");
    // Ends without a separator after the amount, as printRecRefund does.
    RunOutput(&DeviceOperations::DoPrintRecNotPaid,
              ParamText().Text(description).LastAmount(amount).str());
  });
}

int32_t CFiscalPrinterUnit::printDuplicateReceipt() {
  return RunMethod("printDuplicateReceipt", [this] {
    verifyOpenedClaimedEnabled();
    RequireCapability(opos::PIDX_CapDuplicateReceipt, "CapDuplicateReceipt is false");
    if (GetNumberProperty(opos::PIDX_DuplicateReceipt) == 0) {
      Fail(opos::OPOS_E_ILLEGAL, 0, "DuplicateReceipt is false");
    }
    RunSync(&DeviceOperations::DoPrintDuplicateReceipt, "");
    SetNumberProperty(opos::PIDX_DuplicateReceipt, 0);
  });
}

// ---- Refused ----

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
  return RunMethod("printRecItemFuel", [this] {
    verifyOpenedClaimedEnabled();
    Fail(opos::OPOS_E_ILLEGAL, 0, "printRecItemFuel not supported");
  });
}

int32_t CFiscalPrinterUnit::printRecItemFuelVoid(const std::string& /*description*/,
                                                 int64_t /*price*/, int32_t /*vat_info*/,
                                                 int64_t /*special_tax*/) {
  return RunMethod("printRecItemFuelVoid", [this] {
    verifyOpenedClaimedEnabled();
    Fail(opos::OPOS_E_ILLEGAL, 0, "printRecItemFuelVoid not supported");
  });
}

int32_t CFiscalPrinterUnit::printRecPackageAdjustment(int32_t /*adjustment_type*/,
                                                      const std::string& /*description*/,
                                                      const std::string& /*vat_adjustment*/) {
  return RefuseByCapability("printRecPackageAdjustment", opos::PIDX_CapPackageAdjustment,
                            "CapPackageAdjustment");
}

int32_t CFiscalPrinterUnit::printRecPackageAdjustVoid(int32_t /*adjustment_type*/,
                                                      const std::string& /*vat_adjustment*/) {
  return RefuseByCapability("printRecPackageAdjustVoid", opos::PIDX_CapPackageAdjustment,
                            "CapPackageAdjustment");
}

}  // namespace kelo::service
