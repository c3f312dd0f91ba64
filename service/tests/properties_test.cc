// Property access groups, capability gates, defaults, write rules and names.
#include <gtest/gtest.h>

#include "service/tests/service_test_support.h"

namespace kelo::service::testing {
namespace {

class PropertiesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    trace::ResetForTesting();
    registry_ = dir_.File("registry.reg");
    WriteDeviceKey(registry_,
                   {{"Port", RegValue::String(pty_.path())}, {"LogEnabled", RegValue::Dword(0)}});
    unit_ = ComPtr<TestUnit>(new TestUnit(registry_));
    control_ = FakeControl::Make();
  }
  void Open() { ASSERT_EQ(unit_->OpenService("FiscalPrinter", kDeviceName, control_.Get()), 0); }
  void OpenClaimEnable() {
    Open();
    ASSERT_EQ(unit_->ClaimDevice(0), 0);
    unit_->SetPropertyNumber(opos::PIDX_DeviceEnabled, 1);
  }
  void ExpectRefused(int32_t code, const std::string& text) {
    EXPECT_EQ(unit_->result_code(), code);
    EXPECT_EQ(unit_->result_code_extended(), 0);
    EXPECT_EQ(unit_->error_string(), text);
  }

  TempDir dir_;
  Pty pty_;
  std::string registry_;
  ComPtr<TestUnit> unit_;
  ComPtr<FakeControl> control_;
};

constexpr char kNotAccessible[] = "Property not yet accessible ... check claim or/and enabled";

TEST_F(PropertiesTest, BeforeOpenOnlyResultAndStateAreReadable) {
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_State), opos::OPOS_S_CLOSED);
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_ResultCode), opos::OPOS_E_CLOSED);
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_ServiceObjectVersion), 0);
  ExpectRefused(opos::OPOS_E_FAILURE, kNotAccessible);
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_ResultCode), opos::OPOS_E_FAILURE)
      << "a refused read writes the result fields";
}

TEST_F(PropertiesTest, AccessGroupsFollowTheLifecycle) {
  Open();
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_ServiceObjectVersion), 1011000);
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_PrinterState), opos::FPTR_PS_MONITOR);
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_DeviceEnabled), 0);
  ExpectRefused(opos::OPOS_E_FAILURE, kNotAccessible);
  unit_->GetPropertyNumber(opos::PIDX_DayOpened);
  ExpectRefused(opos::OPOS_E_FAILURE, kNotAccessible);
  ASSERT_EQ(unit_->ClaimDevice(0), 0);
  unit_->GetPropertyNumber(opos::PIDX_DeviceEnabled);
  EXPECT_EQ(unit_->result_code(), 0);
  unit_->GetPropertyNumber(opos::PIDX_DayOpened);
  ExpectRefused(opos::OPOS_E_FAILURE, kNotAccessible);
  unit_->SetPropertyNumber(opos::PIDX_DeviceEnabled, 1);
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_DayOpened), 0);
  EXPECT_EQ(unit_->result_code(), 0);
  for (int32_t never : {opos::PIDX_DataEventEnabled, opos::PIDX_AutoDisable, opos::PIDX_DataCount,
                        15, 506, 16037, 16557, 1000005, 1016009}) {
    unit_->GetPropertyNumber(never);
    ExpectRefused(opos::OPOS_E_FAILURE, kNotAccessible);
  }
}

TEST_F(PropertiesTest, SuccessfulReadsKeepThePreviousMethodsResult) {
  OpenClaimEnable();
  EXPECT_EQ(unit_->ResetStatistics(""), opos::OPOS_E_ILLEGAL);
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_PrinterState), opos::FPTR_PS_MONITOR);
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_ResultCode), opos::OPOS_E_ILLEGAL);
  EXPECT_EQ(unit_->GetPropertyString(opos::PIDX_ErrorString), "Not supported");
}

TEST_F(PropertiesTest, CapabilityGatesRefuseReadsAndWrites) {
  OpenClaimEnable();
  unit_->GetPropertyNumber(opos::PIDX_PowerNotify);
  ExpectRefused(opos::OPOS_E_ILLEGAL, "CapPowerReporting is OPOS_PR_NONE");
  unit_->GetPropertyString(opos::PIDX_ChangeDue);
  ExpectRefused(opos::OPOS_E_ILLEGAL, "CapChangeDue is false");
  unit_->SetPropertyNumber(opos::PIDX_FiscalReceiptStation, 1);
  ExpectRefused(opos::OPOS_E_ILLEGAL, "CapFiscalReceiptStation is FALSE");
  unit_->SetPropertyString(opos::PIDX_ChangeDue, "x");
  ExpectRefused(opos::OPOS_E_ILLEGAL, "CapChangeDue is false");
  unit_->GetPropertyNumber(opos::PIDX_SlpEmpty);
  ExpectRefused(opos::OPOS_E_ILLEGAL, "CapSlpEmptySensor is false");
  // An open gate passes.
  ASSERT_EQ(unit_->ClearInputProperties(), 0);
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_CoverOpen), 0);
  EXPECT_EQ(unit_->result_code(), 0);
}

TEST_F(PropertiesTest, DefaultsAfterOpen) {
  OpenClaimEnable();
  const std::pair<int32_t, int32_t> expected[] = {
      {opos::PIDX_FreezeEvents, 1},
      {opos::PIDX_PowerState, 2000},
      {opos::PIDX_AmountDecimalPlaces, 2},
      {opos::PIDX_CheckTotal, 1},
      {opos::PIDX_CountryCode, 8},
      {opos::PIDX_DescriptionLength, 24},
      {opos::PIDX_ErrorLevel, 1},
      {opos::PIDX_MessageLength, 30},
      {opos::PIDX_NumHeaderLines, 5},
      {opos::PIDX_QuantityLength, 12},
      {opos::PIDX_DateType, 4},
      {opos::PIDX_FiscalReceiptType, 4},
      {opos::PIDX_MessageType, 24},
      {opos::PIDX_TotalizerType, 2},
      {opos::PIDX_CapXReport, 1},
      {opos::PIDX_CapPowerReporting, 0},
      {opos::PIDX_CapCheckTotal, 0},
      {opos::PIDX_CapPostPreLine, 1},
      {opos::PIDX_CapPositiveSubtotalAdjustment, 1},
      {opos::PIDX_CapSetCurrency, 0},
  };
  for (const auto& [index, value] : expected) {
    EXPECT_EQ(unit_->GetPropertyNumber(index), value) << CFiscalPrinterUnit::GetPropertyName(index);
  }
  EXPECT_EQ(unit_->GetPropertyString(opos::PIDX_DeviceDescription), "KeloFPU Fiscal Printer");
  EXPECT_EQ(unit_->GetPropertyString(opos::PIDX_DeviceName), "KeloFPU Fiscal Printer Unit");
  EXPECT_EQ(unit_->GetPropertyString(opos::PIDX_ServiceObjectDescription)
                .rfind("KELO Fiscal Printer Unit OPOS Service Driver, ", 0),
            0u);
  EXPECT_EQ(unit_->GetPropertyString(opos::PIDX_ReservedWord), "");
  EXPECT_EQ(unit_->result_code(), 0) << "ReservedWord reads empty although CapReservedWord is 1";
}

TEST_F(PropertiesTest, CapabilitiesAcceptWritesButKeepTheirValue) {
  Open();
  unit_->SetPropertyNumber(opos::PIDX_CapAdditionalLines, 0);
  EXPECT_EQ(unit_->result_code(), 0);
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_CapAdditionalLines), 1);
}

TEST_F(PropertiesTest, WriteRules) {
  OpenClaimEnable();
  unit_->SetPropertyNumber(opos::PIDX_AsyncMode, 2);
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_AsyncMode), 0) << "only 1 switches it on";
  unit_->SetPropertyNumber(opos::PIDX_AsyncMode, 1);
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_AsyncMode), 1);

  unit_->SetPropertyNumber(opos::PIDX_CheckTotal, 0);
  ExpectRefused(opos::OPOS_E_ILLEGAL, "CapCheckTotal is false; this property is readonly");
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_CheckTotal), 1);

  unit_->SetPropertyNumber(opos::PIDX_FiscalReceiptType, opos::FPTR_RT_REFUND);
  EXPECT_EQ(unit_->result_code(), opos::OPOS_E_ILLEGAL)
      << "an accepted write leaves the last result";
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_FiscalReceiptType), opos::FPTR_RT_REFUND);
  unit_->SetPropertyNumber(opos::PIDX_FiscalReceiptType, 3);
  ExpectRefused(opos::OPOS_E_ILLEGAL,
                "The Fiscal Printer does not support the specified receipt type");
  unit_->SetNumberProperty(opos::PIDX_PrinterState, 2);  // a receipt is open
  unit_->SetPropertyNumber(opos::PIDX_FiscalReceiptType, opos::FPTR_RT_SALES);
  EXPECT_EQ(unit_->result_code(), opos::OPOS_E_EXTENDED);
  EXPECT_EQ(unit_->result_code_extended(), opos::OPOS_EFPTR_WRONG_STATE);
  EXPECT_EQ(unit_->error_string(), "The Fiscal Printer is not currently in the Monitor State");
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_FiscalReceiptType), opos::FPTR_RT_REFUND);

  unit_->SetPropertyNumber(opos::PIDX_MessageType, 25);
  ExpectRefused(opos::OPOS_E_ILLEGAL, "The Fiscal Printer does not support this value");
  unit_->SetPropertyNumber(opos::PIDX_TotalizerType, opos::FPTR_TT_DOCUMENT);
  ExpectRefused(opos::OPOS_E_ILLEGAL, "TotalizerType FPTR_TT_DOCUMENT not supported");
  unit_->SetPropertyNumber(opos::PIDX_TotalizerType, 4);
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_TotalizerType), 4);
  unit_->SetPropertyNumber(opos::PIDX_DateType, 99);
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_DateType), 99);

  unit_->SetPropertyString(opos::PIDX_PostLine, "post");
  EXPECT_EQ(unit_->GetPropertyString(opos::PIDX_PostLine), "post");
  unit_->SetPropertyString(opos::PIDX_DeviceName, "renamed");
  EXPECT_EQ(unit_->GetPropertyString(opos::PIDX_DeviceName), "KeloFPU Fiscal Printer Unit");
}

TEST_F(PropertiesTest, EnablingReadsThePrinterStateAndReleaseDisables) {
  Open();
  unit_->SetPropertyNumber(opos::PIDX_DeviceEnabled, 1);
  ExpectRefused(opos::OPOS_E_FAILURE, kNotAccessible);
  ASSERT_EQ(unit_->ClaimDevice(0), 0);
  unit_->printer_state = 4;
  unit_->SetPropertyNumber(opos::PIDX_DeviceEnabled, 1);
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_PrinterState), 4);
  EXPECT_EQ(unit_->GetPropertyNumber(opos::PIDX_DeviceEnabled), 1);
}

TEST_F(PropertiesTest, OpenResetsTheStoreAndTheVatTable) {
  OpenClaimEnable();
  unit_->SetPropertyString(opos::PIDX_PreLine, "x");
  unit_->SetVatTableEntry(3, 2200);
  unit_->SetVatTableEntry(101, 5);  // outside the table: ignored
  EXPECT_EQ(unit_->VatTableEntry(3), 2200);
  EXPECT_EQ(unit_->VatTableEntry(101), 0);
  ASSERT_EQ(unit_->CloseService(), 0);
  OpenClaimEnable();
  EXPECT_EQ(unit_->GetPropertyString(opos::PIDX_PreLine), "");
  EXPECT_EQ(unit_->VatTableEntry(3), 0);
}

TEST(PropertyNamesTest, NamesForTheTrace) {
  // The named ones are checked with the whole surface (surface_test.cc).
  EXPECT_STREQ(CFiscalPrinterUnit::GetPropertyName(opos::PIDX_DataEventEnabled),
               "UNDEFINED PROPERTY");
  EXPECT_STREQ(CFiscalPrinterUnit::GetPropertyName(0), "UNDEFINED PROPERTY");
  // Every capability index has its own name.
  for (int32_t i = 16501; i <= 16556; ++i) {
    EXPECT_EQ(std::string(CFiscalPrinterUnit::GetPropertyName(i)).rfind("Cap", 0), 0u) << i;
  }
}

}  // namespace
}  // namespace kelo::service::testing
