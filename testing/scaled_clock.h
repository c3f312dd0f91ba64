// Real time running `factor` times faster, for long soaks: protocol deadlines, busy and
// in-progress pauses and the simulator's in-progress time all shrink by the same factor, so
// the order of events on the line stays what it is at real speed. Factor 1 is real time.
#pragma once
#include <chrono>
#include <cstdint>
#include <thread>

#include "platform/os/clock.h"

namespace kelo::testing {

class ScaledClock : public platform::Clock {
 public:
  explicit ScaledClock(uint32_t factor) : factor_(factor == 0 ? 1 : factor) {}
  uint32_t TickMs() override {
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - origin_);
    return static_cast<uint32_t>(static_cast<uint64_t>(us.count()) * factor_ / 1000);
  }
  void SleepMs(uint32_t ms) override {
    std::this_thread::sleep_for(std::chrono::microseconds(uint64_t{ms} * 1000 / factor_));
  }
  uint32_t factor() const { return factor_; }

 private:
  const uint32_t factor_;
  const std::chrono::steady_clock::time_point origin_ = std::chrono::steady_clock::now();
};

}  // namespace kelo::testing
