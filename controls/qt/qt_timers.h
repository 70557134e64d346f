#pragma once
// The window system's timers for the spin button's auto-repeat (QTimer on the GUI thread).
#include "controls/timer_source.h"

namespace osc::qt {

// The process-wide source the widgets use unless they are given another.
osc::TTimerSource& QtTimers();

}  // namespace osc::qt
