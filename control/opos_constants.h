// OPOS constants of the FiscalPrinter device class (the values of the published UnifiedPOS
// release 1.11 standard) that applications of the control object need: result codes, states,
// open results, error responses and the property indices used with the service object.
#pragma once
#include <cstdint>

namespace kelo::control::opos {

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
inline constexpr int32_t OPOS_EFPTR_BAD_VAT = 217;

// Device states (State).
inline constexpr int32_t OPOS_S_CLOSED = 1;
inline constexpr int32_t OPOS_S_IDLE = 2;
inline constexpr int32_t OPOS_S_BUSY = 3;
inline constexpr int32_t OPOS_S_ERROR = 4;

// Why Open failed (OpenResult).
inline constexpr int32_t OPOS_OR_ALREADYOPEN = 301;
inline constexpr int32_t OPOS_OR_REGBADNAME = 302;
inline constexpr int32_t OPOS_OR_REGPROGID = 303;
inline constexpr int32_t OPOS_OR_CREATE = 304;
inline constexpr int32_t OPOS_OR_BADIF = 305;
inline constexpr int32_t OPOS_OR_FAILEDOPEN = 306;

// Answers of an ErrorEvent handler.
inline constexpr int32_t OPOS_ER_RETRY = 11;
inline constexpr int32_t OPOS_ER_CLEAR = 12;
// Error locus of an ErrorEvent raised by queued output.
inline constexpr int32_t OPOS_EL_OUTPUT = 1;

// StatusUpdateEvent values used by this device class.
inline constexpr int32_t PTR_SUE_COVER_OPEN = 11;
inline constexpr int32_t PTR_SUE_COVER_OK = 12;
inline constexpr int32_t PTR_SUE_JRN_EMPTY = 21;
inline constexpr int32_t PTR_SUE_JRN_NEAREMPTY = 22;
inline constexpr int32_t PTR_SUE_JRN_PAPEROK = 23;
inline constexpr int32_t PTR_SUE_REC_EMPTY = 24;
inline constexpr int32_t PTR_SUE_REC_NEAREMPTY = 25;
inline constexpr int32_t PTR_SUE_REC_PAPEROK = 26;
inline constexpr int32_t FPTR_SUE_IDLE = 1001;

// Receipt types (FiscalReceiptType).
inline constexpr int32_t FPTR_RT_SALES = 4;
inline constexpr int32_t FPTR_RT_REFUND = 7;

// Adjustment types.
inline constexpr int32_t FPTR_AT_AMOUNT_DISCOUNT = 1;
inline constexpr int32_t FPTR_AT_AMOUNT_SURCHARGE = 2;
inline constexpr int32_t FPTR_AT_PERCENTAGE_DISCOUNT = 3;
inline constexpr int32_t FPTR_AT_PERCENTAGE_SURCHARGE = 4;

// Property indices passed to the service object's GetPropertyNumber/GetPropertyString/
// SetPropertyNumber/SetPropertyString. Numbers below 1000000 are numeric properties.
inline constexpr int32_t PIDX_ActualCurrency = 16030;
inline constexpr int32_t PIDX_AdditionalHeader = 1016004;
inline constexpr int32_t PIDX_AdditionalTrailer = 1016005;
inline constexpr int32_t PIDX_AmountDecimalPlaces = 16001;
inline constexpr int32_t PIDX_AsyncMode = 16002;
inline constexpr int32_t PIDX_BinaryConversion = 11;
inline constexpr int32_t PIDX_ChangeDue = 1016006;
inline constexpr int32_t PIDX_CheckHealthText = 1000001;
inline constexpr int32_t PIDX_CheckTotal = 16003;
inline constexpr int32_t PIDX_Claimed = 1;
inline constexpr int32_t PIDX_ContractorId = 16031;
inline constexpr int32_t PIDX_CountryCode = 16004;
inline constexpr int32_t PIDX_CoverOpen = 16005;
inline constexpr int32_t PIDX_DateType = 16032;
inline constexpr int32_t PIDX_DayOpened = 16006;
inline constexpr int32_t PIDX_DescriptionLength = 16007;
inline constexpr int32_t PIDX_DeviceDescription = 1000002;
inline constexpr int32_t PIDX_DeviceEnabled = 3;
inline constexpr int32_t PIDX_DeviceName = 1000003;
inline constexpr int32_t PIDX_DuplicateReceipt = 16008;
inline constexpr int32_t PIDX_ErrorLevel = 16009;
inline constexpr int32_t PIDX_ErrorOutID = 16010;
inline constexpr int32_t PIDX_ErrorState = 16011;
inline constexpr int32_t PIDX_ErrorStation = 16012;
inline constexpr int32_t PIDX_ErrorString = 1016001;
inline constexpr int32_t PIDX_FiscalReceiptStation = 16033;
inline constexpr int32_t PIDX_FiscalReceiptType = 16034;
inline constexpr int32_t PIDX_FlagWhenIdle = 16013;
inline constexpr int32_t PIDX_FreezeEvents = 4;
inline constexpr int32_t PIDX_JrnEmpty = 16014;
inline constexpr int32_t PIDX_JrnNearEnd = 16015;
inline constexpr int32_t PIDX_MessageLength = 16016;
inline constexpr int32_t PIDX_MessageType = 16035;
inline constexpr int32_t PIDX_NumHeaderLines = 16017;
inline constexpr int32_t PIDX_NumTrailerLines = 16018;
inline constexpr int32_t PIDX_NumVatRates = 16019;
inline constexpr int32_t PIDX_OutputID = 5;
inline constexpr int32_t PIDX_PostLine = 1016007;
inline constexpr int32_t PIDX_PowerNotify = 13;
inline constexpr int32_t PIDX_PowerState = 14;
inline constexpr int32_t PIDX_PreLine = 1016008;
inline constexpr int32_t PIDX_PredefinedPaymentLines = 1016002;
inline constexpr int32_t PIDX_PrinterState = 16020;
inline constexpr int32_t PIDX_QuantityDecimalPlaces = 16021;
inline constexpr int32_t PIDX_QuantityLength = 16022;
inline constexpr int32_t PIDX_RecEmpty = 16023;
inline constexpr int32_t PIDX_RecNearEnd = 16024;
inline constexpr int32_t PIDX_RemainingFiscalMemory = 16025;
inline constexpr int32_t PIDX_ReservedWord = 1016003;
inline constexpr int32_t PIDX_ResultCode = 6;
inline constexpr int32_t PIDX_ResultCodeExtended = 7;
inline constexpr int32_t PIDX_ServiceObjectDescription = 1000004;
inline constexpr int32_t PIDX_ServiceObjectVersion = 8;
inline constexpr int32_t PIDX_SlipSelection = 16028;
inline constexpr int32_t PIDX_SlpEmpty = 16026;
inline constexpr int32_t PIDX_SlpNearEnd = 16027;
inline constexpr int32_t PIDX_State = 9;
inline constexpr int32_t PIDX_TotalizerType = 16036;
inline constexpr int32_t PIDX_TrainingModeActive = 16029;
inline constexpr int32_t PIDX_CapAdditionalHeader = 16544;
inline constexpr int32_t PIDX_CapAdditionalLines = 16501;
inline constexpr int32_t PIDX_CapAdditionalTrailer = 16545;
inline constexpr int32_t PIDX_CapAmountAdjustment = 16502;
inline constexpr int32_t PIDX_CapAmountNotPaid = 16503;
inline constexpr int32_t PIDX_CapChangeDue = 16546;
inline constexpr int32_t PIDX_CapCheckTotal = 16504;
inline constexpr int32_t PIDX_CapCompareFirmwareVersion = 504;
inline constexpr int32_t PIDX_CapCoverSensor = 16505;
inline constexpr int32_t PIDX_CapDoubleWidth = 16506;
inline constexpr int32_t PIDX_CapDuplicateReceipt = 16507;
inline constexpr int32_t PIDX_CapEmptyReceiptIsVoidable = 16547;
inline constexpr int32_t PIDX_CapFiscalReceiptStation = 16548;
inline constexpr int32_t PIDX_CapFiscalReceiptType = 16549;
inline constexpr int32_t PIDX_CapFixedOutput = 16508;
inline constexpr int32_t PIDX_CapHasVatTable = 16509;
inline constexpr int32_t PIDX_CapIndependentHeader = 16510;
inline constexpr int32_t PIDX_CapItemList = 16511;
inline constexpr int32_t PIDX_CapJrnEmptySensor = 16512;
inline constexpr int32_t PIDX_CapJrnNearEndSensor = 16513;
inline constexpr int32_t PIDX_CapJrnPresent = 16514;
inline constexpr int32_t PIDX_CapMultiContractor = 16550;
inline constexpr int32_t PIDX_CapNonFiscalMode = 16515;
inline constexpr int32_t PIDX_CapOnlyVoidLastItem = 16551;
inline constexpr int32_t PIDX_CapOrderAdjustmentFirst = 16516;
inline constexpr int32_t PIDX_CapPackageAdjustment = 16552;
inline constexpr int32_t PIDX_CapPercentAdjustment = 16517;
inline constexpr int32_t PIDX_CapPositiveAdjustment = 16518;
inline constexpr int32_t PIDX_CapPostPreLine = 16553;
inline constexpr int32_t PIDX_CapPowerLossReport = 16519;
inline constexpr int32_t PIDX_CapPowerReporting = 501;
inline constexpr int32_t PIDX_CapPredefinedPaymentLines = 16520;
inline constexpr int32_t PIDX_CapRecEmptySensor = 16522;
inline constexpr int32_t PIDX_CapRecNearEndSensor = 16523;
inline constexpr int32_t PIDX_CapRecPresent = 16524;
inline constexpr int32_t PIDX_CapReceiptNotPaid = 16521;
inline constexpr int32_t PIDX_CapRemainingFiscalMemory = 16525;
inline constexpr int32_t PIDX_CapReservedWord = 16526;
inline constexpr int32_t PIDX_CapSetCurrency = 16554;
inline constexpr int32_t PIDX_CapSetHeader = 16527;
inline constexpr int32_t PIDX_CapSetPOSID = 16528;
inline constexpr int32_t PIDX_CapSetStoreFiscalID = 16529;
inline constexpr int32_t PIDX_CapSetTrailer = 16530;
inline constexpr int32_t PIDX_CapSetVatTable = 16531;
inline constexpr int32_t PIDX_CapSlpEmptySensor = 16532;
inline constexpr int32_t PIDX_CapSlpFiscalDocument = 16533;
inline constexpr int32_t PIDX_CapSlpFullSlip = 16534;
inline constexpr int32_t PIDX_CapSlpNearEndSensor = 16535;
inline constexpr int32_t PIDX_CapSlpPresent = 16536;
inline constexpr int32_t PIDX_CapSlpValidation = 16537;
inline constexpr int32_t PIDX_CapStatisticsReporting = 502;
inline constexpr int32_t PIDX_CapSubAmountAdjustment = 16538;
inline constexpr int32_t PIDX_CapSubPercentAdjustment = 16539;
inline constexpr int32_t PIDX_CapSubtotal = 16540;
inline constexpr int32_t PIDX_CapTotalizerType = 16555;
inline constexpr int32_t PIDX_CapTrainingMode = 16541;
inline constexpr int32_t PIDX_CapUpdateFirmware = 505;
inline constexpr int32_t PIDX_CapUpdateStatistics = 503;
inline constexpr int32_t PIDX_CapValidateJournal = 16542;
inline constexpr int32_t PIDX_CapXReport = 16543;

// Indices at or above this are string properties.
inline constexpr int32_t PIDX_FIRST_STRING = 1000000;

}  // namespace kelo::control::opos
