// The serial port's network form: tcp:HOST:PORT names, the connection's failures, and the
// end of a connection marking the port lost like a dead serial line.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

#include "link/serial_port.h"
#include "link/tcp_address.h"

namespace kelo::link {
namespace {

using Clock = std::chrono::steady_clock;

// A listening socket on a free loopback port.
struct Listener {
  Listener() {
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    EXPECT_EQ(::listen(fd, 4), 0);
    socklen_t len = sizeof sa;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    port = ntohs(sa.sin_port);
  }
  ~Listener() {
    if (fd >= 0) ::close(fd);
  }
  std::string name() const { return "tcp:127.0.0.1:" + std::to_string(port); }
  int Accept() { return ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC); }
  int fd = -1;
  uint16_t port = 0;
};

TEST(TcpAddress, ListenFormsAndPrinting) {
  TcpAddress a;
  std::string error;
  ASSERT_TRUE(ParseTcpListenAddress("9100", "127.0.0.1", &a, &error)) << error;
  EXPECT_EQ(a.host, "127.0.0.1");
  EXPECT_EQ(a.port, 9100);
  ASSERT_TRUE(ParseTcpListenAddress("0.0.0.0:0", "127.0.0.1", &a, &error)) << error;
  EXPECT_EQ(a.host, "0.0.0.0");
  EXPECT_EQ(a.port, 0);
  ASSERT_TRUE(ParseTcpListenAddress("[::1]:7", "127.0.0.1", &a, &error)) << error;
  EXPECT_EQ(a.host, "::1");
  EXPECT_EQ(FormatTcpAddress(a.host, a.port), "[::1]:7");
  for (const char* bad : {"", "x", "host:", "1:65536", "[::1", "[]:5", "a b:5"}) {
    EXPECT_FALSE(ParseTcpListenAddress(bad, "127.0.0.1", &a, &error)) << bad;
  }
  EXPECT_TRUE(IsTcpPortName("tcp:"));
  EXPECT_FALSE(IsTcpPortName("/dev/tcp:1"));
}

TEST(TcpSerialPort, FailuresToConnectKeepTheirReason) {
  SerialPort port;
  EXPECT_EQ(port.Open("tcp:127.0.0.1"), kPortOpenFailed);
  EXPECT_EQ(port.open_error(), EINVAL);
  EXPECT_EQ(port.Open("tcp:name.invalid:9100"), kPortOpenFailed);
  EXPECT_EQ(port.open_error(), kOpenErrorUnresolved);
  uint16_t closed_port = 0;
  {
    Listener gone;
    closed_port = gone.port;
  }
  EXPECT_EQ(port.Open("tcp:127.0.0.1:" + std::to_string(closed_port)), kPortOpenFailed);
  EXPECT_EQ(port.open_error(), ECONNREFUSED);
  EXPECT_FALSE(port.is_open());
}

TEST(TcpSerialPort, CarriesBytesUnderTheReadTimeOutsAndNoticesTheEndOfTheConnection) {
  Listener server;
  SerialPort port;
  port.SetLine(12345, 7, kParityMark, kStopBitsTwo);  // no serial port takes it; TCP ignores it
  ASSERT_EQ(port.Open(server.name()), kPortOk) << port.open_error();
  EXPECT_TRUE(port.network());
  EXPECT_EQ(port.peer(), "127.0.0.1:" + std::to_string(server.port));
  int peer = server.Accept();
  ASSERT_GE(peer, 0);

  const uint8_t frame[] = {0x01, 0x60, 0x05};
  uint32_t written = 0;
  port.Write(frame, sizeof frame, &written);
  EXPECT_EQ(written, sizeof frame);
  uint8_t got[8] = {};
  EXPECT_EQ(::recv(peer, got, sizeof got, 0), 3);
  EXPECT_EQ(::send(peer, "ok", 2, 0), 2);
  uint32_t count = 2;
  port.Read(got, &count);
  EXPECT_EQ(count, 2u);
  // The serial read time-outs hold: 20 ms plus 1 ms per wanted byte on a silent peer.
  port.SetReadTimeouts(1);
  auto start = Clock::now();
  count = 10;
  port.Read(got, &count);
  EXPECT_EQ(count, 0u);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(29));
  EXPECT_FALSE(port.lost());

  // The device server closes while the line is idle: noticed without a byte sent.
  ::close(peer);
  start = Clock::now();
  while (!port.NoticeHangUp() && Clock::now() - start < std::chrono::seconds(2)) {
  }
  EXPECT_TRUE(port.lost());
  EXPECT_EQ(port.Read(got, &count), kPortOk);

  // Reopen connects again; a reset peer then ends the port at the next write, without SIGPIPE
  // ending this process.
  ASSERT_EQ(port.Reopen(), kPortOk);
  EXPECT_FALSE(port.lost());
  peer = server.Accept();
  const linger abort{1, 0};
  ::setsockopt(peer, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  ::close(peer);  // RST
  for (int i = 0; i < 3 && !port.lost(); ++i) {
    ::usleep(20000);
    port.Write(frame, sizeof frame, &written);
  }
  EXPECT_TRUE(port.lost());
  // Writing on into the reset connection gives EPIPE, which must not raise SIGPIPE.
  SerialOs& os = TcpSerialOs();
  int fd = -1;
  ASSERT_EQ(os.Open(server.name(), &fd), 0);
  peer = server.Accept();
  ::setsockopt(peer, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  ::close(peer);
  int err = 0;
  for (int i = 0; i < 50 && err != EPIPE; ++i) {
    size_t put = 0;
    err = os.Write(fd, frame, sizeof frame, &put);
    ::usleep(2000);
  }
  EXPECT_EQ(err, EPIPE);
  os.Close(fd);
  // And a port that is lost answers at once.
  port.SetReadTimeouts(1000);
  start = Clock::now();
  count = 10;
  port.Read(got, &count);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(100));
}

}  // namespace
}  // namespace kelo::link
