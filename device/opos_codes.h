// The OPOS numbers the device layer reads and writes: result codes, FiscalPrinter extended
// codes, property indices, printer states and status-update values (UnifiedPOS values).
#pragma once
#include <cstdint>

namespace kelo::device::opos {

// Result codes.
inline constexpr int32_t OPOS_SUCCESS = 0;
inline constexpr int32_t OPOS_E_ILLEGAL = 106;
inline constexpr int32_t OPOS_E_NOHARDWARE = 107;
inline constexpr int32_t OPOS_E_FAILURE = 111;
inline constexpr int32_t OPOS_E_BUSY = 113;
inline constexpr int32_t OPOS_E_EXTENDED = 114;

// FiscalPrinter extended codes.
inline constexpr int32_t OPOS_EFPTR_COVER_OPEN = 201;
inline constexpr int32_t OPOS_EFPTR_JRN_EMPTY = 202;
inline constexpr int32_t OPOS_EFPTR_REC_EMPTY = 203;
inline constexpr int32_t OPOS_EFPTR_WRONG_STATE = 207;
inline constexpr int32_t OPOS_EFPTR_TECHNICAL_ASSISTANCE = 208;
inline constexpr int32_t OPOS_EFPTR_BAD_ITEM_AMOUNT = 214;
inline constexpr int32_t OPOS_EFPTR_BAD_ITEM_DESCRIPTION = 215;
inline constexpr int32_t OPOS_EFPTR_BAD_VAT = 217;

// State field.
inline constexpr int32_t OPOS_S_IDLE = 2;
inline constexpr int32_t OPOS_S_BUSY = 3;
inline constexpr int32_t OPOS_S_ERROR = 4;

// Error event: locus and responses.
inline constexpr int32_t OPOS_EL_OUTPUT = 1;
inline constexpr int32_t OPOS_ER_RETRY = 11;
inline constexpr int32_t OPOS_ER_CLEAR = 12;

// Property indices.
inline constexpr int32_t PIDX_AsyncMode = 16002;
inline constexpr int32_t PIDX_CoverOpen = 16005;
inline constexpr int32_t PIDX_DayOpened = 16006;
inline constexpr int32_t PIDX_DuplicateReceipt = 16008;
inline constexpr int32_t PIDX_ErrorLevel = 16009;
inline constexpr int32_t PIDX_ErrorOutID = 16010;
inline constexpr int32_t PIDX_ErrorState = 16011;
inline constexpr int32_t PIDX_ErrorStation = 16012;
inline constexpr int32_t PIDX_FlagWhenIdle = 16013;
inline constexpr int32_t PIDX_JrnEmpty = 16014;
inline constexpr int32_t PIDX_JrnNearEnd = 16015;
inline constexpr int32_t PIDX_MessageLength = 16016;
inline constexpr int32_t PIDX_NumHeaderLines = 16017;
inline constexpr int32_t PIDX_NumTrailerLines = 16018;
inline constexpr int32_t PIDX_NumVatRates = 16019;
inline constexpr int32_t PIDX_PrinterState = 16020;
inline constexpr int32_t PIDX_RecEmpty = 16023;
inline constexpr int32_t PIDX_RecNearEnd = 16024;
inline constexpr int32_t PIDX_TrainingModeActive = 16029;
inline constexpr int32_t PIDX_CheckHealthText = 1000001;
inline constexpr int32_t PIDX_AdditionalHeader = 1016004;
inline constexpr int32_t PIDX_AdditionalTrailer = 1016005;
inline constexpr int32_t PIDX_PostLine = 1016007;
inline constexpr int32_t PIDX_PreLine = 1016008;

// PrinterState values.
inline constexpr int32_t FPTR_PS_MONITOR = 1;
inline constexpr int32_t FPTR_PS_FISCAL_RECEIPT = 2;
inline constexpr int32_t FPTR_PS_FISCAL_RECEIPT_TOTAL = 3;
inline constexpr int32_t FPTR_PS_FISCAL_RECEIPT_ENDING = 4;
inline constexpr int32_t FPTR_PS_LOCKED = 8;
inline constexpr int32_t FPTR_PS_NONFISCAL = 9;
inline constexpr int32_t FPTR_PS_REPORT = 10;

// ErrorLevel values.
inline constexpr int32_t FPTR_EL_RECOVERABLE = 2;
inline constexpr int32_t FPTR_EL_BLOCKED = 4;

inline constexpr int32_t FPTR_S_RECEIPT = 2;

// Status-update values.
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

// OPOS_FOREVER as a time-out.
inline constexpr int32_t OPOS_FOREVER = -1;

}  // namespace kelo::device::opos
