// Report and query front ends: X, Z and fiscal-memory reports, the date, data items,
// totalizers and VAT entries.
#include "device/device_operations.h"
#include "opos/opos_constants.h"
#include "service/fiscal_printer_unit.h"
#include "service/front_end_text.h"
#include "service/unit_config.h"

namespace kelo::service {

using device::DeviceOperations;

namespace {
// opos::FPTR_RT_ORDINAL, opos::FPTR_RT_DATE, opos::FPTR_RT_EOD_ORDINAL.
constexpr int32_t kReportOrdinal = 1;
constexpr int32_t kReportDate = 2;
constexpr int32_t kReportEodOrdinal = 3;
// opos::FPTR_DT_RTC.
constexpr int32_t kDateRtc = 4;
// The date written for the DateType values the printer does not keep.
constexpr char kNoDate[] = "000000000000";

}  // namespace

int32_t CFiscalPrinterUnit::printXReport() {
  return RunMethod("printXReport", [this] {
    verifyOpenedClaimedEnabled();
    RequireCapability(opos::PIDX_CapXReport, "CapXReport is false");
    RunSync(&DeviceOperations::DoPrintXReport, "");
  });
}

int32_t CFiscalPrinterUnit::printZReport() {
  return RunMethod("printZReport", [this] {
    verifyOpenedClaimedEnabled();
    RunSync(&DeviceOperations::DoPrintZReport, "");
  });
}

int32_t CFiscalPrinterUnit::printReport(int32_t report_type, const std::string& start_num,
                                        const std::string& end_num) {
  return RunMethod("printReport", [&] {
    verifyOpenedClaimedEnabled();
    if (report_type == kReportOrdinal || report_type == kReportEodOrdinal) {
      RunSync(&DeviceOperations::DoPrintReportByNumber,
              ParamText().Number(LeadingInt(start_num)).Number(LeadingInt(end_num)).str());
    } else if (report_type == kReportDate) {
      RunSync(&DeviceOperations::DoPrintReportByDate,
              ParamText().Date(start_num).Date(end_num).str());
    } else {
      Fail(opos::OPOS_E_ILLEGAL, 0, "Invalid reportType specified");
    }
  });
}

int32_t CFiscalPrinterUnit::printPeriodicTotalsReport(const std::string& date1,
                                                      const std::string& date2) {
  return RunMethod("printPeriodicTotalsReport", [&] {
    verifyOpenedClaimedEnabled();
    RunSync(&DeviceOperations::DoPrintPeriodicTotalsReport,
            ParamText().Date(date1).Date(date2).str());
  });
}

int32_t CFiscalPrinterUnit::printPowerLossReport() {
  return RefuseNotSupported("printPowerLossReport");
}

int32_t CFiscalPrinterUnit::getDate(std::string* date) {
  return RunMethod("getDate", [&] {
    verifyOpenedClaimedEnabled();
    const char* refusal = nullptr;
    switch (GetNumberProperty(opos::PIDX_DateType)) {
      case kDateRtc: {
        const std::string fields = RunSync(&DeviceOperations::DoGetDate, "");
        if (date) *date = OposDateFromFields(fields);
        return;
      }
      case 1:
        refusal = "FPTR_DT_CONF value for DateType not supported";
        break;
      case 2:
        refusal = "FPTR_DT_EOD value for DateType not supported";
        break;
      case 3:
        refusal = "FPTR_DT_RESET value for DateType not supported";
        break;
      case 5:
        refusal = "FPTR_DT_VAT value for DateType not supported";
        break;
      case 6:
        refusal = "FPTR_DT_START value for DateType not supported";
        break;
      default:
        Fail(opos::OPOS_E_ILLEGAL, 0, "Specific DateType not supported");
    }
    if (date) *date = kNoDate;
    Fail(opos::OPOS_E_ILLEGAL, 0, refusal);
  });
}

int32_t CFiscalPrinterUnit::getData(int32_t data_item, int32_t* opt_args, std::string* data) {
  return RunMethod("getData", [&] {
    verifyOpenedClaimedEnabled();
    // Unlisted items keep this answer.
    SetResult(opos::OPOS_E_ILLEGAL, 0, "Not supported");
    const bool numeric = device::IsCounterDataItem(data_item);
    if (!numeric && !device::IsTextDataItem(data_item))
      Fail(opos::OPOS_E_ILLEGAL, 0, "Not supported");
    const int32_t opt = opt_args ? *opt_args : 0;
    const std::string output =
        RunSync(&DeviceOperations::DoGetData, ParamText().Number(data_item).Number(opt).str());
    const std::string_view first = FirstField(output);
    if (data) *data = numeric ? std::to_string(LeadingInt64(first)) : std::string(first);
  });
}

int32_t CFiscalPrinterUnit::getTotalizer(int32_t vat_id, int32_t opt_args, std::string* data) {
  return RunMethod("getTotalizer", [&] {
    verifyOpenedClaimedEnabled();
    RequireCapability(opos::PIDX_CapTotalizerType, "CapTotalizerType is false");
    const int32_t type = GetNumberProperty(opos::PIDX_TotalizerType);
    if (type == opos::FPTR_TT_DOCUMENT) {
      Fail(opos::OPOS_E_ILLEGAL, 0, "TotalizerType FPTR_TT_DOCUMENT not supported");
    } else if (type >= 2 &&
               type <= 4) {  // opos::FPTR_TT_DAY, opos::FPTR_TT_RECEIPT, opos::FPTR_TT_GRAND
      if (opt_args != 1 && opt_args != 2) {
        Fail(opos::OPOS_E_ILLEGAL, 0, "The required totalizer (optArgs) is not supported");
      }
    } else {
      Fail(opos::OPOS_E_ILLEGAL, 0, "TotalizerTyp is invalid");
    }
    const std::string output =
        RunSync(&DeviceOperations::DoGetTotalizer,
                ParamText().Number(type).Number(vat_id).Number(opt_args).str());
    // A text without a separator is taken whole, as getData does.
    if (data) *data = std::to_string(LeadingInt64(FirstField(output)));
  });
}

int32_t CFiscalPrinterUnit::getVatEntry(int32_t vat_id, int32_t /*opt_args*/, int32_t* vat_rate) {
  return RunMethod("getVatEntry", [&] {
    verifyOpenedClaimedEnabled();
    RequireCapability(opos::PIDX_CapHasVatTable, "CapHasVatTable is false");
    if (vat_id < 1 || vat_id > GetNumberProperty(opos::PIDX_NumVatRates)) {
      Fail(opos::OPOS_E_ILLEGAL, 0, "vatID is out of range");
    }
    const std::string output =
        RunSync(&DeviceOperations::DoGetVatEntry, ParamText().Number(vat_id).str());
    const size_t sep = output.find(kParamSeparator);
    if (sep != std::string::npos && vat_rate) {
      *vat_rate = LeadingInt(std::string_view(output).substr(0, sep));
    }
  });
}

}  // namespace kelo::service
