#include "acquisition/span_stats.h"

#include <algorithm>
#include <cmath>

#include "acquisition/scaling.h"

namespace osc {

namespace {

constexpr double kSecondsPerDay = 86400;
// Positions taken from the graph are a sample's instant give or take the rounding of a
// date-time (about 0.01 sample at the highest rate).
constexpr double kInstantTolerance = 0.02;

__extension__ typedef unsigned __int128 Wide;

struct RawSums {
  std::uint64_t S1 = 0;
  std::uint64_t S2 = 0;
  std::uint8_t Min = 255;
  std::uint8_t Max = 0;
};

// Blocks short enough for 32-bit partial sums of squares (65536 * 255^2 < 2^32), so the
// inner loop stays narrow and vectorises.
RawSums Sums(const std::uint8_t* s, std::size_t n) {
  constexpr std::size_t kBlock = 65536;
  RawSums r;
  for (std::size_t at = 0; at < n; at += kBlock) {
    const std::size_t end = std::min(n, at + kBlock);
    std::uint32_t s1 = 0, s2 = 0;
    std::uint8_t lo = 255, hi = 0;
    for (std::size_t i = at; i < end; ++i) {
      const std::uint32_t x = s[i];
      s1 += x;
      s2 += x * x;
      lo = std::min(lo, s[i]);
      hi = std::max(hi, s[i]);
    }
    r.S1 += s1;
    r.S2 += s2;
    r.Min = std::min(r.Min, lo);
    r.Max = std::max(r.Max, hi);
  }
  return r;
}

struct Crossings {
  std::uint64_t N = 0;
  double First = 0;  // instants in samples, interpolated
  double Last = 0;
  std::uint64_t FirstIndex = 0;
  std::uint64_t LastIndex = 0;
  std::uint64_t AboveFirst = 0;  // samples at or above the mean before each of the two
  std::uint64_t AboveLast = 0;
};

// Upward crossings of `mean`: armed at or below `lo`, confirmed at or above `hi`; the
// crossing kept is the last one before the confirmation, so noise near the mean never
// counts twice.
Crossings FindCrossings(const std::uint8_t* s, std::size_t n, double mean, double lo, double hi) {
  const int armAt = static_cast<int>(std::floor(lo));
  const int confirmAt = static_cast<int>(std::ceil(hi));
  const int up = static_cast<int>(std::ceil(mean));  // x >= mean
  Crossings c;
  std::uint64_t above = 0;
  std::size_t i = 0;
  while (i < n) {
    for (; i < n && s[i] > armAt; ++i)
      above += s[i] >= up;
    if (i == n) break;
    std::size_t pending = 0;
    std::uint64_t abovePending = 0;
    for (++i; i < n && s[i] < confirmAt; ++i) {
      if (s[i] >= up && s[i - 1] < up) {
        pending = i;
        abovePending = above;
      }
      above += s[i] >= up;
    }
    if (i == n) break;
    if (s[i - 1] < up) {
      pending = i;
      abovePending = above;
    }
    const double x0 = s[pending - 1], x1 = s[pending];
    const double t = static_cast<double>(pending - 1) + (mean - x0) / (x1 - x0);
    if (c.N == 0) {
      c.First = t;
      c.FirstIndex = pending;
      c.AboveFirst = abovePending;
    }
    c.Last = t;
    c.LastIndex = pending;
    c.AboveLast = abovePending;
    ++c.N;
  }
  return c;
}

}  // namespace

TSampleSpan SpanBetween(double start, std::uint32_t rate, std::uint32_t count, double x0, double x1) {
  if (count == 0 || rate == 0) return {};
  const double perDay = kSecondsPerDay * rate;
  const double a = (std::min(x0, x1) - start) * perDay;
  const double b = (std::max(x0, x1) - start) * perDay;
  const double first = std::max(0.0, std::ceil(a - kInstantTolerance));
  const double last = std::min(static_cast<double>(count) - 1, std::floor(b + kInstantTolerance));
  if (!(last >= first)) return {};
  return {static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(last - first + 1)};
}

TSpanStats SpanStats(std::span<const std::uint8_t> samples, std::uint32_t rate, float lower, float upper) {
  TSpanStats st;
  const std::size_t n = samples.size();
  if (n == 0) return st;
  st.Count = static_cast<std::uint32_t>(n);
  st.Duration = rate != 0 ? static_cast<double>(n) / rate : 0;

  const RawSums r = Sums(samples.data(), n);
  const double a = (static_cast<double>(upper) - lower) / 255;
  const double dn = static_cast<double>(n);
  const double vLo = RawToValue(r.Min, lower, upper), vHi = RawToValue(r.Max, lower, upper);
  st.Min = std::min(vLo, vHi);
  st.Max = std::max(vLo, vHi);
  st.PeakToPeak = st.Max - st.Min;
  const double rawMean = static_cast<double>(r.S1) / dn;
  st.Mean = lower + a * rawMean;
  // N * S2 - S1^2 is exact in 128 bits for any count a record can hold.
  const Wide spread = static_cast<Wide>(n) * r.S2 - static_cast<Wide>(r.S1) * r.S1;
  st.AcRms = std::fabs(a) * std::sqrt(static_cast<long double>(spread)) / dn;
  st.Rms = std::sqrt(st.Mean * st.Mean + st.AcRms * st.AcRms);
  const bool rawLowEnd = r.Min == 0, rawHighEnd = r.Max == 255;
  st.ClippedMin = a >= 0 ? rawLowEnd : rawHighEnd;
  st.ClippedMax = a >= 0 ? rawHighEnd : rawLowEnd;

  if (r.Max > r.Min && rate != 0) {
    const double band = kCrossingHysteresis * (r.Max - r.Min) / 2;
    const Crossings c = FindCrossings(samples.data(), n, rawMean, rawMean - band, rawMean + band);
    if (c.N >= 3 && c.Last > c.First) {
      const double periodSamples = (c.Last - c.First) / static_cast<double>(c.N - 1);
      st.Period = periodSamples / rate;
      st.Frequency = rate / periodSamples;
      st.Duty =
          static_cast<double>(c.AboveLast - c.AboveFirst) / static_cast<double>(c.LastIndex - c.FirstIndex);
    }
  }
  return st;
}

}  // namespace osc
