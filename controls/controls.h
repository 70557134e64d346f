#pragma once
// Input controls: what this library offers.
//
// Plain C++ (this folder), usable and testable without a display:
//   TSpinBox       integer spin box: scaled (fsFloat), decimal or hexadecimal text
//   TFloatSpinBox  floating spin box rounded to Digits decimals
//   TSpinBoxBtn    the up/down button: pressed halves, press and auto-repeat
//   TSpinEdit      the edit a box drives (TMemoryEdit: one without a display)
//   TTimerSource   timers behind a seam (TSteppedTimers: stepped by hand in tests)
//   spin_geometry  where the button sits beside the box and how its halves are drawn
//
// Qt widgets over them (controls/qt, target osc_controls_qt): osc::qt::TSpinBox and
// osc::qt::TFloatSpinBox (line edits with the button beside them), osc::qt::TLxListBox,
// osc::qt::TLxDisplayPanel.
//
// Numbers are shown and read with the user's decimal separator (platform/locale/locale.h).
#include "controls/custom_spin_box.h"
#include "controls/float_spin_box.h"
#include "controls/spin_box.h"
#include "controls/spin_button.h"
#include "controls/spin_edit.h"
#include "controls/spin_geometry.h"
#include "controls/timer_source.h"
