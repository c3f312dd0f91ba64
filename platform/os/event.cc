#include "platform/os/event.h"

#include <chrono>

namespace kelo::platform {

Event::Event(bool manual_reset, bool initially_set) : manual_(manual_reset), set_(initially_set) {}

void Event::Set() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    set_ = true;
  }
  // A manual-reset event releases every waiter; an auto-reset one releases one, but waking
  // all is harmless: the first to take the lock consumes the signal, the rest wait again.
  if (manual_) {
    cv_.notify_all();
  } else {
    cv_.notify_one();
  }
}

void Event::Reset() {
  std::lock_guard<std::mutex> lock(mu_);
  set_ = false;
}

bool Event::Wait(uint32_t timeout_ms) {
  std::unique_lock<std::mutex> lock(mu_);
  auto ready = [this] { return set_; };
  if (timeout_ms == kInfinite) {
    cv_.wait(lock, ready);
  } else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready)) {
    return false;
  }
  if (!manual_) set_ = false;
  return true;
}

bool Event::IsSet() {
  std::lock_guard<std::mutex> lock(mu_);
  return set_;
}

}  // namespace kelo::platform
