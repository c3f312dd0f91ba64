// The OPOS/UnifiedPOS names of the FiscalPrinter device class used anywhere in this system
// (values of the published UnifiedPOS 1.11 standard): result and extended codes, states, open
// results, error loci and responses, status-update values, PrinterState values, GetData items,
// adjustment types, the DirectIO command numbers of this printer and the property indices
// (from opos/properties.def).
#pragma once
#include <cstdint>

namespace kelo::opos {

// Result codes (ResultCode and the return value of every method).
inline constexpr int32_t OPOS_SUCCESS = 0;
inline constexpr int32_t OPOS_E_CLOSED = 101;
inline constexpr int32_t OPOS_E_CLAIMED = 102;
inline constexpr int32_t OPOS_E_NOTCLAIMED = 103;
inline constexpr int32_t OPOS_E_NOSERVICE = 104;
inline constexpr int32_t OPOS_E_DISABLED = 105;
inline constexpr int32_t OPOS_E_ILLEGAL = 106;
inline constexpr int32_t OPOS_E_NOHARDWARE = 107;
inline constexpr int32_t OPOS_E_OFFLINE = 108;
inline constexpr int32_t OPOS_E_NOEXIST = 109;
inline constexpr int32_t OPOS_E_EXISTS = 110;
inline constexpr int32_t OPOS_E_FAILURE = 111;
inline constexpr int32_t OPOS_E_TIMEOUT = 112;
inline constexpr int32_t OPOS_E_BUSY = 113;
inline constexpr int32_t OPOS_E_EXTENDED = 114;
inline constexpr int32_t OPOS_E_DEPRECATED = 115;

// Extended result codes of the FiscalPrinter class (ResultCodeExtended with OPOS_E_EXTENDED).
inline constexpr int32_t OPOS_EFPTR_COVER_OPEN = 201;
inline constexpr int32_t OPOS_EFPTR_JRN_EMPTY = 202;
inline constexpr int32_t OPOS_EFPTR_REC_EMPTY = 203;
inline constexpr int32_t OPOS_EFPTR_WRONG_STATE = 207;
inline constexpr int32_t OPOS_EFPTR_TECHNICAL_ASSISTANCE = 208;
inline constexpr int32_t OPOS_EFPTR_BAD_ITEM_AMOUNT = 214;
inline constexpr int32_t OPOS_EFPTR_BAD_ITEM_DESCRIPTION = 215;
inline constexpr int32_t OPOS_EFPTR_BAD_VAT = 217;

// Device states (State).
inline constexpr int32_t OPOS_S_CLOSED = 1;
inline constexpr int32_t OPOS_S_IDLE = 2;
inline constexpr int32_t OPOS_S_BUSY = 3;
inline constexpr int32_t OPOS_S_ERROR = 4;

// Why Open failed (OpenResult); OPOS_ORS_* are the service object's own reasons.
inline constexpr int32_t OPOS_OR_ALREADYOPEN = 301;
inline constexpr int32_t OPOS_OR_REGBADNAME = 302;
inline constexpr int32_t OPOS_OR_REGPROGID = 303;
inline constexpr int32_t OPOS_OR_CREATE = 304;
inline constexpr int32_t OPOS_OR_BADIF = 305;
inline constexpr int32_t OPOS_OR_FAILEDOPEN = 306;
inline constexpr int32_t OPOS_ORS_CONFIG = 403;

// A time-out without limit.
inline constexpr int32_t OPOS_FOREVER = -1;

// ErrorEvent: locus and the answers of a handler.
inline constexpr int32_t OPOS_EL_OUTPUT = 1;
inline constexpr int32_t OPOS_ER_RETRY = 11;
inline constexpr int32_t OPOS_ER_CLEAR = 12;

// StatusUpdateEvent values this device class raises. The journal pair 60/61 arrives on every
// claim (the printer reports its journal state then).
inline constexpr int32_t FPTR_SUE_COVER_OPEN = 11;
inline constexpr int32_t FPTR_SUE_COVER_OK = 12;
inline constexpr int32_t FPTR_SUE_JRN_NEAREMPTY = 22;
inline constexpr int32_t FPTR_SUE_JRN_PAPEROK = 23;
inline constexpr int32_t FPTR_SUE_REC_EMPTY = 24;
inline constexpr int32_t FPTR_SUE_REC_NEAREMPTY = 25;
inline constexpr int32_t FPTR_SUE_REC_PAPEROK = 26;
inline constexpr int32_t FPTR_SUE_JRN_EMPTY = 60;
inline constexpr int32_t FPTR_SUE_JRN_NOT_EMPTY = 61;  // the journal has paper again
inline constexpr int32_t FPTR_SUE_IDLE = 1001;
// The POSPrinter journal-empty value (some printers raise it instead of 60).
inline constexpr int32_t PTR_SUE_JRN_EMPTY = 21;

// PrinterState values.
inline constexpr int32_t FPTR_PS_MONITOR = 1;
inline constexpr int32_t FPTR_PS_FISCAL_RECEIPT = 2;
inline constexpr int32_t FPTR_PS_FISCAL_RECEIPT_TOTAL = 3;
inline constexpr int32_t FPTR_PS_FISCAL_RECEIPT_ENDING = 4;
inline constexpr int32_t FPTR_PS_LOCKED = 8;
inline constexpr int32_t FPTR_PS_NONFISCAL = 9;
inline constexpr int32_t FPTR_PS_REPORT = 10;

// ErrorLevel values.
inline constexpr int32_t FPTR_EL_NONE = 1;
inline constexpr int32_t FPTR_EL_RECOVERABLE = 2;
inline constexpr int32_t FPTR_EL_BLOCKED = 4;

// Stations.
inline constexpr int32_t FPTR_S_RECEIPT = 2;

// Receipt types (FiscalReceiptType) and totalizer types (TotalizerType).
inline constexpr int32_t FPTR_RT_SALES = 4;
inline constexpr int32_t FPTR_RT_REFUND = 7;
inline constexpr int32_t FPTR_TT_DOCUMENT = 1;

// Adjustment types.
inline constexpr int32_t FPTR_AT_AMOUNT_DISCOUNT = 1;
inline constexpr int32_t FPTR_AT_AMOUNT_SURCHARGE = 2;
inline constexpr int32_t FPTR_AT_PERCENTAGE_DISCOUNT = 3;
inline constexpr int32_t FPTR_AT_PERCENTAGE_SURCHARGE = 4;

// GetData items.
inline constexpr int32_t FPTR_GD_CURRENT_TOTAL = 1;
inline constexpr int32_t FPTR_GD_DAILY_TOTAL = 2;
inline constexpr int32_t FPTR_GD_RECEIPT_NUMBER = 3;
inline constexpr int32_t FPTR_GD_REFUND = 4;
inline constexpr int32_t FPTR_GD_NOT_PAID = 5;
inline constexpr int32_t FPTR_GD_MID_VOID = 6;
inline constexpr int32_t FPTR_GD_Z_REPORT = 7;
inline constexpr int32_t FPTR_GD_GRAND_TOTAL = 8;
inline constexpr int32_t FPTR_GD_PRINTER_ID = 9;
inline constexpr int32_t FPTR_GD_FIRMWARE = 10;
inline constexpr int32_t FPTR_GD_RESTART = 11;
inline constexpr int32_t FPTR_GD_FISCAL_DOC = 18;
inline constexpr int32_t FPTR_GD_FISCAL_REC = 20;
inline constexpr int32_t FPTR_GD_NONFISCAL_DOC = 22;

// DirectIO command numbers of this printer.
inline constexpr int32_t DIRECTIO_FPTR_DRAWER_OPEN = 1000;
inline constexpr int32_t DIRECTIO_FPTR_DRAWER_GET = 1001;
inline constexpr int32_t DIRECTIO_FPTR_DRAWER_WAIT = 1002;
inline constexpr int32_t DIRECTIO_FPTR_BMPLOAD = 1100;
inline constexpr int32_t DIRECTIO_FPTR_BMPPRINT = 1101;
inline constexpr int32_t DIRECTIO_FPTR_BMPERASE = 1102;
inline constexpr int32_t DIRECTIO_FPTR_BARCODEPRINT = 1200;
inline constexpr int32_t DIRECTIO_FPTR_DY_SETMODE = 1300;
inline constexpr int32_t DIRECTIO_FPTR_DY_CLEAR = 1301;
inline constexpr int32_t DIRECTIO_FPTR_DY_PRINTTEXT = 1302;
inline constexpr int32_t DIRECTIO_FPTR_DY_BMPLOAD = 1303;
inline constexpr int32_t DIRECTIO_FPTR_DY_BMPERASE = 1304;
inline constexpr int32_t DIRECTIO_FPTR_DY_BMPSHOW = 1305;
inline constexpr int32_t DIRECTIO_FPTR_DY_BMPNOW = 1306;
inline constexpr int32_t DIRECTIO_FPTR_DY_SBYTEXT = 1307;
inline constexpr int32_t DIRECTIO_FPTR_DY_SBYBMP = 1308;
inline constexpr int32_t DIRECTIO_FPTR_CREDITNOTE_BEGIN = 1400;
inline constexpr int32_t DIRECTIO_FPTR_CREDITNOTE_END = 1401;
inline constexpr int32_t DIRECTIO_FPTR_REPORT_EJ = 1500;
inline constexpr int32_t DIRECTIO_FPTR_REPORT_X = 1501;
inline constexpr int32_t DIRECTIO_FPTR_REPORT_REQUEST = 1502;
inline constexpr int32_t DIRECTIO_FPTR_RESET_TOTALIZERS = 1600;
inline constexpr int32_t DIRECTIO_FPTR_SIMULATE_KEYBOARD = 9000;
inline constexpr int32_t DIRECTIO_FPTR_DEPARTMENTCFG = 9001;
inline constexpr int32_t DIRECTIO_FPTR_GETVIRTUALTICKET = 9002;
inline constexpr int32_t DIRECTIO_FPTR_SETPOLLINGTIME = 9003;

// Property indices passed to GetPropertyNumber/GetPropertyString/SetPropertyNumber/
// SetPropertyString: PIDX_<Name> for every property of opos/properties.def, plus the common
// properties this device class does not have. Indices at or above PIDX_FIRST_STRING are texts.
#define KELO_PROPERTY(name, index, type, access, service_default) \
  inline constexpr int32_t PIDX_##name = index;
#define KELO_SERVICE_ONLY_PROPERTY KELO_PROPERTY
#include "opos/properties.def"
#undef KELO_PROPERTY
#undef KELO_SERVICE_ONLY_PROPERTY
inline constexpr int32_t PIDX_DataEventEnabled = 2;
inline constexpr int32_t PIDX_AutoDisable = 10;
inline constexpr int32_t PIDX_DataCount = 12;
inline constexpr int32_t PIDX_FIRST_STRING = 1000000;

}  // namespace kelo::opos
