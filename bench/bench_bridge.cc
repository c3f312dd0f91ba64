// What the bridge adds to a receipt: the same five-item receipt with a cash payment printed
// through the control object directly and posted to the bridge over HTTP (journal writes
// included), in the same run, each on its own simulated printer paced at 115200 baud so that
// the line is the limit. And the bridge's idle CPU: the kelofpud program with one printer
// claimed and polled, doing nothing else.
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bridge/bridge.h"
#include "control/fiscal_printer.h"
#include "opos/opos_constants.h"
#include "simulator/simulator.h"
#include "tests/bridge/bridge_rig.h"

namespace {

using kelo::bridgetest::TempDir;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kBaud = 115200;  // the idle measurement
constexpr int kItems = 5;

kelo::control::Currency Cents(int64_t c) {
  return kelo::control::Currency(c * 100);
}

// Item i costs i units: 1.00 + 2.00 + ... + 5.00 = 15.00, paid 15.00 cash.
const std::string kBody = [] {
  std::string items;
  for (int i = 1; i <= kItems; ++i) {
    items += std::string(i > 1 ? "," : "") + "{\"description\":\"Item " + std::to_string(i) +
             "\",\"price\":\"" + std::to_string(i) + ".00\",\"quantity\":1,\"vat\":1}";
  }
  return "{\"items\":[" + items +
         "],\"payments\":[{\"description\":\"Cash\",\"amount\":\"15.00\"}]}";
}();

// The receipt through the control object. The bridge works out the receipt number from the
// printer's counters it already holds, so neither side reads it per receipt: both send the
// same frames.
bool DirectReceipt(kelo::control::FiscalPrinter& fp) {
  bool ok = fp.BeginFiscalReceipt(true) == kelo::opos::OPOS_SUCCESS;
  for (int i = 1; ok && i <= kItems; ++i) {
    ok = fp.PrintRecItem("Item " + std::to_string(i), Cents(i * 100), 1, 1, Cents(0), "") ==
         kelo::opos::OPOS_SUCCESS;
  }
  ok = ok && fp.PrintRecTotal(Cents(1500), Cents(1500), "Cash") == kelo::opos::OPOS_SUCCESS;
  return ok && fp.EndFiscalReceipt(false) == kelo::opos::OPOS_SUCCESS;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Two paced simulators, one claimed by a control object, one by an in-process bridge whose
// journal is on the disk (/tmp) or, to show what its synced writes cost, in memory (/dev/shm).
struct Rig {
  Rig(uint32_t baud, bool journal_in_memory)
      : baud(baud),
        direct_sim(Options(baud)),
        bridge_sim(Options(baud)),
        journal(journal_in_memory ? "/dev/shm/kelofpud-bench-" + std::to_string(::getpid()) + ".db"
                                  : dir.path() + "/journal.db") {}
  const uint32_t baud;
  TempDir dir{"kelofpud-bench"};
  kelo::sim::Simulator direct_sim;
  kelo::sim::Simulator bridge_sim;
  const std::string journal;
  std::unique_ptr<kelo::control::FiscalPrinter> fp;
  std::unique_ptr<kelo::bridge::Bridge> bridge;
  std::string error;

  static kelo::sim::SimulatorOptions Options(uint32_t baud) {
    kelo::sim::SimulatorOptions o;
    o.baud = baud;
    return o;
  }
  bool Start() {
    if (!direct_sim.Start(&error) || !bridge_sim.Start(&error)) return false;
    if (!kelo::bridgetest::WriteRegistry(
            dir.path() + "/registry.reg", KELO_SO_KELO_FPU_PATH,
            {{"Direct", direct_sim.slave_path(), baud}, {"Bridged", bridge_sim.slave_path(), baud}},
            &error)) {
      return false;
    }
    kelo::control::FiscalPrinterOptions fo;
    fo.registry_file = dir.path() + "/registry.reg";
    fp = std::make_unique<kelo::control::FiscalPrinter>(fo);
    if (fp->Open("Direct") != kelo::opos::OPOS_SUCCESS ||
        fp->ClaimDevice(10000) != kelo::opos::OPOS_SUCCESS) {
      error = "open/claim Direct: " + fp->ErrorString();
      return false;
    }
    fp->SetDeviceEnabled(true);
    kelo::bridge::BridgeConfig config;
    config.listen_port = 0;
    config.journal_path = journal;
    config.printers = {{"front", "Bridged"}};
    bridge = std::make_unique<kelo::bridge::Bridge>(config);
    return bridge->Start(&error);
  }
  ~Rig() {
    bridge.reset();
    if (journal.rfind("/dev/shm/", 0) == 0) {
      for (const char* suffix : {"", "-wal", "-shm"}) std::remove((journal + suffix).c_str());
    }
    if (fp) {
      fp->SetDeviceEnabled(false);
      (void)fp->ReleaseDevice();
      (void)fp->Close();
    }
  }
};

// One direct receipt and one posted receipt per iteration, their order swapped every
// iteration so that both meet the same machine load; medians of each and their ratio.
// Arguments: baud, journal in memory (1) or on the disk (0).
void BM_PairedReceiptBridgeVsDirect(benchmark::State& state) {
  Rig rig(static_cast<uint32_t>(state.range(0)), state.range(1) != 0);
  if (!rig.Start()) {
    state.SkipWithError(rig.error.c_str());
    return;
  }
  httplib::Client client("127.0.0.1", rig.bridge->port());
  client.set_read_timeout(30, 0);
  std::vector<double> direct_ms, bridge_ms;
  int key = 0;
  bool failed = false;
  auto posted = [&] {
    auto r = client.Post("/v1/printers/front/receipts",
                         {{"Idempotency-Key", "bench-" + std::to_string(++key)}}, kBody,
                         "application/json");
    return r && r->status == 201;
  };
  auto timed = [](auto&& f, std::vector<double>& into) {
    const auto t = Clock::now();
    const bool ok = f();
    into.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t).count());
    return ok;
  };
  // One of each first: the first receipt of a printer pays for things done once.
  failed = !DirectReceipt(*rig.fp) || !posted();
  const uint64_t direct_frames = rig.direct_sim.exchange_counters().frames;
  const uint64_t bridge_frames = rig.bridge_sim.exchange_counters().frames;
  for (auto _ : state) {
    if (failed) break;
    const bool bridge_first = key % 2 == 0;
    if (bridge_first) failed = !timed(posted, bridge_ms);
    failed = failed || !timed([&] { return DirectReceipt(*rig.fp); }, direct_ms);
    if (!bridge_first) failed = failed || !timed(posted, bridge_ms);
  }
  if (failed) {
    state.SkipWithError("a receipt failed");
    return;
  }
  const double d = Median(direct_ms), b = Median(bridge_ms);
  state.counters["direct_ms"] = d;
  state.counters["bridge_ms"] = b;
  state.counters["ratio"] = d > 0 ? b / d : 0;
  // Frames per receipt (status polls included: about one a second on each line).
  const double n = static_cast<double>(direct_ms.size());
  state.counters["direct_frames"] =
      static_cast<double>(rig.direct_sim.exchange_counters().frames - direct_frames) / n;
  state.counters["bridge_frames"] =
      static_cast<double>(rig.bridge_sim.exchange_counters().frames - bridge_frames) / n;
}
BENCHMARK(BM_PairedReceiptBridgeVsDirect)
    ->Args({115200, 0})
    ->Args({115200, 1})
    ->Iterations(40)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PairedReceiptBridgeVsDirect)
    ->Args({19200, 0})
    ->Iterations(16)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// kelofpud with one printer claimed, enabled and polled, nobody calling: its CPU time over
// 10 s, as a share of one core.
void BM_BridgeIdleCpu(benchmark::State& state) {
  TempDir dir("kelofpud-idle");
  kelo::sim::SimulatorOptions so;
  so.baud = kBaud;
  kelo::sim::Simulator sim(so);
  std::string error;
  if (!sim.Start(&error) ||
      !kelo::bridgetest::WriteRegistry(dir.path() + "/registry.reg", KELO_SO_KELO_FPU_PATH,
                                       {{"KeloFPU", sim.slave_path(), kBaud}}, &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  const std::string config = dir.path() + "/kelofpud.json";
  kelo::bridgetest::WriteFile(config, kelo::bridgetest::BridgeConfigJson(
                                          kelo::bridgetest::FreePort(), dir.path() + "/journal.db",
                                          {{"front", "KeloFPU"}}));
  kelo::bridgetest::Daemon daemon(KELO_KELOFPUD_PATH, config, dir.path() + "/kelofpud.log");
  if (!daemon.Start(&error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  std::this_thread::sleep_for(std::chrono::seconds(1));  // claimed, first polls done
  const uint64_t exchanges_before = sim.exchange_counters().frames;
  double cpu_us = 0, wall_s = 0;
  for (auto _ : state) {
    const double c0 = kelo::bridgetest::ProcessCpuMicros(daemon.pid());
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(state.range(0)));
    cpu_us = kelo::bridgetest::ProcessCpuMicros(daemon.pid()) - c0;
    wall_s = std::chrono::duration<double>(Clock::now() - t0).count();
  }
  state.counters["idle_cpu_pct"] = cpu_us / (wall_s * 1e6) * 100;
  state.counters["polls_per_s"] =
      static_cast<double>(sim.exchange_counters().frames - exchanges_before) / wall_s;
  daemon.Terminate();
}
BENCHMARK(BM_BridgeIdleCpu)->Arg(10)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
