// A scripted serial line in virtual time, for tests and fuzzing of the link.
//
// The line stands in for the operating system under SerialPort: it records every setting and
// modem-line call, hands each written block to a responder, and delivers scheduled input bytes
// when the fake clock reaches their time. Poll advances the fake clock instead of sleeping, so
// time-outs of seconds run in microseconds.
#pragma once
#include <sys/ioctl.h>
#include <termios.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "link/serial_port.h"
#include "platform/os/clock.h"

namespace kelo::link::testing {

class FakeSerialOs : public SerialOs {
 public:
  // Called with every block the driver writes (under no lock of the fake: it may Deliver).
  using Responder = std::function<void(const std::vector<uint8_t>& written)>;

  explicit FakeSerialOs(platform::FakeClock& clock) : clock_(clock) {}

  // ---- Script ----
  void SetResponder(Responder responder) { responder_ = std::move(responder); }
  // Makes bytes arrive delay_ms after the current virtual time.
  void Deliver(const std::vector<uint8_t>& bytes, uint32_t delay_ms = 0) {
    std::lock_guard<std::mutex> lock(mutex_);
    uint32_t at = clock_.TickMs() + delay_ms;
    for (uint8_t b : bytes) input_.push_back({at, b});
  }
  void FailOpen(int err) { open_error_ = err; }
  void FailModemLines(int err) { modem_error_ = err; }

  // ---- Record ----
  std::vector<std::string> calls;  // "open", "setattr", "dtr+", "rts-", "flush-in", ...
  std::vector<std::vector<uint8_t>> writes;
  termios last_attr{};
  bool dtr = false;
  bool rts = false;
  bool open = false;
  int polls = 0;
  int reads = 0;

  size_t Queued() {
    std::lock_guard<std::mutex> lock(mutex_);
    return input_.size();
  }

  // ---- SerialOs ----
  int Open(const std::string& path, int* fd) override {
    calls.push_back("open " + path);
    if (open_error_ != 0) return open_error_;
    open = true;
    *fd = 7;
    return 0;
  }
  int Close(int) override {
    calls.push_back("close");
    open = false;
    return 0;
  }
  int GetAttr(int, termios* tio) override {
    calls.push_back("getattr");
    *tio = last_attr;
    return 0;
  }
  int SetAttr(int, const termios& tio) override {
    calls.push_back("setattr");
    last_attr = tio;
    return 0;
  }
  int SetModemLine(int, int line, bool on) override {
    std::string name = line == TIOCM_DTR ? "dtr" : line == TIOCM_RTS ? "rts" : "line?";
    calls.push_back(name + (on ? "+" : "-"));
    if (modem_error_ != 0) return modem_error_;
    (line == TIOCM_DTR ? dtr : rts) = on;
    return 0;
  }
  int Flush(int, int queue) override {
    calls.push_back(queue == TCIFLUSH ? "flush-in" : "flush-out");
    if (queue == TCIFLUSH) {
      std::lock_guard<std::mutex> lock(mutex_);
      // Only what has arrived is discarded; bytes still on their way stay scheduled.
      uint32_t now = clock_.TickMs();
      std::erase_if(input_, [&](const Byte& b) { return Arrived(b, now); });
    }
    return 0;
  }
  int Poll(int, uint32_t timeout_ms, bool* readable) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++polls;
    uint32_t now = clock_.TickMs();
    *readable = false;
    if (!input_.empty()) {
      uint32_t wait = platform::TicksSince(now, input_.front().at);
      if (Arrived(input_.front(), now)) wait = 0;
      if (wait <= timeout_ms) {
        clock_.Advance(wait);
        *readable = true;
        return 0;
      }
    }
    clock_.Advance(timeout_ms);
    return 0;
  }
  int Read(int, uint8_t* buffer, size_t count, size_t* got) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++reads;
    uint32_t now = clock_.TickMs();
    size_t n = 0;
    while (n < count && !input_.empty() && Arrived(input_.front(), now)) {
      buffer[n++] = input_.front().value;
      input_.pop_front();
    }
    *got = n;
    return n == 0 ? EAGAIN : 0;
  }
  int Write(int, const uint8_t* buffer, size_t count, size_t* put) override {
    std::vector<uint8_t> block(buffer, buffer + count);
    writes.push_back(block);
    *put = count;
    if (responder_) responder_(block);
    return 0;
  }
  int InputPending(int, int* count) override {
    std::lock_guard<std::mutex> lock(mutex_);
    uint32_t now = clock_.TickMs();
    *count = static_cast<int>(std::count_if(input_.begin(), input_.end(),
                                            [&](const Byte& b) { return Arrived(b, now); }));
    return 0;
  }

 private:
  struct Byte {
    uint32_t at;
    uint8_t value;
  };
  // Arrival times are within a short window of now; compare across the tick wrap.
  static bool Arrived(const Byte& b, uint32_t now) { return static_cast<int32_t>(now - b.at) >= 0; }

  platform::FakeClock& clock_;
  Responder responder_;
  // Guards the input queue, which a responder on another thread may feed.
  std::mutex mutex_;
  std::deque<Byte> input_;
  int open_error_ = 0;
  int modem_error_ = 0;
};

}  // namespace kelo::link::testing
