// The six canned tests of the AutoTests panel, run headless by the real KeloFPUTest program
// (`--autotest NAME`) through the service object library against the printer simulator. Each
// must exit 0 with no failing call in its log and no message box, and the simulator's paper
// roll must hold the documents the test prints, with their totals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/automation/loader.h"
#include "platform/registry/config_store.h"
#include "simulator/simulator.h"

extern char** environ;

namespace kelo::testapp {
namespace {

constexpr const char* kDeviceKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\FiscalPrinter\\KeloFPU";
constexpr auto kRunLimit = std::chrono::seconds(150);

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

size_t Count(const std::vector<std::string>& lines, const std::string& part) {
  return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
    return l.find(part) != std::string::npos;
  }));
}

// The amounts of the paper lines that start with `label` ("TOTAL EUR" -> {"34.00"}).
std::vector<std::string> Amounts(const std::vector<std::string>& lines, const std::string& label) {
  std::vector<std::string> out;
  for (const std::string& l : lines) {
    if (l.rfind(label + " ", 0) == 0) out.push_back(l.substr(l.find_last_of(' ') + 1));
  }
  return out;
}

class AutoTestOnSimulator : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("kelo_autotest_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    sim::SimulatorOptions options;
    options.start_time = {2026, 12, 9, 9, 30, 0};
    sim_ = std::make_unique<sim::Simulator>(options);
    std::string error;
    ASSERT_TRUE(sim_->Start(&error)) << error;
    const std::string link = (dir_ / "fpu").string();
    ASSERT_TRUE(sim_->LinkAt(link, &error)) << error;

    const std::string registry = (dir_ / "registry.reg").string();
    setenv("OPOS_REGISTRY", registry.c_str(), 1);
    const auto registered = automation::RegisterServer(KELO_SO_KELO_FPU_PATH);
    ASSERT_EQ(registered.hr, automation::S_OK) << registered.error;
    ASSERT_TRUE(platform::ConfigStore(registry).Update(
        [&](platform::RegistryData& data) {
          auto& key = data.CreateKey(kDeviceKey);
          key.Set("", platform::RegValue::String("soKeloFPU.KeloFPU"));
          key.Set("Port", platform::RegValue::String(link));
          key.Set("BaudRate", platform::RegValue::Dword(115200));
        },
        &error))
        << error;
  }

  void TearDown() override {
    if (sim_) sim_->Stop();
    unsetenv("OPOS_REGISTRY");
    if (!HasFailure()) std::filesystem::remove_all(dir_);
  }

  // Runs KeloFPUTest --autotest NAME with `extra` arguments; answers its exit status (-1 when
  // it had to be killed). The log and the message boxes are kept in log_ and boxes_.
  int RunAutoTest(const std::string& name, std::vector<std::string> extra = {}) {
    const std::string log_path = (dir_ / (name + ".log")).string();
    const std::string err_path = (dir_ / (name + ".err")).string();
    std::vector<std::string> args{KELO_TEST_APP_PATH, "--autotest", name, "--log", log_path};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
      ADD_FAILURE() << "cannot start " << argv[0] << ": " << spawned;
      return -1;
    }
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + kRunLimit;
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ADD_FAILURE() << name << " did not end within its time limit";
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    log_ = Split(ReadFile(log_path));
    boxes_ = ReadFile(err_path);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // Every call of the run succeeded and no message box came up.
  void ExpectCleanRun() {
    EXPECT_FALSE(log_.empty());
    for (const std::string& line : log_) {
      const size_t arrow = line.find("     -> ");
      if (arrow == std::string::npos) continue;  // property reads and events
      EXPECT_EQ(line.substr(arrow), "     -> OposSuccess(0)") << line;
    }
    EXPECT_EQ(boxes_, "");
  }

  std::vector<std::string> Paper() { return sim_->PaperLines(); }
  std::string PaperText() { return sim_->PaperText(); }

  std::filesystem::path dir_;
  std::unique_ptr<sim::Simulator> sim_;
  std::vector<std::string> log_;
  std::string boxes_;
};

TEST_F(AutoTestOnSimulator, FullFiscalTicket) {
  ASSERT_EQ(RunAutoTest("FullFiscalTicket"), 0) << boxes_;
  ExpectCleanRun();
  const auto paper = Paper();
  EXPECT_EQ(Amounts(paper, "TOTAL EUR"), std::vector<std::string>{"34.00"}) << PaperText();
  EXPECT_EQ(Count(paper, "VOID TEST ITEM 5 "), 1u);
  EXPECT_EQ(Count(paper, "REFUND REFUND ITEM 10 "), 1u);
  EXPECT_EQ(Count(paper, "VOID REFUND REFUND TEST ITEM 12 "), 1u);
  EXPECT_EQ(Amounts(paper, "NOT PAID Missed payment"), std::vector<std::string>{"10.00"});
  EXPECT_EQ(Amounts(paper, "CHANGE"), std::vector<std::string>{"8.70"});
  EXPECT_EQ(Count(paper, "RECEIPT VOIDED"), 0u);
  EXPECT_EQ(sim_->DataItem(20), 1);  // one fiscal receipt in the day
  EXPECT_EQ(sim_->DataItem(2), 3400);
}

TEST_F(AutoTestOnSimulator, FullCreditNote) {
  ASSERT_EQ(RunAutoTest("FullCreditNote"), 0) << boxes_;
  ExpectCleanRun();
  const auto paper = Paper();
  EXPECT_EQ(Count(paper, "REFUND DOCUMENT"), 1u) << PaperText();
  EXPECT_EQ(Count(paper, "8953986357"), 1u);
  EXPECT_EQ(Count(paper, "VOID TEST ITEM 5 "), 1u);
  EXPECT_EQ(Amounts(paper, "TOTAL EUR"), std::vector<std::string>{"38.00"});
  EXPECT_EQ(Amounts(paper, "CHANGE"), std::vector<std::string>{"4.70"});
  EXPECT_EQ(sim_->DataItem(4), 3800);  // the day's refunds
}

TEST_F(AutoTestOnSimulator, NonFiscalTicket) {
  ASSERT_EQ(RunAutoTest("NonFiscalTicket"), 0) << boxes_;
  ExpectCleanRun();
  const auto paper = Paper();
  EXPECT_EQ(Count(paper, "THE QUICK BROWN FOX JUMPS OVER"), 1u) << PaperText();
  EXPECT_EQ(Count(paper, "THE LAZY DOG'S BACK"), 1u);
  EXPECT_EQ(Count(paper, "Framed"), 1u);
  EXPECT_EQ(Count(paper, "Z REPORT"), 0u);
  EXPECT_EQ(sim_->DataItem(22), 1);  // one non-fiscal document
}

// With the day open (one receipt sold first) the test closes it with one Z report, loads the
// picture beside the program as logo 1 and prints it in the non-fiscal document.
TEST_F(AutoTestOnSimulator, FullNonFiscalTicket) {
  ASSERT_EQ(RunAutoTest("AutoPrintTicket", {"--lines", "1"}), 0) << boxes_;
  ASSERT_EQ(RunAutoTest("FullNonFiscalTicket"), 0) << boxes_;
  ExpectCleanRun();
  const auto paper = Paper();
  EXPECT_EQ(Count(paper, "Z REPORT 0001 STORED"), 1u) << PaperText();
  EXPECT_EQ(sim_->DataItem(7), 1);  // the last Z number
  EXPECT_EQ(Count(paper, "[logo 1: 320x64]"), 1u);
  EXPECT_EQ(Count(paper, "THE QUICK BROWN FOX JUMPS OVER"), 1u);
}

TEST_F(AutoTestOnSimulator, AutoPrintTicket) {
  ASSERT_EQ(RunAutoTest("AutoPrintTicket", {"--lines", "25", "--repetitions", "3"}), 0) << boxes_;
  ExpectCleanRun();
  const auto paper = Paper();
  EXPECT_EQ(Amounts(paper, "TOTAL EUR"), std::vector<std::string>(3, "25.00")) << PaperText();
  EXPECT_EQ(Count(paper, "CENTO!!"), 3u);
  EXPECT_EQ(sim_->DataItem(20), 3);
}

// The asynchronous loop, with AsyncMode switched on first as a tester does.
TEST_F(AutoTestOnSimulator, PrintTicketA) {
  ASSERT_EQ(RunAutoTest("PrintTicketA", {"--async", "--lines", "25", "--repetitions", "3"}), 0)
      << boxes_;
  ExpectCleanRun();
  const auto paper = Paper();
  EXPECT_EQ(Amounts(paper, "TOTAL EUR"), std::vector<std::string>(3, "25.00")) << PaperText();
  EXPECT_EQ(sim_->DataItem(20), 3);
}

}  // namespace
}  // namespace kelo::testapp
