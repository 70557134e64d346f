// The settings dialog's rules without the dialog.
#include "config/settings_edit.h"

#include <gtest/gtest.h>

namespace osc {
namespace {

TEST(SettingsEdit, TheCopysEntriesAreItsOwnUntilHandedBack) {
  SettingsHolder held;
  held.Port = "COM3";
  held.ModelIndex = 1;
  held.Ranges = {MakeRangeItem(std::make_shared<TOscRozsah>(10.0))};
  const std::shared_ptr<TOscRozsah> inUse = held.Ranges[0].Entry;  // the window's, a recording's

  TSettingsCopy copy = CopyOf(held);
  copy.Ranges[0].Entry->Range = 55;
  copy.Ranges[0].Entry->CH[2].Gain = 3;
  copy.Port = "SIM4";
  EXPECT_EQ(inUse->Range, 10.0);
  EXPECT_EQ(inUse->CH[2].Gain, 0.0);
  EXPECT_EQ(held.Port, "COM3");

  TakeCopy(held, copy);
  EXPECT_EQ(held.Port, "SIM4");
  EXPECT_EQ(held.Ranges[0].Entry->Range, 55.0);
  EXPECT_EQ(inUse->Range, 10.0) << "what was in use keeps its values";
}

TEST(SettingsEdit, ModelSwitchAndCalibrationButtons) {
  struct Case {
    int model, channel, shown;
    bool selected, gain, bipolar, ac;
  };
  const Case cases[] = {
      {1, 3, 3, true, true, true, true},       // 4-channel: every channel and calibration
      {0, 3, 0, true, true, false, false},     // CH 4 gone on the 2-channel model: CH 1 shown
      {0, 1, 1, true, true, false, false},     // CH 2 stays
      {1, -1, 0, false, false, false, false},  // nothing selected: no calibration
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "model " << c.model << " channel " << c.channel);
    EXPECT_EQ(ChannelAfterModelSwitch(c.channel, c.model), c.shown);
    const TCalibEnables e = CalibEnables(c.model, c.selected);
    EXPECT_EQ(e.Gain, c.gain);
    EXPECT_EQ(e.Bipolar, c.bipolar);
    EXPECT_EQ(e.AC, c.ac);
  }
  EXPECT_EQ(ChannelsOfModel(0), 2);
  EXPECT_EQ(ChannelsOfModel(1), 4);
}

}  // namespace
}  // namespace osc
