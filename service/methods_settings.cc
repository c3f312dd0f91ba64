// Setting front ends: date, header lines, POS identity, VAT table, and the settings this
// printer refuses.
#include <algorithm>

#include "device/device_operations.h"
#include "device/device_unit.h"
#include "opos/opos_constants.h"
#include "service/fiscal_printer_unit.h"
#include "service/front_end_text.h"

namespace kelo::service {

using device::DeviceOperations;

int32_t CFiscalPrinterUnit::setDate(const std::string& date) {
  return RunMethod("setDate", [&] {
    verifyOpenedClaimedEnabled();
    RunSync(&DeviceOperations::DoSetDate, ParamText().Date(date).str());
  });
}

int32_t CFiscalPrinterUnit::setHeaderLine(int32_t line_number, const std::string& text,
                                          bool double_width) {
  return RunMethod("setHeaderLine", [&] {
    verifyOpenedClaimedEnabled();
    RunSync(&DeviceOperations::DoSetHeaderLine,
            ParamText().Number(line_number).Text(text).Number(double_width ? 1 : 0).str());
  });
}

int32_t CFiscalPrinterUnit::setTrailerLine(int32_t /*line_number*/, const std::string& /*text*/,
                                           bool /*double_width*/) {
  return RefuseByCapability("setTrailerLine", opos::PIDX_CapSetTrailer, "CapSetTrailer");
}

int32_t CFiscalPrinterUnit::setPOSID(const std::string& pos_id, const std::string& cashier_id) {
  return RunMethod("setPOSID", [&] {
    verifyOpenedClaimedEnabled();
    std::lock_guard<std::mutex> lock(fields_mu_);
    pos_id_ = pos_id;
    cashier_id_ = cashier_id;
  });
}

int32_t CFiscalPrinterUnit::setStoreFiscalID(const std::string& /*id*/) {
  return RunMethod("setStoreFiscalID", [this] {
    verifyOpenedClaimedEnabled();
    verifyDayClosed();
    if (GetNumberProperty(opos::PIDX_CapSetStoreFiscalID) != 0) {
      Fail(opos::OPOS_E_ILLEGAL, 0, "Not supported");
    }
    Fail(opos::OPOS_E_ILLEGAL, 0, "CapSetStoreFiscalID is false");
  });
}

void CFiscalPrinterUnit::CheckVatTableWritable() {
  RequireCapability(opos::PIDX_CapSetVatTable, "CapSetVatTable is false");
  RequireCapability(opos::PIDX_CapHasVatTable, "CapHasVatTable is false");
  if (GetNumberProperty(opos::PIDX_DayOpened) == 1) Fail(opos::OPOS_E_ILLEGAL, 0, "Day is opened");
}

int32_t CFiscalPrinterUnit::setVatValue(int32_t vat_id, const std::string& vat_value) {
  return RunMethod("setVatValue", [&] {
    verifyOpenedClaimedEnabled();
    CheckVatTableWritable();
    if (vat_id < 1 || vat_id > GetNumberProperty(opos::PIDX_NumVatRates)) {
      Fail(opos::OPOS_E_ILLEGAL, 0, "vatID is out of range");
    }
    const std::optional<int32_t> rate = DecimalTimes100(vat_value);
    if (!rate) {
      Fail(opos::OPOS_E_ILLEGAL, 0,
           "vatValue \"" + vat_value.substr(0, 40) +
               "\" is beyond what the printer takes (at most 21474836.47); nothing was stored");
    }
    SetVatTableEntry(vat_id, *rate);
  });
}

int32_t CFiscalPrinterUnit::setVatTable() {
  return RunMethod("setVatTable", [this] {
    verifyOpenedClaimedEnabled();
    CheckVatTableWritable();
    const int32_t count = std::min(GetNumberProperty(opos::PIDX_NumVatRates), 100);
    std::vector<int32_t> rates;
    for (int32_t id = 1; id <= count; ++id) rates.push_back(VatTableEntry(id));
    const device::DeviceResult r = device_unit_->WriteVatTable(rates);
    if (!r.ok()) Fail(r);
  });
}

int32_t CFiscalPrinterUnit::setCurrency(int32_t /*new_currency*/) {
  return RefuseNotSupported("setCurrency");
}

}  // namespace kelo::service
