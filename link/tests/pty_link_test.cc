// The real serial code over a pseudo-terminal, with a printer thread on the master side.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "link/fpu_protocol.h"
#include "link/serial_port.h"
#include "link/tests/scripted_printer.h"

namespace kelo::link {
namespace {

// Plays the printer on the master side: answers every command frame with "done" and the
// given payload. Signals readiness once it is waiting for input.
class PtyPrinter {
 public:
  PtyPrinter() {
    char name[128] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return;
    path_ = name;
    termios tio{};
    tcgetattr(master_, &tio);
    cfmakeraw(&tio);
    tcsetattr(master_, TCSANOW, &tio);
  }
  ~PtyPrinter() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
  }
  bool ok() const { return master_ >= 0; }
  const std::string& path() const { return path_; }

  void Run(std::string payload) {
    std::promise<void> ready;
    auto ready_future = ready.get_future();
    thread_ = std::thread([this, payload, &ready] {
      FrameReceiver rx(FrameDirection::kCommand);
      uint8_t buf[512];
      ready.set_value();
      while (!stop_) {
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        ssize_t n = read(master_, buf, sizeof buf);
        if (n <= 0) continue;
        size_t off = 0;
        while (off < static_cast<size_t>(n)) {
          off += rx.Feed(buf + off, static_cast<size_t>(n) - off);
          if (!rx.done()) continue;
          FrameView v;
          if (DecodeFrame(rx.frame(), &v) == LINK_OK && v.data.size() >= 3) {
            auto answer = testing::ResponseFrame(0x61, v.sequence, v.data[1], v.data[2], kReplyDone,
                                                 0, payload);
            ++answered;  // counted before the answer can be seen
            ssize_t w = write(master_, answer.data(), answer.size());
            (void)w;
          }
          rx.Reset();
        }
      }
    });
    ready_future.wait();
  }

  std::atomic<int> answered{0};

 private:
  int master_ = -1;
  int slave_ = -1;  // kept open so the line stays up between opens of the driver
  std::string path_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
};

TEST(PtyLink, ExchangesOverAPseudoTerminal) {
  PtyPrinter printer;
  ASSERT_TRUE(printer.ok());
  printer.Run(
      "20260307\x1F"
      "120000\x1F"
      "0\x1F"
      "1");
  SerialPort port;
  port.SetLine(38400, 8, 0, 0);
  ASSERT_EQ(port.Open(printer.path()), kPortOk);
  FpuProtocol proto;
  ASSERT_EQ(proto.SetPort(&port), LINK_OK);
  ASSERT_EQ(proto.Start(), LINK_OK);
  FpuDateTime dt;
  int32_t phase = 0;
  ASSERT_EQ(proto.QueryStatus(&dt, nullptr, &phase), LINK_OK);
  EXPECT_EQ(dt.year, 2026);
  EXPECT_EQ(phase, 1);
  for (int i = 0; i < 20; ++i) ASSERT_EQ(proto.SellItem("Item", 100, 1, 1, 0, 0), LINK_OK);
  EXPECT_EQ(printer.answered.load(), 21);
  proto.Stop();
  EXPECT_EQ(port.Close(), kPortOk);
}

TEST(PtyLink, SecondOpenOfTheSameLineIsRefusedUntilClosed) {
  PtyPrinter printer;
  ASSERT_TRUE(printer.ok());
  SerialPort first;
  SerialPort second;
  ASSERT_EQ(first.Open(printer.path()), kPortOk);
  EXPECT_EQ(second.Open(printer.path()), kPortOpenFailed);
  first.Close();
  EXPECT_EQ(second.Open(printer.path()), kPortOk);
}

TEST(PtyLink, SilentLineReadEndsByItsTimeouts) {
  PtyPrinter printer;
  ASSERT_TRUE(printer.ok());
  SerialPort port;
  ASSERT_EQ(port.Open(printer.path()), kPortOk);
  uint8_t buf[4];
  uint32_t count = 2;
  EXPECT_EQ(port.Read(buf, &count), kPortOk);
  EXPECT_EQ(count, 0u);
  EXPECT_TRUE(port.IsInputEmpty());
}

TEST(PtyLink, MissingDeviceFailsToOpen) {
  SerialPort port;
  EXPECT_EQ(port.Open("/dev/kelo-no-such-line"), kPortOpenFailed);
}

}  // namespace
}  // namespace kelo::link
