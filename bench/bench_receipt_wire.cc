// A 100-item receipt on a line as slow as a real one: the simulator paces every byte at the
// given baud rate (10 bits a byte), and the receipt's wall time is set against the wire time
// of the bytes that crossed the line both ways (the bound no driver can beat; the simulator
// answers at once, so the printer's own time is close to zero).
//   BM_Receipt100Items/<baud>/<queued>
//     beginFiscalReceipt, 100 printRecItem, printRecTotal, endFiscalReceipt through a
//     DeviceUnit; queued=1 runs the items and the total through the asynchronous queue.
//   BM_MixedReceiptQueuedVsSync/<baud>
//     100 items, a subtotal, a 10 % subtotal discount and two payments, synchronous and
//     queued in turn: the queued receipt against the synchronous one, and frames per line.
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

// A connected unit on a simulator paced at the given baud rate.
struct WireRig {
  explicit WireRig(uint32_t baud) : line(Options(baud)) {}
  static kelo::sim::SimulatorOptions Options(uint32_t baud) {
    kelo::sim::SimulatorOptions options;
    options.baud = baud;
    return options;
  }
  bool Start(benchmark::State& state) {
    if (!line.Open()) {
      state.SkipWithError("simulator");
      return false;
    }
    unit.AttachPort(&line.port);
    if (!unit.Connect(5000).ok()) {
      state.SkipWithError("connect");
      return false;
    }
    return true;
  }
  ~WireRig() { unit.Disconnect(); }
  Line line;
  BenchHost host;
  kelo::device::DeviceUnit unit{host};
  int32_t output_id = 0;
};

struct ReceiptRun {
  bool ok = false;
  double wall_s = 0;
  double bytes = 0;        // both ways, the whole receipt
  double frames = 0;       // the whole receipt
  double line_frames = 0;  // from the first line to the last, begin and end left out
  int lines = 0;           // the lines between begin and end
};

// One receipt: beginFiscalReceipt, 100 printRecItem, then either one printRecTotal paying
// everything (simple) or a printRecSubtotal, a 10 % printRecSubtotalAdjustment and two
// printRecTotal paying in two parts (mixed); then endFiscalReceipt. The lines between begin
// and end go through RunDeviceOp, queued when queued is set.
ReceiptRun RunReceipt(WireRig& rig, bool queued, bool mixed) {
  using Op = kelo::device::DeviceOp;
  static const std::vector<std::string> kItemTexts = [] {
    std::vector<std::string> v;
    for (int i = 1; i <= kItems; ++i) v.push_back(ItemFields(i));
    return v;
  }();
  std::vector<std::pair<Op, std::string>> lines;
  for (const std::string& item : kItemTexts)
    lines.emplace_back(&DeviceOperations::DoPrintRecItem, item);
  const int64_t sum = kItems * 125;
  if (mixed) {
    const int64_t total = sum - sum / 10;
    const int64_t first = total / 2;
    lines.emplace_back(&DeviceOperations::DoPrintRecSubtotal, std::to_string(sum) + "\x1f");
    lines.emplace_back(&DeviceOperations::DoPrintRecSubtotalAdjustment,
                       std::string("3\x1f"
                                   "TEN PERCENT\x1f"
                                   "1000\x1f"));
    lines.emplace_back(&DeviceOperations::DoPrintRecTotal, std::to_string(total) + "\x1f" +
                                                               std::to_string(first) +
                                                               "\x1f"
                                                               "Cash\x1f");
    lines.emplace_back(&DeviceOperations::DoPrintRecTotal, std::to_string(total) + "\x1f" +
                                                               std::to_string(total - first) +
                                                               "\x1f"
                                                               "Cash\x1f");
  } else {
    lines.emplace_back(&DeviceOperations::DoPrintRecTotal, std::to_string(sum) + "\x1f" +
                                                               std::to_string(sum) +
                                                               "\x1f"
                                                               "Cash\x1f");
  }
  ReceiptRun run;
  run.lines = static_cast<int>(lines.size());
  std::string out;
  const kelo::sim::ExchangeCounters c0 = rig.line.sim.exchange_counters();
  const auto t0 = Clock::now();
  bool ok = rig.unit.RunDeviceOpSync(&DeviceOperations::DoBeginFiscalReceipt, "0\x1f", out).ok();
  const uint64_t lines_from = rig.line.sim.exchange_counters().frames;
  rig.host.SetNumberProperty(kelo::opos::PIDX_AsyncMode, queued ? 1 : 0);
  rig.host.ResetCounts(run.lines);
  for (const auto& [op, text] : lines) {
    if (!ok) break;
    ok = rig.unit.RunDeviceOp(op, text, out, ++rig.output_id).ok();
  }
  if (queued)
    ok = ok && rig.host.WaitCompleted(run.lines, 120000) && kelo::bench::WaitQueueEmpty(rig.unit);
  run.line_frames = static_cast<double>(rig.line.sim.exchange_counters().frames - lines_from);
  rig.host.SetNumberProperty(kelo::opos::PIDX_AsyncMode, 0);
  ok = ok && rig.unit.RunDeviceOpSync(&DeviceOperations::DoEndFiscalReceipt, "0\x1f", out).ok();
  run.wall_s = std::chrono::duration<double>(Clock::now() - t0).count();
  const kelo::sim::ExchangeCounters c1 = rig.line.sim.exchange_counters();
  run.bytes = static_cast<double>((c1.bytes_in - c0.bytes_in) + (c1.bytes_out - c0.bytes_out));
  run.frames = static_cast<double>(c1.frames - c0.frames);
  run.ok = ok;
  return run;
}

void BM_Receipt100Items(benchmark::State& state) {
  const auto baud = static_cast<uint32_t>(state.range(0));
  const bool queued = state.range(1) != 0;
  WireRig rig(baud);
  if (!rig.Start(state)) return;
  std::vector<double> ratios, walls, wires;
  double frames_sum = 0;
  double bytes_sum = 0;
  int receipts = 0;
  for (auto _ : state) {
    const ReceiptRun run = RunReceipt(rig, queued, false);
    if (!run.ok) {
      state.SkipWithError("receipt failed");
      break;
    }
    const double wire = run.bytes * 10.0 / baud;
    state.SetIterationTime(run.wall_s);
    ratios.push_back(run.wall_s / wire);
    walls.push_back(run.wall_s);
    wires.push_back(wire);
    frames_sum += run.frames;
    bytes_sum += run.bytes;
    ++receipts;
  }
  if (receipts == 0) return;
  // Medians: one receipt slowed by a busy moment of the machine does not move them.
  state.counters["ratio"] = Median(ratios);
  state.counters["ratio_best"] = *std::min_element(ratios.begin(), ratios.end());
  state.counters["wall_ms"] = 1000 * Median(walls);
  state.counters["wire_ms"] = 1000 * Median(wires);
  state.counters["frames_in"] = frames_sum / receipts;
  state.counters["bytes"] = bytes_sum / receipts;
}

// The mixed receipt synchronous and queued, alternated (order swapped every iteration) so
// that both meet the same machine load. queued_vs_sync = queued wall / synchronous wall
// (median of the pairs; medians_ratio = median queued / median synchronous);
// frames_per_line_* = frames between begin and end per line.
void BM_MixedReceiptQueuedVsSync(benchmark::State& state) {
  const auto baud = static_cast<uint32_t>(state.range(0));
  WireRig rig(baud);
  if (!rig.Start(state)) return;
  std::vector<double> pair_ratios, sync_walls, queued_walls, sync_fpl, queued_fpl;
  bool queued_first = false;
  for (auto _ : state) {
    ReceiptRun runs[2];
    for (int k = 0; k < 2; ++k) {
      const bool queued = (k == 0) == queued_first;
      runs[queued ? 1 : 0] = RunReceipt(rig, queued, true);
    }
    queued_first = !queued_first;
    if (!runs[0].ok || !runs[1].ok) {
      state.SkipWithError("receipt failed");
      break;
    }
    state.SetIterationTime(runs[0].wall_s + runs[1].wall_s);
    pair_ratios.push_back(runs[1].wall_s / runs[0].wall_s);
    sync_walls.push_back(runs[0].wall_s);
    queued_walls.push_back(runs[1].wall_s);
    sync_fpl.push_back(runs[0].line_frames / runs[0].lines);
    queued_fpl.push_back(runs[1].line_frames / runs[1].lines);
  }
  if (pair_ratios.empty()) return;
  state.counters["queued_vs_sync"] = Median(pair_ratios);
  state.counters["medians_ratio"] = Median(queued_walls) / Median(sync_walls);
  state.counters["sync_ms"] = 1000 * Median(sync_walls);
  state.counters["queued_ms"] = 1000 * Median(queued_walls);
  state.counters["frames_per_line_sync"] = Median(sync_fpl);
  state.counters["frames_per_line_queued"] = Median(queued_fpl);
}
BENCHMARK(BM_MixedReceiptQueuedVsSync)
    ->Arg(19200)
    ->Arg(115200)
    ->UseManualTime()
    ->Iterations(8)
    ->Unit(benchmark::kMillisecond);

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
