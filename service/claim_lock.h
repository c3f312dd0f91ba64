// The claim mutex of a unit: held from a successful ClaimDevice to ReleaseDevice.
//
// Unlike an operating-system mutex it is not owned by a thread: ReleaseDevice from another
// thread than the claiming one is honoured (the claim belongs to the unit, and an
// application may well hand its device from one thread to another). A release without a
// hold does nothing.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace kelo::service {

class ClaimLock {
 public:
  // timeout_ms: -1 (opos::OPOS_FOREVER) waits without limit, as the caller asked; any other
  // negative value is taken as 0. True when the lock was obtained.
  bool Acquire(int32_t timeout_ms);
  void Release();
  bool held();

 private:
  // Guards held_.
  std::mutex mu_;
  std::condition_variable cv_;
  bool held_ = false;
};

}  // namespace kelo::service
