// DirectIO through the service face on the real stack (unit -> device layer -> pseudo-terminal
// -> printer simulator): dispatch, the caller's-thread drawer commands, data arrays shorter
// than a command needs, the refused commands and the trace lines.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstdlib>

#include "service/tests/service_test_support.h"
#include "simulator/simulator.h"

namespace kelo::service::testing {
namespace {

class DirectIOServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::SimulatorOptions options;
    options.start_time = {2026, 1, 15, 10, 30, 0};
    sim_ = std::make_unique<sim::Simulator>(options);
    std::string error;
    ASSERT_TRUE(sim_->Start(&error)) << error;
    registry_ = dir_.File("opos.reg");
    WriteDeviceKey(registry_, {{"Port", RegValue::String(sim_->slave_path())},
                               {"LogPath", RegValue::String(dir_.path() + "/")}});
    unit_ = ComPtr<CFiscalPrinterUnit>(new CFiscalPrinterUnit(registry_));
    control_ = FakeControl::Make();
    ASSERT_EQ(unit_->OpenService("FiscalPrinter", kDeviceName, control_.Get()), 0);
    ASSERT_EQ(unit_->ClaimDevice(3000), 0) << unit_->error_string();
    unit_->SetPropertyNumber(opos::PIDX_DeviceEnabled, 1);
    ASSERT_EQ(unit_->result_code(), 0) << unit_->error_string();
  }
  void TearDown() override {
    if (unit_) unit_->CloseService();
    unit_ = nullptr;
    sim_->Stop();
  }
  void Expect(int32_t code, const std::string& text) {
    EXPECT_EQ(unit_->result_code(), code);
    EXPECT_EQ(unit_->error_string(), text);
  }

  TempDir dir_;
  std::string registry_;
  std::unique_ptr<sim::Simulator> sim_;
  ComPtr<FakeControl> control_;
  ComPtr<CFiscalPrinterUnit> unit_;
};

TEST_F(DirectIOServiceTest, DebugUnknownAndDeprecatedCommands) {
  int32_t data[1] = {7};
  std::string text = "hello";
  EXPECT_EQ(unit_->DirectIO(9999, data, &text), 0);
  EXPECT_EQ(unit_->DirectIO(1234, data, &text), 106);
  Expect(106, "Not supported");
  const std::pair<int32_t, const char*> deprecated[] = {
      {1101, "DIRECTIO_FPTR_BMPPRINT directIO can't be used with this version"},
      {1200, "DIRECTIO_FPTR_BARCODEPRINT directIO can't be used with this version"},
      {1400, "DIRECTIO_FPTR_CREDITNOTE_BEGIN directIO can't be used with this version"},
      {1401, "DIRECTIO_FPTR_CREDITNOTE_END directIO can't be used with this version"}};
  for (const auto& [command, message] : deprecated) {
    EXPECT_EQ(unit_->DirectIO(command, data, &text), 115);
    Expect(115, message);
  }
  EXPECT_EQ(text, "hello");
  const std::string trace = ReadFile(dir_.File("KELOFPU.log"));
  EXPECT_NE(trace.find("+CFiscalPrinterUnit::DirectIO(9999, 7, hello)\n"), std::string::npos);
  EXPECT_NE(trace.find("-CFiscalPrinterUnit::DirectIO => 115\n"), std::string::npos);
}

TEST_F(DirectIOServiceTest, DrawerCommandsRunOnTheCallersThread) {
  int32_t state[1] = {-5};
  std::string text;
  ASSERT_EQ(unit_->DirectIO(1001, state, &text), 0);
  EXPECT_EQ(state[0], 0);
  ASSERT_EQ(unit_->DirectIO(1000, state, &text), 0);
  EXPECT_TRUE(sim_->printer([](sim::Printer& p) { return p.DrawerOpen(); }));
  int32_t wait[2] = {30, -5};
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(unit_->DirectIO(1002, wait, &text), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
  EXPECT_EQ(wait[1], 1);  // still open
}

TEST_F(DirectIOServiceTest, TooShortDataIsRefusedAndNothingIsSent) {
  int32_t one[1] = {30};
  std::string text;
  EXPECT_EQ(unit_->DirectIO(1002, one, &text), 106);
  Expect(106, "DirectIO 1002 needs 2 data elements, 1 given");
  EXPECT_EQ(one[0], 30);
  int32_t ej[3] = {1, 0, 0};
  text = dir_.File("ej.txt");
  EXPECT_EQ(unit_->DirectIO(1500, ej, &text), 106);
  Expect(106, "DirectIO 1500 needs 7 data elements, 3 given");
  int32_t poll[2] = {1, 500};
  EXPECT_EQ(unit_->DirectIO(9003, poll, &text), 106);
  EXPECT_EQ(unit_->DirectIO(1001, {}, &text), 106);
  // 9002 does not use its element.
  EXPECT_EQ(unit_->DirectIO(9002, {}, &text), 0) << unit_->error_string();
}

TEST_F(DirectIOServiceTest, DepartmentsPollingAndAReportFile) {
  int32_t read[1] = {0};
  std::string text;
  ASSERT_EQ(unit_->DirectIO(9001, read, &text), 0) << unit_->error_string();
  EXPECT_EQ(text.substr(0, 3), "1A,");
  int32_t set[1] = {1};
  std::string links = "2b";
  ASSERT_EQ(unit_->DirectIO(9001, set, &links), 0) << unit_->error_string();
  EXPECT_EQ(links, "2b");
  ASSERT_EQ(unit_->DirectIO(9001, read, &text), 0);
  EXPECT_EQ(text.substr(0, 6), "1A,2B,");
  links = "2b,x";
  EXPECT_EQ(unit_->DirectIO(9001, set, &links), 106);

  int32_t poll[4] = {1, -1, 50, -1};
  text = "to be emptied";
  ASSERT_EQ(unit_->DirectIO(9003, poll, &text), 0);
  EXPECT_EQ(text, "");

  int32_t mode[1] = {1};
  std::string dest = dir_.File("x.txt");
  ASSERT_EQ(unit_->DirectIO(1501, mode, &dest), 0) << unit_->error_string();
  EXPECT_NE(ReadFile(dest).find("X"), std::string::npos);
  EXPECT_EQ(unit_->GetNumberProperty(opos::PIDX_PrinterState), 1);
}

}  // namespace
}  // namespace kelo::service::testing
