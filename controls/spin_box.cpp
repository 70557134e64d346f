#include "controls/spin_box.h"

#include <climits>
#include <cmath>

#include "controls/spin_limits.h"
#include "controls/spin_text.h"
#include "platform/errors.h"
#include "platform/locale/locale.h"

namespace osc {

using namespace spin_text;

TSpinBox::TSpinBox(TTimerSource& timers, TSpinEdit& edit) : TCustomSpinBox(timers, edit) {
  UpdateText();
}

void TSpinBox::SetDigits(int digits) {
  if (digits_ == digits) return;
  digits_ = digits;
  UpdateText();
}

void TSpinBox::SetMode(TSpinBoxMode mode) {
  if (mode_ == mode) return;
  mode_ = mode;
  UpdateText();
}

void TSpinBox::SetConst_K(double k) {
  if (const_k_ == k) return;
  const_k_ = k;
  UpdateText();
}

void TSpinBox::SetConst_Q(double q) {
  if (const_q_ == q) return;
  const_q_ = q;
  UpdateText();
}

void TSpinBox::SetDecSymbol(const std::string& symbol) {
  dec_symbol_ = symbol;
  UpdateText();
}

void TSpinBox::SetHexSymbol(const std::string& symbol) {
  hex_symbol_ = symbol;
  UpdateText();
}

void TSpinBox::SetValue(int value) {
  AdjustValue(value);
  value_ = value;
  UpdateGuard guard(*this);
  ShowText(ValueToText(value_), false);
  // An OnChange handler that sets the value again nests here; beyond two levels the
  // notification stops, so two boxes that set each other cannot recurse without end.
  if (update_depth_ < 3 && value_ != last_value_) {
    last_value_ = value_;
    RaiseChange();
  }
  last_value_ = value_;
}

void TSpinBox::SetScaledValue(double x) {
  const bool unknown = std::isnan(x);
  SetValue(unknown ? 0 : RoundToInt((x - const_q_) / const_k_));
  if (unknown) ShowText(std::string(), false);
}

void TSpinBox::Step(bool down, bool /*repeated*/) {
  const long long next = static_cast<long long>(value_) + (down ? -1LL : 1LL) * increment_;
  SetValue(SaturateToInt(next));
}

void TSpinBox::UpdateText() {
  if (!Loading()) SetValue(value_);
}

bool TSpinBox::AdjustValue(int& v) const {
  if (increment_ > 1) {
    long long half = increment_ / 2;
    if (value_ < 0) half = -half;
    long long snapped = (static_cast<long long>(v) + half) / increment_ * increment_;
    // Snapping past the end of the range goes back one increment.
    if (snapped > INT_MAX) snapped -= increment_;
    if (snapped < INT_MIN) snapped += increment_;
    v = static_cast<int>(snapped);
  }
  return ClampToLimits(v, min_value_, max_value_);
}

int TSpinBox::TextToValue(const std::string& text) {
  if (Blank()) return last_value_;
  if (text.empty()) return 0;
  try {
    return Parse(text);
  } catch (const EConvertError&) {
    return 0;
  }
}

int TSpinBox::Parse(const std::string& text) {
  if (OnGetData) {
    int result = 0;
    OnGetData(*this, text, result);
    return result;
  }
  const std::string t = StripSuffix(text, mode_ == TSpinBoxMode::fsHexadecimal ? hex_symbol_ : dec_symbol_);
  int v = 0;
  switch (mode_) {
    case TSpinBoxMode::fsFloat: {
      double x = 0;
      if (!TryStrToFloat(t, x)) return 0;
      return RoundToInt((x - const_q_) / const_k_);
    }
    case TSpinBoxMode::fsDecimal:
      return ParseDecimal(t, v) ? v : 0;
    case TSpinBoxMode::fsHexadecimal:
      return ParseHex(t, v) ? v : 0;
  }
  return 0;
}

std::string TSpinBox::ValueToText(int v) {
  AdjustValue(v);
  std::string s;
  if (!Blank()) {
    switch (mode_) {
      case TSpinBoxMode::fsFloat:
        s = FloatToStrF(v * const_k_ + const_q_, FloatFormat::Fixed, 6, digits_) + dec_symbol_;
        break;
      case TSpinBoxMode::fsDecimal:
        s = std::to_string(v) + dec_symbol_;
        break;
      case TSpinBoxMode::fsHexadecimal:
        s = FormatHex(v, digits_) + hex_symbol_;
        break;
    }
  }
  if (OnSetData) OnSetData(*this, v, s);
  return s;
}

void TSpinBox::Typed() {
  const int old = value_;
  value_ = TextToValue(edit_.Text());
  if (AdjustValue(value_)) ShowText(ValueToText(value_), true);
  if (value_ != old) RaiseEditing();
}

}  // namespace osc
