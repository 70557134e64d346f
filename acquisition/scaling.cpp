#include "acquisition/scaling.h"

#include <algorithm>
#include <cmath>

namespace osc {
namespace {

bool is_auxiliary(int slot, std::uint16_t modeWord) {
  const unsigned auxiliaryMask = modeWord >> 8;
  return (slot == 1 && (auxiliaryMask & 1u) != 0) || (slot == 2 && (auxiliaryMask & 2u) != 0);
}

// Slot 1 or 2 scaled as auxiliary channel 5 or 6 (full scale Rx in the user's unit).
TChannelScale auxiliary_scale(const TOscRozsah& range, int channel, double b, double gainDivisor) {
  const double rx = channel == 5 ? range.RangeCh5 : range.RangeCh6;
  const TChannelCalib& calib = range.CH[channel];
  TChannelScale scale;
  scale.Low = static_cast<float>(-(1 - b / 128) * rx + rx * calib.OffsetAC / 100);
  scale.High = static_cast<float>(rx * 2 / gainDivisor + scale.Low);
  scale.Unit = calib.Unit;
  return scale;
}

TChannelScale analogue_scale(const TOscRozsah& range, int channel, int polarity, double b,
                             double gainDivisor) {
  const TChannelCalib& calib = range.CH[channel];
  const double fs = (calib.Gain / 100 + 1) * range.Range;  // calibrated full scale
  const double k = ((fs - 5) * 3) / 15 + 1;                // fs / 5, as the module's divider gives it
  double low;
  switch (polarity) {
    case piBipolar:
      low = (1 - (1 - b / 128) * k) * 2.5 + fs * calib.OffsetBip / 100;
      break;
    case piAC:
      low = -(1 - b / 128) * k * 2.5 + fs * calib.OffsetAC / 100;
      break;
    default:
      low = b / 128 * 2.5 * k;
      break;
  }
  TChannelScale scale;
  scale.Low = static_cast<float>(low);
  scale.High = static_cast<float>(fs / gainDivisor + scale.Low);
  scale.Unit = calib.Unit;
  return scale;
}

// The window of 2s samples that peak point `index` belongs to, cut at `count`; false
// when it starts beyond the samples.
bool peak_window(std::uint64_t count, std::uint64_t s, std::uint32_t index, std::uint64_t& start,
                 std::uint64_t& length) {
  start = (index - index % 2) * s;
  if (start >= count) return false;
  length = std::min(2 * s, count - start);
  return true;
}

// Whether a chunk holding samples [first, first + length) reached a limit.
bool any_chunk_clip(const TDataStore& store, std::uint64_t first, std::uint64_t length) {
  const std::uint64_t last = (first + length - 1) >> TDataStore::kClipChunkBits;
  for (std::uint64_t c = first >> TDataStore::kClipChunkBits; c <= last; ++c) {
    if (store.ChunkClip(static_cast<std::uint32_t>(c)) != 0) return true;
  }
  return false;
}

}  // namespace

TChannelScales ComputeChannelScales(const TOscRozsah& range, int gain, int polarity, std::uint16_t modeWord,
                                    std::uint8_t offset) {
  const double b = offset;
  const double gainDivisor = std::ldexp(1.0, gain);
  TChannelScales scales;
  for (int slot = 1; slot <= 4; ++slot) {
    scales[static_cast<std::size_t>(slot - 1)] = is_auxiliary(slot, modeWord)
                                                     ? auxiliary_scale(range, slot + 4, b, gainDivisor)
                                                     : analogue_scale(range, slot, polarity, b, gainDivisor);
  }
  return scales;
}

std::uint8_t DefaultOffset(int polarity, int gain, bool auxiliarySelected) {
  static constexpr std::uint8_t kPreset[2][2] = {{21, 53}, {64, 96}};  // [Bipolar, AC][x 2, x 4]
  const int q = auxiliarySelected ? piAC : polarity;
  if (q < piBipolar || q > piAC || gain < giX2 || gain > giX4) return 0;
  return kPreset[q - 1][gain - 1];
}

double RawToValue(std::uint8_t raw, float lower, float upper) {
  const double l = lower;
  const double u = upper;
  if (l != 0) return (u - l) * (raw / 255.0) + l;
  return raw * u / 255;
}

unsigned ValueClip(double value, float lower, float upper) {
  if (value == RawToValue(255, lower, upper)) return kClipHigh;
  if (value == RawToValue(0, lower, upper)) return kClipLow;
  return 0;
}

bool PointSample(std::span<const std::uint8_t> samples, std::uint32_t step, std::uint32_t index,
                 bool peakDisplay, std::uint8_t& raw) {
  const std::uint64_t s = step;
  const std::uint64_t count = samples.size();
  if (!peakDisplay || s < 2) {
    const std::uint64_t at = index * s;
    if (at >= count) return false;
    raw = samples[at];
    return true;
  }
  std::uint64_t start = 0, length = 0;
  if (!peak_window(count, s, index, start, length)) return false;
  const TExtremes e = SampleExtremes(samples.data() + start, static_cast<std::size_t>(length));
  raw = index % 2 == 0 ? e.Max : e.Min;
  return true;
}

bool PointSample(const TDataStore& store, std::uint32_t index, bool peakDisplay, std::uint8_t& raw) {
  const std::uint64_t s = store.Step();
  const std::uint64_t count = store.Count();
  if (!peakDisplay || s < 2)
    return PointSample({store.Samples(), store.Count()}, store.Step(), index, false, raw);
  std::uint64_t start = 0, length = 0;
  if (!peak_window(count, s, index, start, length)) return false;
  // The two points of a pair share their window: it is scanned for the first of them.
  TPeakWindow& w = store.PeakWindowCache();
  if (w.First != start || w.Length != length) {
    const TExtremes e = SampleExtremes(store.Samples() + start, static_cast<std::size_t>(length));
    w = TPeakWindow{start, length, e.Max, e.Min};
  }
  raw = index % 2 == 0 ? w.Max : w.Min;
  return true;
}

unsigned ClipIn(const TDataStore& store, std::uint64_t first, std::uint64_t length) {
  const std::uint64_t end = std::min<std::uint64_t>(first + length, store.Count());
  constexpr std::uint64_t chunk = std::uint64_t{1} << TDataStore::kClipChunkBits;
  unsigned found = 0;
  for (std::uint64_t at = first; at < end && found != (kClipHigh | kClipLow);) {
    const std::uint64_t next = std::min(end, (at / chunk + 1) * chunk);
    const unsigned flags = store.ChunkClip(static_cast<std::uint32_t>(at / chunk));
    if ((flags & ~found) != 0) {
      // Only a chunk partly in the range needs its samples looked at.
      found |= at % chunk == 0 && next - at == chunk
                   ? flags
                   : ClipOf(SampleExtremes(store.Samples() + at, static_cast<std::size_t>(next - at)));
    }
    at = next;
  }
  return found;
}

unsigned PointClip(const TDataStore& store, std::uint32_t first, std::uint32_t last, bool peakDisplay) {
  const std::uint64_t s = store.Step();
  if (last < first) return 0;
  if (peakDisplay && s >= 2) {
    // A pair's window is the one its peak points show, scanned at most once.
    first -= first % 2;
    last |= 1u;
    TPeakWindow& w = store.PeakWindowCache();
    if (first + 1 == last) {
      std::uint64_t start = 0, length = 0;
      if (!peak_window(store.Count(), s, first, start, length)) return 0;
      if (w.First != start || w.Length != length) {
        if (!any_chunk_clip(store, start, length)) return 0;
        const TExtremes e = SampleExtremes(store.Samples() + start, static_cast<std::size_t>(length));
        w = TPeakWindow{start, length, e.Max, e.Min};
      }
      return ClipOf(TExtremes{w.Max, w.Min});
    }
  }
  return ClipIn(store, first * s, (std::uint64_t{last} - first + 1) * s);
}

bool GetSampleValue(const TDataStore& store, std::uint32_t index, bool peakDisplay, double& value) {
  std::uint8_t raw;
  if (!PointSample(store, index, peakDisplay, raw)) return false;
  value = RawToValue(raw, store.Lower(), store.Upper());
  return true;
}

void TOffsetBar::Reset(int gain, std::uint8_t offset) {
  page_size_ = gain == giX4 ? 64 : gain == giX2 ? 128 : 256;
  position_ = offset;
  enabled_ = gain == giX2 || gain == giX4;
}

std::optional<int> TOffsetBar::Scroll(int requested, bool recording) const {
  if (recording) return std::nullopt;
  return std::clamp(requested, kMin, MaxPosition());
}

bool TOffsetBar::Take(int position, std::uint8_t& offset) {
  position_ = std::clamp(position, kMin, kMax);
  if (position_ == offset) return false;
  offset = static_cast<std::uint8_t>(position_);
  return true;
}

}  // namespace osc
