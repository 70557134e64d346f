#include "controls/qt/spin_box.h"

#include "controls/qt/qt_timers.h"

namespace osc::qt {

TSpinBox::TSpinBox(QWidget* parent, osc::TTimerSource* timers)
    : qt::TCustomSpinBox(parent), osc::TSpinBox(timers ? *timers : QtTimers(), EditPort()) {
  Attach(*this);
}

// The button widget draws the logic's button: it goes before the logic does.
TSpinBox::~TSpinBox() {
  Detach();
}

TFloatSpinBox::TFloatSpinBox(QWidget* parent, osc::TTimerSource* timers)
    : qt::TCustomSpinBox(parent), osc::TFloatSpinBox(timers ? *timers : QtTimers(), EditPort()) {
  Attach(*this);
}

TFloatSpinBox::~TFloatSpinBox() {
  Detach();
}

}  // namespace osc::qt
