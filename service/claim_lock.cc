#include "service/claim_lock.h"

#include <chrono>

namespace kelo::service {

bool ClaimLock::Acquire(int32_t timeout_ms) {
  std::unique_lock<std::mutex> lock(mu_);
  auto free = [this] { return !held_; };
  if (timeout_ms == -1) {
    cv_.wait(lock, free);
  } else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms),
                           free)) {
    return false;
  }
  held_ = true;
  return true;
}

void ClaimLock::Release() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    held_ = false;
  }
  cv_.notify_one();
}

bool ClaimLock::held() {
  std::lock_guard<std::mutex> lock(mu_);
  return held_;
}

}  // namespace kelo::service
