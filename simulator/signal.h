#pragma once
// What each input of the simulated module is connected to: a signal generator with a
// waveform, frequency, amplitude and offset, or a test pattern whose raw bytes are known
// in advance so that recordings can be compared byte for byte.
#include <cstdint>
#include <random>

namespace osc::sim {

enum class Waveform {
  Sine,
  Square,
  Triangle,
  DC,       // the offset alone
  Noise,    // uniform in offset +- amplitude
  Pattern,  // bypasses the converter: the stream carries ExpectedSample()
};

struct SignalSpec {
  Waveform waveform = Waveform::DC;
  double frequency = 0.0;  // Hz
  double amplitude = 0.0;  // peak, in volts (in the channel's unit for inputs 5 and 6)
  double offset = 0.0;     // volts; an AC-coupled input removes it
};

// The signal's value t seconds after the stream started. Noise draws from `rng`;
// Pattern has no voltage and yields 0.
double SignalValue(const SignalSpec& signal, double t, std::mt19937_64& rng);

// The byte that a Pattern input puts into the stream as the `index`-th sample (0-based)
// of recording slot `slot` (1..4): the top two bits name the slot, the low six bits
// count with a period of 4096 samples, so a lost, doubled or misrouted byte is visible.
constexpr std::uint8_t ExpectedSample(int slot, std::uint64_t index) {
  return static_cast<std::uint8_t>(((slot - 1) & 3) << 6 | ((index + index / 64) & 63));
}

}  // namespace osc::sim
