#pragma once
// A spin box on a display-less edit and stepped timers, counting its notifications.
#include "controls/float_spin_box.h"
#include "controls/spin_box.h"
#include "platform/locale/locale.h"
#include "support/format_scope.h"

namespace osc::test {

using SeparatorScope = FormatScope;

template <class Box>
struct SpinRig {
  SeparatorScope separators{'.', ','};
  TSteppedTimers timers;
  TMemoryEdit edit;
  Box box{timers, edit};
  int changes = 0;
  int editings = 0;

  SpinRig() {
    box.OnChange = [this](TCustomSpinBox&) { ++changes; };
    box.OnEditing = [this](TCustomSpinBox&) { ++editings; };
  }
  // The user focuses the box and types `text` over what was there.
  void Type(const std::string& text) {
    edit.SetFocused(true);
    edit.Type(text);
  }
  void LeaveBox() { edit.SetFocused(false); }
};

// The scaled box of the settings dialog's calibration fields: -20.00 .. 20.00.
inline void MakePercentBox(TSpinBox& box) {
  box.SetMode(TSpinBoxMode::fsFloat);
  box.SetDigits(2);
  box.SetConst_K(0.01);
  box.SetMinValue(-2000);
  box.SetMaxValue(2000);
}

}  // namespace osc::test
