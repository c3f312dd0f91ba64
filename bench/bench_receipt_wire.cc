// A 100-item receipt on a line as slow as a real one: the simulator paces every byte at the
// given baud rate (10 bits a byte), and the receipt's wall time is set against the wire time
// of the bytes that crossed the line both ways (the bound no driver can beat; the simulator
// answers at once, so the printer's own time is close to zero).
//   BM_Receipt100Items/<baud>/<queued>
//     beginFiscalReceipt, 100 printRecItem, printRecTotal, endFiscalReceipt through a
//     DeviceUnit; queued=1 runs the items and the total through the asynchronous queue,
//     which reads the amount to pay before each line (one exchange more per line).
// Counters: ratio = wall time / wire time of the bytes (median over the receipts; ratio_best
// the lowest), frames and bytes per receipt.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "bench/bench_rig.h"
#include "device/device_unit.h"

namespace {

using kelo::bench::BenchHost;
using kelo::bench::Line;
using kelo::device::DeviceOperations;
using Clock = std::chrono::steady_clock;

constexpr int kItems = 100;

std::string ItemFields(int n) {
  return "Item " + std::to_string(n) + "\x1f" + "125\x1f" + "1000\x1f" + "1\x1f" + "0\x1f\x1f";
}

double Median(std::vector<double> v) {
  std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

void BM_Receipt100Items(benchmark::State& state) {
  const auto baud = static_cast<uint32_t>(state.range(0));
  const bool queued = state.range(1) != 0;
  kelo::sim::SimulatorOptions options;
  options.baud = baud;
  Line line(options);
  BenchHost host;
  kelo::device::DeviceUnit unit(host);
  if (!line.Open()) {
    state.SkipWithError("simulator");
    return;
  }
  unit.AttachPort(&line.port);
  if (!unit.Connect(5000).ok()) {
    state.SkipWithError("connect");
    return;
  }
  std::vector<std::string> items;
  for (int i = 1; i <= kItems; ++i) items.push_back(ItemFields(i));
  const std::string total =
      std::to_string(kItems * 125) + "\x1f" + std::to_string(kItems * 125) + "\x1f" + "Cash\x1f";
  std::vector<double> ratios, walls, wires;
  double frames_sum = 0;
  double bytes_sum = 0;
  int32_t output_id = 0;
  int receipts = 0;
  for (auto _ : state) {
    std::string out;
    const kelo::sim::ExchangeCounters c0 = line.sim.exchange_counters();
    const auto t0 = Clock::now();
    bool ok = unit.RunDeviceOpSync(&DeviceOperations::DoBeginFiscalReceipt, "0\x1f", out).ok();
    host.SetNumberProperty(kelo::opos::PIDX_AsyncMode, queued ? 1 : 0);
    host.ResetCounts(kItems + 1);
    for (const std::string& item : items) {
      if (!ok) break;
      ok = unit.RunDeviceOp(&DeviceOperations::DoPrintRecItem, item, out, ++output_id).ok();
    }
    ok = ok && unit.RunDeviceOp(&DeviceOperations::DoPrintRecTotal, total, out, ++output_id).ok();
    if (queued)
      ok = ok && host.WaitCompleted(kItems + 1, 120000) && kelo::bench::WaitQueueEmpty(unit);
    host.SetNumberProperty(kelo::opos::PIDX_AsyncMode, 0);
    ok = ok && unit.RunDeviceOpSync(&DeviceOperations::DoEndFiscalReceipt, "0\x1f", out).ok();
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    if (!ok) {
      state.SkipWithError("receipt failed");
      break;
    }
    const kelo::sim::ExchangeCounters c1 = line.sim.exchange_counters();
    const double bytes =
        static_cast<double>((c1.bytes_in - c0.bytes_in) + (c1.bytes_out - c0.bytes_out));
    const double wire = bytes * 10.0 / baud;
    state.SetIterationTime(wall);
    ratios.push_back(wall / wire);
    walls.push_back(wall);
    wires.push_back(wire);
    frames_sum += static_cast<double>(c1.frames - c0.frames);
    bytes_sum += bytes;
    ++receipts;
  }
  unit.Disconnect();
  if (receipts == 0) return;
  // Medians: one receipt slowed by a busy moment of the machine does not move them.
  state.counters["ratio"] = Median(ratios);
  state.counters["ratio_best"] = *std::min_element(ratios.begin(), ratios.end());
  state.counters["wall_ms"] = 1000 * Median(walls);
  state.counters["wire_ms"] = 1000 * Median(wires);
  state.counters["frames_in"] = frames_sum / receipts;
  state.counters["bytes"] = bytes_sum / receipts;
}
BENCHMARK(BM_Receipt100Items)
    ->Args({19200, 0})
    ->Args({19200, 1})
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Receipt100Items)
    ->Args({115200, 0})
    ->Args({115200, 1})
    ->UseManualTime()
    ->Iterations(7)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
