#pragma once
// The settings dialog's rules, without the dialog: it edits a copy of the settings whose
// range entries are its own, so nothing the operator does reaches the program's
// settings, the main window or a running recording until OK hands the copy back;
// Storno drops it.
#include "config/settings.h"

#include <string>

namespace osc {

struct TSettingsCopy {
  std::string Port;
  int ModelIndex = 0;  // 0: 2-channel model, 1: 4-channel model
  TRangeList Ranges;   // entries of its own
};

// The holder's values, every range entry cloned.
TSettingsCopy CopyOf(const SettingsHolder& settings);
// The holder takes the copy's values (and its entries).
void TakeCopy(SettingsHolder& settings, const TSettingsCopy& copy);

// An empty list gets one "16 V" entry, as loading gives: the program always has a range.
void EnsureOneRange(TRangeList& ranges);

// The channels a model's calibration list shows: CH 1..2 or CH 1..4.
int ChannelsOfModel(int modelIndex);
// The channel (0-based) shown after a switch to `modelIndex`: the same one when the
// model has it, CH 1 otherwise (never the neighbour a shortened list would move to).
int ChannelAfterModelSwitch(int channel, int modelIndex);

// Which calibrations can run: the gain for any selected range; Bipolar and AC zero only
// on the 4-channel model, which has those modes.
struct TCalibEnables {
  bool Gain = false;
  bool Bipolar = false;
  bool AC = false;
};
TCalibEnables CalibEnables(int modelIndex, bool rangeSelected);

}  // namespace osc
