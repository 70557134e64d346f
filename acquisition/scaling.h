#pragma once
// Channel scaling: what a raw sample of each recording slot stands for, given the
// selected range entry, gain, polarity, offset and calibration; the offset preset;
// the value a series point shows (with the peak display); the offset bar's rules.
#include "acquisition/channel_scale.h"
#include "acquisition/data_store.h"
#include "config/range_entry.h"

#include <cstdint>
#include <optional>
#include <span>

namespace osc {

// Indexes of the gain and polarity selectors.
enum TGainIndex { giX1 = 0, giX2 = 1, giX4 = 2 };
enum TPolarityIndex { piPositive = 0, piBipolar = 1, piAC = 2 };

// The scales of slots 1..4. Slot 1 is auxiliary channel 5 when bit 0 of the high
// byte of `modeWord` is set, slot 2 channel 6 when bit 1 is; the others are the
// analogue channels of the same number. `gain` and `polarity` are the selector
// indexes, `offset` the offset byte b (0..255). Computed in 64-bit floats, each
// intermediate rounded, then stored as 32-bit floats; High is built on the stored Low.
TChannelScales ComputeChannelScales(const TOscRozsah& range, int gain, int polarity, std::uint16_t modeWord,
                                    std::uint8_t offset);

// The offset preset for a polarity and gain: 0 for "x 1" or Positive; otherwise
// 21/53 (Bipolar, "x 2"/"x 4") or 64/96 (AC, and whenever an auxiliary channel is
// selected).
std::uint8_t DefaultOffset(int polarity, int gain, bool auxiliarySelected);

// The physical value of a raw sample between the record's lower and upper values:
// raw 0 gives exactly `lower`, raw 255 exactly `upper`.
double RawToValue(std::uint8_t raw, float lower, float upper);
// kClipHigh or kClipLow when `value` is what raw 255 or 0 gives between `lower` and
// `upper` (a reading on a clipped sample), else 0.
unsigned ValueClip(double value, float lower, float upper);

// The raw sample that series point `index` shows of `samples` at decimation `step`
// (s): sample index * s; with the peak display on and s >= 2, points go in pairs over
// windows of 2s samples (cut at the end), the even point showing the window's maximum,
// the odd one its minimum. False when the point lies beyond the samples.
bool PointSample(std::span<const std::uint8_t> samples, std::uint32_t step, std::uint32_t index,
                 bool peakDisplay, std::uint8_t& raw);
// The same over the samples stored so far, at the store's Step.
bool PointSample(const TDataStore& store, std::uint32_t index, bool peakDisplay, std::uint8_t& raw);

// The clip flags (kClipHigh, kClipLow) of samples [first, first + length) of the store.
unsigned ClipIn(const TDataStore& store, std::uint64_t first, std::uint64_t length);
// The clip flags of the samples series points first..last stand for: `step` samples a
// point, whole windows of a pair with the peak display on.
unsigned PointClip(const TDataStore& store, std::uint32_t first, std::uint32_t last, bool peakDisplay);

// GetSampleValue: the value of series point `index`, or false (value untouched).
bool GetSampleValue(const TDataStore& store, std::uint32_t index, bool peakDisplay, double& value);

// The offset bar (0..255, large change 10) as logic the main window binds to its
// scroll bar. At creation it has page size 128 and is disabled.
class TOffsetBar {
 public:
  static constexpr int kMin = 0;
  static constexpr int kMax = 255;
  static constexpr int kLargeChange = 10;

  // After a change of range, polarity or gain: page size 256, 128 or 64 for "x 1",
  // "x 2", "x 4"; position := the offset; enabled only for "x 2" and "x 4".
  void Reset(int gain, std::uint8_t offset);
  // Where an operator's scroll ends: nothing while recording (the scroll is
  // cancelled), otherwise `requested` limited to 0 .. 256 - PageSize().
  std::optional<int> Scroll(int requested, bool recording) const;
  // The bar has moved to `position`. True when that differs from `offset`, which then
  // takes it; the caller recomputes the scales (the module gets the new offset only
  // with the next parameter exchange).
  bool Take(int position, std::uint8_t& offset);

  int PageSize() const { return page_size_; }
  int Position() const { return position_; }
  bool Enabled() const { return enabled_; }
  int MaxPosition() const { return kMax + 1 - page_size_; }

 private:
  int page_size_ = 128;
  int position_ = 0;
  bool enabled_ = false;
};

}  // namespace osc
