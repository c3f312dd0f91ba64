// Memory of the driver over 100,000 commands. The simulator runs in a child process, so the
// figures are the driver's alone (the simulated printer keeps its paper roll and journal).
//   BM_Memory100k/<queued>
//     2,000 receipts of beginFiscalReceipt, 47 printRecItem, printRecTotal and
//     endFiscalReceipt (50 commands each) through a DeviceUnit; queued=1 sends the items
//     and the total through the asynchronous queue.
// Counters: heap in use and resident size after 1,000, 10,000, 50,000 and 100,000 commands,
// and the heap growth per command between 10,000 and 100,000 (0 when nothing accumulates).
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <string>

#include "bench/bench_rig.h"
#include "device/device_unit.h"

namespace {

using kelo::bench::BenchHost;
using kelo::bench::HeapInUse;
using kelo::bench::StatusKb;
using kelo::device::DeviceOperations;

constexpr int kItemsPerReceipt = 47;
constexpr int kCommandsPerReceipt = kItemsPerReceipt + 3;
constexpr int kCommands = 100000;

// The simulator in a child process: it writes its line's path to the parent and serves the
// line until the parent closes the other pipe (or dies). The parent waits for it.
class ChildPrinter {
 public:
  bool Start(std::string* path) {
    int to_parent[2];
    int from_parent[2];
    if (pipe(to_parent) != 0) return false;
    if (pipe(from_parent) != 0) {
      close(to_parent[0]);
      close(to_parent[1]);
      return false;
    }
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
      close(to_parent[0]);
      close(from_parent[1]);
      kelo::sim::Simulator sim;
      std::string error;
      const bool started = sim.Start(&error);
      const std::string line = started ? sim.slave_path() + "\n" : "\n";
      if (write(to_parent[1], line.data(), line.size()) < 0) _exit(2);
      char c;
      while (started && read(from_parent[0], &c, 1) > 0) {
      }
      sim.Stop();
      _exit(started ? 0 : 1);
    }
    close(to_parent[1]);
    close(from_parent[0]);
    keep_alive_fd_ = from_parent[1];
    std::array<char, 256> buf{};
    ssize_t got = 0;
    while (got < static_cast<ssize_t>(buf.size()) - 1) {
      const ssize_t n = read(to_parent[0], buf.data() + got, buf.size() - 1 - got);
      if (n <= 0) break;
      got += n;
      if (buf[static_cast<size_t>(got - 1)] == '\n') break;
    }
    close(to_parent[0]);
    *path = std::string(buf.data(), got > 0 ? static_cast<size_t>(got - 1) : 0);
    return !path->empty();
  }
  ~ChildPrinter() {
    if (keep_alive_fd_ >= 0) close(keep_alive_fd_);
    if (pid_ > 0) {
      int status = 0;
      waitpid(pid_, &status, 0);
    }
  }

 private:
  pid_t pid_ = -1;
  int keep_alive_fd_ = -1;
};

void BM_Memory100k(benchmark::State& state) {
  const bool queued = state.range(0) != 0;
  ChildPrinter printer;
  std::string path;
  if (!printer.Start(&path)) {
    state.SkipWithError("simulator process");
    return;
  }
  kelo::link::SerialPort port;
  if (port.Open(path) != 0) {
    state.SkipWithError("port");
    return;
  }
  port.SetReadTimeouts(30);
  BenchHost host;
  kelo::device::DeviceUnit unit(host);
  unit.AttachPort(&port);
  if (!unit.Connect(5000).ok()) {
    state.SkipWithError("connect");
    return;
  }
  const std::string item = std::string("Item\x1f") + "100\x1f" + "1000\x1f" + "1\x1f" + "0\x1f\x1f";
  const std::string total = std::to_string(kItemsPerReceipt * 100) + "\x1f" +
                            std::to_string(kItemsPerReceipt * 100) + "\x1f" + "Cash\x1f";
  for (auto _ : state) {
    int commands = 0;
    int32_t output_id = 0;
    double heap_10k = 0;
    auto checkpoint = [&](const char* name) {
      state.counters[std::string("heap_kB_") + name] = HeapInUse() / 1024;
      state.counters[std::string("rss_kB_") + name] = static_cast<double>(StatusKb("VmRSS:"));
    };
    while (commands < kCommands) {
      std::string out;
      bool ok = unit.RunDeviceOpSync(&DeviceOperations::DoBeginFiscalReceipt, "0\x1f", out).ok();
      host.SetNumberProperty(kelo::opos::PIDX_AsyncMode, queued ? 1 : 0);
      host.ResetCounts(kItemsPerReceipt + 1);
      for (int i = 0; i < kItemsPerReceipt && ok; ++i) {
        ok = unit.RunDeviceOp(&DeviceOperations::DoPrintRecItem, item, out, ++output_id).ok();
      }
      ok = ok && unit.RunDeviceOp(&DeviceOperations::DoPrintRecTotal, total, out, ++output_id).ok();
      if (queued)
        ok = ok && host.WaitCompleted(kItemsPerReceipt + 1, 60000) &&
             kelo::bench::WaitQueueEmpty(unit);
      host.SetNumberProperty(kelo::opos::PIDX_AsyncMode, 0);
      ok = ok && unit.RunDeviceOpSync(&DeviceOperations::DoEndFiscalReceipt, "0\x1f", out).ok();
      if (!ok) {
        state.SkipWithError("receipt failed");
        unit.Disconnect();
        return;
      }
      const int before = commands;
      commands += kCommandsPerReceipt;
      if (before < 1000 && commands >= 1000) checkpoint("1k");
      if (before < 10000 && commands >= 10000) {
        checkpoint("10k");
        heap_10k = HeapInUse();
      }
      if (before < 50000 && commands >= 50000) checkpoint("50k");
    }
    checkpoint("100k");
    state.counters["heap_B_per_cmd_10k_to_100k"] = (HeapInUse() - heap_10k) / (kCommands - 10000);
    state.counters["hwm_kB"] = static_cast<double>(StatusKb("VmHWM:"));
    state.counters["commands"] = commands;
  }
  unit.Disconnect();
}
BENCHMARK(BM_Memory100k)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
