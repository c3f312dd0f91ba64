// The whole OPOS surface end to end: every control object method and property, through the
// automation layer and the service object's dispatch (argument conversion by signature), into
// a stand-in for the unit that records what each member would receive. The expectations are
// written out here by hand, independently of opos/methods.def and opos/properties.def, so a
// changed row, a shifted index or two swapped arguments fail.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <vector>

#include "control/fiscal_printer.h"
#include "platform/automation/loader.h"
#include "platform/registry/config_store.h"
#include "service/fiscal_printer_unit.h"
#include "service/method_dispatch.h"

namespace kelo::service {
namespace {

using control::Currency;
using control::FiscalPrinter;

// Records "name(arguments)" for each member call; by-reference arguments are answered (a long
// with 42, an array element with +1000 each, a text with "+") to check the way back.
struct Recorder {
  std::vector<std::string> calls;

  static std::string Show(int32_t v) { return std::to_string(v); }
  static std::string Show(int64_t v) { return std::to_string(v) + "cy"; }
  static std::string Show(bool v) { return v ? "true" : "false"; }
  static std::string Show(const std::string& v) { return "'" + v + "'"; }
  static std::string Show(int32_t* v) {
    const std::string shown = "&" + std::to_string(*v);
    *v = 42;
    return shown;
  }
  static std::string Show(std::span<int32_t> v) {
    std::string shown = "[";
    for (int32_t& e : v) {
      shown += (shown.size() > 1 ? "," : "") + std::to_string(e);
      e += 1000;
    }
    return shown + "]";
  }
  static std::string Show(std::string* v) {
    const std::string shown = "&'" + *v + "'";
    *v += "+";
    return shown;
  }
  static std::string Show(automation::IDispatch* v) { return v ? "object" : "null"; }

  template <typename R, typename... P, typename... A>
  R Call(const char* name, R (CFiscalPrinterUnit::*)(P...), A&&... args) {
    std::string line = std::string(name) + "(";
    bool first = true;
    ((line += (first ? "" : ", ") + Show(args), first = false), ...);
    calls.push_back(line + ")");
    if constexpr (std::is_same_v<R, std::string>) {
      return "text";
    } else if constexpr (!std::is_void_v<R>) {
      return 0;
    }
  }
};

class RecordingService : public automation::DispatchObject {
 public:
  explicit RecordingService(Recorder& recorder)
      : DispatchObject(CFiscalPrinterUnit::MethodTable()), recorder_(recorder) {}
  automation::HRESULT Invoke(automation::DispId id, automation::InvokeKind,
                             std::span<automation::Variant> args,
                             automation::Variant* result) override {
    return dispatch::Invoke(recorder_, id, args, result);
  }

 private:
  Recorder& recorder_;
};

class SurfaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("kelo_surface_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    registry_ = (dir_ / "registry.reg").string();
    std::string error;
    ASSERT_TRUE(platform::ConfigStore(registry_).Update(
        [&](platform::RegistryData& d) {
          d.CreateKey(
               "HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\FiscalPrinter\\KeloFPU")
              .Set("", platform::RegValue::String("Recording.Service"));
        },
        &error))
        << error;
    control::FiscalPrinterOptions options;
    options.registry_file = registry_;
    options.service_factory = [this](const std::string&,
                                     automation::ComPtr<automation::IDispatch>* out) {
      service_ = automation::ComPtr<automation::IDispatch>(new RecordingService(recorder_));
      *out = service_;
      return automation::CreateResult{automation::S_OK, ""};
    };
    fp_ = std::make_unique<FiscalPrinter>(std::move(options));
    ASSERT_EQ(fp_->Open("KeloFPU"), 0);
  }
  void TearDown() override {
    fp_.reset();
    std::filesystem::remove_all(dir_);
  }
  // The calls recorded since the last Take.
  std::vector<std::string> Take() { return std::exchange(recorder_.calls, {}); }

  std::filesystem::path dir_;
  std::string registry_;
  Recorder recorder_;
  automation::ComPtr<automation::IDispatch> service_;
  std::unique_ptr<FiscalPrinter> fp_;
};

TEST_F(SurfaceTest, EveryMethodArrivesWithItsArguments) {
  FiscalPrinter& f = *fp_;
  int32_t long_out = 7;
  std::string text_out = "in";
  std::vector<int32_t> data = {3, 4, 5};
  // Methods the control object has no member for, called by name as another control would.
  auto by_name = [&](std::string_view name, std::vector<automation::Variant> args) {
    automation::DispId id = 0;
    ASSERT_EQ(service_->GetIDsOfNames(name, &id), automation::S_OK) << name;
    automation::Variant result;
    EXPECT_EQ(service_->Invoke(id, automation::InvokeKind::Method, args, &result), automation::S_OK)
        << name;
  };

  EXPECT_EQ(f.CheckHealth(11), 0);
  EXPECT_EQ(f.ClaimDevice(12), 0);
  EXPECT_EQ(f.ClearInput(), 0);
  EXPECT_EQ(f.ClearInputProperties(), 0);
  EXPECT_EQ(f.ClearOutput(), 0);
  by_name("COFreezeEvents", {automation::Variant::Bool(true)});
  EXPECT_EQ(f.CompareFirmwareVersion("fw.bin", long_out), 0);
  EXPECT_EQ(long_out, 42);
  EXPECT_EQ(f.DirectIO(1501, data, text_out), 0);
  EXPECT_EQ(data, (std::vector<int32_t>{1003, 1004, 1005}));
  EXPECT_EQ(text_out, "in+");
  by_name("GetOpenResult", {});
  EXPECT_EQ(f.ReleaseDevice(), 0);
  EXPECT_EQ(f.ResetStatistics("r1"), 0);
  EXPECT_EQ(f.RetrieveStatistics(text_out), 0);
  EXPECT_EQ(f.UpdateFirmware("u1"), 0);
  EXPECT_EQ(f.UpdateStatistics("u2"), 0);
  EXPECT_EQ(f.OutputID(), 0);
  EXPECT_EQ(f.ErrorString(), "text");
  f.SetAsyncMode(true);
  f.SetPreLine("pre");
  EXPECT_EQ(f.BeginFiscalDocument(21), 0);
  EXPECT_EQ(f.BeginFiscalReceipt(true), 0);
  EXPECT_EQ(f.BeginFixedOutput(23, 230), 0);
  EXPECT_EQ(f.BeginInsertion(24), 0);
  EXPECT_EQ(f.BeginItemList(25), 0);
  EXPECT_EQ(f.BeginNonFiscal(), 0);
  EXPECT_EQ(f.BeginRemoval(27), 0);
  EXPECT_EQ(f.BeginTraining(), 0);
  EXPECT_EQ(f.ClearError(), 0);
  EXPECT_EQ(f.EndFiscalDocument(), 0);
  EXPECT_EQ(f.EndFiscalReceipt(false), 0);
  EXPECT_EQ(f.EndFixedOutput(), 0);
  EXPECT_EQ(f.EndInsertion(), 0);
  EXPECT_EQ(f.EndItemList(), 0);
  EXPECT_EQ(f.EndNonFiscal(), 0);
  EXPECT_EQ(f.EndRemoval(), 0);
  EXPECT_EQ(f.EndTraining(), 0);
  long_out = 38;
  text_out = "d";
  EXPECT_EQ(f.GetData(380, long_out, text_out), 0);
  EXPECT_EQ(f.GetDate(text_out), 0);
  EXPECT_EQ(f.GetTotalizer(40, 400, text_out), 0);
  EXPECT_EQ(f.GetVatEntry(41, 410, long_out), 0);
  EXPECT_EQ(f.PrintDuplicateReceipt(), 0);
  EXPECT_EQ(f.PrintFiscalDocumentLine("line43"), 0);
  EXPECT_EQ(f.PrintFixedOutput(44, 440, "fixed"), 0);
  EXPECT_EQ(f.PrintNormal(45, "normal"), 0);
  EXPECT_EQ(f.PrintPeriodicTotalsReport("d1", "d2"), 0);
  EXPECT_EQ(f.PrintPowerLossReport(), 0);
  EXPECT_EQ(f.PrintRecCash(Currency(480000)), 0);
  EXPECT_EQ(f.PrintRecItem("K\xc3\xa4se", Currency(49100), 4920, 493, Currency(49400), "kg"), 0);
  EXPECT_EQ(f.PrintRecItemAdjustment(50, "adj", Currency(50100), 502), 0);
  EXPECT_EQ(f.PrintRecItemFuel("fuel", Currency(51100), 5120, 513, Currency(51400), "l",
                               Currency(51600), "tax"),
            0);
  EXPECT_EQ(f.PrintRecItemFuelVoid("fuelv", Currency(52100), 522, Currency(52300)), 0);
  EXPECT_EQ(f.PrintRecMessage("msg"), 0);
  EXPECT_EQ(f.PrintRecNotPaid("np", Currency(54100)), 0);
  EXPECT_EQ(f.PrintRecPackageAdjustment(55, "pkg", "1*2"), 0);
  EXPECT_EQ(f.PrintRecPackageAdjustVoid(56, "3*4"), 0);
  EXPECT_EQ(f.PrintRecRefund("ref", Currency(57100), 572), 0);
  EXPECT_EQ(f.PrintRecRefundVoid("refv", Currency(58100), 582), 0);
  EXPECT_EQ(f.PrintRecSubtotal(Currency(59000)), 0);
  EXPECT_EQ(f.PrintRecSubtotalAdjustment(60, "sadj", Currency(60200)), 0);
  EXPECT_EQ(f.PrintRecSubtotalAdjustVoid(61, Currency(61100)), 0);
  EXPECT_EQ(f.PrintRecTaxID("tax62"), 0);
  EXPECT_EQ(f.PrintRecVoidItem("vi", Currency(63100), 632, 633, Currency(63400), 635), 0);
  EXPECT_EQ(f.PrintReport(64, "s64", "e64"), 0);
  EXPECT_EQ(f.PrintXReport(), 0);
  EXPECT_EQ(f.PrintZReport(), 0);
  EXPECT_EQ(f.ResetPrinter(), 0);
  EXPECT_EQ(f.SetCurrency(68), 0);
  EXPECT_EQ(f.SetDate("01022026"), 0);
  EXPECT_EQ(f.SetHeaderLine(70, "head", true), 0);
  EXPECT_EQ(f.SetPOSID("pos", "cashier"), 0);
  EXPECT_EQ(f.SetStoreFiscalID("store"), 0);
  EXPECT_EQ(f.SetTrailerLine(73, "trail", false), 0);
  EXPECT_EQ(f.SetVatTable(), 0);
  EXPECT_EQ(f.SetVatValue(75, "2200"), 0);
  EXPECT_EQ(f.VerifyItem("item", 76), 0);
  EXPECT_EQ(f.PrintRecVoid("void"), 0);
  EXPECT_EQ(f.PrintRecTotal(Currency(78100), Currency(78200), "cash"), 0);
  EXPECT_EQ(f.PrintRecItemVoid("iv", Currency(79100), 792, 793, Currency(79400), "pc"), 0);
  EXPECT_EQ(f.PrintRecItemAdjustmentVoid(80, "adjv", Currency(80300), 804), 0);
  EXPECT_EQ(f.Close(), 0);

  const std::vector<std::string> expected = {
      "OpenService('FiscalPrinter', 'KeloFPU', object)",
      "CheckHealth(11)",
      "ClaimDevice(12)",
      "ClearInput()",
      "ClearInputProperties()",
      "ClearOutput()",
      "COFreezeEvents(true)",
      "CompareFirmwareVersion('fw.bin', &7)",
      "DirectIO(1501, [3,4,5], &'in')",
      "GetOpenResult()",
      "ReleaseDevice()",
      "ResetStatistics('r1')",
      "RetrieveStatistics(&'in+')",
      "UpdateFirmware('u1')",
      "UpdateStatistics('u2')",
      "GetPropertyNumber(5)",
      "GetPropertyString(1016001)",
      "SetPropertyNumber(16002, 1)",
      "SetPropertyString(1016008, 'pre')",
      "beginFiscalDocument(21)",
      "beginFiscalReceipt(true)",
      "beginFixedOutput(23, 230)",
      "beginInsertion(24)",
      "beginItemList(25)",
      "beginNonFiscal()",
      "beginRemoval(27)",
      "beginTraining()",
      "clearError()",
      "endFiscalDocument()",
      "endFiscalReceipt(false)",
      "endFixedOutput()",
      "endInsertion()",
      "endItemList()",
      "endNonFiscal()",
      "endRemoval()",
      "endTraining()",
      "getData(380, &38, &'d')",
      "getDate(&'d+')",
      "getTotalizer(40, 400, &'d++')",
      "getVatEntry(41, 410, &42)",
      "printDuplicateReceipt()",
      "printFiscalDocumentLine('line43')",
      "printFixedOutput(44, 440, 'fixed')",
      "printNormal(45, 'normal')",
      "printPeriodicTotalsReport('d1', 'd2')",
      "printPowerLossReport()",
      "printRecCash(480000cy)",
      "printRecItem('K\xe4se', 49100cy, 4920, 493, 49400cy, 'kg')",
      "printRecItemAdjustment(50, 'adj', 50100cy, 502)",
      "printRecItemFuel('fuel', 51100cy, 5120, 513, 51400cy, 'l', 51600cy, 'tax')",
      "printRecItemFuelVoid('fuelv', 52100cy, 522, 52300cy)",
      "printRecMessage('msg')",
      "printRecNotPaid('np', 54100cy)",
      "printRecPackageAdjustment(55, 'pkg', '1*2')",
      "printRecPackageAdjustVoid(56, '3*4')",
      "printRecRefund('ref', 57100cy, 572)",
      "printRecRefundVoid('refv', 58100cy, 582)",
      "printRecSubtotal(59000cy)",
      "printRecSubtotalAdjustment(60, 'sadj', 60200cy)",
      "printRecSubtotalAdjustVoid(61, 61100cy)",
      "printRecTaxID('tax62')",
      "printRecVoidItem('vi', 63100cy, 632, 633, 63400cy, 635)",
      "printReport(64, 's64', 'e64')",
      "printXReport()",
      "printZReport()",
      "resetPrinter()",
      "setCurrency(68)",
      "setDate('01022026')",
      "setHeaderLine(70, 'head', true)",
      "setPOSID('pos', 'cashier')",
      "setStoreFiscalID('store')",
      "setTrailerLine(73, 'trail', false)",
      "setVatTable()",
      "setVatValue(75, '2200')",
      "verifyItem('item', 76)",
      "printRecVoid('void')",
      "printRecTotal(78100cy, 78200cy, 'cash')",
      "printRecItemVoid('iv', 79100cy, 792, 793, 79400cy, 'pc')",
      "printRecItemAdjustmentVoid(80, 'adjv', 80300cy, 804)",
      "CloseService()",
  };
  const std::vector<std::string> calls = Take();
  ASSERT_EQ(calls.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(calls[i], expected[i]) << "call " << i;
}

// Each property: the accessor's type, the index it reads (and writes, for the settable ones)
// and the name the service object traces for that index.
TEST_F(SurfaceTest, EveryPropertyReadsAndWritesItsIndex) {
  FiscalPrinter& f = *fp_;
  (void)Take();  // OpenService
  auto expect = [&](const char* name, const std::vector<std::string>& calls, int32_t index) {
    EXPECT_EQ(Take(), calls) << name;
    EXPECT_STREQ(CFiscalPrinterUnit::GetPropertyName(index), name);
  };
  auto get_number = [](int32_t index) {
    return "GetPropertyNumber(" + std::to_string(index) + ")";
  };
  auto get_text = [](int32_t index) { return "GetPropertyString(" + std::to_string(index) + ")"; };
  auto set_number = [](int32_t index, int32_t v) {
    return "SetPropertyNumber(" + std::to_string(index) + ", " + std::to_string(v) + ")";
  };
  int settable = 0;
#define READ(name, type)                                          \
  static_assert(std::is_same_v<decltype(f.name()), type>, #name); \
  (void)f.name();
#define NO_SETTER(name)                    \
  static_assert(!decltype([](auto& p) {    \
    return std::bool_constant < requires { \
      p.Set##name(0);                      \
    }                                      \
    > {};                                  \
  }(f))::value,                            \
                #name " is read only");
#define LONG_RO(name, index) \
  READ(name, int32_t) NO_SETTER(name) expect(#name, {get_number(index)}, index)
#define BOOL_RO(name, index) \
  READ(name, bool) NO_SETTER(name) expect(#name, {get_number(index)}, index)
#define TEXT_RO(name, index) \
  READ(name, std::string) NO_SETTER(name) expect(#name, {get_text(index)}, index)
#define LONG_RW(name, index)                     \
  READ(name, int32_t) f.Set##name(index % 1000); \
  ++settable;                                    \
  expect(#name, {get_number(index), set_number(index, index % 1000)}, index)
#define BOOL_RW(name, index)          \
  READ(name, bool) f.Set##name(true); \
  ++settable;                         \
  expect(#name, {get_number(index), set_number(index, 1)}, index)
#define TEXT_RW(name, index)                                                                 \
  READ(name, std::string) f.Set##name(#name);                                                \
  ++settable;                                                                                \
  expect(#name,                                                                              \
         {get_text(index), "SetPropertyString(" + std::to_string(index) + ", '" #name "')"}, \
         index)
  LONG_RO(ActualCurrency, 16030);
  TEXT_RW(AdditionalHeader, 1016004);
  TEXT_RW(AdditionalTrailer, 1016005);
  LONG_RO(AmountDecimalPlaces, 16001);
  BOOL_RW(AsyncMode, 16002);
  LONG_RW(BinaryConversion, 11);
  BOOL_RO(CapAdditionalHeader, 16544);
  BOOL_RO(CapAdditionalLines, 16501);
  BOOL_RO(CapAdditionalTrailer, 16545);
  BOOL_RO(CapAmountAdjustment, 16502);
  BOOL_RO(CapAmountNotPaid, 16503);
  BOOL_RO(CapChangeDue, 16546);
  BOOL_RO(CapCheckTotal, 16504);
  BOOL_RO(CapCompareFirmwareVersion, 504);
  BOOL_RO(CapCoverSensor, 16505);
  BOOL_RO(CapDoubleWidth, 16506);
  BOOL_RO(CapDuplicateReceipt, 16507);
  BOOL_RO(CapEmptyReceiptIsVoidable, 16547);
  BOOL_RO(CapFiscalReceiptStation, 16548);
  BOOL_RO(CapFiscalReceiptType, 16549);
  BOOL_RO(CapFixedOutput, 16508);
  BOOL_RO(CapHasVatTable, 16509);
  BOOL_RO(CapIndependentHeader, 16510);
  BOOL_RO(CapItemList, 16511);
  BOOL_RO(CapJrnEmptySensor, 16512);
  BOOL_RO(CapJrnNearEndSensor, 16513);
  BOOL_RO(CapJrnPresent, 16514);
  BOOL_RO(CapMultiContractor, 16550);
  BOOL_RO(CapNonFiscalMode, 16515);
  BOOL_RO(CapOnlyVoidLastItem, 16551);
  BOOL_RO(CapOrderAdjustmentFirst, 16516);
  BOOL_RO(CapPackageAdjustment, 16552);
  BOOL_RO(CapPercentAdjustment, 16517);
  BOOL_RO(CapPositiveAdjustment, 16518);
  BOOL_RO(CapPostPreLine, 16553);
  BOOL_RO(CapPowerLossReport, 16519);
  BOOL_RO(CapPowerReporting, 501);
  BOOL_RO(CapPredefinedPaymentLines, 16520);
  BOOL_RO(CapReceiptNotPaid, 16521);
  BOOL_RO(CapRecEmptySensor, 16522);
  BOOL_RO(CapRecNearEndSensor, 16523);
  BOOL_RO(CapRecPresent, 16524);
  BOOL_RO(CapRemainingFiscalMemory, 16525);
  BOOL_RO(CapReservedWord, 16526);
  BOOL_RO(CapSetCurrency, 16554);
  BOOL_RO(CapSetHeader, 16527);
  BOOL_RO(CapSetPOSID, 16528);
  BOOL_RO(CapSetStoreFiscalID, 16529);
  BOOL_RO(CapSetTrailer, 16530);
  BOOL_RO(CapSetVatTable, 16531);
  BOOL_RO(CapSlpEmptySensor, 16532);
  BOOL_RO(CapSlpFiscalDocument, 16533);
  BOOL_RO(CapSlpFullSlip, 16534);
  BOOL_RO(CapSlpNearEndSensor, 16535);
  BOOL_RO(CapSlpPresent, 16536);
  BOOL_RO(CapSlpValidation, 16537);
  BOOL_RO(CapStatisticsReporting, 502);
  BOOL_RO(CapSubAmountAdjustment, 16538);
  BOOL_RO(CapSubPercentAdjustment, 16539);
  BOOL_RO(CapSubtotal, 16540);
  BOOL_RO(CapTotalizerType, 16555);
  BOOL_RO(CapTrainingMode, 16541);
  BOOL_RO(CapUpdateFirmware, 505);
  BOOL_RO(CapUpdateStatistics, 503);
  BOOL_RO(CapValidateJournal, 16542);
  BOOL_RO(CapXReport, 16543);
  TEXT_RW(ChangeDue, 1016006);
  TEXT_RO(CheckHealthText, 1000001);
  BOOL_RW(CheckTotal, 16003);
  BOOL_RO(Claimed, 1);
  LONG_RW(ContractorId, 16031);
  LONG_RO(CountryCode, 16004);
  BOOL_RO(CoverOpen, 16005);
  LONG_RW(DateType, 16032);
  BOOL_RO(DayOpened, 16006);
  LONG_RO(DescriptionLength, 16007);
  TEXT_RO(DeviceDescription, 1000002);
  BOOL_RW(DeviceEnabled, 3);
  TEXT_RO(DeviceName, 1000003);
  BOOL_RW(DuplicateReceipt, 16008);
  LONG_RO(ErrorLevel, 16009);
  LONG_RO(ErrorOutID, 16010);
  LONG_RO(ErrorState, 16011);
  LONG_RO(ErrorStation, 16012);
  TEXT_RO(ErrorString, 1016001);
  LONG_RW(FiscalReceiptStation, 16033);
  LONG_RW(FiscalReceiptType, 16034);
  BOOL_RW(FlagWhenIdle, 16013);
  BOOL_RW(FreezeEvents, 4);
  BOOL_RO(JrnEmpty, 16014);
  BOOL_RO(JrnNearEnd, 16015);
  LONG_RO(MessageLength, 16016);
  LONG_RW(MessageType, 16035);
  LONG_RO(NumHeaderLines, 16017);
  LONG_RO(NumTrailerLines, 16018);
  LONG_RO(NumVatRates, 16019);
  LONG_RO(OutputID, 5);
  TEXT_RW(PostLine, 1016007);
  LONG_RW(PowerNotify, 13);
  LONG_RO(PowerState, 14);
  TEXT_RO(PredefinedPaymentLines, 1016002);
  TEXT_RW(PreLine, 1016008);
  LONG_RO(PrinterState, 16020);
  LONG_RO(QuantityDecimalPlaces, 16021);
  LONG_RO(QuantityLength, 16022);
  BOOL_RO(RecEmpty, 16023);
  BOOL_RO(RecNearEnd, 16024);
  LONG_RO(RemainingFiscalMemory, 16025);
  TEXT_RO(ReservedWord, 1016003);
  LONG_RO(ResultCode, 6);
  LONG_RO(ResultCodeExtended, 7);
  TEXT_RO(ServiceObjectDescription, 1000004);
  LONG_RO(ServiceObjectVersion, 8);
  LONG_RW(SlipSelection, 16028);
  BOOL_RO(SlpEmpty, 16026);
  BOOL_RO(SlpNearEnd, 16027);
  LONG_RO(State, 9);
  LONG_RW(TotalizerType, 16036);
  BOOL_RO(TrainingModeActive, 16029);
  EXPECT_EQ(settable, 20);
}

}  // namespace
}  // namespace kelo::service
