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
    unit_->SetPropertyNumber(pidx::DeviceEnabled, 1);
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
  EXPECT_EQ(unit_->GetPropertyNumber(pidx::State), OPOS_S_CLOSED);
  EXPECT_EQ(unit_->GetPropertyNumber(pidx::ResultCode), OPOS_E_CLOSED);
  EXPECT_EQ(unit_->GetPropertyNumber(pidx::ServiceObjectVersion), 0);
  ExpectRefused(OPOS_E_FAILURE, kNotAccessible);
  EXPECT_EQ(unit_->GetPropertyNumber(pidx::ResultCode), OPOS_E_FAILURE)
      << "a refused read writes the result fields";
}

TEST_F(PropertiesTest, AccessGroupsFollowTheLifecycle) {
  Open();
  EXPECT_EQ(unit_->GetPropertyNumber(pidx::ServiceObjectVersion), 1011000);
  EXPECT_EQ(unit_->GetPropertyNumber(pidx::PrinterState), FPTR_PS_MONITOR);
  EXPECT_EQ(unit_->GetPropertyNumber(pidx::DeviceEnabled), 0);
  ExpectRefused(OPOS_E_FAILURE, kNotAccessible);
  unit_->GetPropertyNumber(pidx::DayOpened);
  ExpectRefused(OPOS_E_FAILURE, kNotAccessible);
  ASSERT_EQ(unit_->ClaimDevice(0), 0);
  unit_->GetPropertyNumber(pidx::DeviceEnabled);
  EXPECT_EQ(unit_->result_code(), 0);
  unit_->GetPropertyNumber(pidx::DayOpened);
  ExpectRefused(OPOS_E_FAILURE, kNotAccessible);
  unit_->SetPropertyNumber(pidx::DeviceEnabled, 1);
  EXPECT_EQ(unit_->GetPropertyNumber(pidx::DayOpened), 0);
  EXPECT_EQ(unit_->result_code(), 0);
  for (int32_t never : {pidx::DataEventEnabled, pidx::AutoDisable, pidx::DataCount, 15, 506, 16037,
                        16557, 1000005, 1016009}) {
    unit_->GetPropertyNumber(never);
    ExpectRefused(OPOS_E_FAILURE, kNotAccessible);
  }
}

TEST_F(PropertiesTest, SuccessfulReadsKeepThePreviousMethodsResult) {
  OpenClaimEnable();
  EXPECT_EQ(unit_->ResetStatistics(""), OPOS_E_ILLEGAL);
  EXPECT_EQ(unit_->GetPropertyNumber(pidx::PrinterState), FPTR_PS_MONITOR);
  EXPECT_EQ(unit_->GetPropertyNumber(pidx::ResultCode), OPOS_E_ILLEGAL);
  EXPECT_EQ(unit_->GetPropertyString(pidx::ErrorString), "Not supported");
}

TEST_F(PropertiesTest, CapabilityGatesRefuseReadsAndWrites) {
  OpenClaimEnable();
  unit_->GetPropertyNumber(pidx::PowerNotify);
  ExpectRefused(OPOS_E_ILLEGAL, "CapPowerReporting is OPOS_PR_NONE");
  unit_->GetPropertyString(pidx::ChangeDue);
  ExpectRefused(OPOS_E_ILLEGAL, "CapChangeDue is false");
  unit_->SetPropertyNumber(pidx::FiscalReceiptStation, 1);
  ExpectRefused(OPOS_E_ILLEGAL, "CapFiscalReceiptStation is FALSE");
  unit_->SetPropertyString(pidx::ChangeDue, "x");
  ExpectRefused(OPOS_E_ILLEGAL, "CapChangeDue is false");
  unit_->GetPropertyNumber(pidx::SlpEmpty);
  ExpectRefused(OPOS_E_ILLEGAL, "CapSlpEmptySensor is false");
  // An open gate passes.
  ASSERT_EQ(unit_->ClearInputProperties(), 0);
  EXPECT_EQ(unit_->GetPropertyNumber(pidx::CoverOpen), 0);
  EXPECT_EQ(unit_->result_code(), 0);
}

TEST_F(PropertiesTest, DefaultsAfterOpen) {
  OpenClaimEnable();
  const std::pair<int32_t, int32_t> expected[] = {
      {pidx::FreezeEvents, 1},
      {pidx::PowerState, 2000},
      {pidx::AmountDecimalPlaces, 2},
      {pidx::CheckTotal, 1},
      {pidx::CountryCode, 8},
      {pidx::DescriptionLength, 24},
      {pidx::ErrorLevel, 1},
      {pidx::MessageLength, 30},
      {pidx::NumHeaderLines, 5},
      {pidx::QuantityLength, 12},
      {pidx::DateType, 4},
      {pidx::FiscalReceiptType, 4},
      {pidx::MessageType, 24},
      {pidx::TotalizerType, 2},
      {pidx::CapXReport, 1},
      {pidx::CapPowerReporting, 0},
      {pidx::CapCheckTotal, 0},
      {pidx::CapPostPreLine, 1},
      {pidx::CapPositiveSubtotalAdjustment, 1},
      {pidx::CapSetCurrency, 0},
  };
  for (const auto& [index, value] : expected) {
    EXPECT_EQ(unit_->GetPropertyNumber(index), value) << CFiscalPrinterUnit::GetPropertyName(index);
  }
  EXPECT_EQ(unit_->GetPropertyString(pidx::DeviceDescription), "KeloFPU Fiscal Printer");
  EXPECT_EQ(unit_->GetPropertyString(pidx::DeviceName), "KeloFPU Fiscal Printer Unit");
  EXPECT_EQ(unit_->GetPropertyString(pidx::ServiceObjectDescription)
                .rfind("KELO Fiscal Printer Unit OPOS Service Driver, ", 0),
            0u);
  EXPECT_EQ(unit_->GetPropertyString(pidx::ReservedWord), "");
  EXPECT_EQ(unit_->result_code(), 0) << "ReservedWord reads empty although CapReservedWord is 1";
}

TEST_F(PropertiesTest, CapabilitiesAcceptWritesButKeepTheirValue) {
  Open();
  unit_->SetPropertyNumber(pidx::CapAdditionalLines, 0);
  EXPECT_EQ(unit_->result_code(), 0);
  EXPECT_EQ(unit_->GetPropertyNumber(pidx::CapAdditionalLines), 1);
}

TEST_F(PropertiesTest, WriteRules) {
  OpenClaimEnable();
  unit_->SetPropertyNumber(pidx::AsyncMode, 2);
  EXPECT_EQ(unit_->GetPropertyNumber(pidx::AsyncMode), 0) << "only 1 switches it on";
  unit_->SetPropertyNumber(pidx::AsyncMode, 1);
  EXPECT_EQ(unit_->GetPropertyNumber(pidx::AsyncMode), 1);

  unit_->SetPropertyNumber(pidx::CheckTotal, 0);
  ExpectRefused(OPOS_E_ILLEGAL, "CapCheckTotal is false; this property is readonly");
  EXPECT_EQ(unit_->GetPropertyNumber(pidx::CheckTotal), 1);

  unit_->SetPropertyNumber(pidx::FiscalReceiptType, FPTR_RT_REFUND);
  EXPECT_EQ(unit_->result_code(), OPOS_E_ILLEGAL) << "an accepted write leaves the last result";
  EXPECT_EQ(unit_->GetPropertyNumber(pidx::FiscalReceiptType), FPTR_RT_REFUND);
  unit_->SetPropertyNumber(pidx::FiscalReceiptType, 3);
  ExpectRefused(OPOS_E_ILLEGAL, "The Fiscal Printer does not support the specified receipt type");
  unit_->SetNumberProperty(pidx::PrinterState, 2);  // a receipt is open
  unit_->SetPropertyNumber(pidx::FiscalReceiptType, FPTR_RT_SALES);
  EXPECT_EQ(unit_->result_code(), OPOS_E_EXTENDED);
  EXPECT_EQ(unit_->result_code_extended(), OPOS_EFPTR_WRONG_STATE);
  EXPECT_EQ(unit_->error_string(), "The Fiscal Printer is not currently in the Monitor State");
  EXPECT_EQ(unit_->GetPropertyNumber(pidx::FiscalReceiptType), FPTR_RT_REFUND);

  unit_->SetPropertyNumber(pidx::MessageType, 25);
  ExpectRefused(OPOS_E_ILLEGAL, "The Fiscal Printer does not support this value");
  unit_->SetPropertyNumber(pidx::TotalizerType, FPTR_TT_DOCUMENT);
  ExpectRefused(OPOS_E_ILLEGAL, "TotalizerType FPTR_TT_DOCUMENT not supported");
  unit_->SetPropertyNumber(pidx::TotalizerType, 4);
  EXPECT_EQ(unit_->GetPropertyNumber(pidx::TotalizerType), 4);
  unit_->SetPropertyNumber(pidx::DateType, 99);
  EXPECT_EQ(unit_->GetPropertyNumber(pidx::DateType), 99);

  unit_->SetPropertyString(pidx::PostLine, "post");
  EXPECT_EQ(unit_->GetPropertyString(pidx::PostLine), "post");
  unit_->SetPropertyString(pidx::DeviceName, "renamed");
  EXPECT_EQ(unit_->GetPropertyString(pidx::DeviceName), "KeloFPU Fiscal Printer Unit");
}

TEST_F(PropertiesTest, EnablingReadsThePrinterStateAndReleaseDisables) {
  Open();
  unit_->SetPropertyNumber(pidx::DeviceEnabled, 1);
  ExpectRefused(OPOS_E_FAILURE, kNotAccessible);
  ASSERT_EQ(unit_->ClaimDevice(0), 0);
  unit_->printer_state = 4;
  unit_->SetPropertyNumber(pidx::DeviceEnabled, 1);
  EXPECT_EQ(unit_->GetPropertyNumber(pidx::PrinterState), 4);
  EXPECT_EQ(unit_->GetPropertyNumber(pidx::DeviceEnabled), 1);
}

TEST_F(PropertiesTest, OpenResetsTheStoreAndTheVatTable) {
  OpenClaimEnable();
  unit_->SetPropertyString(pidx::PreLine, "x");
  unit_->SetVatTableEntry(3, 2200);
  unit_->SetVatTableEntry(101, 5);  // outside the table: ignored
  EXPECT_EQ(unit_->VatTableEntry(3), 2200);
  EXPECT_EQ(unit_->VatTableEntry(101), 0);
  ASSERT_EQ(unit_->CloseService(), 0);
  OpenClaimEnable();
  EXPECT_EQ(unit_->GetPropertyString(pidx::PreLine), "");
  EXPECT_EQ(unit_->VatTableEntry(3), 0);
}

TEST(PropertyNamesTest, NamesForTheTrace) {
  EXPECT_STREQ(CFiscalPrinterUnit::GetPropertyName(pidx::Claimed), "Claimed");
  EXPECT_STREQ(CFiscalPrinterUnit::GetPropertyName(pidx::PowerState), "PowerState");
  EXPECT_STREQ(CFiscalPrinterUnit::GetPropertyName(pidx::CapXReport), "CapXReport");
  EXPECT_STREQ(CFiscalPrinterUnit::GetPropertyName(pidx::TotalizerType), "TotalizerType");
  EXPECT_STREQ(CFiscalPrinterUnit::GetPropertyName(pidx::PreLine), "PreLine");
  EXPECT_STREQ(CFiscalPrinterUnit::GetPropertyName(pidx::DataEventEnabled), "UNDEFINED PROPERTY");
  EXPECT_STREQ(CFiscalPrinterUnit::GetPropertyName(0), "UNDEFINED PROPERTY");
  // Every capability index has its own name.
  for (int32_t i = 16501; i <= 16556; ++i) {
    EXPECT_EQ(std::string(CFiscalPrinterUnit::GetPropertyName(i)).rfind("Cap", 0), 0u) << i;
  }
}

}  // namespace
}  // namespace kelo::service::testing
