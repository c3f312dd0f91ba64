// The device layer's speed figures against the protocol engine's own exchange, all on the
// in-process simulator over a pseudo-terminal:
//   BM_PairedSyncVsExchange  one synchronous printRecItem through DeviceUnit (hand-over to the
//                            worker, the operation, the status refresh, the sensor check)
//                            alternated with one bare SellItem exchange of the same engine on
//                            the same line, so both meet the same machine load;
//   BM_QueueDrain10k         10,000 printRecItem queued at once, drained by the worker, against
//                            the exchange rate measured on the same line just before and after;
//   BM_FramesPerCall         frames on the line per synchronous call and per bare exchange;
//   BM_IdleCpu               process CPU of a connected unit idling with the default polling
//                            periods, beside the simulator idling alone.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_rig.h"
#include "device/device_unit.h"
#include "device/unit_host.h"
#include "link/fpu_protocol.h"
#include "link/serial_port.h"
#include "opos/opos_constants.h"
#include "simulator/simulator.h"

namespace {

using kelo::bench::BenchHost;
using kelo::bench::HeapInUse;
using kelo::bench::Line;
using kelo::bench::ProcessCpuUs;
using kelo::bench::StatusKb;
using kelo::device::DeviceOperations;
using Clock = std::chrono::steady_clock;

const std::string kItem = std::string("Item\x1f") +
                          "100\x1f"
                          "1000\x1f"
                          "1\x1f"
                          "0\x1f\x1f";

// A connected unit with a fiscal receipt open; polling at the configuration's defaults.
struct Rig {
  Line line;
  BenchHost host;
  kelo::device::DeviceUnit unit{host};
  bool Start(benchmark::State& state) {
    if (!line.Open()) {
      state.SkipWithError("simulator");
      return false;
    }
    unit.AttachPort(&line.port);
    if (!unit.Connect(3000).ok()) {
      state.SkipWithError("connect");
      return false;
    }
    std::string out;
    if (!unit.RunDeviceOpSync(&DeviceOperations::DoBeginFiscalReceipt, "0\x1f", out).ok()) {
      state.SkipWithError("beginFiscalReceipt");
      return false;
    }
    return true;
  }
  // The engine's bare exchange, from the calling thread, on the unit's own engine.
  int32_t Exchange() {
    return unit.device().WithProtocol(
        [](kelo::link::FpuProtocol& e) { return e.SellItem("Item", 100, 1000, 1, 0, 0); });
  }
  ~Rig() { unit.Disconnect(); }
};

// Runs the calling thread at the worker thread's priority for its lifetime (the worker asks
// for two steps of niceness above the process), so the bare exchanges made from here and the
// operations run on the worker meet the same scheduler. Best effort: without the right to
// lower niceness both stay where they are and the worker keeps the normal priority too.
class SamePriorityAsWorker {
 public:
  SamePriorityAsWorker() {
    errno = 0;
    nice_ = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    valid_ = !(nice_ == -1 && errno != 0) &&
             setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), nice_ - 2) == 0;
  }
  ~SamePriorityAsWorker() {
    if (valid_) setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), nice_);
  }
  SamePriorityAsWorker(const SamePriorityAsWorker&) = delete;
  SamePriorityAsWorker& operator=(const SamePriorityAsWorker&) = delete;
  bool raised() const { return valid_; }

 private:
  int nice_ = 0;
  bool valid_ = false;
};

double Median(std::vector<double>& v) {
  if (v.empty()) return 0;
  std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
  return v[v.size() / 2];
}

double Us(Clock::duration d) {
  return std::chrono::duration<double, std::micro>(d).count();
}

// The floor of any hand-over to another thread and back: one request and one answer through a
// mutex and two condition variables, nothing else (what RunDeviceOpSync does around the
// command itself).
class PingPong {
 public:
  PingPong() : thread_([this] { Serve(); }) {}
  ~PingPong() {
    {
      std::lock_guard<std::mutex> l(mu_);
      stop_ = true;
    }
    request_cv_.notify_all();
    thread_.join();
  }
  void RoundTrip() {
    std::unique_lock<std::mutex> l(mu_);
    request_ = true;
    done_ = false;
    l.unlock();
    request_cv_.notify_one();
    l.lock();
    done_cv_.wait(l, [this] { return done_; });
  }

 private:
  void Serve() {
    std::unique_lock<std::mutex> l(mu_);
    for (;;) {
      request_cv_.wait(l, [this] { return request_ || stop_; });
      if (stop_) return;
      request_ = false;
      done_ = true;
      l.unlock();
      done_cv_.notify_one();
      l.lock();
    }
  }
  std::mutex mu_;  // guards the three flags
  std::condition_variable request_cv_;
  std::condition_variable done_cv_;
  bool request_ = false;
  bool done_ = false;
  bool stop_ = false;
  std::thread thread_;
};

void BM_PairedSyncVsExchange(benchmark::State& state) {
  Rig rig;
  if (!rig.Start(state)) return;
  SamePriorityAsWorker priority;
  state.counters["caller_raised"] = priority.raised();
  PingPong ping;
  std::vector<double> hand_us;
  std::vector<double> inplace_us;
  std::string out;
  int32_t id = 0;
  std::vector<double> sync_us;
  std::vector<double> link_us;
  bool sync_first = true;
  for (auto _ : state) {
    for (int k = 0; k < 2; ++k) {
      const bool do_sync = (k == 0) == sync_first;
      const auto t0 = Clock::now();
      if (do_sync) {
        benchmark::DoNotOptimize(
            rig.unit.RunDeviceOpSync(&DeviceOperations::DoPrintRecItem, kItem, out, ++id));
        sync_us.push_back(Us(Clock::now() - t0));
      } else {
        benchmark::DoNotOptimize(rig.Exchange());
        link_us.push_back(Us(Clock::now() - t0));
      }
    }
    sync_first = !sync_first;
    const auto t0 = Clock::now();
    ping.RoundTrip();
    hand_us.push_back(Us(Clock::now() - t0));
    // The same operation run on this thread: the operation's own cost without the hand-over.
    const auto t1 = Clock::now();
    benchmark::DoNotOptimize(rig.unit.operations().DoPrintRecItem(kItem, out));
    inplace_us.push_back(Us(Clock::now() - t1));
  }
  const double s = Median(sync_us);
  const double l = Median(link_us);
  state.counters["p50_sync_us"] = s;
  state.counters["p50_link_us"] = l;
  state.counters["ratio"] = l > 0 ? s / l : 0;
  state.counters["p50_handoff_us"] = Median(hand_us);
  state.counters["p50_op_inplace_us"] = Median(inplace_us);
}
BENCHMARK(BM_PairedSyncVsExchange)->UseRealTime();

// Frames on the line per synchronous printRecItem and per bare exchange (the link trace
// writes one line per frame): shows that the device layer sends no command of its own around
// the operation (the status block is refreshed from the answer, not by a status query).
void BM_FramesPerCall(benchmark::State& state) {
  Rig rig;
  if (!rig.Start(state)) return;
  std::atomic<int> frames{0};
  rig.unit.SetLinkTrace([&frames](std::string_view) { ++frames; });
  std::string out;
  int32_t id = 0;
  int sync_frames = 0;
  int link_frames = 0;
  int calls = 0;
  for (auto _ : state) {
    int before = frames.load();
    rig.unit.RunDeviceOpSync(&DeviceOperations::DoPrintRecItem, kItem, out, ++id);
    sync_frames += frames.load() - before;
    before = frames.load();
    rig.Exchange();
    link_frames += frames.load() - before;
    ++calls;
  }
  state.counters["frames_per_sync_call"] = static_cast<double>(sync_frames) / calls;
  state.counters["frames_per_exchange"] = static_cast<double>(link_frames) / calls;
}
BENCHMARK(BM_FramesPerCall)->Iterations(200);

// Rounds of: a block of 1,000 bare exchanges, 10,000 printRecItem queued at once and drained,
// another block of 1,000 exchanges. Each round's drain rate is set against the mean exchange
// rate of the two blocks around it; the medians over the rounds are reported.
void BM_QueueDrain10k(benchmark::State& state) {
  constexpr int kQueued = 10000;
  constexpr int kBlock = 1000;
  Rig rig;
  if (!rig.Start(state)) return;
  SamePriorityAsWorker priority;
  state.counters["caller_raised"] = priority.raised();
  for (int i = 0; i < 200; ++i) rig.Exchange();  // warm both sides
  struct Block {
    double wall_s;
    double cpu_us;
    double heap_b;
  };
  auto exchange_block = [&] {
    const double heap0 = HeapInUse();
    const double cpu0 = ProcessCpuUs();
    const auto t0 = Clock::now();
    for (int i = 0; i < kBlock; ++i) rig.Exchange();
    return Block{std::chrono::duration<double>(Clock::now() - t0).count() / kBlock,
                 (ProcessCpuUs() - cpu0) / kBlock, (HeapInUse() - heap0) / kBlock};
  };
  std::vector<double> rate_pct, exch_pct, frames_per_queued, drain_rate, exch_rate, cpu_queued,
      cpu_exch, heap_queued, heap_left, heap_exch, enqueue_us;
  const long rss_start = StatusKb("VmRSS:");
  Block before = exchange_block();
  for (auto _ : state) {
    rig.host.ResetCounts(kQueued);
    const uint64_t frames0 = rig.line.sim.exchange_counters().frames;
    const double heap0 = HeapInUse();
    const double cpu0 = ProcessCpuUs();
    const auto t0 = Clock::now();
    for (int i = 1; i <= kQueued; ++i) {
      rig.unit.QueueDeviceOp(&DeviceOperations::DoPrintRecItem, kItem, i);
    }
    const auto queued_at = Clock::now();
    const double heap_at_queued = HeapInUse();
    const bool all = rig.host.WaitCompleted(kQueued, 60000);
    const double drain_s = std::chrono::duration<double>(Clock::now() - t0).count();
    const double drain_cpu_us = ProcessCpuUs() - cpu0;
    const double heap1 = HeapInUse();
    const double frames =
        static_cast<double>(rig.line.sim.exchange_counters().frames - frames0) / kQueued;
    if (!all) {
      state.SkipWithError("queue not drained");
      return;
    }
    const Block after = exchange_block();
    state.SetIterationTime(drain_s);
    const double rate = 2.0 / (before.wall_s + after.wall_s);
    drain_rate.push_back(kQueued / drain_s);
    exch_rate.push_back(rate);
    rate_pct.push_back(100.0 * (kQueued / drain_s) / rate);
    // The same drain counted in exchanges: the receipt-line guard reads the amount to pay
    // once after the bare exchanges (which it did not see), then carries it line by line.
    frames_per_queued.push_back(frames);
    exch_pct.push_back(100.0 * (kQueued * frames / drain_s) / rate);
    cpu_queued.push_back(drain_cpu_us / kQueued);
    cpu_exch.push_back((before.cpu_us + after.cpu_us) / 2);
    heap_queued.push_back((heap_at_queued - heap0) / kQueued);
    heap_left.push_back((heap1 - heap0) / kQueued);
    heap_exch.push_back((before.heap_b + after.heap_b) / 2);
    enqueue_us.push_back(Us(queued_at - t0));
    before = after;
  }
  state.counters["rate_pct"] = Median(rate_pct);
  state.counters["exch_rate_pct"] = Median(exch_pct);
  state.counters["frames_per_queued"] = Median(frames_per_queued);
  state.counters["drain_per_s"] = Median(drain_rate);
  state.counters["exch_per_s"] = Median(exch_rate);
  state.counters["cpu_us_per_queued"] = Median(cpu_queued);
  state.counters["cpu_us_per_exch"] = Median(cpu_exch);
  state.counters["heap_B_per_queued"] = Median(heap_queued);
  state.counters["heap_B_left_per_cmd"] = Median(heap_left);
  state.counters["heap_B_per_exch"] = Median(heap_exch);
  state.counters["enqueue_10k_us"] = Median(enqueue_us);
  state.counters["rss_kb_start"] = static_cast<double>(rss_start);
  state.counters["rss_kb_end"] = static_cast<double>(StatusKb("VmRSS:"));
  state.counters["hwm_kb"] = static_cast<double>(StatusKb("VmHWM:"));
}
BENCHMARK(BM_QueueDrain10k)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// Process CPU over a stretch of idling as a percentage of one core. Arg 0: the simulator alone
// (its own idle cost, the floor); arg 1: a connected unit with the default polling periods.
void BM_IdleCpu(benchmark::State& state) {
  constexpr int kIdleMs = 5000;
  const bool with_unit = state.range(0) != 0;
  Line line;
  BenchHost host;
  kelo::device::DeviceUnit unit(host);
  if (!line.Open()) {
    state.SkipWithError("simulator");
    return;
  }
  if (with_unit) {
    unit.AttachPort(&line.port);
    if (!unit.Connect(3000).ok()) {
      state.SkipWithError("connect");
      return;
    }
    const kelo::device::PollingTimes p = unit.polling_times();
    state.counters["polling_ms"] = p.polling;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // past the first short poll
  for (auto _ : state) {
    const double cpu0 = ProcessCpuUs();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(kIdleMs));
    const double wall = Us(Clock::now() - t0);
    const double cpu = ProcessCpuUs() - cpu0;
    state.SetIterationTime(wall / 1e6);
    state.counters["cpu_pct_of_core"] = 100.0 * cpu / wall;
    state.counters["cpu_us"] = cpu;
  }
  unit.Disconnect();
}
BENCHMARK(BM_IdleCpu)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
