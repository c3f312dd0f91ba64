// DRAWER_WAIT on the caller's thread: look at the drawer word of the status block every
// 50 ms until the time-out has passed or the drawer is no longer reported open.
#pragma once
#include <cstdint>
#include <functional>

#include "device/device_status_block.h"
#include "platform/os/clock.h"

namespace kelo::device {

// Copies the status block, sleeps 50 ms, and repeats until timeout_ms is used up or the
// copied drawer word is not 1; answers that last drawer word. Sleeps at least once. No lock
// is held while it sleeps.
int32_t WaitForDrawer(const std::function<DeviceStatusBlock()>& copy_status, platform::Clock& clock,
                      int32_t timeout_ms);

}  // namespace kelo::device
