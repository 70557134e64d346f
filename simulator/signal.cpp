#include "simulator/signal.h"

#include <cmath>
#include <numbers>

namespace osc::sim {

double SignalValue(const SignalSpec& s, double t, std::mt19937_64& rng) {
  double phase = s.frequency * t;
  phase -= std::floor(phase);  // 0 <= phase < 1
  switch (s.waveform) {
    case Waveform::Sine:
      return s.offset + s.amplitude * std::sin(2.0 * std::numbers::pi * phase);
    case Waveform::Square:
      return s.offset + (phase < 0.5 ? s.amplitude : -s.amplitude);
    case Waveform::Triangle:  // rises from -A at phase 0 to +A at phase 1/2
      return s.offset + s.amplitude * (phase < 0.5 ? 4.0 * phase - 1.0 : 3.0 - 4.0 * phase);
    case Waveform::DC:
      return s.offset;
    case Waveform::Noise:
      return s.offset + s.amplitude * std::uniform_real_distribution<double>(-1.0, 1.0)(rng);
    case Waveform::Pattern:
      return 0.0;
  }
  return 0.0;
}

}  // namespace osc::sim
