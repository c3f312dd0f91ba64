// SerialOs on a TCP connection: a printer behind a serial device server in raw TCP mode. The
// bytes are the serial line's; the line settings belong to the device server's own
// configuration, so the termios and modem-line calls do nothing here.
//
// errno is read here, right after each call, as in serial_os_linux.cc.
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "link/serial_port.h"
#include "link/tcp_address.h"

namespace kelo::link {
namespace {

using SteadyClock = std::chrono::steady_clock;

void SetOption(int fd, int level, int name, int value) {
  // A kernel without one of the keep-alive options still carries the traffic; the option
  // only shortens how long a dead peer goes unnoticed.
  (void)::setsockopt(fd, level, name, &value, sizeof value);
}

// One connection attempt to one address, bounded by the deadline. 0 or an errno value.
int ConnectOne(const addrinfo& ai, SteadyClock::time_point deadline, int* out) {
  const int fd =
      ::socket(ai.ai_family, ai.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai.ai_protocol);
  if (fd < 0) return errno;
  auto fail = [fd](int err) {
    ::close(fd);
    return err;
  };
  if (::connect(fd, ai.ai_addr, ai.ai_addrlen) != 0) {
    if (errno != EINPROGRESS) return fail(errno);
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now())
              .count();
      if (left <= 0) return fail(ETIMEDOUT);
      pollfd p{fd, POLLOUT, 0};
      const int r = ::poll(&p, 1, static_cast<int>(left));
      if (r < 0 && errno == EINTR) continue;
      if (r < 0) return fail(errno);
      if (r == 0) return fail(ETIMEDOUT);
      break;
    }
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) return fail(errno);
    if (err != 0) return fail(err);
  }
  // Blocking from here on, as the serial descriptor is: reads wait in poll(), and a write
  // ends at the latest when TCP_USER_TIMEOUT gives up on an unacknowledged peer.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return fail(errno);
  // Frames are small and each waits for its answer: no coalescing delay.
  SetOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
  SetOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
  SetOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, kTcpKeepIdleS);
  SetOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, kTcpKeepIntervalS);
  SetOption(fd, IPPROTO_TCP, TCP_KEEPCNT, kTcpKeepCount);
  SetOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, kTcpUserTimeoutMs);
  *out = fd;
  return 0;
}

class TcpOs : public SerialOs {
 public:
  int Open(const std::string& path, int* fd) override {
    TcpAddress address;
    std::string error;
    if (!ParseTcpPortName(path, &address, &error)) return EINVAL;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* list = nullptr;
    // Name resolution is the resolver's own wait (its time-out and attempts from
    // /etc/resolv.conf); an address written as digits resolves without any.
    const std::string service = std::to_string(address.port);
    const int gai = ::getaddrinfo(address.host.c_str(), service.c_str(), &hints, &list);
    if (gai == EAI_SYSTEM) return errno != 0 ? errno : EIO;
    if (gai == EAI_MEMORY) return ENOMEM;
    if (gai != 0) return kOpenErrorUnresolved;
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(kTcpConnectTimeoutMs);
    int err = ETIMEDOUT;
    for (const addrinfo* ai = list; ai != nullptr; ai = ai->ai_next) {
      err = ConnectOne(*ai, deadline, fd);
      if (err == 0 || err == ETIMEDOUT) break;  // the time-out covers every address
    }
    ::freeaddrinfo(list);
    return err;
  }
  int Close(int fd) override { return ::close(fd) == 0 ? 0 : errno; }
  int GetAttr(int, termios*) override { return 0; }
  int SetAttr(int, const termios&) override { return 0; }
  int SetModemLine(int, int, bool) override { return 0; }
  int Flush(int fd, int queue) override {
    if (queue != TCIFLUSH) return 0;  // what was sent is on its way
    uint8_t scratch[512];
    for (;;) {
      const ssize_t n = ::recv(fd, scratch, sizeof scratch, MSG_DONTWAIT);
      if (n > 0) continue;
      if (n == 0) return EPIPE;  // the peer closed the connection
      if (errno == EINTR) continue;
      return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : errno;
    }
  }
  int Poll(int fd, uint32_t timeout_ms, bool* readable) override {
    pollfd p{fd, POLLIN | POLLRDHUP, 0};
    const int timeout = timeout_ms > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(timeout_ms);
    const int r = ::poll(&p, 1, timeout);
    if (r < 0) return errno;
    // A closed or failed connection counts as readable so that the read reports it.
    *readable = r > 0 && (p.revents & (POLLIN | POLLRDHUP | POLLHUP | POLLERR)) != 0;
    return 0;
  }
  int Read(int fd, uint8_t* buffer, size_t count, size_t* got) override {
    const ssize_t n = ::recv(fd, buffer, count, 0);
    if (n < 0) return errno;
    *got = static_cast<size_t>(n);
    return 0;
  }
  int Write(int fd, const uint8_t* buffer, size_t count, size_t* put) override {
    // A peer that went away gives EPIPE here, never SIGPIPE to the host process.
    const ssize_t n = ::send(fd, buffer, count, MSG_NOSIGNAL);
    if (n < 0) return errno;
    *put = static_cast<size_t>(n);
    return 0;
  }
  int InputPending(int fd, int* count) override {
    return ::ioctl(fd, FIONREAD, count) == 0 ? 0 : errno;
  }
  bool PeerClosed(int fd) override {
    pollfd p{fd, POLLRDHUP, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
  }
  std::string Peer(int fd) override {
    sockaddr_storage sa{};
    socklen_t len = sizeof sa;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return {};
    char host[NI_MAXHOST] = {};
    char service[NI_MAXSERV] = {};
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&sa), len, host, sizeof host, service,
                      sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
      return {};
    }
    return FormatTcpAddress(host, static_cast<uint16_t>(std::atoi(service)));
  }
};

}  // namespace

SerialOs& TcpSerialOs() {
  static TcpOs os;
  return os;
}

}  // namespace kelo::link
