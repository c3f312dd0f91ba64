// The simulator on a real pseudo-terminal: raw frames on the slave end, and a whole business
// day driven through the link's command set.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "link/fpu_frame.h"
#include "simulator/faults.h"
#include "simulator/simulator.h"
#include "simulator/state_file.h"
#include "testing/wait.h"

#include "link/fpu_protocol.h"
#include "link/serial_port.h"

namespace kelo::sim {
namespace {

int OpenRaw(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return fd;
  termios tio{};
  ::tcgetattr(fd, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(fd, TCSANOW, &tio);
  return fd;
}

// Reads until one whole answer frame has arrived or 3 s have passed.
std::vector<uint8_t> ReadFrame(int fd) {
  link::FrameReceiver rx(link::FrameDirection::kResponse);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    uint8_t b = 0;
    if (::read(fd, &b, 1) != 1) continue;
    rx.Feed(&b, 1);
    if (rx.done()) return {rx.frame().begin(), rx.frame().end()};
  }
  return {};
}

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() / (name + "." + std::to_string(::getpid())))
      .string();
}

TEST(SimulatorPtyTest, AnswersTheStatusQueryOnTheSlaveEndAndLinksThePath) {
  Simulator sim;
  std::string error;
  ASSERT_TRUE(sim.Start(&error)) << error;
  ASSERT_EQ(sim.slave_path().rfind("/dev/pts/", 0), 0u) << sim.slave_path();
  const std::string link = TempPath("kelofpu-sim-link");
  ASSERT_TRUE(sim.LinkAt(link, &error)) << error;
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim.slave_path());

  const int fd = OpenRaw(link);
  ASSERT_GE(fd, 0);
  const uint8_t query[] = {0x01, 0x41, 0x00, 0x00, 0x03, 0x31, 0xFF, 0x3F, 0x43, 0xF9};
  ASSERT_EQ(::write(fd, query, sizeof query), static_cast<ssize_t>(sizeof query));
  const auto answer = ReadFrame(fd);
  link::FrameView view;
  ASSERT_EQ(link::DecodeFrame(answer, &view), link::LINK_OK);
  EXPECT_EQ(view.kind, 0x61);
  ASSERT_GE(view.data.size(), 8u);
  EXPECT_EQ(view.data[1], 0x3F);
  EXPECT_EQ(view.data[7], 0x80);
  ::close(fd);
  sim.Stop();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(SimulatorPtyTest, ALiveSimulatorsLinkIsRefusedAndAStaleOneReplaced) {
  const std::string link = TempPath("kelofpu-sim-owned");
  std::string error;
  Simulator first;
  ASSERT_TRUE(first.Start(&error)) << error;
  ASSERT_TRUE(first.LinkAt(link, &error)) << error;
  Simulator second;
  ASSERT_TRUE(second.Start(&error)) << error;
  EXPECT_FALSE(second.LinkAt(link, &error));
  EXPECT_NE(error.find("running simulator"), std::string::npos) << error;
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), first.slave_path());

  // A link whose simulator is gone (killed: nothing removed it) is taken over.
  first.Stop();
  std::filesystem::create_symlink("/dev/pts/nonexistent", link);
  ASSERT_TRUE(second.LinkAt(link, &error)) << error;
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), second.slave_path());
  second.Stop();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(SimulatorPtyTest, ServesADescriptorTheCallerOwns) {
  int sv[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv), 0);
  Simulator sim;
  std::string error;
  ASSERT_TRUE(sim.StartOnFd(sv[0], &error)) << error;
  EXPECT_TRUE(sim.slave_path().empty());
  const uint8_t query[] = {0x01, 0x41, 0x00, 0x00, 0x03, 0x31, 0xFF, 0x3F, 0x43, 0xF9};
  ASSERT_EQ(::write(sv[1], query, sizeof query), static_cast<ssize_t>(sizeof query));
  link::FrameView view;
  const auto answer = ReadFrame(sv[1]);
  ASSERT_EQ(link::DecodeFrame(answer, &view), link::LINK_OK);
  EXPECT_EQ(view.kind, 0x61);
  // A peer that sends and goes away before the answer: no SIGPIPE, the line stays served.
  ASSERT_EQ(::write(sv[1], query, sizeof query), static_cast<ssize_t>(sizeof query));
  ::close(sv[1]);
  EXPECT_TRUE(kelo::testing::WaitFor([&] { return sim.exchange_counters().frames >= 2; }));
  sim.Stop();
  ::close(sv[0]);
}

TEST(SimulatorPtyTest, StateFileCarriesTheFiscalMemoryToTheNextRun) {
  const std::string state = TempPath("kelofpu-sim-state");
  std::filesystem::remove(state);
  {
    SimulatorOptions o;
    o.state_file = state;
    Simulator sim(o);
    std::string error;
    ASSERT_TRUE(sim.Start(&error)) << error;
    sim.printer([](Printer& p) {
      FiscalModel& m = p.model();
      m.BeginReceipt();
      m.Sell("Coffee", 120, 1000, 1, 0, 0);
      m.Payment("", 200, 0);
      m.EndPayment(80);
      m.EndReceipt();
      m.DailyReport("", 0);
      p.Execute(0x41, link::JoinFields({"0", "7", "2"}));
      p.Execute(0x41, link::JoinFields({"1", "%FF%00"}));
      p.Execute(0x41, link::JoinFields({"1", "%0F%F0"}));
      return 0;
    });
    sim.Stop();
  }
  SimulatorOptions o;
  o.state_file = state;
  Simulator again(o);
  std::string error;
  ASSERT_TRUE(again.Start(&error)) << error;
  EXPECT_EQ(again.DataItem(7), 1);    // last Z
  EXPECT_EQ(again.DataItem(8), 120);  // grand total
  again.printer([](Printer& p) {
    ASSERT_EQ(p.model().state().fiscal_memory.size(), 1u);
    EXPECT_EQ(p.model().state().fiscal_memory[0].gross, 120);
    const Graphic* g = p.logos().Find(7);
    EXPECT_TRUE(g && g->height() == 2 && g->rows[1][0] == 0x0F);
    EXPECT_GE(p.model().state().journal.size(), 2u);
  });
  again.Stop();
  std::filesystem::remove(state);
}

std::vector<std::string> Matching(const std::vector<std::string>& lines, const std::string& what) {
  std::vector<std::string> out;
  for (const auto& l : lines) {
    if (l.find(what) != std::string::npos) out.push_back(l);
  }
  return out;
}

// A business day through FpuProtocol over the pseudo-terminal: a sales receipt, a refund
// receipt, an X and a Z report, with a corrupted answer and a busy reply on the way.
TEST(SimulatorEndToEndTest, SalesRefundXAndZThroughTheLink) {
  Simulator sim;
  std::string error;
  ASSERT_TRUE(sim.Start(&error)) << error;
  link::SerialPort port;
  ASSERT_EQ(port.Open(sim.slave_path()), 0);
  link::FpuProtocol fpu;
  ASSERT_EQ(fpu.SetPort(&port), link::LINK_OK);
  ASSERT_EQ(fpu.Start(), link::LINK_OK);

  link::FpuDeviceInfo info;
  ASSERT_EQ(fpu.GetDeviceInfo(&info), link::LINK_OK);
  EXPECT_EQ(info.field1, "KELO FPU-80");
  EXPECT_GT(std::atoi(info.field3.c_str()), 5035000);
  std::array<int32_t, 16> limits{};
  ASSERT_EQ(fpu.GetDeviceInfo1(&limits), link::LINK_OK);
  EXPECT_EQ(limits[0], 4);    // VAT rates
  EXPECT_EQ(limits[11], 11);  // payment forms

  // Sales receipt.
  ASSERT_EQ(fpu.BeginFiscalReceipt(), link::LINK_OK);
  ASSERT_EQ(fpu.SellItem("Espresso", 120, 2, 1, 0, 60), link::LINK_OK);
  sim.faults([](FaultInjector& f) { f.CorruptNext(1); });  // the answer arrives damaged
  ASSERT_EQ(fpu.SellItem("Croissant", 150, 1, 2, 0, 0), link::LINK_OK);
  ASSERT_EQ(fpu.ItemAdjustment("", 1000, 20, 0, 0), link::LINK_OK);  // -10% = -0.15
  sim.faults([](FaultInjector& f) { f.BusyNext(1); });
  ASSERT_EQ(fpu.Total(255), link::LINK_OK);
  int64_t total = 0, remaining = 0;
  ASSERT_EQ(fpu.GetDataItem(1, &total), link::LINK_OK);
  EXPECT_EQ(total, 255);
  ASSERT_EQ(fpu.Payment("", 500, 0), link::LINK_OK);
  ASSERT_EQ(fpu.GetDataItem(0, &remaining), link::LINK_OK);
  EXPECT_EQ(remaining, -245);
  ASSERT_EQ(fpu.EndPayment(-remaining), link::LINK_OK);
  ASSERT_EQ(fpu.EndFiscalReceipt(), link::LINK_OK);
  ASSERT_EQ(fpu.CutPaper(100), link::LINK_OK);
  EXPECT_EQ(fpu.EndFiscalReceipt(), link::LINK_E_REPLY83);  // nothing open any more

  // Refund receipt.
  ASSERT_EQ(fpu.BeginRefundReceipt("Return of 0001-0001"), link::LINK_OK);
  ASSERT_EQ(fpu.Refund("Croissant", 150, 2, 0), link::LINK_OK);
  ASSERT_EQ(fpu.Total(150), link::LINK_OK);
  ASSERT_EQ(fpu.Payment("", 150, 0), link::LINK_OK);
  ASSERT_EQ(fpu.EndPayment(0), link::LINK_OK);
  ASSERT_EQ(fpu.EndRefundReceipt(), link::LINK_OK);

  int64_t value = 0;
  ASSERT_EQ(fpu.GetTotalizer(1, 1, 1, &value), link::LINK_OK);
  EXPECT_EQ(value, 120);
  ASSERT_EQ(fpu.GetTotalizer(2, 1, 1, &value), link::LINK_OK);
  EXPECT_EQ(value, 135 - 150);
  ASSERT_EQ(fpu.GetDataItem(2, &value), link::LINK_OK);
  EXPECT_EQ(value, 105);

  ASSERT_EQ(fpu.PrintDailyReport("", 1), link::LINK_OK);
  ASSERT_EQ(fpu.PrintDailyReport("", 0), link::LINK_OK);
  ASSERT_EQ(fpu.GetDataItem(2, &value), link::LINK_OK);
  EXPECT_EQ(value, 0);
  ASSERT_EQ(fpu.GetDataItem(8, &value), link::LINK_OK);
  EXPECT_EQ(value, 105);
  link::FpuZReportData z;
  ASSERT_EQ(fpu.ReadZReportData(&z), link::LINK_OK);
  EXPECT_EQ(z.number, 1);

  // A command held in progress, awaited both ways the link knows: by repeating it, and (for
  // older firmware) by status queries that carry its job number until it is done.
  sim.faults([](FaultInjector& f) { f.InProgressNext(300); });
  ASSERT_EQ(fpu.CutPaper(50), link::LINK_OK);
  ASSERT_EQ(fpu.SetPollMode(true), link::LINK_OK);
  sim.faults([](FaultInjector& f) { f.InProgressNext(300); });
  ASSERT_EQ(fpu.CutPaper(50), link::LINK_OK);
  EXPECT_EQ(sim.fault_counters().inprogress, 2u);
  EXPECT_EQ(sim.PaperSince(0).size(), sim.PaperLines().size());

  fpu.Stop();
  port.Close();
  const auto paper = sim.PaperLines();
  sim.Stop();

  EXPECT_EQ(Matching(paper, "Espresso").size(), 1u);
  EXPECT_EQ(Matching(paper, "Croissant").size(),
            2u);  // sold once (despite the resend), refunded once
  EXPECT_EQ(Matching(paper, "2 x 0.60").size(), 1u);
  EXPECT_EQ(Matching(paper, "CHANGE").size(), 1u);
  EXPECT_EQ(Matching(paper, "REFUND DOCUMENT").size(), 1u);
  EXPECT_EQ(Matching(paper, "X REPORT").size(), 1u);
  EXPECT_EQ(Matching(paper, "Z REPORT 0001 STORED").size(), 1u);
  EXPECT_EQ(Matching(paper, "= cut =").size(), 1u);
  EXPECT_EQ(Matching(paper, "partial cut").size(), 2u);  // once each, however long the wait
  const auto sale_total = Matching(paper, "TOTAL EUR");
  ASSERT_EQ(sale_total.size(), 2u);
  EXPECT_NE(sale_total[0].find("2.55"), std::string::npos);
  for (const auto& l : paper) EXPECT_LE(l.size(), 42u) << l;
  const FaultCounters c = sim.fault_counters();
  EXPECT_EQ(c.corrupted, 1u);
  EXPECT_EQ(c.busy, 1u);
  if (std::getenv("KELO_SIM_SHOW_PAPER")) {
    for (const auto& l : paper) std::printf("|%s\n", l.c_str());
  }
}

// Damaged answers and line noise at high rates: the link resends, the printer replays, and
// every sale is on the receipt exactly once.
TEST(SimulatorEndToEndTest, EverySaleOnceThroughCorruptionAndNoise) {
  SimulatorOptions o;
  std::string error;
  ASSERT_TRUE(ParseFaultSpec("corrupt=0.2,noise=0.3", &o.faults, &error)) << error;
  o.seed = 11;
  Simulator sim(o);
  ASSERT_TRUE(sim.Start(&error)) << error;
  link::SerialPort port;
  ASSERT_EQ(port.Open(sim.slave_path()), 0);
  link::FpuProtocol fpu;
  ASSERT_EQ(fpu.SetPort(&port), link::LINK_OK);
  ASSERT_EQ(fpu.Start(), link::LINK_OK);
  int failed = 0;
  ASSERT_EQ(fpu.BeginFiscalReceipt(), link::LINK_OK);
  for (int i = 0; i < 40; ++i) {
    // Three damaged answers in a row are possible at these rates: the link then gives up
    // on that exchange, and the sale must still be on the receipt once.
    if (fpu.SellItem("Item", 100, 1000, 1, 0, 0) != link::LINK_OK) ++failed;
  }
  fpu.Stop();
  port.Close();
  const size_t items = sim.printer([](Printer& p) { return p.model().receipt().entries.size(); });
  const FaultCounters c = sim.fault_counters();
  sim.Stop();
  EXPECT_EQ(items, 40u) << failed << " exchanges gave up";
  EXPECT_GT(c.corrupted, 0u);
  EXPECT_GT(c.noise, 0u);
}

}  // namespace
}  // namespace kelo::sim
