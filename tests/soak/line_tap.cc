#include "tests/soak/line_tap.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace kelo::soak {
namespace {

void WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) {
        pollfd p{fd, POLLOUT, 0};
        poll(&p, 1, 10);
        continue;
      }
      return;  // the other end went away; the test sees the missing bytes
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
}

}  // namespace

LineTap::~LineTap() {
  Stop();
}

bool LineTap::Start(sim::Simulator& sim, std::string* error) {
  char name[128] = {};
  if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
    *error = "openpty failed";
    return false;
  }
  slave_path_ = name;
  termios tio{};
  tcgetattr(master_, &tio);
  cfmakeraw(&tio);
  tcsetattr(master_, TCSANOW, &tio);
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
    *error = "socketpair failed";
    return false;
  }
  printer_end_ = pair[0];
  if (!sim.StartOnFd(pair[1], error)) return false;
  wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  thread_ = std::thread([this] { Relay(); });
  return true;
}

void LineTap::Stop() {
  if (thread_.joinable()) {
    stop_ = true;
    const uint64_t one = 1;
    (void)!write(wake_, &one, sizeof one);
    thread_.join();
  }
  for (int* fd : {&master_, &slave_, &printer_end_, &wake_}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}

void LineTap::FromPrinter(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  uint32_t hold_ms = 0;
  for (uint8_t& b : bytes) {
    // Only the envelope's head matters: 0x01, a kind 0x60..0x6F, then the sequence byte.
    switch (header_pos_) {
      case 0:
        if (b == 0x01) header_pos_ = 1;
        break;
      case 1:
        if ((b & 0xF0) == 0x60) {
          header_pos_ = 2;
          answers_++;
          hold_ms = std::max(hold_ms, delay_next_ms_.exchange(0));
        } else {
          header_pos_ = b == 0x01 ? 1 : 0;
        }
        break;
      default:
        if (damage_next_.exchange(false)) b = static_cast<uint8_t>(b + 5);
        header_pos_ = 0;
        break;
    }
  }
  // A held answer holds everything behind it too, as a slow line would.
  if (hold_ms != 0) std::this_thread::sleep_for(std::chrono::milliseconds(hold_ms));
  WriteAll(master_, bytes.data(), bytes.size());
}

void LineTap::Relay() {
  uint8_t buffer[1024];
  while (!stop_) {
    pollfd p[3] = {{master_, POLLIN, 0}, {printer_end_, POLLIN, 0}, {wake_, POLLIN, 0}};
    if (poll(p, 3, 100) <= 0) continue;
    if (p[2].revents) break;
    if (p[0].revents & POLLIN) {
      const ssize_t n = read(master_, buffer, sizeof buffer);
      if (n > 0) WriteAll(printer_end_, buffer, static_cast<size_t>(n));
    }
    if (p[1].revents & POLLIN) {
      const ssize_t n = read(printer_end_, buffer, sizeof buffer);
      if (n > 0) FromPrinter(buffer, static_cast<size_t>(n));
    }
  }
}

}  // namespace kelo::soak
