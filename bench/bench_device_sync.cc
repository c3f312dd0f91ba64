// What the execution layer adds to one printer exchange: a synchronous printRecItem through
// DeviceUnit (hand-over to the worker thread, the operation, the status refresh and sensor
// check) against the bare SellItem exchange of the protocol engine, both on the in-process
// simulator over a pseudo-terminal.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/bench_rig.h"
#include "device/device_unit.h"
#include "link/fpu_protocol.h"
#include "opos/opos_constants.h"
#include "testing/device_fakes.h"

namespace {

using kelo::bench::Line;
using kelo::device::DeviceOperations;

const std::string kItem = std::string("Item\x1f") +
                          "100\x1f"
                          "1000\x1f"
                          "1\x1f"
                          "0\x1f\x1f";

void BM_LinkSellItem(benchmark::State& state) {
  Line line;
  if (!line.Open()) {
    state.SkipWithError("simulator");
    return;
  }
  kelo::link::FpuProtocol fpu;
  fpu.SetPort(&line.port);
  fpu.Start();
  fpu.BeginFiscalReceipt();
  for (auto _ : state) {
    benchmark::DoNotOptimize(fpu.SellItem("Item", 100, 1000, 1, 0, 0));
  }
  fpu.Stop();
}
BENCHMARK(BM_LinkSellItem)->UseRealTime();

void BM_DeviceSyncPrintRecItem(benchmark::State& state) {
  Line line;
  if (!line.Open()) {
    state.SkipWithError("simulator");
    return;
  }
  kelo::device::testing::FakeHost host;
  kelo::device::DeviceUnit unit(host);
  unit.SetPollingTimes(0, 0, 0);  // no polls between the measured calls
  unit.AttachPort(&line.port);
  if (!unit.Connect(3000).ok()) {
    state.SkipWithError("connect");
    return;
  }
  std::string out;
  unit.RunDeviceOpSync(&DeviceOperations::DoBeginFiscalReceipt, "0\x1f", out);
  int32_t id = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        unit.RunDeviceOpSync(&DeviceOperations::DoPrintRecItem, kItem, out, ++id));
  }
  unit.Disconnect();
}
BENCHMARK(BM_DeviceSyncPrintRecItem)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
