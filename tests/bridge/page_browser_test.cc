// The status page in a real browser: headless chromium, driven through chromedriver, loads the
// page from an in-process bridge whose printer is the simulator. The page must show the printer
// online with the cover closed, follow the simulator's cover within a bounded time, and print a
// receipt with its test-print button.
//
// Exits with 77 (ctest reports SKIP) when chromium or chromedriver is not installed.
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

#include "bridge/bridge.h"
#include "simulator/simulator.h"
#include "testing/wait.h"
#include "tests/bridge/bridge_rig.h"
#include "tests/bridge/webdriver.h"

namespace kelo::bridgetest {
namespace {

using namespace std::chrono_literals;

std::string g_chromium;
std::string g_chromedriver;

const std::string kPrinter = "section.printer[data-name=\"front\"] ";

class PageTest : public ::testing::Test {
 protected:
  // One browser for the suite: starting it takes seconds.
  static void SetUpTestSuite() {
    browser_dir_ = new TempDir("kelofpud-browser");
    browser_ = new WebDriver;
    std::string error;
    if (!browser_->Start(g_chromedriver, g_chromium, browser_dir_->path(), &error)) {
      browser_error_ = error;
    }
  }
  static void TearDownTestSuite() {
    delete browser_;
    delete browser_dir_;
  }

  void SetUp() override {
    ASSERT_TRUE(browser_error_.empty()) << browser_error_;
    ASSERT_TRUE(dir_.ok());
    std::string error;
    ASSERT_TRUE(sim_.Start(&error)) << error;
    ASSERT_TRUE(WriteRegistry(dir_.path() + "/registry.reg", KELO_SO_KELO_FPU_PATH,
                              {{"KeloFPU", sim_.slave_path()}}, &error))
        << error;
    bridge::BridgeConfig config;
    config.listen_port = 0;
    config.journal_path = dir_.path() + "/journal.db";
    config.printers = {{"front", "KeloFPU"}};
    bridge_ = std::make_unique<bridge::Bridge>(config);
    ASSERT_TRUE(bridge_->Start(&error)) << error;
    ASSERT_TRUE(
        browser_->Navigate("http://127.0.0.1:" + std::to_string(bridge_->port()) + "/", &error))
        << error;
  }
  void TearDown() override {
    bridge_.reset();  // before the simulator
    sim_.Stop();
  }

  // Waits (bounded) until the element's text is `want`; the time it took, or -1.
  double WaitText(const std::string& selector, const std::string& want,
                  std::chrono::milliseconds limit) {
    const auto start = std::chrono::steady_clock::now();
    if (!kelo::testing::WaitFor([&] { return browser_->Text(selector) == want; }, limit)) {
      return -1;
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }

  TempDir dir_{"kelofpud-page"};
  sim::Simulator sim_;
  std::unique_ptr<bridge::Bridge> bridge_;
  static TempDir* browser_dir_;
  static WebDriver* browser_;
  static std::string browser_error_;
};
TempDir* PageTest::browser_dir_ = nullptr;
WebDriver* PageTest::browser_ = nullptr;
std::string PageTest::browser_error_;

// The printer's status on the page follows the printer: online, cover closed, then open within
// a few seconds of the cover opening (the driver's status polling plus the page's one-second
// poll), then closed again.
TEST_F(PageTest, LiveStateFollowsTheCover) {
  ASSERT_TRUE(kelo::testing::WaitFor(
      [&] { return browser_->Count("section.printer[data-name=\"front\"]") == 1; }, 20s))
      << "no section for the printer";
  ASSERT_GE(WaitText(kPrinter + ".online", "online", 20s), 0)
      << "online shows " << browser_->Text(kPrinter + ".online").value_or("(missing)");
  ASSERT_GE(WaitText(kPrinter + ".cover", "closed", 10s), 0)
      << "cover shows " << browser_->Text(kPrinter + ".cover").value_or("(missing)");

  sim_.printer([](sim::Printer& p) { p.SetCoverOpen(true); });
  const double opened = WaitText(kPrinter + ".cover", "open", 10s);
  EXPECT_GE(opened, 0) << "the page did not show the open cover within 10 s";
  std::printf("cover open shown after %.2f s\n", opened);

  sim_.printer([](sim::Printer& p) { p.SetCoverOpen(false); });
  const double closed = WaitText(kPrinter + ".cover", "closed", 10s);
  EXPECT_GE(closed, 0) << "the page did not show the closed cover within 10 s";
  std::printf("cover closed shown after %.2f s\n", closed);
}

// The test-print button prints one receipt "Test print" on the printer and the page shows its
// outcome and lists it among the recent receipts.
TEST_F(PageTest, TestPrintButtonPrintsOneReceipt) {
  ASSERT_GE(WaitText(kPrinter + ".online", "online", 20s), 0);
  const int recent_before = browser_->Count(kPrinter + ".recent li");
  const size_t mark = sim_.PaperMark();
  const int64_t receipts_before = sim_.DataItem(20);

  std::string error;
  ASSERT_TRUE(browser_->Click(kPrinter + ".test-print", &error)) << error;

  auto printed = [&] {
    for (const std::string& line : sim_.PaperSince(mark)) {
      if (line.find("Test print") != std::string::npos) return true;
    }
    return false;
  };
  ASSERT_TRUE(kelo::testing::WaitFor(printed, 20s)) << "no \"Test print\" on the paper roll";
  ASSERT_TRUE(kelo::testing::WaitFor([&] { return sim_.DataItem(20) == receipts_before + 1; }, 10s))
      << "fiscal receipts " << sim_.DataItem(20) << ", before " << receipts_before;

  // The receipt number the printer gave it, as the API reports it.
  httplib::Client api("127.0.0.1", bridge_->port());
  auto r = api.Get("/v1/printers/front");
  ASSERT_TRUE(r && r->status == 200);
  const auto status = nlohmann::json::parse(r->body);
  const std::string number = std::to_string(status["last_receipt_number"].get<int64_t>());

  ASSERT_TRUE(kelo::testing::WaitFor(
      [&] {
        const auto text = browser_->Text(kPrinter + ".result");
        return text && text->find(number) != std::string::npos;
      },
      10s))
      << "result shows " << browser_->Text(kPrinter + ".result").value_or("(missing)")
      << ", receipt " << number;
  ASSERT_TRUE(kelo::testing::WaitFor(
      [&] { return browser_->Count(kPrinter + ".recent li") == recent_before + 1; }, 10s))
      << "recent entries " << browser_->Count(kPrinter + ".recent li") << ", before "
      << recent_before;
  const auto newest = browser_->Text(kPrinter + ".recent li");
  ASSERT_TRUE(newest.has_value());
  EXPECT_NE(newest->find(number), std::string::npos) << *newest;
  // One click, one receipt.
  EXPECT_EQ(sim_.DataItem(20), receipts_before + 1);
}

}  // namespace
}  // namespace kelo::bridgetest

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const char* chromium = std::getenv("KELO_CHROMIUM");
  const char* driver = std::getenv("KELO_CHROMEDRIVER");
  kelo::bridgetest::g_chromium = kelo::bridgetest::FindProgram(chromium ? chromium : "chromium");
  kelo::bridgetest::g_chromedriver =
      kelo::bridgetest::FindProgram(driver ? driver : "chromedriver");
  if (kelo::bridgetest::g_chromium.empty() || kelo::bridgetest::g_chromedriver.empty()) {
    std::printf("SKIP: the page test needs chromium and chromedriver (not found on PATH)\n");
    return 77;
  }
  return RUN_ALL_TESTS();
}
