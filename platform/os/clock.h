// Time for everything that waits: a 32-bit millisecond tick that wraps like GetTickCount,
// and a sleeper. Timing code takes a Clock& so tests can run it in virtual time.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>

namespace kelo::platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds from an arbitrary origin, wrapping at 2^32.
  virtual uint32_t TickMs() = 0;
  virtual void SleepMs(uint32_t ms) = 0;
};

// Elapsed milliseconds from start to now, correct across the 32-bit wrap.
inline uint32_t TicksSince(uint32_t start, uint32_t now) {
  return now - start;
}

// The steady clock of the process.
Clock& SystemClock();

// Virtual time: SleepMs advances the tick instead of sleeping. Thread-safe.
class FakeClock : public Clock {
 public:
  explicit FakeClock(uint32_t start = 0) : now_(start) {}
  uint32_t TickMs() override { return now_.load(); }
  void SleepMs(uint32_t ms) override {
    now_.fetch_add(ms);
    slept_.fetch_add(ms);
  }
  void Advance(uint32_t ms) { now_.fetch_add(ms); }
  void Set(uint32_t t) { now_.store(t); }
  uint64_t total_slept() const { return slept_.load(); }

 private:
  std::atomic<uint32_t> now_;
  std::atomic<uint64_t> slept_{0};
};

}  // namespace kelo::platform
