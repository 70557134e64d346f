#include "acquisition/span_stats.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "acquisition/scaling.h"

namespace osc {

namespace {

// Positions taken from the graph are a sample's instant give or take the rounding of a
// date-time (about 0.01 sample at the highest rate).

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
  std::uint64_t FirstIndex = 0;  // the sample at or above the mean after each crossing
  std::uint64_t LastIndex = 0;
};

// Bit k of the result is byte k of `flags` (each 0 or 1), eight bytes to a multiply.
std::uint64_t PackFlags(const std::uint8_t* flags) {
  std::uint64_t bits = 0;
  for (int k = 0; k < 8; ++k) {
    std::uint64_t w;
    std::memcpy(&w, flags + 8 * k, 8);
    bits |= ((w * 0x0102040810204080ull) >> 56) << (8 * k);
  }
  return bits;
}

// The last upward crossing of `up` at or before sample `c`: the first sample at or above it.
std::uint64_t CrossingBefore(const std::uint8_t* s, std::uint64_t c, int up) {
  while (c > 0 && !(s[c] >= up && s[c - 1] < up))
    --c;
  return c;
}

// Upward crossings of the mean (`up` = the smallest code at or above it) through a
// trigger armed at or below `armAt` and confirmed at or above `confirmAt`; the crossing
// kept is the last one before the confirmation, so noise near the mean never counts
// twice. Noise toggles the trigger every few samples, so it runs on bit masks of 64
// samples: a confirmation is a high event whose previous event was a low one, found
// for all 64 at once by a carry running from each low event to the next event.
Crossings FindCrossings(const std::uint8_t* s, std::size_t n, int up, int armAt, int confirmAt) {
  Crossings c;
  if (armAt < 0 || confirmAt > 255) return c;
  const auto lowAt = static_cast<std::uint8_t>(armAt), highAt = static_cast<std::uint8_t>(confirmAt);
  constexpr std::size_t kChunk = 64;
  alignas(64) std::uint8_t low[kChunk], high[kChunk];
  std::uint64_t armed = 0;  // 1 when the last event so far was a low one
  std::uint64_t first = 0, last = 0;
  for (std::size_t at = 0; at < n; at += kChunk) {
    const std::size_t len = std::min(kChunk, n - at);
    const std::uint8_t* x = s + at;
    if (len == kChunk) {
      for (std::size_t i = 0; i < kChunk; ++i) {
        low[i] = x[i] <= lowAt;
        high[i] = x[i] >= highAt;
      }
    } else {
      for (std::size_t i = 0; i < kChunk; ++i) {
        low[i] = i < len && x[i] <= lowAt;
        high[i] = i < len && x[i] >= highAt;
      }
    }
    const std::uint64_t l = PackFlags(low), h = PackFlags(high), events = l | h;
    const std::uint64_t next = (~events + (l << 1) + armed) & events;  // the event after each low one
    const std::uint64_t confirmed = next & h;
    if (confirmed != 0) {
      if (c.N == 0) first = at + static_cast<std::uint64_t>(std::countr_zero(confirmed));
      last = at + 63 - static_cast<std::uint64_t>(std::countl_zero(confirmed));
      c.N += static_cast<std::uint64_t>(std::popcount(confirmed));
    }
    if (events != 0) armed = (l >> (63 - std::countl_zero(events))) & 1;
  }
  if (c.N != 0) {
    c.FirstIndex = CrossingBefore(s, first, up);
    c.LastIndex = CrossingBefore(s, last, up);
  }
  return c;
}

// The instant, in samples, at which the line between samples j - 1 and j meets `mean`.
double CrossingInstant(const std::uint8_t* s, std::uint64_t j, double mean) {
  const double x0 = s[j - 1], x1 = s[j];
  return static_cast<double>(j - 1) + (mean - x0) / (x1 - x0);
}

std::uint64_t CountAtOrAbove(const std::uint8_t* s, std::uint64_t from, std::uint64_t to, int up) {
  std::uint64_t count = 0;
  for (std::uint64_t i = from; i < to; ++i)
    count += s[i] >= up;
  return count;
}

}  // namespace

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
    const int up = static_cast<int>(std::ceil(rawMean));
    const Crossings c = FindCrossings(samples.data(), n, up, static_cast<int>(std::floor(rawMean - band)),
                                      static_cast<int>(std::ceil(rawMean + band)));
    if (c.N >= 3 && c.LastIndex > c.FirstIndex) {
      const double span = CrossingInstant(samples.data(), c.LastIndex, rawMean) -
                          CrossingInstant(samples.data(), c.FirstIndex, rawMean);
      const double periodSamples = span / static_cast<double>(c.N - 1);
      st.Period = periodSamples / rate;
      st.Frequency = rate / periodSamples;
      st.Duty = static_cast<double>(CountAtOrAbove(samples.data(), c.FirstIndex, c.LastIndex, up)) /
                static_cast<double>(c.LastIndex - c.FirstIndex);
    }
  }
  return st;
}

}  // namespace osc
