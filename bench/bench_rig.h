// What the device-layer benchmarks share: a unit host that keeps properties and counts
// completions without recording anything per event, a simulator on a pseudo-terminal with the
// port opened on it, and readings of the process's CPU time and memory.
#pragma once
#include <malloc.h>
#include <sys/resource.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "device/unit_host.h"
#include "link/serial_port.h"
#include "opos/opos_constants.h"
#include "simulator/simulator.h"
#include "testing/property_host.h"

namespace kelo::bench {

// A host that keeps properties and counts completions; it records nothing per event so that
// the memory figures show the device layer, not the host.
class BenchHost : public device::testing::PropertyHost {
 public:
  BenchHost() { SetClaimedDefaults(); }
  int32_t GetState() override { return 2; }
  void SetState(int32_t) override {}
  void RaiseStatusUpdate(int32_t) override {}
  void RaiseOutputComplete(int32_t) override {
    bool wake;
    {
      std::lock_guard<std::mutex> l(mu_);
      wake = ++completed_ == target_;
    }
    // Only the last completion wakes the waiting thread: a wake per command would take CPU
    // from the worker being measured.
    if (wake) cv_.notify_all();
  }
  int32_t RaiseError(int32_t, int32_t, int32_t, int32_t preset) override {
    {
      std::lock_guard<std::mutex> l(mu_);
      ++errors_;
    }
    cv_.notify_all();
    return preset;
  }
  void Trace(int, const std::string&) override {}
  std::string GetPosId() override { return ""; }
  std::string GetCashierId() override { return ""; }
  void SetVatTableEntry(int32_t, int32_t) override {}

  // Waits (bounded) until `count` completions or any error; true when all completed.
  bool WaitCompleted(int count, int timeout_ms) {
    std::unique_lock<std::mutex> l(mu_);
    target_ = count;
    cv_.wait_for(l, std::chrono::milliseconds(timeout_ms),
                 [&] { return completed_ >= count || errors_ > 0; });
    return completed_ >= count;
  }
  void ResetCounts(int target) {
    std::lock_guard<std::mutex> l(mu_);
    target_ = target;
    completed_ = 0;
    errors_ = 0;
  }

 private:
  std::mutex mu_;  // guards the counters
  std::condition_variable cv_;
  int completed_ = 0;
  int target_ = -1;
  int errors_ = 0;
};

struct Line {
  Line() = default;
  explicit Line(sim::SimulatorOptions options) : sim(std::move(options)) {}
  sim::Simulator sim;
  link::SerialPort port;
  bool Open() {
    std::string error;
    if (!sim.Start(&error)) return false;
    if (port.Open(sim.slave_path()) != 0) return false;
    port.SetReadTimeouts(30);
    return true;
  }
};

// The last OutputCompleteEvent comes just before its command leaves the queue; a synchronous
// call made at once could still meet the queue busy (113). Waits at most 10 s.
template <typename Unit>
bool WaitQueueEmpty(Unit& unit) {
  for (int i = 0; i < 10000 && !unit.QueueEmpty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return unit.QueueEmpty();
}

inline double ProcessCpuUs() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_utime.tv_sec * 1e6 + ru.ru_utime.tv_usec + ru.ru_stime.tv_sec * 1e6 +
         ru.ru_stime.tv_usec;
}

inline long StatusKb(const char* key) {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  long kb = -1;
  const size_t n = std::strlen(key);
  while (std::fgets(line, sizeof line, f)) {
    if (std::strncmp(line, key, n) == 0) {
      kb = std::strtol(line + n + 1, nullptr, 10);
      break;
    }
  }
  std::fclose(f);
  return kb;
}

inline double HeapInUse() {
  return static_cast<double>(mallinfo2().uordblks);
}

}  // namespace kelo::bench
