// A printer behind a serial device server: Port=tcp:127.0.0.1:PORT through the control
// object, the service object and the device layer, against the simulator's TCP listener.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "control/fiscal_printer.h"
#include "link/fpu_protocol.h"
#include "link/serial_port.h"
#include "opos/opos_constants.h"
#include "platform/automation/loader.h"
#include "platform/registry/config_store.h"
#include "simulator/simulator.h"
#include "testing/device_key.h"
#include "tests/faults/fault_fixture.h"

namespace kelo::faults {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int32_t kPsReceipt = 2;  // FPTR_PS_FISCAL_RECEIPT
constexpr int32_t kPsLocked = 8;   // FPTR_PS_LOCKED

// One configuration file per test process with the component registered, and a device key
// whose port is the listener of the simulator.
std::string RegistryWith(const std::string& name, const std::string& port) {
  static const std::string& file =
      kelo::testing::ProcessRegistry("kelofpu-tcp-port", KELO_SO_KELO_FPU_PATH);
  std::string error;
  // 12345 is not a speed a serial port takes: a network port does not apply it.
  EXPECT_TRUE(kelo::testing::WriteDeviceKey(file, name, port, 12345, &error)) << error;
  return file;
}

class TcpSession {
 public:
  explicit TcpSession(const std::string& name) : name_(name) {
    std::string error;
    EXPECT_TRUE(sim_.Listen("127.0.0.1", 0, &error)) << error;
    control::FiscalPrinterOptions options;
    options.registry_file =
        RegistryWith(name, "tcp:127.0.0.1:" + std::to_string(sim_.listen_port()));
    fp_ = std::make_unique<control::FiscalPrinter>(options);
  }
  ~TcpSession() {
    fp_.reset();
    sim_.Stop();
  }
  void OpenClaimEnable() {
    ASSERT_EQ(fp_->Open(name_), opos::OPOS_SUCCESS) << fp_->ErrorString();
    ASSERT_EQ(fp_->ClaimDevice(10000), opos::OPOS_SUCCESS) << fp_->ErrorString();
    fp_->SetDeviceEnabled(true);
  }
  control::FiscalPrinter& fp() { return *fp_; }
  sim::Simulator& sim() { return sim_; }

 private:
  std::string name_;
  sim::Simulator sim_;
  std::unique_ptr<control::FiscalPrinter> fp_;
};

int SoldLines(sim::Simulator& sim, const std::string& text) {
  int n = 0;
  for (const sim::JournalDoc& doc : sim.Journal()) {
    if (doc.kind != sim::DocKind::kSale) continue;
    for (const std::string& line : doc.lines) n += line.compare(0, text.size(), text) == 0;
  }
  return n;
}

bool PaperHas(sim::Simulator& sim, size_t mark, const std::string& text) {
  for (const std::string& line : sim.PaperSince(mark)) {
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(TcpPort, ReceiptOverTheNetworkWhileASecondClientIsRefused) {
  TcpSession s("TcpReceipt");
  s.OpenClaimEnable();
  control::FiscalPrinter& fp = s.fp();

  // A second client (another program, a second driver) while the first holds the printer:
  // the device server closes it at once.
  const int other = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(s.sim().listen_port());
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(other, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
  pollfd p{other, POLLIN, 0};
  ASSERT_EQ(::poll(&p, 1, 2000), 1);
  char byte = 0;
  EXPECT_EQ(::recv(other, &byte, 1, 0), 0);  // closed without a byte
  ::close(other);
  EXPECT_EQ(s.sim().refused_clients(), 1u);

  const size_t mark = s.sim().PaperMark();
  ASSERT_EQ(fp.BeginFiscalReceipt(false), opos::OPOS_SUCCESS) << fp.ErrorString();
  ASSERT_EQ(fp.PrintRecItem("NET-A", control::Currency(25000), 1, 1, control::Currency(0), ""),
            opos::OPOS_SUCCESS);
  ASSERT_EQ(fp.PrintRecItem("NET-B", control::Currency(30000), 1, 1, control::Currency(0), ""),
            opos::OPOS_SUCCESS);
  ASSERT_EQ(fp.PrintRecTotal(control::Currency(55000), control::Currency(55000), "0"),
            opos::OPOS_SUCCESS);
  ASSERT_EQ(fp.EndFiscalReceipt(false), opos::OPOS_SUCCESS) << fp.ErrorString();
  EXPECT_TRUE(PaperHas(s.sim(), mark, "NET-A"));
  EXPECT_TRUE(PaperHas(s.sim(), mark, "NET-B"));
  EXPECT_EQ(SoldLines(s.sim(), "NET-A"), 1);
  EXPECT_EQ(s.sim().accepted_clients(), 1u);  // the driver's one connection throughout
  EXPECT_EQ(fp.Close(), opos::OPOS_SUCCESS);
}

TEST(TcpPort, AClaimWithNobodyListeningSaysWhy) {
  uint16_t closed_port = 0;
  {
    sim::Simulator gone;
    std::string error;
    ASSERT_TRUE(gone.Listen("127.0.0.1", 0, &error)) << error;
    closed_port = gone.listen_port();
  }
  control::FiscalPrinterOptions options;
  options.registry_file = RegistryWith("TcpNobody", "tcp:127.0.0.1:" + std::to_string(closed_port));
  control::FiscalPrinter fp(options);
  ASSERT_EQ(fp.Open("TcpNobody"), opos::OPOS_SUCCESS) << fp.ErrorString();
  EXPECT_EQ(fp.ClaimDevice(1000), opos::OPOS_E_NOHARDWARE);
  EXPECT_EQ(fp.ErrorString(), "Port tcp:127.0.0.1:" + std::to_string(closed_port) +
                                  ": connection refused (nothing listens on that port)");
  EXPECT_EQ(fp.Close(), opos::OPOS_SUCCESS);
}

TEST(TcpPort, AClaimOfAServerThatDoesNotAnswerEndsAtTheConnectBound) {
  // A listener whose queue is full answers no further connection attempt at all, as a host
  // that went away behind a router would.
  const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
  ASSERT_EQ(::listen(server, 0), 0);
  socklen_t len = sizeof sa;
  ::getsockname(server, reinterpret_cast<sockaddr*>(&sa), &len);
  const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_EQ(::connect(filler, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
  const std::string port = "tcp:127.0.0.1:" + std::to_string(ntohs(sa.sin_port));
  control::FiscalPrinterOptions options;
  options.registry_file = RegistryWith("TcpSilent", port);
  control::FiscalPrinter fp(options);
  ASSERT_EQ(fp.Open("TcpSilent"), opos::OPOS_SUCCESS) << fp.ErrorString();
  const auto start = Clock::now();
  EXPECT_EQ(fp.ClaimDevice(10000), opos::OPOS_E_NOHARDWARE);
  const long long took = MsSince(start);
  std::printf("[ recovery ] tcp, claim of a server that does not answer: %lld ms\n", took);
  EXPECT_GE(took, static_cast<long long>(link::kTcpConnectTimeoutMs) - 50);
  EXPECT_LT(took, static_cast<long long>(link::kTcpConnectTimeoutMs) + 1500);
  EXPECT_EQ(fp.ErrorString(), "Port " + port + ": no connection within 2000 ms");
  EXPECT_EQ(fp.Close(), opos::OPOS_SUCCESS);
  ::close(filler);
  ::close(server);
}

TEST(TcpPort, DroppedConnectionsMidReceiptAreReconnectedWithEverySaleOnce) {
  TcpSession s("TcpDropped");
  s.OpenClaimEnable();
  control::FiscalPrinter& fp = s.fp();
  ASSERT_EQ(fp.BeginFiscalReceipt(false), opos::OPOS_SUCCESS) << fp.ErrorString();
  ASSERT_EQ(fp.PrintRecItem("NET-A", control::Currency(10000), 1, 1, control::Currency(0), ""),
            opos::OPOS_SUCCESS);

  // The device server loses the connection between two sales: the next call reconnects
  // first and is served.
  s.sim().DropClient();
  const auto start = Clock::now();
  ASSERT_EQ(fp.PrintRecItem("NET-B", control::Currency(20000), 1, 1, control::Currency(0), ""),
            opos::OPOS_SUCCESS)
      << fp.ErrorString();
  std::printf("[ recovery ] tcp, sale after the connection dropped: %lld ms\n", MsSince(start));
  EXPECT_EQ(s.sim().accepted_clients(), 2u);

  // The connection drops instead of the answer to a sale the printer did: under the
  // asynchronous queue the retry after the ErrorEvent finds it done and does not sell again.
  std::atomic<int> errors{0};
  std::atomic<int> completed{0};
  fp.SetErrorHandler([&](int32_t, int32_t, int32_t, int32_t& response) {
    ++errors;
    response = opos::OPOS_ER_RETRY;
  });
  fp.SetOutputCompleteHandler([&](int32_t) { ++completed; });
  s.sim().faults([](sim::FaultInjector& f) { f.DisconnectNext(1, link::kOpReceipt); });
  fp.SetAsyncMode(true);
  const auto lost = Clock::now();
  ASSERT_EQ(fp.PrintRecItem("NET-C", control::Currency(30000), 1, 1, control::Currency(0), ""),
            opos::OPOS_SUCCESS);
  ASSERT_TRUE(WaitFor([&] { return completed.load() == 1; }));
  std::printf("[ recovery ] tcp, sale whose answer went with the connection: done after %lld ms\n",
              MsSince(lost));
  fp.SetAsyncMode(false);
  EXPECT_EQ(s.sim().fault_counters().disconnected, 1u);
  EXPECT_EQ(s.sim().accepted_clients(), 3u);
  EXPECT_EQ(fp.PrinterState(), kPsReceipt);

  // The device server restarts: refused connections for a second, then the same printer
  // (receipt still open) on the same port, found again by the reopen back-off alone.
  const uint16_t port = s.sim().listen_port();
  s.sim().Stop();
  auto start_away = Clock::now();
  EXPECT_NE(fp.PrintRecItem("NET-X", control::Currency(1000), 1, 1, control::Currency(0), ""),
            opos::OPOS_SUCCESS);
  EXPECT_LT(Clock::now() - start_away, std::chrono::seconds(1));  // refused at once
  EXPECT_TRUE(WaitFor([&] { return fp.PrinterState() == kPsLocked; }));
  std::this_thread::sleep_for(std::chrono::seconds(1));
  std::string error;
  ASSERT_TRUE(s.sim().Listen("127.0.0.1", port, &error)) << error;
  start_away = Clock::now();
  ASSERT_TRUE(WaitFor([&] { return fp.PrinterState() == kPsReceipt; }));
  std::printf("[ recovery ] tcp, device server restarted: found again after %lld ms\n",
              MsSince(start_away));
  ASSERT_EQ(fp.PrintRecTotal(control::Currency(60000), control::Currency(60000), "0"),
            opos::OPOS_SUCCESS)
      << fp.ErrorString();
  ASSERT_EQ(fp.EndFiscalReceipt(false), opos::OPOS_SUCCESS);
  for (const char* item : {"NET-A", "NET-B", "NET-C"}) EXPECT_EQ(SoldLines(s.sim(), item), 1);
  EXPECT_EQ(fp.Close(), opos::OPOS_SUCCESS);
}

}  // namespace
}  // namespace kelo::faults
