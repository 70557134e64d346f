#pragma once
// Magnitude spectrum of a span of one slot's samples (FFTW3, real-to-complex): the
// span's mean removed, a periodic Hann window, and spans longer than the largest
// transform averaged in power over half-overlapping segments (Welch), the last one
// ending with the span. Levels are the amplitude of a sine at the bin's frequency;
// between bins the Hann window reads up to 1.42 dB low.
//
// Threads: any thread may compute a spectrum; FFTW's planner is serialised inside.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace osc {

// The largest transform: 65536 samples, 0.18 Hz bins at 11520 samples a second.
inline constexpr std::uint32_t kMaxTransform = 65536;

struct TSpectrum {
  std::uint32_t Rate = 0;
  std::uint32_t Length = 0;  // samples per segment; bins 0..Length/2
  std::uint32_t Segments = 0;
  std::vector<double> Amplitude;  // per bin, in raw codes

  bool Empty() const { return Amplitude.empty(); }
  double BinWidth() const { return Length != 0 ? static_cast<double>(Rate) / Length : 0; }
  double Frequency(std::size_t bin) const { return static_cast<double>(bin) * BinWidth(); }
  // The strongest bin above DC; 0 when there is none.
  std::size_t PeakBin() const;
  // The peak's frequency between bins, from the levels of its neighbours (a parabola
  // through the logarithms, which the Hann window's main lobe nearly is).
  double PeakFrequency() const;
};

// No bins for fewer than 4 samples or a rate of 0.
TSpectrum ComputeSpectrum(std::span<const std::uint8_t> samples, std::uint32_t rate,
                          std::uint32_t maxLength = kMaxTransform);

// An amplitude in raw codes as dB relative to full scale (a sine over the whole range,
// 127.5 codes, is 0 dBFS), and in the channel's unit.
double DbFullScale(double codes);
double UnitAmplitude(double codes, float lower, float upper);

}  // namespace osc
