#include "platform/os/clock.h"

#include <chrono>
#include <thread>

namespace kelo::platform {
namespace {

class SteadyClock : public Clock {
 public:
  // The low 32 bits of the steady clock in milliseconds: wraps every 49.7 days like the
  // tick counter it stands in for, so all users must compare ticks with TicksSince.
  uint32_t TickMs() override {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<uint32_t>(static_cast<uint64_t>(ms.count()));
  }
  void SleepMs(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

}  // namespace

Clock& SystemClock() {
  static SteadyClock clock;
  return clock;
}

}  // namespace kelo::platform
