#pragma once
// TSpinBox: an integer value shown scaled (Value x Const_K + Const_Q with Digits
// decimals, fsFloat), as a decimal (fsDecimal) or in hexadecimal (fsHexadecimal, at
// least Digits digits), with an optional unit suffix.
//
// Limits: MinValue..MaxValue, none when they are equal. Increment above 1 snaps values
// to its multiples. Typed text never raises: invalid text is 0, text beyond the integer
// range saturates, and either is then clamped to the limits. A typed value pushed below
// a positive MinValue keeps the typed text until commit (more digits may follow); one
// pushed above a positive MaxValue (or raised to a negative MinValue) is rewritten at once.
#include <functional>
#include <string>

#include "controls/custom_spin_box.h"

namespace osc {

enum class TSpinBoxMode { fsFloat, fsDecimal, fsHexadecimal };

class TSpinBox : public TCustomSpinBox {
 public:
  // Replaces parsing: Result starts at 0.
  using TOnSpinGetData = std::function<void(TSpinBox& sender, const std::string& text, int& result)>;
  // May replace the formatted text of aValue.
  using TOnSpinSetData = std::function<void(TSpinBox& sender, int value, std::string& result)>;

  TSpinBox(TTimerSource& timers, TSpinEdit& edit);

  int MinValue() const { return min_value_; }
  void SetMinValue(int v) { min_value_ = v; }
  int MaxValue() const { return max_value_; }
  void SetMaxValue(int v) { max_value_ = v; }
  int Increment() const { return increment_; }
  void SetIncrement(int v) { increment_ = v; }
  // Decimals in fsFloat, minimum digits in fsHexadecimal.
  int Digits() const { return digits_; }
  void SetDigits(int digits);
  TSpinBoxMode Mode() const { return mode_; }
  void SetMode(TSpinBoxMode mode);
  double Const_K() const { return const_k_; }
  void SetConst_K(double k);
  double Const_Q() const { return const_q_; }
  void SetConst_Q(double q);
  // Suffix in fsFloat and fsDecimal, and in fsHexadecimal.
  const std::string& DecSymbol() const { return dec_symbol_; }
  void SetDecSymbol(const std::string& symbol);
  const std::string& HexSymbol() const { return hex_symbol_; }
  void SetHexSymbol(const std::string& symbol);

  int Value() const { return value_; }
  // Adjusts, stores, shows (selecting all when focused) and commits: OnChange when the
  // value differs from the last one committed.
  void SetValue(int value);
  int LastValue() const { return last_value_; }

  // The shown quantity: Value x Const_K + Const_Q.
  double ScaledValue() const { return value_ * const_k_ + const_q_; }
  // Writes the value that shows as `x`: (x - Const_Q) / Const_K rounded (halves to even),
  // saturated to the integer range, then written as SetValue does (so clamped). NaN has
  // no value: the box commits 0 (clamped) and shows empty text, which reads back the same.
  void SetScaledValue(double x);

  void Step(bool down, bool repeated) override;
  void UpdateText() override;

  // Snaps V to Increment and clamps it; true when the shown text must be rewritten at
  // once (raised to a negative MinValue or lowered to a positive MaxValue).
  bool AdjustValue(int& v) const;
  // Parses as the box does (suffix optional, any letter case); never throws.
  int TextToValue(const std::string& text);
  // Formats as the box shows V (adjusted first), then lets OnSetData replace the text.
  std::string ValueToText(int v);

  TOnSpinGetData OnGetData;
  TOnSpinSetData OnSetData;

 protected:
  void Typed() override;

 private:
  int Parse(const std::string& text);

  int min_value_ = 0;
  int max_value_ = 0;
  int increment_ = 1;
  int digits_ = 1;
  TSpinBoxMode mode_ = TSpinBoxMode::fsDecimal;
  double const_k_ = 1.0;
  double const_q_ = 0.0;
  std::string dec_symbol_;
  std::string hex_symbol_;
  int value_ = 0;
  int last_value_ = 0;
};

}  // namespace osc
