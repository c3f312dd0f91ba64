// A line whose device goes away under the open port (a USB adapter pulled, a printer program
// that ended): the port notices at the first read or write, every exchange then fails at once
// instead of waiting out its time-outs, and the same path opens again once the device is back.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "link/fpu_protocol.h"
#include "link/serial_port.h"

namespace kelo::link {
namespace {

using Clock = std::chrono::steady_clock;

// A pseudo-terminal whose slave is reachable at a fixed link path.
struct Line {
  explicit Line(const std::string& path) {
    char name[256] = {};
    EXPECT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::unlink(path.c_str());
    EXPECT_EQ(::symlink(name, path.c_str()), 0);
  }
  ~Line() { Unplug(); }
  void Unplug() {
    if (master >= 0) ::close(master);
    if (slave >= 0) ::close(slave);
    master = slave = -1;
  }
  int master = -1;
  int slave = -1;
};

TEST(DeadPort, IsNoticedAtOnceAndTheSamePathOpensAgain) {
  const std::string path = "/tmp/kelofpu-dead-port-" + std::to_string(getpid());
  auto line = std::make_unique<Line>(path);
  SerialPort port;
  ASSERT_EQ(port.Open(path), kPortOk);
  FpuProtocol engine;
  engine.SetPort(&port);
  engine.Start();
  EXPECT_FALSE(port.lost());

  line->Unplug();
  // A live but silent line would cost three receive deadlines (9 s); a dead one nothing.
  const auto start = Clock::now();
  FpuDateTime now;
  uint32_t flags = 0;
  int32_t phase = 0;
  EXPECT_EQ(engine.QueryStatus(&now, &flags, &phase), LINK_E_TIMEOUT);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_TRUE(port.lost());
  uint8_t buffer[64];
  uint32_t count = sizeof buffer;
  port.Read(buffer, &count);
  EXPECT_EQ(count, 0u);

  // Not back yet: the port stays closed and lost.
  ::unlink(path.c_str());
  EXPECT_EQ(port.Reopen(), kPortOpenFailed);
  EXPECT_TRUE(port.lost());
  EXPECT_FALSE(port.is_open());

  // Back at the same path (a new device node): bytes flow again.
  line = std::make_unique<Line>(path);
  ASSERT_EQ(port.Reopen(), kPortOk);
  EXPECT_FALSE(port.lost());
  const uint8_t hello[] = {'h', 'i'};
  uint32_t written = 0;
  port.Write(hello, sizeof hello, &written);
  EXPECT_EQ(written, sizeof hello);
  char got[2] = {};
  EXPECT_EQ(::read(line->master, got, sizeof got), 2);
  EXPECT_EQ(std::string(got, 2), "hi");
  engine.Stop();
  port.Close();
  ::unlink(path.c_str());
}

}  // namespace
}  // namespace kelo::link
