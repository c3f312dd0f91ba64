// Loading the configuration file: parse time against the number of keys and values (the
// .reg text of an installation that registers many devices). Linear growth is the contract:
// 200,000 keys must load in well under a second.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/registry/config_store.h"

namespace {

std::string RegText(int64_t keys) {
  std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
  for (int64_t i = 0; i < keys; ++i) {
    text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\FiscalPrinter\\Dev" +
            std::to_string(i) + "]\r\n@=\"soKeloFPU.KeloFPU\"\r\n\"Port\"=\"/dev/ttyUSB0\"\r\n";
  }
  return text;
}

void BM_ParseConfiguration(benchmark::State& state) {
  const std::string text = RegText(state.range(0));
  for (auto _ : state) {
    kelo::platform::RegistryData data;
    std::string error;
    if (!data.Parse(text, &error)) state.SkipWithError(error.c_str());
    benchmark::DoNotOptimize(data);
  }
  state.SetComplexityN(state.range(0));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParseConfiguration)
    ->RangeMultiplier(5)
    ->Range(1600, 200000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
