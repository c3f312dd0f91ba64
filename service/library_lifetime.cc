#include "service/library_lifetime.h"

#include <atomic>

namespace kelo::service {

namespace {
std::atomic<int> g_instances{0};
std::atomic<int> g_locks{0};
}  // namespace

void AddLibraryInstance() {
  g_instances.fetch_add(1);
}
void RemoveLibraryInstance() {
  g_instances.fetch_sub(1);
}

void LockLibrary(bool lock) {
  if (lock) {
    g_locks.fetch_add(1);
    return;
  }
  // An unlock without a lock is ignored rather than letting the count go negative.
  int locks = g_locks.load();
  while (locks > 0 && !g_locks.compare_exchange_weak(locks, locks - 1)) {
  }
}

bool LibraryCanUnload() {
  return g_instances.load() == 0 && g_locks.load() == 0;
}

}  // namespace kelo::service
