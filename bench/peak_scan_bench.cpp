// The peak display's scan: the only code that reads every stored sample, once per
// repaint of a full view.
#include "acquisition/scaling.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

constexpr std::uint32_t kSamples = 11520 * 600;  // the longest recording of one slot

std::vector<std::uint8_t> Noise() {
  std::vector<std::uint8_t> samples(kSamples);
  std::mt19937 random(42);
  for (auto& s : samples)
    s = static_cast<std::uint8_t>(random());
  return samples;
}

// Full view at step 1440: 4800 points, each pair scanning the same 2880 samples twice.
void BM_PeakScanFullView(benchmark::State& state) {
  const auto samples = Noise();
  const bool peak = state.range(0) != 0;
  constexpr std::uint32_t kStep = 1440;
  constexpr std::uint32_t kPoints = kSamples / kStep;
  for (auto _ : state) {
    unsigned sum = 0;
    for (std::uint32_t i = 0; i < kPoints; ++i) {
      std::uint8_t raw = 0;
      osc::PointSample(samples, kStep, i, peak, raw);
      sum += raw;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.counters["points"] = kPoints;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * (peak ? 2 * kSamples : kPoints));
}
BENCHMARK(BM_PeakScanFullView)->Arg(1)->Arg(0)->ArgNames({"peak"})->Unit(benchmark::kMillisecond);

// The same through the value callback over a store of one slot, ten minutes long.
void BM_SampleValuesOfAFullStore(benchmark::State& state) {
  osc::TDataStore store(1, 600, 0, 0x01, false, osc::TChannelScale{16.0f, 0.0f, ""});
  for (std::uint8_t s : Noise())
    store.AddSample(s);
  store.SetSpan(600.0 / 86400);
  const std::uint32_t points = store.PointCount();
  for (auto _ : state) {
    double sum = 0;
    for (std::uint32_t i = 0; i < points; ++i) {
      double value = 0;
      osc::GetSampleValue(store, i, true, value);
      sum += value;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.counters["points"] = points;
  state.counters["step"] = store.Step();
}
BENCHMARK(BM_SampleValuesOfAFullStore)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
