#include "config/settings_edit.h"

#include <memory>

namespace osc {

TSettingsCopy CopyOf(const SettingsHolder& settings) {
  TSettingsCopy copy{settings.Port, settings.ModelIndex, {}};
  for (const TRangeItem& item : settings.Ranges)
    copy.Ranges.push_back({item.Text, std::make_shared<TOscRozsah>(*item.Entry)});
  return copy;
}

void TakeCopy(SettingsHolder& settings, const TSettingsCopy& copy) {
  settings.Port = copy.Port;
  settings.ModelIndex = copy.ModelIndex;
  settings.Ranges = copy.Ranges;
}

void EnsureOneRange(TRangeList& ranges) {
  if (ranges.empty()) ranges.push_back(MakeRangeItem(std::make_shared<TOscRozsah>(16.0)));
}

int ChannelsOfModel(int modelIndex) {
  return modelIndex == 1 ? 4 : 2;
}

int ChannelAfterModelSwitch(int channel, int modelIndex) {
  return channel >= 0 && channel < ChannelsOfModel(modelIndex) ? channel : 0;
}

TCalibEnables CalibEnables(int modelIndex, bool rangeSelected) {
  const bool four = modelIndex == 1;
  return {rangeSelected, four && rangeSelected, four && rangeSelected};
}

}  // namespace osc
