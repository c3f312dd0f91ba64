// One command/response exchange of the protocol engine over a pseudo-terminal, beside a raw
// request/response round trip of the same frame sizes on the same kind of line, answered by
// the same instant responder thread. The difference is what the engine costs on top of the
// line itself.
//
// Counters per exchange: p50_us (median wall time of single exchanges), cpu_us (process CPU,
// both threads, per exchange). BM_PairedExchangeVsRaw alternates the two on one line and is
// the fair comparison on a loaded machine.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "link/fpu_frame.h"
#include "link/fpu_protocol.h"
#include "link/serial_port.h"

namespace {

using namespace kelo::link;

double ProcessCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The printer side: answers every command frame at once with "done" (8 data bytes).
class Responder {
 public:
  Responder() {
    char name[128] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return;
    path_ = name;
    termios tio{};
    tcgetattr(master_, &tio);
    cfmakeraw(&tio);
    tcsetattr(master_, TCSANOW, &tio);
    std::promise<void> ready;
    auto started = ready.get_future();
    thread_ = std::thread([this, &ready] { Loop(ready); });
    started.wait();
  }
  ~Responder() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    close(slave_);
    close(master_);
  }
  const std::string& path() const { return path_; }
  int slave() const { return slave_; }

 private:
  void Loop(std::promise<void>& ready) {
    FrameReceiver rx(FrameDirection::kCommand);
    uint8_t in[512];
    uint8_t out[64];
    ready.set_value();
    while (!stop_) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      ssize_t n = read(master_, in, sizeof in);
      if (n <= 0) continue;
      size_t off = 0;
      while (off < static_cast<size_t>(n)) {
        off += rx.Feed(in + off, static_cast<size_t>(n) - off);
        if (!rx.done()) continue;
        FrameView v;
        if (DecodeFrame(rx.frame(), &v) == LINK_OK && v.data.size() >= 3) {
          const uint8_t data[8] = {v.data[1], v.data[2], 0, 0, 0, 0, 0, kReplyDone};
          size_t len =
              EncodeFrame(kResponseKindNormal, v.sequence, data, sizeof data, out, sizeof out);
          ssize_t w = write(master_, out, len);
          (void)w;
        }
        rx.Reset();
      }
    }
  }

  int master_ = -1;
  int slave_ = -1;
  std::string path_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
};

void Report(benchmark::State& state, std::vector<double>& samples, double cpu_start) {
  double cpu = ProcessCpuSeconds() - cpu_start;
  std::sort(samples.begin(), samples.end());
  double n = static_cast<double>(samples.size());
  state.counters["p50_us"] = samples.empty() ? 0 : samples[samples.size() / 2];
  state.counters["cpu_us"] = n > 0 ? cpu * 1e6 / n : 0;
}

// The engine: HealthCheck is a command with an empty payload (10-byte frame) answered by an
// 8-byte data part (15-byte frame).
void BM_LinkExchange(benchmark::State& state) {
  Responder responder;
  SerialPort port;
  if (port.Open(responder.path()) != kPortOk) {
    state.SkipWithError("cannot open the pseudo-terminal");
    return;
  }
  FpuProtocol proto;
  proto.SetPort(&port);
  proto.Start();
  std::vector<double> samples;
  samples.reserve(1 << 16);
  double cpu_start = ProcessCpuSeconds();
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    if (proto.HealthCheck() != LINK_OK) {
      state.SkipWithError("exchange failed");
      break;
    }
    samples.push_back(
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
  }
  Report(state, samples, cpu_start);
  proto.Stop();
}

// The line alone: the same 10-byte request written, the 15-byte answer read with poll() and
// read() on the same kind of descriptor (raw termios, non-blocking reads).
void BM_RawRoundTrip(benchmark::State& state) {
  Responder responder;
  int fd = open(responder.path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    state.SkipWithError("cannot open the pseudo-terminal");
    return;
  }
  termios tio{};
  tcgetattr(fd, &tio);
  cfmakeraw(&tio);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  tcsetattr(fd, TCSANOW, &tio);
  const uint8_t data[3] = {kCommandMarker, '0', 'X'};
  uint8_t request[16];
  size_t request_len = EncodeFrame(kCommandKind, 0, data, sizeof data, request, sizeof request);
  const size_t answer_len = kFrameOverhead + kResponseFixedBytes;
  uint8_t answer[64];
  std::vector<double> samples;
  samples.reserve(1 << 16);
  double cpu_start = ProcessCpuSeconds();
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    if (write(fd, request, request_len) != static_cast<ssize_t>(request_len)) {
      state.SkipWithError("write failed");
      break;
    }
    size_t got = 0;
    while (got < answer_len) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 1000) <= 0) break;
      ssize_t n = read(fd, answer + got, sizeof answer - got);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    if (got != answer_len) {
      state.SkipWithError("no answer");
      break;
    }
    samples.push_back(
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
  }
  Report(state, samples, cpu_start);
  close(fd);
}

// Both kinds in alternation on one line, so that both meet the same machine load: per pair
// one engine exchange and one raw round trip (the order swaps every iteration). Counters:
// medians of wall time and process CPU per exchange for each, and their ratios.
void BM_PairedExchangeVsRaw(benchmark::State& state) {
  Responder responder;
  SerialPort port;
  int fd = open(responder.path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0 || port.Open(responder.path()) != kPortOk) {
    state.SkipWithError("cannot open the pseudo-terminal");
    return;
  }
  FpuProtocol proto;
  proto.SetPort(&port);
  proto.Start();
  const uint8_t data[3] = {kCommandMarker, '0', 'X'};
  uint8_t request[16];
  size_t request_len = EncodeFrame(kCommandKind, 0, data, sizeof data, request, sizeof request);
  const size_t answer_len = kFrameOverhead + kResponseFixedBytes;
  uint8_t answer[64];
  auto raw_round_trip = [&] {
    if (write(fd, request, request_len) != static_cast<ssize_t>(request_len)) return false;
    size_t got = 0;
    while (got < answer_len) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 1000) <= 0) return false;
      ssize_t n = read(fd, answer + got, answer_len - got);
      if (n <= 0) return false;
      got += static_cast<size_t>(n);
    }
    return true;
  };
  std::vector<double> link_wall, raw_wall, link_cpu, raw_cpu;
  bool link_first = true;
  for (auto _ : state) {
    for (int k = 0; k < 2; ++k) {
      bool is_link = (k == 0) == link_first;
      double c0 = ProcessCpuSeconds();
      auto t0 = std::chrono::steady_clock::now();
      bool ok = is_link ? proto.HealthCheck() == LINK_OK : raw_round_trip();
      auto t1 = std::chrono::steady_clock::now();
      double c1 = ProcessCpuSeconds();
      if (!ok) {
        state.SkipWithError("exchange failed");
        break;
      }
      double wall = std::chrono::duration<double, std::micro>(t1 - t0).count();
      (is_link ? link_wall : raw_wall).push_back(wall);
      (is_link ? link_cpu : raw_cpu).push_back((c1 - c0) * 1e6);
    }
    link_first = !link_first;
  }
  auto median = [](std::vector<double>& v) {
    if (v.empty()) return 0.0;
    std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
    return v[v.size() / 2];
  };
  double lw = median(link_wall), rw = median(raw_wall), lc = median(link_cpu), rc = median(raw_cpu);
  state.counters["link_p50_us"] = lw;
  state.counters["raw_p50_us"] = rw;
  state.counters["link_cpu_us"] = lc;
  state.counters["raw_cpu_us"] = rc;
  state.counters["p50_ratio"] = rw > 0 ? lw / rw : 0;
  state.counters["cpu_ratio"] = rc > 0 ? lc / rc : 0;
  proto.Stop();
  close(fd);
}

BENCHMARK(BM_RawRoundTrip)->UseRealTime()->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LinkExchange)->UseRealTime()->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PairedExchangeVsRaw)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
