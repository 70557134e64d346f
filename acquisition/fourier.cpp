#include "acquisition/fourier.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <numbers>
#include <numeric>

namespace osc {

namespace {

// FFTW's planner (and its allocator, to be safe) is not thread-safe; execution is.
std::mutex& PlannerLock() {
  static std::mutex lock;
  return lock;
}

struct Buffers {
  double* In = nullptr;
  fftw_complex* Out = nullptr;
  explicit Buffers(std::uint32_t length) {
    std::lock_guard guard(PlannerLock());
    In = fftw_alloc_real(length);
    Out = fftw_alloc_complex(length / 2 + 1);
  }
  ~Buffers() {
    std::lock_guard guard(PlannerLock());
    fftw_free(In);
    fftw_free(Out);
  }
  Buffers(const Buffers&) = delete;
  Buffers& operator=(const Buffers&) = delete;
};

// The plan of the largest transform is made once (ESTIMATE: milliseconds, not the
// second MEASURE takes) and kept; others are made for one spectrum. Plans run on any
// aligned arrays through the new-array call, so one plan serves every thread.
class Plan {
 public:
  explicit Plan(std::uint32_t length) : kept_(length == kMaxTransform) {
    if (kept_) {
      static const fftw_plan largest = Make(kMaxTransform);
      plan_ = largest;
    } else {
      plan_ = Make(length);
    }
  }
  ~Plan() {
    if (kept_) return;
    std::lock_guard guard(PlannerLock());
    fftw_destroy_plan(plan_);
  }
  Plan(const Plan&) = delete;
  Plan& operator=(const Plan&) = delete;
  void Run(Buffers& b) const { fftw_execute_dft_r2c(plan_, b.In, b.Out); }

 private:
  static fftw_plan Make(std::uint32_t length) {
    Buffers scratch(length);
    std::lock_guard guard(PlannerLock());
    return fftw_plan_dft_r2c_1d(static_cast<int>(length), scratch.In, scratch.Out, FFTW_ESTIMATE);
  }
  bool kept_;
  fftw_plan plan_ = nullptr;
};

}  // namespace

std::size_t TSpectrum::PeakBin() const {
  std::size_t peak = 0;
  for (std::size_t k = 1; k < Amplitude.size(); ++k)
    if (Amplitude[k] > (peak == 0 ? 0 : Amplitude[peak])) peak = k;
  return peak;
}

double TSpectrum::PeakFrequency() const {
  const std::size_t k = PeakBin();
  if (k == 0 || k + 1 >= Amplitude.size() || Amplitude[k - 1] <= 0 || Amplitude[k + 1] <= 0)
    return Frequency(k);
  const double a = std::log(Amplitude[k - 1]), b = std::log(Amplitude[k]), c = std::log(Amplitude[k + 1]);
  const double curve = a - 2 * b + c;
  const double shift = curve < 0 ? 0.5 * (a - c) / curve : 0;
  return (static_cast<double>(k) + std::clamp(shift, -0.5, 0.5)) * BinWidth();
}

TSpectrum ComputeSpectrum(std::span<const std::uint8_t> samples, std::uint32_t rate,
                          std::uint32_t maxLength) {
  TSpectrum sp;
  const std::size_t n = samples.size();
  if (n < 4 || rate == 0 || maxLength < 4) return sp;
  const auto length = static_cast<std::uint32_t>(std::min<std::size_t>(n, maxLength));
  const std::size_t hop = length / 2;
  const std::size_t segments = n <= length ? 1 : (n - length + hop - 1) / hop + 1;
  sp.Rate = rate;
  sp.Length = length;
  sp.Segments = static_cast<std::uint32_t>(segments);

  const double mean = static_cast<double>(std::accumulate(samples.begin(), samples.end(), std::uint64_t{0})) /
                      static_cast<double>(n);
  std::vector<double> window(length);
  for (std::uint32_t i = 0; i < length; ++i)
    window[i] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / length);
  const double windowSum = std::accumulate(window.begin(), window.end(), 0.0);

  const std::size_t bins = length / 2 + 1;
  std::vector<double> power(bins, 0.0);
  Buffers b(length);
  const Plan plan(length);
  for (std::size_t s = 0; s < segments; ++s) {
    // Spread so that the last segment ends with the span: overlaps of at least half.
    const std::size_t first = segments == 1 ? 0 : (s * (n - length) + (segments - 1) / 2) / (segments - 1);
    const std::uint8_t* x = samples.data() + first;
    for (std::uint32_t i = 0; i < length; ++i)
      b.In[i] = (x[i] - mean) * window[i];
    plan.Run(b);
    for (std::size_t k = 0; k < bins; ++k)
      power[k] += b.Out[k][0] * b.Out[k][0] + b.Out[k][1] * b.Out[k][1];
  }
  sp.Amplitude.resize(bins);
  for (std::size_t k = 0; k < bins; ++k) {
    const bool single = k == 0 || (length % 2 == 0 && k == bins - 1);  // DC and Nyquist have no mirror
    sp.Amplitude[k] = (single ? 1 : 2) * std::sqrt(power[k] / static_cast<double>(segments)) / windowSum;
  }
  return sp;
}

double DbFullScale(double codes) {
  return 20 * std::log10(codes / 127.5);
}

double UnitAmplitude(double codes, float lower, float upper) {
  return codes * std::fabs(static_cast<double>(upper) - lower) / 255;
}

}  // namespace osc
