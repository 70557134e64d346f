#pragma once
// The spin box widgets: a line edit (osc::qt::TCustomSpinBox) that is at the same time
// the box's value logic (osc::TSpinBox, osc::TFloatSpinBox), so the logic's properties
// and events are the widget's: box->SetValue(5), box->OnChange = ...
//
// Numbers use the user's decimal separator (osc::formatSettings(), loaded from the
// locale at start-up). The auto-repeat runs on Qt timers unless a timer source is given.
#include "controls/float_spin_box.h"
#include "controls/qt/custom_spin_box.h"
#include "controls/spin_box.h"

namespace osc::qt {

class TSpinBox : public qt::TCustomSpinBox, public osc::TSpinBox {
  Q_OBJECT

 public:
  explicit TSpinBox(QWidget* parent = nullptr, osc::TTimerSource* timers = nullptr);
  ~TSpinBox() override;
};

class TFloatSpinBox : public qt::TCustomSpinBox, public osc::TFloatSpinBox {
  Q_OBJECT

 public:
  explicit TFloatSpinBox(QWidget* parent = nullptr, osc::TTimerSource* timers = nullptr);
  ~TFloatSpinBox() override;
};

}  // namespace osc::qt
