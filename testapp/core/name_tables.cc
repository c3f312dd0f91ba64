#include "testapp/core/name_tables.h"

#include <array>
#include <string_view>
#include <utility>

namespace kelo::testapp {

namespace {

template <size_t N>
std::string Lookup(const std::array<std::pair<int32_t, std::string_view>, N>& table, int32_t key,
                   std::string_view fallback) {
  for (const auto& [k, name] : table) {
    if (k == key) return std::string(name);
  }
  return std::string(fallback);
}

constexpr std::array<std::pair<int32_t, std::string_view>, 16> kResultCodes{{
    {0, "OposSuccess"},
    {101, "OposEClosed"},
    {102, "OposEClaimed"},
    {103, "OposENotclaimed"},
    {104, "OposENoservice"},
    {105, "OposEDisabled"},
    {106, "OposEIllegal"},
    {107, "OposENohardware"},
    {108, "OposEOffline"},
    {109, "OposENoexist"},
    {110, "OposEExists"},
    {111, "OposEFailure"},
    {112, "OposETimeout"},
    {113, "OposEBusy"},
    {114, "OposEExtended"},
    {115, "OposEDeprecated"},
}};

constexpr std::array<std::string_view, 23> kExtendedCodes{
    "OposEfptrCoverOpen",
    "OposEfptrJrnEmpty",
    "OposEfptrRecEmpty",
    "OposEfptrSlpEmpty",
    "OposEfptrSlpForm",
    "OposEfptrMissingDevices",
    "OposEfptrWrongState",
    "OposEfptrTechnicalAssistance",
    "OposEfptrClockError",
    "OposEfptrFiscalMemoryFull",
    "OposEfptrFiscalMemoryDisconnected",
    "OposEfptrFiscalTotalsError",
    "OposEfptrBadItemQuantity",
    "OposEfptrBadItemAmount",
    "OposEfptrBadItemDescription",
    "OposEfptrReceiptTotalOverflow",
    "OposEfptrBadVat",
    "OposEfptrBadPrice",
    "OposEfptrBadDate",
    "OposEfptrNegativeTotal",
    "OposEfptrWordNotAllowed",
    "OposEfptrBadLength",
    "OposEfptrMissingSetCurrency",
};

constexpr std::array<std::pair<int32_t, std::string_view>, 4> kAdjustmentTypes{{
    {1, "FPTR_AT_AMOUNT_DISCOUNT"},
    {2, "FPTR_AT_AMOUNT_SURCHARGE"},
    {3, "FPTR_AT_PERCENTAGE_DISCOUNT"},
    {4, "FPTR_AT_PERCENTAGE_SURCHARGE"},
}};

constexpr std::array<std::pair<int32_t, std::string_view>, 26> kDirectIOCommands{{
    {1000, "DIRECTIO_FPTR_DRAWER_OPEN"},       {1001, "DIRECTIO_FPTR_DRAWER_GET"},
    {1002, "DIRECTIO_FPTR_DRAWER_WAIT"},       {1100, "DIRECTIO_FPTR_BMPLOAD"},
    {1101, "DIRECTIO_FPTR_BMPPRINT"},          {1102, "DIRECTIO_FPTR_BMPERASE"},
    {1200, "DIRECTIO_FPTR_BARCODEPRINT"},      {1300, "DIRECTIO_FPTR_DY_SETMODE"},
    {1301, "DIRECTIO_FPTR_DY_CLEAR"},          {1302, "DIRECTIO_FPTR_DY_PRINTTEXT"},
    {1303, "DIRECTIO_FPTR_DY_BMPLOAD"},        {1304, "DIRECTIO_FPTR_DY_BMPERASE"},
    {1305, "DIRECTIO_FPTR_DY_BMPSHOW"},        {1306, "DIRECTIO_FPTR_DY_BMPNOW"},
    {1307, "DIRECTIO_FPTR_DY_SBYTEXT"},        {1308, "DIRECTIO_FPTR_DY_SBYBMP"},
    {1400, "DIRECTIO_FPTR_CREDITNOTE_BEGIN"},  {1401, "DIRECTIO_FPTR_CREDITNOTE_END"},
    {1500, "DIRECTIO_FPTR_REPORT_EJ"},         {1501, "DIRECTIO_FPTR_REPORT_X"},
    {1502, "DIRECTIO_FPTR_REPORT_REQUEST"},    {1600, "DIRECTIO_FPTR_RESET_TOTALIZERS"},
    {9000, "DIRECTIO_FPTR_SIMULATE_KEYBOARD"}, {9001, "DIRECTIO_FPTR_DEPARTMENTCFG"},
    {9002, "DIRECTIO_FPTR_GETVIRTUALTICKET"},  {9003, "DIRECTIO_FPTR_SETPOLLINGTIME"},
}};

constexpr std::array<std::pair<int32_t, std::string_view>, 4> kStates{{
    {1, "OPOS_S_CLOSED"},
    {2, "OPOS_S_IDLE"},
    {3, "OPOS_S_BUSY"},
    {4, "OPOS_S_ERROR"},
}};

constexpr std::array<std::pair<int32_t, std::string_view>, 11> kPrinterStates{{
    {0, "UNKNOWN!!! "},
    {1, "FPTR_PS_MONITOR"},
    {2, "FPTR_PS_FISCAL_RECEIPT"},
    {3, "FPTR_PS_FISCAL_RECEIPT_TOTAL"},
    {4, "FPTR_PS_FISCAL_RECEIPT_ENDING"},
    {5, "FPTR_PS_FISCAL_DOCUMENT"},
    {6, "FPTR_PS_FIXED_OUTPUT"},
    {7, "FPTR_PS_ITEM_LIST"},
    {8, "FPTR_PS_LOCKED"},
    {9, "FPTR_PS_NONFISCAL"},
    {10, "FPTR_PS_REPORT"},
}};

}  // namespace

std::string ResultCodeName(int32_t code) {
  return Lookup(kResultCodes, code, "Opos#undefined#");
}

std::string ExtendedResultCodeName(int32_t code) {
  if (code < 201 || code > 223) return {};
  return std::string(kExtendedCodes[static_cast<size_t>(code - 201)]);
}

std::string AdjustmentTypeName(int32_t type) {
  return Lookup(kAdjustmentTypes, type, "INVALID AdjutmentType");
}

std::string DirectIOCommandName(int32_t command) {
  if (command == 9999) return "DIRECTIO_FPTR_DEBUG";
  return Lookup(kDirectIOCommands, command, "UNDEFINED DIRECTIO COMMAND");
}

std::string StateName(int32_t state) {
  return Lookup(kStates, state, "STATE OUT OF RANGE");
}

std::string PrinterStateName(int32_t printer_state) {
  return Lookup(kPrinterStates, printer_state, "");
}

}  // namespace kelo::testapp
