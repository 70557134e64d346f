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

// The peak display's scan reads every sample of the view once per repaint. The
// fixed-width inner step lets the compiler use vector max/min instructions at -O2;
// the lanes are folded at the end.
constexpr std::size_t kLanes = 32;

template <class Pick>
std::uint8_t window_extreme(const std::uint8_t* p, std::size_t n, std::uint8_t start, Pick pick) {
  std::uint8_t lanes[kLanes];
  std::fill(lanes, lanes + kLanes, start);
  std::size_t k = 0;
  for (; k + kLanes <= n; k += kLanes) {
    for (std::size_t j = 0; j < kLanes; ++j)
      lanes[j] = pick(lanes[j], p[k + j]);
  }
  std::uint8_t m = start;
  for (std::uint8_t lane : lanes)
    m = pick(m, lane);
  for (; k < n; ++k)
    m = pick(m, p[k]);
  return m;
}

std::uint8_t window_max(const std::uint8_t* p, std::size_t n) {
  return window_extreme(p, n, 0, [](std::uint8_t a, std::uint8_t b) { return a > b ? a : b; });
}

std::uint8_t window_min(const std::uint8_t* p, std::size_t n) {
  return window_extreme(p, n, 255, [](std::uint8_t a, std::uint8_t b) { return a < b ? a : b; });
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
  const std::uint64_t start = (index - index % 2) * s;
  if (start >= count) return false;
  const auto length = static_cast<std::size_t>(std::min(2 * s, count - start));
  const std::uint8_t* window = samples.data() + start;
  raw = index % 2 == 0 ? window_max(window, length) : window_min(window, length);
  return true;
}

bool PointSample(const TDataStore& store, std::uint32_t index, bool peakDisplay, std::uint8_t& raw) {
  return PointSample({store.Samples(), store.Count()}, store.Step(), index, peakDisplay, raw);
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
