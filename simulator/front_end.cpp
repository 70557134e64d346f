#include "simulator/front_end.h"

#include <algorithm>
#include <cmath>

namespace osc::sim {
namespace {

double Fraction(double value, const Window& w) {
  double span = w.high - w.low;
  double f = (value - w.low) / span;
  if (!(span > 0.0) || std::isnan(f)) return 0.0;
  return std::clamp(f, 0.0, 1.0);
}

}  // namespace

Window InputWindow(int channel, const InputSetup& in, const ConverterMode& mode) {
  const double shift = 1.0 - mode.offset / 128.0;
  const double gain = std::ldexp(1.0, mode.gain_index);
  Window w;
  if (channel >= 5) {  // auxiliary inputs are always symmetric around zero at offset 0
    w.low = -shift * in.range + in.range * in.zero_error_ac / 100.0;
    w.high = in.range * 2.0 / gain + w.low;
    return w;
  }
  const double fs = (in.gain_error / 100.0 + 1.0) * in.range;
  const double k = fs / 5.0;
  if (!mode.polarity) {
    w.low = mode.offset / 128.0 * 2.5 * k;
  } else if (in.ac_coupled) {
    w.low = -shift * k * 2.5 + fs * in.zero_error_ac / 100.0;
  } else {
    w.low = (1.0 - shift * k) * 2.5 + fs * in.zero_error_bipolar / 100.0;
  }
  w.high = fs / gain + w.low;
  return w;
}

std::uint8_t ToSample(double value, const Window& window) {
  return static_cast<std::uint8_t>(std::lround(Fraction(value, window) * 255.0));
}

std::uint16_t ToRawReading(double value, const Window& window) {
  return static_cast<std::uint16_t>(std::lround(Fraction(value, window) * 1023.0) * 16);
}

}  // namespace osc::sim
