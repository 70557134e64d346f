#include "controls/float_spin_box.h"

#include <cmath>

#include "controls/spin_limits.h"
#include "controls/spin_text.h"
#include "platform/errors.h"
#include "platform/locale/locale.h"

namespace osc {

namespace {

// NaN equals NaN here, or a box holding NaN would notify on every commit.
bool SameValue(double a, double b) {
  return a == b || (std::isnan(a) && std::isnan(b));
}

// A double carries about 15 significant decimal digits (an 80-bit extended carries 18);
// asking for more shows binary noise (2.35000000000000009).
constexpr int kPrecision = 15;

FloatFormat ToLocaleFormat(TFloatFormat f) {
  switch (f) {
    case TFloatFormat::ffGeneral:
      return FloatFormat::General;
    case TFloatFormat::ffExponent:
      return FloatFormat::Exponent;
    case TFloatFormat::ffFixed:
      return FloatFormat::Fixed;
    case TFloatFormat::ffNumber:
    case TFloatFormat::ffCurrency:
      return FloatFormat::Number;  // the units come from Symbol
  }
  return FloatFormat::Number;
}

}  // namespace

TFloatSpinBox::TFloatSpinBox(TTimerSource& timers, TSpinEdit& edit) : TCustomSpinBox(timers, edit) {
  UpdateText();
}

void TFloatSpinBox::SetDigits(int digits) {
  if (digits_ == digits) return;
  digits_ = digits;
  UpdateText();
}

void TFloatSpinBox::SetFormat(TFloatFormat format) {
  if (format_ == format) return;
  format_ = format;
  UpdateText();
}

void TFloatSpinBox::SetSymbol(const std::string& symbol) {
  symbol_ = symbol;
  UpdateText();
}

void TFloatSpinBox::SetValue(double value) {
  AdjustValue(value);
  value_ = value;
  UpdateGuard guard(*this);
  ShowText(ValueToText(value_), false);
  // An OnChange handler that sets the value again nests here; beyond two levels the
  // notification stops, so two boxes that set each other cannot recurse without end.
  if (update_depth_ < 3 && !SameValue(value_, last_value_)) {
    last_value_ = value_;
    RaiseChange();
  }
  last_value_ = value_;
}

void TFloatSpinBox::Step(bool down, bool /*repeated*/) {
  double v = down ? value_ - increment_ : value_ + increment_;
  if (increment_ > 0) {
    const double q = v / increment_;
    if (std::isfinite(q)) v = std::nearbyint(q) * increment_;
  }
  SetValue(v);
}

void TFloatSpinBox::UpdateText() {
  if (!Loading()) SetValue(value_);
}

bool TFloatSpinBox::AdjustValue(double& v) const {
  // v x 10^d rather than v / 0.1^d: the result is the double nearest the decimal.
  const double scale = std::pow(10.0, digits_);
  const double q = v * scale;
  if (std::isfinite(q)) {
    const double r = std::nearbyint(q) / scale;
    if (std::isfinite(r)) v = r;
  }
  return ClampToLimits(v, min_value_, max_value_);
}

double TFloatSpinBox::TextToValue(const std::string& text) {
  if (Blank()) return last_value_;
  if (text.empty()) return 0;
  if (OnGetData) {
    double result = 0;
    OnGetData(*this, text, result);
    return result;
  }
  const std::string stripped = spin_text::StripSuffix(text, symbol_);
  std::string kept;
  for (char c : stripped) {
    if ((c >= '0' && c <= '9') || c == '+' || c == ',' || c == '-' || c == '.') kept += c;
  }
  double v = 0;
  if (TryStrToFloat(kept, v)) return v;
  // The box shows ffNumber with thousand separators ("1,234.50"): let that read back.
  const FormatSettings& fs = formatSettings();
  if (spin_text::StripGrouping(kept, fs.ThousandSeparator, fs.DecimalSeparator) && TryStrToFloat(kept, v))
    return v;
  throw EConvertError("'" + text + "' is not a valid floating point value");
}

std::string TFloatSpinBox::ValueToText(double v) {
  AdjustValue(v);
  std::string s;
  if (!Blank() && !std::isnan(v)) s = FloatToStrF(v, ToLocaleFormat(format_), kPrecision, digits_) + symbol_;
  if (OnSetData) OnSetData(*this, v, s);
  return s;
}

void TFloatSpinBox::Typed() {
  const double old = value_;
  try {
    value_ = TextToValue(edit_.Text());
  } catch (const EConvertError&) {
    value_ = old;
  }
  if (AdjustValue(value_)) ShowText(ValueToText(value_), true);
  if (!SameValue(value_, old)) RaiseEditing();
}

}  // namespace osc
