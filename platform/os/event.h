// Auto- and manual-reset events with bounded waits (the Windows event semantics).
#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace kelo::platform {

inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;

class Event {
 public:
  Event(bool manual_reset, bool initially_set);
  void Set();
  void Reset();
  // true when signalled within timeout_ms (kInfinite waits without limit). An auto-reset
  // event is reset by the wait that sees it set.
  bool Wait(uint32_t timeout_ms);
  bool IsSet();

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  bool manual_;
  bool set_;
};

}  // namespace kelo::platform
