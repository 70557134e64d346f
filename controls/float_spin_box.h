#pragma once
// TFloatSpinBox: a floating value kept and shown with Digits decimals, in a number
// Format, with an optional unit suffix.
//
// Typing keeps only the characters + , - . and 0..9 after removing the suffix, so
// "2.5 V" reads as 2.5; text that is still not a number keeps the previous value while
// typing, and TextToValue raises EConvertError for it. NaN has no number: it shows as
// empty text.
#include <functional>
#include <string>

#include "controls/custom_spin_box.h"

namespace osc {

enum class TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };

class TFloatSpinBox : public TCustomSpinBox {
 public:
  using TOnFloatSpinGetData =
      std::function<void(TFloatSpinBox& sender, const std::string& text, double& result)>;
  using TOnFloatSpinSetData = std::function<void(TFloatSpinBox& sender, double value, std::string& result)>;

  TFloatSpinBox(TTimerSource& timers, TSpinEdit& edit);

  double MinValue() const { return min_value_; }
  void SetMinValue(double v) { min_value_ = v; }
  double MaxValue() const { return max_value_; }
  void SetMaxValue(double v) { max_value_ = v; }
  double Increment() const { return increment_; }
  void SetIncrement(double v) { increment_ = v; }
  int Digits() const { return digits_; }
  void SetDigits(int digits);
  TFloatFormat Format() const { return format_; }
  void SetFormat(TFloatFormat format);
  const std::string& Symbol() const { return symbol_; }
  void SetSymbol(const std::string& symbol);
  // Kept for the owner; the box does not use it.
  int CustomOrder() const { return custom_order_; }
  void SetCustomOrder(int order) { custom_order_ = order; }

  double Value() const { return value_; }
  void SetValue(double value);
  double LastValue() const { return last_value_; }

  void Step(bool down, bool repeated) override;
  void UpdateText() override;

  // Rounds V to Digits decimals (halves to even) and clamps it; the result as in TSpinBox.
  bool AdjustValue(double& v) const;
  // Throws EConvertError for text that is not a number after the filter.
  double TextToValue(const std::string& text);
  std::string ValueToText(double v);

  TOnFloatSpinGetData OnGetData;
  TOnFloatSpinSetData OnSetData;

 protected:
  void Typed() override;

 private:
  double min_value_ = 0;
  double max_value_ = 0;
  double increment_ = 1.0;
  int digits_ = 1;
  TFloatFormat format_ = TFloatFormat::ffNumber;
  std::string symbol_;
  int custom_order_ = 0;
  double value_ = 0;
  double last_value_ = 0;
};

}  // namespace osc
