// Bounded waits for tests: a condition polled until it holds or the limit passes.
#pragma once
#include <chrono>
#include <thread>

namespace kelo::testing {

// True once pred() holds; false when it still does not after `limit` (real time).
template <typename Pred>
bool WaitFor(Pred pred, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace kelo::testing
