#include "device/drawer_wait.h"

#include "device/directio_text.h"

namespace kelo::device {

int32_t WaitForDrawer(const std::function<DeviceStatusBlock()>& copy_status, platform::Clock& clock,
                      int32_t timeout_ms) {
  int64_t remaining = timeout_ms;
  int32_t drawer = 0;
  while (true) {
    drawer = copy_status()[DeviceStatusBlock::kDrawer];
    clock.SleepMs(directio::kDrawerWaitStepMs);
    remaining -= directio::kDrawerWaitStepMs;
    if (remaining <= 0 || drawer != 1) return drawer;
  }
}

}  // namespace kelo::device
