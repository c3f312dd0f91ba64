// Open, close, claim and release with their result codes, texts and open results; the guard
// checks and the refusing common methods; the dispatch table as the control object sees it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include <array>

#include "service/tests/service_test_support.h"

namespace kelo::service::testing {
namespace {

class UnitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    trace::ResetForTesting();
    registry_ = dir_.File("registry.reg");
    WriteDeviceKey(registry_,
                   {{"Port", RegValue::String(pty_.path())}, {"LogEnabled", RegValue::Dword(0)}});
    unit_ = ComPtr<TestUnit>(new TestUnit(registry_));
    control_ = FakeControl::Make();
  }
  void TearDown() override {
    unit_.Reset();
    trace::ResetForTesting();
  }

  int32_t Open(const std::string& device_class = "FiscalPrinter",
               const std::string& name = kDeviceName) {
    return unit_->OpenService(device_class, name, control_.Get());
  }
  void OpenClaimEnable() {
    ASSERT_EQ(Open(), 0);
    ASSERT_EQ(unit_->ClaimDevice(1000), 0);
    unit_->SetPropertyNumber(opos::PIDX_DeviceEnabled, 1);
    ASSERT_EQ(unit_->result_code(), 0);
  }

  TempDir dir_;
  Pty pty_;
  std::string registry_;
  ComPtr<TestUnit> unit_;
  ComPtr<FakeControl> control_;
};

TEST_F(UnitTest, FreshUnitIsClosedWithItsInitialResult) {
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_State), opos::OPOS_S_CLOSED);
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_ResultCode), opos::OPOS_E_CLOSED);
  EXPECT_EQ(unit_->GetOpenResult(), opos::OPOS_OR_FAILEDOPEN);
}

TEST_F(UnitTest, OpenSucceedsAndSecondOpenIsRefusedLeavingTheServiceOpen) {
  ASSERT_EQ(Open(), 0);
  EXPECT_EQ(unit_->GetOpenResult(), 0);
  EXPECT_EQ(unit_->GetState(), opos::OPOS_S_IDLE);
  EXPECT_EQ(unit_->error_string(), "");

  EXPECT_EQ(Open(), opos::OPOS_E_ILLEGAL);
  EXPECT_EQ(unit_->error_string(), "Service already opened");
  EXPECT_EQ(unit_->GetOpenResult(), opos::OPOS_OR_FAILEDOPEN);
  EXPECT_EQ(unit_->GetState(), opos::OPOS_S_IDLE);
  EXPECT_EQ(unit_->ClaimDevice(0), 0) << "the open service must still work";
}

TEST_F(UnitTest, DeviceClassIsComparedIgnoringCase) {
  EXPECT_EQ(Open("fiscalprinter"), 0);
  ComPtr<TestUnit> other(new TestUnit(registry_));
  EXPECT_EQ(other->OpenService("POSPrinter", kDeviceName, control_.Get()), opos::OPOS_E_FAILURE);
  EXPECT_EQ(other->error_string(), "Registry parameters error");
  EXPECT_EQ(other->GetOpenResult(), opos::OPOS_ORS_CONFIG);
  EXPECT_EQ(other->GetState(), opos::OPOS_S_CLOSED);
}

TEST_F(UnitTest, MissingKeyOrKeyWithoutDefaultValueIsARegistryError) {
  EXPECT_EQ(Open("FiscalPrinter", "NoSuchDevice"), opos::OPOS_E_FAILURE);
  EXPECT_EQ(unit_->error_string(), "Registry parameters error");

  WriteDeviceKey(registry_, {{"Port", RegValue::String(pty_.path())}}, /*with_default=*/false);
  EXPECT_EQ(Open(), opos::OPOS_E_FAILURE);
  EXPECT_EQ(unit_->error_string(), "Registry parameters error");
  EXPECT_EQ(unit_->GetOpenResult(), opos::OPOS_ORS_CONFIG);
  EXPECT_EQ(unit_->GetState(), opos::OPOS_S_CLOSED);
}

TEST_F(UnitTest, ControlObjectLackingACallbackGivesDispatchErrors) {
  for (const char* missing :
       {"SODirectIO", "SOError", "SOOutputComplete", "SOStatusUpdate", "ControlObjectVersion"}) {
    std::vector<std::string> names;
    for (const auto& n : FakeControl::AllNames()) {
      if (n != missing) names.push_back(n);
    }
    auto partial = FakeControl::Make(names);
    ComPtr<TestUnit> unit(new TestUnit(registry_));
    EXPECT_EQ(unit->OpenService("FiscalPrinter", kDeviceName, partial.Get()), opos::OPOS_E_FAILURE)
        << missing;
    EXPECT_EQ(unit->error_string(), "Dispatch errors") << missing;
    EXPECT_EQ(unit->GetOpenResult(), opos::OPOS_ORS_CONFIG) << missing;
    EXPECT_EQ(unit->GetState(), opos::OPOS_S_CLOSED) << missing;
  }
}

TEST_F(UnitTest, CloseOfAClosedServiceIsRefused) {
  EXPECT_EQ(unit_->CloseService(), opos::OPOS_E_ILLEGAL);
  EXPECT_EQ(unit_->error_string(), "Service already closed");
  ASSERT_EQ(Open(), 0);
  EXPECT_EQ(unit_->CloseService(), 0);
  EXPECT_EQ(unit_->GetState(), opos::OPOS_S_CLOSED);
  EXPECT_EQ(unit_->CloseService(), opos::OPOS_E_ILLEGAL);
  EXPECT_EQ(Open(), 0) << "a closed unit opens again";
}

TEST_F(UnitTest, ClaimTwiceSucceedsAndReleaseWithoutClaimIsRefused) {
  ASSERT_EQ(Open(), 0);
  EXPECT_EQ(unit_->ReleaseDevice(), opos::OPOS_E_ILLEGAL);
  EXPECT_EQ(unit_->error_string(), "no exclusive access");
  EXPECT_EQ(unit_->ClaimDevice(1000), 0);
  EXPECT_TRUE(unit_->port_open_at_connect) << "Connect runs on the opened port";
  EXPECT_EQ(unit_->ClaimDevice(1000), 0);
  EXPECT_EQ(unit_->connects, 1) << "the second claim does nothing";
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_Claimed), 1);
}

TEST_F(UnitTest, ClaimReleaseClaimReopensThePort) {
  ASSERT_EQ(Open(), 0);
  EXPECT_EQ(unit_->ClaimDevice(0), 0);
  unit_->SetPropertyNumber(opos::PIDX_DeviceEnabled, 1);
  EXPECT_EQ(unit_->ReleaseDevice(), 0);
  EXPECT_EQ(unit_->disconnects, 1);
  EXPECT_FALSE(unit_->device_enabled()) << "release disables first";
  EXPECT_FALSE(unit_->claimed());
  EXPECT_EQ(unit_->ClaimDevice(0), 0);
  EXPECT_EQ(unit_->connects, 2);
  EXPECT_TRUE(unit_->port_open_at_connect);
}

TEST_F(UnitTest, APortThatIsNotATerminalIsRefusedWithoutAByteWritten) {
  const std::string file = dir_.File("not-a-tty");
  { std::ofstream(file) << "keep"; }
  const std::string fifo = dir_.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::pair<std::string, std::string> cases[] = {
      {file, "a regular file"}, {dir_.path(), "a directory"}, {fifo, "a FIFO"}};
  for (const auto& [path, kind] : cases) {
    WriteDeviceKey(registry_,
                   {{"Port", RegValue::String(path)}, {"LogEnabled", RegValue::Dword(0)}});
    ASSERT_EQ(Open(), 0);
    EXPECT_EQ(unit_->ClaimDevice(0), opos::OPOS_E_NOHARDWARE);
    EXPECT_EQ(unit_->error_string(),
              "Port " + path + " is " + kind + ", not a terminal; nothing was written to it");
    EXPECT_EQ(unit_->CloseService(), 0);
  }
  EXPECT_EQ(ReadFile(file), "keep");
  // A speed the line cannot take is refused at claim, not silently replaced.
  WriteDeviceKey(registry_, {{"Port", RegValue::String(pty_.path())},
                             {"BaudRate", RegValue::Dword(12345)},
                             {"LogEnabled", RegValue::Dword(0)}});
  ASSERT_EQ(Open(), 0);
  EXPECT_EQ(unit_->ClaimDevice(0), opos::OPOS_E_NOHARDWARE);
  EXPECT_NE(unit_->error_string().find("BaudRate 12345"), std::string::npos);
}

TEST_F(UnitTest, ClaimOfAPortThatCannotBeOpenedReleasesTheClaim) {
  WriteDeviceKey(registry_, {{"Port", RegValue::String(dir_.File("no-such-tty"))},
                             {"LogEnabled", RegValue::Dword(0)}});
  ASSERT_EQ(Open(), 0);
  EXPECT_EQ(unit_->ClaimDevice(0), opos::OPOS_E_NOHARDWARE);
  EXPECT_EQ(unit_->error_string(), "Port " + dir_.File("no-such-tty") + " does not exist");
  EXPECT_EQ(unit_->connects, 0);

  // The claim mutex was given back: with a port that opens, the next claim at once succeeds.
  WriteDeviceKey(registry_,
                 {{"Port", RegValue::String(pty_.path())}, {"LogEnabled", RegValue::Dword(0)}});
  ASSERT_EQ(unit_->CloseService(), 0);
  ASSERT_EQ(Open(), 0);
  EXPECT_EQ(unit_->ClaimDevice(0), 0);
}

TEST_F(UnitTest, FailedConnectLeavesErrorStateAndReleasesTheClaim) {
  ASSERT_EQ(Open(), 0);
  unit_->connect_result = {opos::OPOS_E_NOHARDWARE, 0, "Device not found"};
  EXPECT_EQ(unit_->ClaimDevice(0), opos::OPOS_E_NOHARDWARE);
  EXPECT_EQ(unit_->error_string(), "Device not found");
  EXPECT_EQ(unit_->GetState(), opos::OPOS_S_ERROR);
  EXPECT_EQ(unit_->disconnects, 1);
  EXPECT_FALSE(unit_->claimed());
  unit_->connect_result = {};
  EXPECT_EQ(unit_->ClaimDevice(0), 0) << "the claim mutex must be free again";
  EXPECT_EQ(unit_->GetState(), opos::OPOS_S_IDLE) << "a successful claim ends the error state";
}

TEST_F(UnitTest, ClaimTimesOutWhileAnotherThreadHoldsTheClaim) {
  ASSERT_EQ(Open(), 0);
  std::mutex mu;
  std::condition_variable cv;
  bool in_connect = false, release = false;
  unit_->connect_hook = [&] {
    std::unique_lock<std::mutex> lock(mu);
    in_connect = true;
    cv.notify_all();
    cv.wait(lock, [&] { return release; });
  };
  std::thread holder([&] { EXPECT_EQ(unit_->ClaimDevice(-1), 0); });
  {
    std::unique_lock<std::mutex> lock(mu);
    cv.wait(lock, [&] { return in_connect; });
  }
  EXPECT_EQ(unit_->ClaimDevice(0), opos::OPOS_E_TIMEOUT);
  EXPECT_EQ(unit_->error_string(), "Claim timeout");
  {
    std::lock_guard<std::mutex> lock(mu);
    release = true;
  }
  cv.notify_all();
  holder.join();
  EXPECT_TRUE(unit_->claimed());
}

TEST_F(UnitTest, ReleaseFromAnotherThreadIsHonoured) {
  ASSERT_EQ(Open(), 0);
  ASSERT_EQ(unit_->ClaimDevice(0), 0);
  std::thread([&] { EXPECT_EQ(unit_->ReleaseDevice(), 0); }).join();
  EXPECT_FALSE(unit_->claimed());
  EXPECT_EQ(unit_->ClaimDevice(0), 0) << "the claim was really given back";
}

TEST_F(UnitTest, CloseReleasesAClaimedDevice) {
  OpenClaimEnable();
  EXPECT_EQ(unit_->CloseService(), 0);
  EXPECT_FALSE(unit_->claimed());
  EXPECT_EQ(unit_->disconnects, 1);
  EXPECT_EQ(unit_->GetState(), opos::OPOS_S_CLOSED);
}

TEST_F(UnitTest, GuardChecksReportInOrderClosedNotClaimedDisabled) {
  // Every refusal says what is missing.
  EXPECT_EQ(unit_->ResetStatistics("x"), opos::OPOS_E_CLOSED);
  EXPECT_EQ(unit_->error_string(), "The service is not open (OpenService first)");
  ASSERT_EQ(Open(), 0);
  EXPECT_EQ(unit_->ResetStatistics("x"), opos::OPOS_E_NOTCLAIMED);
  ASSERT_EQ(unit_->ClaimDevice(0), 0);
  EXPECT_EQ(unit_->ResetStatistics("x"), opos::OPOS_E_DISABLED);
  unit_->SetPropertyNumber(opos::PIDX_DeviceEnabled, 1);
  EXPECT_EQ(unit_->ResetStatistics("x"), opos::OPOS_E_ILLEGAL);
  EXPECT_EQ(unit_->error_string(), "Not supported");
}

TEST_F(UnitTest, ClearInputIsRefusedEvenWhenClosed) {
  EXPECT_EQ(unit_->ClearInput(), opos::OPOS_E_ILLEGAL);
  EXPECT_EQ(unit_->error_string(), "Not supported");
}

TEST_F(UnitTest, OutParametersOfRefusedMethodsAreUntouched) {
  OpenClaimEnable();
  int32_t result = 77;
  std::string stats = "keep";
  EXPECT_EQ(unit_->CompareFirmwareVersion("fw", &result), opos::OPOS_E_ILLEGAL);
  EXPECT_EQ(unit_->RetrieveStatistics(&stats), opos::OPOS_E_ILLEGAL);
  EXPECT_EQ(result, 77);
  EXPECT_EQ(stats, "keep");
}

TEST_F(UnitTest, ClearErrorAndClearInputPropertiesResetTheErrorProperties) {
  OpenClaimEnable();
  auto set_errors = [&] {
    unit_->SetNumberProperty(opos::PIDX_ErrorLevel, 4);
    unit_->SetNumberProperty(opos::PIDX_ErrorOutID, 9);
    unit_->SetNumberProperty(opos::PIDX_ErrorState, 3);
    unit_->SetNumberProperty(opos::PIDX_ErrorStation, 2);
  };
  set_errors();
  EXPECT_EQ(unit_->clearError(), 0);
  EXPECT_EQ(unit_->GetNumberProperty(opos::PIDX_ErrorLevel), opos::FPTR_EL_NONE);
  EXPECT_EQ(unit_->GetNumberProperty(opos::PIDX_ErrorOutID), 9);
  EXPECT_EQ(unit_->GetNumberProperty(opos::PIDX_ErrorState), 3);
  EXPECT_EQ(unit_->GetNumberProperty(opos::PIDX_ErrorStation), 2);
  set_errors();
  EXPECT_EQ(unit_->ClearInputProperties(), 0);
  EXPECT_EQ(unit_->GetNumberProperty(opos::PIDX_ErrorLevel), opos::FPTR_EL_NONE);
  EXPECT_EQ(unit_->GetNumberProperty(opos::PIDX_ErrorOutID), 0);
  EXPECT_EQ(unit_->GetNumberProperty(opos::PIDX_ErrorState), 0);
  EXPECT_EQ(unit_->GetNumberProperty(opos::PIDX_ErrorStation), 0);
}

TEST_F(UnitTest, SuccessAfterFailureClearsTheResultFields) {
  ASSERT_EQ(Open(), 0);
  unit_->connect_result = {opos::OPOS_E_EXTENDED, 207, "bad"};
  EXPECT_EQ(unit_->ClaimDevice(0), opos::OPOS_E_EXTENDED);
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_ResultCodeExtended), 207);
  unit_->connect_result = {};
  EXPECT_EQ(unit_->ClaimDevice(0), 0);
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_ResultCodeExtended), 0);
  EXPECT_EQ(unit_->GetPropertyString(opos::PIDX_ErrorString), "");
}

TEST_F(UnitTest, WrongStateTextCarriesTheWindows1252Apostrophe) {
  OpenClaimEnable();
  unit_->SetNumberProperty(opos::PIDX_PrinterState, 2);
  try {
    unit_->verifyPrinterState(opos::FPTR_PS_MONITOR, 4);
    FAIL() << "verifyPrinterState must throw";
  } catch (const COposException& e) {
    EXPECT_EQ(e.code(), opos::OPOS_E_EXTENDED);
    EXPECT_EQ(e.extended(), opos::OPOS_EFPTR_WRONG_STATE);
    EXPECT_EQ(e.text(),
              "The Fiscal Printer\x92s current state does not allow this state transition");
  }
  EXPECT_NO_THROW(unit_->verifyPrinterState(opos::FPTR_PS_MONITOR, 2));
  // Through the automation face the same text arrives as UTF-8.
  Variant text;
  std::array<Variant, 1> index = {Variant::Long(opos::PIDX_ErrorString)};
  ASSERT_EQ(unit_->Invoke(18, automation::InvokeKind::Method, index, &text), automation::S_OK);
  EXPECT_EQ(text.AsText(),
            "The Fiscal Printer\xE2\x80\x99s current state does not allow this state transition");
}

TEST_F(UnitTest, DayClosedAndVatIdChecks) {
  OpenClaimEnable();
  EXPECT_NO_THROW(unit_->verifyDayClosed());
  unit_->SetNumberProperty(opos::PIDX_DayOpened, 1);
  try {
    unit_->verifyDayClosed();
    FAIL();
  } catch (const COposException& e) {
    EXPECT_EQ(e.code(), opos::OPOS_E_ILLEGAL);
    EXPECT_EQ(e.text(), "The Fiscal Printer has already begun the fiscal day");
  }
  // Without a printer configuration only negative values are known to be wrong; -1 is the
  // item-sale marker and passes there alone.
  EXPECT_NO_THROW(unit_->verifyVatId(99));
  EXPECT_NO_THROW(unit_->verifyVatId(-1, true));
  try {
    unit_->verifyVatId(-1);
    FAIL();
  } catch (const COposException& e) {
    EXPECT_EQ(e.extended(), opos::OPOS_EFPTR_BAD_VAT);
    EXPECT_EQ(e.text(), "The VAT information is invalid");
  }
}

// ---- The automation face ----

TEST(DispatchTableTest, NamesResolveIgnoringCase) {
  TempDir dir;
  ComPtr<TestUnit> unit(new TestUnit(dir.File("none.reg")));
  automation::DispId id = 0;
  EXPECT_EQ(unit->GetIDsOfNames("PRINTRECVOID", &id), automation::S_OK);
  EXPECT_EQ(id, 77);
  EXPECT_EQ(unit->GetIDsOfNames("printrecitemadjustmentvoid", &id), automation::S_OK);
  EXPECT_EQ(id, 80);
  EXPECT_EQ(unit->GetIDsOfNames("openservice", &id), automation::S_OK);
  EXPECT_EQ(id, 11);
  EXPECT_EQ(unit->GetIDsOfNames("printRecVoidd", &id), automation::DISP_E_UNKNOWNNAME);
}

TEST_F(UnitTest, InvokeByNameRunsTheMethodAndReturnsItsCode) {
  std::array<Variant, 3> open_args = {Variant::Text("FiscalPrinter"), Variant::Text(kDeviceName),
                                      Variant::Dispatch(control_.Get())};
  Variant result;
  ASSERT_EQ(automation::InvokeByName(unit_.Get(), "OPENSERVICE", automation::InvokeKind::Method,
                                     open_args, &result),
            automation::S_OK);
  EXPECT_EQ(result.AsLong(-1), 0);
  std::array<Variant, 1> claim = {Variant::Long(0)};
  ASSERT_EQ(unit_->Invoke(2, automation::InvokeKind::Method, claim, &result), automation::S_OK);
  EXPECT_EQ(result.AsLong(-1), 0);
  Variant open_result;
  ASSERT_EQ(unit_->Invoke(10, automation::InvokeKind::Method, {}, &open_result), automation::S_OK);
  EXPECT_EQ(open_result.AsLong(-1), 0);
}

TEST_F(UnitTest, InvokeRejectsBadIdentifiersCountsAndTypes) {
  Variant result;
  EXPECT_EQ(unit_->Invoke(0, automation::InvokeKind::Method, {}, &result),
            automation::DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(unit_->Invoke(81, automation::InvokeKind::Method, {}, &result),
            automation::DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(unit_->Invoke(2, automation::InvokeKind::Method, {}, &result),
            automation::DISP_E_BADPARAMCOUNT);
  std::array<Variant, 1> bad = {Variant::Text("not a number")};
  EXPECT_EQ(unit_->Invoke(2, automation::InvokeKind::Method, bad, &result),
            automation::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_ResultCode), opos::OPOS_E_CLOSED)
      << "a call refused at the boundary runs nothing";
}

TEST_F(UnitTest, TextArgumentsAreConvertedBothWays) {
  OpenClaimEnable();
  // "é" and "€" in UTF-8 become the single Windows-1252 bytes 0xE9 and 0x80 inside.
  std::array<Variant, 2> set = {Variant::Long(opos::PIDX_PreLine),
                                Variant::Text("Caf\xC3\xA9 \xE2\x82\xAC")};
  ASSERT_EQ(unit_->Invoke(20, automation::InvokeKind::Method, set, nullptr), automation::S_OK);
  EXPECT_EQ(unit_->GetStringProperty(opos::PIDX_PreLine), "Caf\xE9 \x80");
  Variant back;
  std::array<Variant, 1> get = {Variant::Long(opos::PIDX_PreLine)};
  ASSERT_EQ(unit_->Invoke(18, automation::InvokeKind::Method, get, &back), automation::S_OK);
  EXPECT_EQ(back.AsText(), "Caf\xC3\xA9 \xE2\x82\xAC");
}

TEST_F(UnitTest, DirectIODataArrayIsNeverTouchedBeyondItsCount) {
  OpenClaimEnable();
  std::array<int32_t, 3> storage = {5, 6, 7};
  std::string text = "unchanged \xE2\x82\xAC";
  std::array<Variant, 3> args = {Variant::Long(1000), Variant::LongRef(storage.data(), 2),
                                 Variant::TextRef(&text)};
  Variant result;
  ASSERT_EQ(unit_->Invoke(9, automation::InvokeKind::Method, args, &result), automation::S_OK);
  EXPECT_EQ(storage[2], 7);
  EXPECT_EQ(text, "unchanged \xE2\x82\xAC");
  // An empty array is not dereferenced at all.
  std::array<Variant, 3> empty = {Variant::Long(1000), Variant::LongRef(nullptr, 0),
                                  Variant::TextRef(&text)};
  EXPECT_EQ(unit_->Invoke(9, automation::InvokeKind::Method, empty, &result), automation::S_OK);
}

TEST_F(UnitTest, PropertySettersReturnNothingAndGettersReturnTheValue) {
  ASSERT_EQ(Open(), 0);
  std::array<Variant, 2> set = {Variant::Long(opos::PIDX_AsyncMode), Variant::Long(1)};
  Variant result = Variant::Long(99);
  ASSERT_EQ(unit_->Invoke(19, automation::InvokeKind::Method, set, &result), automation::S_OK);
  EXPECT_EQ(result.type(), automation::VarType::Empty);
  std::array<Variant, 1> get = {Variant::Long(opos::PIDX_AsyncMode)};
  ASSERT_EQ(unit_->Invoke(17, automation::InvokeKind::Method, get, &result), automation::S_OK);
  EXPECT_EQ(result.AsLong(), 1);
}

}  // namespace
}  // namespace kelo::service::testing
