// Opening files whose names come from configuration or callers (trace file, debug output,
// pictures, report destinations) without trusting what the name points at.
#pragma once
#include <sys/types.h>

#include <string>

namespace kelo::platform {

// open(path, flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode), then refuses anything that
// is not a regular file, then clears O_NONBLOCK. A symbolic link as the last component gives
// ELOOP; a FIFO, device, socket or directory gives EINVAL and is never blocked on or written
// to. Returns the descriptor, or -1 with errno set.
int OpenRegularFile(const std::string& path, int flags, mode_t mode = 0644);

}  // namespace kelo::platform
