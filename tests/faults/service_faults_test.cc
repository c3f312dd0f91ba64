// The fault scenarios once more through the whole stack: the FiscalPrinter control object,
// the service object libsoKeloFpu.so loaded through the configuration file, the device
// layer, the real serial code and the simulator. These run at real protocol timing (the
// service object keeps the system clock), so a dead printer costs its full nine seconds.
// Built always; registered with ctest only once the service object is wired to the device
// layer (see tests/CMakeLists.txt).
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "control/fiscal_printer.h"
#include "opos/opos_constants.h"
#include "platform/automation/loader.h"
#include "platform/registry/config_store.h"
#include "simulator/simulator.h"
#include "testing/device_key.h"
#include "tests/faults/fault_fixture.h"

namespace kelo::faults {
namespace {

using namespace opos;
using Clock = std::chrono::steady_clock;

constexpr int32_t kPsMonitor = 1;  // FPTR_PS_MONITOR
constexpr int32_t kPsLocked = 8;   // FPTR_PS_LOCKED
// Three exchanges of 3000 ms, the busy pauses and a poll, with room for a loaded machine.
constexpr auto kDeadPrinterBound = std::chrono::seconds(20);

// One configuration file per test process, with the component registered in it.
const std::string& Registry() {
  static const std::string& file =
      kelo::testing::ProcessRegistry("kelofpu-service-faults", KELO_SO_KELO_FPU_PATH);
  return file;
}

// A printer behind a stable path (a symlink that survives its restarts) and the device key
// that points at it.
class Printer {
 public:
  explicit Printer(const std::string& name) : name_(name) {
    base_ = "/tmp/kelofpu-service-faults-" + std::to_string(getpid()) + "-" + name;
    std::remove((base_ + ".state").c_str());
    std::string error;
    EXPECT_TRUE(kelo::testing::WriteDeviceKey(Registry(), name, base_ + ".tty", 38400, &error))
        << error;
  }
  ~Printer() {
    if (sim_) sim_->Stop();
    std::remove((base_ + ".state").c_str());
  }
  void Start() {
    sim::SimulatorOptions o;
    o.state_file = base_ + ".state";
    sim_ = std::make_unique<sim::Simulator>(o);
    std::string error;
    ASSERT_TRUE(sim_->Start(&error)) << error;
    ASSERT_TRUE(sim_->LinkAt(base_ + ".tty", &error)) << error;
  }
  void Stop() { sim_->Stop(); }
  sim::Simulator& sim() { return *sim_; }
  const std::string& name() const { return name_; }

 private:
  std::string name_;
  std::string base_;
  std::unique_ptr<sim::Simulator> sim_;
};

std::unique_ptr<control::FiscalPrinter> OpenClaimEnable(const std::string& name) {
  control::FiscalPrinterOptions options;
  options.registry_file = Registry();
  auto fp = std::make_unique<control::FiscalPrinter>(options);
  EXPECT_EQ(fp->Open(name), OPOS_SUCCESS) << fp->ErrorString();
  EXPECT_EQ(fp->ClaimDevice(10000), OPOS_SUCCESS) << fp->ErrorString();
  fp->SetDeviceEnabled(true);
  return fp;
}

bool SellReceipt(control::FiscalPrinter& fp, const std::string& description, int64_t cents) {
  const control::Currency amount(cents * 100);
  return fp.BeginFiscalReceipt(false) == OPOS_SUCCESS &&
         fp.PrintRecItem(description, amount, 1000, 1, control::Currency(0), "") == OPOS_SUCCESS &&
         fp.PrintRecTotal(amount, amount, "0") == OPOS_SUCCESS &&
         fp.EndFiscalReceipt(false) == OPOS_SUCCESS;
}

bool WaitState(control::FiscalPrinter& fp, int32_t state) {
  return WaitFor([&] { return fp.PrinterState() == state; }, std::chrono::seconds(15));
}

TEST(ServiceFaults, PrinterSwitchedOffMidReceiptIsReportedAndTheReceiptCanBeEnded) {
  Printer printer("SvcOff");
  printer.Start();
  auto fp = OpenClaimEnable(printer.name());
  ASSERT_EQ(fp->BeginFiscalReceipt(false), OPOS_SUCCESS);
  ASSERT_EQ(fp->PrintRecItem("ITEM-A", control::Currency(25000), 1000, 1, control::Currency(0), ""),
            OPOS_SUCCESS);
  printer.sim().SetPowered(false);
  const auto start = Clock::now();
  EXPECT_NE(fp->PrintRecItem("ITEM-B", control::Currency(30000), 1000, 1, control::Currency(0), ""),
            OPOS_SUCCESS);
  EXPECT_LT(Clock::now() - start, kDeadPrinterBound);
  EXPECT_TRUE(WaitState(*fp, kPsLocked));

  printer.sim().SetPowered(true);
  EXPECT_TRUE(WaitFor([&] { return fp->PrinterState() != kPsLocked; }, std::chrono::seconds(15)));
  if (fp->PrinterState() != kPsMonitor) {
    const bool voided = fp->PrintRecVoid("VOID") == OPOS_SUCCESS;
    const bool ended = fp->EndFiscalReceipt(false) == OPOS_SUCCESS;
    EXPECT_TRUE(voided || ended) << fp->ErrorString();
  }
  EXPECT_TRUE(WaitState(*fp, kPsMonitor));
  EXPECT_TRUE(SellReceipt(*fp, "ITEM-C", 400)) << fp->ErrorString();
  EXPECT_EQ(JournalLinesStartingWith(printer.sim(), "ITEM-A"), 1);
  EXPECT_EQ(JournalLinesStartingWith(printer.sim(), "ITEM-B"), 0);
  EXPECT_EQ(JournalLinesStartingWith(printer.sim(), "ITEM-C"), 1);
  EXPECT_EQ(fp->ReleaseDevice(), OPOS_SUCCESS);
  EXPECT_EQ(fp->Close(), OPOS_SUCCESS);
}

TEST(ServiceFaults, DeviceGoneAndBackNeedsOnlyANewClaim) {
  Printer printer("SvcGone");
  printer.Start();
  auto fp = OpenClaimEnable(printer.name());
  ASSERT_TRUE(SellReceipt(*fp, "ITEM-A", 250)) << fp->ErrorString();
  printer.Stop();
  auto start = Clock::now();
  EXPECT_NE(fp->BeginFiscalReceipt(false), OPOS_SUCCESS);
  EXPECT_LT(Clock::now() - start, kDeadPrinterBound);
  start = Clock::now();
  EXPECT_EQ(fp->ReleaseDevice(), OPOS_SUCCESS);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(11));

  printer.Start();  // plugged in again at the same path
  ASSERT_EQ(fp->ClaimDevice(10000), OPOS_SUCCESS) << fp->ErrorString();
  fp->SetDeviceEnabled(true);
  EXPECT_TRUE(SellReceipt(*fp, "ITEM-B", 300)) << fp->ErrorString();
  EXPECT_EQ(JournalLinesStartingWith(printer.sim(), "ITEM-A"), 1);
  EXPECT_EQ(JournalLinesStartingWith(printer.sim(), "ITEM-B"), 1);
  EXPECT_EQ(fp->Close(), OPOS_SUCCESS);
}

TEST(ServiceFaults, TwoPrintersInOneProcess) {
  Printer first("SvcOne");
  Printer second("SvcTwo");
  first.Start();
  second.Start();
  auto a = OpenClaimEnable(first.name());
  auto b = OpenClaimEnable(second.name());
  bool ok_a = true;
  bool ok_b = true;
  std::thread ta([&] {
    for (int i = 0; i < 5; ++i) ok_a = ok_a && SellReceipt(*a, "ONE-" + std::to_string(i), 100 + i);
  });
  std::thread tb([&] {
    for (int i = 0; i < 5; ++i) ok_b = ok_b && SellReceipt(*b, "TWO-" + std::to_string(i), 200 + i);
  });
  ta.join();
  tb.join();
  EXPECT_TRUE(ok_a);
  EXPECT_TRUE(ok_b);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(JournalLinesStartingWith(first.sim(), "ONE-" + std::to_string(i) + " "), 1);
    EXPECT_EQ(JournalLinesStartingWith(second.sim(), "TWO-" + std::to_string(i) + " "), 1);
  }
  EXPECT_EQ(JournalLinesStartingWith(first.sim(), "TWO-"), 0);
  EXPECT_EQ(JournalLinesStartingWith(second.sim(), "ONE-"), 0);
  EXPECT_EQ(a->Close(), OPOS_SUCCESS);
  EXPECT_EQ(b->Close(), OPOS_SUCCESS);
}

}  // namespace
}  // namespace kelo::faults
