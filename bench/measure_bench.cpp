// The measurements over a whole long record: span statistics (two passes over the bytes)
// and the spectrum (Welch segments), on one channel of a 40-minute recording of four
// (2880 samples a second, 6.9 M samples).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "acquisition/fourier.h"
#include "acquisition/span_stats.h"

namespace {

constexpr std::uint32_t kRate = 2880;
constexpr std::uint32_t kSamples = kRate * 40 * 60;

// A 50 Hz sine of 100 codes with 3 codes of noise, or noise over the whole range.
std::vector<std::uint8_t> Signal(bool sine) {
  std::vector<std::uint8_t> s(kSamples);
  std::mt19937 random(42);
  std::normal_distribution<double> noise(0, 3);
  for (std::uint32_t k = 0; k < kSamples; ++k) {
    if (!sine) {
      s[k] = static_cast<std::uint8_t>(random());
      continue;
    }
    const double v = 128 + 100 * std::sin(2 * std::numbers::pi * 50 * k / kRate) + noise(random);
    s[k] = static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
  }
  return s;
}

void BM_SpanStats(benchmark::State& state) {
  const auto samples = Signal(state.range(0) != 0);
  for (auto _ : state) {
    auto st = osc::SpanStats(samples, kRate, 0.0f, 16.0f);
    benchmark::DoNotOptimize(st);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSamples);
}
BENCHMARK(BM_SpanStats)->Arg(1)->Arg(0)->ArgNames({"sine"})->Unit(benchmark::kMillisecond);

// 210 segments of 65536 samples; the first call also makes the kept plan.
void BM_Spectrum(benchmark::State& state) {
  const auto samples = Signal(true);
  for (auto _ : state) {
    auto sp = osc::ComputeSpectrum(samples, kRate);
    benchmark::DoNotOptimize(sp);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSamples);
}
BENCHMARK(BM_Spectrum)->Unit(benchmark::kMillisecond);

// A span shorter than the largest transform: one segment with a plan of its own.
void BM_SpectrumOfAShortSpan(benchmark::State& state) {
  const auto all = Signal(true);
  const std::span<const std::uint8_t> samples(all.data(), static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    auto sp = osc::ComputeSpectrum(samples, kRate);
    benchmark::DoNotOptimize(sp);
  }
}
BENCHMARK(BM_SpectrumOfAShortSpan)->Arg(2880)->Arg(65521)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
