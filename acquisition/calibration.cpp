#include "acquisition/calibration.h"

#include <cmath>

#include "platform/errors.h"
#include "platform/locale/locale.h"

namespace osc {
namespace {

// The texts of the floating-point errors the module's program raised.
[[noreturn]] void RaiseMathError(long double numerator, long double divisor) {
  if (std::isnan(numerator) || std::isnan(divisor) || (numerator == 0 && divisor == 0))
    throw Exception("Invalid floating point operation");
  if (divisor == 0) throw Exception("Floating point division by zero");
  throw Exception("Floating point overflow");
}

// numerator / divisor, raising where the floating-point unit would.
long double Divide(long double numerator, long double divisor) {
  if (divisor == 0 || !std::isfinite(numerator) || !std::isfinite(divisor))
    RaiseMathError(numerator, divisor);
  const long double q = numerator / divisor;
  if (!std::isfinite(q)) RaiseMathError(numerator, divisor);
  return q;
}

// Stored into a double field; a value beyond the double range overflows.
double Store(long double value) {
  const double d = static_cast<double>(value);
  if (!std::isfinite(d)) RaiseMathError(value, 1);
  return d;
}

// The decimal a box with `digits` decimals shows for `value`, in extended precision: a
// typed 14.40 is 14.4 to the last bit the computation uses, not the double nearest it.
long double TypedDecimal(double value, int digits) {
  if (digits < 0 || digits > 18 || !std::isfinite(value)) return value;
  const long double scale = std::pow(10.0L, digits);
  const long double scaled = std::nearbyint(static_cast<long double>(value) * scale);
  if (!std::isfinite(scaled) || std::fabs(scaled) > 1e18L) return value;
  return scaled / scale;
}

std::string Fixed(double value, const char* unit) {
  return FloatToStrF(value, FloatFormat::Fixed, 8, 2) + unit;
}

}  // namespace

std::string CalibCaption(int channel) {
  return std::string(calib_text::kCaption) + std::to_string(channel);
}

std::string FormatInstruction(const std::string& text, int channel, double range) {
  return Format(text.c_str(), {channel, range / 2, range});
}

TZeroWindow ZeroWindow(const TOscRozsah& entry, int channel, std::uint8_t mode) {
  const double fs = (entry.CH[channel].Gain / 100 + 1) * entry.Range;
  const double k = ((fs - 5) * 3) / 15 + 1;
  TZeroWindow w;
  if (mode == cmZeroBipolar) {
    w.Lo = static_cast<float>((1 - k) * 2.5);
  } else if (mode == cmZeroAC) {
    w.Lo = static_cast<float>(-k * 2.5);
  }
  w.Hi = static_cast<float>(fs + w.Lo);
  return w;
}

bool ZeroCorrectionAllowed(double correction) {
  return std::fabs(correction) < 20;
}
bool GainCorrectionAllowed(double correction) {
  return std::fabs(correction) <= 20;
}

TCalibView ZeroTick(TCalibState& state, std::int32_t raw) {
  if (raw == kNoRawValue || state.Entry == nullptr || !state.ChannelValid()) return {};
  const TZeroWindow w = ZeroWindow(*state.Entry, state.Channel, state.Mode);
  const long double span = static_cast<long double>(w.Hi) - w.Lo;
  state.Measured = Store(span * raw / kRawFullScale + w.Lo);
  state.Correction = Store(Divide(-static_cast<long double>(state.Measured), span) * 100);
  state.Computed = true;
  return {Fixed(state.Measured, " V"), Fixed(state.Correction, " %"),
          ZeroCorrectionAllowed(state.Correction)};
}

TCalibView GainTick(TCalibState& state, std::int32_t raw, double actualVoltage, int voltageDigits) {
  if (raw == kNoRawValue || state.Entry == nullptr || !state.ChannelValid()) return {};
  state.Measured = Store(static_cast<long double>(raw) * state.Entry->Range / kRawFullScale);
  TCalibView view;
  view.Value = Fixed(state.Measured, " V");
  if (raw >= kRawFullScale) {
    view.Correction = calib_text::kLower;
    view.ConfirmEnabled = false;
  } else if (raw < kRawHalfScale) {
    view.Correction = calib_text::kRaise;
    view.ConfirmEnabled = false;
  } else {
    const long double measured = state.Measured;
    state.Correction = Store(Divide(TypedDecimal(actualVoltage, voltageDigits) - measured, measured) * 100);
    state.Computed = true;
    view.Correction = Fixed(state.Correction, " %");
    view.ConfirmEnabled = GainCorrectionAllowed(state.Correction);
  }
  return view;
}

}  // namespace osc
