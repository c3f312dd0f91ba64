// Recovery through the whole stack at real timing: the FiscalPrinter control object, the
// service object libsoKeloFpu.so, the device layer and the simulator. The device stays
// claimed and enabled throughout: no ReleaseDevice, no ClaimDevice, no restart.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "control/fiscal_printer.h"
#include "opos/opos_constants.h"
#include "platform/automation/loader.h"
#include "platform/registry/config_store.h"
#include "simulator/simulator.h"
#include "testing/device_key.h"
#include "tests/faults/fault_fixture.h"

namespace kelo::faults {
namespace {

using namespace kelo::opos;
using Clock = std::chrono::steady_clock;

constexpr int32_t kPsMonitor = 1;                               // FPTR_PS_MONITOR
constexpr int32_t kPsReceipt = 2;                               // FPTR_PS_FISCAL_RECEIPT
constexpr int32_t kPsLocked = 8;                                // FPTR_PS_LOCKED
constexpr auto kPollingTime = std::chrono::milliseconds(1000);  // the key's default

// One configuration file per test process, the component registered in it, and a device key
// whose port is the simulator's link path.
std::string RegistryWith(const std::string& name, const std::string& port) {
  static const std::string& file =
      kelo::testing::ProcessRegistry("kelofpu-recovery-svc", KELO_SO_KELO_FPU_PATH);
  std::string error;
  EXPECT_TRUE(kelo::testing::WriteDeviceKey(file, name, port, 38400, &error)) << error;
  return file;
}

class Session {
 public:
  explicit Session(const std::string& name) : name_(name) {
    base_ = "/tmp/kelofpu-recovery-svc-" + std::to_string(getpid()) + "-" + name;
    std::remove((base_ + ".state").c_str());
    control::FiscalPrinterOptions options;
    options.registry_file = RegistryWith(name, base_ + ".tty");
    fp_ = std::make_unique<control::FiscalPrinter>(options);
    fp_->SetStatusUpdateHandler([this](int32_t value) {
      std::lock_guard<std::mutex> l(mu_);
      statuses_.push_back(value);
    });
  }
  ~Session() {
    fp_.reset();
    if (sim_) sim_->Stop();
    std::remove((base_ + ".state").c_str());
  }
  void StartPrinter() {
    sim::SimulatorOptions o;
    o.state_file = base_ + ".state";
    sim_ = std::make_unique<sim::Simulator>(o);
    std::string error;
    ASSERT_TRUE(sim_->Start(&error)) << error;
    ASSERT_TRUE(sim_->LinkAt(base_ + ".tty", &error)) << error;
  }
  // The same printer on a new device node (the adapter plugged in again).
  void PlugIn() {
    std::string error;
    ASSERT_TRUE(sim_->Start(&error)) << error;
    ASSERT_TRUE(sim_->LinkAt(base_ + ".tty", &error)) << error;
  }
  void OpenClaimEnable() {
    ASSERT_EQ(fp_->Open(name_), opos::OPOS_SUCCESS) << fp_->ErrorString();
    ASSERT_EQ(fp_->ClaimDevice(10000), opos::OPOS_SUCCESS) << fp_->ErrorString();
    fp_->SetDeviceEnabled(true);
  }
  size_t status_count() {
    std::lock_guard<std::mutex> l(mu_);
    return statuses_.size();
  }
  std::vector<int32_t> statuses() {
    std::lock_guard<std::mutex> l(mu_);
    return statuses_;
  }
  control::FiscalPrinter& fp() { return *fp_; }
  sim::Simulator& sim() { return *sim_; }

 private:
  std::string name_;
  std::string base_;
  std::unique_ptr<sim::Simulator> sim_;
  std::unique_ptr<control::FiscalPrinter> fp_;
  std::mutex mu_;  // guards statuses_ (the delivery thread adds, the test reads)
  std::vector<int32_t> statuses_;
};

int SoldLines(sim::Simulator& sim, const std::string& text) {
  int n = 0;
  for (const sim::JournalDoc& doc : sim.Journal()) {
    if (doc.kind != sim::DocKind::kSale) continue;
    for (const std::string& line : doc.lines) n += line.compare(0, text.size(), text) == 0;
  }
  return n;
}

TEST(ServiceRecovery, PrinterKilledMidReceiptAndStartedAgainWhileClaimed) {
  Session s("SvcKilled");
  s.StartPrinter();
  s.OpenClaimEnable();
  control::FiscalPrinter& fp = s.fp();
  ASSERT_EQ(fp.BeginFiscalReceipt(false), opos::OPOS_SUCCESS);
  ASSERT_EQ(fp.PrintRecItem("ITEM-A", control::Currency(25000), 1, 1, control::Currency(0), ""),
            opos::OPOS_SUCCESS);

  s.sim().Stop();  // the printer program is gone with its pseudo-terminal
  // Calls fail at once: nine seconds of time-outs per call before.
  auto start = Clock::now();
  EXPECT_NE(fp.PrintRecItem("ITEM-B", control::Currency(30000), 1, 1, control::Currency(0), ""),
            opos::OPOS_SUCCESS);
  EXPECT_NE(fp.PrintRecItem("ITEM-B", control::Currency(30000), 1, 1, control::Currency(0), ""),
            opos::OPOS_SUCCESS);
  const auto away = Clock::now() - start;
  std::printf(
      "[ recovery ] service, two calls while the printer is away: %lld ms\n",
      static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(away).count()));
  EXPECT_LT(away, std::chrono::seconds(2));
  EXPECT_TRUE(WaitFor([&] { return fp.PrinterState() == kPsLocked; }, kPollingTime * 3));
  std::this_thread::sleep_for(std::chrono::seconds(3));

  const size_t reported = s.status_count();
  s.StartPrinter();
  start = Clock::now();
  EXPECT_TRUE(WaitFor([&] { return fp.PrinterState() == kPsMonitor; }, kPollingTime * 5));
  const auto back = Clock::now() - start;
  std::printf(
      "[ recovery ] service, printer killed and restarted: found again after %lld ms\n",
      static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(back).count()));
  EXPECT_LE(back, kPollingTime);
  // The four sensors are reported again as on a first poll.
  EXPECT_TRUE(WaitFor([&] { return s.status_count() >= reported + 4; }));
  const std::vector<int32_t> st = s.statuses();
  EXPECT_EQ(std::vector<int32_t>(st.begin() + static_cast<std::ptrdiff_t>(reported),
                                 st.begin() + static_cast<std::ptrdiff_t>(reported) + 4),
            (std::vector<int32_t>{12, 23, 61, 26}));

  // The restarted printer dropped the receipt: the same session sells it again.
  ASSERT_EQ(fp.BeginFiscalReceipt(false), opos::OPOS_SUCCESS) << fp.ErrorString();
  ASSERT_EQ(fp.PrintRecItem("ITEM-A", control::Currency(25000), 1, 1, control::Currency(0), ""),
            opos::OPOS_SUCCESS);
  ASSERT_EQ(fp.PrintRecItem("ITEM-B", control::Currency(30000), 1, 1, control::Currency(0), ""),
            opos::OPOS_SUCCESS);
  ASSERT_EQ(fp.PrintRecTotal(control::Currency(55000), control::Currency(55000), "0"),
            opos::OPOS_SUCCESS);
  ASSERT_EQ(fp.EndFiscalReceipt(false), opos::OPOS_SUCCESS);
  EXPECT_EQ(SoldLines(s.sim(), "ITEM-A"), 1);
  EXPECT_EQ(SoldLines(s.sim(), "ITEM-B"), 1);
  EXPECT_EQ(fp.Close(), opos::OPOS_SUCCESS);
}

TEST(ServiceRecovery, AdapterPulledUnderTheAsyncQueueAndTheRetryAfterwardsSucceeds) {
  Session s("SvcPulled");
  s.StartPrinter();
  s.OpenClaimEnable();
  control::FiscalPrinter& fp = s.fp();
  std::atomic<int> errors{0};
  std::vector<int32_t> completed;
  std::mutex mu;  // guards completed
  fp.SetErrorHandler([&](int32_t, int32_t, int32_t, int32_t& response) {
    ++errors;
    response = opos::OPOS_ER_RETRY;
  });
  fp.SetOutputCompleteHandler([&](int32_t id) {
    std::lock_guard<std::mutex> l(mu);
    completed.push_back(id);
  });
  ASSERT_EQ(fp.BeginFiscalReceipt(false), opos::OPOS_SUCCESS);
  fp.SetAsyncMode(true);
  ASSERT_EQ(fp.PrintRecItem("ITEM-A", control::Currency(25000), 1, 1, control::Currency(0), ""),
            opos::OPOS_SUCCESS);
  ASSERT_TRUE(WaitFor([&] {
    std::lock_guard<std::mutex> l(mu);
    return completed.size() == 1;
  }));

  s.sim().Stop();  // the adapter is pulled; the printer keeps its receipt
  ASSERT_EQ(fp.PrintRecItem("ITEM-B", control::Currency(30000), 1, 1, control::Currency(0), ""),
            opos::OPOS_SUCCESS);  // queued
  ASSERT_TRUE(WaitFor([&] { return errors.load() > 0; }));
  std::this_thread::sleep_for(std::chrono::seconds(2));
  s.PlugIn();
  ASSERT_TRUE(WaitFor([&] {
    std::lock_guard<std::mutex> l(mu);
    return completed.size() == 2;
  }));
  fp.SetAsyncMode(false);
  EXPECT_EQ(fp.PrinterState(), kPsReceipt);
  ASSERT_EQ(fp.PrintRecTotal(control::Currency(55000), control::Currency(55000), "0"),
            opos::OPOS_SUCCESS)
      << fp.ErrorString();
  ASSERT_EQ(fp.EndFiscalReceipt(false), opos::OPOS_SUCCESS);
  EXPECT_EQ(SoldLines(s.sim(), "ITEM-A"), 1);
  EXPECT_EQ(SoldLines(s.sim(), "ITEM-B"), 1);
  EXPECT_EQ(fp.Close(), opos::OPOS_SUCCESS);
}

}  // namespace
}  // namespace kelo::faults
