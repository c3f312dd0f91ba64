// OPOS values the service object uses: result codes, FiscalPrinter extended codes, states,
// open results and the property indices (all as the UnifiedPOS standard fixes them).
#pragma once
#include <cstdint>

namespace kelo::service {

// Result codes.
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

// FiscalPrinter extended codes produced by the service object itself.
inline constexpr int32_t OPOS_EFPTR_WRONG_STATE = 207;
inline constexpr int32_t OPOS_EFPTR_BAD_ITEM_AMOUNT = 214;
inline constexpr int32_t OPOS_EFPTR_BAD_ITEM_DESCRIPTION = 215;
inline constexpr int32_t OPOS_EFPTR_BAD_VAT = 217;

// States.
inline constexpr int32_t OPOS_S_CLOSED = 1;
inline constexpr int32_t OPOS_S_IDLE = 2;
inline constexpr int32_t OPOS_S_BUSY = 3;
inline constexpr int32_t OPOS_S_ERROR = 4;

// Open results.
inline constexpr int32_t OPOS_OR_FAILEDOPEN = 306;
inline constexpr int32_t OPOS_ORS_CONFIG = 403;

inline constexpr int32_t OPOS_FOREVER = -1;

// Error loci and responses (events).
inline constexpr int32_t OPOS_EL_OUTPUT = 1;
inline constexpr int32_t OPOS_ER_RETRY = 11;
inline constexpr int32_t OPOS_ER_CLEAR = 12;

// FiscalPrinter values used by the frame.
inline constexpr int32_t FPTR_SUE_IDLE = 1001;
inline constexpr int32_t FPTR_PS_MONITOR = 1;
inline constexpr int32_t FPTR_EL_NONE = 1;
inline constexpr int32_t FPTR_RT_SALES = 4;
inline constexpr int32_t FPTR_RT_REFUND = 7;
inline constexpr int32_t FPTR_TT_DOCUMENT = 1;

// Identity of this service object.
inline constexpr int32_t kServiceObjectVersion = 1011000;
inline constexpr const char* kDeviceDescription = "KeloFPU Fiscal Printer";
inline constexpr const char* kDeviceName = "KeloFPU Fiscal Printer Unit";
inline constexpr const char* kServiceObjectDescription =
    "KELO Fiscal Printer Unit OPOS Service Driver, Linux edition";

// Property indices.
namespace pidx {
// Common numeric properties.
inline constexpr int32_t Claimed = 1;
inline constexpr int32_t DataEventEnabled = 2;
inline constexpr int32_t DeviceEnabled = 3;
inline constexpr int32_t FreezeEvents = 4;
inline constexpr int32_t OutputID = 5;
inline constexpr int32_t ResultCode = 6;
inline constexpr int32_t ResultCodeExtended = 7;
inline constexpr int32_t ServiceObjectVersion = 8;
inline constexpr int32_t State = 9;
inline constexpr int32_t AutoDisable = 10;
inline constexpr int32_t BinaryConversion = 11;
inline constexpr int32_t DataCount = 12;
inline constexpr int32_t PowerNotify = 13;
inline constexpr int32_t PowerState = 14;
// Common capabilities.
inline constexpr int32_t CapPowerReporting = 501;
inline constexpr int32_t CapStatisticsReporting = 502;
inline constexpr int32_t CapUpdateStatistics = 503;
inline constexpr int32_t CapCompareFirmwareVersion = 504;
inline constexpr int32_t CapUpdateFirmware = 505;
// FiscalPrinter numeric properties.
inline constexpr int32_t AmountDecimalPlaces = 16001;
inline constexpr int32_t AsyncMode = 16002;
inline constexpr int32_t CheckTotal = 16003;
inline constexpr int32_t CountryCode = 16004;
inline constexpr int32_t CoverOpen = 16005;
inline constexpr int32_t DayOpened = 16006;
inline constexpr int32_t DescriptionLength = 16007;
inline constexpr int32_t DuplicateReceipt = 16008;
inline constexpr int32_t ErrorLevel = 16009;
inline constexpr int32_t ErrorOutID = 16010;
inline constexpr int32_t ErrorState = 16011;
inline constexpr int32_t ErrorStation = 16012;
inline constexpr int32_t FlagWhenIdle = 16013;
inline constexpr int32_t JrnEmpty = 16014;
inline constexpr int32_t JrnNearEnd = 16015;
inline constexpr int32_t MessageLength = 16016;
inline constexpr int32_t NumHeaderLines = 16017;
inline constexpr int32_t NumTrailerLines = 16018;
inline constexpr int32_t NumVatRates = 16019;
inline constexpr int32_t PrinterState = 16020;
inline constexpr int32_t QuantityDecimalPlaces = 16021;
inline constexpr int32_t QuantityLength = 16022;
inline constexpr int32_t RecEmpty = 16023;
inline constexpr int32_t RecNearEnd = 16024;
inline constexpr int32_t RemainingFiscalMemory = 16025;
inline constexpr int32_t SlpEmpty = 16026;
inline constexpr int32_t SlpNearEnd = 16027;
inline constexpr int32_t SlipSelection = 16028;
inline constexpr int32_t TrainingModeActive = 16029;
inline constexpr int32_t ActualCurrency = 16030;
inline constexpr int32_t ContractorId = 16031;
inline constexpr int32_t DateType = 16032;
inline constexpr int32_t FiscalReceiptStation = 16033;
inline constexpr int32_t FiscalReceiptType = 16034;
inline constexpr int32_t MessageType = 16035;
inline constexpr int32_t TotalizerType = 16036;
// FiscalPrinter capabilities.
inline constexpr int32_t CapAdditionalLines = 16501;
inline constexpr int32_t CapAmountAdjustment = 16502;
inline constexpr int32_t CapAmountNotPaid = 16503;
inline constexpr int32_t CapCheckTotal = 16504;
inline constexpr int32_t CapCoverSensor = 16505;
inline constexpr int32_t CapDoubleWidth = 16506;
inline constexpr int32_t CapDuplicateReceipt = 16507;
inline constexpr int32_t CapFixedOutput = 16508;
inline constexpr int32_t CapHasVatTable = 16509;
inline constexpr int32_t CapIndependentHeader = 16510;
inline constexpr int32_t CapItemList = 16511;
inline constexpr int32_t CapJrnEmptySensor = 16512;
inline constexpr int32_t CapJrnNearEndSensor = 16513;
inline constexpr int32_t CapJrnPresent = 16514;
inline constexpr int32_t CapNonFiscalMode = 16515;
inline constexpr int32_t CapOrderAdjustmentFirst = 16516;
inline constexpr int32_t CapPercentAdjustment = 16517;
inline constexpr int32_t CapPositiveAdjustment = 16518;
inline constexpr int32_t CapPowerLossReport = 16519;
inline constexpr int32_t CapPredefinedPaymentLines = 16520;
inline constexpr int32_t CapReceiptNotPaid = 16521;
inline constexpr int32_t CapRecEmptySensor = 16522;
inline constexpr int32_t CapRecNearEndSensor = 16523;
inline constexpr int32_t CapRecPresent = 16524;
inline constexpr int32_t CapRemainingFiscalMemory = 16525;
inline constexpr int32_t CapReservedWord = 16526;
inline constexpr int32_t CapSetHeader = 16527;
inline constexpr int32_t CapSetPOSID = 16528;
inline constexpr int32_t CapSetStoreFiscalID = 16529;
inline constexpr int32_t CapSetTrailer = 16530;
inline constexpr int32_t CapSetVatTable = 16531;
inline constexpr int32_t CapSlpEmptySensor = 16532;
inline constexpr int32_t CapSlpFiscalDocument = 16533;
inline constexpr int32_t CapSlpFullSlip = 16534;
inline constexpr int32_t CapSlpNearEndSensor = 16535;
inline constexpr int32_t CapSlpPresent = 16536;
inline constexpr int32_t CapSlpValidation = 16537;
inline constexpr int32_t CapSubAmountAdjustment = 16538;
inline constexpr int32_t CapSubPercentAdjustment = 16539;
inline constexpr int32_t CapSubtotal = 16540;
inline constexpr int32_t CapTrainingMode = 16541;
inline constexpr int32_t CapValidateJournal = 16542;
inline constexpr int32_t CapXReport = 16543;
inline constexpr int32_t CapAdditionalHeader = 16544;
inline constexpr int32_t CapAdditionalTrailer = 16545;
inline constexpr int32_t CapChangeDue = 16546;
inline constexpr int32_t CapEmptyReceiptIsVoidable = 16547;
inline constexpr int32_t CapFiscalReceiptStation = 16548;
inline constexpr int32_t CapFiscalReceiptType = 16549;
inline constexpr int32_t CapMultiContractor = 16550;
inline constexpr int32_t CapOnlyVoidLastItem = 16551;
inline constexpr int32_t CapPackageAdjustment = 16552;
inline constexpr int32_t CapPostPreLine = 16553;
inline constexpr int32_t CapSetCurrency = 16554;
inline constexpr int32_t CapTotalizerType = 16555;
inline constexpr int32_t CapPositiveSubtotalAdjustment = 16556;
// Common strings.
inline constexpr int32_t CheckHealthText = 1000001;
inline constexpr int32_t DeviceDescription = 1000002;
inline constexpr int32_t DeviceName = 1000003;
inline constexpr int32_t ServiceObjectDescription = 1000004;
// FiscalPrinter strings.
inline constexpr int32_t ErrorString = 1016001;
inline constexpr int32_t PredefinedPaymentLines = 1016002;
inline constexpr int32_t ReservedWord = 1016003;
inline constexpr int32_t AdditionalHeader = 1016004;
inline constexpr int32_t AdditionalTrailer = 1016005;
inline constexpr int32_t ChangeDue = 1016006;
inline constexpr int32_t PostLine = 1016007;
inline constexpr int32_t PreLine = 1016008;
}  // namespace pidx

}  // namespace kelo::service
