// Odd but possible input through the automation face, on the real stack down to the printer
// simulator: whatever the arguments hold, the paper shows nothing the caller did not mean, and
// a refused call says why.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>

#include "service/tests/service_test_support.h"
#include "simulator/simulator.h"

namespace kelo::service::testing {
namespace {

constexpr automation::DispId kPrintRecItem = 49;
constexpr automation::DispId kPrintRecRefund = 57;

class BadInputTest : public ::testing::Test {
 protected:
  void Start(bool strict_text) {
    sim::SimulatorOptions options;
    options.start_time = {2026, 1, 15, 10, 30, 0};
    sim_ = std::make_unique<sim::Simulator>(options);
    std::string error;
    ASSERT_TRUE(sim_->Start(&error)) << error;
    const std::string registry = dir_.File("opos.reg");
    WriteDeviceKey(registry, {{"Port", RegValue::String(sim_->slave_path())},
                              {"LogPath", RegValue::String(dir_.path() + "/")},
                              {"StrictText", RegValue::Dword(strict_text ? 1 : 0)}});
    trace::ResetForTesting();
    unit_ = ComPtr<CFiscalPrinterUnit>(new CFiscalPrinterUnit(registry));
    control_ = FakeControl::Make();
    ASSERT_EQ(unit_->OpenService("FiscalPrinter", kDeviceName, control_.Get()), 0);
    ASSERT_EQ(unit_->ClaimDevice(3000), 0) << unit_->error_string();
    unit_->SetPropertyNumber(opos::PIDX_DeviceEnabled, 1);
    ASSERT_EQ(unit_->beginFiscalReceipt(false), 0) << unit_->error_string();
    mark_ = sim_->PaperMark();
  }
  void TearDown() override {
    if (unit_) unit_->CloseService();
    unit_ = nullptr;
    if (sim_) sim_->Stop();
  }
  // printRecItem(description, price, quantity 1, VAT 1, unit price 0, "") by dispatch.
  int32_t Item(const std::string& description_utf8, int64_t price_raw) {
    std::array<Variant, 6> args = {Variant::Text(description_utf8),
                                   Variant::Cy(price_raw),
                                   Variant::Long(1000),
                                   Variant::Long(1),
                                   Variant::Cy(int64_t{0}),
                                   Variant::Text("")};
    Variant result;
    EXPECT_EQ(unit_->Invoke(kPrintRecItem, automation::InvokeKind::Method, args, &result),
              automation::S_OK);
    return result.AsLong(-1);
  }
  std::string Paper() {
    std::string all;
    for (const std::string& line : sim_->PaperSince(mark_)) all += line + "\n";
    return all;
  }
  std::string Trace() { return ReadFile(dir_.File("KELOFPU.log")); }
  void ExpectRefused(int32_t code, int32_t extended, const std::string& piece) {
    EXPECT_EQ(unit_->result_code(), code);
    EXPECT_EQ(unit_->result_code_extended(), extended);
    EXPECT_NE(unit_->error_string().find(piece), std::string::npos) << unit_->error_string();
  }

  TempDir dir_;
  std::unique_ptr<sim::Simulator> sim_;
  ComPtr<CFiscalPrinterUnit> unit_;
  ComPtr<FakeControl> control_;
  size_t mark_ = 0;
};

TEST_F(BadInputTest, TheFieldSeparatorInATextNeverAddsFields) {
  Start(false);
  // Once sold at 999.00; a refund of 1.00 printed as -4.00.
  ASSERT_EQ(Item("Apple\x1F"
                 "99900\x1F"
                 "1",
                 10000),
            0);
  std::array<Variant, 3> refund = {Variant::Text("Back\x1F"
                                                 "400"),
                                   Variant::Cy(int64_t{10000}), Variant::Long(1)};
  Variant result;
  ASSERT_EQ(unit_->Invoke(kPrintRecRefund, automation::InvokeKind::Method, refund, &result),
            automation::S_OK);
  ASSERT_EQ(result.AsLong(-1), 0) << unit_->error_string();
  const std::string paper = Paper();
  EXPECT_NE(paper.find("Apple?99900?1"), std::string::npos) << paper;
  EXPECT_NE(paper.find("1.00"), std::string::npos) << paper;
  EXPECT_EQ(paper.find("999.00"), std::string::npos) << paper;
  EXPECT_EQ(paper.find("4.00"), std::string::npos) << paper;
  EXPECT_NE(Trace().find("U+001F '?'"), std::string::npos);
}

TEST_F(BadInputTest, AnAmountThePrinterCannotHoldIsRefusedAndNothingIsSent) {
  Start(false);
  for (int64_t raw : {int64_t{429496730100}, int64_t{999999999999900}}) {  // 42949673.01, ...
    EXPECT_EQ(Item("Apple", raw), 114);
    ExpectRefused(114, 214, "21474836.47");
  }
  EXPECT_EQ(Paper(), "");
}

TEST_F(BadInputTest, UnprintableLettersAreFoldedAndTraced) {
  Start(false);
  ASSERT_EQ(Item("Z\xC5\x82oty \xE2\x82\xB9", 10000), 0);  // "Złoty ₹"
  EXPECT_NE(Paper().find("Zloty ?"), std::string::npos) << Paper();
  EXPECT_NE(Trace().find("U+0142 'l', U+20B9 '?'"), std::string::npos);
}

TEST_F(BadInputTest, StrictTextRefusesWhatCannotBePrintedAsGiven) {
  Start(true);
  EXPECT_EQ(Item("Z\xC5\x82oty", 10000), 114);
  ExpectRefused(114, 215, "U+0142");
  EXPECT_EQ(Item("Caf\xC3\xA9", 10000), 0);  // é is in the printer's code page
  EXPECT_EQ(Paper().find("Z"), std::string::npos) << Paper();
}

TEST_F(BadInputTest, MalformedUtf8IsRefusedAlways) {
  Start(false);
  EXPECT_EQ(Item("Apple \xC3(", 10000), 106);
  ExpectRefused(106, 0, "not valid UTF-8");
  EXPECT_EQ(Paper(), "");
}

TEST_F(BadInputTest, ADescriptionLongerThanThePrinterTakesIsRefusedWithTheLimit) {
  Start(false);
  EXPECT_EQ(Item(std::string(10000, 'A'), 10000), 114);
  ExpectRefused(114, 215, "at most 38");
  EXPECT_EQ(Paper(), "");
}

TEST_F(BadInputTest, AFifoNamedLikeTheTraceFileIsNeitherWaitedOnNorWritten) {
  // Once Open() hung here for good, waiting for a reader.
  ASSERT_EQ(::mkfifo(dir_.File("KELOFPU.log").c_str(), 0600), 0);
  Start(false);
  EXPECT_EQ(Item("Apple", 10000), 0);
}

}  // namespace
}  // namespace kelo::service::testing
