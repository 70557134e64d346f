#pragma once
// Statistics of a span of one slot's samples, computed on the stored bytes themselves
// (never on what the display's decimation shows), in the slot's unit through its scale:
// a raw byte r stands for lower + (upper - lower) * r / 255.
#include "acquisition/sample_span.h"

#include <cstdint>
#include <optional>
#include <span>

namespace osc {

struct TSpanStats {
  std::uint32_t Count = 0;
  double Duration = 0;  // seconds: Count / rate
  double Min = 0;
  double Max = 0;
  double PeakToPeak = 0;
  double Mean = 0;
  double Rms = 0;
  double AcRms = 0;  // standard deviation of the samples (population)
  // From the upward crossings of the mean, each confirmed by a swing beyond a
  // hysteresis band around it; empty when the span holds fewer than two whole periods.
  std::optional<double> Frequency;  // Hz
  std::optional<double> Period;     // s
  std::optional<double> Duty;       // share of the periods spent above the mean, 0..1
  // A sample sits at the end of the range that gives the smallest (largest) value: the
  // true signal may go beyond, so Min (Max) and what follows from it are bounds.
  bool ClippedMin = false;
  bool ClippedMax = false;
  bool Clipped() const { return ClippedMin || ClippedMax; }
};

// The hysteresis band: this share of half the peak-to-peak on either side of the mean.
inline constexpr double kCrossingHysteresis = 0.1;

// Two passes over `samples` (sums and extremes, then the crossings). Count 0 when empty.
TSpanStats SpanStats(std::span<const std::uint8_t> samples, std::uint32_t rate, float lower, float upper);

}  // namespace osc
